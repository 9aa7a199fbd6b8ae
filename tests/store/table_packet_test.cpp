#include "table_packet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "code_page.h"
#include "ontology_tables.h"

namespace velmora::store {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;
using TRecords = std::vector<std::vector<TValue>>;

const TValue kNull{};

TValue S(std::string text) {
    return TValue(std::move(text));
}
TValue I(std::int32_t value) {
    return TValue(value);
}
std::string Cp(std::string_view utf8) {
    return Utf8ToCp932(utf8);
}

TRecords Records(const TTable& t) {
    TRecords out;
    t.ForEachRecord(
        [&](std::span<const TValue> values) { out.emplace_back(values.begin(), values.end()); });
    return out;
}

std::string Save(TTable& t) {
    TMemoryStream out;
    SaveTableToStream(t, out);
    return out.TakeBytes();
}

void Load(TTable& t, std::string packet) {
    TMemoryStream in(std::move(packet));
    LoadTableFromStream(t, in);
}

// The message of the ETableError that loading the packet raises; fails the test when loading
// succeeds or raises anything else.
std::string LoadError(TTable& t, std::string packet) {
    try {
        Load(t, std::move(packet));
    } catch (const ETableError& e) {
        return e.what();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "not an ETableError: " << e.what();
        return {};
    }
    ADD_FAILURE() << "the packet was accepted";
    return {};
}

std::uint32_t U16At(std::string_view p, std::size_t at) {
    return static_cast<unsigned char>(p[at]) | static_cast<unsigned char>(p[at + 1]) << 8;
}
std::uint32_t U32At(std::string_view p, std::size_t at) {
    return U16At(p, at) | U16At(p, at + 2) << 16;
}
double F64At(std::string_view p, std::size_t at) {
    return std::bit_cast<double>(std::uint64_t{U32At(p, at)} | std::uint64_t{U32At(p, at + 4)}
                                                                   << 32);
}
void SetU8(std::string& p, std::size_t at, unsigned value) {
    p[at] = static_cast<char>(value);
}
void SetU16(std::string& p, std::size_t at, unsigned value) {
    SetU8(p, at, value & 0xFF);
    SetU8(p, at + 1, value >> 8 & 0xFF);
}
void SetU32(std::string& p, std::size_t at, std::uint32_t value) {
    SetU16(p, at, value & 0xFFFF);
    SetU16(p, at + 2, value >> 16);
}

std::size_t FirstRow(std::string_view p) {
    return U16At(p, 22);
}

// The offset of the one occurrence of bytes in the packet.
std::size_t Find(std::string_view p, std::string_view bytes) {
    const std::size_t at = p.find(bytes);
    EXPECT_NE(at, std::string_view::npos);
    EXPECT_EQ(p.find(bytes, at + 1), std::string_view::npos) << "not unique";
    return at;
}

// Replaces bytes ahead of the rows and moves the first-row offset with them.
void Splice(std::string& p, std::size_t at, std::size_t removed, std::string_view inserted) {
    const std::size_t firstRow = FirstRow(p);
    p.replace(at, removed, inserted);
    if (at < firstRow) {
        SetU16(p, 22, static_cast<unsigned>(firstRow - removed + inserted.size()));
    }
}
void Replace(std::string& p, std::string_view from, std::string_view to) {
    Splice(p, Find(p, from), from.size(), to);
}

// Little-endian bytes written out by hand, for expected layouts and for packets that the
// program's writer never produces.
class TBytes {
public:
    TBytes& U8(unsigned value) {
        m_bytes.push_back(static_cast<char>(value));
        return *this;
    }
    TBytes& U16(unsigned value) { return U8(value & 0xFF).U8(value >> 8 & 0xFF); }
    TBytes& U32(std::uint32_t value) { return U16(value & 0xFFFF).U16(value >> 16); }
    TBytes& F64(double value) {
        const auto bits = std::bit_cast<std::uint64_t>(value);
        return U32(static_cast<std::uint32_t>(bits)).U32(static_cast<std::uint32_t>(bits >> 32));
    }
    TBytes& Raw(std::string_view bytes) {
        m_bytes.append(bytes);
        return *this;
    }
    TBytes& Name(std::string_view name) { return U8(static_cast<unsigned>(name.size())).Raw(name); }
    // The properties the program gives its columns.
    TBytes& Subtype(std::string_view subtype) {
        return Name("SUBTYPE")
            .U32(0x00490002)
            .U16(static_cast<unsigned>(subtype.size() + 1))
            .Raw(subtype)
            .U8(0);
    }
    TBytes& Width(unsigned width) { return Name("WIDTH").U32(0x00020002).U16(width); }

