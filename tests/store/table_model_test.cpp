// Random operations on a table and several cursors that share it, compared after every step
// with a plain model of the records.

#include "code_page.h"
#include "table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace velmora::store {
namespace {

constexpr int kTitleWidth = 20;  // narrow, so that cutting happens often

enum EField : int { kNoField, kTitleField, kDescField, kParentField, kOrderField, kDateField };
constexpr const char* kFieldNames[] = {"RECORD_NO", "TITLE",      "DESCRIPTION",
                                       "PARENT_NO", "LIST_ORDER", "DATE_CREATION"};

std::vector<TFieldDef> Defs() {
    return {
        {"RECORD_NO", TFieldKind::AutoInc, 0},  {"TITLE", TFieldKind::Text, kTitleWidth},
        {"DESCRIPTION", TFieldKind::Memo, 200}, {"PARENT_NO", TFieldKind::Integer, 0},
        {"LIST_ORDER", TFieldKind::Integer, 0}, {"DATE_CREATION", TFieldKind::DateTime, 0},
    };
}

// Raw texts as a caller writes them; the model stores what the table should make of them.
const std::string kTitles[] = {
    "",
    "   ",
    "O'Brien",
    "o'brien",
    "abc  ",
    "\x8a\x54\x94\x4f",
    "\x8a\x54\x94\x4f\x81\x40",
    "abcdefghijklmnopqrstuvwxy",
    "abcdefghijklmnopqr  xyz",
    "it's ''quoted''",
};
const std::string kDescs[] = {"", "  memo ", "memo", "line\r\n", "   "};

// The hook on one cursor turns this title into a fixed list position.
const std::string kHookTitle = "O'Brien";
constexpr std::int32_t kHookOrder = 7;

TValue StoredText(const std::string& raw) {
    return TextAsStored(raw, kTitleWidth);
}

TValue StoredMemo(const std::string& raw) {
    return raw.empty() ? TValue{} : TValue(raw);
}

struct TRec {
    TValue title;
    TValue desc;
    std::int32_t parent = 0;
    std::int32_t order = 0;
    TDateTime date;

    TValue Get(int field, std::int32_t no) const {
        switch (field) {
            case kNoField:
                return no;
            case kTitleField:
                return title;
            case kDescField:
                return desc;
            case kParentField:
                return parent;
            case kOrderField:
                return order;
            default:
                return date;
        }
    }
    std::int64_t Key(int field, std::int32_t no) const {
        switch (field) {
            case kNoField:
                return no;
            case kParentField:
                return parent;
            case kOrderField:
                return order;
            default:
                return date.Milliseconds();
        }
    }
};

using TModel = std::map<std::int32_t, TRec>;

// A change of some fields, as written by the caller (texts raw).
struct TChange {
    std::optional<std::optional<std::string>> title;  // outer: set at all; inner: null
    std::optional<std::optional<std::string>> desc;
    std::optional<std::int32_t> parent;
    std::optional<std::int32_t> order;
    std::optional<TDateTime> date;

