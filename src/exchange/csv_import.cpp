#include "csv_import.h"

#include <algorithm>

#include "code_page.h"
#include "ontology_tables.h"
#include "store_exceptions.h"

namespace velmora::exchange {

using store::TTable;
using store::TValue;
using store::Utf8ToCp932;

namespace {

constexpr char kQuote = '"';

const std::string& Cp932(std::string_view utf8, std::string& cache) {
    if (cache.empty()) {
        cache = Utf8ToCp932(utf8);
    }
    return cache;
}

const std::string& FieldCaption() {
    static std::string cache;
    return Cp932("フィールド", cache);
}

const std::string& NotAssigned() {
    static std::string cache;
    return Cp932("(なし)", cache);
}

const std::string& PreviewBullet() {
    static std::string cache;
    return Cp932("・", cache);
}

const std::string& EmptyCell() {
    static const std::string empty;
    return empty;
}

// Replaces every occurrence of from by to, left to right.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    std::size_t at = 0;
    for (std::size_t found; (found = text.find(from, at)) != std::string_view::npos;
         at = found + from.size()) {
        out.append(text.substr(at, found - at));
        out.append(to);
    }
    out.append(text.substr(at));
    return out;
}

// The content of a quoted value between begin and end, each doubled quote read as one.
std::string Unquote(std::string_view text, std::size_t begin, std::size_t end) {
    std::string value;
    value.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) {
        value.push_back(text[i]);
        if (text[i] == kQuote) {
            ++i;  // the second quote of the pair
        }
    }
    return value;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Grid

void TCsvGrid::Clear() {
    m_columns = 1;
    m_filledRows = 0;
    m_rows.assign(2, std::vector<std::string>(1));
}

const std::string& TCsvGrid::Cell(int column, int row) const {
    if (row < 0 || row >= RowCount() || column < 0) {
        return EmptyCell();
    }
    const std::vector<std::string>& cells = m_rows[static_cast<std::size_t>(row)];
    return static_cast<std::size_t>(column) < cells.size() ? cells[static_cast<std::size_t>(column)]
                                                           : EmptyCell();
}

void TCsvGrid::AddRow(std::vector<std::string> fields) {
    const std::size_t row = static_cast<std::size_t>(++m_filledRows);
    if (m_rows.size() < row + 1) {
        m_rows.resize(row + 1);
    }
    m_columns = std::max(m_columns, static_cast<int>(fields.size()));
    m_rows[row] = std::move(fields);
}

void TCsvGrid::WriteCaptions() {
    std::vector<std::string>& captions = m_rows[0];
    captions.resize(static_cast<std::size_t>(m_columns));
    for (int c = 0; c < m_columns; ++c) {
        captions[static_cast<std::size_t>(c)] = FieldCaption() + std::to_string(c + 1);
    }
}

// ---------------------------------------------------------------------------------------------
// Parsing and reading

std::size_t ParseCSVText(std::string_view text, TCsvGrid& grid) {
    const std::size_t size = text.size();
    std::size_t p = 0;
    std::vector<std::string> fields;
    std::size_t broken = std::string_view::npos;  // position of the first broken quote
    const auto noteBroken = [&](std::size_t at) { broken = std::min(broken, at); };
    const auto endOfLine = [&] { return p >= size || text[p] == '\r' || text[p] == '\n'; };
    while (p < size) {
        while (!endOfLine()) {
            if (text[p] == kQuote) {
                const std::size_t begin = p + 1;
                std::size_t close = begin;
                for (;;) {
                    close = text.find(kQuote, close);
                    if (close == std::string_view::npos || close + 1 >= size ||
                        text[close + 1] != kQuote) {
                        break;
                    }
                    close += 2;
                }
                if (close == std::string_view::npos) {
                    // Unclosed: the value runs to the end of the text less its last character.
                    noteBroken(begin - 1);
                    fields.push_back(Unquote(text, begin, std::max(begin, size - 1)));
                    p = size;
                } else {
                    fields.push_back(Unquote(text, begin, close));
                    p = close + 1;
                    if (p < size && text[p] != ',' && text[p] != '\r' && text[p] != '\n') {
                        noteBroken(close);  // "x"y: the rest is read as another field
                    }
                }
            } else {
                const std::size_t end = text.find_first_of(",\r\n", p);
                const std::size_t stop = end == std::string_view::npos ? size : end;
                fields.emplace_back(text.substr(p, stop - p));
                p = stop;
            }
            if (p < size && text[p] == ',') {
                ++p;
            }
        }
        if (!fields.empty()) {
            grid.AddRow(std::move(fields));
            fields.clear();
        }
        if (p < size && text[p] == '\r') {
            ++p;
        }
        if (p < size && text[p] == '\n') {
            ++p;
        }
    }
    grid.WriteCaptions();
    if (broken == std::string_view::npos) {
        return 0;
    }
    return static_cast<std::size_t>(std::count(text.begin(), text.begin() + broken, '\n')) + 1;
}

std::string JoinFileLines(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 16 + 2);
    std::size_t p = 0;
    while (p < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", p);
        const std::size_t stop = end == std::string_view::npos ? bytes.size() : end;
        text.append(bytes.substr(p, stop - p));
        text.append("\r\n");
        p = stop;
        if (p < bytes.size() && bytes[p] == '\r') {
            ++p;
            if (p < bytes.size() && bytes[p] == '\n') {
                ++p;
            }
        } else if (p < bytes.size()) {
            ++p;  // LF
        }
    }
    return text;
}

