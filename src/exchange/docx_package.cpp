#include "docx_package.h"

#include <fcntl.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "code_page.h"

namespace velmora::exchange::docx {
namespace {

constexpr std::size_t kBlockSize = 1 << 20;
constexpr std::size_t kBlocksKeptInMemory = 4;
// Deflate's fast levels already shrink document XML some twenty-five-fold; the default level
// would double the time of a large export for a file half as big.
constexpr zip_uint32_t kDeflateLevel = 3;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kXmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

// The target as the source's relationship part names it: relative to the source's folder
// when it lies inside it, otherwise from the package root.
std::string RelativeTarget(std::string_view source, std::string_view target) {
    if (source.empty()) {
        return std::string(target);
    }
    const std::size_t slash = source.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view() : source.substr(0, slash + 1);
    if (!folder.empty() && target.substr(0, folder.size()) == folder) {
        return std::string(target.substr(folder.size()));
    }
    return "/" + std::string(target);
}

std::string ContentTypesXml(const std::deque<TPart>& parts) {
    std::string xml(kXmlDeclaration);
    xml += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">";
    xml += "<Default Extension=\"rels\" ContentType=\"";
    xml += kRelationshipsType;
    xml += "\"/><Default Extension=\"xml\" ContentType=\"application/xml\"/>";
    for (const TPart& part : parts) {
        xml += "<Override PartName=\"/";
        AppendEscaped(xml, part.name);
        xml += "\" ContentType=\"";
        AppendEscaped(xml, part.contentType);
        xml += "\"/>";
    }
    xml += "</Types>";
    return xml;
}

std::string RelationshipsXml(std::string_view source,
                             const std::vector<TRelationship>& relationships) {
    std::string xml(kXmlDeclaration);
    xml += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (const TRelationship& r : relationships) {
        if (r.source != source) {
            continue;
        }
        xml += "<Relationship Id=\"";
        AppendEscaped(xml, r.id);
        xml += "\" Type=\"";
        AppendEscaped(xml, r.type);
        xml += "\" Target=\"";
        AppendEscaped(xml, RelativeTarget(source, r.target));
        xml += "\"/>";
    }
    xml += "</Relationships>";
    return xml;
}

struct TSourceFree {
    void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using TSourcePtr = std::unique_ptr<zip_source_t, TSourceFree>;

// Builds the archive in memory; the caller writes the bytes it holds to disk.
class TArchive {
public:
    TArchive(const std::string& path, TCompression compression)
        : m_path(path),
          m_method(compression == TCompression::kStore ? ZIP_CM_STORE : ZIP_CM_DEFLATE) {
        zip_error_t error;
        zip_error_init(&error);
        m_output.reset(zip_source_buffer_create(nullptr, 0, 0, &error));
        if (m_output) {
            zip_source_keep(m_output.get());  // it must outlive zip_close
            m_zip = zip_open_from_source(m_output.get(), ZIP_TRUNCATE, &error);
        }
        if (m_zip == nullptr) {
            const std::string reason = zip_error_strerror(&error);
            zip_error_fini(&error);
            Fail(reason);
        }
        zip_error_fini(&error);
    }
    TArchive(const TArchive&) = delete;
    TArchive& operator=(const TArchive&) = delete;
    ~TArchive() {
        if (m_zip != nullptr) {
            zip_discard(m_zip);
        }
    }

    // The part is read while the archive is finished, so the buffer must live until then.
    void Add(std::string_view name, const TXmlBuffer& buffer) {
        auto* reader = new TXmlBuffer::TReader(buffer);
        zip_source_t* source = zip_source_function(m_zip, &ReadPart, reader);
        if (source == nullptr) {
            delete reader;
            FailWithZip();
        }
        AddSource(name, source);
    }

    void Add(std::string_view name, std::string text) {
        m_texts.push_back(std::move(text));  // the bytes must live until Finish
        Add(name, std::vector<zip_buffer_fragment_t>{Fragment(m_texts.back())});
    }

