// Duplicating concepts and mirror images: a concept is copied with its whole subtree, a mirror
// image as a new image of the same concept. Copies are titled uniquely under their new parent,
// start without an icon position, and the copies of the listed items go to the end of the
// target level while copies inside a subtree keep the order of their sources.
//
// The subtree is walked with an explicit stack rather than by recursion: a hand-made file can
// nest concepts far deeper than the call stack allows. The walk keeps the recursive order: a
// concept is copied, then its children are asked for (so that a copy placed under its own
// source turns up among them and is skipped), then each child is copied depth first.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "code_page.h"
#include "ontology_tables.h"
#include "seeker.h"
#include "store_exceptions.h"

namespace velmora::engine {

using store::TCursor;
using store::TTable;
using store::TValue;

namespace {

// Items put into a level carry this LIST_ORDER until the level is renumbered: the end.

// Code page 932, like every table text.
const std::string& CopyPrefix() {
    static const std::string prefix = store::Utf8ToCp932("コピー ～ ");
    return prefix;
}

const std::string& TitleAndParent() {
    static const std::string fields =
        std::string(store::kFieldTitle) + ";" + std::string(store::kFieldParentNo);
    return fields;
}

// Every field of the current record as stored, nulls included, so that fields this program
// does not know (from a loaded file) are taken over as well.
std::vector<TValue> ReadRecord(TCursor& c) {
    const int count = static_cast<int>(c.FieldDefs().size());
    std::vector<TValue> values;
    values.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        values.push_back(c.Fields(i).Value());
    }
    return values;
}

// Appends a record with values; RECORD_NO is numbered by the table. A failure cancels the
// insert: a half-filled record left pending would be posted by the next Append.
void AppendCopy(TTable& t, const std::vector<TValue>& values) {
    const int recordNo = t.FieldByName(store::kFieldRecordNo).Index();
    t.Append();
    try {
        for (int i = 0; i < static_cast<int>(values.size()); ++i) {
            if (i != recordNo) {
                t.Fields(i).SetValue(values[static_cast<std::size_t>(i)]);
            }
        }
        t.Post();
    } catch (...) {
        t.Cancel();
        throw;
    }
}

std::size_t FieldAt(TCursor& c, std::string_view name) {
    return static_cast<std::size_t>(c.FieldByName(name).Index());
}

// One CopyItems call (or one direct call of a member below it). Keeps `created` as the caller
// sees it and, beside it, a hash set of the same items so that the test for an item made in
// this call does not scan the list once per copied record.
class TCopyRun {
public:
    TCopyRun(TDataModuleSeeker& seeker, TConceptList& created)
        : m_seeker(seeker), m_store(seeker.Store()), m_created(created) {
        for (int i = 0; i < created.Count(); ++i) {
            m_createdKeys.insert(Key(created[i]));
        }
    }

    std::unique_ptr<TConceptData> CopyItem(const TConceptData& item, std::int32_t targetNo,
                                           bool keepOrder) {
        return item.IsLink() ? CopyMirrorItem(item, targetNo, keepOrder)
                             : CopyConceptItem(item, targetNo, keepOrder);
    }

    std::unique_ptr<TConceptData> CopyMirrorItem(const TConceptData& item, std::int32_t targetNo,
                                                 bool keepOrder) {
        if (WasCreated(item)) {
            return nullptr;
        }
        TTable& n = m_store.DtStOriginalNetWork;
        if (!n.Locate(store::kFieldRecordNo, TValue(item.LinkNo))) {
            throw store::EUnableToFind::CreateLink(item.LinkNo);
        }
        std::vector<TValue> values = ReadRecord(n);
        // RECORD_NO_TO and LINK_CODE stay: the copy shows the same concept in the same relation.
        values[FieldAt(n, store::kFieldRecordNoFrom)] = targetNo;
        values[FieldAt(n, store::kFieldIconPosX)] = store::kNotPlaced;
        values[FieldAt(n, store::kFieldIconPosY)] = store::kNotPlaced;
        if (!keepOrder) {
            values[FieldAt(n, store::kFieldListOrder)] = store::kNotOrdered;
        }
        AppendCopy(n, values);

        auto copy = std::make_unique<TConceptData>();
        copy->SetIsLink(true);
        copy->LinkNo = n.FieldByName(store::kFieldRecordNo).AsInteger();
        copy->SetHasChildren(false);
        copy->IconPos = {n.FieldByName(store::kFieldIconPosX).AsInteger(),
                         n.FieldByName(store::kFieldIconPosY).AsInteger()};
        NoteCreated(*copy);
        return copy;
    }

