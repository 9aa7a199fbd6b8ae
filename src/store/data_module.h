// TDataModule1: the store. It owns the five tables of the open ontology and offers the
// record-level operations the rest of the program builds on: creating the tables of a new
// ontology, adding concepts with their language labels, naming new concepts, stamping
// identifiers, resolving parents, adding mirror images, deleting concepts with everything that
// hangs on them, renaming labels and merging concepts.
//
// The operations take no save points; the command that calls them does, so that undo reverses
// a whole command. They are not atomic: on a failure, records changed before it stay changed.
// Failures are EVelmoraError with the program's fixed texts (UTF-8), the record number appended.
//
// The store reads the user name, the default texts of new concepts and the time through a
// TStoreContext it is given. Later layers (the seek service, the concept editor) receive the
// tables through listeners registered with AddAttachListener, called after every new ontology
// and every load. Table text is code page 932. Single-threaded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "concept_data.h"
#include "date_time.h"
#include "file_system.h"
#include "questions.h"
#include "table.h"

namespace velmora::store {

class TOntology;

// What the store takes from elsewhere. Texts are code page 932.
class TStoreContext {
public:
    virtual ~TStoreContext() = default;
    // The user name of the settings, written into EDITOR.
    virtual std::string UserName() const = 0;
    // DESCRIPTION and COMMENT of a new concept: the open ontology's defaults.
    virtual std::string ConceptDescrDefault() const = 0;
    virtual std::string ConceptCommentDefault() const = 0;
    virtual TDateTime Now() const = 0;
};

// The store's context as the program gives it: a user name, the default texts of new concepts
// (those of the open ontology once one is set, else plain values) and the machine's local time
// unless a clock is set (tests).
class TSimpleStoreContext : public TStoreContext {
public:
    TSimpleStoreContext();

    std::string UserName() const override { return m_userName; }
    std::string ConceptDescrDefault() const override;
    std::string ConceptCommentDefault() const override;
    TDateTime Now() const override { return m_clock ? m_clock() : TDateTime::Now(); }

    void SetUserName(std::string name) { m_userName = std::move(name); }
    void SetConceptDescrDefault(std::string text) { m_descrDefault = std::move(text); }
    void SetConceptCommentDefault(std::string text) { m_commentDefault = std::move(text); }
    // REQUIRES: ontology outlives the context or is replaced first; null goes back to the
    // plain values.
    void SetOntology(const TOntology* ontology) { m_ontology = ontology; }
    void SetClock(std::function<TDateTime()> clock) { m_clock = std::move(clock); }

private:
    std::string m_userName;  // "無記名" until set
    std::string m_descrDefault;
    std::string m_commentDefault;
    const TOntology* m_ontology = nullptr;
    std::function<TDateTime()> m_clock;
};

class TDataModule1 {
public:
    using TAttachListener = std::function<void(TDataModule1&)>;

    // REQUIRES: context outlives the store.
    explicit TDataModule1(const TStoreContext& context);
    TDataModule1(const TDataModule1&) = delete;
    TDataModule1& operator=(const TDataModule1&) = delete;

    TTable DtStOriginalConcepts;
    TTable DtStOriginalLinkType;
    TTable DtStOriginalNetWork;
    TTable DtStOriginalTerms;
    TTable DtStOriginalAssociation;

    // The five tables in file order: concepts, link types, network, terms, associations.
    std::span<TTable* const> Tables() { return m_tables; }

    // Life cycle.
    void CreateTables();  // empty tables plus the ten default link types, then AttachTables
    void AttachTables();  // concept table to its first record, then every listener
    void CloseTables();
    void AddAttachListener(TAttachListener listener);

    // The wizard's new ontology: CreateTables, the top concept titled target with target as its
    // language label, then one child of it per non-empty sub-category, in order, each with its
    // own label. Returns the top concept's number.
    std::int32_t BuildNewOntology(const std::string& target,
                                  std::span<const std::string> subCategories);

    // The ontology file. Load reads ontology.FileName() into ontology and the five tables, all
    // or nothing: on any error the tables and the metadata stay as they were. Save writes the
    // file whole to a temporary file beside it and puts it in place only when it is complete;
    // the previous version stays under its name until then and afterwards under the backup
    // name. Only a save that succeeded merges the change logs and clears the undo stack and
    // both flags. Without overwrite an existing file is replaced only when the questioner
    // answers Yes; the result is false when it did not.
    // A save goes ahead when the backup cannot be made (a folder in its place, a name too
    // long): LastBackupProblem then says why no previous version was kept; empty otherwise.
    void LoadOntologyFile(TOntology& ontology);
    bool SaveOntologyFile(TOntology& ontology, bool overwrite);
    void WriteOntologyFile(TOntology& ontology, const std::string& name);
    const std::string& LastBackupProblem() const { return m_lastBackupProblem; }
    // The ontology file's contents (magic, directory, metadata, five packets), for files that
    // hold one after a header of their own (recovery copies). LoadOntologyImage reads it from
    // the file's position, `remaining` bytes long, checked and all or nothing as
    // LoadOntologyFile; WriteOntologyImage writes it at the position `offset` of the file,
    // leaving the change logs and both flags as they are.
    // REQUIRES (write): no pending edit on the five tables.
    void LoadOntologyImage(TOntology& ontology, TFile& file, std::int64_t remaining);
    void WriteOntologyImage(const TOntology& ontology, TFileReplacement& file, std::int64_t offset);
    // REQUIRES (both): the object outlives the store or is replaced first.
    void SetFileSystem(TFileSystem& fileSystem) { m_fileSystem = &fileSystem; }
    void SetQuestioner(TQuestioner& questioner) { m_questioner = &questioner; }

