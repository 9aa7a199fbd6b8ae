// The Word export: the whole ontology as one word-processing document (.docx), written through
// the export object model. The document holds a title page with the metadata, a table of
// contents, and for the top concept and every concept with subconcepts a section of its own: its
// path as a heading, a tree diagram of its parent, itself, its kids and their kids with page
// references, and below it, in two columns, framed titles with the details of the concept and
// of each of its kids.
//
// Page numbers, page references and the table of contents are fields; the word processor fills
// them in when it updates the document (Word does so when it opens the file). Every concept has
// a bookmark "BM" + RECORD_NO at the place that describes it best: its section heading, else
// its last details block, else the title of the title page; so every page reference resolves.
//
// Texts read from the model are code page 932; texts of the program and ConceptPath are UTF-8.
// Single-threaded; the tables must not change while an export runs.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "docx_document.h"
#include "export_model.h"

namespace velmora::store {
class TDataModule1;
class TOntology;
}  // namespace velmora::store

namespace velmora::exchange {

// Called after each concept section with the sections written so far and their total.
using TWordExportProgress = std::function<void(int done, int total)>;

inline constexpr std::string_view kWordExportVersionLine = "Velmora ver 1.40.";

class TExportWord {
public:
    // dateUtf8 is the date shown on the title page.
    TExportWord(VelmoraOntology::TOntology& model, docx::TDocumentBuilder& document,
                std::string dateUtf8);
    TExportWord(const TExportWord&) = delete;
    TExportWord& operator=(const TExportWord&) = delete;

    // The whole document: front matter, then the concept sections. EDataNotFound passes on.
    void Run(const TWordExportProgress& progress = {});

    // The top concept's title; below it "→" + title for each concept from the top concept's
    // child down to this one. UTF-8.
    static std::string ConceptPath(const VelmoraOntology::TConcept& item);
    static std::string BookmarkName(const VelmoraOntology::TConcept& item);

private:
    struct TSectionPlan {
        VelmoraOntology::TConcept* subject;
        std::vector<VelmoraOntology::TConcept*> details;
    };

    void Plan();
    void WriteFrontMatter();
    void WriteConceptSections(const TWordExportProgress& progress);
    void WriteConceptSection(const TSectionPlan& section);
    void WriteTree(VelmoraOntology::TConcept& item);
    void WriteChildLine(std::string_view mark, VelmoraOntology::TConcept& kid);
    void WriteGrandchildLines(std::string_view prefix, VelmoraOntology::TConcept& kid,
                              bool lastKid);
    void WriteDetails(VelmoraOntology::TConcept& item);
    void WriteLabeledParagraph(std::string_view label, std::string_view value, bool ownParagraph);
    void WritePageReference(const VelmoraOntology::TConcept& target);

    // The concept's child concepts and the concepts shown by its subconcept mirror images,
    // together in LIST_ORDER.
    void CollectKids(VelmoraOntology::TConcept& item, VelmoraOntology::TConceptList& kids);
    bool IsSubconceptLink(const VelmoraOntology::TLink& link);

    // Paragraph and section steps that behave like a word processor's: a new paragraph takes
    // the alignment, indent, line spacing and size of the one before it.
    void AddParagraph();
    void AddSection(const docx::TSectionProperties& next);
    void SetAlignment(docx::TAlignment alignment);
    void SetFirstLineIndent(double points);
    void SetLineAtLeast(double points);
    void StepFontSize(int points);
    docx::TRunProperties Head() const;
    docx::TRunProperties Body() const;
    int RunHalfPoints() const;

    VelmoraOntology::TOntology& m_model;
    docx::TDocumentBuilder& m_document;
    std::string m_date;
    docx::TParagraphProperties m_inherited;
    int m_halfPoints = docx::kDefaultHalfPoints;
    bool m_frameLabels = false;

    std::vector<TSectionPlan> m_sections;
    std::unordered_set<std::int32_t> m_hasSection;
    // Details blocks still to come for concepts without a section; the bookmark goes to the last.
    std::unordered_map<std::int32_t, int> m_detailsLeft;
};

// Today's date as the title page shows it: YYYY/MM/DD in local time.
std::string ShortDate(std::time_t when);

// Writes the ontology of store as a .docx file at path, replacing it once complete. dateUtf8
// empty: today's date.
void ExportWordFile(store::TDataModule1& store, const store::TOntology& ontologyMetadata,
                    const std::string& path, const TWordExportProgress& progress = {},
                    std::string dateUtf8 = {});

// The note shown before the export to a file: what the document holds and how its fields get
// their values. UTF-8, lines separated by LF.
std::string WordExportNotes();

}  // namespace velmora::exchange
