#include "table_packet.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "code_page.h"

namespace velmora::store {
namespace {

// Packet grammar. Numbers are little-endian, with no alignment or padding; text is code page 932.
//
//   packet   := header column[ncols] uint16 ntableprops property[ntableprops] row[nrows]
//   header   := uint32 signature   0xBDE01996
//               uint16 major       1 (a reader takes up to 3)
//               uint16 minor       0 (a reader takes up to 3)
//               uint32 hsize       24; the columns start at this offset
//               uint16 ncols
//               uint32 nrows
//               uint32 flags       bit 0 always set; bit 1: first_row is valid
//               uint16 first_row   offset of the first row (the packet's end when nrows is 0)
//   column   := uint8 n  name[n]   n <= 31, the field name
//               uint32 type
//               uint16 attributes  0
//               uint16 nprops  property[nprops]
//   property := uint8 n  name[n]  uint32 type  value(type)
//   row      := uint8 state        0
//               status[(ncols + 3) / 4]
//                                  column j: bit 2*(j%4) of byte j/4 set = null,
//                                  the next bit set = unchanged (change packets only)
//               value(type of column j) for every column j whose two bits are clear
//
//   type     := bits 16..21 base type, bits 0..15 a size, bit 22 varying, bit 23 array
//   value    := fixed:   exactly size bytes
//               varying: a size-byte length n (size 1, 2 or 4), then n bytes
//               array:   uint32 count, then count elements of the type without bit 23
//
// Field kinds and their columns:
//   auto-increment  0x00010004  SUBTYPE = "Autoinc"
//   integer         0x00010004
//   text(n)         0x00490001 when n <= 253, else 0x00490002; WIDTH = n
//   memo            0x004B0004  SUBTYPE = "Text", WIDTH = declared size
//   date-time       0x00080008
// SUBTYPE is a 0x00490002 string whose length counts a terminating zero byte; WIDTH is a
// 0x00020002 unsigned number. The one table property, AUTOINCVALUE (0x00010004), is the number
// the next new record receives; tables without an auto-increment field have none.
//
// Row values: int32; a date-time is a double holding the milliseconds since 1 January of year 1
// counted as day 1 (the zero moment plus 693,594 days); a text is its length prefix and bytes,
// an empty text length 1 and a zero byte, and a reader stops at the first zero byte; a memo is a
// uint32 length and its bytes, never of length 0 (an empty memo is null).

constexpr std::uint16_t kMajorVersion = 1;
constexpr std::uint16_t kMinorVersion = 0;
constexpr std::uint16_t kMaxReadableVersion = 3;
constexpr std::uint32_t kHeaderSize = 24;
constexpr std::size_t kRowCountAt = 14;
constexpr std::size_t kFirstRowAt = 22;
constexpr std::uint32_t kFlagWritten = 1;
constexpr std::uint32_t kFlagFirstRowValid = 2;

constexpr std::uint32_t kTypeSizeMask = 0x0000FFFF;
constexpr std::uint32_t kTypeBaseMask = 0x003F0000;
constexpr std::uint32_t kTypeVarying = 0x00400000;
constexpr std::uint32_t kTypeArray = 0x00800000;
constexpr std::uint32_t kBaseSigned = 0x00010000;
constexpr std::uint32_t kBaseUnsigned = 0x00020000;
constexpr std::uint32_t kBaseString = 0x00090000;

constexpr std::uint32_t kTypeInt32 = 0x00010004;
constexpr std::uint32_t kTypeUInt16 = 0x00020002;
constexpr std::uint32_t kTypeDateTime = 0x00080008;
constexpr std::uint32_t kTypeText8 = 0x00490001;
constexpr std::uint32_t kTypeText16 = 0x00490002;
constexpr std::uint32_t kTypeMemo = 0x004B0004;

constexpr std::size_t kMaxNameLength = 31;
constexpr int kMaxText8Width = 253;
constexpr int kMaxWidth = 0xFFFF;
// A text column that does not state its width holds up to 255 bytes.
constexpr int kDefaultTextWidth = 255;

constexpr std::string_view kPropSubtype = "SUBTYPE";
constexpr std::string_view kPropWidth = "WIDTH";
constexpr std::string_view kPropAutoIncValue = "AUTOINCVALUE";
constexpr std::string_view kSubtypeAutoInc = "Autoinc";
constexpr std::string_view kSubtypeText = "Text";

constexpr unsigned kStatusNull = 1;
constexpr unsigned kStatusUnchanged = 2;

constexpr std::int64_t kDateTimeShiftMs = 693'594 * TDateTime::kMsPerDay;
// Beyond 2^53 a double no longer holds every millisecond.
constexpr double kMaxStoredDateTime = 9'007'199'254'740'992.0;

std::size_t StatusBytes(std::size_t columns) {
    return (columns + 3) / 4;
}

std::string Hex32(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(value));
    return buffer;
}

std::string Number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

// Names from a packet may hold any bytes; messages are UTF-8.
std::string Shown(std::string_view cp932) {
    return "'" + Cp932ToUtf8(cp932) + "'";
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y && !(x >= 'a' && x <= 'z' && x - 32 == y) &&
            !(y >= 'a' && y <= 'z' && y - 32 == x)) {
            return false;
        }
    }
    return true;
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 32);
        }
    }
    return out;
}

