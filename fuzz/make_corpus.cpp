// Writes the seed corpus for the table packet fuzzer: one packet per table of a small ontology
// (the five tables as a new ontology fills them, plus a child concept and a mirror image) and an
// empty table. Usage: table_packet_make_corpus FOLDER
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "code_page.h"
#include "ontology_tables.h"
#include "stream.h"
#include "table.h"
#include "table_packet.h"

namespace {

using namespace velmora::store;

const TValue kNull{};

bool Write(const std::string& folder, std::string_view name, TTable& table) {
    table.MergeChangeLog();
    TMemoryStream packet;
    SaveTableToStream(table, packet);
    std::ofstream file(folder + "/" + std::string(name), std::ios::binary);
    file << packet.Bytes();
    return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: table_packet_make_corpus FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];
    const std::string title = Utf8ToCp932("動物");
    const std::string child = Utf8ToCp932("新規の概念");
    const TDateTime when = TDateTime::FromCivil({2024, 5, 1, 10, 20, 30, 400});
    bool ok = true;

    TTable concepts(std::string(kDtStOriginalConcepts), ConceptsFieldDefs(),
                    std::string(kConceptsDefaultIndex));
    concepts.CreateDataSet();
    concepts.AppendRecord({kNull, TValue(title), TValue("@AAAAAAB%" + title),
                           TValue(Utf8ToCp932("解説  ")), kNull, std::int32_t{0},
                           std::int32_t{10000}, std::int32_t{-1}, std::int32_t{-1}, when, when,
                           TValue(Utf8ToCp932("無記名"))});
    concepts.AppendRecord({kNull, TValue(child), TValue("@AAAAAAC%" + child), kNull,
                           TValue(std::string("c")), std::int32_t{1}, std::int32_t{1},
                           std::int32_t{40}, std::int32_t{80}, when, kNull, TValue(std::string())});
    ok = Write(folder, "concepts", concepts) && ok;

    TTable linkTypes(std::string(kDtStOriginalLinkType), LinkTypeFieldDefs(),
                     std::string(kFieldLinkCode));
    linkTypes.CreateDataSet();
    for (const TLinkTypeRow& row : DefaultLinkTypes()) {
        linkTypes.AppendRecord({row.LinkCode, row.LinkTitle, row.Comment});
    }
    ok = Write(folder, "link_types", linkTypes) && ok;

    TTable network(std::string(kDtStOriginalNetWork), NetWorkFieldDefs());
    network.CreateDataSet();
    network.AppendRecord({kNull, std::int32_t{1}, std::int32_t{2}, kNull, std::int32_t{3},
                          std::int32_t{-1}, std::int32_t{-1}});
    ok = Write(folder, "network", network) && ok;

    TTable terms(std::string(kDtStOriginalTerms), TermsFieldDefs());
    terms.CreateDataSet();
    terms.AppendRecord({kNull, TValue(title), kNull});
    ok = Write(folder, "terms", terms) && ok;

    TTable associations(std::string(kDtStOriginalAssociation), AssociationFieldDefs());
    associations.CreateDataSet();
    ok = Write(folder, "associations_empty", associations) && ok;
    associations.AppendRecord({kNull, std::int32_t{1}, std::int32_t{1}, kNull});
    ok = Write(folder, "associations", associations) && ok;

    if (!ok) {
        std::cerr << "cannot write to " << folder << "\n";
        return 1;
    }
    return 0;
}