    std::size_t Size() const { return m_bytes.size(); }
    const std::string& Str() const { return m_bytes; }
    std::string& Mutable() { return m_bytes; }

private:
    std::string m_bytes;
};

// The five tables as the store declares them, each filled the way a small ontology fills it.
struct TOntologyTable {
    std::string_view Name;
    std::vector<TFieldDef> (*Defs)();
    std::string_view Index;
    void (*Fill)(TTable&);
};

const TOntologyTable kOntologyTables[] = {
    {kDtStOriginalConcepts, ConceptsFieldDefs, kConceptsDefaultIndex,
     [](TTable& t) {
         const TDateTime when = TDateTime::FromCivil({2021, 4, 1, 9, 30, 15, 250});
         t.AppendRecord({kNull, S(Cp("トップ")), S("@AAAAAAA%" + Cp("トップ")), S(Cp("解説")),
                         kNull, I(0), I(10000), I(-1), I(-1), when, when, S(Cp("無記名"))});
         t.AppendRecord({kNull, S(Cp("新規の概念")), kNull, kNull, S(Cp("コメント")), I(1), I(1),
                         I(40), I(80), when, kNull, S("")});
     }},
    {kDtStOriginalLinkType, LinkTypeFieldDefs, kFieldLinkCode,
     [](TTable& t) {
         for (const TLinkTypeRow& row : DefaultLinkTypes()) {
             t.AppendRecord({row.LinkCode, row.LinkTitle, row.Comment});
         }
     }},
    {kDtStOriginalNetWork, NetWorkFieldDefs, kFieldRecordNo,
     [](TTable& t) {
         t.AppendRecord({kNull, I(2), I(1), kNull, I(1), I(-1), I(-1)});
     }},
    {kDtStOriginalTerms, TermsFieldDefs, kFieldTermNo,
     [](TTable& t) {
         t.AppendRecord({kNull, S(Cp("概念")), kNull});
         t.AppendRecord({kNull, S(Cp("言語ラベル")), kNull});
     }},
    {kDtStOriginalAssociation, AssociationFieldDefs, "",
     [](TTable& t) {
         t.AppendRecord({kNull, I(1), I(1), kNull});
         t.AppendRecord({kNull, I(2), I(2), kNull});
     }},
};

std::unique_ptr<TTable> Declared(const TOntologyTable& table) {
    return std::make_unique<TTable>(std::string(table.Name), table.Defs(),
                                    std::string(table.Index));
}

std::unique_ptr<TTable> Filled(const TOntologyTable& table) {
    auto t = Declared(table);
    t->CreateDataSet();
    table.Fill(*t);
    t->MergeChangeLog();
    return t;
}

const TOntologyTable& Table(std::string_view name) {
    for (const TOntologyTable& table : kOntologyTables) {
        if (table.Name == name) {
            return table;
        }
    }
    throw std::logic_error("no such table");
}

// ---------------------------------------------------------------------------------------------
// Round trips

TEST(TablePacketRoundTrip, ConceptTableComesBackAsItWasSaved) {
    auto concepts = Declared(Table(kDtStOriginalConcepts));
    concepts->CreateDataSet();
    // A memo keeps trailing spaces and double-byte characters with a 0x5C trail byte (ソ, 表).
    const std::string memo = Cp("解説 ソ表  ");
    concepts->AppendRecord({kNull, S(Cp("トップ")), S("@AAAAAAA%x"), S(memo), kNull, I(0), I(10000),
                            I(-1), I(-1), TDateTime::FromCivil({2000, 1, 1, 0, 0, 0, 1}),
                            TDateTime::FromCivil({2024, 2, 29, 23, 59, 59, 999}), S(Cp("無記名"))});
    concepts->AppendRecord({kNull, S(""), kNull, kNull, S("c"), I(1), kNull,
                            I(std::numeric_limits<std::int32_t>::min()),
                            I(std::numeric_limits<std::int32_t>::max()),
                            TDateTime::FromCivil({1850, 6, 1, 12, 0, 0, 0}), kNull, S("")});
    // Record 3 is all null; 4 to 6 are deleted again, so the counter stands at 7.
    for (int i = 0; i < 4; ++i) {
        concepts->AppendRecord(std::vector<TValue>(12));
    }
    concepts->Last();
    for (int i = 0; i < 3; ++i) {
        concepts->Delete();
    }
    concepts->MergeChangeLog();
    ASSERT_EQ(concepts->AutoIncValue(), 7);
    const TRecords saved = Records(*concepts);
    ASSERT_EQ(saved.size(), 3u);
    const std::string packet = Save(*concepts);

    auto loaded = Declared(Table(kDtStOriginalConcepts));
    Load(*loaded, packet);
    EXPECT_EQ(loaded->FieldDefs(), ConceptsFieldDefs());
    EXPECT_EQ(Records(*loaded), saved);  // distinguishes "" from null
    EXPECT_EQ(loaded->ChangeCount(), 0);
    EXPECT_EQ(loaded->State(), TDataSetState::Browse);
    EXPECT_EQ(loaded->FieldByName(kFieldRecordNo).AsInteger(), 1);
    EXPECT_EQ(Save(*loaded), packet);

    loaded->Append();
    loaded->FieldByName(kFieldTitle).SetAsString("next");
    loaded->Post();
    EXPECT_EQ(loaded->FieldByName(kFieldRecordNo).AsInteger(), 7);
}

TEST(TablePacketRoundTrip, EveryOntologyTableReadsBackToTheSameBytes) {
    for (const TOntologyTable& table : kOntologyTables) {
        SCOPED_TRACE(std::string(table.Name));
        auto original = Filled(table);
        const std::string packet = Save(*original);

        auto loaded = Declared(table);
        Load(*loaded, packet);
        EXPECT_EQ(loaded->FieldDefs(), table.Defs());
        EXPECT_EQ(Records(*loaded), Records(*original));
        EXPECT_EQ(loaded->AutoIncValue(), original->AutoIncValue());
        EXPECT_EQ(Save(*loaded), packet);
    }
}

TEST(TablePacketRoundTrip, TheTableTakesItsFieldDefinitionsFromThePacket) {
    TTable source("X", {{"RECORD_NO", TFieldKind::AutoInc, 0},
                        {"title", TFieldKind::Text, 100},
                        {"EXTRA", TFieldKind::Integer, 0}});
    source.CreateDataSet();
    source.AppendRecord({kNull, S("t"), I(5)});
    source.MergeChangeLog();
    const std::string packet = Save(source);

    // Declared fields are matched by name in any case and order; widths may differ and extra
    // fields are kept.
    TTable declared("X", {{"TITLE", TFieldKind::Text, 255}, {"RECORD_NO", TFieldKind::AutoInc, 0}});
    TTable open("X", {});
    for (TTable* target : {&declared, &open}) {
        Load(*target, packet);
        EXPECT_EQ(target->FieldDefs(), source.FieldDefs());
        EXPECT_EQ(Records(*target), Records(source));
    }
}

// ---------------------------------------------------------------------------------------------
// Byte layouts

TEST(TablePacketLayout, LinkTypeTableOfANewOntology) {
    auto linkTypes = Filled(Table(kDtStOriginalLinkType));
    const std::string p = Save(*linkTypes);

    const std::string header(
        "\x96\x19\xE0\xBD\x01\x00\x00\x00\x18\x00\x00\x00\x03\x00\x0A\x00\x00\x00\x03\x00\x00\x00"
        "\x67\x00"sv);
    EXPECT_EQ(p.substr(0, 24), header);
    TBytes columns;
    columns.Name("LINK_CODE").U32(0x00010004).U16(0).U16(0);
    columns.Name("LINK_TITLE").U32(0x00490002).U16(0).U16(1).Width(255);
    columns.Name("COMMENT").U32(0x00490002).U16(0).U16(1).Width(255);
    columns.U16(0);  // no table properties: no auto-increment field
    EXPECT_EQ(p.substr(24, 79), columns.Str());

    // Ten rows back to back from offset 103 to the end.
    TBytes rows;
    for (const TLinkTypeRow& row : DefaultLinkTypes()) {
        rows.U8(0).U8(0).U32(static_cast<std::uint32_t>(row.LinkCode));
        rows.U16(static_cast<unsigned>(row.LinkTitle.size())).Raw(row.LinkTitle);
        rows.U16(static_cast<unsigned>(row.Comment.size())).Raw(row.Comment);
    }
    EXPECT_EQ(p.substr(103), rows.Str());
}

TEST(TablePacketLayout, EmptyAssociationTable) {
    auto associations = Declared(Table(kDtStOriginalAssociation));
    associations->CreateDataSet();
    const std::string p = Save(*associations);

    TBytes expected;
    expected.U32(0xBDE01996).U16(1).U16(0).U32(24).U16(4).U32(0).U32(3).U16(141);
    expected.Name("RECORD_NO").U32(0x00010004).U16(0).U16(1).Subtype("Autoinc");
    expected.Name("CONCEPT_NO").U32(0x00010004).U16(0).U16(0);
    expected.Name("TERM_NO").U32(0x00010004).U16(0).U16(0);
    expected.Name("LIST_ORDER").U32(0x00010004).U16(0).U16(0);
    expected.U16(1).Name("AUTOINCVALUE").U32(0x00010004).U32(1);
    EXPECT_EQ(p, expected.Str());
    EXPECT_EQ(FirstRow(p), p.size());
}

TEST(TablePacketLayout, MemoColumnAndValues) {
    TTable t("T", {{"M", TFieldKind::Memo, 200}});
    t.CreateDataSet();
    t.AppendRecord({S("ab  ")});
    t.AppendRecord({S("")});  // an empty memo is null
    t.MergeChangeLog();

    TBytes expected;
    expected.U32(0xBDE01996).U16(1).U16(0).U32(24).U16(1).U32(2).U32(3).U16(67);
    expected.Name("M").U32(0x004B0004).U16(0).U16(2).Subtype("Text").Width(200);
    expected.U16(0);
    expected.U8(0).U8(0).U32(4).Raw("ab  ");
    expected.U8(0).U8(1);
    EXPECT_EQ(Save(t), expected.Str());
}

TEST(TablePacketLayout, ConceptRowWithNullDescription) {
    auto concepts = Declared(Table(kDtStOriginalConcepts));
    concepts->CreateDataSet();
    const TDateTime when = TDateTime::FromCivil({2000, 1, 1, 0, 0, 0, 0});
    concepts->AppendRecord(
        {kNull, S("top"), S("@id"), kNull, S("c"), I(0), I(1), I(2), I(3), when, when, S("ed")});
    concepts->MergeChangeLog();
    const std::string p = Save(*concepts);

    const std::size_t row = FirstRow(p);
    EXPECT_EQ(p.substr(row, 4), "\x00\x40\x00\x00"sv) << "state 0, then DESCRIPTION's null bit";
    TBytes values;
    values.U32(1).U16(3).Raw("top").U16(3).Raw("@id").U32(1).Raw("c");
    values.U32(0).U32(1).U32(2).U32(3).F64(63'082'368'000'000.0).F64(63'082'368'000'000.0);
    values.U16(2).Raw("ed");
    EXPECT_EQ(p.substr(row + 4), values.Str());
}

TEST(TablePacketLayout, StatusBitsAreTwoPerColumnFourColumnsToAByte) {
    const struct {
        int Columns;
        std::size_t StatusBytes;
    } cases[] = {{1, 1}, {3, 1}, {4, 1}, {5, 2}, {7, 2}, {8, 2}, {9, 3}, {12, 3}};
    for (const auto& c : cases) {
        std::vector<TFieldDef> defs;
        for (int j = 0; j < c.Columns; ++j) {
            defs.push_back({"C" + std::to_string(j), TFieldKind::Integer, 0});
        }
        for (int nullColumn = 0; nullColumn < c.Columns; ++nullColumn) {
            SCOPED_TRACE(std::to_string(c.Columns) + " columns, null column " +
                         std::to_string(nullColumn));
            TTable t("T", defs);
            t.CreateDataSet();
            std::vector<TValue> values;
            TBytes expected;
            for (int j = 0; j < c.Columns; ++j) {
                values.push_back(j == nullColumn ? kNull : I(100 + j));
                if (j != nullColumn) {
                    expected.U32(100 + j);
                }
            }
            t.AppendRecord(values);
            t.MergeChangeLog();
            const std::string p = Save(t);

            std::string status(c.StatusBytes, '\0');
            status[nullColumn / 4] = static_cast<char>(1 << (2 * (nullColumn % 4)));
            EXPECT_EQ(p.substr(FirstRow(p)), "\x00"s + status + expected.Str());
        }
    }
}

TEST(TablePacketLayout, DateTimeIsMillisecondsSinceYearOne) {
    const struct {
        TCivilTime When;
        double Stored;
    } cases[] = {
        {{2000, 1, 1, 0, 0, 0, 0}, 63'082'368'000'000.0},
        {{2000, 1, 1, 0, 0, 0, 1}, 63'082'368'000'001.0},
        {{1899, 12, 30, 0, 0, 0, 0}, 59'926'521'600'000.0},
        {{1, 1, 1, 0, 0, 0, 0}, 86'400'000.0},
        {{9999, 12, 31, 23, 59, 59, 999}, 315'537'983'999'999.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Stored);
        TTable t("T", {{"AT", TFieldKind::DateTime, 0}});
        t.CreateDataSet();
        t.AppendRecord({TDateTime::FromCivil(c.When)});
        t.MergeChangeLog();
        const std::string p = Save(t);
        ASSERT_EQ(p.size(), FirstRow(p) + 2 + 8);
        EXPECT_EQ(F64At(p, p.size() - 8), c.Stored);

        TTable back("T", {});
        Load(back, p);
        EXPECT_EQ(back.FieldByName("AT").AsDateTime(), TDateTime::FromCivil(c.When));
    }
}

TEST(TablePacketLayout, TextLengthPrefixFollowsTheWidth) {
    const struct {
        TFieldDef Def;
        std::uint32_t Type;
        int Prefix;
    } cases[] = {
        {TermsFieldDefs()[1], 0x00490001, 1},  // TERM_STRING, text(20)
        {{"T", TFieldKind::Text, 253}, 0x00490001, 1},
        {{"T", TFieldKind::Text, 254}, 0x00490002, 2},
        {ConceptsFieldDefs()[1], 0x00490002, 2},  // TITLE, text(255)
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Def.Name + " " + std::to_string(c.Def.Size));
        TTable t("T", {c.Def});
        t.CreateDataSet();
        t.AppendRecord({S("abc")});
        t.AppendRecord({S("")});
        t.AppendRecord({kNull});
        t.MergeChangeLog();
        const std::string p = Save(t);

        TBytes column;
        column.Name(c.Def.Name).U32(c.Type).U16(0).U16(1).Width(static_cast<unsigned>(c.Def.Size));
        EXPECT_EQ(p.substr(24, column.Size()), column.Str());
        TBytes rows;
        auto length = [&](unsigned n) -> TBytes& {
            return c.Prefix == 1 ? rows.U8(n) : rows.U16(n);
        };
        rows.U8(0).U8(0);
        length(3).Raw("abc");
        rows.U8(0).U8(0);
        length(1).U8(0);  // an empty text that is not null
        rows.U8(0).U8(1);
        EXPECT_EQ(p.substr(FirstRow(p)), rows.Str());
    }
}