// Text stops at its first zero byte: the program's text never holds one.
std::string_view UpToZero(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

// ---------------------------------------------------------------------------------------------
// Writing

class TPacketWriter {
public:
    void U8(std::uint8_t value) { m_bytes.push_back(static_cast<char>(value)); }
    void U16(std::uint16_t value) {
        U8(static_cast<std::uint8_t>(value));
        U8(static_cast<std::uint8_t>(value >> 8));
    }
    void U32(std::uint32_t value) {
        U16(static_cast<std::uint16_t>(value));
        U16(static_cast<std::uint16_t>(value >> 16));
    }
    void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
    void F64(double value) {
        const auto bits = std::bit_cast<std::uint64_t>(value);
        U32(static_cast<std::uint32_t>(bits));
        U32(static_cast<std::uint32_t>(bits >> 32));
    }
    void Bytes(std::string_view bytes) { m_bytes.append(bytes); }
    // REQUIRES: name.size() <= 255.
    void Name(std::string_view name) {
        U8(static_cast<std::uint8_t>(name.size()));
        Bytes(name);
    }

    // Positions count from the start of the packet. REQUIRES (patching): the byte at `at` has
    // not been flushed yet.
    void PatchU16(std::size_t at, std::uint16_t value) {
        m_bytes[at - m_flushed] = static_cast<char>(value & 0xFF);
        m_bytes[at - m_flushed + 1] = static_cast<char>(value >> 8);
    }
    void PatchU32(std::size_t at, std::uint32_t value) {
        PatchU16(at, static_cast<std::uint16_t>(value));
        PatchU16(at + 2, static_cast<std::uint16_t>(value >> 16));
    }
    void SetBits(std::size_t at, unsigned bits) {
        char& byte = m_bytes[at - m_flushed];
        byte = static_cast<char>(static_cast<unsigned char>(byte) | bits);
    }

    std::size_t Size() const { return m_flushed + m_bytes.size(); }

    // Hands what was written so far to the stream once it fills a buffer (or always, with
    // `all`), so that a large table never needs a second copy of itself in memory.
    void Flush(TStream& out, bool all) {
        if (all || m_bytes.size() >= kFlushSize) {
            out.Write(m_bytes);
            m_flushed += m_bytes.size();
            m_bytes.clear();
        }
    }

private:
    static constexpr std::size_t kFlushSize = std::size_t{1} << 20;
    std::string m_bytes;
    std::size_t m_flushed = 0;
};

[[noreturn]] void RefuseSave(const TTable& table, const std::string& why) {
    throw ETableError("テーブル '" + table.TableName() + "' を保存できません: " + why);
}

void CheckWritable(const TTable& table, const std::vector<TFieldDef>& defs) {
    if (defs.empty()) {
        RefuseSave(table, "項目がありません");
    }
    if (defs.size() > 0xFFFF) {
        RefuseSave(table, "項目が多すぎます");
    }
    for (const TFieldDef& def : defs) {
        if (def.Name.empty() || def.Name.size() > kMaxNameLength) {
            RefuseSave(table, "項目名 '" + def.Name + "' は 1 から 31 バイトでなければなりません");
        }
        if (def.Kind == TFieldKind::Text && (def.Size < 1 || def.Size > kMaxWidth)) {
            RefuseSave(table, "項目 '" + def.Name + "' の幅 " + std::to_string(def.Size) +
                                  " は 1 から 65535 でなければなりません");
        }
        if (def.Kind == TFieldKind::Memo && (def.Size < 0 || def.Size > kMaxWidth)) {
            RefuseSave(table, "項目 '" + def.Name + "' の大きさ " + std::to_string(def.Size) +
                                  " は 0 から 65535 でなければなりません");
        }
    }
}

std::uint32_t ColumnType(const TFieldDef& def) {
    switch (def.Kind) {
        case TFieldKind::AutoInc:
        case TFieldKind::Integer:
            return kTypeInt32;
        case TFieldKind::Text:
            return def.Size <= kMaxText8Width ? kTypeText8 : kTypeText16;
        case TFieldKind::Memo:
            return kTypeMemo;
        case TFieldKind::DateTime:
            return kTypeDateTime;
    }
    return 0;
}

void WriteSubtype(TPacketWriter& w, std::string_view subtype) {
    w.Name(kPropSubtype);
    w.U32(kTypeText16);
    w.U16(static_cast<std::uint16_t>(subtype.size() + 1));
    w.Bytes(subtype);
    w.U8(0);
}

void WriteWidth(TPacketWriter& w, int width) {
    w.Name(kPropWidth);
    w.U32(kTypeUInt16);
    w.U16(static_cast<std::uint16_t>(width));
}

void WriteColumn(TPacketWriter& w, const TFieldDef& def) {
    w.Name(def.Name);
    w.U32(ColumnType(def));
    w.U16(0);  // attributes
    switch (def.Kind) {
        case TFieldKind::AutoInc:
            w.U16(1);
            WriteSubtype(w, kSubtypeAutoInc);
            break;
        case TFieldKind::Integer:
        case TFieldKind::DateTime:
            w.U16(0);
            break;
        case TFieldKind::Text:
            w.U16(1);
            WriteWidth(w, def.Size);
            break;
        case TFieldKind::Memo:
            w.U16(2);
            WriteSubtype(w, kSubtypeText);
            WriteWidth(w, def.Size);
            break;
    }
}

void WriteRow(TPacketWriter& w, const TTable& table, const std::vector<TFieldDef>& defs,
              const TRecordView& record) {
    w.U8(0);  // row state
    const std::size_t status = w.Size();
    for (std::size_t i = 0; i < StatusBytes(defs.size()); ++i) {
        w.U8(0);
    }
    for (std::size_t j = 0; j < defs.size(); ++j) {
        const TFieldDef& def = defs[j];
        const int field = static_cast<int>(j);
        const bool isText = def.Kind == TFieldKind::Text || def.Kind == TFieldKind::Memo;
        // A reader stops a text at its first zero byte, so nothing after one is written: the
        // file then reads back as exactly what was written.
        const std::string_view text = isText ? UpToZero(record.Text(field)) : std::string_view();
        if (record.IsNull(field) || (def.Kind == TFieldKind::Memo && text.empty())) {
            w.SetBits(status + j / 4, kStatusNull << (2 * (j % 4)));
            continue;
        }
        switch (def.Kind) {
            case TFieldKind::AutoInc:
            case TFieldKind::Integer:
                w.I32(record.Integer(field));
                break;
            case TFieldKind::DateTime:
                // In range: checked before the first row.
                w.F64(static_cast<double>(record.DateTime(field).Milliseconds()) +
                      kDateTimeShiftMs);
                break;
            case TFieldKind::Text: {
                const std::size_t limit = ColumnType(def) == kTypeText8 ? 0xFF : 0xFFFF;
                if (text.size() > limit) {
                    RefuseSave(table, "項目 '" + def.Name + "' のテキストが長すぎます");
                }
                // An empty text that is not null is one zero byte.
                const std::string_view bytes = text.empty() ? std::string_view("\0", 1) : text;
                if (limit == 0xFF) {
                    w.U8(static_cast<std::uint8_t>(bytes.size()));
                } else {
                    w.U16(static_cast<std::uint16_t>(bytes.size()));
                }
                w.Bytes(bytes);
                break;
            }
            case TFieldKind::Memo:
                if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
                    RefuseSave(table, "項目 '" + def.Name + "' のメモが長すぎます");
                }
                w.U32(static_cast<std::uint32_t>(text.size()));
                w.Bytes(text);
                break;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Reading

// A bounds-checked cursor over the packet. Every failure names the offset and, when known, the
// column or row being read.
//
// The packet is either wholly in memory or read through a window: a few megabytes of it, which
// Refill moves forward. A read past the window that the packet still holds raises TNeedMore, and
// the caller refills and reads that part again; so views handed out stay valid until the next
// refill, and a large table is read without a copy of its packet in memory.
class TPacketReader {
public:
    struct TNeedMore {
        std::size_t bytes;  // wanted from the current position on
    };

    TPacketReader(std::string_view bytes, const std::string& tableName)
        : m_bytes(bytes), m_total(bytes.size()), m_tableName(tableName) {}
    TPacketReader(std::size_t total, TPacketSource source, const std::string& tableName)
        : m_total(total), m_source(std::move(source)), m_tableName(tableName) {}

    std::size_t Offset() const { return m_base + m_pos; }
    std::size_t Size() const { return m_total; }
    std::size_t Remaining() const { return m_total - Offset(); }
    // REQUIRES: Offset() <= offset <= Size().
    void Seek(std::size_t offset) {
        if (offset - m_base > m_bytes.size()) {
            throw TNeedMore{offset - Offset()};
        }
        m_pos = offset - m_base;
    }

    // Drops what lies before `keepFrom` (a packet offset at or before the current position) and
    // reads on until the window holds at least `bytes` from the current position, with room to
    // spare, or the rest of the packet.
    void Refill(std::size_t keepFrom, std::size_t bytes) {
        const std::size_t offset = Offset();
        const std::size_t keep = m_base + m_bytes.size() - keepFrom;
        std::memmove(m_window.data(), m_window.data() + (keepFrom - m_base), keep);
        m_base = keepFrom;
        m_pos = offset - keepFrom;
        const std::size_t wanted =
            std::min(m_total - m_base, std::max(kWindowSize, 2 * (m_pos + bytes)));
        if (m_window.size() < wanted) {
            m_window.resize(wanted);
        }
        std::size_t have = keep;
        while (have < wanted) {
            const std::size_t n = m_source(m_window.data() + have, wanted - have);
            if (n == 0) {
                throw EStreamError(kStreamReadError);
            }
            have += n;
        }
        m_bytes = std::string_view(m_window.data(), have);
    }

    std::uint8_t U8(const char* what) {
        Need(1, what);
        return static_cast<std::uint8_t>(m_bytes[m_pos++]);
    }
    std::uint16_t U16(const char* what) {
        Need(2, what);
        const auto value = static_cast<std::uint16_t>(Byte(0) | Byte(1) << 8);
        m_pos += 2;
        return value;
    }
    std::uint32_t U32(const char* what) {
        Need(4, what);
        const std::uint32_t value = Byte(0) | Byte(1) << 8 | Byte(2) << 16 | Byte(3) << 24;
        m_pos += 4;
        return value;
    }
    std::int32_t I32(const char* what) { return static_cast<std::int32_t>(U32(what)); }
    double F64(const char* what) {
        Need(8, what);
        std::uint64_t bits = 0;
        for (int i = 7; i >= 0; --i) {
            bits = bits << 8 | Byte(static_cast<std::size_t>(i));
        }
        m_pos += 8;
        return std::bit_cast<double>(bits);
    }
    std::string_view Bytes(std::uint64_t n, const char* what) {
        Need(n, what);
        const std::string_view bytes = m_bytes.substr(m_pos, static_cast<std::size_t>(n));
        m_pos += static_cast<std::size_t>(n);
        return bytes;
    }
    // A length-prefixed value; prefixSize is 1, 2 or 4.
    std::string_view Prefixed(std::uint32_t prefixSize, const char* what) {
        std::uint32_t n = 0;
        switch (prefixSize) {
            case 1:
                n = U8(what);
                break;
            case 2:
                n = U16(what);
                break;
            default:
                n = U32(what);
                break;
        }
        return Bytes(n, what);
    }

    // Where the next failure happened: a column, the table properties or a row's column.
    void SetContext(std::string context) {
        m_context = std::move(context);
        m_rowDefs = nullptr;
    }
    // A column past the last names the row alone.
    void SetRowContext(const std::vector<TFieldDef>* defs, std::uint32_t row, std::size_t column) {
        m_rowDefs = defs;
        m_row = row;
        m_column = column;
    }

    [[noreturn]] void Corrupt(std::size_t at, const std::string& what) const {
        throw ETableError("テーブル '" + m_tableName + "' のパケットが壊れています (" + Where(at) +
                          what + ")");
    }
    [[noreturn]] void Unsupported(std::size_t at, const std::string& what) const {
        throw ETableError("テーブル '" + m_tableName +
                          "' のパケットは読み込めない内容を含みます (" + Where(at) + what + ")");
    }

private:
    std::uint32_t Byte(std::size_t i) const {
        return static_cast<unsigned char>(m_bytes[m_pos + i]);
    }
    void Need(std::uint64_t n, const char* what) const {
        if (Remaining() < n) {
            Corrupt(Offset(), std::string(what) + "を読むには " + std::to_string(n) +
                                  " バイト必要ですが、残りは " + std::to_string(Remaining()) +
                                  " バイトです");
        }
        if (m_bytes.size() - m_pos < n) {
            throw TNeedMore{static_cast<std::size_t>(n)};
        }
    }
    std::string Where(std::size_t at) const {
        std::string where = "オフセット " + std::to_string(at);
        if (m_rowDefs) {
            where += ", 行 " + std::to_string(m_row + 1);
            if (m_column < m_rowDefs->size()) {
                where += ", 列 " + Shown((*m_rowDefs)[m_column].Name);
            }
        } else if (!m_context.empty()) {
            where += ", " + m_context;
        }
        return where + ": ";
    }

    static constexpr std::size_t kWindowSize = std::size_t{4} << 20;

    std::string_view m_bytes;  // the window
    std::size_t m_pos = 0;     // in the window
    std::size_t m_base = 0;    // packet offset of the window
    std::size_t m_total = 0;
    TPacketSource m_source;
    std::string m_window;
    const std::string& m_tableName;
    std::string m_context;
    const std::vector<TFieldDef>* m_rowDefs = nullptr;
    std::uint32_t m_row = 0;
    std::size_t m_column = 0;
};

struct TPropertyHead {
    std::string_view Name;
    std::uint32_t Type = 0;
    std::size_t TypeAt = 0;
};

TPropertyHead ReadPropertyHead(TPacketReader& r) {
    TPropertyHead head;
    const std::uint8_t length = r.U8("プロパティ名の長さ");
    head.Name = r.Bytes(length, "プロパティ名");
    head.TypeAt = r.Offset();
    head.Type = r.U32("プロパティの型コード");
    return head;
}

std::uint32_t PrefixSize(TPacketReader& r, const TPropertyHead& head) {
    const std::uint32_t size = head.Type & kTypeSizeMask;
    if (size != 1 && size != 2 && size != 4) {
        r.Corrupt(head.TypeAt, "プロパティ " + Shown(head.Name) + " の型 " + Hex32(head.Type) +
                                   " の長さの大きさ " + std::to_string(size) +
                                   " は 1, 2, 4 のいずれでもありません");
    }
    return size;
}

// Skips a property value of any type.
void SkipValue(TPacketReader& r, const TPropertyHead& head) {
    const std::uint32_t size = head.Type & kTypeSizeMask;
    const bool varying = head.Type & kTypeVarying;
    if (!(head.Type & kTypeArray)) {
        if (varying) {
            r.Prefixed(PrefixSize(r, head), "プロパティの値");
        } else {
            r.Bytes(size, "プロパティの値");
        }
        return;
    }
    const std::size_t countAt = r.Offset();
    const std::uint32_t count = r.U32("配列の要素数");
    if (!varying) {
        r.Bytes(std::uint64_t{count} * size, "配列の要素");
        return;
    }
    const std::uint32_t prefix = PrefixSize(r, head);
    if (count > r.Remaining() / prefix) {
        r.Corrupt(countAt, "配列の要素数 " + std::to_string(count) + " が残りの " +
                               std::to_string(r.Remaining()) + " バイトに収まりません");
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        r.Prefixed(prefix, "配列の要素");
    }
}

std::string ReadStringProperty(TPacketReader& r, const TPropertyHead& head) {
    if ((head.Type & (kTypeBaseMask | kTypeVarying | kTypeArray)) != (kBaseString | kTypeVarying)) {
        r.Corrupt(head.TypeAt, "プロパティ " + Shown(head.Name) + " の型 " + Hex32(head.Type) +
                                   " は文字列ではありません");
    }
    return std::string(UpToZero(r.Prefixed(PrefixSize(r, head), "プロパティの値")));
}

std::uint32_t ReadCountProperty(TPacketReader& r, const TPropertyHead& head) {
    const std::uint32_t base = head.Type & kTypeBaseMask;
    const std::uint32_t size = head.Type & kTypeSizeMask;
    if ((head.Type & (kTypeVarying | kTypeArray)) ||
        (base != kBaseSigned && base != kBaseUnsigned) || (size != 1 && size != 2 && size != 4)) {
        r.Corrupt(head.TypeAt, "プロパティ " + Shown(head.Name) + " の型 " + Hex32(head.Type) +
                                   " は整数ではありません");
    }
    const std::size_t at = r.Offset();
    std::uint32_t value = 0;
    std::uint32_t sign = 0;
    switch (size) {
        case 1:
            value = r.U8("プロパティの値");
            sign = 0x80;
            break;
        case 2:
            value = r.U16("プロパティの値");
            sign = 0x8000;
            break;
        default:
            value = r.U32("プロパティの値");
            sign = 0x80000000;
            break;
    }
    if (base == kBaseSigned && (value & sign)) {
        r.Corrupt(at, "プロパティ " + Shown(head.Name) + " の値が負です");
    }
    return value;
}

// How a column's values are stored in the rows.
enum class TCodec : std::uint8_t { Int32, DateTime, Text8, Text16, Memo };

struct TColumn {
    TFieldDef Def;
    TCodec Codec = TCodec::Int32;
};

TColumn ReadColumn(TPacketReader& r, std::size_t index, std::set<std::string>& seen) {
    const std::string label = "列 " + std::to_string(index + 1);
    r.SetContext(label);
    const std::size_t nameAt = r.Offset();
    const std::uint8_t nameLength = r.U8("列名の長さ");
    if (nameLength == 0 || nameLength > kMaxNameLength) {
        r.Corrupt(nameAt, "列名の長さ " + std::to_string(nameLength) +
                              " は 1 から 31 でなければなりません");
    }
    const std::string_view name = r.Bytes(nameLength, "列名");
    if (name.find('\0') != std::string_view::npos) {
        r.Corrupt(nameAt + 1, "列名に 0 バイトが含まれています");
    }
    if (!seen.insert(UpperAscii(name)).second) {
        r.Corrupt(nameAt, "列名 " + Shown(name) + " が重複しています");
    }
    r.SetContext(label + " " + Shown(name));

    TColumn column;
    column.Def.Name = std::string(name);
    const std::size_t typeAt = r.Offset();
    const std::uint32_t type = r.U32("列の型コード");
    r.U16("列の属性");
    const std::uint16_t propertyCount = r.U16("列のプロパティの数");
    std::optional<std::string> subtype;
    std::size_t subtypeAt = 0;
    std::optional<std::uint32_t> width;
    std::size_t widthAt = 0;
    for (std::uint16_t i = 0; i < propertyCount; ++i) {
        const TPropertyHead head = ReadPropertyHead(r);
        if (head.Name == kPropSubtype) {
            subtypeAt = r.Offset();
            subtype = ReadStringProperty(r, head);
        } else if (head.Name == kPropWidth) {
            widthAt = r.Offset();
            width = ReadCountProperty(r, head);
        } else {
            SkipValue(r, head);
        }
    }

    auto refuseSubtype = [&] {
        r.Unsupported(subtypeAt, "型 " + Hex32(type) + " の SUBTYPE " + Shown(*subtype) +
                                     " には対応していません");
    };
    switch (type) {
        case kTypeInt32:
            if (!subtype) {
                column.Def.Kind = TFieldKind::Integer;
            } else if (*subtype == kSubtypeAutoInc) {
                column.Def.Kind = TFieldKind::AutoInc;
            } else {
                refuseSubtype();
            }
            column.Codec = TCodec::Int32;
            break;
        case kTypeDateTime:
            if (subtype) {
                refuseSubtype();
            }
            column.Def.Kind = TFieldKind::DateTime;
            column.Codec = TCodec::DateTime;
            break;
        case kTypeText8:
        case kTypeText16:
            if (subtype) {
                refuseSubtype();
            }
            if (width && (*width == 0 || *width > kMaxWidth)) {
                r.Corrupt(widthAt, "テキストの幅 " + std::to_string(*width) +
                                       " は 1 から 65535 でなければなりません");
            }
            column.Def.Kind = TFieldKind::Text;
            column.Def.Size = width ? static_cast<int>(*width) : kDefaultTextWidth;
            column.Codec = type == kTypeText8 ? TCodec::Text8 : TCodec::Text16;
            break;
        case kTypeMemo:
            if (!subtype) {
                // Bytes that are not marked as text; the program never stores such a column.
                r.Unsupported(typeAt, "SUBTYPE 'Text' のないバイト列の列には対応していません");
            }
            if (*subtype != kSubtypeText) {
                refuseSubtype();
            }
            if (width && *width > kMaxWidth) {
                r.Corrupt(widthAt, "メモの大きさ " + std::to_string(*width) +
                                       " は 65535 以下でなければなりません");
            }
            column.Def.Kind = TFieldKind::Memo;
            column.Def.Size = width ? static_cast<int>(*width) : 0;
            column.Codec = TCodec::Memo;
            break;
        default:
            if (type & kTypeArray) {
                r.Unsupported(typeAt, "配列型の列 (型 " + Hex32(type) + ") には対応していません");
            }
            r.Unsupported(typeAt, "列の型 " + Hex32(type) + " には対応していません");
    }
    return column;
}

// Refuses a packet that lacks a declared field or holds it with another kind.
void CheckDeclaredFields(const TTable& table, const std::vector<TFieldDef>& defs) {
    for (const TFieldDef& declared : table.DeclaredFieldDefs()) {
        const TFieldDef* found = nullptr;
        for (const TFieldDef& def : defs) {
            if (EqualsIgnoringAsciiCase(def.Name, declared.Name)) {
                found = &def;
                break;
            }
        }
        if (!found && declared.OptionalInFiles) {
            continue;
        }
        if (!found) {
            throw ETableError("項目 '" + declared.Name + "' が見つかりません");
        }
        if (found->Kind != declared.Kind) {
            throw ETableError("項目 '" + declared.Name + "' の型が一致しません。" +
                              FieldKindName(declared.Kind) + " に対して " +
                              FieldKindName(found->Kind) + " が渡されました。");
        }
    }
}

TLoadedValue ReadValue(TPacketReader& r, TCodec codec) {
    TLoadedValue value;
    value.Null = false;
    switch (codec) {
        case TCodec::Int32:
            value.Number = r.I32("整数値");
            break;
        case TCodec::DateTime: {
            const std::size_t at = r.Offset();
            const double stored = r.F64("日時の値");
            if (!(std::fabs(stored) <= kMaxStoredDateTime)) {
                r.Corrupt(at, "日時の値 " + Number(stored) + " が範囲外です");
            }
            value.Number = std::llround(stored) - kDateTimeShiftMs;
            break;
        }
        case TCodec::Text8:
            value.Text = UpToZero(r.Prefixed(1, "テキスト"));
            break;
        case TCodec::Text16:
            value.Text = UpToZero(r.Prefixed(2, "テキスト"));
            break;
        case TCodec::Memo:
            value.Text = UpToZero(r.Prefixed(4, "メモ"));
            break;
    }
    return value;
}

// What the part of a packet before its rows says.
struct TPacketHead {
    std::vector<TFieldDef> defs;
    std::vector<TCodec> codecs;
    int autoIncIndex = -1;
    std::optional<std::int32_t> counter;
    std::uint32_t rowCount = 0;
    std::size_t statusBytes = 0;
};

// Reads the header, the columns and the table properties, and opens the scratch table with the
// packet's fields; the reader ends at the first row.
TPacketHead ParseHead(TPacketReader& r, const TTable& table, TTable& scratch) {
    TPacketHead h;
    if (r.Size() < kHeaderSize) {
        r.Corrupt(0, "ヘッダーには 24 バイト必要ですが、パケットは " + std::to_string(r.Size()) +
                         " バイトしかありません");
    }
    const std::uint32_t signature = r.U32("署名");
    if (signature != kTablePacketSignature) {
        r.Corrupt(0, "署名 " + Hex32(signature) + " は " + Hex32(kTablePacketSignature) +
                         " ではありません");
    }
    const std::uint16_t major = r.U16("版");
    const std::uint16_t minor = r.U16("版");
    if (major > kMaxReadableVersion || minor > kMaxReadableVersion) {
        r.Unsupported(4, "版 " + std::to_string(major) + "." + std::to_string(minor) +
                             " には対応していません (3.3 まで)");
    }
    const std::uint32_t headerSize = r.U32("ヘッダーの大きさ");
    const std::uint16_t columnCount = r.U16("列の数");
    const std::uint32_t rowCount = r.U32("行数");
    const std::uint32_t flags = r.U32("フラグ");
    const std::uint16_t firstRow = r.U16("先頭行の位置");
    if (headerSize < kHeaderSize || headerSize > r.Size()) {
        r.Corrupt(8, "ヘッダーの大きさ " + std::to_string(headerSize) +
                         " は 24 からパケットの長さ " + std::to_string(r.Size()) +
                         " まででなければなりません");
    }
    r.Seek(headerSize);

    // Every column description takes at least 9 bytes.
    if (columnCount == 0 || columnCount > r.Remaining() / 9) {
        r.Corrupt(12, "列の数 " + std::to_string(columnCount) + " は 1 から残りの " +
                          std::to_string(r.Remaining()) +
                          " バイトに収まる数まででなければなりません");
    }
    std::set<std::string> seen;
    for (std::size_t j = 0; j < columnCount; ++j) {
        const std::size_t at = r.Offset();
        TColumn column = ReadColumn(r, j, seen);
        if (column.Def.Kind == TFieldKind::AutoInc) {
            if (h.autoIncIndex >= 0) {
                r.Corrupt(at, "自動採番の列が 2 つあります (" + Shown(h.defs[h.autoIncIndex].Name) +
                                  " と " + Shown(column.Def.Name) + ")");
            }
            h.autoIncIndex = static_cast<int>(j);
        }
        h.defs.push_back(std::move(column.Def));
        h.codecs.push_back(column.Codec);
    }
    r.SetContext("");
    CheckDeclaredFields(table, h.defs);
    try {
        scratch.OpenEmpty(h.defs);
    } catch (const ETableError& e) {
        r.Unsupported(12, e.what());
    }

    r.SetContext("表プロパティ");
    const std::uint16_t tablePropertyCount = r.U16("表プロパティの数");
    for (std::uint16_t i = 0; i < tablePropertyCount; ++i) {
        const TPropertyHead head = ReadPropertyHead(r);
        if (head.Name == kPropAutoIncValue) {
            if (head.Type != kTypeInt32) {
                r.Corrupt(head.TypeAt, "AUTOINCVALUE の型 " + Hex32(head.Type) + " は " +
                                           Hex32(kTypeInt32) + " ではありません");
            }
            h.counter = r.I32("AUTOINCVALUE の値");
        } else {
            SkipValue(r, head);
        }
    }
    r.SetContext("");

    if (flags & kFlagFirstRowValid) {
        if (firstRow < r.Offset() || firstRow > r.Size()) {
            r.Corrupt(kFirstRowAt, "先頭行の位置 " + std::to_string(firstRow) +
                                       " は表プロパティの終わり " + std::to_string(r.Offset()) +
                                       " からパケットの長さ " + std::to_string(r.Size()) +
                                       " まででなければなりません");
        }
        r.Seek(firstRow);
    }
    const std::size_t statusBytes = StatusBytes(h.defs.size());
    if (rowCount > r.Remaining() / (1 + statusBytes)) {
        r.Corrupt(kRowCountAt, "行数 " + std::to_string(rowCount) + " は残りの " +
                                   std::to_string(r.Remaining()) +
                                   " バイトに収まりません (1 行に少なくとも " +
                                   std::to_string(1 + statusBytes) + " バイト)");
    }
    h.rowCount = rowCount;
    h.statusBytes = statusBytes;
    return h;
}

void ParsePacket(TPacketReader& r, const TTable& table, TTable& scratch) {
    TPacketHead h;
    for (;;) {
        try {
            h = ParseHead(r, table, scratch);
            break;
        } catch (const TPacketReader::TNeedMore& more) {
            // A head larger than the first window: read more and start again.
            r.Refill(0, more.bytes);
            r.Seek(0);
        }
    }
    const std::vector<TFieldDef>& defs = h.defs;
    const std::size_t statusBytes = h.statusBytes;
    std::int64_t highest = 0;
    std::vector<TLoadedValue> values(defs.size());
    const auto readRow = [&](std::uint32_t row) {
        r.SetRowContext(&defs, row, defs.size());
        const std::size_t stateAt = r.Offset();
        const std::uint8_t state = r.U8("行の状態");
        if (state != 0) {
            r.Unsupported(stateAt, "行の状態 " + std::to_string(state) + " には対応していません");
        }
        const std::size_t statusAt = r.Offset();
        const std::string_view status = r.Bytes(statusBytes, "状態ビット");
        for (std::size_t j = 0; j < defs.size(); ++j) {
            r.SetRowContext(&defs, row, j);
            const unsigned bits = static_cast<unsigned char>(status[j / 4]) >> (2 * (j % 4)) & 3;
            if (bits & kStatusUnchanged) {
                r.Unsupported(statusAt + j / 4, "「変更なし」の状態ビットには対応していません");
            }
            if (bits & kStatusNull) {
                values[j] = TLoadedValue{};
            } else {
                values[j] = ReadValue(r, h.codecs[j]);
            }
        }
    };
    for (std::uint32_t row = 0; row < h.rowCount; ++row) {
        const std::size_t rowStart = r.Offset();
        for (;;) {
            try {
                readRow(row);
                break;
            } catch (const TPacketReader::TNeedMore& more) {
                r.Refill(rowStart, more.bytes);
                r.Seek(rowStart);
            }
        }
        scratch.AppendLoadedRecord(values);
        if (h.autoIncIndex >= 0 && !values[h.autoIncIndex].Null) {
            highest = std::max<std::int64_t>(highest, values[h.autoIncIndex].Number);
        }
    }
    r.SetContext("");
    if (r.Remaining() != 0) {
        r.Corrupt(r.Offset(), "最後の行の後に " + std::to_string(r.Remaining()) +
                                  " バイトの余分なデータがあります");
    }

    if (h.counter && h.autoIncIndex >= 0 && *h.counter <= highest) {
        // A counter that would hand out a number already in the table is raised; for a sound
        // file this never happens, as numbers are never reused.
        scratch.SetAutoIncValue(static_cast<std::int32_t>(
            std::min<std::int64_t>(highest + 1, std::numeric_limits<std::int32_t>::max())));
        scratch.NoteAutoIncRaisedFrom(*h.counter);
    } else if (h.counter) {
        scratch.SetAutoIncValue(*h.counter);
    } else if (h.autoIncIndex >= 0) {
        // Without a stored counter, continue after the highest number so none is handed out twice.
        scratch.SetAutoIncValue(static_cast<std::int32_t>(
            std::min<std::int64_t>(highest + 1, std::numeric_limits<std::int32_t>::max())));
    }
}

}  // namespace

void SaveTableToStream(TTable& table, TStream& out) {
    if (!table.Active()) {
        RefuseSave(table, "テーブルが開かれていません");
    }
    if (table.State() != TDataSetState::Browse) {
        RefuseSave(table, "編集中のレコードがあります");
    }
    // The records hold their current values whatever the change log keeps for undo, so a
    // table is written as it stands; the ontology file merges the logs only once the file is
    // safely in place.
    const std::vector<TFieldDef>& defs = table.FieldDefs();
    CheckWritable(table, defs);
    bool hasAutoInc = false;
    for (const TFieldDef& def : defs) {
        hasAutoInc = hasAutoInc || def.Kind == TFieldKind::AutoInc;
    }

    // The only values a table can hold and a packet cannot are checked before a byte is
    // written, so a refused table leaves the stream as it was.
    std::vector<int> dateFields;
    for (std::size_t j = 0; j < defs.size(); ++j) {
        if (defs[j].Kind == TFieldKind::DateTime) {
            dateFields.push_back(static_cast<int>(j));
        }
    }
    if (!dateFields.empty()) {
        table.ForEachRecordView([&](const TRecordView& record) {
            for (int j : dateFields) {
                const double stored =
                    static_cast<double>(record.DateTime(j).Milliseconds()) + kDateTimeShiftMs;
                if (!record.IsNull(j) && !(std::fabs(stored) <= kMaxStoredDateTime)) {
                    RefuseSave(table, "項目 '" + defs[j].Name + "' の日時が範囲外です");
                }
            }
        });
    }
    const std::size_t rows = table.StoredRecordCount();
    if (rows > std::numeric_limits<std::uint32_t>::max()) {
        RefuseSave(table, "レコードが多すぎます");
    }

    TPacketWriter w;
    w.U32(kTablePacketSignature);
    w.U16(kMajorVersion);
    w.U16(kMinorVersion);
    w.U32(kHeaderSize);
    w.U16(static_cast<std::uint16_t>(defs.size()));
    w.U32(static_cast<std::uint32_t>(rows));
    w.U32(kFlagWritten | kFlagFirstRowValid);
    w.U16(0);  // first row, set below
    for (const TFieldDef& def : defs) {
        WriteColumn(w, def);
    }
    w.U16(hasAutoInc ? 1 : 0);
    if (hasAutoInc) {
        w.Name(kPropAutoIncValue);
        w.U32(kTypeInt32);
        w.I32(table.AutoIncValue());
    }

    // The rows start here, and so does the end of a packet without rows.
    const std::size_t firstRow = w.Size();
    if (firstRow > 0xFFFF) {
        RefuseSave(table, "列の記述が長すぎます");
    }
    w.PatchU16(kFirstRowAt, static_cast<std::uint16_t>(firstRow));
    table.ForEachRecordView([&](const TRecordView& record) {
        WriteRow(w, table, defs, record);
        w.Flush(out, false);
    });
    w.Flush(out, true);
}

void LoadTableFromStream(TTable& table, TStream& in) {
    const std::int64_t remaining = in.Remaining();
    if (remaining <= 0) {
        throw ETableError("テーブル '" + table.TableName() +
                          "' を開けません: ストリームにデータがありません");
    }
    if (static_cast<std::uint64_t>(remaining) > std::numeric_limits<std::size_t>::max() / 2) {
        throw ETableError("テーブル '" + table.TableName() + "' のパケットが大きすぎます");
    }
    LoadTableFromSource(table, static_cast<std::size_t>(remaining),
                        [&in](char* buffer, std::size_t n) { return in.Read(buffer, n); });
}

namespace {

void LoadPacket(TTable& table, TPacketReader& r) {
    if (r.Size() == 0) {
        throw ETableError("テーブル '" + table.TableName() +
                          "' を開けません: ストリームにデータがありません");
    }
    TTable scratch(table.TableName(), table.DeclaredFieldDefs());
    ParsePacket(r, table, scratch);
    table.AdoptContents(scratch);
}

}  // namespace

void LoadTableFromBytes(TTable& table, std::string_view packet) {
    TPacketReader r(packet, table.TableName());
    LoadPacket(table, r);
}

void LoadTableFromSource(TTable& table, std::size_t length, const TPacketSource& read) {
    TPacketReader r(length, read, table.TableName());
    LoadPacket(table, r);
}

}  // namespace velmora::store
