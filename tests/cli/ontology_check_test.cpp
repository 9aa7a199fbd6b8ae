// The check command's findings on small ontologies broken one way at a time, the wording of
// the findings that carry the most information, the path through a saved file and the exit
// code, and a walk deep enough to overflow a recursive cycle search.

#include "ontology_check.h"

#include <functional>
#include <sstream>

#include "cli_fixture.h"

namespace velmora::cli {
namespace {

using testing::TSession;
using namespace store;

// top 1 ─┬─ A 2 ─┬─ A1 4 ── A1a 6
//        │       └─ A2 5
//        └─ B 3 ── (mirror image 1 of A1a, subconcept)
struct TSmallOntology : TSession {
    TSmallOntology() {
        Store.BuildNewOntology("top", std::vector<std::string>{"A", "B"});
        Store.AppendConcept("A1", 2, "A1");
        Store.AppendConcept("A2", 2, "A2");
        Store.AppendConcept("A1a", 4, "A1a");
        Link = AddLink(3, 6, 1);
    }

    std::vector<std::string> Kinds() {
        std::ostringstream err;
        TTerminalText text(err);
        std::vector<std::string> kinds;
        for (const TFinding& f : CheckOntology(Store, text).Findings) {
            kinds.push_back(FormatFinding(f).substr(0, FormatFinding(f).find(':')));
        }
        return kinds;
    }

    std::vector<std::string> Texts() {
        std::ostringstream err;
        TTerminalText text(err);
        std::vector<std::string> texts;
        for (const TFinding& f : CheckOntology(Store, text).Findings) {
            texts.push_back(FormatFinding(f));
        }
        return texts;
    }