std::string ReadCSVBytes(store::TFileSystem& fileSystem, const std::string& path,
                         store::TQuestioner& questioner) {
    try {
        return ReadWholeFile(fileSystem, path);
    } catch (const store::EFileSystemError&) {
        questioner.Ask(store::TMessageKind::Error, store::TButtons::OkCancel,
                       MessageCannotOpenFile());
        throw;
    }
}

std::optional<std::string> ReadCSVFile(store::TFileSystem& fileSystem, const std::string& path,
                                       store::TQuestioner& questioner, TImportEncoding encoding) {
    const std::string bytes = ReadCSVBytes(fileSystem, path, questioner);
    const std::optional<TImportText> text =
        DecodeImportText(bytes, encoding, questioner, MessageUnreadableBytes);
    if (!text) {
        return std::nullopt;
    }
    return JoinFileLines(text->Text);
}

// ---------------------------------------------------------------------------------------------
// Fields and labels

std::string CsvHeaderText(TCsvField field) {
    static constexpr std::string_view kHeaders[kCsvFieldCount] = {
        "<タイトル>",   "<解説>",       "<コメント>", "<言語ラベル>",
        "<最終更新者>", "<概念識別子>", "<上位概念>",
    };
    return Utf8ToCp932(kHeaders[static_cast<int>(field)]);
}

std::vector<std::string> SplitLabels(std::string_view cell, std::string_view separatorText) {
    std::vector<std::string> labels;
    if (separatorText.empty()) {
        labels.emplace_back(cell);
        return labels;
    }
    const std::string separator = ReplaceAll(ReplaceAll(separatorText, "\\n", "\r\n"), "\\t", "\t");
    std::string_view rest = cell;
    while (!rest.empty()) {
        const std::size_t at = separator.empty() ? std::string_view::npos : rest.find(separator);
        const std::size_t length = at == std::string_view::npos ? rest.size() : at;
        labels.emplace_back(rest.substr(0, length));
        rest.remove_prefix(length);
        if (!separator.empty() && rest.starts_with(separator)) {
            rest.remove_prefix(separator.size());
        }
    }
    return labels;
}

// ---------------------------------------------------------------------------------------------
// Messages