    // Undo: one step over the five tables. TakeSavePoint reads each table's change-log position
    // (which completes a pending edit of that table) and keeps current as the item to show
    // again; RollBackTo takes the five tables back to those positions, newest change first.
    std::unique_ptr<TSavePoint> TakeSavePoint(const TConceptData& current);
    void RollBackTo(const TSavePoint& point);
    // Makes the tables' present state their base, emptying the change logs (as a save does);
    // only right while no save point refers to them, e.g. on freshly built tables.
    void MergeChangeLogs();

    // Concepts.
    std::int32_t AppendConcept(const std::string& title, std::int32_t parentNo,
                               const std::string& termString);
    std::unique_ptr<TConceptData> AddNewConcept(const TConceptData& parent);
    // Sets IDENTIFIER of the concept table's current record from its RECORD_NO and TITLE.
    void StampIdentifier();
    // The same for a concept being appended, before its Post: the number it will get is the
    // table's next automatic number. One Post then makes the whole record.
    void StampIdentifierOfNewConcept();
    // The concept under which item is shown, or null for the top concept.
    std::unique_ptr<TConceptData> GetParentConcept(const TConceptData& item);
    std::int32_t GetParentNo(std::int32_t conceptNo);  // EUnableToFind when missing
    std::int32_t GetLinkTarget(std::int32_t linkNo);   // EUnableToFind when missing
    // Makes item's record current in its table (network by LinkNo, concepts by ConceptNo).
    bool LocateItem(const TConceptData& item);
    // Writes item.IconPos into its record (a mirror image's network record, a concept's own);
    // a record gone meanwhile, or one holding that place already, is left alone.
    void StoreIconPosition(const TConceptData& item);

    // Mirror images: a new image of item's concept, placed under that concept's own parent.
    std::int32_t AppendMirrorImage(const TConceptData& item, std::int32_t linkCode);

    // Deletion.
    void DeleteItem(const TConceptData& item);
    void DeleteLink(std::int32_t linkNo);
    void DeleteConceptTree(std::int32_t conceptNo);
    void DeleteConceptRecord(std::int32_t conceptNo);
    void DeleteAssociation(std::int32_t assocNo);

    // Language labels. A label is always compared as TERM_STRING stores it (LabelAsStored:
    // whole characters of at most 20 bytes, no trailing spaces), so that a long label, or one
    // with trailing spaces, finds the term it was stored as instead of adding another one.
    static constexpr std::size_t kTermStringWidth = 20;
    static std::string LabelAsStored(std::string_view text);
    // The first terms record (in table order) that holds text as stored, or 0 when none does.
    // A record that holds the text cut at exactly 20 bytes inside a character, as older files
    // do, counts as well.
    std::int32_t FindLabel(std::string_view text);
    // The one lookup every import, rename and merge goes through: FindLabel, or a new terms
    // record when there is none; added (when given) says which.
    std::int32_t FindOrAddLabel(const std::string& text, bool* added = nullptr);
    // Gives the concept the label unless it carries that text already; returns whether an
    // association was added.
    bool AddLabelToConcept(std::int32_t conceptNo, const std::string& text,
                           bool* newTerm = nullptr);
    void AddTermToConcept(std::int32_t conceptNo, const std::string& text);
    int CountTermUse(std::int32_t termNo);
    void ReplaceConceptTerm(std::int32_t conceptNo, const std::string& oldText,
                            const std::string& newText);
    // Joins terms records of equal TERM_STRING into the first of them: their associations move
    // to it (one that would repeat a label of its concept is deleted) and the other records go.
    // Returns the number of terms records removed.
    int MergeDuplicateLabels();

    // Turns the concepts of items (in order; at least one) into one new concept beside the
    // first, which takes over their texts, children, mirror images and labels; the old
    // concepts are deleted. When result is given it is filled with the new concept as an item.
    void MergeConcepts(const TConceptList& items, TConceptData* result);

private:
    bool LocateConcept(std::int32_t no);
    void AppendAssociation(std::int32_t conceptNo, std::int32_t termNo);
    // The RECORD_NO of the concept's association whose label holds storedText, or 0.
    std::int32_t FindConceptLabel(std::int32_t conceptNo, std::string_view storedText);

    const TStoreContext& m_context;
    TFileSystem* m_fileSystem;
    std::string m_lastBackupProblem;
    TQuestioner* m_questioner;
    TTable* const m_tables[5];
    std::vector<TAttachListener> m_attachListeners;
    // Private cursors for counting and collecting labels through the indexes.
    TCursor m_assocOfConcept;
    TCursor m_assocOfTerm;
};

// The fields of the new-ontology wizard, filled in (code page 932).
struct TWizardFields {
    std::string Target;
    std::string Title;
    std::string Community;
    std::string Description;
    std::string Creator;
    std::vector<std::string> SubCategories;  // at most seven; empty ones are skipped
};

// The wizard's new ontology, for the desktop program and velmora-cli alike: Target, Title,
// Community, Description, Creator and CreatedDay (the time of day of `now`, hh:mm:ss) in that
// order, the undo flag cleared and the modified flag set, then BuildNewOntology. The change
// logs are merged at once: no save point refers to freshly built tables, and the tables then
// stand as after a load. Returns the top concept's number.
std::int32_t BuildWizardOntology(TDataModule1& store, TOntology& ontology,
                                 const TWizardFields& fields, TDateTime now);

}  // namespace velmora::store