// ---------------------------------------------------------------------------------------------
// Reading packets the program's writer does not produce

// Version 3.3, a longer header, column attributes, unknown properties of every shape on the
// columns and on the table, a text column without WIDTH and text with an embedded zero byte.
std::string ForeignPacket(bool firstRowOffset) {
    TBytes p;
    p.U32(0xBDE01996).U16(3).U16(3).U32(28).U16(3).U32(2);
    p.U32(firstRowOffset ? 3 : 1).U16(0).Raw("xxxx");
    p.Name("ID").U32(0x00010004).U16(0x000F).U16(3);
    p.Name("XFIXED").U32(0x00040008).F64(1.5);
    p.Subtype("Autoinc");
    p.Name("XARRAY").U32(0x00810004).U32(3).U32(1).U32(2).U32(3);
    p.Name("NAME").U32(0x00490002).U16(0).U16(1);
    p.Name("XVARYING").U32(0x004B0004).U32(3).Raw("abc");
    p.Name("NOTE").U32(0x00490001).U16(0).U16(2);
    p.Name("XNAMES").U32(0x00C90001).U32(2).U8(1).Raw("a").U8(2).Raw("bc");
    p.Width(10);
    p.U16(4);
    p.Name("XTFIXED").U32(0x00020002).U16(7);
    p.Name("XTVARYING").U32(0x00490001).U8(2).Raw("hi");
    p.Name("XTARRAY").U32(0x00810002).U32(2).U16(1).U16(2);
    p.Name("AUTOINCVALUE").U32(0x00010004).U32(42);
    if (firstRowOffset) {
        p.Raw("gap");
        SetU16(p.Mutable(), 22, static_cast<unsigned>(p.Size()));
    }
    p.U8(0).U8(0).U32(5).U16(5).Raw("ab\0cd"sv).U8(3).Raw("xyz");
    p.U8(0).U8(0x10).U32(6).U16(0);
    return p.Str();
}

