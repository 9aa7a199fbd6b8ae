#include "ontology_check.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <string_view>
#include <tuple>

#include "ontology_tables.h"

namespace velmora::cli {

using store::TCursor;
using store::TTable;

namespace {

constexpr std::int32_t kSubconcept = 1;
// How many members of a cycle a finding names before it says how many there are in all.
constexpr std::size_t kNamedCycleMembers = 8;

template <std::size_t N>
using TRow = std::array<std::int32_t, N>;

// The named integer fields of every record in order of addition (nulls read as 0).
template <std::size_t N>
std::vector<TRow<N>> ReadColumns(TTable& table, const std::array<std::string_view, N>& names) {
    TCursor cursor;
    cursor.CloneCursor(table, true);
    std::vector<store::TField> fields;
    for (std::string_view name : names) {
        fields.push_back(cursor.FieldByName(name));
    }
    std::vector<TRow<N>> rows;
    rows.reserve(static_cast<std::size_t>(cursor.RecordCount()));
    for (cursor.First(); !cursor.Eof(); cursor.Next()) {
        TRow<N> row{};
        for (std::size_t i = 0; i < N; ++i) {
            row[i] = fields[i].AsInteger();
        }
        rows.push_back(row);
    }
    return rows;
}

// The distinct numbers of one column, sorted, and for each record which distinct number it
// holds; records whose number was seen before are reported as duplicates.
struct TNumbering {
    std::vector<std::int32_t> Numbers;  // sorted, distinct
    std::vector<std::size_t> FirstRow;  // per number: the first record holding it
    std::vector<std::pair<std::int32_t, std::size_t>> Duplicates;  // number, times

    std::int32_t Find(std::int32_t no) const {
        const auto it = std::lower_bound(Numbers.begin(), Numbers.end(), no);
        return it != Numbers.end() && *it == no ? static_cast<std::int32_t>(it - Numbers.begin())
                                                : -1;
    }
    bool Contains(std::int32_t no) const { return Find(no) >= 0; }
};

template <std::size_t N>
TNumbering Number(const std::vector<TRow<N>>& rows, std::size_t column) {
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const auto byNumber = [&](std::size_t a, std::size_t b) {
        return rows[a][column] < rows[b][column] || (rows[a][column] == rows[b][column] && a < b);
    };
    // Records are nearly always in ascending order already (numbers are handed out in turn).
    if (!std::is_sorted(order.begin(), order.end(), byNumber)) {
        std::sort(order.begin(), order.end(), byNumber);
    }
    TNumbering numbering;
    numbering.Numbers.reserve(rows.size());
    numbering.FirstRow.reserve(rows.size());
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i + 1;
        while (j < order.size() && rows[order[j]][column] == rows[order[i]][column]) {
            ++j;
        }
        numbering.Numbers.push_back(rows[order[i]][column]);
        numbering.FirstRow.push_back(order[i]);
        if (j - i > 1) {
            numbering.Duplicates.emplace_back(rows[order[i]][column], j - i);
        }
        i = j;
    }
    return numbering;
}

class TChecker {
public:
    TChecker(store::TDataModule1& store, TTerminalText& text) : m_store(store), m_text(text) {
        m_titles.CloneCursor(store.DtStOriginalConcepts, true);
        m_titles.SetIndexFieldNames(store::kFieldRecordNo);
    }

    TCheckResult Run() {
        ReadTables();
        CheckRecordCounters();
        CheckConcepts();
        CheckHierarchy();
        CheckLinkTypes();
        CheckMirrorImages();
        CheckMirrorCycles();
        CheckListOrders();
        CheckLabels();
        m_result.Concepts = static_cast<int>(m_conceptRows.size());
        m_result.MirrorImages = static_cast<int>(m_links.size());
        m_result.Labels = static_cast<int>(m_terms.size());
        m_result.Associations = static_cast<int>(m_assocs.size());
        m_result.LinkTypes = static_cast<int>(m_linkTypeRows.size());
        return std::move(m_result);
    }

private:
    // Concepts: number, parent, list order. Mirror images: number, from, to, list order, code.
    enum { kNo, kParent, kOrder };
    enum { kLinkNo, kFrom, kTo, kLinkOrder, kCode };
    enum { kAssocNo, kAssocConcept, kAssocTerm };

