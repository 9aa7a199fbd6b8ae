// Text import: a plain text file with one concept title per line becomes new concepts side by
// side in the workspace of the current item, each with a language label equal to its title.
//
// The file is code page 932, or UTF-8 when it shows it (import_encoding.h), or as the caller
// says; a line ends at CR, LF or CR LF and the last break is optional. Empty lines are skipped,
// and so are lines of nothing but blanks (half-width spaces, tabs and ideographic spaces): they
// would only make concepts without a visible title. Any other line is taken as it stands,
// blanks included, as title and label. Bytes that code page 932 cannot read, and zero bytes,
// are never taken in silently: the questioner is told the first such line and answers Yes to go
// on (the bytes as they are, a zero byte as "?"), or No to stop before anything is created.
//
// The desktop program's command shows kImportTextPrompt, lets the user pick the file, takes an
// undo save point and then calls ImportTextFile; the command-line tool calls the same function.
// Program texts are UTF-8, table text code page 932. Single-threaded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "concept_data.h"
#include "data_module.h"
#include "file_system.h"
#include "import_encoding.h"
#include "questions.h"

namespace velmora::exchange {

// The information box that opens the command (Ok goes on), and the open dialog's file types.
inline constexpr std::string_view kImportTextPrompt =
    "一行一タイトルのテキストファイルを読み込みます.";
inline constexpr std::string_view kTextFilter =
    "txtファイル (*.txt)|*.txt|すべてのファイル (*.*)|*.*";

// The lines of text, without their breaks; a break at the very end adds no empty line.
std::vector<std::string_view> SplitTextLines(std::string_view text);

// True for a line that makes no concept: empty, or only half-width spaces, tabs and
// ideographic spaces (code page 932 0x81 0x40).
bool IsBlankLine(std::string_view line);

// The concept under which new concepts go when current is the current item: the parent it is
// shown under (PARENT_NO of a concept, RECORD_NO_FROM of a mirror image), so that they land
// beside it; the top concept itself when current is the top concept. The store's "DATA ERROR"
// failures when current or its parent is missing.
std::int32_t ImportParentFor(store::TDataModule1& store, const store::TConceptData& current);

// The question about unreadable bytes (UTF-8): names the file and the 1-based line.
std::string UnreadableLineQuestion(const std::string& fileName, std::size_t line);

struct TTextImportResult {
    std::int32_t Parent = 0;            // where the concepts went
    std::vector<std::int32_t> Created;  // the new concept numbers, in file order
    std::size_t UnreadableLine = 0;     // first line with bytes code page 932 cannot read; 0 none
    bool Stopped = false;               // the user chose to stop at that line; nothing created
    TImportEncoding Encoding = TImportEncoding::Cp932;  // how the file was read
    int Replaced = 0;  // characters that became "?" (not in code page 932, zero bytes)
};

// Creates one concept per non-blank line of text under parent, in order; the line is title and
// label. Returns the new numbers.
std::vector<std::int32_t> ImportTextLines(store::TDataModule1& store, std::int32_t parent,
                                          std::string_view text);

// The whole import after the save point: the parent by ImportParentFor (before the file is
// touched, so a missing record stops it first), the file read whole (the file layer's error
// when it cannot be) in the given encoding, the unreadable-bytes question when needed (Warning,
// Yes/No), then the concepts.
TTextImportResult ImportTextFile(store::TDataModule1& store, const store::TConceptData& current,
                                 const std::string& fileName, store::TQuestioner& questioner,
                                 store::TFileSystem& fileSystem = store::RealFileSystem(),
                                 TImportEncoding encoding = TImportEncoding::Auto);

}  // namespace velmora::exchange
