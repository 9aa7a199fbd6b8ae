#include "search_result_model.h"

#include <unicode/ucol.h>
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

// Japanese collation through ICU, the library QCollator uses on this platform: it gives the
// sort key bytes, so a million keys sort as contiguous bytes instead of a million objects
// compared through pointers (several times faster). Titles and editor names are Japanese
// whatever the process locale: kana in the order of the syllabary, as the hierarchy sorts them.
// Case-insensitive is ICU's secondary strength, as QCollator sets it.
class TJapaneseCollation {
public:
    explicit TJapaneseCollation(bool caseSensitive) {
        UErrorCode status = U_ZERO_ERROR;
        m_collator = ucol_open("ja_JP", &status);
        if (m_collator != nullptr && !caseSensitive) {
            ucol_setAttribute(m_collator, UCOL_STRENGTH, UCOL_SECONDARY, &status);
        }
    }
    ~TJapaneseCollation() {
        if (m_collator != nullptr) {
            ucol_close(m_collator);
        }
    }
    TJapaneseCollation(const TJapaneseCollation&) = delete;
    TJapaneseCollation& operator=(const TJapaneseCollation&) = delete;

    // Appends the sort key of text (code page 932) to keys. Without ICU's collator (it failed
    // to open) the UTF-16 code units stand in, which still sorts.
    void AppendKey(std::string_view text, std::string& keys) {
        const QString unicode = views::FromCp932(text);
        const auto* units = reinterpret_cast<const UChar*>(unicode.utf16());
        const auto length = static_cast<std::int32_t>(unicode.size());
        if (m_collator == nullptr) {
            for (const QChar ch : unicode) {
                keys += static_cast<char>(ch.unicode() >> 8);
                keys += static_cast<char>(ch.unicode() & 0xFF);
            }
            return;
        }
        std::int32_t size = ucol_getSortKey(m_collator, units, length, m_buffer.data(),
                                            static_cast<std::int32_t>(m_buffer.size()));
        if (size > static_cast<std::int32_t>(m_buffer.size())) {
            m_buffer.resize(static_cast<std::size_t>(size));
            size = ucol_getSortKey(m_collator, units, length, m_buffer.data(),
                                   static_cast<std::int32_t>(m_buffer.size()));
        }
        keys.append(reinterpret_cast<const char*>(m_buffer.data()), static_cast<std::size_t>(size));
    }

private:
    UCollator* m_collator = nullptr;
    std::vector<std::uint8_t> m_buffer = std::vector<std::uint8_t>(256);
};

// Ranks of texts (code page 932) in Japanese collation: equal texts for the collation share a
// rank; the ranks come back in the order of texts. With distinctOnly, each distinct text is
// keyed once (for columns of few values, such as editor names).
std::vector<std::uint32_t> CollationRanks(const std::vector<std::string_view>& texts,
                                          bool caseSensitive, bool distinctOnly) {
    std::vector<std::uint32_t> textId(texts.size());
    std::vector<std::string_view> unique;
    if (distinctOnly) {
        std::unordered_map<std::string_view, std::uint32_t> distinct;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const auto [it, added] =
                distinct.emplace(texts[i], static_cast<std::uint32_t>(unique.size()));
            if (added) {
                unique.push_back(texts[i]);
            }
            textId[i] = it->second;
        }
    } else {
        unique = texts;
        std::iota(textId.begin(), textId.end(), 0U);
    }

    TJapaneseCollation collation(caseSensitive);
    std::string keys;
    std::vector<std::size_t> start{0};
    start.reserve(unique.size() + 1);
    for (const std::string_view text : unique) {
        collation.AppendKey(text, keys);
        start.push_back(keys.size());
    }
    const auto key = [&](std::uint32_t i) {
        return std::string_view(keys.data() + start[i], start[i + 1] - start[i]);
    };
    // The first eight key bytes as one number settle most comparisons without touching the
    // keys themselves.
    std::vector<std::uint64_t> prefix(unique.size());
    for (std::uint32_t i = 0; i < unique.size(); ++i) {
        const std::string_view k = key(i);
        std::uint64_t p = 0;
        for (std::size_t j = 0; j < 8; ++j) {
            p = (p << 8) | (j < k.size() ? static_cast<unsigned char>(k[j]) : 0U);
        }
        prefix[i] = p;
    }
    std::vector<std::uint32_t> order(unique.size());
    std::iota(order.begin(), order.end(), 0U);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return prefix[a] != prefix[b] ? prefix[a] < prefix[b] : key(a) < key(b);
    });
    std::vector<std::uint32_t> uniqueRank(unique.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        uniqueRank[order[i]] = i > 0 && key(order[i]) == key(order[i - 1])
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

TSearchResultModel::TSearchResultModel(QObject* parent) : QAbstractTableModel(parent) {}

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
    const std::vector<std::uint32_t> ranks = CollationRanks(titles, false, false);
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
    const std::vector<std::uint32_t> ranks = CollationRanks(editors, true, true);
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
