// TDataModuleExport: writes concepts together with everything below them into a comma-separated
// file that a spreadsheet opens and the CSV import reads back with its hierarchy. Seven quoted
// columns (title, description, comment, language labels, editor, identifier, parent identifier)
// under a header line, code page 932, CR LF after every line.
//
// The walk goes depth first in the seek service's children order, each concept before its
// children; a mirror image leads to the concept it shows, and a concept met again (through a
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
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
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

// The concept lines of one export, each with its own copy of the item written on it. The lines
// are kept one after the other in the file's own text, so that the file needs no second copy.
class TExportLines {
public:
    void Add(std::string_view line, const TConceptData& item);
    // Whether a line for this concept number is there already.
    bool Contains(std::int32_t conceptNo) const;

    int Count() const { return static_cast<int>(m_items.size()); }
    // REQUIRES (both): 0 <= index < Count(). The view is valid until the next Add.
    std::string_view Line(int index) const;
    const TConceptData& Item(int index) const { return m_items[index]; }

    // The whole file: the header, then every line, each followed by CR LF.
    std::string FileText() const;
    // The lines alone, each followed by CR LF.
    std::string_view Text() const { return m_text; }

private:
    friend class TDataModuleExport;
    // Adds the line that build appends to the text (without its break).
    template <class TBuild>
    void AddBuilt(const TConceptData& item, TBuild&& build);

    std::string m_text;               // every line followed by CR LF
    std::vector<std::size_t> m_ends;  // where each line's break begins
    std::deque<TConceptData> m_items;
    // Concept numbers written: a bitmap for the usual small numbers, a set for the rest.
    std::vector<bool> m_writtenBits;
    std::unordered_set<std::int32_t> m_writtenOthers;
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
    ~TDataModuleExport();
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
    //
    // The first call after OpenExportCursors reads the four tables once, front to back, into
    // a snapshot: asking the tables record by record costs several index searches per concept,
    // too slow for a million. A level numbered exactly 1..n is taken from the snapshot in that
    // order, which is the seeker's order for such a level; any other level (items not placed
    // yet, gaps, repeats) is asked of the seeker, so the order is always the seeker's.
    void AppendSubtree(const TConceptData& c, TExportLines& lines, bool top);
    // The line of c's concept without its line break. EUnableToFind when it is not there.
    std::string MakeCSVLine(const TConceptData& c, bool top);
    void AppendCSVLine(std::string& out, const TConceptData& c, bool top);

    // Where the file is written; the machine's file system unless set.
    void SetFileSystem(store::TFileSystem& fileSystem) { m_fileSystem = &fileSystem; }
    // Called after each line with the lines built so far and the number of concepts in the
    // table (a bound: a subtree holds fewer). What it raises stops the export before the file
    // is written.
    void SetProgress(std::function<void(int lines, int concepts)> progress) {
        m_progress = std::move(progress);
    }

    // The cursors, named as the components they stand for.
    store::TCursor DsMainConcept;
    store::TCursor DsParentConcept;
    store::TCursor DsAssociations;
    store::TCursor DsTerm;

private:
    struct TSnapshot;

    void SaveFile(const std::string& path, std::initializer_list<std::string_view> parts);
    TSnapshot& Snapshot();
    void AppendSnapshotLine(std::string& out, std::size_t row, bool top);

    store::TDataModule1& m_store;
    engine::TDataModuleSeeker& m_seeker;
    store::TFileSystem* m_fileSystem;
    std::unique_ptr<TSnapshot> m_snapshot;
    std::function<void(int, int)> m_progress;
    // Field positions of the cursors, looked up once per opening.
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
