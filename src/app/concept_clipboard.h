// TClipbrdConceptData: the concept clipboard over the system clipboard. It puts the payload of
// clipboard_payload.h on the clipboard under a MIME type of its own, which text editors do not
// offer to paste, and reads back only what this running instance wrote. Create one for an
// operation and drop it after; the clipboard itself is Qt's and outlives it. GUI thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "concept_data.h"

namespace velmora::app {

// The clipboard format of the concept payload. Nothing else is put beside it, so a text paste
// elsewhere finds nothing.
inline constexpr char kConceptClipboardMimeType[] = "application/x-velmora-concepts";

class TClipbrdConceptData {
public:
    // Replaces everything on the clipboard with the payload for entries (concepts by ConceptNo,
    // mirror images by LinkNo), marked as a copy or a cut.
    void Write(bool isCopy, const store::TConceptList& entries);
    // The entries on the clipboard, or null when it holds no payload of this instance (nothing,
    // plain text, another instance's or a malformed payload). Mirror images come back with
    // ConceptNo -1. isCopy, when given, is set for a payload. Throws EVelmoraError when an entry
    // line's number is not a decimal integer.
    std::unique_ptr<store::TConceptList> Read(bool* isCopy = nullptr);
    // Empties the clipboard.
    void Clear();

    // True when the clipboard holds the payload format at all (whichever instance wrote it): the
    // cheap test for enabling Paste.
    static bool HasPayload();
    // This process's instance number: the process id mixed with the start time, fixed on first
    // use, so that a payload left by an earlier process with a reused id is not taken.
    static std::uint32_t InstanceNumber();

    // Writes as the instance with number instance would: for tests of foreign payloads.
    void WriteAs(std::uint32_t instance, bool isCopy, const store::TConceptList& entries);
};

}  // namespace velmora::app