    bool Empty() const { return !title && !desc && !parent && !order && !date; }
};

enum class TLink { None, Filter, Master };

struct TTracked {
    std::string name;
    TCursor* cursor = nullptr;
    std::vector<int> order;  // then order of addition, which is RECORD_NO order here
    TLink link = TLink::None;
    std::int32_t filterValue = 0;
    TTracked* master = nullptr;  // linked on the master's RECORD_NO
    bool hook = false;           // carries the BeforePost hook
};

struct TSave {
    int position;
    TModel model;
    std::int32_t next;
};

std::int32_t No(TCursor& c) {
    return c.FieldByName("RECORD_NO").AsInteger();
}

std::optional<std::int32_t> CurrentNo(TCursor& c) {
    if (c.RecNo() == 0) {
        return std::nullopt;
    }
    return No(c);
}

std::string Show(const std::vector<std::int32_t>& v) {
    std::string s;
    for (const std::int32_t n : v) {
        s += std::to_string(n) + " ";
    }
    return s;
}

class TModelRun {
    // Positions in m_tracked.
    enum : std::size_t {
        kTable,
        kAddition,
        kByParent,
        kFiltered,
        kFilteredCopy,
        kFilteredByParent,
        kMaster,
        kDetail,
        kGrand,
    };

public:
    explicit TModelRun(std::uint32_t seed) : m_rng(seed) {
        m_table.CreateDataSet();
        m_addition.CloneCursor(m_table, true);
        m_byParent.CloneCursor(m_table, true);
        m_byParent.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
        m_filtered.CloneCursor(m_table, true);
        m_filtered.SetIndexFieldNames("LIST_ORDER");
        m_filtered.SetFilter("PARENT_NO = 1");
        m_filtered.SetFiltered(true);
        m_filteredCopy.CloneCursor(m_filtered, false);
        m_filteredByParent.CloneCursor(m_table, true);
        m_filteredByParent.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
        m_filteredByParent.SetFilter("PARENT_NO = 1");
        m_filteredByParent.SetFiltered(true);
        m_master.CloneCursor(m_table, true);
        m_master.SetIndexFieldNames("RECORD_NO");
        m_detail.CloneCursor(m_table, true);
        m_detail.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
        m_detail.SetMasterSource(&m_master);
        m_detail.SetMasterFields("RECORD_NO");
        m_grand.CloneCursor(m_table, true);
        m_grand.SetIndexFieldNames("PARENT_NO;DATE_CREATION");
        m_grand.SetMasterSource(&m_detail);
        m_grand.SetMasterFields("RECORD_NO");
        m_byParent.BeforePost = [](TCursor& c) {
            if (c.FieldByName("TITLE").AsString() == kHookTitle) {
                c.FieldByName("LIST_ORDER").SetAsInteger(kHookOrder);
            }
        };

        m_tracked = {
            {"table", &m_table, {kNoField}},
            {"addition", &m_addition, {}},
            {"byParent", &m_byParent, {kParentField, kOrderField}, TLink::None, 0, nullptr, true},
            {"filtered", &m_filtered, {kOrderField}, TLink::Filter, 1},
            {"filteredCopy", &m_filteredCopy, {kOrderField}, TLink::Filter, 1},
            {"filteredByParent",
             &m_filteredByParent,
             {kParentField, kOrderField},
             TLink::Filter,
             1},
            {"master", &m_master, {kNoField}},
            {"detail", &m_detail, {kParentField, kOrderField}, TLink::Master},
            {"grand", &m_grand, {kParentField, kDateField}, TLink::Master},
        };
        m_tracked[kDetail].master = &m_tracked[kMaster];
        m_tracked[kGrand].master = &m_tracked[kDetail];
    }

    void Run(int steps) {
        for (m_step = 0; m_step < steps; ++m_step) {
            const int op = Uniform(0, 99);
            if (op < 25) {
                AppendOp();
            } else if (op < 48) {
                EditOp();
            } else if (op < 60) {
                DeleteOp();
            } else if (op < 73) {
                LocateOp();
            } else if (op < 83) {
                MoveMasterOp();
            } else if (op < 85) {
                FilterOp();
            } else if (op < 87) {
                ReCloneOp();
            } else if (op < 92) {
                SavePointOp();
            } else if (op < 97) {
                RollbackOp();
            } else {
                MergeOp();
            }
            if (::testing::Test::HasFatalFailure()) {
                return;
            }
            CheckAll();
            if (::testing::Test::HasFatalFailure()) {
                return;
            }
        }
    }

private:
    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool Chance(int percent) { return Uniform(0, 99) < percent; }
    TTracked& AnyCursor() { return m_tracked[static_cast<std::size_t>(Uniform(0, kGrand))]; }

    void Note(std::string what) {
        m_log.push_back("step " + std::to_string(m_step) + ": " + std::move(what));
        if (m_log.size() > 6) {
            m_log.pop_front();
        }
    }
    std::string Context() const {
        std::string s = "recent operations:\n";
        for (const std::string& line : m_log) {
            s += "  " + line + "\n";
        }
        return s;
    }

