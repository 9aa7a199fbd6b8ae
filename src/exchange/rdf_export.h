// The RDF export: the whole ontology as SKOS or OWL in Turtle, RDF/XML or N-Triples, written
// through Raptor's serializer (Turtle, N-Triples) or libxml2's text writer (RDF/XML,
// rdf_xml_writer.h), so that escaping and syntax are the libraries', not ours.
//
// Concepts are named base IRI + record number (numbers are never reused, so the names stay
// stable across saves and edits); the ontology or concept scheme is the base IRI itself. What
// SKOS and OWL have no word for (sibling order, icon positions, mirror images with their own
// order and places, the link types' codes) goes out as annotations of the base IRI's namespace,
// so that the import restores it. doc/rdf_exchange.md has the whole mapping.
//
// Table text (code page 932) leaves as UTF-8 with a language tag; line breaks leave as LF.
// The export only reads the store. Single-threaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "data_module.h"
#include "errors.h"
#include "file_system.h"
#include "ontology.h"

namespace velmora::exchange {

// A failure of the RDF export or import: a serializer or parser error, or a file that is not
// RDF. Line is the line of the input where the parser stopped (0 when unknown).
class ERdfError : public store::EVelmoraError {
public:
    ERdfError(const std::string& message, int line = 0)
        : store::EVelmoraError(message), m_line(line) {}
    int Line() const { return m_line; }

private:
    int m_line;
};

enum class TRdfVocabulary { Skos, Owl };
enum class TRdfSyntax { Turtle, RdfXml, NTriples };

struct TRdfExportOptions {
    TRdfVocabulary Vocabulary = TRdfVocabulary::Skos;
    TRdfSyntax Syntax = TRdfSyntax::Turtle;
    std::string BaseIri;  // UTF-8; empty: DefaultBaseIri of the ontology
    std::string Language = "ja";
};

struct TRdfExportResult {
    int Concepts = 0;
    int MirrorImages = 0;
    std::size_t Triples = 0;
    std::string BaseIri;
    // Bytes of the tables that are not code page 932, and control characters XML cannot carry:
    // each written as "?".
    int Replaced = 0;
};

// "http://velmora.invalid/" + the ontology's title as UTF-8, percent-encoded except for
// unreserved ASCII, + "/"; "untitled" stands for an empty title. ".invalid" never resolves:
// a published vocabulary names its own base with --base.
std::string DefaultBaseIri(const store::TOntology& ontology);

// True for a language tag of letters and digits in parts of 1 to 8 joined by "-", the first
// part letters only.
bool IsLanguageTag(std::string_view tag);
// True for an absolute IRI (a scheme, ":", then no space, control character or <>"{}|\^`).
bool IsAbsoluteIri(std::string_view iri);

// Writes the RDF text piece by piece to sink. progress, when set, is called with the concepts
// written and their total. ERdfError (rdf_import.h) when the serializer fails.
TRdfExportResult ExportRdf(store::TDataModule1& store, const store::TOntology& ontology,
                           const TRdfExportOptions& options,
                           const std::function<void(std::string_view)>& sink,
                           const std::function<void(int done, int total)>& progress = {});

// The same into a file, replaced safely (a failure leaves no partial file and the previous one
// as it was).
TRdfExportResult ExportRdfFile(store::TDataModule1& store, const store::TOntology& ontology,
                               const TRdfExportOptions& options, const std::string& path,
                               store::TFileSystem& fileSystem,
                               const std::function<void(int done, int total)>& progress = {});

}  // namespace velmora::exchange
