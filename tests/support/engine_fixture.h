// A store with a seeker over it, a questioner that answers from a script and records what it
// was asked, and helpers to build small hierarchies in code.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "seeker.h"
#include "store_fixture.h"

namespace velmora::engine::testing {

// Answers questions from a queue (Yes when it runs dry) and keeps every question asked.
class TScriptedQuestioner : public store::TQuestioner {
public:
    struct TQuestion {
        store::TMessageKind Kind;
        store::TButtons Buttons;
        std::string Text;
    };

    store::TAnswer Ask(store::TMessageKind kind, store::TButtons buttons,
                       const std::string& text) override {
        Asked.push_back({kind, buttons, text});
        if (Answers.empty()) {
            return store::TAnswer::Yes;
        }
        const store::TAnswer answer = Answers.front();
        Answers.pop_front();
        return answer;
    }

    std::deque<store::TAnswer> Answers;
    std::vector<TQuestion> Asked;
};

// Records what the engine told the views.
class TRecordingObserver : public TEngineObserver {
public:
    void RefreshConceptEverywhere(const TConceptData& item) override {
        TConceptData copy;
        copy.Assign(item);
        Refreshed.push_back(copy);
    }
    void ResetViews() override { ++Resets; }

    std::vector<TConceptData> Refreshed;
    int Resets = 0;
};

class EngineFixture : public store::testing::StoreFixture {
protected:
    EngineFixture() : seeker(store, questions) {
        store.SetQuestioner(questions);
        seeker.AddObserver(&observer);
        seeker.OnTakeSavePoint = [this] { ++savePoints; };
        top = store.AppendConcept("top", 0, "");
    }

    // A concept under parent with the given LIST_ORDER (0 leaves the store's 10000).
    std::int32_t Add(const std::string& title, std::int32_t parent, std::int32_t listOrder = 0) {
        const std::int32_t no = store.AppendConcept(title, parent, "");
        if (listOrder) {
            store.DtStOriginalConcepts.Edit();
            store.DtStOriginalConcepts.FieldByName("LIST_ORDER").SetAsInteger(listOrder);
            store.DtStOriginalConcepts.Post();
        }
        return no;
    }
    std::int32_t Image(std::int32_t from, std::int32_t to, std::int32_t code = 1,
                       store::TValue listOrder = {}) {
        store::TTable& n = store.DtStOriginalNetWork;
        n.AppendRecord({store::TValue{}, from, to, listOrder, code, -1, -1});
        return n.FieldByName("RECORD_NO").AsInteger();
    }
    std::int32_t ParentOf(std::int32_t no) { return Concept(no, "PARENT_NO").AsInteger(); }
    std::int32_t ImageField(std::int32_t link, std::string_view field) {
        EXPECT_TRUE(store.DtStOriginalNetWork.Locate("RECORD_NO", store::TValue(link))) << link;
        return store.DtStOriginalNetWork.FieldByName(field).AsInteger();
    }
    bool HasImage(std::int32_t link) {
        return store.DtStOriginalNetWork.Locate("RECORD_NO", store::TValue(link));
    }
    // A save point of the five tables, and a rollback to it: the undo of a command, as the
    // desktop program takes it.
    std::unique_ptr<store::TSavePoint> SavePoint() { return store.TakeSavePoint({}); }
    void RollBack(const std::unique_ptr<store::TSavePoint>& point) { store.RollBackTo(*point); }
    // Every record of the concept and network tables, to compare before and after.
    std::vector<std::vector<store::TValue>> Records() {
        std::vector<std::vector<store::TValue>> out;
        for (store::TTable* table : {&store.DtStOriginalConcepts, &store.DtStOriginalNetWork}) {
            table->ForEachRecord([&](std::span<const store::TValue> values) {
                out.emplace_back(values.begin(), values.end());
            });
        }
        return out;
    }

    TScriptedQuestioner questions;
    TRecordingObserver observer;
    TDataModuleSeeker seeker;
    int savePoints = 0;
    std::int32_t top = 0;
};

}  // namespace velmora::engine::testing
