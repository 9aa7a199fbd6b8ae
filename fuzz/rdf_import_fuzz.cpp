// The RDF import: any bytes read as SKOS (even first byte) or OWL (odd), then the ontology built
// from them. ERdfError is the expected answer to broken input; anything else (a crash, a hang,
// another exception) is a finding.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "data_module.h"
#include "ontology.h"
#include "rdf_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora;
    store::TSimpleStoreContext context;
    store::TDataModule1 store(context);
    store::TOntology ontology;
    exchange::TRdfImportOptions options;
    if (size > 0 && (data[0] & 1) != 0) {
        options.Vocabulary = exchange::TRdfVocabulary::Owl;
    }
    try {
        exchange::ImportRdf(std::string_view(reinterpret_cast<const char*>(data), size), store,
                            ontology, context, options);
    } catch (const exchange::ERdfError&) {
    }
    return 0;
}
