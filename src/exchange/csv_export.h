// TDataModuleExport: writes concepts together with everything below them into a comma-separated
// file that a spreadsheet opens and the CSV import reads back with its hierarchy. Seven quoted
// columns (title, description, comment, language labels, editor, identifier, parent identifier)
// under a header line, code page 932, CR LF after every line.
//
// The walk goes depth first through the seek service's children answers, each concept before
// its children; a mirror image leads to the concept it shows, and a concept met again (through a
// mirror image, or because an ancestor and a descendant were both chosen) is written only at
// its first place. The export only reads the tables. The file is written whole beside its
// target and put in place at the end, so a failed export leaves no half-written file behind.
//
// The desktop program's command shows the confirmation (ExportConfirmationText), proposes a file
// name (DefaultExportFileName) and runs ExportCSV; the command-line tool runs the same ExportCSV
// with fixed answers. Program texts are UTF-8, table text and the file are code page 932.
// One export object per command; it borrows the store and the seeker. Single-threaded.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "concept_data.h"
#include "data_module.h"
#include "file_system.h"
#include "ontology.h"
#include "questions.h"
#include "seeker.h"
#include "table.h"

namespace velmora::exchange {

using store::TConceptData;
using store::TConceptList;

// The save dialog's file-type choices and default extension.
inline constexpr std::string_view kCsvFilter =
    "CSVファイル (*.csv)|*.csv|すべてのファイル (*.*)|*.*";
inline constexpr std::string_view kCsvDefaultExt = "csv";

// The question asked before exporting: the first entry's title, and for several entries how
// many there are. UTF-8. REQUIRES: items is not empty.
std::string ExportConfirmationText(const TConceptList& items);

// The name the save dialog proposes: the dialog's own name if it holds one, else the
// ontology's file name, each with its extension changed to ".csv"; else the ontology's title
// + ".csv". A file-system path (UTF-8).
std::string DefaultExportFileName(const std::string& dialogFileName,
                                  const store::TOntology& ontology);

// Extension of the last path component replaced by (or, without one, extended with) ext,
// which includes its dot.
std::string ChangeFileExt(const std::string& path, std::string_view ext);

// One field as the file carries it: in double quotes, inner double quotes doubled, nothing
// else escaped. Safe on code page 932 bytes: 0x22 is never the trail byte of a character.
void AppendQuoted(std::string& out, std::string_view value);
std::string Quoted(std::string_view value);

// The first line of the file without its line break: the seven column titles, quoted.
const std::string& CsvHeaderLine();

// The concept lines of one export, each with its own copy of the item written on it.
class TExportLines {
public:
    void Add(std::string line, const TConceptData& item);
    // Whether a line for this concept number is there already.
    bool Contains(std::int32_t conceptNo) const { return m_written.contains(conceptNo); }

    int Count() const { return static_cast<int>(m_lines.size()); }
    // REQUIRES (both): 0 <= index < Count().
    const std::string& Line(int index) const { return m_lines[index]; }
    const TConceptData& Item(int index) const { return m_items[index]; }

    // The whole file: the header, then every line, each followed by CR LF.
    std::string FileText() const;

private:
    std::vector<std::string> m_lines;
    std::vector<TConceptData> m_items;
    std::unordered_set<std::int32_t> m_written;
};

// What the export asks of whoever runs it: the confirmation (the questioner; it goes on only
// on Ok) and the file to write, chosen from the proposed name (nullopt cancels).
struct TSaveFileRequest {
    std::string FileName;  // proposed, UTF-8
    std::string_view DefaultExt = kCsvDefaultExt;
    std::string_view Filter = kCsvFilter;
};
using TChooseSaveFile = std::function<std::optional<std::string>(const TSaveFileRequest&)>;

class TDataModuleExport {
public:
    // REQUIRES: store and seeker outlive the export; the store's tables are open.
    TDataModuleExport(store::TDataModule1& store, engine::TDataModuleSeeker& seeker);
    TDataModuleExport(const TDataModuleExport&) = delete;
    TDataModuleExport& operator=(const TDataModuleExport&) = delete;

    // The whole command: confirmation, file choice, walk, file. Returns the number of concept
    // lines written, or nullopt when the user cancelled (nothing happens then). An empty list
    // does nothing and gives 0. EUnableToFind for a concept that is not in the table, and the
    // file layer's error when the file cannot be written; no file is written in either case.
    // dialogFileName is the save dialog's current name ("" for a fresh dialog).
    std::optional<int> ExportCSV(const TConceptList& items, const store::TOntology& ontology,
                                 store::TQuestioner& questioner, const TChooseSaveFile& choose,
                                 const std::string& dialogFileName = "");

    // The walk and the file without asking anything: the lines of items' subtrees, in order,
    // written to path (replacing it). Returns the number of concept lines.
    int WriteCSV(const TConceptList& items, const std::string& path);

    // Clones the four cursors from the store's current tables and links them.
    void OpenExportCursors();

    // Appends the line of c and of everything below it, unless c's concept has a line already;
    // top marks an entry the user chose, whose parent column says "(NULL)". Depth first
    // without recursion, so that a deep hierarchy cannot exhaust the stack.
    void AppendSubtree(const TConceptData& c, TExportLines& lines, bool top);

    // The line of c's concept without its line break. EUnableToFind when it is not there.
    std::string MakeCSVLine(const TConceptData& c, bool top);
    void AppendCSVLine(std::string& out, const TConceptData& c, bool top);

    // Where the file is written; the machine's file system unless set.
    void SetFileSystem(store::TFileSystem& fileSystem) { m_fileSystem = &fileSystem; }

    // The cursors, named as the components they stand for.
    store::TCursor DsMainConcept;
    store::TCursor DsParentConcept;
    store::TCursor DsAssociations;
    store::TCursor DsTerm;

private:
    void SaveFile(const std::string& path, const std::string& bytes);

    store::TDataModule1& m_store;
    engine::TDataModuleSeeker& m_seeker;
    store::TFileSystem* m_fileSystem;
    // Field positions of the concept cursor, looked up once per opening.
    int m_title = -1;
    int m_description = -1;
    int m_comment = -1;
    int m_editor = -1;
    int m_identifier = -1;
    int m_parentNo = -1;
    int m_termString = -1;
    int m_parentIdentifier = -1;
};

}  // namespace velmora::exchange
