#include "browse_log.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace velmora::app {
namespace {

store::TConceptData Concept(int no) {
    store::TConceptData d;
    d.SetConceptNo(no);
    return d;
}

store::TConceptData Mirror(int linkNo, int conceptNo) {
    store::TConceptData d = Concept(conceptNo);
    d.SetIsLink(true);
    d.LinkNo = linkNo;
    return d;
}

// A history wired as the main window wires it: navigation recorded, deleted records known.
class BrowseLog : public ::testing::Test {
protected:
    void SetUp() override {
        log.OnStateChange = [this](bool back, bool forward) {
            backEnabled = back;
            forwardEnabled = forward;
            ++reports;
        };
        log.OnNavigate = [this](const store::TConceptData& e) { shown.push_back(Key(e)); };
        log.OnIsValid = [this](const store::TConceptData& e) { return !deleted.contains(Key(e)); };
    }

    static std::string Key(const store::TConceptData& e) {
        return (e.IsLink() ? "L" + std::to_string(e.LinkNo) : "C" + std::to_string(e.ConceptNo()));
    }

    void Visit(std::initializer_list<int> concepts) {
        for (const int no : concepts) {
            log.Add(Concept(no));
        }
    }

    std::vector<std::string> Entries() const {
        std::vector<std::string> keys;
        for (int i = 0; i < log.Count(); ++i) {
            keys.push_back(Key(log.Items(i)));
        }
        return keys;
    }

    std::string CurrentKey() const { return log.Current() ? Key(*log.Current()) : "none"; }

    TBrowseLog log;
    bool backEnabled = true;
    bool forwardEnabled = true;
    int reports = 0;
    std::vector<std::string> shown;
    std::set<std::string> deleted;
};

TEST_F(BrowseLog, BackAndForwardStepThroughTheVisits) {
    Visit({1, 2, 3});
    EXPECT_TRUE(backEnabled);
    EXPECT_FALSE(forwardEnabled);
    log.Back();
    log.Back();
    EXPECT_EQ(shown, (std::vector<std::string>{"C2", "C1"}));
    EXPECT_FALSE(backEnabled);
    EXPECT_TRUE(forwardEnabled);
    log.Forward();
    EXPECT_EQ(CurrentKey(), "C2");
    EXPECT_TRUE(backEnabled && forwardEnabled);

    // A new visit from the middle drops what lay ahead.
    log.Back();
    log.Add(Concept(4));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"C1", "C4"}));
    EXPECT_FALSE(forwardEnabled);
}

TEST_F(BrowseLog, EmptyHistoryHasNoCurrentAndBothCommandsOff) {
    EXPECT_EQ(log.Current(), nullptr);
    log.Back();
    log.Forward();
    EXPECT_FALSE(backEnabled);
    EXPECT_FALSE(forwardEnabled);
    EXPECT_EQ(reports, 2);  // every call reports, even when nothing moves
    Visit({1, 2});
    log.Clear();
    EXPECT_EQ(log.Current(), nullptr);
    EXPECT_FALSE(backEnabled);
}

TEST_F(BrowseLog, StepsOverDeletedRecordsAndForgetsThem) {
    Visit({1, 2, 3, 4});
    deleted = {"C3"};
    log.Back();
    EXPECT_EQ(shown, (std::vector<std::string>{"C2"}));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"C1", "C2", "C4"}));
}

TEST_F(BrowseLog, ForwardOverTwoDeletedRecordsLandsOnTheNextExistingOne) {
    Visit({1, 2, 3, 4, 5});
    log.Back();
    log.Back();
    log.Back();
    EXPECT_EQ(CurrentKey(), "C2");
    deleted = {"C3", "C4"};
    shown.clear();
    log.Forward();
    EXPECT_EQ(shown, (std::vector<std::string>{"C5"}));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"C1", "C2", "C5"}));
    EXPECT_FALSE(forwardEnabled);
}

TEST_F(BrowseLog, BackOverOnlyDeletedRecordsStaysAndShortensTheList) {
    Visit({1, 2, 3});
    deleted = {"C1", "C2"};
    log.Back();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(Entries(), (std::vector<std::string>{"C3"}));
    EXPECT_FALSE(backEnabled);
}

TEST_F(BrowseLog, MirrorImagesAndConceptsAreDifferentEntries) {
    log.Add(Concept(5));
    log.Add(Mirror(9, 5));  // the same concept shown through a mirror image
    log.Add(Mirror(9, 5));
    log.Back();
    EXPECT_EQ(shown, (std::vector<std::string>{"C5"}));  // the equal neighbour is skipped
    EXPECT_EQ(Entries(), (std::vector<std::string>{"C5", "L9"}));
}

TEST_F(BrowseLog, KeepsTheLast200Visits) {
    for (int no = 1; no <= 201; ++no) {
        log.Add(Concept(no));
    }
    EXPECT_EQ(log.Count(), 200);
    while (backEnabled) {
        log.Back();
    }
    EXPECT_EQ(CurrentKey(), "C2");
}

TEST_F(BrowseLog, AFullHistoryVisitedFromTheMiddleKeepsItsOrder) {
    for (int no = 1; no <= 200; ++no) {
        log.Add(Concept(no));
    }
    log.Back();  // current 199, 200 ahead
    log.Add(Concept(500));
    // The oldest is dropped, the entry ahead goes as with any visit, the current one stays.
    EXPECT_EQ(log.Count(), 199);
    EXPECT_EQ(Key(log.Items(197)), "C199");
    EXPECT_EQ(CurrentKey(), "C500");
    log.Back();
    EXPECT_EQ(CurrentKey(), "C199");
}

TEST_F(BrowseLog, WithoutNavigateCallbackNothingMoves) {
    Visit({1, 2});
    log.OnNavigate = nullptr;
    log.Back();
    EXPECT_EQ(CurrentKey(), "C2");
    EXPECT_TRUE(backEnabled);
}

}  // namespace
}  // namespace velmora::app
