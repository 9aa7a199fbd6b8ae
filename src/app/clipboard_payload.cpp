#include "clipboard_payload.h"

#include <charconv>
#include <system_error>
#include <vector>

#include "code_page.h"
#include "errors.h"

namespace velmora::app {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
// Bytes of a rejected number quoted in the error message; the rest is elided.
constexpr std::size_t kQuotedNumberBytes = 40;

// The lines of text; CR LF, CR or LF end a line, and text after the last line end is one more
// line (an empty rest is none).
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') {
            ++start;
        }
    }
    return lines;
}

// The number part of an entry line as a record number. Strict: an optional minus and digits
// only, in the 32-bit range, so that nothing garbled or overflowing turns into some record.
std::int32_t ParseRecordNumber(std::string_view part) {
    std::int32_t n = 0;
    const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), n);
    if (!part.empty() && ec == std::errc() && end == part.data() + part.size()) {
        return n;
    }
    std::string quoted = store::Cp932ToUtf8(store::CutToBytes(part, kQuotedNumberBytes));
    if (part.size() > kQuotedNumberBytes) {
        quoted += "...";
    }
    throw store::EVelmoraError("'" + quoted + "' は正しい整数値ではありません");
}

}  // namespace

std::string WriteConceptPayload(std::uint32_t instance, bool isCopy,
                                const store::TConceptList& entries) {
    std::string text;
    text.reserve(64 + 16 * static_cast<std::size_t>(entries.Count()));
    text.append(kConceptPayloadMarker).append(kLineEnd);
    text.append(std::to_string(instance)).append(kLineEnd);
    text.append(isCopy ? "1" : "0").append(kLineEnd);
    for (int i = 0; i < entries.Count(); ++i) {
        const store::TConceptData& entry = entries[i];
        text.append(entry.IsLink() ? "1 " : "0 ");
        text.append(std::to_string(entry.IsLink() ? entry.LinkNo : entry.ConceptNo()));
        text.append(kLineEnd);
    }
    return text;
}

std::unique_ptr<store::TConceptList> ReadConceptPayload(std::string_view bytes,
                                                        std::uint32_t instance, bool* isCopy) {
    // The clipboard block is a zero-terminated text; whatever follows the zero is not part of it.
    if (const std::size_t zero = bytes.find('\0'); zero != std::string_view::npos) {
        bytes = bytes.substr(0, zero);
    }
    const std::vector<std::string_view> lines = SplitLines(bytes);
    if (lines.size() < 3 || lines[0] != kConceptPayloadMarker ||
        lines[1] != std::to_string(instance)) {
        return nullptr;
    }
    auto entries = std::make_unique<store::TConceptList>();
    for (std::size_t i = 3; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        // The kind is the first character and the number starts at the third; the second is the
        // separator the writer puts there and is not looked at.
        const std::string_view part =
            line.size() > 2 ? line.substr(2, kConceptPayloadMaxNumberChars) : std::string_view();
        const std::int32_t no = ParseRecordNumber(part);
        store::TConceptData& entry = entries->AddNew();
        if (line.starts_with('0')) {
            entry.SetConceptNo(no);
        } else {
            entry.SetIsLink(true);
            entry.LinkNo = no;
            entry.SetConceptNo(-1);
        }
    }
    if (isCopy != nullptr) {
        *isCopy = lines[2] != "0";
    }
    return entries;
}

}  // namespace velmora::app
