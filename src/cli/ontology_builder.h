// Building whole ontologies without the desktop program: a synthetic ontology of any size for
// benchmarks and manual testing, and the small food ontology bundled as samples/sample.ont.
//
// All text handed in and written is code page 932. The builders fill the store's tables and
// the ontology's metadata; saving is the caller's business. Every concept carries the
// identifier, dates and editor the store's AppendConcept would give it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data_module.h"
#include "date_time.h"
#include "ontology.h"

namespace velmora::cli {

struct TGenerateOptions {
    std::int32_t Concepts = 1;  // including the top concept; at least 1
    std::uint64_t Seed = 1;
};

struct TGenerateStats {
    std::int32_t Concepts = 0;
    std::int32_t MirrorImages = 0;
    std::int32_t Labels = 0;
    std::int32_t Associations = 0;
    int MaxDepth = 0;              // the top concept is at depth 0
    std::int32_t WidestLevel = 0;  // the most items (concepts and mirror images) under one concept
};

// A synthetic ontology, the same for the same options: Japanese titles and labels (each concept
// its own label, about one in seven one more shared with others), descriptions and comments on
// some, a skewed hierarchy (preferential attachment, a few very wide levels, depth at most 15),
// LIST_ORDER 1, 2, 3, ... in every level, and mirror images of about 2% of the concepts under
// further parents with several relations. A mirror image always hangs under a concept of a
// smaller number than the one it shows, and every parent has a smaller number than its
// children, so the hierarchy stays free of cycles. The records are appended to the tables
// directly: the store's one-by-one operations would look every label up again.
TGenerateStats GenerateOntology(store::TDataModule1& store, store::TOntology& ontology,
                                const store::TStoreContext& context,
                                const TGenerateOptions& options);

// The bundled sample: a food ontology of 60 concepts in three levels below the top, with
// labels (some shared, some alternative spellings), descriptions and four mirror images.
void BuildSampleOntology(store::TDataModule1& store, store::TOntology& ontology,
                         store::TDateTime now);

}  // namespace velmora::cli
