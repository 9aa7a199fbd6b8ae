// The export object model: one object per record whichever way it is reached, values read live
// from the tables, missing records, what counts as subconcepts, the top concept, the order of
// every seek list (also when lists of several concepts are asked in turn), sorting by list
// order, the metadata copy, and that the store's own cursors are left where they were.

#include "export_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "ontology.h"

namespace velmora::exchange {
namespace {

namespace vo = VelmoraOntology;
using store::TValue;

constexpr const char* kNotFoundMessage =
    "バグ：データベースとアプリケーション内部で不整合が発生しました.\r\n"
    "　　　開発者をどついてください。";

class ExportModel : public engine::testing::EngineFixture {
protected:
    // Made on first use, after the test has built its records.
    vo::TOntology& Model() {
        if (!m_model) {
            m_model = std::make_unique<vo::TOntology>(metadata, store);
        }
        return *m_model;
    }
    vo::TConcept& C(std::int32_t no) { return Model().Concepts().ConceptByNo(no); }

    void SetField(store::TTable& table, std::string_view key, std::int32_t no,
                  std::string_view field, const TValue& value) {
        ASSERT_TRUE(table.Locate(key, TValue(no)));
        table.Edit();
        table.FieldByName(field).SetValue(value);
        table.Post();
    }
    void SetConcept(std::int32_t no, std::string_view field, const TValue& value) {
        SetField(store.DtStOriginalConcepts, "RECORD_NO", no, field, value);
    }

    static std::vector<std::string> Titles(const vo::TSeekChildList& list) {
        std::vector<std::string> out;
        for (int i = 0; i < list.Count(); ++i) {
            out.push_back(list.Items(i).Title());
        }
        return out;
    }
    static std::vector<std::int32_t> Numbers(const vo::TConceptList& list) {
        std::vector<std::int32_t> out;
        for (int i = 0; i < list.Count(); ++i) {
            out.push_back(list.Items(i).RecordNo());
        }
        return out;
    }
    template <typename TList>
    static std::vector<std::int32_t> LinkNumbers(const TList& list) {
        std::vector<std::int32_t> out;
        for (int i = 0; i < list.Count(); ++i) {
            out.push_back(list.Items(i).RecordNo());
        }
        return out;
    }
    static std::vector<std::string> Labels(const vo::TConceptTermsManager& terms) {
        std::vector<std::string> out;
        for (int i = 0; i < terms.Count(); ++i) {
            out.push_back(terms.Items(i).TermString());
        }
        return out;
    }

