#include "concept_search.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <utility>

#include "code_page.h"
#include "ontology_tables.h"
#include "search_folding.h"

namespace velmora::search {

using store::TRecordView;
using store::TTable;

// ---------------------------------------------------------------------------------------------
// Text columns

void TTextColumn::Reserve(std::size_t values, std::size_t bytes) {
    m_start.reserve(values + 1);
    m_bytes.reserve(bytes);
}

void TTextColumn::Add(std::string_view value) {
    m_bytes += value;
    m_bytes += '\0';
    m_start.push_back(m_bytes.size());
}

namespace {

// Is `at` a character boundary of value, read from its start? A lead byte takes the byte after
// it; a lone lead byte at the very end counts as one character (as Cp932Find reads).
bool IsBoundary(std::string_view value, std::size_t at) {
    std::size_t i = 0;
    while (i < at) {
        i += store::IsCp932LeadByte(static_cast<unsigned char>(value[i])) ? 2 : 1;
    }
    return i == at || (i > value.size() && at == value.size());
}

// Does needle end on a boundary of its own? A needle that ends in a lone lead byte matches only
// at the very end of a value, where the value is cut the same way.
bool EndsWhole(std::string_view needle) {
    std::size_t i = 0;
    while (i < needle.size()) {
        i += store::IsCp932LeadByte(static_cast<unsigned char>(needle[i])) ? 2 : 1;
    }
    return i == needle.size();
}

}  // namespace

void TTextColumn::MarkContaining(std::string_view needle, std::vector<std::uint8_t>& hits) const {
    if (needle.empty() || needle.find('\0') != std::string_view::npos) {
        return;
    }
    const bool whole = EndsWhole(needle);
    const char* base = m_bytes.data();
    const std::size_t size = m_bytes.size();
    std::size_t from = 0;
    std::size_t row = 0;
    while (from < size) {
        const void* found = memmem(base + from, size - from, needle.data(), needle.size());
        if (found == nullptr) {
            break;
        }
        const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - base);
        // The needle holds no zero byte, so a match lies inside one value. Matches only move
        // forward: the row advances with them.
        while (m_start[row + 1] <= at) {
            ++row;
        }
        const std::string_view value = (*this)[row];
        const std::size_t offset = at - m_start[row];
        const bool ends = whole || offset + needle.size() == value.size();
        if (hits[row] == 0 && ends && IsBoundary(value, offset)) {
            hits[row] = 1;
            from = m_start[row + 1];
        } else if (hits[row] != 0) {
            from = m_start[row + 1];
        } else {
            from = at + 1;
        }
    }
}

