// The CSV import: reading a comma-separated file into a grid of cells, assigning grid columns to
// the seven concept fields, checking the assignment and creating one concept per data row under
// a chosen place, linked into its own hierarchy when the file names identifiers and parents (as
// the CSV export's files do).
//
// TCsvImportWizard is the wizard without its window: it holds everything the pages show and the
// user chooses (grid, field lists with their sample entries, the header box, the label
// separator, the place), recomputes what the pages recompute, validates and imports. A window
// binds its controls to it; velmora-cli drives it from options.
//
// Text: grid cells, field-list entries, separator and labels are code page 932, as the file and
// the tables hold them; the window converts them for display. Messages (validation, questions,
// errors) are UTF-8 program texts. The import takes no save point: the caller takes one before,
// so that undo reverses the whole import. Single-threaded.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data_module.h"
#include "file_system.h"
#include "import_encoding.h"
#include "questions.h"

namespace velmora::exchange {

// The parsed file. Row 0 is the caption row ("フィールド1", "フィールド2", ...); file rows start at
// row 1. An empty grid has 1 column and 2 rows of empty cells.
class TCsvGrid {
public:
    TCsvGrid() { Clear(); }

    void Clear();  // 1 column, 2 rows, all cells empty
    int ColumnCount() const { return m_columns; }
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    // The cell; empty for a cell the row's line did not reach, or outside the grid.
    const std::string& Cell(int column, int row) const;

    // Writes fields into the next file row: the n-th call fills row n.
    void AddRow(std::vector<std::string> fields);
    void WriteCaptions();  // "フィールド" + column number into every cell of row 0
    // The rows the file filled (an empty grid has none, though it shows one empty row).
    int FileRowCount() const { return m_filledRows; }

private:
    int m_columns = 1;
    int m_filledRows = 0;
    std::vector<std::vector<std::string>> m_rows;
};

// Parses comma-separated text into grid rows after those already in it. A quoted value runs to
// the next quote not followed by another (a doubled quote stands for one; commas and line breaks
// inside belong to the value); without a closing quote it runs to the end of the text less its
// last character. An unquoted value runs to the next comma, CR or LF. A comma at the end of a line
// adds no empty field, an empty line adds no row, and "x"y gives the two fields x and y. One pass.
// Returns the 1-based line (counted by LF) of the first quote the dialect cannot close: one still
// open at the end of the text (the line of the opening quote) or a closing quote followed by
// something other than a comma or a line break (the line of that quote); 0 when there is none.
// Such a file is parsed all the same; the caller decides whether to go on.
std::size_t ParseCSVText(std::string_view text, TCsvGrid& grid);

// The text ParseCSVText reads from a file's bytes: its lines (ending at CR, LF or CR LF) joined
// with CR LF after every line.
std::string JoinFileLines(std::string_view bytes);

// Reads a CSV file's bytes. When it cannot be opened, shows MessageCannotOpenFile (error, OK and
// Cancel, the answer does not matter) and rethrows the file system's error.
std::string ReadCSVBytes(store::TFileSystem& fileSystem, const std::string& path,
                         store::TQuestioner& questioner);

// Reads a CSV file for the grid: ReadCSVBytes, then the text in the given encoding (UTF-8
// converted; import_encoding.h). When it holds bytes code page 932 cannot read or a zero byte,
// asks (MessageUnreadableBytes, Yes = go on, No = stop); stopping gives nullopt.
std::optional<std::string> ReadCSVFile(store::TFileSystem& fileSystem, const std::string& path,
                                       store::TQuestioner& questioner,
                                       TImportEncoding encoding = TImportEncoding::Auto);

// The seven concept fields a column can feed, in the order of the wizard's lists.
enum class TCsvField : int {
    Title,
    Description,
    Comment,
    Labels,
    Editor,
    Identifier,
    ParentIdentifier,
};
inline constexpr int kCsvFieldCount = 7;

// The header text of the export for a field ("<タイトル>", ...), code page 932.
std::string CsvHeaderText(TCsvField field);

// The labels of one cell. The separator is as the user typed it: "\n" stands for CR LF and "\t"
// for a tab. An empty separator gives the cell as one label; otherwise empty labels between
// separators are kept, one separator at the end adds none, and an empty cell gives none.
std::vector<std::string> SplitLabels(std::string_view cell, std::string_view separatorText);

// One field list: entry 0 "(なし)" (not assigned), entry n for grid column n - 1.
struct TFieldChoice {
    std::vector<std::string> Entries;
    int Selected = -1;  // -1: nothing selected
};

enum class TImportPlace {
    Workspace,   // beside the current concept: under its parent
    SubConcept,  // under the current concept
    Replace,     // in place of all concepts, mirror images, labels and associations
    None,        // no button checked; the window never leaves it so
};

struct TIdentifierCheck {
    bool Unique = true;
    int TopRows = 0;  // data rows whose parent identifier names no row; meaningless if not unique
};

struct TCsvImportResult {
    std::vector<std::int32_t> Concepts;  // RECORD_NO of the concept of each data row, in order
    std::int32_t BaseParent = 0;         // where rows without a parent row went (0: replace)
    int TopRows = 0;                     // rows placed under the base parent
    int NewLabels = 0;                   // terms records created
    int Associations = 0;                // associations created
};

// Validation messages, in the order the checks run (UTF-8).
std::string MessageNoFile();
std::string MessageNoTitle();
std::string MessageParentWithoutIdentifier();
std::string MessageReplaceNeedsHierarchy();
std::string MessageIdentifiersNotUnique();
std::string MessageSeveralTopRows();
// Parent identifiers that lead back to their own row; identifier is code page 932.
std::string MessageParentCycle(std::string_view identifier);
// A replace with no data row would leave the ontology without a top concept.
std::string MessageNothingToReplace();
// File reading.
std::string MessageCannotOpenFile();
std::string MessageUnreadableBytes(std::size_t line);
// A file without a single row: nothing to import.
std::string MessageEmptyFile();
// The question about a quote the dialect cannot close (Yes = import the rows as parsed).
std::string MessageBrokenQuote(std::size_t line);

class TCsvImportWizard {
public:
    // REQUIRES: store and context (the store's own: author name and clock) outlive the wizard;
    // currentConceptNo names an existing concept (the browse history's current concept), or is
    // 0 when there is none (an empty ontology), which leaves only Replace meaningful.
    TCsvImportWizard(store::TDataModule1& store, const store::TStoreContext& context,
                     std::int32_t currentConceptNo);

