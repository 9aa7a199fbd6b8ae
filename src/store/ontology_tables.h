// The layout of the five tables that hold one ontology: concepts, link types (the relations a
// mirror image can carry), the network of mirror images, language labels and the associations
// between concepts and labels. Fields are listed in the order they take in a file; other units
// name tables and fields through the constants here rather than through literals of their own.
//
// Also the ten link types a new ontology starts with. Table text is code page 932, so they are
// kept as UTF-8 source text and converted when they are handed out.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "table.h"

namespace velmora::store {

inline constexpr std::string_view kDtStOriginalConcepts = "DtStOriginalConcepts";
inline constexpr std::string_view kDtStOriginalLinkType = "DtStOriginalLinkType";
inline constexpr std::string_view kDtStOriginalNetWork = "DtStOriginalNetWork";
inline constexpr std::string_view kDtStOriginalTerms = "DtStOriginalTerms";
inline constexpr std::string_view kDtStOriginalAssociation = "DtStOriginalAssociation";

// Field names. One name may serve several tables (RECORD_NO, LIST_ORDER, COMMENT, ...).
inline constexpr std::string_view kFieldRecordNo = "RECORD_NO";
inline constexpr std::string_view kFieldTitle = "TITLE";
inline constexpr std::string_view kFieldIdentifier = "IDENTIFIER";
inline constexpr std::string_view kFieldDescription = "DESCRIPTION";
inline constexpr std::string_view kFieldComment = "COMMENT";
inline constexpr std::string_view kFieldParentNo = "PARENT_NO";
inline constexpr std::string_view kFieldListOrder = "LIST_ORDER";
inline constexpr std::string_view kFieldIconPosX = "ICON_POS_X";
inline constexpr std::string_view kFieldIconPosY = "ICON_POS_Y";
inline constexpr std::string_view kFieldDateCreation = "DATE_CREATION";
inline constexpr std::string_view kFieldDateEdition = "DATE_EDITION";
inline constexpr std::string_view kFieldEditor = "EDITOR";
inline constexpr std::string_view kFieldLinkCode = "LINK_CODE";
inline constexpr std::string_view kFieldLinkTitle = "LINK_TITLE";
inline constexpr std::string_view kFieldRecordNoFrom = "RECORD_NO_FROM";
inline constexpr std::string_view kFieldRecordNoTo = "RECORD_NO_TO";
inline constexpr std::string_view kFieldTermNo = "TERM_NO";
inline constexpr std::string_view kFieldTermString = "TERM_STRING";
inline constexpr std::string_view kFieldTermYomigana = "TERM_YOMIGANA";
inline constexpr std::string_view kFieldConceptNo = "CONCEPT_NO";

// The concept table's order, fixed when the table is declared: by ascending concept number.
inline constexpr std::string_view kConceptsDefaultIndex = kFieldRecordNo;

// LIST_ORDER of an item not numbered in its level yet: it follows every numbered sibling.
inline constexpr std::int32_t kNotOrdered = 10000;
// ICON_POS_X and ICON_POS_Y of an item not placed in a workspace yet.
inline constexpr std::int32_t kNotPlaced = -1;

// IDENTIFIER of a concept: "@", the seven-letter code of its number, "%" and its title cut to
// whole characters so that the whole stays within the field.
std::string ConceptIdentifier(std::int32_t recordNo, std::string_view title);
// The seven letters that stand for a record number in an identifier.
std::string RecordNoToCode(std::int32_t no);

// Field definitions of each table, in file order.
std::vector<TFieldDef> ConceptsFieldDefs();
std::vector<TFieldDef> LinkTypeFieldDefs();
std::vector<TFieldDef> NetWorkFieldDefs();
std::vector<TFieldDef> TermsFieldDefs();
std::vector<TFieldDef> AssociationFieldDefs();

// A link type as it is written in the source: UTF-8 text.
struct TLinkTypeText {
    std::int32_t LinkCode = 0;
    std::string_view LinkTitle;
    std::string_view Comment;
};

// A link-type record ready for the table: code page 932 text.
struct TLinkTypeRow {
    std::int32_t LinkCode = 0;
    std::string LinkTitle;
    std::string Comment;
};

// The link types of a new ontology in the order they are added; code 1 is the plain
// "subconcept" relation. The span refers to static data.
std::span<const TLinkTypeText> DefaultLinkTypesUtf8();
std::vector<TLinkTypeRow> DefaultLinkTypes();

}  // namespace velmora::store