    std::unique_ptr<TConceptData> CopyConceptItem(const TConceptData& item, std::int32_t targetNo,
                                                  bool keepOrder) {
        const std::int32_t sourceNo = item.ConceptNo();
        TFrame root;
        if (!CopyConceptRecord(item, targetNo, keepOrder, root)) {
            return nullptr;
        }
        std::unique_ptr<TConceptData> result = std::move(root.Copy);
        root.Copy = nullptr;
        root.View = result.get();
        std::vector<TFrame> stack;
        stack.push_back(std::move(root));
        m_path.insert(sourceNo);
        AskChildren(sourceNo, stack.back().Children);

        while (!stack.empty()) {
            TFrame& frame = stack.back();
            if (frame.Next == frame.Children.Count()) {
                m_path.erase(frame.SourceNo);
                stack.pop_back();
                continue;
            }
            const TConceptData& child = frame.Children[frame.Next++];
            const std::int32_t parentNo = frame.View->ConceptNo();
            if (child.IsLink()) {
                if (CopyMirrorItem(child, parentNo, true)) {
                    frame.MarkHasChildren();
                }
                continue;
            }
            TFrame next;
            if (!CopyConceptRecord(child, parentNo, true, next)) {
                continue;
            }
            frame.MarkHasChildren();
            next.View = next.Copy.get();
            // `frame` and `child` may not be used past this point: the stack grows.
            const std::int32_t childNo = next.SourceNo;
            stack.push_back(std::move(next));
            m_path.insert(childNo);
            AskChildren(childNo, stack.back().Children);
        }
        return result;
    }

private:
    // A concept whose copy has been made and whose children are being copied.
    struct TFrame {
        std::int32_t SourceNo = 0;
        std::unique_ptr<TConceptData> Copy;  // owned here, except the one handed to the caller
        TConceptData* View = nullptr;        // the copy, wherever it is owned
        TConceptData* CreatedEntry = nullptr;
        TConceptList Children;  // our own copy: the seeker's answer goes with the next seek
        int Next = 0;

        void MarkHasChildren() {
            View->SetHasChildren(true);
            CreatedEntry->SetHasChildren(true);
        }
    };

    static std::uint64_t Key(const TConceptData& item) {
        const std::int32_t no = item.IsLink() ? item.LinkNo : item.ConceptNo();
        return (static_cast<std::uint64_t>(item.IsLink()) << 32) | static_cast<std::uint32_t>(no);
    }
    bool WasCreated(const TConceptData& item) const { return m_createdKeys.contains(Key(item)); }
    TConceptData* NoteCreated(const TConceptData& item) {
        auto entry = std::make_unique<TConceptData>();
        entry->Assign(item);
        m_createdKeys.insert(Key(item));
        return &m_created[m_created.AddItem(std::move(entry))];
    }

    // Copies the concept record of item under targetNo into frame; false when item was made in
    // this run (nothing is written then).
    bool CopyConceptRecord(const TConceptData& item, std::int32_t targetNo, bool keepOrder,
                           TFrame& frame) {
        if (WasCreated(item)) {
            return false;
        }
        const std::int32_t sourceNo = item.ConceptNo();
        // Only a PARENT_NO loop brings a concept back below itself; copying on would never end.
        if (m_path.contains(sourceNo)) {
            throw store::EVelmoraError("ERROR: 概念の上位関係が循環しています. 概念 " +
                                       std::to_string(sourceNo));
        }
        TTable& c = m_store.DtStOriginalConcepts;
        if (!c.Locate(store::kFieldRecordNo, TValue(sourceNo))) {
            throw store::EUnableToFind::CreateConcept(sourceNo);
        }
        std::vector<TValue> values = ReadRecord(c);
        const std::size_t title = FieldAt(c, store::kFieldTitle);
        values[FieldAt(c, store::kFieldParentNo)] = targetNo;
        values[FieldAt(c, store::kFieldIconPosX)] = store::kNotPlaced;
        values[FieldAt(c, store::kFieldIconPosY)] = store::kNotPlaced;
        if (!keepOrder) {
            values[FieldAt(c, store::kFieldListOrder)] = store::kNotOrdered;
        }
        const auto* oldTitle = std::get_if<std::string>(&values[title]);
        values[title] = m_seeker.MakeCopyTitle(oldTitle ? *oldTitle : std::string(), targetNo);
        AppendCopy(c, values);

        auto copy = std::make_unique<TConceptData>();
        copy->SetIsLink(false);
        copy->SetConceptNo(c.FieldByName(store::kFieldRecordNo).AsInteger());
        // As stored: a text field may have cut the new title.
        copy->SetTitle(c.FieldByName(store::kFieldTitle).AsString());
        copy->SetHasChildren(false);
        copy->IconPos = {c.FieldByName(store::kFieldIconPosX).AsInteger(),
                         c.FieldByName(store::kFieldIconPosY).AsInteger()};
        frame.SourceNo = sourceNo;
        frame.CreatedEntry = NoteCreated(*copy);
        frame.Copy = std::move(copy);
        return true;
    }

