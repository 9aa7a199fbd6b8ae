// Fuzz entry point for the table packet reader. Every input is loaded into a table declared
// like the concept table (so the field checks run) and into one without declared fields (so
// every well-formed packet reaches the rows). Refusals are expected; crashes, sanitizer reports,
// hangs and memory out of proportion to the input are findings. A packet that loads must save, and
// the saved packet must load and save again to the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "ontology_tables.h"
#include "stream.h"
#include "table.h"
#include "table_packet.h"

namespace {

using namespace velmora::store;

std::string SaveBytes(TTable& table) {
    TMemoryStream out;
    SaveTableToStream(table, out);
    return out.TakeBytes();
}

void LoadBytes(TTable& table, std::string bytes) {
    TMemoryStream in(std::move(bytes));
    LoadTableFromStream(table, in);
}

// Reads every field of every record through the cursor, as the views do.
void Walk(TTable& table) {
    const int fields = static_cast<int>(table.FieldDefs().size());
    for (table.First(); !table.Eof(); table.Next()) {
        for (int i = 0; i < fields; ++i) {
            (void)table.Fields(i).Value();
        }
    }
}

void Check(TTable& table, const std::string& input) {
    try {
        LoadBytes(table, input);
    } catch (const EVelmoraError&) {
        return;
    }
    // A row of the packet justifies a record, but no more: the engine's records and index take
    // a few dozen bytes for each byte of input at most.
    if (table.MemoryUsage() > 64 * input.size() + 65536) {
        __builtin_trap();
    }
    Walk(table);
    const std::string saved = SaveBytes(table);
    TTable again(table.TableName(), table.DeclaredFieldDefs());
    LoadBytes(again, saved);
    if (SaveBytes(again) != saved) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    TTable concepts(std::string(kDtStOriginalConcepts), ConceptsFieldDefs(),
                    std::string(kConceptsDefaultIndex));
    Check(concepts, input);
    TTable open("FUZZ", {});
    Check(open, input);
    return 0;
}