TTextColumn TTextColumn::Folded() const {
    TTextColumn out;
    out.Reserve(Size(), m_bytes.size());
    for (std::size_t i = 0; i < Size(); ++i) {
        AppendFolded((*this)[i], out.m_bytes);
        out.m_bytes += '\0';
        out.m_start.push_back(out.m_bytes.size());
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Snapshot

namespace {

// Record numbers to rows: a direct table while the numbers are dense enough, else a sorted
// list searched by bisection.
class TNumberToRow {
public:
    explicit TNumberToRow(const std::vector<std::int32_t>& numbers) {
        std::int32_t max = 0;
        for (std::int32_t n : numbers) {
            max = std::max(max, n);
        }
        if (static_cast<std::size_t>(max) <= 4 * numbers.size() + 1024) {
            m_dense.assign(static_cast<std::size_t>(max) + 1, kNone);
            for (std::size_t row = 0; row < numbers.size(); ++row) {
                if (numbers[row] >= 0) {
                    m_dense[static_cast<std::size_t>(numbers[row])] =
                        static_cast<std::uint32_t>(row);
                }
            }
        } else {
            m_sorted.reserve(numbers.size());
            for (std::size_t row = 0; row < numbers.size(); ++row) {
                m_sorted.emplace_back(numbers[row], static_cast<std::uint32_t>(row));
            }
            std::sort(m_sorted.begin(), m_sorted.end());
        }
    }

    // The row of n (the first, should a number repeat), or kNone.
    std::uint32_t operator()(std::int32_t n) const {
        if (m_sorted.empty()) {
            return n >= 0 && static_cast<std::size_t>(n) < m_dense.size()
                       ? m_dense[static_cast<std::size_t>(n)]
                       : kNone;
        }
        const auto it = std::lower_bound(m_sorted.begin(), m_sorted.end(),
                                         std::pair<std::int32_t, std::uint32_t>(n, 0));
        return it != m_sorted.end() && it->first == n ? it->second : kNone;
    }

    static constexpr std::uint32_t kNone = 0xFFFFFFFFU;

private:
    std::vector<std::uint32_t> m_dense;
    std::vector<std::pair<std::int32_t, std::uint32_t>> m_sorted;
};

int FieldIndex(const TTable& table, std::string_view name) {
    const int index = table.FindFieldIndex(name);
    if (index < 0) {
        throw store::ETableError("項目 '" + std::string(name) + "' が見つかりません");
    }
    return index;
}

}  // namespace

std::size_t TConceptSnapshot::RowOf(std::int32_t recordNo) const {
    const auto it = std::lower_bound(m_recordNo.begin(), m_recordNo.end(), recordNo);
    return it != m_recordNo.end() && *it == recordNo
               ? static_cast<std::size_t>(it - m_recordNo.begin())
               : npos;
}

std::size_t TConceptSnapshot::MemoryUsage() const {
    return m_recordNo.capacity() * sizeof(std::int32_t) +
           (m_created.capacity() + m_edited.capacity()) * sizeof(std::int64_t) +
           m_title.ByteSize() + m_description.ByteSize() + m_comment.ByteSize() +
           m_editor.ByteSize() + m_terms.ByteSize() +
           (m_title.Size() * 4 + m_terms.Size() + 5) * sizeof(std::size_t) +
           (m_assocTermRow.capacity() + m_assocConceptRow.capacity()) * sizeof(std::uint32_t);
}

std::shared_ptr<TConceptSnapshot> MakeConceptSnapshot(store::TDataModule1& store) {
    auto snapshot = std::make_shared<TConceptSnapshot>();
    TConceptSnapshot& s = *snapshot;

    // Concepts, in order of addition; put in ascending number below when they are not.
    TTable& concepts = store.DtStOriginalConcepts;
    const int recordNo = FieldIndex(concepts, store::kFieldRecordNo);
    const int title = FieldIndex(concepts, store::kFieldTitle);
    const int description = FieldIndex(concepts, store::kFieldDescription);
    const int comment = FieldIndex(concepts, store::kFieldComment);
    const int editor = FieldIndex(concepts, store::kFieldEditor);
    const int created = FieldIndex(concepts, store::kFieldDateCreation);
    const int edited = FieldIndex(concepts, store::kFieldDateEdition);
    const auto count = static_cast<std::size_t>(concepts.RecordCount());
    s.m_recordNo.reserve(count);
    s.m_created.reserve(count);
    s.m_edited.reserve(count);
    s.m_title.Reserve(count, count * 32);
    s.m_description.Reserve(count, count * 16);
    s.m_comment.Reserve(count, count * 8);
    s.m_editor.Reserve(count, count * 8);
    concepts.ForEachRecordView([&](const TRecordView& r) {
        s.m_recordNo.push_back(r.Integer(recordNo));
        s.m_created.push_back(r.DateTime(created).Milliseconds());
        s.m_edited.push_back(r.DateTime(edited).Milliseconds());
        s.m_title.Add(r.Text(title));
        s.m_description.Add(r.Text(description));
        s.m_comment.Add(r.Text(comment));
        s.m_editor.Add(r.Text(editor));
    });
    if (!std::is_sorted(s.m_recordNo.begin(), s.m_recordNo.end())) {
        std::vector<std::size_t> order(s.m_recordNo.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return s.m_recordNo[a] < s.m_recordNo[b];
        });
        TConceptSnapshot sorted;
        for (std::size_t row : order) {
            sorted.m_recordNo.push_back(s.m_recordNo[row]);
            sorted.m_created.push_back(s.m_created[row]);
            sorted.m_edited.push_back(s.m_edited[row]);
            sorted.m_title.Add(s.m_title[row]);
            sorted.m_description.Add(s.m_description[row]);
            sorted.m_comment.Add(s.m_comment[row]);
            sorted.m_editor.Add(s.m_editor[row]);
        }
        s = std::move(sorted);
    }

    // Labels and the associations that give them to concepts.
    TTable& terms = store.DtStOriginalTerms;
    const int termNo = FieldIndex(terms, store::kFieldTermNo);
    const int termString = FieldIndex(terms, store::kFieldTermString);
    std::vector<std::int32_t> termNumbers;
    termNumbers.reserve(static_cast<std::size_t>(terms.RecordCount()));
    s.m_terms.Reserve(termNumbers.capacity(), termNumbers.capacity() * 24);
    terms.ForEachRecordView([&](const TRecordView& r) {
        termNumbers.push_back(r.Integer(termNo));
        s.m_terms.Add(r.Text(termString));
    });

    TTable& assocs = store.DtStOriginalAssociation;
    const int assocConcept = FieldIndex(assocs, store::kFieldConceptNo);
    const int assocTerm = FieldIndex(assocs, store::kFieldTermNo);
    const TNumberToRow termRow(termNumbers);
    const TNumberToRow conceptRow(s.m_recordNo);
    s.m_assocTermRow.reserve(static_cast<std::size_t>(assocs.RecordCount()));
    s.m_assocConceptRow.reserve(s.m_assocTermRow.capacity());
    assocs.ForEachRecordView([&](const TRecordView& r) {
        // An association whose concept is gone (the store never leaves one) finds no row to
        // show and adds nothing; so does one whose label is gone.
        const std::uint32_t t = termRow(r.Integer(assocTerm));
        const std::uint32_t c = conceptRow(r.Integer(assocConcept));
        if (t != TNumberToRow::kNone && c != TNumberToRow::kNone) {
            s.m_assocTermRow.push_back(t);
            s.m_assocConceptRow.push_back(c);
        }
    });
    return snapshot;
}

// ---------------------------------------------------------------------------------------------
// Search

struct TConceptSearch::TFoldedColumns {
    // Made on first use; an unset column has not been needed yet.
    std::unique_ptr<TTextColumn> Columns[5];
};

TConceptSearch::TConceptSearch(store::TDataModule1& store) : m_store(store) {}

std::shared_ptr<const TConceptSnapshot> TConceptSearch::Snapshot() {
    TTable* const tables[3] = {&m_store.DtStOriginalConcepts, &m_store.DtStOriginalTerms,
                               &m_store.DtStOriginalAssociation};
    const bool open = tables[0]->Active() && tables[1]->Active() && tables[2]->Active();
    std::uint64_t stamps[3] = {0, 0, 0};
    if (open) {
        for (int i = 0; i < 3; ++i) {
            stamps[i] = tables[i]->ContentStamp();
        }
    }
    const bool same = m_snapshot && open == m_open &&
                      std::equal(std::begin(stamps), std::end(stamps), std::begin(m_stamps));
    if (!same) {
        m_snapshot = open ? MakeConceptSnapshot(m_store) : std::make_shared<TConceptSnapshot>();
        m_open = open;
        std::copy(std::begin(stamps), std::end(stamps), std::begin(m_stamps));
        m_folded.reset();
    }
    return m_snapshot;
}

TSearchResult TConceptSearch::Search(std::string_view text, const TSearchOptions& options) {
    TSearchResult result;
    result.Snapshot = Snapshot();
    if (text.empty() || !options.Fields.Any()) {
        return result;
    }
    const TConceptSnapshot& s = *m_snapshot;
    const TTextColumn* const plain[5] = {&s.m_title, &s.m_description, &s.m_comment, &s.m_editor,
                                         &s.m_terms};
    const bool wanted[5] = {options.Fields.Title, options.Fields.Description,
                            options.Fields.Comment, options.Fields.Editor, options.Fields.Term};
    std::string folded;
    if (options.Fuzzy) {
        folded = Folded(text);
        text = folded;
        if (!m_folded) {
            m_folded = std::make_shared<TFoldedColumns>();
        }
    }
    const auto column = [&](int i) -> const TTextColumn& {
        if (!options.Fuzzy) {
            return *plain[i];
        }
        auto& made = m_folded->Columns[i];
        if (!made) {
            made = std::make_unique<TTextColumn>(plain[i]->Folded());
        }
        return *made;
    };

    std::vector<std::uint8_t> hits(s.Count(), 0);
    for (int i = 0; i < 4; ++i) {
        if (wanted[i]) {
            column(i).MarkContaining(text, hits);
        }
    }
    if (wanted[4]) {
        std::vector<std::uint8_t> termHits(s.m_terms.Size(), 0);
        column(4).MarkContaining(text, termHits);
        for (std::size_t k = 0; k < s.m_assocTermRow.size(); ++k) {
            if (termHits[s.m_assocTermRow[k]] != 0) {
                hits[s.m_assocConceptRow[k]] = 1;
            }
        }
    }
    for (std::size_t row = 0; row < hits.size(); ++row) {
        if (hits[row] != 0) {
            result.Rows.push_back(static_cast<std::uint32_t>(row));
        }
    }
    return result;
}

TSearchResult TConceptSearch::ShowAll() {
    TSearchResult result;
    result.Snapshot = Snapshot();
    result.Rows.resize(result.Snapshot->Count());
    std::iota(result.Rows.begin(), result.Rows.end(), std::uint32_t{0});
    return result;
}

}  // namespace velmora::search