std::string MessageNoFile() {
    return "CSVファイルが指定されていません.";
}
std::string MessageNoTitle() {
    return "「タイトル」フィールドが指定されていません.";
}
std::string MessageParentWithoutIdentifier() {
    return "「上位概念」フィールドが指定されていますが, "
           "「概念識別子」フィールドが指定されていません.";
}
std::string MessageReplaceNeedsHierarchy() {
    return "オントロジーの概念を置き換えるためには, "
           "CSVファイルの概念が階層化されている必要があります.";
}
std::string MessageIdentifiersNotUnique() {
    return "一部のレコードに関して、「概念識別子」フィールドがユニークではありません.";
}
std::string MessageSeveralTopRows() {
    return "CSVファイルの概念の階層構造で最上位概念が複数ありますが，複数の概念が\r\n"
           "オントロジーの最上位概念になることはソフトウエア仕様上できません.";
}
std::string MessageParentCycle(std::string_view identifier) {
    return "CSVファイルの概念の階層構造が循環しています: 概念識別子「" +
           store::Cp932ToUtf8(identifier) +
           "」の概念は, 「上位概念」をたどると自分自身に戻ります.\r\n"
           "循環する概念はインポートできません.";
}
std::string MessageNothingToReplace() {
    return "CSVファイルにデータレコードがないため, オントロジーの概念を置き換えることはできません.";
}
std::string MessageCannotOpenFile() {
    return "ファイルが開けません. ファイルが他のプログラムで使用中の可能性があります.";
}
std::string MessageEmptyFile() {
    return "CSVファイルにデータがありません. インポートする行がひとつもありません.";
}
std::string MessageBrokenQuote(std::size_t line) {
    return "CSVファイルの " + std::to_string(line) +
           " 行目の引用符(\")が正しく閉じていません. "
           "この行から後の区切りが崩れている可能性があります.\r\n"
           "このまま読み込みを続けますか?\r\n"
           "(「いいえ」で読み込みを中止します.)";
}
std::string MessageUnreadableBytes(std::size_t line) {
    return "CSVファイルの " + std::to_string(line) +
           " 行目に, シフトJIS(コードページ932)として読めない文字があります.\r\n"
           "読めないバイトをそのまま残して読み込みを続けますか?\r\n"
           "(「いいえ」で読み込みを中止します.)";
}

// ---------------------------------------------------------------------------------------------
// The wizard

TCsvImportWizard::TCsvImportWizard(store::TDataModule1& store, const store::TStoreContext& context,
                                   std::int32_t currentConceptNo)
    : m_store(store), m_context(context), m_currentConceptNo(currentConceptNo) {
    UpdatePlaceChoices();
}

std::size_t TCsvImportWizard::LoadText(std::string_view text, const std::string& fileName) {
    m_grid.Clear();
    const std::size_t brokenQuote = ParseCSVText(text, m_grid);
    m_fileName = fileName;
    m_selectedRow = 1;
    // A new file starts afresh: choices made for another file's columns would pick wrong ones.
    for (TFieldChoice& choice : m_choices) {
        choice = TFieldChoice();
    }
    m_ignoreHeader = false;
    m_separator.clear();
    if (m_grid.ColumnCount() > 1 || m_grid.RowCount() > 2 || !m_grid.Cell(0, 1).empty()) {
        FillFieldChoices(1);
    }
    AssignFieldsFromHeader();
    UpdatePlaceChoices();
    return brokenQuote;
}

bool TCsvImportWizard::LoadBytes(std::string bytes, const std::string& fileName,
                                 TImportEncoding encoding, store::TQuestioner& questioner) {
    m_brokenQuoteLine = 0;
    const std::optional<TImportText> text =
        DecodeImportText(bytes, encoding, questioner, MessageUnreadableBytes);
    if (!text) {
        return false;
    }
    const std::string joined = JoinFileLines(text->Text);
    TCsvGrid probe;
    m_brokenQuoteLine = ParseCSVText(joined, probe);
    if (m_brokenQuoteLine != 0 &&
        questioner.Ask(store::TMessageKind::Warning, store::TButtons::YesNo,
                       MessageBrokenQuote(m_brokenQuoteLine)) != store::TAnswer::Yes) {
        return false;
    }
    LoadText(joined, fileName);
    m_bytes = std::move(bytes);
    m_encodingChoice = encoding;
    m_encoding = text->Encoding;
    m_replaced = text->Replaced;
    return true;
}

bool TCsvImportWizard::SetEncoding(TImportEncoding encoding, store::TQuestioner& questioner) {
    if (m_fileName.empty()) {
        m_encodingChoice = encoding;
        return true;
    }
    return LoadBytes(m_bytes, m_fileName, encoding, questioner);
}