    // A contract on the cursor's position. Reported once per kind, so that one fault does not
    // bury the rest of the run.
    void CheckPosition(const char* kind, TTracked& t, std::optional<std::int32_t> expected) {
        const std::vector<std::int32_t> view = View(t);
        const std::optional<std::int32_t> got = CurrentNo(*t.cursor);
        int expectedRecNo = 0;
        if (expected) {
            expectedRecNo =
                static_cast<int>(std::find(view.begin(), view.end(), *expected) - view.begin()) + 1;
        }
        if ((got != expected || t.cursor->RecNo() != expectedRecNo) &&
            m_reported.insert(kind).second) {
            ADD_FAILURE() << kind << " on " << t.name << ": on " << (got ? *got : 0) << " (rec no "
                          << t.cursor->RecNo() << "), expected " << (expected ? *expected : 0)
                          << " (rec no " << expectedRecNo << "); view " << Show(view) << "\n"
                          << Context();
        }
    }

    // The records the cursor should show, in its order.
    std::vector<std::int32_t> View(TTracked& t) {
        std::optional<std::int32_t> eq;
        if (t.link == TLink::Filter) {
            eq = t.filterValue;
        } else if (t.link == TLink::Master) {
            eq = CurrentNo(*t.master->cursor);
            if (!eq) {
                return {};
            }
        }
        std::vector<std::int32_t> out;
        for (const auto& [no, rec] : m_model) {
            if (!eq || rec.parent == *eq) {
                out.push_back(no);
            }
        }
        std::stable_sort(out.begin(), out.end(), [&](std::int32_t a, std::int32_t b) {
            for (const int f : t.order) {
                const std::int64_t ka = m_model.at(a).Key(f, a);
                const std::int64_t kb = m_model.at(b).Key(f, b);
                if (ka != kb) {
                    return ka < kb;
                }
            }
            return false;  // stable: record numbers, the order of addition
        });
        return out;
    }

    static std::optional<std::int32_t> TakesThePlace(const std::vector<std::int32_t>& view,
                                                     std::size_t rank) {
        if (view.empty()) {
            return std::nullopt;
        }
        return view[std::min(rank, view.size() - 1)];
    }

    // Where a cursor should be after posting an edit of record `no`, which was at `rank`.
    std::optional<std::int32_t> AfterPost(TTracked& t, std::int32_t no, std::size_t rank) {
        const std::vector<std::int32_t> view = View(t);
        if (std::find(view.begin(), view.end(), no) != view.end()) {
            return no;
        }
        return TakesThePlace(view, rank);
    }

    // Parents concentrate on the filter's value and the master's record, so that the filtered
    // and linked views hold several records with ties.
    std::int32_t RandomParent() {
        const int r = Uniform(0, 19);
        if (r < 6) {
            return m_tracked[kFiltered].filterValue;
        }
        if (r < 12) {
            if (const auto cur = CurrentNo(m_master)) {
                return *cur;
            }
        }
        if (r < 17 && !m_model.empty()) {
            return RandomRecord()->first;
        }
        return Uniform(0, 3);
    }

    TModel::const_iterator RandomRecord() {
        auto it = m_model.cbegin();
        std::advance(it, Uniform(0, static_cast<int>(m_model.size()) - 1));
        return it;
    }

    TChange RandomChange(bool all) {
        TChange c;
        if (all || Chance(40)) {
            c.title = Chance(15)
                          ? std::nullopt
                          : std::optional<std::string>(kTitles[Uniform(0, std::size(kTitles) - 1)]);
        }
        if (all || Chance(25)) {
            c.desc = Chance(30)
                         ? std::nullopt
                         : std::optional<std::string>(kDescs[Uniform(0, std::size(kDescs) - 1)]);
        }
        if (all || Chance(40)) {
            c.parent = RandomParent();
        }
        if (all || Chance(40)) {
            c.order = Uniform(0, 4);
        }
        if (all || Chance(25)) {
            // Few distinct moments, so that the date index has ties.
            c.date = TDateTime::FromMilliseconds(Uniform(-1, 3) * 86'400'001LL);
        }
        return c;
    }

