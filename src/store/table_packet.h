// Table packets: the self-describing binary form in which one table is stored in an ontology
// file. A packet holds the table's field definitions, its records in order of addition and its
// auto-increment counter; other copies of the program read and write the same bytes, so the
// layout (doc/file_format.md, "Table packets") is fixed to the byte.
//
// The reader takes what the program's own writer produces plus what the format allows a writer
// to add (newer minor versions up to 3, unknown properties of any type, a longer header) and
// refuses everything else with an ETableError that names the fault and its offset. It parses the
// packet held in memory through bounds-checked reads, never allocates by a count the
// remaining bytes cannot hold, and fills a scratch table that replaces the target's contents only
// when the whole packet was read, so a failed load leaves the table as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "stream.h"
#include "table.h"

namespace velmora::store {

// The packet signature, stored as the first four bytes (96 19 E0 BD).
inline constexpr std::uint32_t kTablePacketSignature = 0xBDE01996;

// Writes the table's field definitions, records (in order of addition) and counter as one
// packet at the stream's position: the records as they stand, whatever the change log keeps for
// undo. REQUIRES: the table is open and no edit is pending; otherwise ETableError and nothing
// is written.
void SaveTableToStream(TTable& table, TStream& out);

// Reads every byte from the stream's position to its end as one packet and makes it the table's
// contents: field definitions, records and counter. When the table has declared field
// definitions, each must be in the packet with the same kind ("項目 'NAME' が見つかりません",
// "項目 'NAME' の型が一致しません。EXPECTED に対して FOUND が渡されました。"); the packet's
// widths win. A stream with no bytes left, a damaged or unsupported packet: ETableError (short
// reads of the stream: EStreamError), and the table keeps its previous contents.
void LoadTableFromStream(TTable& table, TStream& in);
// The same for a packet already in memory, read in place.
void LoadTableFromBytes(TTable& table, std::string_view packet);

// Reads the next bytes of a packet into a buffer and returns how many; 0 only at the end.
using TPacketSource = std::function<std::size_t(char* buffer, std::size_t n)>;
// The same for a packet of `length` bytes read through `read` a few megabytes at a time, so that
// a large table is loaded without its whole packet in memory. A source that ends early:
// EStreamError.
void LoadTableFromSource(TTable& table, std::size_t length, const TPacketSource& read);

}  // namespace velmora::store
