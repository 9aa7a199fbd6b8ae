// Fuzz entry point for the ontology file reader: the input is read as an .ont file from memory
// into a store and its metadata. Refusals are expected; crashes, sanitizer reports and hangs are
// findings. A file that loads must save, and the saved file must load and save again to the
// same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "data_module.h"
#include "file_system.h"
#include "ontology.h"

namespace {

using namespace velmora::store;

// Loads `name` from fs into a fresh store and saves it as `out`; false when the load refused.
bool LoadAndSave(TMemoryFileSystem& fs, const std::string& name, const std::string& out) {
    TSimpleStoreContext context;
    TDataModule1 store(context);
    store.SetFileSystem(fs);
    TOntology ontology;
    ontology.SetFileName(name);
    try {
        store.LoadOntologyFile(ontology);
    } catch (const EVelmoraError&) {
        return false;
    }
    ontology.SetFileName(out);
    store.SaveOntologyFile(ontology, true);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TMemoryFileSystem fs;
    fs.Put("/in.ont", std::string(reinterpret_cast<const char*>(data), size));
    if (!LoadAndSave(fs, "/in.ont", "/first.ont")) {
        return 0;
    }
    if (!LoadAndSave(fs, "/first.ont", "/second.ont") ||
        *fs.Get("/first.ont") != *fs.Get("/second.ont")) {
        std::abort();  // what we wrote does not read back as itself
    }
    return 0;
}