TEST(TablePacketRead, AcceptsWhatTheFormatAllowsOtherWritersToAdd) {
    for (const bool firstRowOffset : {false, true}) {
        SCOPED_TRACE(firstRowOffset ? "rows at the offset in the header" : "rows follow");
        TTable t("T", {{"ID", TFieldKind::AutoInc, 0}});
        Load(t, ForeignPacket(firstRowOffset));
        EXPECT_EQ(t.FieldDefs(), (std::vector<TFieldDef>{{"ID", TFieldKind::AutoInc, 0},
                                                         {"NAME", TFieldKind::Text, 255},
                                                         {"NOTE", TFieldKind::Text, 10}}));
        EXPECT_EQ(Records(t), (TRecords{{I(5), S("ab"), S("xyz")}, {I(6), S(""), kNull}}));
        EXPECT_EQ(t.AutoIncValue(), 42);
    }
}

TEST(TablePacketRead, WithoutAStoredCounterNumbersContinueAfterTheHighest) {
    TTable t("T", {{"ID", TFieldKind::AutoInc, 0}});
    t.OpenEmpty(t.DeclaredFieldDefs());
    t.AppendLoadedRecord(std::vector<TValue>{I(9)});
    t.AppendLoadedRecord(std::vector<TValue>{I(3)});
    t.SetAutoIncValue(20);
    std::string p = Save(t);
    Splice(p,
           Find(p,
                "\x0C"
                "AUTOINCVALUE"sv) -
               2,
           2 + 13 + 8, "\x00\x00"sv);

    Load(t, p);
    EXPECT_EQ(t.AutoIncValue(), 10);
}

