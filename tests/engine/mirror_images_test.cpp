#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "code_page.h"
#include "engine_fixture.h"
#include "store_exceptions.h"

namespace velmora::engine {
namespace {

using store::TAnswer;
using store::TButtons;
using store::TMessageKind;
using Pairs = std::vector<std::pair<std::int32_t, std::int32_t>>;

std::string Cp(const char* utf8) {
    return store::Utf8ToCp932(utf8);
}

const char kOwnChainText[] =
    " - 支 援 機 能 - (参照の循環検証)\r\n\r\n"
    "　上位概念・下位概念関係の循環リンクになります.\r\nこの操作は無効です.";

std::string CycleQuestion(const std::string& title) {
    return std::string(
               " - 支 援 機 能 - (参照の循環検証)\r\n\r\n循環リンクが発生しました． "
               "以下の鏡像を削除しますか？\r\n\r\n鏡像 \"") +
           title + "\"\r\n\r\n" +
           "　変更先の上位概念である概念項目の鏡像（ショートカット）が対象の概念項目\r\n" +
           "の下位概念として配置されています．上位・下位関係が循環することを防ぐため\r\n" +
           "にこの鏡像を削除しなければなりません．\r\n\r\n" +
           "（「いいえ」を選んだ場合、処理をキャンセルした上で問題の鏡像を表示します.）";
}

std::string OwnPlaceQuestion(const std::string& title) {
    return " - 支 援 機 能 -\r\n\r\n以下の「鏡像項目」は元の概念項目と同じ場所にあり，上位概念を"
           "\r\n多重に定義する目的にそいません．削除しますか？\r\n\r\n鏡像項目「" +
           title + "」";
}

std::string DuplicateQuestion(const std::string& title) {
    return " - 支 援 機 能 -\r\n\r\n以下の「鏡像項目」は同一のものが複数あるようです．\r\n"
           "余分なものを削除しますか？\r\n\r\n鏡像項目「" +
           title + "」";
}

// What a cycle error carried, if one was raised.
struct TOutcome {
    bool Raised = false;
    bool HasItem = false;
    TConceptData Item;
};

TOutcome Catch(const std::function<void()>& step) {
    TOutcome outcome;
    try {
        step();
    } catch (const store::ETrimInvalidLinkError& e) {
        outcome.Raised = true;
        if (e.Item()) {
            outcome.HasItem = true;
            outcome.Item.Assign(*e.Item());
        }
    }
    return outcome;
}

std::string ErrorText(const std::function<void()>& step) {
    try {
        step();
    } catch (const store::EVelmoraError& e) {
        return e.what();
    }
    return "(no error)";
}

class MirrorImagesTest : public testing::EngineFixture {
protected:
    // top ─┬─ Q ── P
    //      └─ A ── D
    // Q's title is Japanese, so a question that names it shows whether it was converted.
    MirrorImagesTest() {
        q = Add(Cp("上位の概念"), top);
        p = Add("P", q);
        a = Add("A", top);
        d = Add("D", a);
    }

    static TConceptData Item(std::int32_t conceptNo) {
        TConceptData item;
        item.SetConceptNo(conceptNo);
        return item;
    }
    static TConceptData MirrorItem(std::int32_t linkNo, std::int32_t conceptNo) {
        TConceptData item = Item(conceptNo);
        item.SetIsLink(true);
        item.LinkNo = linkNo;
        item.LinkCode = 1;
        return item;
    }
    static TConceptList List(std::initializer_list<TConceptData> items) {
        TConceptList list;
        for (const TConceptData& item : items) {
            list.AddNew().Assign(item);
        }
        return list;
    }
    void Move(std::int32_t conceptNo, std::int32_t target) {
        TConceptList items = List({Item(conceptNo)});
        seeker.MoveItems(items, Item(target));
    }
    void Ask(std::initializer_list<TAnswer> answers) {
        questions.Answers = answers;
        questions.Asked.clear();
    }
    std::vector<std::string> AskedTexts() const {
        std::vector<std::string> texts;
        for (const auto& question : questions.Asked) {
            texts.push_back(question.Text);
        }
        return texts;
    }

