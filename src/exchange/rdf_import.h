// The RDF import: a new ontology from a SKOS or OWL file in RDF/XML, Turtle or N-Triples (the
// syntax is told from the content), read as a stream of triples by the Raptor parser.
//
// SKOS: concepts with their preferred label in the chosen language (else another language,
// else the last segment of the IRI) as title, the other labels as language labels, definitions
// and notes, broader/narrower as the hierarchy (the first parent in document order is the own
// parent, further parents become subconcept mirror images), skos:related and its sub-properties
// as mirror images of one link type each. OWL: named classes, rdfs:subClassOf between them,
// labels, the usual definition annotations, and existential restrictions (owl:someValuesFrom)
// as mirror images of one link type per property. What the RDF export writes in the base IRI's
// namespace (record numbers, sibling order, icon positions, mirror images, link types) is
// restored. Concepts without a parent go under the one top concept; when there are several
// (or none) a top concept is made from the concept scheme or ontology.
//
// A hierarchy that forms a cycle is broken where doc/rdf_exchange.md says, with a warning naming
// the concepts. Texts are converted to code page 932 and cut to their fields as everywhere;
// the result counts both. Broken input raises ERdfError with the parser's line and leaves the
// store untouched. Single-threaded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data_module.h"
#include "file_system.h"
#include "ontology.h"
#include "rdf_export.h"

namespace velmora::exchange {

struct TRdfImportOptions {
    TRdfVocabulary Vocabulary = TRdfVocabulary::Skos;
    std::string Language = "ja";
};

struct TRdfImportResult {
    std::string Syntax;  // "rdfxml", "turtle" or "ntriples": what the content was read as
    int Concepts = 0;
    int MirrorImages = 0;
    int Labels = 0;          // terms records
    int LinkTypesAdded = 0;  // beyond the ten every ontology has
    bool TopConceptMade = false;
    int CutTexts = 0;                   // texts cut to their field's width
    int Replaced = 0;                   // characters code page 932 cannot hold, written as "?"
    std::vector<std::string> Warnings;  // UTF-8, one line each
};

// The syntax Raptor is asked to read: "rdfxml", "turtle" or "ntriples", from the first bytes.
std::string DetectRdfSyntax(std::string_view head);

// Reads RDF from chunks handed in one by one and builds the ontology at the end.
class TRdfImport {
public:
    // REQUIRES: the objects outlive the import. name names the input in messages and serves
    // as the base of relative IRIs.
    TRdfImport(store::TDataModule1& store, store::TOntology& ontology,
               const store::TStoreContext& context, const TRdfImportOptions& options,
               std::string name);
    ~TRdfImport();
    TRdfImport(const TRdfImport&) = delete;
    TRdfImport& operator=(const TRdfImport&) = delete;

    // ERdfError with the line where the parser stopped.
    void Feed(std::string_view chunk);
    // Ends the input, then replaces the store's tables and the ontology's metadata.
    TRdfImportResult Finish();

private:
    struct TState;
    std::unique_ptr<TState> m_state;
};

// The whole import from text (tests, the fuzz target).
TRdfImportResult ImportRdf(std::string_view text, store::TDataModule1& store,
                           store::TOntology& ontology, const store::TStoreContext& context,
                           const TRdfImportOptions& options, const std::string& name = "input");

// The whole import from a file, read in pieces; progress gets the bytes read and the size.
TRdfImportResult ImportRdfFile(
    const std::string& path, store::TFileSystem& fileSystem, store::TDataModule1& store,
    store::TOntology& ontology, const store::TStoreContext& context,
    const TRdfImportOptions& options,
    const std::function<void(std::int64_t done, std::int64_t total)>& progress = {});

}  // namespace velmora::exchange
