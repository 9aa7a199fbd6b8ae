// The concept clipboard's payload as bytes: what TClipbrdConceptData puts on the clipboard and
// how it reads it back, without a clipboard. Plain C++ (no Qt) so that the fuzz target and the
// tests build it alone beside the store.
//
// The payload is code page 932 text, one line per item, each ended by CR LF:
//   THIS_IS_QUILLON_INTERNAL_DATA
//   <instance number of the writer, unsigned decimal>
//   1 (copy) or 0 (cut)
//   0 <concept record number>   or   1 <network record number>   ... one per entry
// It names records by number only, so it means something only to the running instance that wrote
// it; the reader ignores any other instance's payload. Lists returned belong to the caller.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "concept_data.h"

namespace velmora::app {

// The first line of every payload.
inline constexpr std::string_view kConceptPayloadMarker = "THIS_IS_QUILLON_INTERNAL_DATA";
// At most this many characters of an entry line's number part are read.
inline constexpr std::size_t kConceptPayloadMaxNumberChars = 1000;

// The payload for entries, written by instance. A concept is written by its ConceptNo, a mirror
// image by its LinkNo; titles, flags and positions are not carried. An empty list gives the three
// header lines alone.
std::string WriteConceptPayload(std::uint32_t instance, bool isCopy,
                                const store::TConceptList& entries);

// The entries of a payload written by instance, or null when bytes are not such a payload (fewer
// than three lines, another first line, another instance). Reading stops at the first zero byte;
// CR LF, CR or LF end a line. A concept entry gets its ConceptNo; a mirror image entry gets its
// LinkNo and ConceptNo -1 (the caller looks the concept up in the network record). When isCopy is
// given it is set for a payload: false only when the third line is exactly "0".
// Throws EVelmoraError when an entry's number part is not a decimal integer in the range of a
// 32-bit record number (an empty or garbled line included).
std::unique_ptr<store::TConceptList> ReadConceptPayload(std::string_view bytes,
                                                        std::uint32_t instance,
                                                        bool* isCopy = nullptr);

}  // namespace velmora::app
