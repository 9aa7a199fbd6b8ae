// TSearchResultModel: the search window's result list as an item model over a TSearchResult,
// so that a million rows cost a few bytes each and no widget item at all. Four read-only
// columns: title, creation date, last-edit date, editor name. The texts are the snapshot's
// (the rows do not follow later edits) and are converted to QString only when shown.
//
// Sorting sorts the rows once (later results arrive unsorted) by one column, ascending or
// descending, ties always broken by ascending title. Titles compare in Japanese collation
// ignoring case and editor names in it with case, through collation ranks computed once per
// result from ICU sort keys (so a sort is an integer sort, not a million collator calls); the
// dates compare by the value the column shows: to the second, or to the day when only dates
// are shown. Rows of equal keys keep their order (stable sort).
//
// Lives on the GUI thread.
#pragma once

#include <QAbstractTableModel>
#include <QLocale>
#include <cstdint>
#include <vector>

#include "concept_search.h"

namespace velmora::search {

class TSearchResultModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum TColumn { ColumnTitle, ColumnCreated, ColumnEdited, ColumnEditor, ColumnCount };

    explicit TSearchResultModel(QObject* parent = nullptr);

    // Replaces the rows. dateOnly: the date columns show dates without the time (show-all).
    void SetResult(TSearchResult result, bool dateOnly);
    void Clear() { SetResult({}, false); }
    // Sorts the rows once by column; persistent indexes (the selection) follow their rows.
    void SortRows(int column, bool descending);
    // REQUIRES (all three): 0 <= row < rowCount().
    void RemoveResultRow(int row);
    std::int32_t RecordNo(int row) const;
    // The title as the snapshot holds it (code page 932).
    std::string TitleBytes(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order) override;

    // The text of a date column for a moment: the locale's short date and long time (without
    // a time zone), the time left out at midnight or when dateOnly.
    static QString DateTimeText(store::TDateTime moment, bool dateOnly,
                                const QLocale& locale = QLocale());

private:
    struct TEntry {
        std::uint32_t Row;            // row of the snapshot
        std::uint32_t TitleRank = 0;  // collation rank among the result's titles
        std::uint32_t EditorRank = 0;
    };

    void RankTitles();
    void RankEditors();
    std::int64_t DateKey(const TEntry& entry, int column) const;

    TSearchResult m_result;
    std::vector<TEntry> m_entries;
    bool m_dateOnly = false;
    bool m_titlesRanked = false;
    bool m_editorsRanked = false;
};

}  // namespace velmora::search