TEST(TablePacketRead, DeclaredFieldsMustBePresentWithTheirKind) {
    const struct {
        std::string_view Field;
        std::optional<TFieldKind> Kind;  // none: the field is left out
        std::string Message;
    } cases[] = {
        {kFieldTitle, std::nullopt, "項目 'TITLE' が見つかりません"},
        {kFieldEditor, std::nullopt, "項目 'EDITOR' が見つかりません"},
        {kFieldRecordNo, TFieldKind::Integer,
         "項目 'RECORD_NO' の型が一致しません。AutoInc に対して Integer が渡されました。"},
        {kFieldDescription, TFieldKind::Text,
         "項目 'DESCRIPTION' の型が一致しません。Memo に対して String が渡されました。"},
        {kFieldTitle, TFieldKind::Memo,
         "項目 'TITLE' の型が一致しません。String に対して Memo が渡されました。"},
        {kFieldDateEdition, TFieldKind::Integer,
         "項目 'DATE_EDITION' の型が一致しません。DateTime に対して Integer が渡されました。"},
    };
    auto concepts = Filled(Table(kDtStOriginalConcepts));
    const TRecords before = Records(*concepts);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Message);
        std::vector<TFieldDef> defs;
        for (TFieldDef def : ConceptsFieldDefs()) {
            if (def.Name == c.Field && !c.Kind) {
                continue;
            }
            if (def.Name == c.Field) {
                def.Kind = *c.Kind;
            }
            defs.push_back(def);
        }
        TTable other("X", {});
        other.OpenEmpty(defs);
        EXPECT_EQ(LoadError(*concepts, Save(other)), c.Message);
        EXPECT_EQ(concepts->FieldDefs(), ConceptsFieldDefs());
        EXPECT_EQ(Records(*concepts), before);
    }
}

// The reading of a label is never read or written, so a terms packet without it still loads
// (and is written back as it came).
TEST(TablePacketRead, ATermsPacketWithoutTheReadingLoads) {
    TTable other("X", {});
    other.OpenEmpty({TermsFieldDefs()[0], TermsFieldDefs()[1]});
    other.AppendRecord({I(1), S("label")});
    other.MergeChangeLog();
    const std::string packet = Save(other);
    auto terms = Declared(Table(kDtStOriginalTerms));
    Load(*terms, packet);
    EXPECT_EQ(Records(*terms), (TRecords{{I(1), S("label")}}));
    EXPECT_EQ(Save(*terms), packet);
    // The label itself stays required.
    TTable noLabel("X", {});
    noLabel.OpenEmpty({TermsFieldDefs()[0], TermsFieldDefs()[2]});
    EXPECT_EQ(LoadError(*terms, Save(noLabel)), "項目 'TERM_STRING' が見つかりません");
}

TEST(TablePacketRead, ACounterAtOrBelowAStoredNumberIsRaisedPastTheHighest) {
    const struct {
        std::int32_t stored;
        std::int32_t next;
        std::optional<std::int32_t> raisedFrom;
    } kCases[] = {{1, 8, 1}, {7, 8, 7}, {8, 8, std::nullopt}, {20, 20, std::nullopt}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.stored);
        TTable source("X", {});
        source.OpenEmpty(AssociationFieldDefs());
        for (const std::int32_t no : {3, 7, 5}) {
            source.AppendLoadedRecord(std::vector<TValue>{I(no), I(1), I(1), I(1)});
        }
        source.SetAutoIncValue(c.stored);
        auto table = Declared(Table(kDtStOriginalAssociation));
        Load(*table, Save(source));
        EXPECT_EQ(table->AutoIncValue(), c.next);
        EXPECT_EQ(table->AutoIncRaisedFrom(), c.raisedFrom);
    }
}

