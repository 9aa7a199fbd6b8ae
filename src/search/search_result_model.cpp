#include "search_result_model.h"

#include <QCollatorSortKey>
#include <QDate>
#include <QTime>
#include <algorithm>
#include <numeric>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "qt_text.h"

namespace velmora::search {

namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Ranks of texts under a collator: equal texts (for the collator) share a rank. keys[i] is
// the text of item i; the ranks come back in the same order.
std::vector<std::uint32_t> CollationRanks(const std::vector<std::string_view>& texts,
                                          const QCollator& collator) {
    // Equal bytes give equal keys: each distinct text is converted and keyed once.
    std::unordered_map<std::string_view, std::uint32_t> distinct;
    distinct.reserve(texts.size());
    std::vector<std::uint32_t> textId(texts.size());
    std::vector<std::string_view> unique;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const auto [it, added] =
            distinct.emplace(texts[i], static_cast<std::uint32_t>(unique.size()));
        if (added) {
            unique.push_back(texts[i]);
        }
        textId[i] = it->second;
    }
    std::vector<QCollatorSortKey> keys;
    keys.reserve(unique.size());
    for (const std::string_view text : unique) {
        keys.push_back(collator.sortKey(views::FromCp932(text)));
    }
    std::vector<std::uint32_t> order(unique.size());
    std::iota(order.begin(), order.end(), 0U);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return keys[a].compare(keys[b]) < 0; });
    std::vector<std::uint32_t> uniqueRank(unique.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        uniqueRank[order[i]] = i > 0 && keys[order[i]].compare(keys[order[i - 1]]) == 0
                                   ? uniqueRank[order[i - 1]]
                                   : static_cast<std::uint32_t>(i);
    }
    std::vector<std::uint32_t> ranks(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ranks[i] = uniqueRank[textId[i]];
    }
    return ranks;
}

// The locale's long time format without the time zone Qt appends to it.
QString LongTimeFormat(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    while (!format.isEmpty() && (format.back() == u't' || format.back().isSpace())) {
        format.chop(1);
    }
    return format;
}

}  // namespace

// Titles and editor names are Japanese whatever the process locale: kana in the order of the
// syllabary, as the hierarchy sorts them.
TSearchResultModel::TSearchResultModel(QObject* parent)
    : QAbstractTableModel(parent),
      m_titleCollator(QLocale(QLocale::Japanese, QLocale::Japan)),
      m_editorCollator(QLocale(QLocale::Japanese, QLocale::Japan)) {
    m_titleCollator.setCaseSensitivity(Qt::CaseInsensitive);
    m_editorCollator.setCaseSensitivity(Qt::CaseSensitive);
}

void TSearchResultModel::SetResult(TSearchResult result, bool dateOnly) {
    beginResetModel();
    m_result = std::move(result);
    m_entries.clear();
    m_entries.reserve(m_result.Rows.size());
    for (const std::uint32_t row : m_result.Rows) {
        m_entries.push_back({row});
    }
    m_dateOnly = dateOnly;
    m_titlesRanked = false;
    m_editorsRanked = false;
    endResetModel();
}

void TSearchResultModel::RankTitles() {
    if (m_titlesRanked) {
        return;
    }
    std::vector<std::string_view> titles;
    titles.reserve(m_entries.size());
    for (const TEntry& e : m_entries) {
        titles.push_back(m_result.Snapshot->Title(e.Row));
    }
    const std::vector<std::uint32_t> ranks = CollationRanks(titles, m_titleCollator);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        m_entries[i].TitleRank = ranks[i];
    }
    m_titlesRanked = true;
}

void TSearchResultModel::RankEditors() {
    if (m_editorsRanked) {
        return;
    }
    std::vector<std::string_view> editors;
    editors.reserve(m_entries.size());
    for (const TEntry& e : m_entries) {
        editors.push_back(m_result.Snapshot->Editor(e.Row));
    }
    const std::vector<std::uint32_t> ranks = CollationRanks(editors, m_editorCollator);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        m_entries[i].EditorRank = ranks[i];
    }
    m_editorsRanked = true;
}

