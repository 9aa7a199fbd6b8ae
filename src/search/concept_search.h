// TConceptSearch: finding concepts by a part of their title, description, comment, editor name
// or language labels, and listing all concepts — the matching behind the search window and
// velmora-cli search, without Qt.
//
// A search reads a TConceptSnapshot: a copy of the concept rows (number, title, dates, editor)
// and of the searched texts, each field's values laid end to end in one block with a zero byte
// after each value (no table text holds one). Finding a text is then one memmem run over a
// block with a character-boundary check per candidate, instead of a pass through the table
// engine per record. The snapshot is made on the first search and made again only when one of
// the three tables changed (their content stamps), so repeated searches cost only the scan.
// The folded copies the Japanese-aware option searches are made on its first use per snapshot.
//
// "Contains" is an exact, case-sensitive byte match of code page 932 text that starts and ends
// on character boundaries of the value (read from its start: a lead byte takes the next byte),
// as store::Cp932Find defines it. A concept found through several fields or labels counts once.
//
// Results share the snapshot they came from (shared_ptr), so a result stays as it was when the
// tables change afterwards: it is a snapshot, checked against the store only when used.
// Single-threaded, as the store is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data_module.h"
#include "date_time.h"

namespace velmora::search {

// The values of one text field, laid end to end, each followed by a zero byte.
class TTextColumn {
public:
    void Reserve(std::size_t values, std::size_t bytes);
    void Add(std::string_view value);
    std::size_t Size() const { return m_start.size() - 1; }
    std::string_view operator[](std::size_t i) const {
        return {m_bytes.data() + m_start[i], m_start[i + 1] - m_start[i] - 1};
    }
    std::size_t ByteSize() const { return m_bytes.size(); }

    // Sets hits[i] to 1 for every value i that contains needle on whole characters; values
    // already marked are skipped. REQUIRES: hits.size() == Size(). An empty needle, or one
    // holding a zero byte, marks nothing.
    void MarkContaining(std::string_view needle, std::vector<std::uint8_t>& hits) const;

    // The column with every value folded (search_folding.h).
    TTextColumn Folded() const;

private:
    std::string m_bytes;
    std::vector<std::size_t> m_start{0};  // Size() + 1 offsets into m_bytes
};

// The concepts of the store at one moment, in ascending RECORD_NO (the concept table's order),
// with the texts a search looks in. Rows are numbered 0 .. Count() - 1.
class TConceptSnapshot {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    std::size_t Count() const { return m_recordNo.size(); }
    std::int32_t RecordNo(std::size_t row) const { return m_recordNo[row]; }
    std::string_view Title(std::size_t row) const { return m_title[row]; }
    std::string_view Editor(std::size_t row) const { return m_editor[row]; }
    store::TDateTime Created(std::size_t row) const {
        return store::TDateTime::FromMilliseconds(m_created[row]);
    }
    store::TDateTime Edited(std::size_t row) const {
        return store::TDateTime::FromMilliseconds(m_edited[row]);
    }
    // The row of a concept number, or npos.
    std::size_t RowOf(std::int32_t recordNo) const;

    // Bytes held (for the benchmark).
    std::size_t MemoryUsage() const;

private:
    friend class TConceptSearch;
    friend std::shared_ptr<TConceptSnapshot> MakeConceptSnapshot(store::TDataModule1& store);

    std::vector<std::int32_t> m_recordNo;
    std::vector<std::int64_t> m_created;  // milliseconds, as TDateTime keeps them
    std::vector<std::int64_t> m_edited;
    TTextColumn m_title;
    TTextColumn m_description;
    TTextColumn m_comment;
    TTextColumn m_editor;
    TTextColumn m_terms;
    // Associations whose label and concept both exist, as rows of m_terms and of the concepts.
    std::vector<std::uint32_t> m_assocTermRow;
    std::vector<std::uint32_t> m_assocConceptRow;
};

// Which fields a search looks in; the window's five check boxes.
struct TSearchFields {
    bool Title = true;
    bool Description = false;
    bool Comment = false;
    bool Editor = false;
    bool Term = false;  // language labels

    bool Any() const { return Title || Description || Comment || Editor || Term; }
};

struct TSearchOptions {
    TSearchFields Fields;
    bool Fuzzy = false;  // fold both sides first (search_folding.h)
};

// Rows of a snapshot, in ascending RECORD_NO.
struct TSearchResult {
    std::shared_ptr<const TConceptSnapshot> Snapshot;
    std::vector<std::uint32_t> Rows;
};

class TConceptSearch {
public:
    // REQUIRES: store outlives the search.
    explicit TConceptSearch(store::TDataModule1& store);

    // The concepts whose checked fields contain text (code page 932). An empty text or no
    // checked field finds nothing; the caller tells the user which it was. While no ontology
    // is open the snapshot is empty.
    TSearchResult Search(std::string_view text, const TSearchOptions& options);
    // Every concept.
    TSearchResult ShowAll();

    // The snapshot of the store as it is now: the cached one unless a table changed since.
    std::shared_ptr<const TConceptSnapshot> Snapshot();

private:
    struct TFoldedColumns;

    store::TDataModule1& m_store;
    std::shared_ptr<TConceptSnapshot> m_snapshot;
    std::uint64_t m_stamps[3] = {0, 0, 0};
    bool m_open = false;
    std::shared_ptr<TFoldedColumns> m_folded;  // for m_snapshot; made on first fuzzy search
};

// Makes a snapshot of the store's concept, terms and association tables. REQUIRES: the
// tables are open.
std::shared_ptr<TConceptSnapshot> MakeConceptSnapshot(store::TDataModule1& store);

}  // namespace velmora::search