// A reader stops a text at its first zero byte, so the writer never writes one: what is read
// back is what was written, and saving it again gives the same bytes.
TEST(TablePacketSave, TextIsWrittenUpToItsFirstZeroByte) {
    auto terms = Declared(Table(kDtStOriginalTerms));
    terms->CreateDataSet();
    terms->AppendRecord({kNull, S("ab\0cd"s), S("\0\0"s)});
    terms->MergeChangeLog();
    auto concepts = Declared(Table(kDtStOriginalConcepts));
    concepts->CreateDataSet();
    concepts->AppendRecord({kNull, S("t"), S("id"), S("x\0y"s), S("\0"s), I(0), I(1), I(-1), I(-1),
                            kNull, kNull, S("e")});
    concepts->MergeChangeLog();
    for (TTable* table : {terms.get(), concepts.get()}) {
        const std::string packet = Save(*table);
        EXPECT_EQ(packet.find("cd"), std::string::npos);
        auto reread = Declared(Table(table->TableName()));
        Load(*reread, packet);
        EXPECT_EQ(Save(*reread), packet);
        if (table == terms.get()) {
            EXPECT_EQ(Records(*reread), (TRecords{{I(1), S("ab"), S("")}}));
        } else {
            const TRecords records = Records(*reread);
            EXPECT_EQ(records[0][3], S("x"));
            EXPECT_EQ(records[0][4], kNull);  // a memo left empty is null
        }
    }
}

TEST(TablePacketRead, ReadsFromThePositionToTheEnd) {
    auto source = Filled(Table(kDtStOriginalTerms));
    const std::string packet = Save(*source);
    auto previous = Filled(Table(kDtStOriginalConcepts));
    const TRecords before = Records(*previous);

    TMemoryStream prefixed("head" + packet);
    prefixed.Seek(4);
    TTable loaded("T", {});
    LoadTableFromStream(loaded, prefixed);
    EXPECT_EQ(Records(loaded), Records(*source));

    // No bytes left: opening fails and the table keeps what it held.
    TMemoryStream empty;
    TMemoryStream atEnd(packet);
    atEnd.Seek(static_cast<std::int64_t>(packet.size()));
    for (TMemoryStream* stream : {&empty, &atEnd}) {
        EXPECT_THROW(LoadTableFromStream(*previous, *stream), ETableError);
        EXPECT_EQ(Records(*previous), before);
    }
}

TEST(TablePacketRead, EveryTruncationFailsAndLeavesTheTableAsItWas) {
    auto concepts = Filled(Table(kDtStOriginalConcepts));
    const std::string packet = Save(*concepts);

    auto target = Filled(Table(kDtStOriginalConcepts));
    target->Last();
    target->Delete();
    target->MergeChangeLog();
    TTable open("T", {});
    open.CreateDataSet();
    for (TTable* t : {target.get(), &open}) {
        const TRecords before = Records(*t);
        const std::vector<TFieldDef> defs = t->FieldDefs();
        for (std::size_t length = 0; length < packet.size(); ++length) {
            SCOPED_TRACE(length);
            const std::string message = LoadError(*t, packet.substr(0, length));
            if (length > 0) {
                EXPECT_NE(message.find("オフセット"), std::string::npos) << message;
            }
            ASSERT_EQ(t->FieldDefs(), defs);
            ASSERT_EQ(Records(*t), before);
        }
    }
}

// A stream that hands out at most a few bytes a call, as a pipe or a slow disk may.
class TTrickleStream final : public TStream {
public:
    explicit TTrickleStream(std::string bytes) : m_bytes(std::move(bytes)) {}
    std::size_t Read(void* buffer, std::size_t n) override {
        n = std::min({n, m_bytes.size() - m_position, 1 + m_position % 7919});
        std::memcpy(buffer, m_bytes.data() + m_position, n);
        m_position += n;
        return n;
    }
    void Write(const void*, std::size_t) override { throw EStreamError(kStreamWriteError); }
    std::int64_t Position() const override { return static_cast<std::int64_t>(m_position); }
    void Seek(std::int64_t position) override { m_position = static_cast<std::size_t>(position); }
    std::int64_t Size() const override { return static_cast<std::int64_t>(m_bytes.size()); }

private:
    std::string m_bytes;
    std::size_t m_position = 0;
};

