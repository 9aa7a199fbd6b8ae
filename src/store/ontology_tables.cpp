#include "ontology_tables.h"

#include <array>

#include "code_page.h"

namespace velmora::store {
namespace {

TFieldDef Field(std::string_view name, TFieldKind kind, int size = 0) {
    return TFieldDef{std::string(name), kind, size};
}

// Width of the ordinary text fields; language labels are narrower.
constexpr int kTextWidth = 255;
constexpr int kTermWidth = 20;
// Declared size of a memo; it does not limit the text.
constexpr int kMemoSize = 200;

constexpr std::array<TLinkTypeText, 10> kDefaultLinkTypes{{
    {1, "subconcept", "下位概念、またはサブカテゴリ."},
    {2, "relation_A", "ユーザー定義の関係A"},
    {3, "relation_B", "ユーザー定義の関係B"},
    {4, "relation_C", "ユーザー定義の関係C"},
    {5, "relation_D", "ユーザー定義の関係D"},
    {6, "relation_E", "ユーザー定義の関係E"},
    {7, "relation_F", "ユーザー定義の関係F"},
    {8, "relation_G", "ユーザー定義の関係G"},
    {9, "relation_H", "ユーザー定義の関係H"},
    {10, "relation_I", "ユーザー定義の関係I"},
}};

}  // namespace

std::vector<TFieldDef> ConceptsFieldDefs() {
    return {
        Field(kFieldRecordNo, TFieldKind::AutoInc),
        Field(kFieldTitle, TFieldKind::Text, kTextWidth),
        Field(kFieldIdentifier, TFieldKind::Text, kTextWidth),
        Field(kFieldDescription, TFieldKind::Memo, kMemoSize),
        Field(kFieldComment, TFieldKind::Memo, kMemoSize),
        Field(kFieldParentNo, TFieldKind::Integer),
        Field(kFieldListOrder, TFieldKind::Integer),
        Field(kFieldIconPosX, TFieldKind::Integer),
        Field(kFieldIconPosY, TFieldKind::Integer),
        Field(kFieldDateCreation, TFieldKind::DateTime),
        Field(kFieldDateEdition, TFieldKind::DateTime),
        Field(kFieldEditor, TFieldKind::Text, kTextWidth),
    };
}

std::vector<TFieldDef> LinkTypeFieldDefs() {
    return {
        // Chosen by the program (smallest free code), so not auto-increment.
        Field(kFieldLinkCode, TFieldKind::Integer),
        Field(kFieldLinkTitle, TFieldKind::Text, kTextWidth),
        Field(kFieldComment, TFieldKind::Text, kTextWidth),
    };
}

std::vector<TFieldDef> NetWorkFieldDefs() {
    return {
        Field(kFieldRecordNo, TFieldKind::AutoInc),
        Field(kFieldRecordNoFrom, TFieldKind::Integer),
        Field(kFieldRecordNoTo, TFieldKind::Integer),
        Field(kFieldListOrder, TFieldKind::Integer),
        Field(kFieldLinkCode, TFieldKind::Integer),
        Field(kFieldIconPosX, TFieldKind::Integer),
        Field(kFieldIconPosY, TFieldKind::Integer),
    };
}

std::vector<TFieldDef> TermsFieldDefs() {
    return {
        Field(kFieldTermNo, TFieldKind::AutoInc),
        Field(kFieldTermString, TFieldKind::Text, kTermWidth),
        // Never written or read; part of every file this program writes, but a file without it
        // is read all the same.
        TFieldDef{std::string(kFieldTermYomigana), TFieldKind::Text, kTextWidth, true},
    };
}

std::vector<TFieldDef> AssociationFieldDefs() {
    return {
        Field(kFieldRecordNo, TFieldKind::AutoInc),
        Field(kFieldConceptNo, TFieldKind::Integer),
        Field(kFieldTermNo, TFieldKind::Integer),
        Field(kFieldListOrder, TFieldKind::Integer),
    };
}

std::span<const TLinkTypeText> DefaultLinkTypesUtf8() {
    return kDefaultLinkTypes;
}

std::vector<TLinkTypeRow> DefaultLinkTypes() {
    std::vector<TLinkTypeRow> rows;
    rows.reserve(kDefaultLinkTypes.size());
    for (const TLinkTypeText& text : kDefaultLinkTypes) {
        rows.push_back({text.LinkCode, Utf8ToCp932(text.LinkTitle), Utf8ToCp932(text.Comment)});
    }
    return rows;
}

std::string RecordNoToCode(std::int32_t no) {
    const std::uint32_t v = static_cast<std::uint32_t>(no) + 220U;
    // The ten highest bits stay in place; the 22 lowest are mirrored (bit 0 becomes bit 21).
    std::uint32_t a = v & 0xFFC00000U;
    for (int bit = 0; bit < 22; ++bit) {
        if (v & (1U << bit)) {
            a |= 1U << (21 - bit);
        }
    }
    std::string code;
    for (int i = 0; i < 7; ++i) {
        code += static_cast<char>('A' + a % 26);
        a /= 26;
    }
    return code;
}

std::string ConceptIdentifier(std::int32_t recordNo, std::string_view title) {
    // "@", seven letters and "%" before at most 246 bytes of title: 255 bytes in all.
    return "@" + RecordNoToCode(recordNo) + "%" + CutToBytes(title, 246);
}

}  // namespace velmora::store
