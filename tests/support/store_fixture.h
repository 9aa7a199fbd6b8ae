// A store with a fixed user name and clock, and small readers for the tests of the store
// operations.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "code_page.h"
#include "data_module.h"
#include "ontology_tables.h"

namespace velmora::store::testing {

inline const TDateTime kFixedNow = TDateTime::FromCivil({2024, 5, 6, 7, 8, 9, 10});

class StoreFixture : public ::testing::Test {
protected:
    StoreFixture() : store(context) {
        context.SetUserName(Utf8ToCp932("山田"));
        context.SetClock([] { return kFixedNow; });
        store.CreateTables();
    }

    // A concept record's field, or fails the test when the concept is missing.
    TField Concept(std::int32_t no, std::string_view field) {
        EXPECT_TRUE(store.DtStOriginalConcepts.Locate("RECORD_NO", TValue(no))) << no;
        return store.DtStOriginalConcepts.FieldByName(field);
    }
    bool HasConcept(std::int32_t no) {
        return store.DtStOriginalConcepts.Locate("RECORD_NO", TValue(no));
    }
    std::int32_t MirrorImage(std::int32_t from, std::int32_t to, std::int32_t code = 1) {
        TTable& n = store.DtStOriginalNetWork;
        n.AppendRecord({TValue{}, from, to, TValue{}, code, -1, -1});
        return n.FieldByName("RECORD_NO").AsInteger();
    }
    // (RECORD_NO_FROM, RECORD_NO_TO) of every mirror image, in order of addition.
    std::vector<std::pair<std::int32_t, std::int32_t>> MirrorImages() {
        std::vector<std::pair<std::int32_t, std::int32_t>> out;
        TTable& n = store.DtStOriginalNetWork;
        for (n.First(); !n.Eof(); n.Next()) {
            out.emplace_back(n.FieldByName("RECORD_NO_FROM").AsInteger(),
                             n.FieldByName("RECORD_NO_TO").AsInteger());
        }
        return out;
    }
    // The label texts of a concept, in the order of its associations.
    std::vector<std::string> Labels(std::int32_t conceptNo) {
        std::vector<std::string> out;
        TCursor a;
        a.CloneCursor(store.DtStOriginalAssociation, true);
        for (a.First(); !a.Eof(); a.Next()) {
            if (a.FieldByName("CONCEPT_NO").AsInteger() != conceptNo) {
                continue;
            }
            const std::int32_t term = a.FieldByName("TERM_NO").AsInteger();
            EXPECT_TRUE(store.DtStOriginalTerms.Locate("TERM_NO", TValue(term))) << term;
            out.push_back(store.DtStOriginalTerms.FieldByName("TERM_STRING").AsString());
        }
        return out;
    }
    std::int32_t TermNo(const std::string& text) {
        return store.DtStOriginalTerms.Locate("TERM_STRING", TValue(text))
                   ? store.DtStOriginalTerms.FieldByName("TERM_NO").AsInteger()
                   : 0;
    }
    static TConceptData ConceptItem(std::int32_t no, const std::string& title = "") {
        TConceptData item;
        item.SetConceptNo(no);
        item.SetTitle(title);
        return item;
    }
    static TConceptData MirrorItem(std::int32_t linkNo, std::int32_t conceptNo) {
        TConceptData item;
        item.SetIsLink(true);
        item.LinkNo = linkNo;
        item.SetConceptNo(conceptNo);
        return item;
    }

    TSimpleStoreContext context;
    TDataModule1 store;
};

}  // namespace velmora::store::testing
