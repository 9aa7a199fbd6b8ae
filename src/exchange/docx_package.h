// The container of a .docx file: XML parts in a zip archive, with the content-type list and the
// relationship parts that tie them together, and the XML text escaping every part needs.
//
// A TPackage collects parts (each one a TXmlBuffer grown by appending) and relationships
// between them, and writes them in one go: "[Content_Types].xml" first, as readers that sniff
// the format expect, then the package relationships, then the parts in the order they were
// added, then the parts' relationships. The archive is built in memory and written whole beside
// its target, then renamed into place, so a failed write leaves neither a half-written file
// nor a leftover behind. Every failure raises an EVelmoraError naming the file and the reason.
//
// Part names are given without a leading slash ("word/document.xml"). Single-threaded.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "errors.h"
#include "file_system.h"

namespace velmora::exchange::docx {

class EDocxError : public store::EVelmoraError {
public:
    using EVelmoraError::EVelmoraError;
};

// Content types and relationship types of the parts a word-processing document uses.
inline constexpr std::string_view kRelationshipsType =
    "application/vnd.openxmlformats-package.relationships+xml";
inline constexpr std::string_view kDocumentType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";
inline constexpr std::string_view kStylesType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml";
inline constexpr std::string_view kSettingsType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml";
inline constexpr std::string_view kHeaderType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml";
inline constexpr std::string_view kFooterType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.footer+xml";
inline constexpr std::string_view kCorePropertiesType =
    "application/vnd.openxmlformats-package.core-properties+xml";

inline constexpr std::string_view kOfficeDocumentRelationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
inline constexpr std::string_view kStylesRelationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
inline constexpr std::string_view kSettingsRelationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/settings";
inline constexpr std::string_view kHeaderRelationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/header";
inline constexpr std::string_view kFooterRelationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/footer";
inline constexpr std::string_view kCorePropertiesRelationship =
    "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties";

// Appends UTF-8 text to XML character data or to a quoted attribute value: &, <, >, " and '
// become entity references. Characters XML 1.0 does not allow (controls other than tab, LF and
// CR; U+FFFE, U+FFFF) are dropped; a byte sequence that is not UTF-8 becomes U+FFFD, so the
// part always stays readable.
void AppendEscaped(std::string& out, std::string_view utf8);
std::string Escaped(std::string_view utf8);

// Text kept in blocks of bounded size: growing it never copies what is already there. Beyond a
// few blocks the oldest full blocks move to an unnamed temporary file, so a part of hundreds of
// megabytes costs a few megabytes of memory; the zip reads the file back as it compresses.
class TXmlBuffer {
public:
    TXmlBuffer() = default;
    TXmlBuffer(TXmlBuffer&& other) noexcept;
    TXmlBuffer& operator=(TXmlBuffer&& other) noexcept;
    ~TXmlBuffer();

    void Append(std::string_view text);
    void AppendEscaped(std::string_view utf8);

    std::size_t Size() const { return m_size; }
    std::size_t BlocksInMemory() const { return m_blocks.size(); }
    std::size_t SpilledBytes() const { return m_spilled; }
    std::string ToString() const;

    // Reads the text from its start, the spilled part first; sequential.
    class TReader {
    public:
        explicit TReader(const TXmlBuffer& buffer) : m_buffer(&buffer) {}
        void Rewind() { m_offset = 0; }
        std::size_t Size() const { return m_buffer->Size(); }
        // Up to n bytes into out; 0 at the end. Raises EDocxError when the file cannot be read.
        std::size_t Read(char* out, std::size_t n);

    private:
        const TXmlBuffer* m_buffer;
        std::size_t m_offset = 0;  // into the whole text
    };

private:
    std::string& Room(std::size_t n);
    void SpillOldestBlock();

    std::deque<std::string> m_blocks;
    std::size_t m_size = 0;
    int m_spillFile = -1;
    std::size_t m_spilled = 0;  // the first m_spilled bytes are in the file
};

enum class TCompression { kDeflate, kStore };

struct TPart {
    std::string name;
    std::string contentType;
    TXmlBuffer data;
};

struct TRelationship {
    std::string source;  // the part it belongs to; empty for the package itself
    std::string id;
    std::string type;
    std::string target;  // a part name
};

class TPackage {
public:
    // Adds an empty part and returns its buffer, valid as long as the package. REQUIRES: no part
    // of that name yet.
    TXmlBuffer& AddPart(std::string name, std::string contentType);
    // Relates source (empty: the package) to the part target and returns the relationship's id
    // ("rId1", "rId2", ... counted per source).
    std::string AddRelationship(std::string_view source, std::string_view type,
                                std::string_view target);

    const TPart* Find(std::string_view name) const;
    const std::deque<TPart>& Parts() const { return m_parts; }
    const std::vector<TRelationship>& Relationships() const { return m_relationships; }

    // Writes the archive to path, replacing a file of that name only once it is complete.
    void Write(const std::string& path, TCompression compression = TCompression::kDeflate,
               store::TFileSystem& fileSystem = store::RealFileSystem()) const;

private:
    std::deque<TPart> m_parts;  // a deque: the buffers handed out stay where they are
    std::vector<TRelationship> m_relationships;
};

// The name of the relationship part of a part ("word/_rels/document.xml.rels"; "_rels/.rels"
// for the package).
std::string RelationshipPartName(std::string_view source);

}  // namespace velmora::exchange::docx