    // Writes the change into the cursor's pending record.
    static void Write(TCursor& cur, const TChange& c) {
        if (c.title) {
            cur.FieldByName("TITLE").SetValue(*c.title ? TValue(**c.title) : TValue{});
        }
        if (c.desc) {
            cur.FieldByName("DESCRIPTION").SetValue(*c.desc ? TValue(**c.desc) : TValue{});
        }
        if (c.parent) {
            cur.FieldByName("PARENT_NO").SetAsInteger(*c.parent);
        }
        if (c.order) {
            cur.FieldByName("LIST_ORDER").SetAsInteger(*c.order);
        }
        if (c.date) {
            cur.FieldByName("DATE_CREATION").SetAsDateTime(*c.date);
        }
    }

    static void Apply(TRec& r, const TChange& c, bool hook) {
        if (c.title) {
            r.title = *c.title ? StoredText(**c.title) : TValue{};
        }
        if (c.desc) {
            r.desc = *c.desc ? StoredMemo(**c.desc) : TValue{};
        }
        if (c.parent) {
            r.parent = *c.parent;
        }
        if (c.order) {
            r.order = *c.order;
        }
        if (c.date) {
            r.date = *c.date;
        }
        if (hook && r.title == TValue(kHookTitle)) {
            r.order = kHookOrder;
        }
    }

    // Optionally starts an edit of a random record of `t` that the next operation must finish:
    // posted when a field was set, else cancelled. Empty when it started none.
    struct TPending {
        std::int32_t no = 0;
        std::size_t rank = 0;
        TChange change;
    };
    std::optional<TPending> StartPendingEdit(TTracked& t) {
        const std::vector<std::int32_t> view = View(t);
        if (view.empty() || !Chance(25)) {
            return std::nullopt;
        }
        TPending p;
        p.rank = static_cast<std::size_t>(Uniform(0, static_cast<int>(view.size()) - 1));
        t.cursor->SetRecNo(static_cast<int>(p.rank) + 1);
        p.no = view[p.rank];
        p.change = Chance(70) ? RandomChange(false) : TChange{};
        t.cursor->Edit();
        Write(*t.cursor, p.change);
        Note("pending edit of " + std::to_string(p.no) + " on " + t.name +
             (p.change.Empty() ? " (nothing set)" : ""));
        return p;
    }

    // The model side of finishing a pending edit.
    void FinishPending(TTracked& t, const std::optional<TPending>& p) {
        if (p && !p->change.Empty()) {
            Apply(m_model.at(p->no), p->change, t.hook);
        }
    }

    void AppendOp() {
        TTracked& t = AnyCursor();
        const std::optional<TPending> pending = StartPendingEdit(t);
        const std::optional<std::int32_t> before = CurrentNo(*t.cursor);
        const TChange change = RandomChange(true);
        const int mode = Uniform(0, 9);  // 0: cancel, 1: AppendRecord, 2: Edit in between
        if (mode == 1) {
            AppendRecordOp(t, pending);
            return;
        }
        t.cursor->Append();
        FinishPending(t, pending);
        ASSERT_EQ(t.cursor->State(), TDataSetState::Insert);
        Write(*t.cursor, change);
        if (mode == 2) {
            t.cursor->Edit();
            ASSERT_EQ(t.cursor->State(), TDataSetState::Insert) << "Edit ended a pending append";
        }
        if (mode == 0) {
            Note("append on " + t.name + ", cancelled");
            t.cursor->Cancel();
            if (!pending || pending->change.Empty()) {
                CheckPosition("cancel of an append", t, before);
            }
            return;
        }
        t.cursor->Post();
        const std::int32_t no = m_next++;
        Apply(m_model[no], change, t.hook);
        Note("append " + std::to_string(no) + " on " + t.name);
        CheckNewRecord(t, no);
    }

    // The number drawn is checked with the counter and the table walk; the position only where
    // the new record is visible (elsewhere the contract leaves it open).
    void CheckNewRecord(TTracked& t, std::int32_t no) {
        ASSERT_EQ(m_table.AutoIncValue(), no + 1) << "auto-increment\n" << Context();
        const std::vector<std::int32_t> view = View(t);
        if (std::find(view.begin(), view.end(), no) != view.end()) {
            CheckPosition("post of an append", t, no);
        }
    }