    // Page 1. LoadText takes a file's text (ReadCSVFile) and its name: empties and fills the grid,
    // starts the field assignment, header box and separator afresh (nothing of a file loaded
    // before carries over), fills the field lists from row 1 when the grid holds anything,
    // recognises the header and updates the place choices; it returns the line of a broken
    // quote (ParseCSVText), 0 for none. ClearFile is the cancelled file dialog: no file, empty
    // grid and lists.
    std::size_t LoadText(std::string_view text, const std::string& fileName);
    void ClearFile();

    // The file's bytes as read (ReadCSVBytes), loaded in the given encoding (Auto: decided from
    // the bytes). Asks MessageUnreadableBytes for bytes code page 932 cannot read and then
    // MessageBrokenQuote (warning, Yes/No) for a quote the dialect cannot close; No to either
    // stops and leaves the wizard as it was: false. The bytes are kept, so that SetEncoding can
    // read them again in the encoding the user picks.
    bool LoadBytes(std::string bytes, const std::string& fileName, TImportEncoding encoding,
                   store::TQuestioner& questioner);
    bool SetEncoding(TImportEncoding encoding, store::TQuestioner& questioner);
    // The encoding the page offers as chosen (Auto until the user picks one) and the one the
    // loaded file was read in, with the count of characters that became "?".
    TImportEncoding EncodingChoice() const { return m_encodingChoice; }
    TImportEncoding Encoding() const { return m_encoding; }
    int ReplacedCharacters() const { return m_replaced; }
    // The line of the broken quote of the loaded file (0: none); set before the question.
    std::size_t BrokenQuoteLine() const { return m_brokenQuoteLine; }
    const std::string& FileName() const { return m_fileName; }
    const TCsvGrid& Grid() const { return m_grid; }
    // Clicking a grid row: it becomes the selected row and gives the lists their samples.
    void SelectRow(int row);
    int SelectedRow() const { return m_selectedRow; }
    bool IgnoreHeader() const { return m_ignoreHeader; }
    void SetIgnoreHeader(bool on) { m_ignoreHeader = on; }

    // Page 2.
    void FillFieldChoices(int row);
    void AssignFieldsFromHeader();
    const TFieldChoice& Choice(TCsvField field) const { return m_choices[Index(field)]; }
    // Selecting an entry (for the parent identifier, the place choices follow).
    void Select(TCsvField field, int entry);
    bool Assigned(TCsvField field) const { return Choice(field).Selected > 0; }
    const std::string& Separator() const { return m_separator; }
    void SetSeparator(std::string text) { m_separator = std::move(text); }
    // The label preview of the selected row: one line per label, each after "・".
    std::vector<std::string> LabelPreview() const;

    // Page 3.
    void UpdatePlaceChoices();
    bool PlaceEnabled(TImportPlace place) const;
    TImportPlace Place() const { return m_place; }
    // A disabled Workspace cannot stay checked: SubConcept is checked instead, as on the page.
    void SetPlace(TImportPlace place);

    // Data rows and their values.
    int DataRowCount() const;
    std::string FieldValue(TCsvField field, int dataRow) const;
    TIdentifierCheck CheckIdentifiers() const;
    // A data row on a cycle of parent identifiers (the first met walking up from the rows in
    // file order), or nullopt. Meaningful with unique identifiers.
    std::optional<int> FindParentCycle() const;

    // The first failing check's message, or nullopt when the import may run.
    std::optional<std::string> Validate() const;
    // Creates the concepts. Validates first and raises EVelmoraError with the message when a
    // check fails, before anything is written. progress, when set, is called after each data
    // row with the rows done and their total; what it raises stops the import where it is.
    TCsvImportResult Import(const std::function<void(int done, int total)>& progress = {});

private:
    static constexpr std::size_t Index(TCsvField field) { return static_cast<std::size_t>(field); }
    int GridRowOf(int dataRow) const { return dataRow + (m_ignoreHeader ? 2 : 1); }
    // Sorted (identifier, data row) pairs.
    std::vector<std::pair<std::string, int>> SortedIdentifiers() const;
    std::int32_t BaseParent();

    store::TDataModule1& m_store;
    const store::TStoreContext& m_context;
    std::int32_t m_currentConceptNo;
    std::string m_fileName;
    std::string m_bytes;
    TImportEncoding m_encodingChoice = TImportEncoding::Auto;
    TImportEncoding m_encoding = TImportEncoding::Cp932;
    int m_replaced = 0;
    std::size_t m_brokenQuoteLine = 0;
    TCsvGrid m_grid;
    int m_selectedRow = 1;
    bool m_ignoreHeader = false;
    std::array<TFieldChoice, kCsvFieldCount> m_choices;
    std::string m_separator;
    TImportPlace m_place = TImportPlace::Workspace;
    bool m_workspaceEnabled = false;
    bool m_replaceEnabled = false;
};

}  // namespace velmora::exchange