std::int64_t TSearchResultModel::DateKey(const TEntry& entry, int column) const {
    const store::TDateTime moment = column == ColumnCreated ? m_result.Snapshot->Created(entry.Row)
                                                            : m_result.Snapshot->Edited(entry.Row);
    // What the column shows: seconds, or days when it shows dates only.
    return FloorDiv(moment.Milliseconds(),
                    m_dateOnly ? store::TDateTime::kMsPerDay : std::int64_t{1000});
}

void TSearchResultModel::SortRows(int column, bool descending) {
    if (column < 0 || column >= ColumnCount) {
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Every comparison breaks ties by title.
    RankTitles();
    if (column == ColumnEditor) {
        RankEditors();
    }
    std::vector<std::int64_t> keys(m_entries.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const TEntry& e = m_entries[i];
        switch (column) {
            case ColumnTitle:
                keys[i] = e.TitleRank;
                break;
            case ColumnEditor:
                keys[i] = e.EditorRank;
                break;
            default:
                keys[i] = DateKey(e, column);
        }
    }
    std::vector<std::uint32_t> order(m_entries.size());
    std::iota(order.begin(), order.end(), 0U);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        if (keys[a] != keys[b]) {
            return descending ? keys[a] > keys[b] : keys[a] < keys[b];
        }
        return m_entries[a].TitleRank < m_entries[b].TitleRank;
    });

    std::vector<TEntry> sorted;
    sorted.reserve(m_entries.size());
    std::vector<int> newPosition(m_entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(m_entries[order[i]]);
        newPosition[order[i]] = static_cast<int>(i);
    }
    m_entries = std::move(sorted);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& index : from) {
        to.append(this->index(newPosition[static_cast<std::size_t>(index.row())], index.column()));
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TSearchResultModel::sort(int column, Qt::SortOrder order) {
    SortRows(column, order == Qt::DescendingOrder);
}

void TSearchResultModel::RemoveResultRow(int row) {
    beginRemoveRows({}, row, row);
    m_entries.erase(m_entries.begin() + row);
    endRemoveRows();
}

std::int32_t TSearchResultModel::RecordNo(int row) const {
    return m_result.Snapshot->RecordNo(m_entries[static_cast<std::size_t>(row)].Row);
}

std::string TSearchResultModel::TitleBytes(int row) const {
    return std::string(m_result.Snapshot->Title(m_entries[static_cast<std::size_t>(row)].Row));
}

int TSearchResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int TSearchResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TSearchResultModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const std::uint32_t row = m_entries[static_cast<std::size_t>(index.row())].Row;
    const TConceptSnapshot& s = *m_result.Snapshot;
    switch (index.column()) {
        case ColumnTitle:
            return views::FromCp932(s.Title(row));
        case ColumnCreated:
            return DateTimeText(s.Created(row), m_dateOnly);
        case ColumnEdited:
            return DateTimeText(s.Edited(row), m_dateOnly);
        case ColumnEditor:
            return views::FromCp932(s.Editor(row));
        default:
            return {};
    }
}

QVariant TSearchResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
        case ColumnTitle:
            return QStringLiteral("タイトル");
        case ColumnCreated:
            return QStringLiteral("作成日時");
        case ColumnEdited:
            return QStringLiteral("更新日時");
        case ColumnEditor:
            return QStringLiteral("更新者名");
        default:
            return {};
    }
}

Qt::ItemFlags TSearchResultModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

QString TSearchResultModel::DateTimeText(store::TDateTime moment, bool dateOnly,
                                         const QLocale& locale) {
    const store::TCivilTime c = moment.ToCivil();
    const QString date = locale.toString(QDate(c.Year, c.Month, c.Day), QLocale::ShortFormat);
    if (dateOnly || (c.Hour == 0 && c.Minute == 0 && c.Second == 0 && c.Millisecond == 0)) {
        return date;
    }
    return date + u' ' + locale.toString(QTime(c.Hour, c.Minute, c.Second), LongTimeFormat(locale));
}

}  // namespace velmora::search