    void AppendRecordOp(TTracked& t, const std::optional<TPending>& pending) {
        const TChange c = RandomChange(true);
        const std::vector<TValue> values = {
            TValue{},
            *c.title ? TValue(**c.title) : TValue{},
            *c.desc ? TValue(**c.desc) : TValue{},
            *c.parent,
            *c.order,
            *c.date,
        };
        t.cursor->AppendRecord(values);
        FinishPending(t, pending);
        const std::int32_t no = m_next++;
        Apply(m_model[no], c, t.hook);
        Note("append record " + std::to_string(no) + " on " + t.name);
        CheckNewRecord(t, no);
    }

    void EditOp() {
        TTracked& t = AnyCursor();
        const std::vector<std::int32_t> view = View(t);
        if (view.empty()) {
            if (Chance(50)) {
                AppendRecordOp(t, std::nullopt);
            }
            return;
        }
        const auto rank = static_cast<std::size_t>(Uniform(0, static_cast<int>(view.size()) - 1));
        t.cursor->SetRecNo(static_cast<int>(rank) + 1);
        const std::int32_t no = view[rank];
        ASSERT_EQ(No(*t.cursor), no) << "SetRecNo on " << t.name << "\n" << Context();
        TChange change = RandomChange(false);
        if (change.Empty()) {
            change.order = Uniform(0, 4);
        }
        t.cursor->Edit();
        ASSERT_EQ(t.cursor->State(), TDataSetState::Edit);
        Write(*t.cursor, change);
        if (Chance(10)) {
            Note("edit of " + std::to_string(no) + " on " + t.name + ", cancelled");
            t.cursor->Cancel();
            CheckPosition("cancel of an edit", t, no);
            return;
        }
        t.cursor->Post();
        Apply(m_model.at(no), change, t.hook);
        Note("edit of " + std::to_string(no) + " on " + t.name);
        CheckPosition("post of an edit", t, AfterPost(t, no, rank));
    }

    void DeleteOp() {
        TTracked& t = AnyCursor();
        const std::vector<std::int32_t> view = View(t);
        if (view.empty()) {
            return;
        }
        const auto rank = static_cast<std::size_t>(Uniform(0, static_cast<int>(view.size()) - 1));
        t.cursor->SetRecNo(static_cast<int>(rank) + 1);
        const std::int32_t no = view[rank];
        t.cursor->Delete();
        m_model.erase(no);
        Note("delete " + std::to_string(no) + " on " + t.name);
        CheckPosition("delete", t, TakesThePlace(View(t), rank));
    }

    void LocateOp() {
        TTracked& t = AnyCursor();
        const std::optional<TPending> pending = StartPendingEdit(t);
        static const std::vector<std::vector<int>> kLists = {
            {kNoField},
            {kTitleField},
            {kTitleField, kParentField},
            {kDescField},
            {kDateField},
            {kParentField, kOrderField},
            {kOrderField, kTitleField},
        };
        const std::vector<int>& fields = kLists[static_cast<std::size_t>(Uniform(0, 6))];
        std::vector<TValue> values;
        if (!m_model.empty() && Chance(70)) {
            const auto it = RandomRecord();
            for (const int f : fields) {
                values.push_back(it->second.Get(f, it->first));
            }
        } else {
            const TChange c = RandomChange(true);
            for (const int f : fields) {
                switch (f) {
                    case kNoField:
                        values.emplace_back(static_cast<std::int32_t>(Uniform(0, m_next)));
                        break;
                    case kTitleField:  // raw: an uncut text must not match its cut form
                        values.push_back(*c.title ? TValue(**c.title) : TValue{});
                        break;
                    case kDescField:
                        values.push_back(*c.desc ? TValue(**c.desc) : TValue{});
                        break;
                    case kParentField:
                        values.emplace_back(*c.parent);
                        break;
                    case kOrderField:
                        values.emplace_back(*c.order);
                        break;
                    default:
                        values.emplace_back(*c.date);
                }
            }
        }
        std::string names;
        for (const int f : fields) {
            names += (names.empty() ? "" : ";") + std::string(kFieldNames[f]);
        }

        // The pending edit is finished first; a failed search leaves the cursor where that put it.
        std::optional<std::int32_t> stay = CurrentNo(*t.cursor);
        FinishPending(t, pending);
        if (pending) {
            stay = pending->change.Empty() ? pending->no : AfterPost(t, pending->no, pending->rank);
        }
        std::optional<std::int32_t> expected;
        for (const std::int32_t no : View(t)) {
            const TRec& r = m_model.at(no);
            bool all = true;
            for (std::size_t i = 0; i < fields.size() && all; ++i) {
                all = r.Get(fields[i], no) == values[i];
            }
            if (all) {
                expected = no;
                break;
            }
        }
        const bool found = t.cursor->Locate(names, values);
        Note("locate " + names + " on " + t.name + ": expected " +
             (expected ? std::to_string(*expected) : "none"));
        ASSERT_EQ(found, expected.has_value()) << Context();
        ASSERT_EQ(t.cursor->State(), TDataSetState::Browse);
        CheckPosition(found ? "locate" : "failed locate", t, found ? expected : stay);
    }