void TCsvImportWizard::ClearFile() {
    m_fileName.clear();
    m_bytes.clear();
    m_replaced = 0;
    m_brokenQuoteLine = 0;
    for (TFieldChoice& choice : m_choices) {
        choice = TFieldChoice();
    }
    m_grid.Clear();
    m_selectedRow = 1;
    UpdatePlaceChoices();
}

void TCsvImportWizard::SelectRow(int row) {
    m_selectedRow = row;
    FillFieldChoices(row);
}

void TCsvImportWizard::FillFieldChoices(int row) {
    std::array<int, kCsvFieldCount> remembered{};
    for (int f = 0; f < kCsvFieldCount; ++f) {
        remembered[static_cast<std::size_t>(f)] = m_choices[static_cast<std::size_t>(f)].Selected;
        m_choices[static_cast<std::size_t>(f)] = TFieldChoice();
    }
    std::vector<std::string>& entries = m_choices[Index(TCsvField::Title)].Entries;
    entries.push_back(NotAssigned());
    for (int n = 1; n <= m_grid.ColumnCount(); ++n) {
        const std::string& cell = m_grid.Cell(n - 1, row);
        const std::string sample = cell.size() > 26 ? store::CutToBytes(cell, 30) + "..." : cell;
        entries.push_back(FieldCaption() + std::to_string(n) + " (" + kQuote + sample + kQuote +
                          ")");
    }
    if (entries.size() == 1) {
        return;
    }
    for (int f = 0; f < kCsvFieldCount; ++f) {
        TFieldChoice& choice = m_choices[static_cast<std::size_t>(f)];
        choice.Entries = entries;
        const int was = remembered[static_cast<std::size_t>(f)];
        if (was < 0) {
            choice.Selected = f == 0 ? 1 : 0;
        } else {
            // A list cannot select an entry it does not have.
            choice.Selected = was < static_cast<int>(entries.size()) ? was : -1;
        }
    }
    UpdatePlaceChoices();
}

void TCsvImportWizard::AssignFieldsFromHeader() {
    std::array<std::string, kCsvFieldCount> headers;
    for (int f = 0; f < kCsvFieldCount; ++f) {
        headers[static_cast<std::size_t>(f)] = CsvHeaderText(static_cast<TCsvField>(f));
    }
    for (int c = 0; c < m_grid.ColumnCount(); ++c) {
        for (int f = 0; f < kCsvFieldCount; ++f) {
            if (m_grid.Cell(c, 1) == headers[static_cast<std::size_t>(f)]) {
                Select(static_cast<TCsvField>(f), c + 1);
            }
        }
    }
    if (m_grid.Cell(0, 1).starts_with('<')) {
        m_ignoreHeader = true;
        m_separator = "\\n";
    }
    UpdatePlaceChoices();
}

void TCsvImportWizard::Select(TCsvField field, int entry) {
    m_choices[Index(field)].Selected = entry;
    if (field == TCsvField::ParentIdentifier) {
        UpdatePlaceChoices();
    }
}

std::vector<std::string> TCsvImportWizard::LabelPreview() const {
    std::vector<std::string> lines;
    if (!Assigned(TCsvField::Labels)) {
        return lines;
    }
    const int column = Choice(TCsvField::Labels).Selected - 1;
    for (const std::string& label : SplitLabels(m_grid.Cell(column, m_selectedRow), m_separator)) {
        lines.push_back(PreviewBullet() + label);
    }
    return lines;
}

void TCsvImportWizard::UpdatePlaceChoices() {
    m_replaceEnabled = Assigned(TCsvField::ParentIdentifier);
    m_workspaceEnabled = m_currentConceptNo != 0 && m_store.GetParentNo(m_currentConceptNo) != 0;
    if (!m_workspaceEnabled && m_place == TImportPlace::Workspace) {
        m_place = TImportPlace::SubConcept;
    }
}

bool TCsvImportWizard::PlaceEnabled(TImportPlace place) const {
    switch (place) {
        case TImportPlace::Workspace:
            return m_workspaceEnabled;
        case TImportPlace::SubConcept:
            return true;
        case TImportPlace::Replace:
            return m_replaceEnabled;
        case TImportPlace::None:
            break;
    }
    return false;
}

void TCsvImportWizard::SetPlace(TImportPlace place) {
    m_place = place;
    UpdatePlaceChoices();
}

