// Fuzz entry point for the concept clipboard's payload reader. The first four bytes of the input
// (little-endian) are the reader's own instance number and the rest is the clipboard text, so
// that inputs reach the entry lines; with fewer than four bytes the whole input is the text and
// the instance is 0. Refusals (null) and integer errors (EVelmoraError) are expected. Crashes,
// sanitizer reports and hangs are findings, and so is a payload that was read but does not read
// back as the same entries and copy flag after being written again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "clipboard_payload.h"
#include "errors.h"

namespace {

bool SameEntries(const velmora::store::TConceptList& a, const velmora::store::TConceptList& b) {
    if (a.Count() != b.Count()) {
        return false;
    }
    for (int i = 0; i < a.Count(); ++i) {
        if (a[i].IsLink() != b[i].IsLink() || a[i].ConceptNo() != b[i].ConceptNo() ||
            a[i].LinkNo != b[i].LinkNo) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora;
    std::uint32_t instance = 0;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (size >= 4) {
        instance = static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
                   static_cast<std::uint32_t>(data[2]) << 16 |
                   static_cast<std::uint32_t>(data[3]) << 24;
        text.remove_prefix(4);
    }
    bool isCopy = false;
    std::unique_ptr<store::TConceptList> first;
    try {
        first = app::ReadConceptPayload(text, instance, &isCopy);
    } catch (const store::EVelmoraError&) {
        return 0;  // a number part that is not a 32-bit decimal integer: refused
    }
    if (first == nullptr) {
        return 0;
    }
    // Outside the try: the payload we write must read back without an error.
    bool againCopy = !isCopy;
    const auto again = app::ReadConceptPayload(app::WriteConceptPayload(instance, isCopy, *first),
                                               instance, &againCopy);
    if (again == nullptr || againCopy != isCopy || !SameEntries(*first, *again)) {
        std::abort();  // what we wrote does not read back as itself
    }
    return 0;
}