    std::int32_t q = 0;
    std::int32_t p = 0;
    std::int32_t a = 0;
    std::int32_t d = 0;
};

// ---- The cycle check --------------------------------------------------------------------

TEST_F(MirrorImagesTest, AMoveUnderItselfOrItsOwnDescendantIsRefusedWithTheErrorBox) {
    const auto g = Add("G", d);
    const auto before = Records();
    for (const std::int32_t target : {g, d, a}) {
        SCOPED_TRACE(target);
        Ask({});
        const TOutcome outcome = Catch([&] { Move(a, target); });
        EXPECT_TRUE(outcome.Raised);
        EXPECT_FALSE(outcome.HasItem);
        ASSERT_EQ(questions.Asked.size(), 1u);
        EXPECT_EQ(questions.Asked[0].Kind, TMessageKind::Error);
        EXPECT_EQ(questions.Asked[0].Buttons, TButtons::Ok);
        EXPECT_EQ(questions.Asked[0].Text, kOwnChainText);
    }
    EXPECT_EQ(Records(), before);
}

TEST_F(MirrorImagesTest, AnImageThatWouldCloseALoopGoesOnlyWithTheUsersConsent) {
    // A subconcept image of Q below A: with A under P, Q would lie below itself.
    struct TCase {
        TAnswer Answer;
        bool Raises;
        bool WithItem;
    };
    const TCase cases[] = {
        {TAnswer::Yes, false, false}, {TAnswer::No, true, true}, {TAnswer::Cancel, true, false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Answer));
        const auto points = SavePoint();
        const auto loop = Image(d, q);
        Ask({c.Answer});
        const TOutcome outcome = Catch([&] { Move(a, p); });
        EXPECT_EQ(outcome.Raised, c.Raises);
        EXPECT_EQ(outcome.HasItem, c.WithItem);
        if (c.WithItem) {
            EXPECT_TRUE(outcome.Item.IsLink());
            EXPECT_EQ(outcome.Item.LinkNo, loop);
            EXPECT_EQ(outcome.Item.ConceptNo(), q);
            EXPECT_EQ(outcome.Item.LinkCode, 1);
        }
        EXPECT_EQ(HasImage(loop), c.Raises);
        EXPECT_EQ(ParentOf(a), c.Raises ? top : p);
        ASSERT_EQ(questions.Asked.size(), 1u);
        EXPECT_EQ(questions.Asked[0].Kind, TMessageKind::Warning);
        EXPECT_EQ(questions.Asked[0].Buttons, TButtons::YesNoCancelYesToAll);
        EXPECT_EQ(questions.Asked[0].Text, CycleQuestion("上位の概念"));
        RollBack(points);
    }
}

TEST_F(MirrorImagesTest, YesToAllDeletesTheFurtherImagesWithoutAsking) {
    const auto first = Image(d, q);
    const auto second = Image(a, p);
    Ask({TAnswer::YesToAll, TAnswer::No});  // a second question would be answered No
    Move(a, p);
    EXPECT_EQ(questions.Asked.size(), 1u);
    EXPECT_FALSE(HasImage(first));
    EXPECT_FALSE(HasImage(second));
    EXPECT_EQ(ParentOf(a), p);
}

TEST_F(MirrorImagesTest, TheConceptsBelowTheChildAreWalkedInRecordOrder) {
    // D2 comes first among A's children but has the higher number, so D is walked first.
    const auto d2 = Add("D2", a, 1);
    const auto underD = Image(d, q);
    Image(d2, p);
    Ask({TAnswer::No});
    const TOutcome outcome = Catch([&] { seeker.CheckReferenceCycle(a, p); });
    ASSERT_TRUE(outcome.HasItem);
    EXPECT_EQ(outcome.Item.LinkNo, underD);
}

TEST_F(MirrorImagesTest, UpperConceptsAreReachedThroughParentsAndSubconceptImagesOnly) {
    // R0 ── R, and P is also a subconcept of R; T ── (image of R, relation 1);
    // S holds an image of P of relation 2; U is unrelated.
    const auto r0 = Add("R0", top);
    const auto r = Add("R", r0);
    const auto t = Add("T", top);
    const auto s = Add("S", top);
    const auto u = Add("U", top);
    Image(r, p, 1);
    Image(t, r, 1);
    Image(s, p, 2);
    struct TCase {
        std::int32_t Shown;
        std::int32_t Code;
        bool Asked;
    };
    const TCase cases[] = {{p, 1, true},  {q, 1, true},  {top, 1, true},  {r, 1, true},
                           {r0, 1, true}, {t, 1, true},  {s, 1, false},   {u, 1, false},
                           {q, 2, false}, {r, 3, false}, {top, 10, false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "shown " << c.Shown << " code " << c.Code);
        const auto image = Image(d, c.Shown, c.Code);
        Ask({TAnswer::No});
        const TOutcome outcome = Catch([&] { seeker.CheckReferenceCycle(a, p); });
        EXPECT_EQ(outcome.Raised, c.Asked);
        EXPECT_EQ(questions.Asked.size(), c.Asked ? 1u : 0u);
        EXPECT_TRUE(HasImage(image));
        store.DeleteLink(image);
    }
}

TEST_F(MirrorImagesTest, AParentNoLoopInTheDataEndsTheCheckInsteadOfHanging) {
    const auto x = Add("X", top);
    const auto y = Add("Y", x);
    ASSERT_TRUE(store.DtStOriginalConcepts.Locate("RECORD_NO", store::TValue(x)));
    store.DtStOriginalConcepts.Edit();
    store.DtStOriginalConcepts.FieldByName("PARENT_NO").SetAsInteger(y);
    store.DtStOriginalConcepts.Post();

    // Above the new parent: the walk up the chain meets Y again.
    EXPECT_EQ(ErrorText([&] { seeker.CheckReferenceCycle(a, y); }),
              "ERROR: 概念の上位関係が循環しています. 概念 " + std::to_string(y));
    EXPECT_TRUE(questions.Asked.empty());
    // Below the child: the walk round X and Y stops, and the move takes X out of the loop.
    Move(x, p);
    EXPECT_EQ(ParentOf(x), p);
}

TEST_F(MirrorImagesTest, AskingAboutAMissingImageOrConceptNamesIt) {
    EXPECT_EQ(ErrorText([&] { seeker.AskDeleteCyclicMirrorImage(999, false); }),
              "ERROR: Link999が見つかりません.");
    const auto dangling = Image(d, 4242);
    EXPECT_EQ(ErrorText([&] { seeker.AskDeleteCyclicMirrorImage(dangling, true); }),
              "ERROR: Concept4242が見つかりません.");
    EXPECT_TRUE(HasImage(dangling));
    EXPECT_TRUE(questions.Asked.empty());
}

// ---- Changing a relation ----------------------------------------------------------------

TEST_F(MirrorImagesTest, GivingAnImageTheSubconceptRelationRunsTheCycleCheck) {
    // A is shown under P with relation 2; as a subconcept it would put Q below itself.
    const auto shown = Image(p, a, 2);
    const auto loop = Image(d, q);
    const auto before = Records();
    const auto points = SavePoint();

    Ask({TAnswer::No});
    const TOutcome refused = Catch([&] { seeker.SetLinkCode(shown, 1); });
    ASSERT_TRUE(refused.HasItem);
    EXPECT_EQ(refused.Item.LinkNo, loop);
    EXPECT_EQ(ImageField(shown, "LINK_CODE"), 2);

    Ask({TAnswer::Yes});
    seeker.SetLinkCode(shown, 1);
    EXPECT_EQ(questions.Asked.size(), 1u);
    EXPECT_EQ(ImageField(shown, "LINK_CODE"), 1);
    EXPECT_FALSE(HasImage(loop));

    RollBack(points);
    EXPECT_EQ(Records(), before);
}

TEST_F(MirrorImagesTest, OtherRelationsAreWrittenWithoutACheck) {
    const auto shown = Image(p, a, 1);
    const auto loop = Image(d, q);
    seeker.SetLinkCode(shown, 2);
    EXPECT_TRUE(questions.Asked.empty());
    EXPECT_EQ(ImageField(shown, "LINK_CODE"), 2);
    EXPECT_TRUE(HasImage(loop));

    EXPECT_EQ(ErrorText([&] { seeker.SetLinkCode(999, 1); }),
              "データベースにレコードが見つかりません.\r\n   データベース：リンクレコード\r\n   "
              "レコード番号：999");
}

// ---- Making mirror images ----------------------------------------------------------------

TEST_F(MirrorImagesTest, ANewImageGoesToTheEndOfItsPlaceAndTheEmptyPlaceIsRefreshed) {
    const auto u = Add("U", top);
    seeker.CreateMirrorImageUnder(Item(a), Item(u));
    store::TTable& n = store.DtStOriginalNetWork;
    n.Last();
    const auto image = n.FieldByName("RECORD_NO").AsInteger();
    EXPECT_EQ(MirrorImages(), (Pairs{{u, a}}));
    EXPECT_EQ(ImageField(image, "LINK_CODE"), 1);
    EXPECT_EQ(ImageField(image, "LIST_ORDER"), 10000);
    EXPECT_EQ(ImageField(image, "ICON_POS_X"), -1);
    EXPECT_EQ(ImageField(image, "ICON_POS_Y"), -1);
    ASSERT_EQ(observer.Refreshed.size(), 1u);
    EXPECT_EQ(observer.Refreshed[0].ConceptNo(), u);
    EXPECT_TRUE(observer.Refreshed[0].HasChildren());

    // U has children now: nothing more to refresh.
    seeker.CreateMirrorImageUnder(Item(d), Item(u));
    EXPECT_EQ(MirrorImages(), (Pairs{{u, a}, {u, d}}));
    EXPECT_EQ(observer.Refreshed.size(), 1u);
}

TEST_F(MirrorImagesTest, AFailedImageLeavesNoRecordBehind) {
    const auto g = Add("G", d);
    Image(d, q);
    const auto before = Records();
    // Under A's own grandchild (the error box), and under P with the loop cancelled.
    for (const std::int32_t place : {g, p}) {
        SCOPED_TRACE(place);
        Ask({TAnswer::Cancel});
        EXPECT_TRUE(Catch([&] { seeker.CreateMirrorImageUnder(Item(a), Item(place)); }).Raised);
        EXPECT_EQ(questions.Asked.size(), 1u);
        EXPECT_EQ(Records(), before);
        EXPECT_TRUE(observer.Refreshed.empty());
    }
}

TEST_F(MirrorImagesTest, ADropHoldingAMirrorImageChangesNothing) {
    const auto image = Image(q, d);
    const TConceptList dropped = List({Item(q), MirrorItem(image, d)});
    const auto before = Records();
    std::unique_ptr<TConceptData> show;
    EXPECT_FALSE(seeker.AddParentsByMirrorImage(dropped, Item(a), &show));
    EXPECT_FALSE(seeker.AddChildrenByMirrorImage(Item(a), dropped, &show));
    EXPECT_EQ(savePoints, 0);
    EXPECT_EQ(Records(), before);
    EXPECT_EQ(show, nullptr);
}

TEST_F(MirrorImagesTest, DroppedConceptsBecomeFurtherParentsOrChildren) {
    const auto x = Add("X", top);
    const auto y = Add("Y", top);
    const auto c = Add("C", top);
    const auto u = Add("U", top);
    const auto w = Add("W", top);
    EXPECT_TRUE(seeker.AddParentsByMirrorImage(List({Item(x), Item(y)}), Item(c), nullptr));
    EXPECT_EQ(MirrorImages(), (Pairs{{x, c}, {y, c}}));
    EXPECT_EQ(savePoints, 1);
    EXPECT_TRUE(seeker.AddChildrenByMirrorImage(Item(c), List({Item(u), Item(w)}), nullptr));
    EXPECT_EQ(MirrorImages(), (Pairs{{x, c}, {y, c}, {c, u}, {c, w}}));
    EXPECT_EQ(savePoints, 2);
    EXPECT_TRUE(questions.Asked.empty());

    // Dropping X again makes an identical image, which the save offers to delete.
    seeker.AddParentsByMirrorImage(List({Item(x)}), Item(c), nullptr);
    Ask({TAnswer::Yes});
    EXPECT_TRUE(seeker.RunSupportChecks());
    EXPECT_EQ(AskedTexts(), std::vector<std::string>{DuplicateQuestion("C")});
    EXPECT_EQ(MirrorImages(), (Pairs{{x, c}, {y, c}, {c, u}, {c, w}}));
}

TEST_F(MirrorImagesTest, ACycleEndsTheDropAndHandsOverTheImageToShow) {
    const auto u = Add("U", top);
    const auto v = Add("V", top);
    std::unique_ptr<TConceptData> show;
    // A is D's parent: it cannot become a child of D as well; V is never reached.
    EXPECT_TRUE(seeker.AddChildrenByMirrorImage(Item(d), List({Item(u), Item(a), Item(v)}), &show));
    EXPECT_EQ(MirrorImages(), (Pairs{{d, u}}));
    EXPECT_EQ(show, nullptr);
    EXPECT_EQ(savePoints, 1);

    const auto loop = Image(d, q);
    Ask({TAnswer::No});
    EXPECT_TRUE(seeker.AddParentsByMirrorImage(List({Item(p)}), Item(a), &show));
    ASSERT_NE(show, nullptr);
    EXPECT_EQ(show->LinkNo, loop);
    EXPECT_EQ(MirrorImages(), (Pairs{{d, u}, {d, q}}));
    EXPECT_EQ(savePoints, 2);
}

// ---- The save-time checks ----------------------------------------------------------------

TEST_F(MirrorImagesTest, ASubconceptImageAtItsConceptsOwnPlaceIsOfferedForDeletion) {
    const auto k = Add(Cp("鏡像の概念"), a);
    const auto own = Image(a, k, 1);
    const auto otherRelation = Image(a, k, 2);  // not reported

    Ask({TAnswer::No});
    EXPECT_FALSE(seeker.RunSupportChecks());
    ASSERT_EQ(questions.Asked.size(), 1u);
    EXPECT_EQ(questions.Asked[0].Kind, TMessageKind::Confirmation);
    EXPECT_EQ(questions.Asked[0].Buttons, TButtons::YesNo);
    EXPECT_EQ(questions.Asked[0].Text, OwnPlaceQuestion("鏡像の概念"));
    EXPECT_TRUE(HasImage(own));
    EXPECT_EQ(observer.Resets, 0);
    EXPECT_EQ(savePoints, 1);

    Ask({TAnswer::Yes});
    EXPECT_TRUE(seeker.RunSupportChecks());
    EXPECT_EQ(questions.Asked.size(), 1u);
    EXPECT_FALSE(HasImage(own));
    EXPECT_TRUE(HasImage(otherRelation));
    EXPECT_EQ(observer.Resets, 1);
    EXPECT_EQ(savePoints, 2);
}

TEST_F(MirrorImagesTest, DuplicatesOfEveryRelationAreOfferedTheLaterOneForDeletion) {
    const auto k = Add(Cp("鏡像の概念"), a);
    const auto u = Add("U", top);
    // Images of a missing concept are never reported.
    Image(top, 4242, 1);
    Image(top, 4242, 1);
    // Identical images need not have been made one after the other.
    const auto code1 = Image(u, k, 1);
    const auto elsewhere = Image(top, k, 1);
    const auto code1Again = Image(u, k, 1);
    const auto code2 = Image(u, k, 2);
    const auto code2Again = Image(u, k, 2);
    const auto code7 = Image(u, k, 7);
    const auto code7Again = Image(u, k, 7);  // the last record of the check's order

    Ask({TAnswer::Yes, TAnswer::No, TAnswer::Yes});
    EXPECT_TRUE(seeker.RunSupportChecks());
    EXPECT_EQ(AskedTexts(), std::vector<std::string>(3, DuplicateQuestion("鏡像の概念")));
    for (const auto kept : {code1, elsewhere, code2, code2Again, code7}) {
        EXPECT_TRUE(HasImage(kept)) << kept;
    }
    EXPECT_FALSE(HasImage(code1Again));
    EXPECT_FALSE(HasImage(code7Again));
    EXPECT_EQ(observer.Resets, 1);
}

TEST_F(MirrorImagesTest, AnImageKeptAtItsOwnPlaceIsStillTestedAsADuplicate) {
    const auto k = Add("K", a);
    const auto first = Image(a, k, 1);
    const auto second = Image(a, k, 1);
    struct TCase {
        std::vector<TAnswer> Answers;
        std::vector<std::string> Questions;
        bool FirstKept;
        bool SecondKept;
    };
    const TCase cases[] = {
        // No, No: the second is then offered as a duplicate of the first.
        {{TAnswer::No, TAnswer::No, TAnswer::Yes},
         {OwnPlaceQuestion("K"), OwnPlaceQuestion("K"), DuplicateQuestion("K")},
         true,
         false},
        // An image deleted for its place is not asked about again.
        {{TAnswer::Yes, TAnswer::Yes},
         {OwnPlaceQuestion("K"), OwnPlaceQuestion("K")},
         false,
         false},
    };
    for (const TCase& c : cases) {
        const auto points = SavePoint();
        questions.Answers.assign(c.Answers.begin(), c.Answers.end());
        questions.Asked.clear();
        EXPECT_TRUE(seeker.RunSupportChecks());
        EXPECT_EQ(AskedTexts(), c.Questions);
        EXPECT_EQ(HasImage(first), c.FirstKept);
        EXPECT_EQ(HasImage(second), c.SecondKept);
        RollBack(points);
    }
}

// Answers the first question by throwing, as a failing message box would.
class TThrowingQuestioner : public store::TQuestioner {
public:
    TAnswer Ask(TMessageKind, TButtons, const std::string&) override {
        throw store::EVelmoraError("box failed");
    }
};

TEST_F(MirrorImagesTest, TheChecksLeaveTheNetworkTablesIndexAsItWas) {
    const auto k = Add("K", a);
    Image(a, k, 1);
    store::TTable& n = store.DtStOriginalNetWork;
    n.SetIndexFieldNames("RECORD_NO_TO;LINK_CODE");
    Ask({TAnswer::No});
    seeker.RunSupportChecks();
    EXPECT_EQ(questions.Asked.size(), 1u);
    EXPECT_EQ(n.IndexFieldNames(), "RECORD_NO_TO;LINK_CODE");

    TThrowingQuestioner throwing;
    TDataModuleSeeker failing(store, throwing);
    EXPECT_EQ(ErrorText([&] { failing.RunSupportChecks(); }), "box failed");
    EXPECT_EQ(n.IndexFieldNames(), "RECORD_NO_TO;LINK_CODE");
}

}  // namespace
}  // namespace velmora::engine
