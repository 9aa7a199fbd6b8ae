// An ontology file loaded for a command that reads it: the store answers every question with
// yes and nothing is saved.
#pragma once

#include <string>

#include "data_module.h"
#include "ontology.h"

namespace velmora::cli {

struct TLoadedOntology {
    store::TSimpleStoreContext Context;
    store::TFixedAnswer Answers{store::TAnswer::Yes};
    store::TDataModule1 Store{Context};
    store::TOntology Ontology;

    explicit TLoadedOntology(const std::string& path) {
        Store.SetQuestioner(Answers);
        Ontology.SetFileName(path);
        Store.LoadOntologyFile(Ontology);
    }
};

}  // namespace velmora::cli
