// Fuzz entry point for the CSV import. The first byte picks the place and whether the fields
// come from the wizard's own header recognition or from a fixed mapping (title, identifier,
// parent, labels in columns 1 to 4); the rest is the file. The file goes through the reading
// and the parser, then the wizard's checks and, when they pass, the import into a small
// ontology. Refusals are expected; crashes, sanitizer reports and hangs are findings, and so is
// an import that leaves a concept whose parents never reach the top concept, or a replace that
// leaves other than exactly one top concept.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "code_page.h"
#include "csv_import.h"
#include "data_module.h"
#include "ontology_tables.h"

namespace {

using namespace velmora;

void CheckGrid(const exchange::TCsvGrid& grid) {
    if (grid.ColumnCount() < 1 || grid.RowCount() < 2) {
        __builtin_trap();
    }
}

// Every concept reaches a concept with PARENT_NO 0 within as many steps as there are concepts.
void CheckHierarchy(store::TDataModule1& s, bool replaced) {
    std::unordered_map<std::int32_t, std::int32_t> parent;
    store::TTable& c = s.DtStOriginalConcepts;
    int tops = 0;
    for (c.First(); !c.Eof(); c.Next()) {
        const std::int32_t p = c.FieldByName(store::kFieldParentNo).AsInteger();
        parent[c.FieldByName(store::kFieldRecordNo).AsInteger()] = p;
        tops += p == 0 ? 1 : 0;
    }
    if (replaced ? tops != 1 : tops < 1) {
        __builtin_trap();
    }
    for (const auto& [no, p] : parent) {
        std::int32_t at = no;
        std::size_t steps = 0;
        while (at != 0) {
            const auto it = parent.find(at);
            if (it == parent.end() || ++steps > parent.size()) {
                __builtin_trap();
            }
            at = it->second;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t control = data[0];
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    exchange::TCsvGrid raw;
    exchange::ParseCSVText(bytes, raw);
    CheckGrid(raw);
    (void)store::FirstUnreadableLine(bytes);

    store::TSimpleStoreContext context;
    store::TDataModule1 s(context);
    const std::int32_t top = s.BuildNewOntology("top", {});
    const std::int32_t child = s.AppendConcept("child", top, "child");
    exchange::TCsvImportWizard wizard(s, context, child);
    wizard.LoadText(exchange::JoinFileLines(bytes), "fuzz.csv");
    CheckGrid(wizard.Grid());
    if (control & 0x04) {
        wizard.Select(exchange::TCsvField::Title, 1);
        wizard.Select(exchange::TCsvField::Identifier, 2);
        wizard.Select(exchange::TCsvField::ParentIdentifier, 3);
        wizard.Select(exchange::TCsvField::Labels, 4);
        wizard.SetSeparator(control & 0x08 ? "\\n" : ";");
        wizard.SetIgnoreHeader(control & 0x10);
    }
    const exchange::TImportPlace places[] = {exchange::TImportPlace::Workspace,
                                             exchange::TImportPlace::SubConcept,
                                             exchange::TImportPlace::Replace};
    wizard.SetPlace(places[control % 3]);
    (void)wizard.LabelPreview();
    if (wizard.Validate()) {
        return 0;
    }
    const exchange::TCsvImportResult result = wizard.Import();
    if (static_cast<int>(result.Concepts.size()) != wizard.DataRowCount()) {
        __builtin_trap();
    }
    CheckHierarchy(s, wizard.Place() == exchange::TImportPlace::Replace);
    return 0;
}
