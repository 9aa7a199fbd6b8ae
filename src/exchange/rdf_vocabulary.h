// The RDF terms the RDF export writes and the RDF import reads (doc/rdf_exchange.md): the
// namespaces of SKOS, OWL, Dublin Core and the OBO definition annotation, and the local names
// of the annotations of the ontology's own namespace that carry what those vocabularies have no
// word for (sibling order, icon positions, mirror images as records, the metadata defaults).
//
// Shared by rdf_export.cpp and rdf_import.cpp only; plain constants, no state.
#pragma once

#include <string_view>

namespace velmora::exchange::rdf {

inline constexpr std::string_view kRdf = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
inline constexpr std::string_view kRdfs = "http://www.w3.org/2000/01/rdf-schema#";
inline constexpr std::string_view kOwl = "http://www.w3.org/2002/07/owl#";
inline constexpr std::string_view kXsd = "http://www.w3.org/2001/XMLSchema#";
inline constexpr std::string_view kSkos = "http://www.w3.org/2004/02/skos/core#";
inline constexpr std::string_view kDcterms = "http://purl.org/dc/terms/";
inline constexpr std::string_view kDcElements = "http://purl.org/dc/elements/1.1/";
inline constexpr std::string_view kObo = "http://purl.obolibrary.org/obo/";
inline constexpr std::string_view kOboInOwl = "http://www.geneontology.org/formats/oboInOwl#";

// Local names in the ontology's own namespace (the base IRI).
inline constexpr std::string_view kListOrder = "listOrder";
inline constexpr std::string_view kIconPosX = "iconPosX";
inline constexpr std::string_view kIconPosY = "iconPosY";
inline constexpr std::string_view kWithoutTitleLabel = "withoutTitleLabel";
inline constexpr std::string_view kMirrorImage = "MirrorImage";
inline constexpr std::string_view kMirrorOf = "mirrorOf";
inline constexpr std::string_view kShownUnder = "shownUnder";
inline constexpr std::string_view kLinkCode = "linkCode";
inline constexpr std::string_view kConceptDescrDefault = "conceptDescrDefault";
inline constexpr std::string_view kConceptCommentDefault = "conceptCommentDefault";
// The record counters on the scheme: the next number the concepts and the mirror images hand
// out, so that numbers of records deleted before the export are not handed out again.
inline constexpr std::string_view kNextConceptNumber = "nextConceptNumber";
inline constexpr std::string_view kNextMirrorImageNumber = "nextMirrorImageNumber";
// A link type's property is the base IRI + "link" + its code; a mirror image's record is the
// base IRI + "m" + its number; a concept is the base IRI + its number.
inline constexpr std::string_view kLinkPrefix = "link";
inline constexpr std::string_view kMirrorPrefix = "m";

}  // namespace velmora::exchange::rdf