TEST(TablePacketRead, APacketLargerThanTheReadingWindowLoadsAsFromMemory) {
    // About 12 MB: rows straddle the window's edges, and one description is longer than a
    // whole window, so it has to grow while the rows around it stay whole.
    auto concepts = Declared(Table(kDtStOriginalConcepts));
    concepts->CreateDataSet();
    for (int i = 0; i < 40000; ++i) {
        concepts->AppendRecord({kNull, S("t" + std::to_string(i)), kNull,
                                S(std::string(150 + i % 97, static_cast<char>('a' + i % 26))),
                                i % 3 ? kNull : S("c"), I(i / 10), I(i), I(i % 640), I(-1),
                                TDateTime::FromMilliseconds(i), kNull, S("e")});
        if (i == 20000) {
            concepts->AppendRecord({kNull, S("long"), kNull, S(std::string(5 << 20, 'x')), kNull,
                                    I(0), I(0), I(0), I(0), kNull, kNull, kNull});
        }
    }
    const std::string packet = Save(*concepts);
    ASSERT_GT(packet.size(), std::size_t{12} << 20);

    TTable fromMemory("T", {});
    LoadTableFromBytes(fromMemory, packet);
    TTable fromStream("T", {});
    TTrickleStream trickle(packet);
    LoadTableFromStream(fromStream, trickle);
    const TRecords records = Records(*concepts);
    EXPECT_EQ(Records(fromMemory), records);
    EXPECT_EQ(Records(fromStream), records);
    EXPECT_EQ(Save(fromStream), packet);

    // Cut short inside the long description, and inside a row beyond the first window: the
    // same fault at the same offset either way.
    for (const std::size_t length : {packet.size() / 2, std::size_t{5} << 20, packet.size() - 3}) {
        SCOPED_TRACE(length);
        std::string viaBytes;
        std::string viaStream;
        try {
            TTable t("T", {});
            LoadTableFromBytes(t, std::string_view(packet).substr(0, length));
        } catch (const ETableError& e) {
            viaBytes = e.what();
        }
        try {
            TTable t("T", {});
            TTrickleStream cut(packet.substr(0, length));
            LoadTableFromStream(t, cut);
        } catch (const ETableError& e) {
            viaStream = e.what();
        }
        EXPECT_NE(viaBytes.find("オフセット"), std::string::npos) << viaBytes;
        EXPECT_EQ(viaStream, viaBytes);
    }
}

