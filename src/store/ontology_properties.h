// The logic behind the ontology properties dialog, without a window: the metadata fields it
// edits with their check and write-back, the link types it lists, adds, edits and deletes, and
// the lines of its information page. The dialog (src/app) only shows what these give.
//
// Texts are code page 932 like the tables and the metadata; messages are UTF-8 program texts.
// Link-type changes act on the store at once, each after the save point the caller's
// takeSavePoint takes, so that undo reverses exactly one change. Single-threaded.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data_module.h"
#include "date_time.h"
#include "ontology.h"
#include "ontology_tables.h"

namespace velmora::store {

// --- Metadata

// The metadata fields of the properties dialog (code page 932; multi-line values with CR LF).
struct TOntologyMetadata {
    std::string Title;
    std::string Target;
    std::string Creator;
    std::string Description;
    std::string Community;
    std::string ConceptDescrDefault;
    std::string ConceptCommentDefault;
};

TOntologyMetadata ReadOntologyMetadata(const TOntology& ontology);
// Writes every field in the dialog's order — Title first, so the caption follows at once — and
// sets the modified flag.
void WriteOntologyMetadata(TOntology& ontology, const TOntologyMetadata& metadata);

// The required fields, in the order they are checked.
enum class TMetadataField : std::uint8_t { Title, Target, Community };

struct TMetadataProblem {
    TMetadataField Field;
    std::string_view Message;  // UTF-8
};

// The first required field that is empty, or nothing when all are filled. Only an empty text
// counts as missing: a community of one line break is filled.
std::optional<TMetadataProblem> CheckOntologyMetadata(const TOntologyMetadata& metadata);

// --- Link types

// Codes up to this one are the default link types every ontology has; they are never deleted.
inline constexpr std::int32_t kLastDefaultLinkCode = 10;

inline bool IsUserDefinedLinkCode(std::int32_t code) {
    return code > kLastDefaultLinkCode;
}

enum class TLinkTypeDeletion : std::uint8_t {
    Deleted,
    InUse,        // a mirror image carries the code; nothing changed
    Missing,      // no link type has the code (any more); nothing changed
    DefaultType,  // a default link type; nothing changed
};

// The link-type table as the properties dialog changes it.
class TOntologyLinkTypes {
public:
    // REQUIRES: store outlives this object; takeSavePoint records one undo step.
    TOntologyLinkTypes(TDataModule1& store, std::function<void()> takeSavePoint);

    // Every link type in table order.
    std::vector<TLinkTypeRow> Rows();
    std::optional<TLinkTypeRow> Find(std::int32_t code);
    // The smallest code from 1 up that no link type has: codes of deleted types come back.
    std::int32_t SmallestFreeCode();
    // Whether any mirror image carries the code.
    bool IsUsed(std::int32_t code);

    // A save point, then a new link type with the smallest free code; returns that code.
    std::int32_t Add(const std::string& title, const std::string& comment);
    // A save point, then the type's label and comment written; false (no save point, nothing
    // written) when no link type has the code.
    bool Edit(std::int32_t code, const std::string& title, const std::string& comment);
    // A save point, then the type deleted, unless the result says why not.
    TLinkTypeDeletion Delete(std::int32_t code);

private:
    bool LocateCode(std::int32_t code);

    TDataModule1& m_store;
    std::function<void()> m_takeSavePoint;
};

// --- Information page

// The concept edited last: the latest DATE_EDITION, scanning the concept table by ascending
// record number; on a tie the first such record wins. Found is false for an empty table.
struct TLatestEdit {
    bool Found = false;
    std::int32_t ConceptNo = 0;
    std::string Editor;  // code page 932
    TDateTime When;
};
TLatestEdit FindLatestEdit(TDataModule1& store);

// The fourteen lines of the information page (code page 932): title, record counts, creator,
// creation time, last editor and last edit time. dateTimeText gives the text of a moment
// (code page 932), in the user's formats; the last edit time is empty without concepts.
std::vector<std::string> OntologyInformationLines(
    TDataModule1& store, const TOntology& ontology,
    const std::function<std::string(TDateTime)>& dateTimeText);

}  // namespace velmora::store
