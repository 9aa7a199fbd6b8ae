// Writes the bundled sample ontology (samples/sample.ont) with fixed stamps, so that building
// it again gives the same records: velmora-make-sample OUT.ont

#include <iostream>
#include <string>

#include "data_module.h"
#include "ontology.h"
#include "ontology_builder.h"
#include "questions.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: velmora-make-sample OUT.ont\n";
        return 2;
    }
    using namespace velmora;
    const store::TDateTime stamp = store::TDateTime::FromCivil({2024, 4, 1, 9, 30, 0, 0});
    store::TSimpleStoreContext context;
    context.SetClock([stamp] { return stamp; });
    store::TFixedAnswer overwrite(store::TAnswer::Yes);
    store::TDataModule1 store(context);
    store.SetQuestioner(overwrite);
    store::TOntology ontology;
    try {
        cli::BuildSampleOntology(store, ontology, stamp);
        ontology.SetFileName(argv[1]);
        store.SaveOntologyFile(ontology, false);
    } catch (const std::exception& e) {
        std::cerr << "velmora-make-sample: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