    void MoveMasterOp() {
        const int how = Uniform(0, 9);
        switch (how) {
            case 0:
                m_master.First();
                break;
            case 1:
                m_master.Last();
                break;
            case 2:
                m_master.Next();
                break;
            case 3:
                m_master.Prior();
                break;
            case 4:
                if (m_master.RecordCount() > 0) {
                    m_master.SetRecNo(Uniform(1, m_master.RecordCount()));
                }
                break;
            default:  // to a record that has children
                if (!m_model.empty()) {
                    m_master.Locate("RECORD_NO", TValue(RandomRecord()->second.parent));
                }
        }
        Note("master moved (" + std::to_string(how) + ")");
    }

    void FilterOp() {
        const std::int32_t value = RandomParent();
        m_filtered.SetFilter("PARENT_NO = " + std::to_string(value));
        m_filteredByParent.SetFilter("PARENT_NO = " + std::to_string(value));
        m_tracked[kFiltered].filterValue = value;
        m_tracked[kFilteredByParent].filterValue = value;
        Note("filter PARENT_NO = " + std::to_string(value));
    }

    void ReCloneOp() {
        m_filteredCopy.CloneCursor(m_filtered, false);
        m_tracked[kFilteredCopy].filterValue = m_tracked[kFiltered].filterValue;
        Note("filteredCopy cloned again");
        ASSERT_EQ(m_filteredCopy.RecNo(), View(m_tracked[kFilteredCopy]).empty() ? 0 : 1)
            << "a clone starts on the first record";
    }

    void SavePointOp() {
        TTracked& t = AnyCursor();
        const std::optional<TPending> pending = StartPendingEdit(t);
        const int position = t.cursor->SavePoint();
        FinishPending(t, pending);
        ASSERT_EQ(t.cursor->State(), TDataSetState::Browse);
        if (!m_saves.empty()) {
            ASSERT_GE(position, m_saves.back().position);
        }
        m_saves.push_back({position, m_model, m_next});
        if (m_saves.size() > 4) {
            m_saves.erase(m_saves.begin());
        }
        Note("save point " + std::to_string(position) + " read on " + t.name);
    }

    void RollbackOp() {
        if (m_saves.empty()) {
            return;
        }
        TTracked& t = AnyCursor();
        StartPendingEdit(t);  // a pending edit is dropped by the rollback
        const auto i = static_cast<std::size_t>(Uniform(0, static_cast<int>(m_saves.size()) - 1));
        t.cursor->SetSavePoint(m_saves[i].position);
        m_model = m_saves[i].model;
        m_next = m_saves[i].next;
        m_saves.resize(i + 1);
        Note("rolled back to " + std::to_string(m_saves[i].position) + " on " + t.name);
        ASSERT_EQ(t.cursor->State(), TDataSetState::Browse);

        // The whole table, in order of addition, and the counter.
        std::vector<std::vector<TValue>> expected;
        for (const auto& [no, rec] : m_model) {
            expected.push_back({no, rec.title, rec.desc, rec.parent, rec.order, rec.date});
        }
        std::vector<std::vector<TValue>> actual;
        m_table.ForEachRecord(
            [&](std::span<const TValue> v) { actual.emplace_back(v.begin(), v.end()); });
        ASSERT_EQ(actual.size(), expected.size()) << Context();
        for (std::size_t r = 0; r < actual.size(); ++r) {
            ASSERT_TRUE(actual[r] == expected[r]) << "record " << r << " after rollback\n"
                                                  << Context();
        }
        ASSERT_EQ(m_table.AutoIncValue(), m_next) << Context();
    }