    // Completes the archive; then Read gives its bytes.
    void Finish() {
        if (zip_close(m_zip) != 0) {
            FailWithZip();
        }
        m_zip = nullptr;
        if (zip_source_open(m_output.get()) != 0) {
            Fail(zip_error_strerror(zip_source_error(m_output.get())));
        }
    }

    std::size_t Read(char* buffer, std::size_t n) {
        const zip_int64_t got = zip_source_read(m_output.get(), buffer, n);
        if (got < 0) {
            Fail(zip_error_strerror(zip_source_error(m_output.get())));
        }
        return static_cast<std::size_t>(got);
    }

private:
    static zip_buffer_fragment_t Fragment(const std::string& bytes) {
        // libzip only reads the bytes; it takes no ownership (freep 0).
        return {reinterpret_cast<zip_uint8_t*>(const_cast<char*>(bytes.data())), bytes.size()};
    }

    void Add(std::string_view name, const std::vector<zip_buffer_fragment_t>& fragments) {
        zip_source_t* source =
            fragments.empty()
                ? zip_source_buffer(m_zip, nullptr, 0, 0)
                : zip_source_buffer_fragment(m_zip, fragments.data(), fragments.size(), 0);
        if (source == nullptr) {
            FailWithZip();
        }
        AddSource(name, source);
    }

    void AddSource(std::string_view name, zip_source_t* source) {
        const zip_int64_t index =
            zip_file_add(m_zip, std::string(name).c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            FailWithZip();
        }
        if (zip_set_file_compression(m_zip, static_cast<zip_uint64_t>(index), m_method,
                                     kDeflateLevel) != 0) {
            FailWithZip();
        }
    }

    // libzip's callback for a part held in a TXmlBuffer; it must not throw through C code.
    static zip_int64_t ReadPart(void* state, void* data, zip_uint64_t length,
                                zip_source_cmd_t command) {
        auto* reader = static_cast<TXmlBuffer::TReader*>(state);
        switch (command) {
            case ZIP_SOURCE_OPEN:
                reader->Rewind();
                return 0;
            case ZIP_SOURCE_READ:
                try {
                    return static_cast<zip_int64_t>(
                        reader->Read(static_cast<char*>(data), static_cast<std::size_t>(length)));
                } catch (const EDocxError&) {
                    return -1;
                }
            case ZIP_SOURCE_CLOSE:
                return 0;
            case ZIP_SOURCE_STAT: {
                auto* stat = static_cast<zip_stat_t*>(data);
                zip_stat_init(stat);
                stat->size = reader->Size();
                stat->valid |= ZIP_STAT_SIZE;
                return sizeof(zip_stat_t);
            }
            case ZIP_SOURCE_ERROR: {
                zip_error_t error;
                zip_error_init_with_code(&error, ZIP_ER_READ);
                const zip_int64_t n = zip_error_to_data(&error, data, length);
                zip_error_fini(&error);
                return n;
            }
            case ZIP_SOURCE_FREE:
                delete reader;
                return 0;
            case ZIP_SOURCE_SUPPORTS:
                return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                      ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                      ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
            default:
                return -1;
        }
    }

    [[noreturn]] void FailWithZip() { Fail(zip_strerror(m_zip)); }
    [[noreturn]] void Fail(const std::string& reason) {
        throw EDocxError("Word 文書 " + m_path + " を作れません: " + reason);
    }