int TCsvImportWizard::DataRowCount() const {
    return std::max(0, m_grid.RowCount() - (m_ignoreHeader ? 2 : 1));
}

std::string TCsvImportWizard::FieldValue(TCsvField field, int dataRow) const {
    const int entry = Choice(field).Selected;
    if (entry <= 0) {
        return {};
    }
    return m_grid.Cell(entry - 1, GridRowOf(dataRow));
}

std::vector<std::pair<std::string, int>> TCsvImportWizard::SortedIdentifiers() const {
    std::vector<std::pair<std::string, int>> ids;
    const int rows = DataRowCount();
    ids.reserve(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        ids.emplace_back(FieldValue(TCsvField::Identifier, i), i);
    }
    // Byte order (std::string compares as unsigned char): case-sensitive, exact.
    std::sort(ids.begin(), ids.end());
    return ids;
}

namespace {

// The data row whose identifier is id, or -1.
int FindRow(const std::vector<std::pair<std::string, int>>& sorted, const std::string& id) {
    const auto it = std::lower_bound(sorted.begin(), sorted.end(), id,
                                     [](const std::pair<std::string, int>& entry,
                                        const std::string& key) { return entry.first < key; });
    return it != sorted.end() && it->first == id ? it->second : -1;
}

}  // namespace

TIdentifierCheck TCsvImportWizard::CheckIdentifiers() const {
    TIdentifierCheck check;
    const std::vector<std::pair<std::string, int>> ids = SortedIdentifiers();
    for (std::size_t i = 1; i < ids.size(); ++i) {
        if (ids[i - 1].first == ids[i].first) {
            check.Unique = false;
            return check;
        }
    }
    const int rows = DataRowCount();
    for (int i = 0; i < rows; ++i) {
        if (FindRow(ids, FieldValue(TCsvField::ParentIdentifier, i)) < 0) {
            ++check.TopRows;
        }
    }
    return check;
}

std::optional<int> TCsvImportWizard::FindParentCycle() const {
    const std::vector<std::pair<std::string, int>> ids = SortedIdentifiers();
    const int rows = DataRowCount();
    std::vector<int> parent(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        parent[static_cast<std::size_t>(i)] =
            FindRow(ids, FieldValue(TCsvField::ParentIdentifier, i));
    }
    // Each row has at most one parent row, so a walk up from a row either leaves the rows, meets
    // a walk that did (or one of its own earlier steps: a cycle).
    std::vector<int> walk(static_cast<std::size_t>(rows), 0);
    for (int start = 0; start < rows; ++start) {
        int row = start;
        while (row >= 0 && walk[static_cast<std::size_t>(row)] == 0) {
            walk[static_cast<std::size_t>(row)] = start + 1;
            row = parent[static_cast<std::size_t>(row)];
        }
        if (row >= 0 && walk[static_cast<std::size_t>(row)] == start + 1) {
            return row;
        }
    }
    return std::nullopt;
}

std::optional<std::string> TCsvImportWizard::Validate() const {
    if (m_fileName.empty()) {
        return MessageNoFile();
    }
    if (m_grid.FileRowCount() == 0) {
        return MessageEmptyFile();
    }
    const int title = Choice(TCsvField::Title).Selected;
    if (title <= 0 || title > m_grid.ColumnCount()) {
        return MessageNoTitle();
    }
    const bool hierarchy = Assigned(TCsvField::ParentIdentifier);
    if (hierarchy && !Assigned(TCsvField::Identifier)) {
        return MessageParentWithoutIdentifier();
    }
    const bool replace = m_place == TImportPlace::Replace;
    if (replace && !hierarchy) {
        return MessageReplaceNeedsHierarchy();
    }
    if (!hierarchy) {
        return std::nullopt;
    }
    const TIdentifierCheck check = CheckIdentifiers();
    if (!check.Unique) {
        return MessageIdentifiersNotUnique();
    }
    // Rows linked in a circle would hang under nothing; a replace could lose its top concept.
    if (const std::optional<int> row = FindParentCycle()) {
        return MessageParentCycle(FieldValue(TCsvField::Identifier, *row));
    }
    if (replace && check.TopRows > 1) {
        return MessageSeveralTopRows();
    }
    if (replace && check.TopRows == 0) {
        return MessageNothingToReplace();
    }
    return std::nullopt;
}