    void ReadTables() {
        using namespace store;
        m_conceptRows = ReadColumns<3>(m_store.DtStOriginalConcepts,
                                       {kFieldRecordNo, kFieldParentNo, kFieldListOrder});
        m_links = ReadColumns<5>(m_store.DtStOriginalNetWork,
                                 {kFieldRecordNo, kFieldRecordNoFrom, kFieldRecordNoTo,
                                  kFieldListOrder, kFieldLinkCode});
        m_terms = ReadColumns<1>(m_store.DtStOriginalTerms, {kFieldTermNo});
        m_assocs = ReadColumns<3>(m_store.DtStOriginalAssociation,
                                  {kFieldRecordNo, kFieldConceptNo, kFieldTermNo});
        m_linkTypeRows = ReadColumns<1>(m_store.DtStOriginalLinkType, {kFieldLinkCode});
        m_concepts = Number(m_conceptRows, kNo);
    }

    // A counter at or below a stored number was raised when the file was read (so nothing is
    // numbered twice); the file itself still holds the low one until it is saved.
    void CheckRecordCounters() {
        for (store::TTable* table : m_store.Tables()) {
            if (const auto stored = table->AutoIncRaisedFrom()) {
                Add(TSeverity::Warning, "record-counter-low",
                    table->TableName() + ": the stored record counter (AUTOINCVALUE) " +
                        std::to_string(*stored) +
                        " is not above the highest record number; raised to " +
                        std::to_string(table->AutoIncValue()));
            }
        }
    }

    void Add(TSeverity severity, std::string kind, std::string text) {
        (severity == TSeverity::Error ? m_result.Errors : m_result.Warnings) += 1;
        m_result.Findings.push_back({severity, std::move(kind), std::move(text)});
    }

    // 'concept 5 "title"'.
    std::string Concept(std::int32_t no) {
        std::string title;
        if (m_titles.Locate(store::kFieldRecordNo, store::TValue(no))) {
            title = m_titles.FieldByName(store::kFieldTitle).AsString();
        }
        return "concept " + std::to_string(no) + " \"" + OneLine(m_text.ToTerminal(title)) + "\"";
    }

    static std::string Count(std::size_t n, std::string_view one, std::string_view many) {
        return std::to_string(n) + " " + std::string(n == 1 ? one : many);
    }

    void ReportDuplicates(const TNumbering& numbering, std::string_view what) {
        for (const auto& [no, times] : numbering.Duplicates) {
            Add(TSeverity::Error, "duplicate-number",
                std::string(what) + " number " + std::to_string(no) + " is used by " +
                    std::to_string(times) + " records");
        }
    }

    std::int32_t ConceptNo(std::int32_t id) const { return m_concepts.Numbers[id]; }
    std::int32_t ParentNo(std::int32_t id) const {
        return m_conceptRows[m_concepts.FirstRow[id]][kParent];
    }

    void CheckConcepts() {
        ReportDuplicates(m_concepts, "concept");
        for (std::int32_t no : m_concepts.Numbers) {
            if (no >= 1) {
                break;
            }
            Add(TSeverity::Error, "bad-number",
                Concept(no) + ": a concept number must be 1 or more");
        }
    }