    store::TOntology metadata;

private:
    std::unique_ptr<vo::TOntology> m_model;
};

void ExpectNotFound(const std::function<void()>& action) {
    try {
        action();
        ADD_FAILURE() << "no EDataNotFound";
    } catch (const vo::EDataNotFound& e) {
        EXPECT_STREQ(e.what(), kNotFoundMessage);
    }
}

// --- Identity

TEST_F(ExportModel, EveryRoadToARecordGivesTheSameObject) {
    const std::int32_t a = Add("a", top, 1);
    const std::int32_t b = Add("b", top, 2);
    const std::int32_t link = Image(a, b, 1);
    store.AddTermToConcept(a, "shared");
    store.AddTermToConcept(b, "shared");

    vo::TConcept& topConcept = C(top);
    EXPECT_EQ(&C(top), &topConcept);
    EXPECT_EQ(&Model().Concepts().TopConcept(), &topConcept);
    EXPECT_EQ(&topConcept.Children().Items(0), &C(a));
    EXPECT_EQ(C(b).Parent(), &topConcept);

    vo::TLink& image = Model().Links().LinkByNo(link);
    EXPECT_EQ(&C(a).LinksTo().Items(0), &image);
    EXPECT_EQ(&C(b).LinksFrom().Items(0), &image);
    EXPECT_EQ(&image.FromConcept(), &C(a));
    EXPECT_EQ(&image.ToConcept(), &C(b));
    EXPECT_EQ(&image.LinkType(), &Model().LinkTypes().SubconceptType());
    EXPECT_EQ(&C(a).Terms().Items(0), &C(b).Terms().Items(0));

    // Marks live on the object, so they survive a second lookup.
    C(a).SetExportMark(2);
    EXPECT_EQ(Model().Concepts().ConceptByNo(a).ExportMark(), 2);
    EXPECT_EQ(C(b).ExportMark(), 0);

    // Each record was made once, whatever the number of roads to it.
    EXPECT_EQ(Model().Concepts().Count(), 3);
    EXPECT_EQ(Model().Links().Count(), 1);
    EXPECT_EQ(Model().LinkTypes().Count(), 1);
    EXPECT_EQ(Model().Terms().Count(), 1);
}

TEST_F(ExportModel, ForEachConceptVisitsAscendingNumbersAndMayUseTheModel) {
    const std::int32_t a = Add("a", top, 2);
    const std::int32_t b = Add("b", a, 1);
    const std::int32_t c = Add("c", top, 1);
    std::vector<std::int32_t> visited;
    std::vector<std::string> titles;
    Model().Concepts().ForEachConcept([&](vo::TConcept& each) {
        visited.push_back(each.RecordNo());
        // Reads move the model's concept cursor; the walk must not lose its place.
        titles.push_back(each.Title());
        if (each.Parent()) {
            titles.back() += "<" + each.Parent()->Title();
        }
        EXPECT_EQ(&each, &C(each.RecordNo()));
    });
    EXPECT_EQ(visited, (std::vector<std::int32_t>{top, a, b, c}));
    EXPECT_EQ(titles, (std::vector<std::string>{"top", "a<top", "b<a", "c<top"}));
}

// --- Live values and missing records

TEST_F(ExportModel, ValuesAreReadWhenAskedAndMissingRecordsRaise) {
    const std::int32_t a = Add("a", top, 1);
    const std::int32_t link = Image(top, a, 2, 7);
    vo::TConcept& aConcept = C(a);
    vo::TLink& image = Model().Links().LinkByNo(link);
    EXPECT_EQ(image.GetListOrder(), 7);

    SetConcept(a, "TITLE", std::string("renamed"));
    SetConcept(a, "DESCRIPTION", std::string("descr"));
    SetField(store.DtStOriginalNetWork, "RECORD_NO", link, "LIST_ORDER", TValue{});
    SetField(store.DtStOriginalLinkType, "LINK_CODE", 2, "LINK_TITLE", std::string("is-a"));
    EXPECT_EQ(aConcept.Title(), "renamed");
    EXPECT_EQ(aConcept.Description(), "descr");
    EXPECT_EQ(aConcept.Comment(), "");
    EXPECT_EQ(image.GetListOrder(), 0);  // never placed
    EXPECT_EQ(image.LinkType().LinkTitle(), "is-a");

    store.DeleteLink(link);
    store.DeleteConceptRecord(a);
    ExpectNotFound([&] { (void)aConcept.Title(); });
    ExpectNotFound([&] { (void)image.ToConcept(); });
}

TEST_F(ExportModel, LookupOfANumberWithoutRecordRaises) {
    const std::int32_t a = Add("a", top, 1);
    const std::int32_t link = Image(top, a, 1);
    store.AddTermToConcept(a, "label");
    const struct {
        const char* name;
        std::function<void(vo::TOntology&)> lookup;
    } cases[] = {
        {"concept", [](vo::TOntology& m) { m.Concepts().ConceptByNo(999); }},
        {"concept 0", [](vo::TOntology& m) { m.Concepts().ConceptByNo(0); }},
        {"link", [&](vo::TOntology& m) { m.Links().LinkByNo(link + 1); }},
        {"link type", [](vo::TOntology& m) { m.LinkTypes().LinkTypeByCode(11); }},
        {"term", [](vo::TOntology& m) { m.Terms().TermByNo(999); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectNotFound([&] { c.lookup(Model()); });
    }
    // A failed lookup caches nothing.
    EXPECT_EQ(Model().Concepts().Count(), 0);
}

TEST_F(ExportModel, AnImageWhoseLinkTypeIsGoneRaisesOnlyWhenItsTypeIsNeeded) {
    const std::int32_t a = Add("a", top, 1);
    const std::int32_t b = Add("b", top, 2);
    Image(a, b, 1);
    ASSERT_TRUE(store.DtStOriginalLinkType.Locate("LINK_CODE", TValue(1)));
    store.DtStOriginalLinkType.Delete();
    EXPECT_EQ(&C(a).LinksTo().Items(0).ToConcept(), &C(b));
    ExpectNotFound([&] { (void)C(a).HasSubconcepts(); });
    EXPECT_FALSE(C(b).HasSubconcepts());  // no image under it: the type is never asked for
}

TEST_F(ExportModel, LeavesTheStoreCursorsWhereTheyWere) {
    const std::int32_t a = Add("a", top, 1);
    Add("b", a, 1);
    Image(top, a, 1);
    store.DtStOriginalConcepts.First();
    store.DtStOriginalNetWork.First();
    const std::int32_t conceptAt = store.DtStOriginalConcepts.FieldByName("RECORD_NO").AsInteger();

    Model().Concepts().ForEachConcept([](vo::TConcept& each) { (void)each.HasSubconcepts(); });
    (void)Model().Concepts().TopConcept().Children().Items(0).Children().Items(0).Title();

    EXPECT_EQ(store.DtStOriginalConcepts.FieldByName("RECORD_NO").AsInteger(), conceptAt);
    EXPECT_EQ(store.DtStOriginalConcepts.IndexFieldNames(), "RECORD_NO");
    EXPECT_FALSE(store.DtStOriginalConcepts.Filtered());
    EXPECT_FALSE(store.DtStOriginalNetWork.Filtered());
    EXPECT_EQ(store.DtStOriginalNetWork.RecNo(), 1);
}

// --- Subconcepts

TEST_F(ExportModel, OnlyChildrenAndSubconceptImagesUnderAConceptAreSubconcepts) {
    const struct {
        const char* name;
        // Builds around concept c; other is a concept elsewhere.
        std::function<void(std::int32_t c, std::int32_t other)> build;
        bool expected;
    } cases[] = {
        {"leaf", [](std::int32_t, std::int32_t) {}, false},
        {"child concept", [&](std::int32_t c, std::int32_t) { Add("child", c); }, true},
        {"subconcept image under it", [&](std::int32_t c, std::int32_t o) { Image(c, o, 1); },
         true},
        {"other relation under it", [&](std::int32_t c, std::int32_t o) { Image(c, o, 2); }, false},
        {"its own image placed elsewhere", [&](std::int32_t c, std::int32_t o) { Image(o, c, 1); },
         false},
        {"subconcept image after another relation",
         [&](std::int32_t c, std::int32_t o) {
             Image(c, o, 2, 1);
             Image(c, top, 1, 2);
         },
         true},
        {"subconcept relation renamed",
         [&](std::int32_t c, std::int32_t o) {
             SetField(store.DtStOriginalLinkType, "LINK_CODE", 1, "LINK_TITLE",
                      std::string("is-a"));
             Image(c, o, 1);
         },
         true},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        const std::int32_t c = Add(k.name, top);
        k.build(c, Add("other", top));
        vo::TOntology model(metadata, store);
        vo::TConcept& subject = model.Concepts().ConceptByNo(c);
        EXPECT_EQ(subject.HasSubconcepts(), k.expected);
    }
}

TEST_F(ExportModel, ASubconceptImageAloneLeavesTheChildListEmpty) {
    const std::int32_t a = Add("a", top, 1);
    const std::int32_t b = Add("b", top, 2);
    Image(a, b, 1);
    EXPECT_TRUE(C(a).HasSubconcepts());
    EXPECT_EQ(C(a).Children().Count(), 0);
    EXPECT_EQ(C(a).LinksTo().Count(), 1);
}

// --- Top concept and parents

TEST_F(ExportModel, TopConceptIsTheLowestListOrderWithoutParent) {
    SetConcept(top, "LIST_ORDER", 5);
    const std::int32_t second = Add("second root", 0, 2);
    Add("third root", 0, 9);
    Add("child", second, 1);
    vo::TConcept& found = Model().Concepts().TopConcept();
    EXPECT_EQ(found.RecordNo(), second);
    EXPECT_EQ(found.Parent(), nullptr);
    EXPECT_EQ(C(top).Parent(), nullptr);
}

TEST_F(ExportModel, TopConceptWithoutAnyRootRaises) {
    const std::int32_t a = Add("a", top, 1);
    SetConcept(top, "PARENT_NO", a);
    ExpectNotFound([&] { Model().Concepts().TopConcept(); });

    SetConcept(top, "PARENT_NO", 0);  // the model reads the table anew
    EXPECT_EQ(Model().Concepts().TopConcept().RecordNo(), top);
}

TEST_F(ExportModel, AParentThatIsGoneRaises) {
    const std::int32_t a = Add("a", top, 1);
    SetConcept(a, "PARENT_NO", 999);
    ExpectNotFound([&] { (void)C(a).Parent(); });
}

// --- Order of the seek lists

TEST_F(ExportModel, SeekListsComeInTheirOrder) {
    const std::int32_t a = Add("a", top, 3);
    const std::int32_t b = Add("b", top, 1);
    const std::int32_t c = Add("c", top);  // 10000: not placed yet
    const std::int32_t d = Add("d", top, 2);
    // Under a, placed 2 then 1 then never; b is shown under a and under d.
    const std::int32_t second = Image(a, b, 1, 2);
    const std::int32_t first = Image(a, c, 2, 1);
    const std::int32_t unplaced = Image(a, d, 1);
    const std::int32_t elsewhere = Image(d, b, 1, 1);
    store.AddTermToConcept(a, "zeta");
    store.AddTermToConcept(a, "alpha");
    store.AddTermToConcept(a, "mu");

    EXPECT_EQ(Titles(C(top).Children()), (std::vector<std::string>{"b", "d", "a", "c"}));
    EXPECT_EQ(LinkNumbers(C(a).LinksTo()), (std::vector<std::int32_t>{unplaced, first, second}));
    EXPECT_EQ(LinkNumbers(C(b).LinksFrom()), (std::vector<std::int32_t>{second, elsewhere}));
    EXPECT_EQ(Labels(C(a).Terms()), (std::vector<std::string>{"zeta", "alpha", "mu"}));
    EXPECT_THROW(C(top).Children().Items(4), std::out_of_range);
    EXPECT_THROW(C(a).LinksTo().Items(-1), std::out_of_range);
}

TEST_F(ExportModel, ListsOfSeveralConceptsCanBeAskedInTurn) {
    const std::int32_t a = Add("a", top, 1);
    const std::int32_t b = Add("b", top, 2);
    const std::int32_t a1 = Add("a1", a, 1);
    const std::int32_t a2 = Add("a2", a, 2);
    const std::int32_t b1 = Add("b1", b, 1);
    store.AddTermToConcept(a, "la");
    store.AddTermToConcept(b, "lb");

    // The lists share cursors; each call must filter for its own concept.
    const vo::TSeekChildList& ofA = C(a).Children();
    const vo::TSeekChildList& ofB = C(b).Children();
    EXPECT_EQ(ofA.Count(), 2);
    EXPECT_EQ(ofB.Count(), 1);
    EXPECT_EQ(ofA.Items(1).RecordNo(), a2);
    EXPECT_EQ(ofB.Items(0).RecordNo(), b1);
    EXPECT_EQ(ofA.Items(0).RecordNo(), a1);
    EXPECT_EQ(C(b).Terms().Items(0).TermString(), "lb");
    EXPECT_EQ(C(a).Terms().Items(0).TermString(), "la");

    // A walk that asks a child's list in the middle of its parent's list.
    std::vector<std::string> walk;
    const vo::TSeekChildList& ofTop = C(top).Children();
    for (int i = 0; i < ofTop.Count(); ++i) {
        walk.push_back(ofTop.Items(i).Title());
        const vo::TSeekChildList& kids = ofTop.Items(i).Children();
        for (int k = 0; k < kids.Count(); ++k) {
            walk.push_back(kids.Items(k).Title());
        }
    }
    EXPECT_EQ(walk, (std::vector<std::string>{"a", "a1", "a2", "b", "b1"}));
}

// --- Sorting

TEST_F(ExportModel, SortingByListOrderPutsUnplacedConceptsLast) {
    const std::int32_t late = Add("late", top);  // 10000
    const std::int32_t three = Add("three", top, 3);
    const std::int32_t one = Add("one", top, 1);
    const std::int32_t shown = Add("shown", late, 2);
    vo::TConceptList kids;
    for (const std::int32_t no : {late, three, one, shown}) {
        kids.Add(C(no));
    }
    kids.SortByListOrder();
    EXPECT_EQ(Numbers(kids), (std::vector<std::int32_t>{one, shown, three, late}));

    kids.Clear();  // drops the references only
    EXPECT_EQ(kids.Count(), 0);
    EXPECT_EQ(C(one).Title(), "one");
    EXPECT_THROW(kids.Items(0), std::out_of_range);
}

TEST_F(ExportModel, LinksSortByTheirOwnListOrder) {
    const std::int32_t a = Add("a", top, 1);
    const std::int32_t b = Add("b", top, 2);
    const std::int32_t x = Image(top, a, 1, 5);
    const std::int32_t y = Image(top, b, 1);  // null: reads 0
    const std::int32_t z = Image(top, a, 2, 3);
    vo::TLinkList links;
    for (const std::int32_t no : {x, y, z}) {
        links.Add(Model().Links().LinkByNo(no));
    }
    links.SortByListOrder();
    EXPECT_EQ(LinkNumbers(links), (std::vector<std::int32_t>{y, z, x}));
}

// --- Metadata

TEST_F(ExportModel, MetadataIsACopyTakenAtCreation) {
    metadata.SetTitle("My ontology");
    metadata.SetTarget("Target");
    metadata.SetCreator("Creator");
    metadata.SetDescription("line 1\r\nline 2");
    vo::TOntology& model = Model();
    metadata.SetTitle("changed later");
    metadata.SetCommunity("late community");

    EXPECT_EQ(model.Title(), "My ontology");
    EXPECT_EQ(model.Target(), "Target");
    EXPECT_EQ(model.Creator(), "Creator");
    EXPECT_EQ(model.Description(), "line 1\r\nline 2");
    EXPECT_EQ(model.Community(), "");
}

}  // namespace
}  // namespace velmora::exchange
