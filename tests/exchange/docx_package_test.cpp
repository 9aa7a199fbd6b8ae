#include "docx_package.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace velmora::exchange::docx {
namespace {

struct TEntry {
    std::string name;
    std::string data;
    zip_uint16_t method = 0;
};

std::vector<TEntry> ReadZip(const std::string& path) {
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (zip == nullptr) {
        ADD_FAILURE() << "cannot open " << path << " as a zip (" << error << ")";
        return {};
    }
    std::vector<TEntry> entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &stat);
        TEntry entry{stat.name, std::string(stat.size, '\0'), stat.comp_method};
        zip_file_t* file = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
        EXPECT_EQ(zip_fread(file, entry.data.data(), stat.size),
                  static_cast<zip_int64_t>(stat.size));
        zip_fclose(file);
        entries.push_back(std::move(entry));
    }
    zip_close(zip);
    return entries;
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(DocxEscape, EscapesMarkupAndDropsWhatXmlForbids) {
    const std::string fffd = "\xEF\xBF\xBD";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
        {"&amp;", "&amp;amp;"},
        {"tab\tlf\ncr\r", "tab\tlf\ncr\r"},
        {std::string("x\x00\x01\x08\x0B\x0C\x1F\x7Fy", 10), "xy"},
        {"\xEF\xBF\xBE\xEF\xBF\xBF|\xEF\xBF\xBD", "|" + fffd},  // U+FFFE, U+FFFF; U+FFFD stays
        {"概念〜　\xF0\x9F\x98\x80", "概念〜　\xF0\x9F\x98\x80"},
        {"cut\xE6\xA6", "cut" + fffd + fffd},
        {"\x80z", fffd + "z"},
        {"\xED\xA0\x80", fffd + fffd + fffd},             // a surrogate
        {"\xC0\xAF", fffd + fffd},                        // an overlong "/"
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},  // above U+10FFFF
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(Escaped(input), expected) << input;
    }
}

TEST(DocxXmlBuffer, KeepsTextWholeAcrossBlocks) {
    TXmlBuffer buffer;
    std::string expected;
    const std::string piece(300000, 'x');
    for (int i = 0; i < 10; ++i) {
        buffer.Append(piece);
        buffer.AppendEscaped("<&>");
        expected += piece + "&lt;&amp;&gt;";
    }
    EXPECT_GT(buffer.BlocksInMemory(), 1u);
    EXPECT_EQ(buffer.SpilledBytes(), 0u);
    EXPECT_EQ(buffer.Size(), expected.size());
    EXPECT_EQ(buffer.ToString(), expected);
}

// A big part keeps only its newest blocks in memory; the text read back is still whole, in
// the buffer and in the archive.
TEST(DocxXmlBuffer, MovesOldBlocksToATemporaryFile) {
    TXmlBuffer buffer;
    std::string expected;
    for (int i = 0; i < 40000; ++i) {
        const std::string line = "<w:p>" + std::to_string(i) + std::string(300, 'y') + "</w:p>";
        buffer.Append(line);
        expected += line;
    }
    EXPECT_GT(buffer.SpilledBytes(), 0u);
    EXPECT_LE(buffer.BlocksInMemory(), 5u);
    EXPECT_EQ(buffer.ToString(), expected);

    TXmlBuffer moved = std::move(buffer);
    EXPECT_EQ(moved.ToString(), expected);
    TXmlBuffer::TReader reader(moved);
    std::string inSmallReads;
    char piece[4097];
    while (const std::size_t n = reader.Read(piece, sizeof piece)) {
        inSmallReads.append(piece, n);
    }
    EXPECT_EQ(inSmallReads, expected);
}

TEST(DocxRelationshipPartName, FollowsTheSourcePart) {
    EXPECT_EQ(RelationshipPartName(""), "_rels/.rels");
    EXPECT_EQ(RelationshipPartName("word/document.xml"), "word/_rels/document.xml.rels");
}

class DocxPackage : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::path(::testing::TempDir()) /
                ("velmora_docx_package_" + std::string(info->name()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);

        // Large enough that its oldest blocks go to the temporary file, so the archive reads
        // both the file and the blocks in memory.
        TXmlBuffer& document = m_package.AddPart("word/document.xml", std::string(kDocumentType));
        for (int i = 0; i < 150000; ++i) {
            document.Append("<w:p><w:r><w:t>" + std::to_string(i) + " 概念</w:t></w:r></w:p>");
        }
        m_package.AddPart("word/styles.xml", std::string(kStylesType)).Append("<w:styles/>");
        m_package.AddPart("docProps/core.xml", std::string(kCorePropertiesType));
        m_package.AddRelationship("", kOfficeDocumentRelationship, "word/document.xml");
        m_package.AddRelationship("", kCorePropertiesRelationship, "docProps/core.xml");
        m_package.AddRelationship("word/document.xml", kStylesRelationship, "word/styles.xml");
        m_package.AddRelationship("word/document.xml", kCorePropertiesRelationship,
                                  "docProps/core.xml");
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    std::vector<std::string> DirectoryEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    std::filesystem::path m_dir;
    TPackage m_package;
};

