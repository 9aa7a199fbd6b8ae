#include "import_encoding.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "code_page.h"

namespace velmora::exchange {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

std::optional<TImportEncoding> ParseImportEncoding(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "auto") {
        return TImportEncoding::Auto;
    }
    if (lower == "cp932" || lower == "sjis" || lower == "shift_jis") {
        return TImportEncoding::Cp932;
    }
    if (lower == "utf-8" || lower == "utf8") {
        return TImportEncoding::Utf8;
    }
    return std::nullopt;
}

std::string_view ImportEncodingName(TImportEncoding encoding) {
    switch (encoding) {
        case TImportEncoding::Cp932:
            return "cp932";
        case TImportEncoding::Utf8:
            return "utf-8";
        case TImportEncoding::Auto:
            break;
    }
    return "auto";
}

std::string ImportEncodingCaption(TImportEncoding encoding) {
    switch (encoding) {
        case TImportEncoding::Cp932:
            return "シフトJIS (コードページ932)";
        case TImportEncoding::Utf8:
            return "UTF-8";
        case TImportEncoding::Auto:
            break;
    }
    return "自動判別";
}

TImportEncoding DetectEncoding(std::string_view bytes) {
    return bytes.starts_with(kByteOrderMark) || store::IsUtf8WithMultiByte(bytes)
               ? TImportEncoding::Utf8
               : TImportEncoding::Cp932;
}

std::optional<TImportText> DecodeImportText(
    std::string_view bytes, TImportEncoding encoding, store::TQuestioner& questioner,
    const std::function<std::string(std::size_t)>& question) {
    TImportText result;
    result.Encoding = encoding == TImportEncoding::Auto ? DetectEncoding(bytes) : encoding;
    if (result.Encoding == TImportEncoding::Utf8) {
        if (bytes.starts_with(kByteOrderMark)) {
            bytes.remove_prefix(kByteOrderMark.size());
        }
        result.Text = store::Utf8ToCp932(bytes, &result.Replaced);
    } else {
        result.Text.assign(bytes);
    }
    result.UnreadableLine = store::FirstUnreadableLine(result.Text);
    if (result.UnreadableLine == 0) {
        return result;
    }
    if (questioner.Ask(store::TMessageKind::Warning, store::TButtons::YesNo,
                       question(result.UnreadableLine)) != store::TAnswer::Yes) {
        return std::nullopt;
    }
    for (char& byte : result.Text) {
        if (byte == '\0') {
            byte = '?';
            ++result.Replaced;
        }
    }
    return result;
}

std::string ReadWholeFile(store::TFileSystem& fileSystem, const std::string& path) {
    std::string bytes;
    std::unique_ptr<store::TFile> file = fileSystem.OpenRead(path);
    char buffer[65536];
    for (std::size_t n; (n = file->Read(buffer, sizeof buffer)) > 0;) {
        bytes.append(buffer, n);
    }
    file->Close();
    return bytes;
}

}  // namespace velmora::exchange