TEST(TablePacketRead, DamagedPacketsAreRefusedWithTheirFaultAndOffset) {
    TTable source("T", {{"ID", TFieldKind::AutoInc, 0},
                        {"N", TFieldKind::Integer, 0},
                        {"NAME", TFieldKind::Text, 10},
                        {"NOTE", TFieldKind::Memo, 200},
                        {"AT", TFieldKind::DateTime, 0}});
    source.CreateDataSet();
    source.AppendRecord({kNull, I(7), S("name"), S("note"), TDateTime::FromCivil({2000, 1, 1})});
    source.MergeChangeLog();
    const std::string valid = Save(source);
    // Row: state, 2 status bytes, ID, N, NAME (1 + 4), NOTE (4 + 4), AT (8).
    const std::size_t row = FirstRow(valid);
    const std::size_t name = Find(valid, "\x04NAME");
    const std::size_t nameWidthType = name + 1 + 4 + 4 + 2 + 2 + 1 + 5;
    const std::size_t numberType = Find(valid, "\x01N") + 2;
    const std::size_t counterType = Find(valid,
                                         "\x0C"
                                         "AUTOINCVALUE") +
                                    13;

    const struct {
        const char* What;
        std::function<void(std::string&)> Damage;
        std::string Message;
    } cases[] = {
        {"signature", [](std::string& p) { SetU8(p, 3, 0); }, "オフセット 0: 署名 0x00E01996"},
        {"major version 4", [](std::string& p) { SetU16(p, 4, 4); },
         "オフセット 4: 版 4.0 には対応していません"},
        {"minor version 4", [](std::string& p) { SetU16(p, 6, 4); }, "版 1.4 には対応していません"},
        {"header size 23", [](std::string& p) { SetU32(p, 8, 23); },
         "オフセット 8: ヘッダーの大きさ 23"},
        {"header size past the end", [](std::string& p) { SetU32(p, 8, 0xFFFFFFFF); },
         "オフセット 8: ヘッダーの大きさ 4294967295"},
        {"no columns", [](std::string& p) { SetU16(p, 12, 0); }, "オフセット 12: 列の数 0"},
        {"65535 columns", [](std::string& p) { SetU16(p, 12, 0xFFFF); },
         "オフセット 12: 列の数 65535"},
        {"more columns than a table holds",
         [](std::string& p) {
             TBytes many;
             many.U32(0xBDE01996).U16(1).U16(0).U32(24).U16(65).U32(0).U32(1).U16(0);
             for (int j = 0; j < 65; ++j) {
                 many.Name("C" + std::to_string(j)).U32(0x00010004).U16(0).U16(0);
             }
             p = many.U16(0).Str();
         },
         "オフセット 12: テーブルの項目が多すぎます"},
        {"row count past the end", [](std::string& p) { SetU32(p, 14, 0xFFFFFFFF); },
         "オフセット 14: 行数 4294967295"},
        {"one row too many", [](std::string& p) { SetU32(p, 14, 2); },
         "行 2: 行の状態を読むには 1 バイト必要ですが、残りは 0 バイトです"},
        {"rows beyond the row count", [](std::string& p) { SetU32(p, 14, 0); }, "余分なデータ"},
        {"first row inside the columns", [](std::string& p) { SetU16(p, 22, 24); },
         "オフセット 22: 先頭行の位置 24"},
        {"first row past the end", [](std::string& p) { SetU16(p, 22, 0xFFFF); },
         "オフセット 22: 先頭行の位置 65535"},
        {"column name of 32 bytes", [&](std::string& p) { SetU8(p, name, 32); },
         "オフセット " + std::to_string(name) + ", 列 3: 列名の長さ 32"},
        {"empty column name", [&](std::string& p) { SetU8(p, name, 0); }, "列名の長さ 0"},
        {"column name twice", [](std::string& p) { Replace(p, "\x04NOTE", "\x04name"); },
         "列 4: 列名 'name' が重複しています"},
        {"Boolean column", [&](std::string& p) { SetU32(p, numberType, 0x00030002); },
         "オフセット " + std::to_string(numberType) + ", 列 2 'N': 列の型 0x00030002"},
        {"array column", [&](std::string& p) { SetU32(p, numberType, 0x00810004); },
         "配列型の列 (型 0x00810004)"},
        {"unknown subtype", [](std::string& p) { Replace(p, "Autoinc", "Autoinx"); },
         "SUBTYPE 'Autoinx' には対応していません"},
        {"memo without SUBTYPE",
         [](std::string& p) {
             Replace(p, "\x07SUBTYPE\x02\x00\x49\x00\x05"sv, "\x07SUBTYPX\x02\x00\x49\x00\x05"sv);
         },
         "列 4 'NOTE': SUBTYPE 'Text' のないバイト列"},
        {"text width 0", [&](std::string& p) { SetU16(p, nameWidthType + 4, 0); },
         "テキストの幅 0"},
        {"WIDTH as text", [&](std::string& p) { SetU32(p, nameWidthType, 0x00490002); },
         "プロパティ 'WIDTH' の型 0x00490002 は整数ではありません"},
        {"length prefix of 3 bytes",
         [&](std::string& p) {
             Replace(p, "\x05WIDTH\x02\x00\x02\x00\x0A"sv, "\x05WIDTX\x03\x00\x40\x00\x0A"sv);
         },
         "長さの大きさ 3 は 1, 2, 4 のいずれでもありません"},
        {"second auto-increment column",
         [&](std::string& p) {
             TBytes subtype;
             subtype.U16(1).Subtype("Autoinc");
             Splice(p, numberType + 6, 2, subtype.Str());
         },
         "自動採番の列が 2 つあります ('ID' と 'N')"},
        {"AUTOINCVALUE of 16 bits", [&](std::string& p) { SetU32(p, counterType, 0x00020002); },
         "AUTOINCVALUE の型 0x00020002"},
        {"array property larger than the packet",
         [&](std::string& p) {
             SetU16(p, counterType - 15, 2);
             TBytes array;
             array.Name("XARRAY").U32(0x00810004).U32(0x40000000);
             Splice(p, counterType + 8, 0, array.Str());
         },
         "配列の要素を読むには 4294967296 バイト必要"},
        {"array of texts larger than the packet",
         [&](std::string& p) {
             SetU16(p, counterType - 15, 2);
             TBytes array;
             array.Name("XARRAY").U32(0x00C90002).U32(0xFFFFFFFF);
             Splice(p, counterType + 8, 0, array.Str());
         },
         "配列の要素数 4294967295"},
        {"row state 1", [&](std::string& p) { SetU8(p, row, 1); },
         "オフセット " + std::to_string(row) + ", 行 1: 行の状態 1 には対応していません"},
        {"unchanged value", [&](std::string& p) { SetU8(p, row + 1, 0x02); },
         "「変更なし」の状態ビットには対応していません"},
        {"text longer than the packet", [&](std::string& p) { SetU8(p, row + 11, 0xFF); },
         "行 1, 列 'NAME': テキストを読むには 255 バイト必要"},
        {"memo longer than the packet", [&](std::string& p) { SetU32(p, row + 16, 0xFFFFFFFF); },
         "行 1, 列 'NOTE': メモを読むには 4294967295 バイト必要"},
        {"date-time not a number",
         [](std::string& p) {
             p.resize(p.size() - 8);
             TBytes nan;
             nan.F64(std::numeric_limits<double>::quiet_NaN());
             p += nan.Str();
         },
         "列 'AT': 日時の値"},
        {"date-time beyond 2^53",
         [](std::string& p) {
             p.resize(p.size() - 8);
             TBytes huge;
             huge.F64(1e300);
             p += huge.Str();
         },
         "が範囲外です"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        std::string packet = valid;
        c.Damage(packet);
        TTable t("T", {});
        const std::string message = LoadError(t, packet);
        EXPECT_NE(message.find(c.Message), std::string::npos) << message;
        EXPECT_EQ(message.rfind("テーブル 'T' のパケット", 0), 0u) << message;
    }
}

// ---------------------------------------------------------------------------------------------
// Saving

TEST(TablePacketSave, RefusesATableThatIsNotReadyAndWritesNothing) {
    const struct {
        const char* What;
        std::function<void(TTable&)> Prepare;
        std::string Message;
    } cases[] = {
        {"pending new record",
         [](TTable& t) {
             t.Append();
             t.FieldByName("NAME").SetAsString("x");
         },
         "編集中のレコードがあります"},
        {"closed table", [](TTable& t) { t.Close(); }, "テーブルが開かれていません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TTable t("T", {{"ID", TFieldKind::AutoInc, 0}, {"NAME", TFieldKind::Text, 10}});
        t.CreateDataSet();
        c.Prepare(t);
        TMemoryStream out;
        try {
            SaveTableToStream(t, out);
            ADD_FAILURE() << "saved";
        } catch (const ETableError& e) {
            EXPECT_EQ(std::string(e.what()), "テーブル 'T' を保存できません: " + c.Message);
        }
        EXPECT_EQ(out.Size(), 0);
    }
}

}  // namespace
}  // namespace velmora::store
