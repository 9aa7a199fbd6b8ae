// Fuzz entry point for the metadata part of `velmora-cli info`: the input is read as metadata and
// reported. Findings are crashes, sanitizer reports, hangs, and a report larger than ten times
// the input plus a little: no small file may make the report write without bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "ontology.h"
#include "ontology_report.h"
#include "stream.h"
#include "terminal_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora;
    store::TMemoryStream in(std::string(reinterpret_cast<const char*>(data), size));
    store::TOntology ontology;
    ontology.LoadFromStream(in);
    std::ostringstream out;
    std::ostringstream err;
    cli::TTerminalText text(err);
    cli::WriteMetadata(ontology, text, out);
    if (out.str().size() > 10 * size + 4096) {
        std::abort();  // the report grows faster than the file
    }
    return 0;
}
