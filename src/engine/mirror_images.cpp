// Mirror images: the cycle check that keeps the hierarchy of lower and upper concepts (PARENT_NO
// together with the relation-1 mirror images) free of loops, changing a mirror image's relation,
// making mirror images from drops on the parents and children panes, and the checks that run
// before every save.
#include "seeker.h"

#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "code_page.h"
#include "ontology_tables.h"
#include "store_exceptions.h"

namespace velmora::engine {

using store::TAnswer;
using store::TButtons;
using store::TCursor;
using store::TMessageKind;
using store::TNumberList;
using store::TValue;

namespace {

// The relation that makes the shown concept a lower concept of the image's place.
constexpr std::int32_t kSubconcept = 1;
// The order that makes identical mirror images neighbours.
constexpr std::string_view kDuplicateOrder = "RECORD_NO_FROM;RECORD_NO_TO;LINK_CODE";

const std::string kOwnChainCycleText =
    " - 支 援 機 能 - (参照の循環検証)\r\n\r\n"
    "　上位概念・下位概念関係の循環リンクになります.\r\nこの操作は無効です.";

std::string CyclicMirrorImageText(const std::string& titleUtf8) {
    return " - 支 援 機 能 - (参照の循環検証)\r\n\r\n循環リンクが発生しました． "
           "以下の鏡像を削除しますか？\r\n\r\n鏡像 \"" +
           titleUtf8 + "\"\r\n\r\n" +
           "　変更先の上位概念である概念項目の鏡像（ショートカット）が対象の概念項目\r\n"
           "の下位概念として配置されています．上位・下位関係が循環することを防ぐため\r\n"
           "にこの鏡像を削除しなければなりません．\r\n\r\n"
           "（「いいえ」を選んだ場合、処理をキャンセルした上で問題の鏡像を表示します.）";
}

std::string OwnPlaceText(const std::string& titleUtf8) {
    return " - 支 援 機 能 -\r\n\r\n以下の「鏡像項目」は元の概念項目と同じ場所にあり，上位概念を"
           "\r\n多重に定義する目的にそいません．削除しますか？\r\n\r\n鏡像項目「" +
           titleUtf8 + "」";
}

std::string DuplicateText(const std::string& titleUtf8) {
    return " - 支 援 機 能 -\r\n\r\n以下の「鏡像項目」は同一のものが複数あるようです．\r\n"
           "余分なものを削除しますか？\r\n\r\n鏡像項目「" +
           titleUtf8 + "」";
}

// Takes the smallest number out of a non-empty set, so that the walks visit concepts in
// ascending record order.
std::int32_t TakeFirst(TNumberList& set) {
    const std::int32_t first = set[0];
    set.Delete(0);
    return first;
}

}  // namespace

void TDataModuleSeeker::CheckReferenceCycle(std::int32_t child, std::int32_t newParent) {
    // The new parent and its PARENT_NO chain. A file whose PARENT_NO values already loop would
    // keep this walk going forever, so a concept met twice ends it with an error.
    bool childOnChain = false;
    std::unordered_set<std::int32_t> chain;
    for (std::int32_t no = newParent; no != 0; no = m_store.GetParentNo(no)) {
        if (!chain.insert(no).second) {
            throw store::EVelmoraError("ERROR: 概念の上位関係が循環しています. 概念 " +
                                       std::to_string(no));
        }
        childOnChain = childOnChain || no == child;
    }
    if (childOnChain) {
        m_questioner.Ask(TMessageKind::Error, TButtons::Ok, kOwnChainCycleText);
        throw store::ETrimInvalidLinkError::Create();
    }

    // Everything above the new parent, through own parents and relation-1 mirror images.
    TNumberList pending;
    TNumberList upper;
    pending.Add(newParent);
    SetSeekMode(smParents);
    while (pending.Count() > 0) {
        const std::int32_t e = TakeFirst(pending);
        upper.Add(e);
        SetSeekNo(e);
        const TConceptList& parents = GetItems();
        for (int i = 0; i < parents.Count(); ++i) {
            const TConceptData& item = parents[i];
            if (item.IsLink() && item.LinkCode != kSubconcept) {
                continue;
            }
            // A mirror image whose place concept is gone gives no concept to climb to.
            const std::int32_t no = item.ConceptNo();
            if (no != 0 && !upper.Contains(no) && !pending.Contains(no)) {
                pending.Add(no);
            }
        }
    }

    // Relation-1 mirror images below the child that show one of those upper concepts would
    // close a loop. The walk follows PARENT_NO only, smallest number first; `visited` keeps a
    // PARENT_NO loop below the child from being walked round for ever. The child's whole
    // subtree is visited, so the children are read straight from two cursors (concepts by
    // PARENT_NO, mirror images by place in list order) instead of through full answers.
    std::set<std::int32_t> below{child};
    std::unordered_set<std::int32_t> visited;
    bool yesToAll = false;
    struct TImage {
        std::int32_t LinkNo;
        std::int32_t LinkCode;
        std::int32_t Shows;
    };
    std::vector<TImage> images;
    while (!below.empty()) {
        const std::int32_t e = *below.begin();
        below.erase(below.begin());
        visited.insert(e);
        for (bool more = m_walkConcepts.Locate(store::kFieldParentNo, TValue(e));
             more && m_walkConcepts.FieldByName(store::kFieldParentNo).AsInteger() == e;
             more = m_walkConcepts.FindNext()) {
            const std::int32_t no = m_walkConcepts.FieldByName(store::kFieldRecordNo).AsInteger();
            if (!visited.count(no)) {
                below.insert(no);
            }
        }
        // Collected first: a Yes below deletes records under the cursor.
        images.clear();
        for (bool more = m_walkLinks.Locate(store::kFieldRecordNoFrom, TValue(e));
             more && m_walkLinks.FieldByName(store::kFieldRecordNoFrom).AsInteger() == e;
             more = m_walkLinks.FindNext()) {
            images.push_back({m_walkLinks.FieldByName(store::kFieldRecordNo).AsInteger(),
                              m_walkLinks.FieldByName(store::kFieldLinkCode).AsInteger(),
                              m_walkLinks.FieldByName(store::kFieldRecordNoTo).AsInteger()});
        }
        for (const TImage& image : images) {
            if (image.LinkCode != kSubconcept || !upper.Contains(image.Shows)) {
                continue;
            }
            switch (AskDeleteCyclicMirrorImage(image.LinkNo, yesToAll)) {
                case TAnswer::YesToAll:
                    yesToAll = true;
                    break;
                case TAnswer::Yes:
                    break;
                case TAnswer::No: {
                    // The item as the children of e show it, for the caller to display.
                    SetSeekMode(smChildren);
                    SetSeekNo(e);
                    const TConceptList& children = GetItems();
                    for (int i = 0; i < children.Count(); ++i) {
                        if (children[i].IsLink() && children[i].LinkNo == image.LinkNo) {
                            throw store::ETrimInvalidLinkError::CreateFor(children[i]);
                        }
                    }
                    throw store::ETrimInvalidLinkError::Create();
                }
                default:
                    // Cancel, or a box closed without an answer.
                    throw store::ETrimInvalidLinkError::Create();
            }
        }
    }
}

TAnswer TDataModuleSeeker::AskDeleteCyclicMirrorImage(std::int32_t linkNo, bool yesToAll) {
    store::TTable& network = m_store.DtStOriginalNetWork;
    if (!network.Locate(store::kFieldRecordNo, TValue(linkNo))) {
        throw store::EVelmoraError("ERROR: Link" + std::to_string(linkNo) + "が見つかりません.");
    }
    const std::int32_t shown = network.FieldByName(store::kFieldRecordNoTo).AsInteger();
    store::TTable& concepts = m_store.DtStOriginalConcepts;
    if (!concepts.Locate(store::kFieldRecordNo, TValue(shown))) {
        throw store::EVelmoraError("ERROR: Concept" + std::to_string(shown) + "が見つかりません.");
    }
    const std::string title = concepts.FieldByName(store::kFieldTitle).AsString();

    const TAnswer answer =
        yesToAll ? TAnswer::Yes
                 : m_questioner.Ask(TMessageKind::Warning, TButtons::YesNoCancelYesToAll,
                                    CyclicMirrorImageText(store::Cp932ToUtf8(title)));
    if (answer == TAnswer::Yes || answer == TAnswer::YesToAll) {
        // Located again: whoever answered may have moved the table meanwhile.
        m_store.DeleteLink(linkNo);
    }
    return answer;
}

void TDataModuleSeeker::SetLinkCode(std::int32_t linkNo, std::int32_t code) {
    store::TTable& network = m_store.DtStOriginalNetWork;
    if (!network.Locate(store::kFieldRecordNo, TValue(linkNo))) {
        throw store::EUnableToFind::CreateLink(linkNo);
    }
    const std::int32_t place = network.FieldByName(store::kFieldRecordNoFrom).AsInteger();
    const std::int32_t shown = network.FieldByName(store::kFieldRecordNoTo).AsInteger();
    if (code == kSubconcept) {
        CheckReferenceCycle(shown, place);
    }
    // The check moves the table and may delete other mirror images.
    if (!network.Locate(store::kFieldRecordNo, TValue(linkNo))) {
        throw store::EUnableToFind::CreateLink(linkNo);
    }
    network.Edit();
    network.FieldByName(store::kFieldLinkCode).SetAsInteger(code);
    network.Post();
}

void TDataModuleSeeker::CreateMirrorImageUnder(const TConceptData& shown,
                                               const TConceptData& place) {
    const bool placeHadChildren = HasChildRecords(place.ConceptNo());
    TConceptList items;
    TConceptData& image = items.AddNew();
    image.Assign(shown);
    image.SetIsLink(true);
    image.LinkCode = kSubconcept;
    image.IconPos = store::TIconPoint{};
    image.LinkNo = m_store.AppendMirrorImage(shown, kSubconcept);
    TConceptData created;
    created.Assign(image);
    try {
        MoveItems(items, place);
        if (!placeHadChildren) {
            TConceptData refreshed;
            refreshed.Assign(place);
            refreshed.SetHasChildren(true);
            RefreshConceptEverywhere(refreshed);
        }
    } catch (...) {
        m_store.DeleteItem(created);
        throw;
    }
}

namespace {

bool HoldsMirrorImage(const TConceptList& items) {
    for (int i = 0; i < items.Count(); ++i) {
        if (items[i].IsLink()) {
            return true;
        }
    }
    return false;
}

}  // namespace

namespace {

// The drops on the parents and children panes: one undo step, then one mirror image per dropped
// concept until a cycle error ends the loop; the mirror image that error names is handed out.
template <typename TMake>
bool DropMirrorImages(TDataModuleSeeker& seeker, const TConceptList& dropped,
                      std::unique_ptr<TConceptData>* show, TMake make) {
    if (HoldsMirrorImage(dropped)) {
        return false;
    }
    if (seeker.OnTakeSavePoint) {
        seeker.OnTakeSavePoint();
    }
    try {
        for (int i = 0; i < dropped.Count(); ++i) {
            make(dropped[i]);
        }
    } catch (const store::ETrimInvalidLinkError& e) {
        if (e.Item() && show) {
            *show = std::make_unique<TConceptData>();
            (*show)->Assign(*e.Item());
        }
    }
    return true;
}

}  // namespace

bool TDataModuleSeeker::AddParentsByMirrorImage(const TConceptList& dropped,
                                                const TConceptData& current,
                                                std::unique_ptr<TConceptData>* show) {
    return DropMirrorImages(*this, dropped, show, [&](const TConceptData& parent) {
        CreateMirrorImageUnder(current, parent);
    });
}

bool TDataModuleSeeker::AddChildrenByMirrorImage(const TConceptData& current,
                                                 const TConceptList& dropped,
                                                 std::unique_ptr<TConceptData>* show) {
    return DropMirrorImages(*this, dropped, show, [&](const TConceptData& child) {
        CreateMirrorImageUnder(child, current);
    });
}

bool TDataModuleSeeker::RunSupportChecks(const TSupportDecision& decide) {
    if (OnTakeSavePoint) {
        OnTakeSavePoint();
    }
    // Private cursors: the store's own network table keeps its index and position, and
    // nothing that runs while a question is open can move these.
    TCursor network;
    network.CloneCursor(m_store.DtStOriginalNetWork, true);
    network.SetIndexFieldNames(kDuplicateOrder);
    TCursor concepts;
    concepts.CloneCursor(m_store.DtStOriginalConcepts, true);
    concepts.SetIndexFieldNames(store::kFieldRecordNo);

    const int fNo = network.FindFieldIndex(store::kFieldRecordNo);
    const int fFrom = network.FindFieldIndex(store::kFieldRecordNoFrom);
    const int fTo = network.FindFieldIndex(store::kFieldRecordNoTo);
    const int fCode = network.FindFieldIndex(store::kFieldLinkCode);
    const int fParent = concepts.FindFieldIndex(store::kFieldParentNo);
    const int fTitle = concepts.FindFieldIndex(store::kFieldTitle);

    // The concept of the last RECORD_NO_TO looked up; neighbours often share it.
    bool haveConcept = false;
    std::int32_t conceptNo = 0;
    bool conceptExists = false;
    std::int32_t conceptParent = 0;
    std::string conceptTitle;
    const auto lookUp = [&](std::int32_t no) {
        if (haveConcept && conceptNo == no) {
            return;
        }
        haveConcept = true;
        conceptNo = no;
        conceptExists = concepts.Locate(store::kFieldRecordNo, TValue(no));
        if (conceptExists) {
            conceptParent = concepts.Fields(fParent).AsInteger();
            conceptTitle = concepts.Fields(fTitle).AsString();
        }
    };

    struct TRecord {
        std::int32_t No = 0;
        std::int32_t From = 0;
        std::int32_t To = 0;
        std::int32_t Code = 0;
    };
    bool havePrevious = false;
    TRecord previous;
    bool deleted = false;
    network.First();
    while (!network.Eof()) {
        const TRecord record{network.Fields(fNo).AsInteger(), network.Fields(fFrom).AsInteger(),
                             network.Fields(fTo).AsInteger(), network.Fields(fCode).AsInteger()};
        const auto offer = [&](TSupportFindingKind kind) {
            const std::string title = store::Cp932ToUtf8(conceptTitle);
            TSupportFinding finding{kind, record.No, conceptTitle,
                                    kind == TSupportFindingKind::MirrorAtOwnPlace
                                        ? OwnPlaceText(title)
                                        : DuplicateText(title)};
            return decide ? decide(finding)
                          : m_questioner.Ask(TMessageKind::Confirmation, TButtons::YesNo,
                                             finding.Question) == TAnswer::Yes;
        };
        bool remove = false;
        if (record.Code == kSubconcept) {
            lookUp(record.To);
            if (conceptExists && conceptParent == record.From) {
                remove = offer(TSupportFindingKind::MirrorAtOwnPlace);
            }
        }
        if (!remove && havePrevious && previous.No != record.No && previous.From == record.From &&
            previous.To == record.To && previous.Code == record.Code) {
            lookUp(record.To);
            if (conceptExists) {
                remove = offer(TSupportFindingKind::MirrorDuplicate);
            }
        }
        previous = record;
        havePrevious = true;
        if (remove) {
            deleted = true;
            // Delete moves on to the next record, or back to the previous one at the end.
            const bool last = network.RecNo() == network.RecordCount();
            network.Delete();
            if (last) {
                break;
            }
        } else {
            network.Next();
        }
    }

    if (deleted) {
        for (TEngineObserver* observer : m_observers) {
            observer->ResetViews();
        }
    }
    return deleted;
}

}  // namespace velmora::engine