TEST_F(DocxPackage, WritesContentTypesFirstThenPartsAndTheirRelationships) {
    for (const TCompression compression : {TCompression::kDeflate, TCompression::kStore}) {
        const std::string path = Path("out.docx");
        m_package.Write(path, compression);

        // Readers that sniff the format look at the first local header, not the directory.
        const std::string bytes = ReadBytes(path);
        ASSERT_GT(bytes.size(), 49u);
        EXPECT_EQ(bytes.substr(0, 4), "PK\x03\x04");
        EXPECT_EQ(bytes.substr(30, 19), "[Content_Types].xml");

        const std::vector<TEntry> entries = ReadZip(path);
        std::vector<std::string> names;
        for (const TEntry& entry : entries) {
            names.push_back(entry.name);
            EXPECT_EQ(entry.method,
                      compression == TCompression::kStore ? ZIP_CM_STORE : ZIP_CM_DEFLATE)
                << entry.name;
        }
        EXPECT_EQ(names,
                  (std::vector<std::string>{"[Content_Types].xml", "_rels/.rels",
                                            "word/document.xml", "word/styles.xml",
                                            "docProps/core.xml", "word/_rels/document.xml.rels"}));
        ASSERT_EQ(entries.size(), 6u);
        ASSERT_GT(m_package.Find("word/document.xml")->data.SpilledBytes(), 0u);
        EXPECT_EQ(entries[2].data, m_package.Find("word/document.xml")->data.ToString());
        EXPECT_EQ(entries[4].data, "");

        const std::string& types = entries[0].data;
        for (const TPart& part : m_package.Parts()) {
            EXPECT_NE(types.find("<Override PartName=\"/" + part.name + "\" ContentType=\"" +
                                 part.contentType + "\"/>"),
                      std::string::npos)
                << part.name;
        }
        EXPECT_NE(types.find("<Default Extension=\"rels\""), std::string::npos);

        // Targets are relative to the source's folder, or absolute when outside it.
        EXPECT_NE(
            entries[1].data.find("Id=\"rId1\" Type=\"" + std::string(kOfficeDocumentRelationship) +
                                 "\" Target=\"word/document.xml\""),
            std::string::npos);
        EXPECT_NE(entries[1].data.find("Id=\"rId2\""), std::string::npos);
        EXPECT_NE(entries[5].data.find("Id=\"rId1\" Type=\"" + std::string(kStylesRelationship) +
                                       "\" Target=\"styles.xml\""),
                  std::string::npos);
        EXPECT_NE(
            entries[5].data.find("Id=\"rId2\" Type=\"" + std::string(kCorePropertiesRelationship) +
                                 "\" Target=\"/docProps/core.xml\""),
            std::string::npos);
        EXPECT_EQ(DirectoryEntries(), std::vector<std::string>{"out.docx"});
    }
}

TEST_F(DocxPackage, RefusesAPartAddedTwice) {
    EXPECT_THROW(m_package.AddPart("word/styles.xml", "application/xml"), std::logic_error);
}

TEST_F(DocxPackage, FailureNamesTheFileAndItsReason) {
    std::ofstream(Path("plain")) << "a file, not a folder";
    const std::string path = Path("plain") + "/out.docx";
    try {
        m_package.Write(path);
        FAIL() << "no error";
    } catch (const store::EVelmoraError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_NE(message.find(path + ": パスの途中にフォルダーでないものがあります"),
                  std::string::npos)
            << message;
    }
}

// Fails every file operation of a write in turn: each failure leaves the previous file as it
// was, or (a failed folder sync after the new file was put in place) the whole new file, and
// nothing else in the folder.
TEST_F(DocxPackage, AFailedWriteLeavesThePreviousFileAndNoTemporary) {
    const std::string path = Path("out.docx");
    std::ofstream(path) << "previous";
    bool written = false;
    for (int failAt = 1; !written && failAt < 20; ++failAt) {
        store::TFaultyFileSystem faulty(store::RealFileSystem(), failAt);
        try {
            m_package.Write(path, TCompression::kDeflate, faulty);
            written = true;
            EXPECT_FALSE(faulty.Failed());
        } catch (const store::EVelmoraError& e) {
            EXPECT_TRUE(faulty.Failed()) << failAt;
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            if (ReadBytes(path) != "previous") {
                EXPECT_EQ(ReadZip(path).size(), 6u) << failAt;
            }
        }
        EXPECT_EQ(DirectoryEntries(), std::vector<std::string>{"out.docx"}) << failAt;
    }
    ASSERT_TRUE(written);
    EXPECT_EQ(ReadZip(path).size(), 6u);
}

}  // namespace
}  // namespace velmora::exchange::docx
