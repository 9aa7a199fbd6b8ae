// The text of a file to import, as code page 932 for the tables: which encoding the file is in,
// its conversion, and the imports' question about bytes that cannot be read.
//
// Files are code page 932 unless they show otherwise: a UTF-8 byte-order mark, or bytes that are
// well-formed UTF-8 and hold multi-byte sequences (text written on Linux desktops), make the
// file UTF-8, which is converted; a character code page 932 cannot hold becomes "?" and is
// counted. The user may also name the encoding. Bytes the chosen reading cannot take, and zero
// bytes (no text field holds one), are never taken in silently: the questioner is told the first
// such line. Going on keeps unreadable code page 932 bytes as they are but puts "?" for every
// zero byte. Program texts are UTF-8. Single-threaded.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "file_system.h"
#include "questions.h"

namespace velmora::exchange {

enum class TImportEncoding {
    Auto,   // decide from the bytes (DetectEncoding)
    Cp932,  // code page 932 (Shift-JIS)
    Utf8,
};

// "auto", "cp932", "utf-8" (also "utf8", "sjis", "shift_jis"); nullopt for anything else.
std::optional<TImportEncoding> ParseImportEncoding(std::string_view name);
// "auto", "cp932", "utf-8".
std::string_view ImportEncodingName(TImportEncoding encoding);
// What the wizard shows for the encoding it read a file in (UTF-8).
std::string ImportEncodingCaption(TImportEncoding encoding);

// Utf8 for a byte-order mark or well-formed UTF-8 with multi-byte sequences; Cp932 otherwise.
TImportEncoding DetectEncoding(std::string_view bytes);

struct TImportText {
    std::string Text;                                   // code page 932
    TImportEncoding Encoding = TImportEncoding::Cp932;  // as read: never Auto
    int Replaced = 0;                // "?" put for characters and zero bytes the tables cannot hold
    std::size_t UnreadableLine = 0;  // first line the question was about; 0 none
};

// Reads the bytes in the given encoding (Auto: DetectEncoding) and, when a line holds bytes code
// page 932 cannot read or a zero byte, asks question(line) (warning, Yes/No). No stops:
// nullopt. Yes goes on with the bytes as they are, each zero byte as "?".
std::optional<TImportText> DecodeImportText(
    std::string_view bytes, TImportEncoding encoding, store::TQuestioner& questioner,
    const std::function<std::string(std::size_t)>& question);

// The whole file; the file system's error when it cannot be read.
std::string ReadWholeFile(store::TFileSystem& fileSystem, const std::string& path);

}  // namespace velmora::exchange