    // Follows PARENT_NO from every concept once. Each walk ends at a concept already
    // classified, at a top concept, at a parent that does not exist or on a concept of its own
    // walk (a cycle); the whole walk then takes that end's class.
    void CheckHierarchy() {
        const auto n = static_cast<std::int32_t>(m_concepts.Numbers.size());
        enum class TEnd { Top, Missing, Cycle };
        struct TClass {
            TEnd End;
            std::int32_t Root;  // the top, the concept with the missing parent, a cycle member
            std::size_t Members = 0;
            std::size_t CycleLength = 0;
        };
        std::vector<TClass> classes;
        m_parentId.assign(static_cast<std::size_t>(n), -1);
        m_inParentCycle.assign(static_cast<std::size_t>(n), false);
        std::vector<std::int32_t> classOf(static_cast<std::size_t>(n), -1);
        std::vector<std::int32_t> pathIndex(static_cast<std::size_t>(n), -1);
        std::vector<std::int32_t> path;
        for (std::int32_t id = 0; id < n; ++id) {
            const std::int32_t parent = ParentNo(id);
            m_parentId[id] = parent == 0 ? -1 : m_concepts.Find(parent);
        }
        for (std::int32_t start = 0; start < n; ++start) {
            if (classOf[start] >= 0) {
                continue;
            }
            path.clear();
            std::int32_t u = start;
            std::int32_t cls = -1;
            for (;;) {
                if (classOf[u] >= 0) {
                    cls = classOf[u];
                    break;
                }
                if (pathIndex[u] >= 0) {
                    cls = static_cast<std::int32_t>(classes.size());
                    classes.push_back({TEnd::Cycle, u, 0, path.size() - pathIndex[u]});
                    for (std::size_t k = static_cast<std::size_t>(pathIndex[u]); k < path.size();
                         ++k) {
                        m_inParentCycle[path[k]] = true;
                    }
                    break;
                }
                pathIndex[u] = static_cast<std::int32_t>(path.size());
                path.push_back(u);
                if (ParentNo(u) == 0 || m_parentId[u] < 0) {
                    cls = static_cast<std::int32_t>(classes.size());
                    classes.push_back({ParentNo(u) == 0 ? TEnd::Top : TEnd::Missing, u});
                    break;
                }
                u = m_parentId[u];
            }
            for (std::int32_t v : path) {
                classOf[v] = cls;
                pathIndex[v] = -1;
            }
        }
        for (std::int32_t id = 0; id < n; ++id) {
            ++classes[classOf[id]].Members;
        }

        std::vector<std::size_t> order(classes.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::sort(order.begin(), order.end(),
                  [&](std::size_t a, std::size_t b) { return classes[a].Root < classes[b].Root; });
        std::int32_t top = -1;
        for (std::size_t c : order) {
            if (classes[c].End == TEnd::Top && top < 0) {
                top = classes[c].Root;
            }
        }
        if (top < 0 && n > 0) {
            Add(TSeverity::Error, "no-top", "no concept has PARENT_NO 0: there is no top concept");
        }
        if (n == 0) {
            Add(TSeverity::Error, "no-top", "the concept table is empty: there is no top concept");
        }
        for (std::size_t c : order) {
            const TClass& k = classes[c];
            const std::int32_t no = ConceptNo(k.Root);
            switch (k.End) {
                case TEnd::Top:
                    if (k.Root != top) {
                        Add(TSeverity::Error, "extra-top",
                            Concept(no) + ": a further top concept (PARENT_NO 0) besides " +
                                Concept(ConceptNo(top)) + "; " +
                                Count(k.Members - 1, "concept hangs", "concepts hang") +
                                " below it");
                    }
                    break;
                case TEnd::Missing:
                    Add(TSeverity::Error, "missing-parent",
                        Concept(no) + ": PARENT_NO " + std::to_string(ParentNo(k.Root)) +
                            " names no concept; it and " +
                            Count(k.Members - 1, "concept", "concepts") +
                            " below it never reach the top");
                    break;
                case TEnd::Cycle:
                    ReportParentCycle(k.Root, k.CycleLength, k.Members);
                    break;
            }
        }
    }

    void ReportParentCycle(std::int32_t member, std::size_t length, std::size_t members) {
        // Start the listing at the cycle's smallest number, so that it reads the same however
        // the walk entered the cycle.
        std::int32_t first = member;
        for (std::int32_t u = m_parentId[member]; u != member; u = m_parentId[u]) {
            first = std::min(first, u);
        }
        std::string chain = Concept(ConceptNo(first));
        std::size_t named = 1;
        for (std::int32_t u = m_parentId[first]; u != first; u = m_parentId[u], ++named) {
            if (named == kNamedCycleMembers) {
                chain += " → …";
                break;
            }
            chain += " → " + std::to_string(ConceptNo(u));
        }
        chain += " → " + std::to_string(ConceptNo(first));
        Add(TSeverity::Error, "parent-cycle",
            "PARENT_NO forms a cycle of " + Count(length, "concept", "concepts") + ": " + chain +
                "; none of them nor the " + std::to_string(members - length) +
                " below them reach the top");
    }

    void CheckLinkTypes() {
        m_linkCodes = Number(m_linkTypeRows, 0);
        for (const auto& [code, times] : m_linkCodes.Duplicates) {
            Add(TSeverity::Error, "duplicate-number",
                "link code " + std::to_string(code) + " is defined by " + std::to_string(times) +
                    " link types");
        }
    }

    void CheckMirrorImages() {
        m_linkNumbers = Number(m_links, kLinkNo);
        ReportDuplicates(m_linkNumbers, "mirror image");
        m_validLinks.clear();
        for (std::size_t i = 0; i < m_links.size(); ++i) {
            const TRow<5>& link = m_links[i];
            const std::string name = "mirror image " + std::to_string(link[kLinkNo]);
            bool valid = true;
            if (!m_concepts.Contains(link[kFrom])) {
                Add(TSeverity::Error, "mirror-missing-from",
                    name + ": RECORD_NO_FROM " + std::to_string(link[kFrom]) + " names no concept");
                valid = false;
            }
            if (!m_concepts.Contains(link[kTo])) {
                Add(TSeverity::Error, "mirror-missing-to",
                    name + ": RECORD_NO_TO " + std::to_string(link[kTo]) + " names no concept");
                valid = false;
            }
            if (!m_linkCodes.Contains(link[kCode])) {
                Add(TSeverity::Error, "mirror-missing-link-type",
                    name + ": LINK_CODE " + std::to_string(link[kCode]) + " names no link type");
            }
            if (!valid) {
                continue;
            }
            m_validLinks.push_back(i);
            if (link[kCode] == kSubconcept && ParentNo(m_concepts.Find(link[kTo])) == link[kFrom]) {
                Add(TSeverity::Warning, "mirror-own-place",
                    name + ": a subconcept mirror image of " + Concept(link[kTo]) +
                        " at the concept's own place " + std::to_string(link[kFrom]) +
                        "; the save-time check offers to delete it");
            }
            if (link[kCode] != kSubconcept && link[kFrom] == link[kTo]) {
                Add(TSeverity::Warning, "mirror-self",
                    name + ": shows " + Concept(link[kTo]) + " under itself (LINK_CODE " +
                        std::to_string(link[kCode]) + ")");
            }
        }
        // Identical images are neighbours in this order; each repeats the first of its run.
        std::vector<std::size_t> order = m_validLinks;
        const auto key = [&](std::size_t i) {
            return std::array{m_links[i][kFrom], m_links[i][kTo], m_links[i][kCode]};
        };
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
        for (std::size_t i = 1, first = 0; i < order.size(); ++i) {
            if (key(order[i]) != key(order[first])) {
                first = i;
                continue;
            }
            const TRow<5>& link = m_links[order[i]];
            Add(TSeverity::Warning, "mirror-duplicate",
                "mirror image " + std::to_string(link[kLinkNo]) + " repeats mirror image " +
                    std::to_string(m_links[order[first]][kLinkNo]) + " (" + Concept(link[kTo]) +
                    " under concept " + std::to_string(link[kFrom]) + ", LINK_CODE " +
                    std::to_string(link[kCode]) + "); the save-time check offers to delete it");
        }
    }

    // The hierarchy of lower and upper concepts is PARENT_NO together with the subconcept
    // mirror images. A depth-first walk upward from every concept, colouring each concept once,
    // finds every edge back onto the walk's own path: each such edge closes a cycle. Parent edges
    // of PARENT_NO cycles are left out (reported already), so each cycle found here runs through
    // at least one mirror image.
    void CheckMirrorCycles() {
        const std::size_t n = m_concepts.Numbers.size();
        // Upward mirror edges of each concept (shown concept → place), grouped by concept.
        std::vector<std::size_t> start(n + 1, 0);
        for (std::size_t i : m_validLinks) {
            if (m_links[i][kCode] == kSubconcept) {
                ++start[static_cast<std::size_t>(m_concepts.Find(m_links[i][kTo])) + 1];
            }
        }
        std::partial_sum(start.begin(), start.end(), start.begin());
        std::vector<std::size_t> edges(start[n]);
        std::vector<std::size_t> fill(start.begin(), start.end() - 1);
        for (std::size_t i : m_validLinks) {
            if (m_links[i][kCode] == kSubconcept) {
                edges[fill[static_cast<std::size_t>(m_concepts.Find(m_links[i][kTo]))]++] = i;
            }
        }

        struct TFrame {
            std::int32_t Node;
            std::size_t Next;  // 0: the parent edge; k: the k-th mirror edge
            std::int32_t Via;  // the mirror image this concept was reached by; 0: parent
            // The nearest frame at or below this one that was reached by a mirror image, plus
            // one; 0 when there is none.
            std::size_t LastMirror;
        };
        enum : std::uint8_t { kWhite, kGrey, kBlack };
        std::vector<std::uint8_t> colour(n, kWhite);
        std::vector<std::size_t> stackPos(n, 0);
        std::vector<TFrame> stack;
        for (std::size_t root = 0; root < n; ++root) {
            if (colour[root] != kWhite) {
                continue;
            }
            colour[root] = kGrey;
            stackPos[root] = 0;
            stack.push_back({static_cast<std::int32_t>(root), 0, 0, 0});
            while (!stack.empty()) {
                TFrame& frame = stack.back();
                const auto u = static_cast<std::size_t>(frame.Node);
                std::int32_t target = -1;
                std::int32_t via = 0;
                if (frame.Next == 0) {
                    frame.Next = 1;
                    if (m_parentId[u] >= 0 && !m_inParentCycle[u]) {
                        target = m_parentId[u];
                    }
                } else if (start[u] + frame.Next - 1 < start[u + 1]) {
                    const std::size_t link = edges[start[u] + frame.Next - 1];
                    ++frame.Next;
                    target = m_concepts.Find(m_links[link][kFrom]);
                    via = m_links[link][kLinkNo];
                } else {
                    colour[u] = kBlack;
                    stack.pop_back();
                    continue;
                }
                if (target < 0) {
                    continue;
                }
                const auto t = static_cast<std::size_t>(target);
                if (colour[t] == kWhite) {
                    colour[t] = kGrey;
                    stackPos[t] = stack.size();
                    const std::size_t lastMirror = via != 0 ? stack.size() + 1 : frame.LastMirror;
                    stack.push_back({target, 0, via, lastMirror});
                } else if (colour[t] == kGrey) {
                    ReportMirrorCycle(stack, stackPos[t], via);
                }
            }
        }
    }

    template <class TFrames>
    void ReportMirrorCycle(const TFrames& stack, std::size_t from, std::int32_t backVia) {
        const std::size_t length = stack.size() - from;
        // Blame the mirror image that closed the cycle, else the nearest one below it.
        std::int32_t blamed = backVia;
        if (blamed == 0 && stack.back().LastMirror > from + 1) {
            blamed = stack[stack.back().LastMirror - 1].Via;
        }
        std::string chain;
        for (std::size_t k = from; k < stack.size(); ++k) {
            if (k - from == kNamedCycleMembers) {
                chain += "… → ";
                break;
            }
            chain += std::to_string(ConceptNo(stack[k].Node)) + " → ";
        }
        chain += std::to_string(ConceptNo(stack[from].Node));
        std::string text;
        if (blamed != 0) {
            const TRow<5>& link =
                m_links[m_linkNumbers
                            .FirstRow[static_cast<std::size_t>(m_linkNumbers.Find(blamed))]];
            text = "mirror image " + std::to_string(blamed) + " shows " + Concept(link[kTo]) +
                   " under concept " + std::to_string(link[kFrom]) + " and so closes";
        } else {
            text = "subconcept mirror images close";
        }
        Add(TSeverity::Error, "mirror-cycle",
            text + " a cycle of " + Count(length, "concept", "concepts") +
                " with PARENT_NO: " + chain);
    }

    // Placed items of one level (its child concepts and the mirror images under it) should
    // each have their own LIST_ORDER.
    void CheckListOrders() {
        struct TItem {
            std::int32_t Parent;
            std::int32_t Order;
            bool IsLink;
            std::int32_t No;
            bool operator<(const TItem& o) const {
                return std::tie(Parent, Order, IsLink, No) <
                       std::tie(o.Parent, o.Order, o.IsLink, o.No);
            }
        };
        std::vector<TItem> items;
        const auto placed = [](std::int32_t order) {
            return order >= 1 && order != store::kNotOrdered;
        };
        for (std::size_t id = 0; id < m_concepts.Numbers.size(); ++id) {
            const TRow<3>& row = m_conceptRows[m_concepts.FirstRow[id]];
            if (m_parentId[id] >= 0 && placed(row[kOrder])) {
                items.push_back({row[kParent], row[kOrder], false, row[kNo]});
            }
        }
        for (std::size_t i : m_validLinks) {
            if (placed(m_links[i][kLinkOrder])) {
                items.push_back(
                    {m_links[i][kFrom], m_links[i][kLinkOrder], true, m_links[i][kLinkNo]});
            }
        }
        std::sort(items.begin(), items.end());
        for (std::size_t i = 0; i < items.size();) {
            std::size_t j = i + 1;
            while (j < items.size() && items[j].Parent == items[i].Parent &&
                   items[j].Order == items[i].Order) {
                ++j;
            }
            if (j - i > 1) {
                std::string who;
                for (std::size_t k = i; k < j; ++k) {
                    who += std::string(k > i ? ", " : "") +
                           (items[k].IsLink ? "mirror image " : "concept ") +
                           std::to_string(items[k].No);
                }
                Add(TSeverity::Warning, "list-order-duplicate",
                    "under concept " + std::to_string(items[i].Parent) + " LIST_ORDER " +
                        std::to_string(items[i].Order) + " is shared by " + who);
            }
            i = j;
        }
    }

    void CheckLabels() {
        const TNumbering terms = Number(m_terms, 0);
        ReportDuplicates(terms, "label");
        ReportDuplicates(Number(m_assocs, kAssocNo), "association");
        std::vector<bool> used(terms.Numbers.size(), false);
        std::vector<std::size_t> valid;
        for (std::size_t i = 0; i < m_assocs.size(); ++i) {
            const TRow<3>& a = m_assocs[i];
            const std::string name = "association " + std::to_string(a[kAssocNo]);
            const std::int32_t term = terms.Find(a[kAssocTerm]);
            if (term >= 0) {
                used[static_cast<std::size_t>(term)] = true;
            } else {
                Add(TSeverity::Error, "assoc-missing-label",
                    name + ": TERM_NO " + std::to_string(a[kAssocTerm]) + " names no label");
            }
            if (!m_concepts.Contains(a[kAssocConcept])) {
                Add(TSeverity::Error, "assoc-missing-concept",
                    name + ": CONCEPT_NO " + std::to_string(a[kAssocConcept]) +
                        " names no concept");
            } else if (term >= 0) {
                valid.push_back(i);
            }
        }
        const auto key = [&](std::size_t i) {
            return std::pair(m_assocs[i][kAssocConcept], m_assocs[i][kAssocTerm]);
        };
        std::stable_sort(valid.begin(), valid.end(),
                         [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
        for (std::size_t i = 1, first = 0; i < valid.size(); ++i) {
            if (key(valid[i]) != key(valid[first])) {
                first = i;
                continue;
            }
            Add(TSeverity::Warning, "assoc-duplicate",
                "association " + std::to_string(m_assocs[valid[i]][kAssocNo]) +
                    " repeats association " + std::to_string(m_assocs[valid[first]][kAssocNo]) +
                    " (" + Concept(key(valid[i]).first) + ", label " +
                    std::to_string(key(valid[i]).second) + ")");
        }
        TCursor labels;
        labels.CloneCursor(m_store.DtStOriginalTerms, true);
        ReportEqualLabelTexts(labels);
        for (std::size_t t = 0; t < used.size(); ++t) {
            if (used[t]) {
                continue;
            }
            std::string text;
            if (labels.Locate(store::kFieldTermNo, store::TValue(terms.Numbers[t]))) {
                text = labels.FieldByName(store::kFieldTermString).AsString();
            }
            Add(TSeverity::Warning, "label-unused",
                "label " + std::to_string(terms.Numbers[t]) + " \"" +
                    OneLine(m_text.ToTerminal(text)) + "\" is used by no concept");
        }
    }

    // Two labels of one text are one label to the user, but a lookup finds only the first;
    // "fix" joins them (TDataModule1::MergeDuplicateLabels).
    void ReportEqualLabelTexts(TCursor& labels) {
        std::vector<std::pair<std::string, std::int32_t>> texts;
        labels.SetIndexFieldNames(store::kFieldTermNo);
        for (labels.First(); !labels.Eof(); labels.Next()) {
            texts.emplace_back(labels.FieldByName(store::kFieldTermString).AsString(),
                               labels.FieldByName(store::kFieldTermNo).AsInteger());
        }
        std::stable_sort(texts.begin(), texts.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t i = 1, first = 0; i < texts.size(); ++i) {
            if (texts[i].first != texts[first].first) {
                first = i;
                continue;
            }
            Add(TSeverity::Warning, "label-same-text",
                "label " + std::to_string(texts[i].second) + " \"" +
                    OneLine(m_text.ToTerminal(texts[i].first)) + "\" has the text of label " +
                    std::to_string(texts[first].second));
        }
        labels.SetIndexFieldNames("");
    }

    store::TDataModule1& m_store;
    TTerminalText& m_text;
    TCursor m_titles;
    TCheckResult m_result;

    std::vector<TRow<3>> m_conceptRows;
    std::vector<TRow<5>> m_links;
    std::vector<TRow<1>> m_terms;
    std::vector<TRow<3>> m_assocs;
    std::vector<TRow<1>> m_linkTypeRows;
    TNumbering m_concepts;
    TNumbering m_linkCodes;
    TNumbering m_linkNumbers;
    std::vector<std::int32_t> m_parentId;  // per concept: its parent's index, -1 none/missing
    std::vector<bool> m_inParentCycle;
    std::vector<std::size_t> m_validLinks;  // mirror images whose both ends exist
};

}  // namespace

TCheckResult CheckOntology(store::TDataModule1& store, TTerminalText& text) {
    return TChecker(store, text).Run();
}

std::string FormatFinding(const TFinding& finding) {
    return std::string(finding.Severity == TSeverity::Error ? "error" : "warning") + "[" +
           finding.Kind + "]: " + finding.Text;
}

std::string FormatSummary(const TCheckResult& r) {
    const auto plural = [](int n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    return "check: " + plural(r.Errors, "error", "errors") + ", " +
           plural(r.Warnings, "warning", "warnings") + " in " +
           plural(r.Concepts, "concept", "concepts") + ", " +
           plural(r.MirrorImages, "mirror image", "mirror images") + ", " +
           plural(r.Labels, "label", "labels") + ", " +
           plural(r.Associations, "association", "associations") + ", " +
           plural(r.LinkTypes, "link type", "link types");
}

}  // namespace velmora::cli
