// The synthetic ontologies of `generate` and the bundled sample: every rule the records must
// keep, checked independently of the generator, the check command finding nothing, the same
// seed giving the same records, and the committed samples/sample.ont being what the builder
// makes.

#include "ontology_builder.h"

#include <map>
#include <set>
#include <sstream>

#include "cli_fixture.h"
#include "ontology_check.h"

namespace velmora::cli {
namespace {

using namespace store;
using testing::TSession;

std::vector<TFinding> Check(TDataModule1& store) {
    std::ostringstream err;
    TTerminalText text(err);
    return CheckOntology(store, text).Findings;
}

std::string Describe(const std::vector<TFinding>& findings) {
    std::string text;
    for (const TFinding& f : findings) {
        text += FormatFinding(f) + "\n";
    }
    return text;
}

struct TGenerated : TSession {
    TGenerated(std::int32_t concepts, std::uint64_t seed) {
        Context.SetUserName(testing::Sjis("生成者"));
        TGenerateOptions options;
        options.Concepts = concepts;
        options.Seed = seed;
        Stats = GenerateOntology(Store, Ontology, Context, options);
    }
    TGenerateStats Stats;
};

class CliGenerate : public ::testing::TestWithParam<std::pair<std::int32_t, std::uint64_t>> {};

TEST_P(CliGenerate, KeepsEveryRuleOfTheTables) {
    const auto [n, seed] = GetParam();
    TGenerated g(n, seed);
    EXPECT_EQ(Describe(Check(g.Store)), "");

    // Concepts: numbers 1..n in order, one top, parents before children, the stamps of
    // AppendConcept, depth at most 15.
    std::map<std::int32_t, std::int32_t> parentOf;
    std::map<std::int32_t, std::vector<std::int32_t>> ordersUnder;
    std::map<std::int32_t, std::string> titleOf;
    TTable& c = g.Store.DtStOriginalConcepts;
    std::int32_t expectedNo = 1;
    for (c.First(); !c.Eof(); c.Next(), ++expectedNo) {
        const std::int32_t no = c.FieldByName(kFieldRecordNo).AsInteger();
        const std::int32_t parent = c.FieldByName(kFieldParentNo).AsInteger();
        const std::string title = c.FieldByName(kFieldTitle).AsString();
        ASSERT_EQ(no, expectedNo);
        EXPECT_EQ(parent == 0, no == 1) << no;
        EXPECT_LT(parent, no);
        EXPECT_EQ(c.FieldByName(kFieldIdentifier).AsString(),
                  "@" + RecordNoToCode(no) + "%" + CutToBytes(title, 246));
        EXPECT_EQ(c.FieldByName(kFieldDateCreation).AsDateTime(), testing::Moment(9, 0, 0));
        EXPECT_EQ(c.FieldByName(kFieldDateEdition).AsDateTime(), testing::Moment(9, 0, 0));
        EXPECT_EQ(c.FieldByName(kFieldEditor).AsString(), testing::Sjis("生成者"));
        EXPECT_EQ(c.FieldByName(kFieldIconPosX).AsInteger(), -1);
        EXPECT_EQ(c.FieldByName(kFieldIconPosY).AsInteger(), -1);
        parentOf[no] = parent;
        titleOf[no] = title;
        if (parent != 0) {
            ordersUnder[parent].push_back(c.FieldByName(kFieldListOrder).AsInteger());
        }
        int depth = 0;
        for (std::int32_t up = parent; up != 0; up = parentOf[up]) {
            ++depth;
        }
        EXPECT_LE(depth, 15) << no;
    }
    EXPECT_EQ(static_cast<std::int32_t>(parentOf.size()), n);

    // Mirror images: under a smaller number than the concept shown, never at its own place,
    // never twice under one place; they share the numbering of their level.
    std::set<std::pair<std::int32_t, std::int32_t>> placed;
    std::set<std::int32_t> codes;
    TTable& net = g.Store.DtStOriginalNetWork;
    for (net.First(); !net.Eof(); net.Next()) {
        const std::int32_t from = net.FieldByName(kFieldRecordNoFrom).AsInteger();
        const std::int32_t to = net.FieldByName(kFieldRecordNoTo).AsInteger();
        EXPECT_LT(from, to);
        EXPECT_NE(from, parentOf[to]);
        EXPECT_TRUE(placed.insert({from, to}).second);
        codes.insert(net.FieldByName(kFieldLinkCode).AsInteger());
        ordersUnder[from].push_back(net.FieldByName(kFieldListOrder).AsInteger());
    }
    EXPECT_EQ(net.RecordCount(), n >= 3 ? n / 50 : 0);
    if (n >= 1000) {
        EXPECT_GE(codes.size(), 3u);
        EXPECT_TRUE(codes.count(1));
    }
    for (auto& [parent, orders] : ordersUnder) {
        std::sort(orders.begin(), orders.end());
        for (std::size_t i = 0; i < orders.size(); ++i) {
            ASSERT_EQ(orders[i], static_cast<std::int32_t>(i + 1)) << "under " << parent;
        }
    }

    // Labels: one record per text, at most 20 bytes; every concept carries its title.
    std::map<std::int32_t, std::string> labelOf;
    std::set<std::string> texts;
    TTable& terms = g.Store.DtStOriginalTerms;
    for (terms.First(); !terms.Eof(); terms.Next()) {
        const std::string text = terms.FieldByName(kFieldTermString).AsString();
        EXPECT_LE(text.size(), 20u);
        EXPECT_TRUE(texts.insert(text).second) << Cp932ToUtf8(text);
        labelOf[terms.FieldByName(kFieldTermNo).AsInteger()] = text;
    }
    std::map<std::int32_t, int> usesOfLabel;
    std::set<std::int32_t> labelledByTitle;
    TTable& assocs = g.Store.DtStOriginalAssociation;
    for (assocs.First(); !assocs.Eof(); assocs.Next()) {
        const std::int32_t conceptNo = assocs.FieldByName(kFieldConceptNo).AsInteger();
        const std::int32_t term = assocs.FieldByName(kFieldTermNo).AsInteger();
        ++usesOfLabel[term];
        if (labelOf[term] == titleOf[conceptNo]) {
            labelledByTitle.insert(conceptNo);
        }
    }
    EXPECT_EQ(labelledByTitle.size(), titleOf.size());
    if (n >= 1000) {
        const auto shared = std::count_if(usesOfLabel.begin(), usesOfLabel.end(),
                                          [](const auto& use) { return use.second > 1; });
        EXPECT_GT(shared, 10);
        EXPECT_GE(g.Stats.MaxDepth, 10);
        EXPECT_GT(g.Stats.WidestLevel, n / 100);
    }
}

INSTANTIATE_TEST_SUITE_P(SizesAndSeeds, CliGenerate,
                         ::testing::Values(std::pair{1, 1ULL}, std::pair{2, 1ULL},
                                           std::pair{3, 9ULL}, std::pair{120, 2ULL},
                                           std::pair{5000, 1ULL}, std::pair{5000, 77ULL}),
                         [](const auto& info) {
                             return "N" + std::to_string(info.param.first) + "Seed" +
                                    std::to_string(info.param.second);
                         });

TEST(CliGenerateSeed, TheSameSeedGivesTheSameRecordsAndAnotherSeedOthers) {
    TGenerated a(800, 3);
    TGenerated b(800, 3);
    TGenerated c(800, 4);
    EXPECT_EQ(testing::Dump(a.Store), testing::Dump(b.Store));
    EXPECT_NE(testing::Dump(a.Store), testing::Dump(c.Store));
}

TEST(CliSample, TheBundledFileIsWhatTheBuilderMakesAndChecksClean) {
    TSession built;
    const TDateTime stamp = TDateTime::FromCivil({2024, 4, 1, 9, 30, 0, 0});
    built.Context.SetClock([stamp] { return stamp; });
    BuildSampleOntology(built.Store, built.Ontology, stamp);
    EXPECT_EQ(Describe(Check(built.Store)), "");
    EXPECT_EQ(built.Store.DtStOriginalConcepts.RecordCount(), 60);
    EXPECT_EQ(built.Store.DtStOriginalNetWork.RecordCount(), 5);

    TSession bundled;
    bundled.Load(VELMORA_SAMPLES_DIR "/sample.ont");
    EXPECT_EQ(testing::Dump(bundled.Store), testing::Dump(built.Store))
        << "samples/sample.ont is stale: rebuild it with velmora-make-sample";
    EXPECT_EQ(bundled.Ontology.Lines(), built.Ontology.Lines());
}

}  // namespace
}  // namespace velmora::cli
