#include "text_import.h"

#include <memory>

#include "code_page.h"

namespace velmora::exchange {

std::vector<std::string_view> SplitTextLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char byte = text[i];
        if (byte != '\r' && byte != '\n') {
            continue;
        }
        lines.push_back(text.substr(start, i - start));
        if (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

bool IsBlankLine(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        if (byte == ' ' || byte == '\t') {
            continue;
        }
        // Reading from the start keeps i on character boundaries, so 0x81 here is a lead byte.
        if (byte == 0x81 && i + 1 < line.size() &&
            static_cast<unsigned char>(line[i + 1]) == 0x40) {
            ++i;
            continue;
        }
        return false;
    }
    return true;
}

std::int32_t ImportParentFor(store::TDataModule1& store, const store::TConceptData& current) {
    const std::unique_ptr<store::TConceptData> parent = store.GetParentConcept(current);
    return parent ? parent->ConceptNo() : current.ConceptNo();
}

std::string UnreadableLineQuestion(const std::string& fileName, std::size_t line) {
    return "ファイル \"" + fileName + "\" の " + std::to_string(line) +
           " 行目に, シフトJIS (コードページ932) として読めないバイトがあります.\r\n"
           "そのままのバイトで読み込みを続けますか?";
}

std::vector<std::int32_t> ImportTextLines(store::TDataModule1& store, std::int32_t parent,
                                          std::string_view text) {
    std::vector<std::int32_t> created;
    for (std::string_view line : SplitTextLines(text)) {
        if (IsBlankLine(line)) {
            continue;
        }
        const std::string title(line);
        created.push_back(store.AppendConcept(title, parent, title));
    }
    return created;
}

TTextImportResult ImportTextFile(store::TDataModule1& store, const store::TConceptData& current,
                                 const std::string& fileName, store::TQuestioner& questioner,
                                 store::TFileSystem& fileSystem, TImportEncoding encoding) {
    TTextImportResult result;
    result.Parent = ImportParentFor(store, current);

    const std::string bytes = ReadWholeFile(fileSystem, fileName);
    const std::optional<TImportText> text =
        DecodeImportText(bytes, encoding, questioner, [&](std::size_t line) {
            result.UnreadableLine = line;
            return UnreadableLineQuestion(fileName, line);
        });
    if (!text) {
        result.Stopped = true;
        return result;
    }
    result.Encoding = text->Encoding;
    result.Replaced = text->Replaced;
    result.Created = ImportTextLines(store, result.Parent, text->Text);
    return result;
}

}  // namespace velmora::exchange
