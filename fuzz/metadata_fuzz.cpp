// Fuzz entry point for the metadata reader: the input is read as the metadata stream of an .ont
// file. Every input is accepted; crashes, sanitizer reports and hangs (reading must stay linear
// in the input) are findings, and so is metadata that does not read back as itself after being
// written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ontology.h"
#include "stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora::store;
    TMemoryStream in(std::string(reinterpret_cast<const char*>(data), size));
    TOntology first;
    first.LoadFromStream(in);
    TMemoryStream written;
    first.SaveToStream(written);
    TMemoryStream again(written.TakeBytes());
    TOntology second;
    second.LoadFromStream(again);
    if (second.Lines() != first.Lines()) {
        std::abort();  // what we wrote does not read back as itself
    }
    return 0;
}