    std::string m_path;
    zip_int32_t m_method;
    TSourcePtr m_output;
    zip_t* m_zip = nullptr;
    std::deque<std::string> m_texts;
};

}  // namespace

void AppendEscaped(std::string& out, std::string_view utf8) {
    std::size_t plain = 0;  // start of the bytes not yet copied
    std::size_t i = 0;
    const auto put = [&](std::string_view replacement, std::size_t skip) {
        out.append(utf8.data() + plain, i - plain);
        out += replacement;
        i += skip;
        plain = i;
    };
    while (i < utf8.size()) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte >= 0x80) {
            const std::size_t n = store::Utf8SequenceLength(utf8.substr(i));
            if (n == 0) {
                put(kReplacement, 1);
            } else if (n == 3 && byte == 0xEF && static_cast<unsigned char>(utf8[i + 1]) == 0xBF &&
                       static_cast<unsigned char>(utf8[i + 2]) >= 0xBE) {
                put({}, 3);  // U+FFFE and U+FFFF are not characters to XML
            } else {
                i += n;
            }
            continue;
        }
        switch (byte) {
            case '&':
                put("&amp;", 1);
                break;
            case '<':
                put("&lt;", 1);
                break;
            case '>':
                put("&gt;", 1);
                break;
            case '"':
                put("&quot;", 1);
                break;
            case '\'':
                put("&apos;", 1);
                break;
            case '\t':
            case '\n':
            case '\r':
                ++i;
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    // DEL is allowed by XML but is no text anyone meant to write.
                    put({}, 1);
                } else {
                    ++i;
                }
        }
    }
    out.append(utf8.data() + plain, utf8.size() - plain);
}

std::string Escaped(std::string_view utf8) {
    std::string out;
    AppendEscaped(out, utf8);
    return out;
}

TXmlBuffer::TXmlBuffer(TXmlBuffer&& other) noexcept
    : m_blocks(std::move(other.m_blocks)),
      m_size(std::exchange(other.m_size, 0)),
      m_spillFile(std::exchange(other.m_spillFile, -1)),
      m_spilled(std::exchange(other.m_spilled, 0)) {}

TXmlBuffer& TXmlBuffer::operator=(TXmlBuffer&& other) noexcept {
    if (this != &other) {
        if (m_spillFile >= 0) {
            ::close(m_spillFile);
        }
        m_blocks = std::move(other.m_blocks);
        m_size = std::exchange(other.m_size, 0);
        m_spillFile = std::exchange(other.m_spillFile, -1);
        m_spilled = std::exchange(other.m_spilled, 0);
    }
    return *this;
}

TXmlBuffer::~TXmlBuffer() {
    if (m_spillFile >= 0) {
        ::close(m_spillFile);
    }
}

std::string& TXmlBuffer::Room(std::size_t n) {
    if (m_blocks.empty() || m_blocks.back().size() + n > kBlockSize) {
        if (m_blocks.size() >= kBlocksKeptInMemory) {
            SpillOldestBlock();
        }
        m_blocks.emplace_back().reserve(std::max(n, kBlockSize));
    }
    return m_blocks.back();
}

