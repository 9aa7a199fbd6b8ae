// Recovery copies: the copy holds the tables and metadata exactly, the background writer takes
// them as they stood when it started, and a damaged copy is refused without touching the store.
#include "recovery_copy.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "store_fixture.h"
#include "table_packet.h"

namespace velmora::store {
namespace {

using testing::StoreFixture;

// The five tables as packets: equal packets mean equal records, counters and field lists.
std::array<std::string, 5> Packets(TDataModule1& store) {
    std::array<std::string, 5> out;
    for (std::size_t t = 0; t < out.size(); ++t) {
        TMemoryStream stream;
        SaveTableToStream(*store.Tables()[t], stream);
        out[t] = stream.Bytes();
    }
    return out;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class RecoveryCopyTest : public StoreFixture {
protected:
    RecoveryCopyTest() : other(context) {
        folder = std::filesystem::temp_directory_path() /
                 ("velmora-recovery-test-" + std::to_string(::getpid()) + "-" +
                  std::to_string(UnixMillisecondsNow()));
        std::filesystem::create_directories(folder);
        copy = (folder / "copy.vrc").string();
        ontology.SetTitle(Utf8ToCp932("回復の試験"));
        ontology.SetFileName("/home/user/試験.ont");
        // Changes of every kind, with undo steps in the log: added, edited, deleted records.
        const std::int32_t top = store.AppendConcept(Utf8ToCp932("最上位"), 0, "top");
        ontology.PushSavePoint(store.TakeSavePoint(TConceptData()));
        const std::int32_t child = store.AppendConcept(Utf8ToCp932("子"), top, "child");
        store.AppendConcept(Utf8ToCp932("消える"), top, "gone");
        ontology.PushSavePoint(store.TakeSavePoint(TConceptData()));
        store.DeleteConceptRecord(child + 1);
        store.AddLabelToConcept(child, Utf8ToCp932("別名"));
        ontology.SetModified(true);
    }
    ~RecoveryCopyTest() override { std::filesystem::remove_all(folder); }

    TOntology ontology;
    TDataModule1 other;
    TOntology restored;
    std::filesystem::path folder;
    std::string copy;
};

TEST_F(RecoveryCopyTest, CopyRestoresTablesMetadataAndItsOwnInformation) {
    const TRecoveryInfo info = RecoveryInfoOf(ontology, 1'700'000'000'123);
    WriteRecoveryCopy(store, ontology, info, RealFileSystem(), copy);
    const auto expected = Packets(store);

    const TRecoveryInfo header = ReadRecoveryInfo(RealFileSystem(), copy);
    const TRecoveryInfo read = LoadRecoveryCopy(other, restored, RealFileSystem(), copy);
    for (const TRecoveryInfo* got : {&header, &read}) {
        EXPECT_EQ(got->FileName, "/home/user/試験.ont");
        EXPECT_EQ(got->Title, Utf8ToCp932("回復の試験"));
        EXPECT_EQ(got->TakenAt, 1'700'000'000'123);
        EXPECT_TRUE(got->CanUndo);
        EXPECT_TRUE(got->Modified);
        EXPECT_EQ(got->SavePoints, 2u);
    }
    EXPECT_EQ(Packets(other), expected);
    EXPECT_EQ(restored.Lines(), ontology.Lines());
    // The copy leaves the session's undo steps alone.
    EXPECT_EQ(ontology.SavePointCount(), 2u);
    EXPECT_NE(store.DtStOriginalConcepts.ChangeCount(), 0);
}

TEST_F(RecoveryCopyTest, BackgroundWriterTakesTheTablesAsTheyStoodWhenItStarted) {
    const auto atStart = Packets(store);
    TRecoveryWriter writer;
    writer.Start(store, ontology, RecoveryInfoOf(ontology, UnixMillisecondsNow()), copy);
    EXPECT_TRUE(writer.Busy());
    // The window goes on editing while the child writes.
    store.AppendConcept(Utf8ToCp932("後から"), 1, "later");
    ontology.SetTitle(Utf8ToCp932("後の題名"));

    const auto result = writer.Wait();
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->Ok) << result->Message;
    EXPECT_FALSE(writer.Busy());
    LoadRecoveryCopy(other, restored, RealFileSystem(), copy);
    EXPECT_EQ(Packets(other), atStart);
    EXPECT_EQ(restored.Title(), Utf8ToCp932("回復の試験"));
}

TEST_F(RecoveryCopyTest, FailedWriteIsReportedAndLeavesThePreviousCopy) {
    WriteRecoveryCopy(store, ontology, RecoveryInfoOf(ontology, 1), RealFileSystem(), copy);
    const std::string before = ReadAll(copy);
    // A regular file where the folder should be: even root cannot write there.
    WriteAll((folder / "plain").string(), "x");
    TRecoveryWriter writer;
    writer.Start(store, ontology, RecoveryInfoOf(ontology, 2),
                 (folder / "plain/copy.vrc").string());
    const auto result = writer.Wait();
    ASSERT_TRUE(result.has_value());
    EXPECT_FALSE(result->Ok);
    EXPECT_NE(result->Message.find("plain/copy.vrc"), std::string::npos) << result->Message;

    // A write cancelled half-way never leaves a half-written copy in place.
    writer.Start(store, ontology, RecoveryInfoOf(ontology, 3), copy);
    writer.Cancel();
    EXPECT_FALSE(writer.Busy());
    const TRecoveryInfo info = ReadRecoveryInfo(RealFileSystem(), copy);
    EXPECT_TRUE(info.TakenAt == 1 || info.TakenAt == 3);
    LoadRecoveryCopy(other, restored, RealFileSystem(), copy);
    EXPECT_EQ(ReadAll(copy).size(), before.size());
}

TEST_F(RecoveryCopyTest, DamagedCopyIsRefusedAndTheStoreKeepsItsTables) {
    WriteRecoveryCopy(store, ontology, RecoveryInfoOf(ontology, 1), RealFileSystem(), copy);
    const std::string good = ReadAll(copy);
    other.CreateTables();
    other.AppendConcept("keep", 0, "keep");
    const auto kept = Packets(other);

    struct TCase {
        const char* what;
        std::string bytes;
    };
    std::string wrongMagic = good;
    wrongMagic[0] = 'X';
    std::string hugeHeader = good;
    hugeHeader[31] = '\x7f';  // body length far beyond the file
    std::string badPacket = good;
    badPacket[badPacket.size() / 2] ^= 0x5A;
    badPacket[badPacket.size() / 2 + 1] ^= 0x5A;
    const TCase cases[] = {
        {"empty", ""},
        {"header cut", good.substr(0, 30)},
        {"wrong magic", wrongMagic},
        {"header length too large", hugeHeader},
        {"image cut", good.substr(0, good.size() - 10)},
        {"an .ont file is no copy", good.substr(good.find("#THIS IS"))},
    };
    for (const TCase& c : cases) {
        WriteAll(copy, c.bytes);
        EXPECT_THROW(LoadRecoveryCopy(other, restored, RealFileSystem(), copy), EVelmoraError)
            << c.what;
        EXPECT_EQ(Packets(other), kept) << c.what;
    }
    // Damage inside a packet either fails the check or reads as other records; never a crash.
    WriteAll(copy, badPacket);
    try {
        LoadRecoveryCopy(other, restored, RealFileSystem(), copy);
    } catch (const EVelmoraError&) {
        EXPECT_EQ(Packets(other), kept);
    }
}

}  // namespace
}  // namespace velmora::store