    void MergeOp() {
        TTracked& t = AnyCursor();
        const std::optional<TPending> pending = StartPendingEdit(t);
        t.cursor->MergeChangeLog();
        FinishPending(t, pending);
        m_saves.clear();
        Note("merged on " + t.name);
        ASSERT_EQ(m_table.ChangeCount(), 0);
        ASSERT_EQ(t.cursor->State(), TDataSetState::Browse);
    }

    // Walks one cursor and compares it with the model.
    void CheckWalk(TTracked& t, bool values) {
        const std::vector<std::int32_t> expected = View(t);
        ASSERT_EQ(t.cursor->RecordCount(), static_cast<int>(expected.size()))
            << t.name << " record count\n"
            << Context();
        std::vector<std::int32_t> walked;
        int recNo = 0;
        for (t.cursor->First(); !t.cursor->Eof() && walked.size() <= expected.size();
             t.cursor->Next()) {
            const std::int32_t no = No(*t.cursor);
            walked.push_back(no);
            ASSERT_EQ(t.cursor->RecNo(), ++recNo) << t.name << "\n" << Context();
            if (values && m_model.count(no) != 0) {
                const TRec& r = m_model.at(no);
                for (int f = kTitleField; f <= kDateField; ++f) {
                    ASSERT_TRUE(t.cursor->FieldByName(kFieldNames[f]).Value() == r.Get(f, no))
                        << t.name << " record " << no << " field " << kFieldNames[f] << "\n"
                        << Context();
                }
            }
        }
        ASSERT_EQ(walked, expected)
            << t.name << ": walked " << Show(walked) << " expected " << Show(expected) << "\n"
            << Context();
    }

    void CheckAll() {
        ASSERT_EQ(m_table.AutoIncValue(), m_next) << Context();
        for (const std::size_t i :
             {kTable, kAddition, kByParent, kFiltered, kFilteredCopy, kFilteredByParent}) {
            CheckWalk(m_tracked[i], i == kTable || i == kByParent);
            if (::testing::Test::HasFatalFailure()) {
                return;
            }
        }
        // The master keeps its place across the walk, so that the detail sees varied masters.
        const std::optional<std::int32_t> masterAt = CurrentNo(m_master);
        if (masterAt) {
            ASSERT_EQ(m_model.count(*masterAt), 1u) << "master on a missing record\n" << Context();
        }
        CheckWalk(m_tracked[kMaster], false);
        if (masterAt) {
            ASSERT_TRUE(m_master.Locate("RECORD_NO", TValue(*masterAt)));
        }
        CheckWalk(m_tracked[kDetail], false);
        const int details = m_detail.RecordCount();
        if (details > 0) {
            m_detail.SetRecNo(Uniform(1, details));
        }
        CheckWalk(m_tracked[kGrand], false);
    }

    TTable m_table{"concepts", Defs(), "RECORD_NO"};
    TCursor m_addition;
    TCursor m_byParent;
    TCursor m_filtered;
    TCursor m_filteredCopy;
    TCursor m_filteredByParent;
    TCursor m_master;
    TCursor m_detail;
    TCursor m_grand;
    std::vector<TTracked> m_tracked;

    TModel m_model;
    std::int32_t m_next = 1;
    std::vector<TSave> m_saves;
    std::mt19937 m_rng;
    int m_step = 0;
    std::deque<std::string> m_log;
    std::set<std::string> m_reported;
};

TEST(TableModelTest, RandomOperationsMatchTheModel) {
    for (const std::uint32_t seed : {1u, 2024u, 777u, 31337u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TModelRun run(seed);
        run.Run(1500);
        if (HasFatalFailure()) {
            return;
        }
    }
}

}  // namespace
}  // namespace velmora::store