void TXmlBuffer::SpillOldestBlock() {
    const auto fail = [](const char* what) {
        throw EDocxError(std::string("Word 文書の作業用の一時ファイルを") + what + ": " +
                         std::strerror(errno));
    };
    if (m_spillFile < 0) {
        const char* folder = std::getenv("TMPDIR");
        std::string pattern =
            std::string(folder != nullptr && *folder ? folder : "/tmp") + "/velmora-docx-XXXXXX";
        m_spillFile = ::mkstemp(pattern.data());
        if (m_spillFile < 0) {
            fail("作れません");
        }
        ::unlink(pattern.c_str());  // gone with the descriptor, whatever happens
    }
    const std::string& block = m_blocks.front();
    std::size_t done = 0;
    while (done < block.size()) {
        const ssize_t n = ::pwrite(m_spillFile, block.data() + done, block.size() - done,
                                   static_cast<off_t>(m_spilled + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            fail("書けません");
        }
        done += static_cast<std::size_t>(n);
    }
    m_spilled += block.size();
    m_blocks.pop_front();
}

void TXmlBuffer::Append(std::string_view text) {
    Room(text.size()).append(text);
    m_size += text.size();
}

void TXmlBuffer::AppendEscaped(std::string_view utf8) {
    // Escaping grows text at most sixfold ("'" to "&apos;"); a block may overrun its nominal
    // size by that much, which only costs one reallocation of that block.
    std::string& block = Room(utf8.size());
    const std::size_t before = block.size();
    docx::AppendEscaped(block, utf8);
    m_size += block.size() - before;
}

std::string TXmlBuffer::ToString() const {
    std::string all(m_size, '\0');
    TReader reader(*this);
    std::size_t at = 0;
    while (const std::size_t n = reader.Read(all.data() + at, all.size() - at)) {
        at += n;
    }
    return all;
}

std::size_t TXmlBuffer::TReader::Read(char* out, std::size_t n) {
    const TXmlBuffer& b = *m_buffer;
    if (n == 0) {
        return 0;
    }
    if (m_offset < b.m_spilled) {
        const std::size_t want = std::min(n, b.m_spilled - m_offset);
        ssize_t got;
        do {
            got = ::pread(b.m_spillFile, out, want, static_cast<off_t>(m_offset));
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            throw EDocxError(std::string("Word 文書の作業用の一時ファイルを読めません: ") +
                             (got < 0 ? std::strerror(errno) : "短すぎます"));
        }
        m_offset += static_cast<std::size_t>(got);
        return static_cast<std::size_t>(got);
    }
    // The blocks in memory: few, so finding the one at the offset by walking is cheap.
    std::size_t start = b.m_spilled;
    for (const std::string& block : b.m_blocks) {
        if (m_offset < start + block.size()) {
            const std::size_t within = m_offset - start;
            const std::size_t take = std::min(n, block.size() - within);
            std::memcpy(out, block.data() + within, take);
            m_offset += take;
            return take;
        }
        start += block.size();
    }
    return 0;
}

TXmlBuffer& TPackage::AddPart(std::string name, std::string contentType) {
    if (Find(name) != nullptr) {
        throw std::logic_error("docx part added twice: " + name);
    }
    m_parts.push_back({std::move(name), std::move(contentType), {}});
    return m_parts.back().data;
}

std::string TPackage::AddRelationship(std::string_view source, std::string_view type,
                                      std::string_view target) {
    std::size_t count = 1;
    for (const TRelationship& r : m_relationships) {
        count += r.source == source ? 1 : 0;
    }
    std::string id = "rId" + std::to_string(count);
    m_relationships.push_back({std::string(source), id, std::string(type), std::string(target)});
    return id;
}

const TPart* TPackage::Find(std::string_view name) const {
    for (const TPart& part : m_parts) {
        if (part.name == name) {
            return &part;
        }
    }
    return nullptr;
}

std::string RelationshipPartName(std::string_view source) {
    const std::size_t slash = source.rfind('/');
    if (slash == std::string_view::npos) {
        return "_rels/" + std::string(source) + ".rels";
    }
    return std::string(source.substr(0, slash)) + "/_rels/" +
           std::string(source.substr(slash + 1)) + ".rels";
}

void TPackage::Write(const std::string& path, TCompression compression,
                     store::TFileSystem& fileSystem) const {
    TArchive archive(path, compression);
    archive.Add("[Content_Types].xml", ContentTypesXml(m_parts));
    archive.Add(RelationshipPartName(""), RelationshipsXml("", m_relationships));
    for (const TPart& part : m_parts) {
        archive.Add(part.name, part.data);
    }
    for (const TPart& part : m_parts) {
        for (const TRelationship& r : m_relationships) {
            if (r.source == part.name) {
                archive.Add(RelationshipPartName(part.name),
                            RelationshipsXml(part.name, m_relationships));
                break;
            }
        }
    }
    archive.Finish();

    try {
        store::TFileReplacement file(fileSystem, path);
        std::string buffer(kBlockSize, '\0');
        while (const std::size_t n = archive.Read(buffer.data(), buffer.size())) {
            file.Write(buffer.data(), n);
        }
        file.Commit();
    } catch (const store::EFileSystemError& e) {
        throw EDocxError("Word 文書を保存できません\r\n" + std::string(e.what()));
    }
}

}  // namespace velmora::exchange::docx