std::int32_t TCsvImportWizard::BaseParent() {
    switch (m_place) {
        case TImportPlace::Replace:
            for (TTable* table : {&m_store.DtStOriginalConcepts, &m_store.DtStOriginalNetWork,
                                  &m_store.DtStOriginalTerms, &m_store.DtStOriginalAssociation}) {
                // Record by record, so that the change log (and undo) holds every deletion.
                while (table->FindFirst()) {
                    table->Delete();
                }
            }
            return 0;
        case TImportPlace::Workspace:
            return m_store.GetParentNo(m_currentConceptNo);
        case TImportPlace::SubConcept:
            return m_currentConceptNo;
        case TImportPlace::None:
            break;
    }
    throw store::EVelmoraError("BUG: FormCloseのエラー; in RadioButton");
}

TCsvImportResult TCsvImportWizard::Import(const std::function<void(int, int)>& progress) {
    if (const std::optional<std::string> message = Validate()) {
        throw store::EVelmoraError(*message);
    }
    TCsvImportResult result;
    result.BaseParent = BaseParent();

    TTable& concepts = m_store.DtStOriginalConcepts;
    const std::string author = m_context.UserName();
    const bool withLabels = Assigned(TCsvField::Labels);
    const int rows = DataRowCount();
    result.Concepts.reserve(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        const store::TDateTime now = m_context.Now();
        const std::string editor = FieldValue(TCsvField::Editor, i);
        concepts.Append();
        concepts.FieldByName(store::kFieldTitle).SetAsString(FieldValue(TCsvField::Title, i));
        concepts.FieldByName(store::kFieldDescription)
            .SetAsString(FieldValue(TCsvField::Description, i));
        concepts.FieldByName(store::kFieldComment).SetAsString(FieldValue(TCsvField::Comment, i));
        concepts.FieldByName(store::kFieldParentNo).SetAsInteger(result.BaseParent);
        concepts.FieldByName(store::kFieldIconPosX).SetAsInteger(store::kNotPlaced);
        concepts.FieldByName(store::kFieldIconPosY).SetAsInteger(store::kNotPlaced);
        concepts.FieldByName(store::kFieldDateCreation).SetAsDateTime(now);
        concepts.FieldByName(store::kFieldDateEdition).SetAsDateTime(now);
        concepts.FieldByName(store::kFieldEditor).SetAsString(editor.empty() ? author : editor);
        concepts.FieldByName(store::kFieldListOrder).SetAsInteger(store::kNotOrdered);
        m_store.StampIdentifierOfNewConcept();
        concepts.Post();
        const std::int32_t no = concepts.FieldByName(store::kFieldRecordNo).AsInteger();
        result.Concepts.push_back(no);
        if (withLabels) {
            for (const std::string& label :
                 SplitLabels(FieldValue(TCsvField::Labels, i), m_separator)) {
                bool newTerm = false;
                if (m_store.AddLabelToConcept(no, label, &newTerm)) {
                    ++result.Associations;
                }
                if (newTerm) {
                    ++result.NewLabels;
                }
            }
        }
        if (progress) {
            progress(i + 1, rows);
        }
    }

    result.TopRows = rows;
    if (Assigned(TCsvField::ParentIdentifier)) {
        const std::vector<std::pair<std::string, int>> ids = SortedIdentifiers();
        for (const auto& [id, row] : ids) {
            const int parentRow = FindRow(ids, FieldValue(TCsvField::ParentIdentifier, row));
            if (parentRow < 0) {
                continue;
            }
            const std::int32_t no = result.Concepts[static_cast<std::size_t>(row)];
            if (!concepts.Locate(store::kFieldRecordNo, TValue(no))) {
                throw store::EUnableToFind::CreateConcept(no);
            }
            concepts.Edit();
            concepts.FieldByName(store::kFieldParentNo)
                .SetAsInteger(result.Concepts[static_cast<std::size_t>(parentRow)]);
            concepts.Post();
            --result.TopRows;
        }
    }
    return result;
}

}  // namespace velmora::exchange