    void AskChildren(std::int32_t sourceNo, TConceptList& children) {
        m_seeker.SetSeekMode(smChildren);
        m_seeker.SetSeekNo(sourceNo);
        children.Assign(m_seeker.GetItems());
    }

    TDataModuleSeeker& m_seeker;
    store::TDataModule1& m_store;
    TConceptList& m_created;
    std::unordered_set<std::uint64_t> m_createdKeys;
    // Source concepts between the copied item and the concept being copied.
    std::unordered_set<std::int32_t> m_path;
};

// Own copies of what the caller passed: items and target may be the seeker's answer, which the
// first seek of the copy discards.
TConceptData CopyOf(const TConceptData& item) {
    TConceptData copy;
    copy.Assign(item);
    return copy;
}

}  // namespace

std::unique_ptr<TConceptList> TDataModuleSeeker::CopyItems(const TConceptList& items,
                                                           const TConceptData& target) {
    TConceptList list;
    list.Assign(items);
    const TConceptData place = CopyOf(target);
    if (place.IsLink()) {
        throw store::EVelmoraError("BUG: コピーを置こうとした親ノードがリンクです.");
    }
    TConceptList created;
    TCopyRun run(*this, created);
    auto result = std::make_unique<TConceptList>();
    for (int i = 0; i < list.Count(); ++i) {
        // Nothing comes back only for an item made earlier in this call, which no caller can
        // name: record numbers are never reused.
        if (std::unique_ptr<TConceptData> copy = run.CopyItem(list[i], place.ConceptNo(), false)) {
            result->AddItem(std::move(copy));
        }
    }
    return result;
}

std::unique_ptr<TConceptData> TDataModuleSeeker::CopyItem(const TConceptData& item,
                                                          const TConceptData& target,
                                                          TConceptList& created, bool keepOrder) {
    const TConceptData source = CopyOf(item);
    return TCopyRun(*this, created).CopyItem(source, target.ConceptNo(), keepOrder);
}

std::unique_ptr<TConceptData> TDataModuleSeeker::CopyConceptItem(const TConceptData& item,
                                                                 const TConceptData& target,
                                                                 TConceptList& created,
                                                                 bool keepOrder) {
    const TConceptData source = CopyOf(item);
    return TCopyRun(*this, created).CopyConceptItem(source, target.ConceptNo(), keepOrder);
}

std::unique_ptr<TConceptData> TDataModuleSeeker::CopyMirrorItem(const TConceptData& item,
                                                                const TConceptData& target,
                                                                TConceptList& created,
                                                                bool keepOrder) {
    const TConceptData source = CopyOf(item);
    return TCopyRun(*this, created).CopyMirrorItem(source, target.ConceptNo(), keepOrder);
}

std::string TDataModuleSeeker::MakeCopyTitle(const std::string& title, std::int32_t parent) {
    TTable& c = m_store.DtStOriginalConcepts;
    const auto taken = [&](const std::string& candidate) {
        return c.Locate(TitleAndParent(), {TValue(candidate), TValue(parent)});
    };
    if (!taken(title)) {
        return title;
    }
    std::string candidate = CopyPrefix() + title;
    for (int counter = 1; taken(candidate); ++counter) {
        candidate = CopyPrefix() + title + "(" + std::to_string(counter) + ")";
    }
    return candidate;
}

}  // namespace velmora::engine