    std::int32_t Link = 0;
};

struct TBreakCase {
    const char* Name;
    std::function<void(TSmallOntology&)> Break;
    std::vector<std::string> Expected;
};

class CliCheckCases : public ::testing::TestWithParam<TBreakCase> {};

TEST_P(CliCheckCases, ReportsExactlyTheFindingsOfOneFault) {
    TSmallOntology o;
    GetParam().Break(o);
    EXPECT_EQ(o.Kinds(), GetParam().Expected);
}

const TBreakCase kBreakCases[] = {
    {"Clean", [](TSmallOntology&) {}, {}},
    {"MissingParent",
     [](TSmallOntology& o) { o.SetConcept(4, kFieldParentNo, 99); },
     {"error[missing-parent]"}},
    {"CycleThroughAChild",
     [](TSmallOntology& o) { o.SetConcept(2, kFieldParentNo, 6); },
     {"error[parent-cycle]"}},
    {"OwnParent",
     [](TSmallOntology& o) { o.SetConcept(5, kFieldParentNo, 5); },
     {"error[parent-cycle]"}},
    {"TwoTops",
     [](TSmallOntology& o) { o.SetConcept(3, kFieldParentNo, 0); },
     {"error[extra-top]"}},
    {"NoTopAtAll",
     [](TSmallOntology& o) { o.SetConcept(1, kFieldParentNo, 3); },
     {"error[no-top]", "error[parent-cycle]"}},
    {"MirrorFromMissing",
     [](TSmallOntology& o) { o.SetLink(o.Link, kFieldRecordNoFrom, 77); },
     {"error[mirror-missing-from]"}},
    {"MirrorToMissing",
     [](TSmallOntology& o) { o.SetLink(o.Link, kFieldRecordNoTo, 77); },
     {"error[mirror-missing-to]"}},
    {"MirrorOfUnknownRelation",
     [](TSmallOntology& o) { o.SetLink(o.Link, kFieldLinkCode, 42); },
     {"error[mirror-missing-link-type]"}},
    {"SubconceptMirrorUnderOwnDescendant",
     [](TSmallOntology& o) { o.AddLink(6, 2, 1); },
     {"error[mirror-cycle]"}},
    {"OtherRelationUnderOwnDescendantIsNoCycle", [](TSmallOntology& o) { o.AddLink(6, 2, 3); }, {}},
    {"SubconceptMirrorUnderItself",
     [](TSmallOntology& o) { o.AddLink(5, 5, 1); },
     {"error[mirror-cycle]"}},
    {"OtherRelationUnderItself",
     [](TSmallOntology& o) { o.AddLink(5, 5, 2); },
     {"warning[mirror-self]"}},
    {"CycleOfTwoMirrorImages",
     [](TSmallOntology& o) {
         o.AddLink(5, 3, 1);  // B under A2
         o.AddLink(3, 2, 1);  // A under B
     },
     {"error[mirror-cycle]"}},
    {"MirrorAtOwnPlace",
     [](TSmallOntology& o) { o.AddLink(2, 4, 1); },
     {"warning[mirror-own-place]"}},
    {"OtherRelationAtOwnPlaceIsFine", [](TSmallOntology& o) { o.AddLink(2, 4, 2); }, {}},
    {"IdenticalMirrorImages",
     [](TSmallOntology& o) { o.AddLink(3, 6, 1); },
     {"warning[mirror-duplicate]"}},
    {"SameShownConceptOtherRelationIsNoDuplicate",
     [](TSmallOntology& o) { o.AddLink(3, 6, 2); },
     {}},
    {"AssociationOfMissingConcept",
     [](TSmallOntology& o) {
         o.Store.DtStOriginalAssociation.AppendRecord({std::monostate{}, 50, 1, std::monostate{}});
     },
     {"error[assoc-missing-concept]"}},
    {"AssociationOfMissingLabel",
     [](TSmallOntology& o) {
         o.Store.DtStOriginalAssociation.AppendRecord({std::monostate{}, 5, 60, std::monostate{}});
     },
     {"error[assoc-missing-label]"}},
    {"SameLabelTwice",
     [](TSmallOntology& o) { o.Store.AddTermToConcept(5, "A2"); },
     {"warning[assoc-duplicate]"}},
    {"TwoLabelsOfOneText",
     [](TSmallOntology& o) {
         o.Store.DtStOriginalTerms.AppendRecord({std::monostate{}, "A2", std::monostate{}});
         const std::int32_t term = o.Store.DtStOriginalTerms.FieldByName("TERM_NO").AsInteger();
         o.Store.DtStOriginalAssociation.AppendRecord(
             {std::monostate{}, 3, term, std::monostate{}});
     },
     {"warning[label-same-text]"}},
    {"UnusedLabel",
     [](TSmallOntology& o) {
         o.Store.DtStOriginalTerms.AppendRecord({std::monostate{}, "orphan", std::monostate{}});
     },
     {"warning[label-unused]"}},
    {"TwoItemsOfALevelInOnePosition",
     [](TSmallOntology& o) {
         o.SetConcept(2, kFieldListOrder, 1);
         o.SetConcept(3, kFieldListOrder, 2);
         o.SetLink(o.Link, kFieldListOrder, 1);  // placed under B: its own level
         o.SetConcept(4, kFieldListOrder, 1);
         o.SetConcept(5, kFieldListOrder, 1);
     },
     {"warning[list-order-duplicate]"}},
    {"UnplacedItemsAreNotCompared",
     [](TSmallOntology& o) {
         o.SetConcept(4, kFieldListOrder, 10000);
         o.SetConcept(5, kFieldListOrder, 10000);
     },
     {}},
    {"ConceptNumberUsedTwice",
     [](TSmallOntology& o) {
         store::TTable& concepts = o.Store.DtStOriginalConcepts;
         // A loaded record keeps its number as it stands in the file.
         concepts.AppendLoadedRecord(std::vector<TValue>{
             5, "A2 again", std::monostate{}, std::monostate{}, std::monostate{}, 2, 0, -1, -1,
             std::monostate{}, std::monostate{}, std::monostate{}});
     },
     {"error[duplicate-number]"}},
};

INSTANTIATE_TEST_SUITE_P(Faults, CliCheckCases, ::testing::ValuesIn(kBreakCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(CliCheck, FindingsNameTheRecordsAndWhatHangsBelowThem) {
    TSmallOntology o;
    o.SetConcept(4, kFieldParentNo, 99);  // A1 and A1a are cut off
    o.SetConcept(3, kFieldParentNo, 0);   // B is a second top
    EXPECT_EQ(o.Texts(),
              (std::vector<std::string>{
                  "error[extra-top]: concept 3 \"B\": a further top concept (PARENT_NO 0) "
                  "besides concept 1 \"top\"; 0 concepts hang below it",
                  "error[missing-parent]: concept 4 \"A1\": PARENT_NO 99 names no concept; it "
                  "and 1 concept below it never reach the top",
              }));
}

TEST(CliCheck, CyclesAreListedFromTheirSmallestNumberAndBlameTheMirrorImage) {
    TSmallOntology o;
    o.SetConcept(2, kFieldParentNo, 6);  // 2 → 6 → 4 → 2, with 5 hanging below
    EXPECT_EQ(o.Texts(), (std::vector<std::string>{
                             "error[parent-cycle]: PARENT_NO forms a cycle of 3 concepts: concept "
                             "2 \"A\" → 6 → 4 → 2; none of them nor the 1 below them reach the top",
                         }));

    TSmallOntology m;
    const std::int32_t link = m.AddLink(6, 2, 1);  // A shown under its grandchild A1a
    EXPECT_EQ(m.Texts(),
              (std::vector<std::string>{
                  "error[mirror-cycle]: mirror image " + std::to_string(link) +
                      " shows concept 2 \"A\" under concept 6 and so closes a cycle of 3 "
                      "concepts with PARENT_NO: 2 → 6 → 4 → 2",
              }));
}

// A walk that recursed once per level would run out of stack long before this depth.
TEST(CliCheck, ADeepChainClosedByOneMirrorImageIsOneFinding) {
    constexpr std::int32_t kDepth = 100'000;
    TSession s;
    const std::int32_t top = s.Store.BuildNewOntology("top", {});
    store::TTable& concepts = s.Store.DtStOriginalConcepts;
    for (std::int32_t no = top + 1; no <= kDepth; ++no) {
        concepts.AppendRecord({std::monostate{}, "c", std::monostate{}, std::monostate{},
                               std::monostate{}, no - 1, 1, -1, -1});
    }
    const std::int32_t link = s.AddLink(kDepth, 2, 1);  // concept 2 below the deepest one
    std::ostringstream err;
    TTerminalText text(err);
    const TCheckResult result = CheckOntology(s.Store, text);
    ASSERT_EQ(result.Findings.size(), 1u);
    EXPECT_EQ(result.Findings[0].Kind, "mirror-cycle");
    EXPECT_NE(result.Findings[0].Text.find("mirror image " + std::to_string(link) + " shows"),
              std::string::npos)
        << result.Findings[0].Text;
    EXPECT_NE(result.Findings[0].Text.find("cycle of 99999 concepts"), std::string::npos)
        << result.Findings[0].Text;
}

class CliCheckFile : public testing::TScratchTest {};

TEST_F(CliCheckFile, ErrorsGiveExitOneAndWarningsAloneGiveZero) {
    TSmallOntology broken;
    broken.SetConcept(5, kFieldParentNo, 99);
    broken.AddLink(3, 42, 1);
    broken.Save(Path("broken.ont"));
    const testing::TRun errors = testing::RunCommand({"check", Path("broken.ont")});
    EXPECT_EQ(errors.Status, kExitFailure);
    EXPECT_EQ(testing::Lines(errors.Out),
              (std::vector<std::string>{
                  "error[missing-parent]: concept 5 \"A2\": PARENT_NO 99 names no concept; it "
                  "and 0 concepts below it never reach the top",
                  "error[mirror-missing-to]: mirror image 2: RECORD_NO_TO 42 names no concept",
                  "check: 2 errors, 0 warnings in 6 concepts, 2 mirror images, 6 labels, 6 "
                  "associations, 10 link types",
              }));

    TSmallOntology suspicious;
    suspicious.AddLink(3, 6, 1);
    suspicious.Save(Path("warned.ont"));
    const testing::TRun warnings = testing::RunCommand({"check", Path("warned.ont")});
    EXPECT_EQ(warnings.Status, kExitOk) << warnings.Out;
    EXPECT_NE(warnings.Out.find("warning[mirror-duplicate]: mirror image 2 repeats mirror image 1"),
              std::string::npos)
        << warnings.Out;
}

// Seen in the field: a file whose concept counter stood at 3 made import-text number a new
// concept 3 a second time. Now the counter is raised on loading, check says so, and the next
// concept gets a number of its own.
TEST_F(CliCheckFile, ALowRecordCounterIsAWarningAndNeverGivesANumberTwice) {
    TSmallOntology low;
    low.Store.DtStOriginalConcepts.SetAutoIncValue(3);
    low.Save(Path("low.ont"));
    const testing::TRun check = testing::RunCommand({"check", Path("low.ont")});
    EXPECT_EQ(check.Status, kExitOk);
    EXPECT_NE(check.Out.find("warning[record-counter-low]: DtStOriginalConcepts: the stored "
                             "record counter (AUTOINCVALUE) 3 is not above the highest record "
                             "number; raised to 7"),
              std::string::npos)
        << check.Out;

    std::ofstream(Path("lines.txt")) << "new one\n";
    const testing::TRun imported =
        testing::RunCommand({"import-text", Path("low.ont"), Path("lines.txt"), "--beside", "2"});
    ASSERT_EQ(imported.Status, kExitOk) << imported.Err;
    EXPECT_NE(imported.Out.find("created #7 "), std::string::npos) << imported.Out;
    const testing::TRun after = testing::RunCommand({"check", Path("low.ont")});
    EXPECT_EQ(after.Status, kExitOk);
    EXPECT_EQ(after.Out.rfind("check: 0 errors, 0 warnings in 7 concepts", 0), 0U) << after.Out;
}

}  // namespace
}  // namespace velmora::cli
