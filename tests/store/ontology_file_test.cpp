#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>

#include "data_module.h"
#include "ontology.h"
#include "store_fixture.h"

namespace velmora::store {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> Entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Every record of every table, as text, so that two stores can be compared whole.
std::vector<std::string> Dump(TDataModule1& store) {
    std::vector<std::string> out;
    for (TTable* table : store.Tables()) {
        out.push_back(table->TableName() + " next=" + std::to_string(table->AutoIncValue()));
        table->ForEachRecord([&](std::span<const TValue> values) {
            std::string line;
            for (const TValue& v : values) {
                if (std::holds_alternative<std::monostate>(v)) {
                    line += "<null>";
                } else if (const auto* n = std::get_if<std::int32_t>(&v)) {
                    line += std::to_string(*n);
                } else if (const auto* s = std::get_if<std::string>(&v)) {
                    line += "'" + *s + "'";
                } else {
                    line += "@" + std::to_string(std::get<TDateTime>(v).Milliseconds());
                }
                line += "|";
            }
            out.push_back(line);
        });
    }
    return out;
}

class OntologyFileTest : public testing::StoreFixture {
protected:
    OntologyFileTest() {
        dir = fs::temp_directory_path() /
              ("velmora-file-test-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "abc.ont").string();
        ontology.SetFileName(path);
        ontology.SetTitle("A");
        ontology.SetDescription("line one\r\nline two");
        Fill(store);
    }
    ~OntologyFileTest() override { fs::remove_all(dir); }

    // Concepts with labels, a mirror image, a deleted concept (so a number is skipped).
    static void Fill(TDataModule1& s) {
        const std::int32_t top = s.BuildNewOntology("target", std::vector<std::string>{"x", "y"});
        const std::int32_t gone = s.AppendConcept("gone", top, "");
        const std::int32_t a = s.AppendConcept(Utf8ToCp932("概念Ａ　"), top, "label");
        TConceptData item;
        item.SetConceptNo(a);
        s.AppendMirrorImage(item, 2);
        s.DeleteConceptTree(gone);
    }

    fs::path dir;
    std::string path;
    TOntology ontology;
};

TEST_F(OntologyFileTest, SavedFileLoadsBackAsTheSameOntology) {
    ASSERT_TRUE(store.SaveOntologyFile(ontology, false));
    EXPECT_FALSE(ontology.CanUndo());
    EXPECT_FALSE(ontology.Modified());
    EXPECT_EQ(store.DtStOriginalConcepts.ChangeCount(), 0);

    const std::string bytes = ReadBytes(path);
    ASSERT_GE(bytes.size(), 88U);
    EXPECT_EQ(bytes.substr(0, 40), "#THIS IS QUILLON FILE FORMAT VER 1.00.  ");
    std::int64_t total = 88;
    for (int i = 0; i < 6; ++i) {
        std::int64_t length = 0;
        std::memcpy(&length, bytes.data() + 40 + 8 * i, 8);
        total += length;
    }
    EXPECT_EQ(total, static_cast<std::int64_t>(bytes.size()));

    TSimpleStoreContext otherContext;
    TDataModule1 other(otherContext);
    TOntology loaded;
    loaded.SetFileName(path);
    int attached = 0;
    other.AddAttachListener([&](TDataModule1&) { ++attached; });
    other.LoadOntologyFile(loaded);
    EXPECT_EQ(attached, 1);
    EXPECT_EQ(loaded.Lines(), ontology.Lines());
    EXPECT_EQ(loaded.Description(), "line one\r\nline two");
    EXPECT_EQ(Dump(other), Dump(store));
    // Numbers continue where they stood, past the deleted concept.
    EXPECT_EQ(other.AppendConcept("next", 1, ""), store.AppendConcept("next", 1, ""));
}

TEST_F(OntologyFileTest, AnEmptyMetadataListIsAnEmptyStream) {
    TOntology empty;
    empty.SetFileName(path);
    ASSERT_TRUE(store.SaveOntologyFile(empty, false));
    const std::string bytes = ReadBytes(path);
    std::int64_t l0 = -1;
    std::memcpy(&l0, bytes.data() + 40, 8);
    EXPECT_EQ(l0, 0);
    TOntology loaded;
    loaded.SetFileName(path);
    loaded.SetTitle("will be replaced");
    store.LoadOntologyFile(loaded);
    EXPECT_EQ(loaded.Count(), 0U);
}

TEST_F(OntologyFileTest, BadFilesAreRefusedAndLeaveTheOpenOntologyAsItWas) {
    ASSERT_TRUE(store.SaveOntologyFile(ontology, false));
    const std::string good = ReadBytes(path);
    const auto before = Dump(store);
    const std::string bad = (dir / "bad.ont").string();
    TOntology target;
    target.SetFileName(bad);
    target.SetTitle("kept");

    std::string version = good;
    version[36] = '1';  // VER 1.01
    std::string hugeLength = good;
    hugeLength[48 + 6] = '\x7f';  // the concepts packet claims petabytes
    std::string negative = good;
    negative[40 + 7] = '\x80';
    const struct {
        const char* what;
        std::string bytes;
        std::string message;
    } kCases[] = {
        {"other magic", version, "ファイルが開けません. ファイルフォーマットが違うようです."},
        {"empty", "", "ファイルが開けません. ファイルフォーマットが違うようです."},
        {"huge length", hugeLength, "ストリームからの読み込みエラー"},
        {"negative length", negative, "ストリームからの読み込みエラー"},
    };
    for (const auto& c : kCases) {
        WriteBytes(bad, c.bytes);
        try {
            store.LoadOntologyFile(target);
            ADD_FAILURE() << c.what;
        } catch (const EVelmoraError& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, c.message.size()), c.message) << c.what;
        }
        EXPECT_EQ(target.Title(), "kept") << c.what;
        EXPECT_EQ(Dump(store), before) << c.what;
    }
    // Cut at every length: always an error, never a crash, and nothing replaced.
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        WriteBytes(bad, good.substr(0, cut));
        EXPECT_THROW(store.LoadOntologyFile(target), EVelmoraError) << cut;
    }
    EXPECT_EQ(Dump(store), before);
    EXPECT_EQ(target.Title(), "kept");

    TOntology missing;
    missing.SetFileName((dir / "missing.ont").string());
    try {
        store.LoadOntologyFile(missing);
        ADD_FAILURE();
    } catch (const EVelmoraError& e) {
        EXPECT_EQ(std::string(e.what()).substr(
                      0, std::string("ファイル ").size() + missing.FileName().size()),
                  "ファイル " + missing.FileName());
    }
}

TEST_F(OntologyFileTest, SavingKeepsOneBackupOfThePreviousVersion) {
    ASSERT_TRUE(store.SaveOntologyFile(ontology, true));
    EXPECT_FALSE(fs::exists(ontology.BackupFileName()));  // a new file has no backup
    const std::string first = ReadBytes(path);
    WriteBytes(ontology.BackupFileName(), "an older backup");

    store.AppendConcept("more", 1, "");
    ASSERT_TRUE(store.SaveOntologyFile(ontology, true));
    EXPECT_EQ(ReadBytes(ontology.BackupFileName()), first);
    EXPECT_NE(ReadBytes(path), first);
    EXPECT_EQ(Entries(dir), (std::vector<std::string>{"abc.ont", "バックアップ-abc.ont"}));
}

TEST_F(OntologyFileTest, SaveAsAsksBeforeReplacingAFile) {
    WriteBytes(path, "someone else's file");
    const struct {
        TAnswer answer;
        bool written;
    } kCases[] = {{TAnswer::No, false}, {TAnswer::Cancel, false}, {TAnswer::Yes, true}};
    for (const auto& c : kCases) {
        TFixedAnswer answer(c.answer);
        store.SetQuestioner(answer);
        EXPECT_EQ(store.SaveOntologyFile(ontology, false), c.written);
        EXPECT_EQ(ReadBytes(path) == "someone else's file", !c.written);
        EXPECT_EQ(store.DtStOriginalConcepts.ChangeCount() == 0, c.written);
    }
    TOntology unnamed;
    try {
        store.SaveOntologyFile(unnamed, true);
        ADD_FAILURE();
    } catch (const EVelmoraError& e) {
        EXPECT_STREQ(e.what(), "ERROR: ファイルセーブできません. ファイル名がありません.");
    }
}

// Every file operation of a save, made to fail in turn: the previous file stays as it was,
// no temporary file is left, and the ontology stays unsaved.
TEST_F(OntologyFileTest, AFailureAtAnyStepOfASaveLosesNothing) {
    ASSERT_TRUE(store.SaveOntologyFile(ontology, true));
    const std::string previous = ReadBytes(path);
    for (int failAt = 1;; ++failAt) {
        SCOPED_TRACE(failAt);
        // New files each round: after a save the two names may share one inode.
        fs::remove(path);
        fs::remove(ontology.BackupFileName());
        WriteBytes(path, previous);
        WriteBytes(ontology.BackupFileName(), "older backup");
        store.AppendConcept("unsaved work", 1, "");
        ontology.SetModified(true);

        TFaultyFileSystem faulty(RealFileSystem(), failAt);
        store.SetFileSystem(faulty);
        bool saved = false;
        try {
            saved = store.SaveOntologyFile(ontology, true);
        } catch (const EVelmoraError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            EXPECT_EQ(ReadBytes(path), previous);
            EXPECT_TRUE(ontology.Modified());
            EXPECT_GT(store.DtStOriginalConcepts.ChangeCount(), 0);
        }
        store.SetFileSystem(RealFileSystem());
        const auto entries = Entries(dir);
        EXPECT_EQ(entries, (std::vector<std::string>{"abc.ont", "バックアップ-abc.ont"}));
        if (saved) {
            // Saved although a step failed: a hard link refused (the backup is a copy then), or
            // the backup not made at all (the older backup stays, and the store says why), or
            // saved with nothing failed: the last round.
            EXPECT_FALSE(ontology.Modified());
            EXPECT_NE(ReadBytes(path), previous);
            if (store.LastBackupProblem().empty()) {
                EXPECT_EQ(ReadBytes(ontology.BackupFileName()), previous);
            } else {
                EXPECT_EQ(ReadBytes(ontology.BackupFileName()), "older backup");
            }
            if (!faulty.Failed()) {
                break;
            }
        }
    }
}

// On a file system without hard links the backup is a copy: a failure at any step of that copy
// still saves, keeps the older backup and leaves no partial copy behind.
TEST_F(OntologyFileTest, AFailedBackupCopyLeavesNoPartialCopy) {
    struct TNoLinks : TFaultyFileSystem {
        using TFaultyFileSystem::TFaultyFileSystem;
        void Link(const std::string& existing, const std::string&) override {
            throw EFileSystemError(existing, EPERM);
        }
    };
    ASSERT_TRUE(store.SaveOntologyFile(ontology, true));
    for (int failAt = 1;; ++failAt) {
        SCOPED_TRACE(failAt);
        WriteBytes(ontology.BackupFileName(), "older backup");
        store.AppendConcept("unsaved work", 1, "");
        TNoLinks noLinks(RealFileSystem(), failAt);
        store.SetFileSystem(noLinks);
        try {
            store.SaveOntologyFile(ontology, true);
        } catch (const EVelmoraError&) {
        }
        store.SetFileSystem(RealFileSystem());
        EXPECT_EQ(Entries(dir), (std::vector<std::string>{"abc.ont", "バックアップ-abc.ont"}));
        if (!noLinks.Failed()) {
            break;
        }
    }
}

// The message of a failed save or load: its first line, and the second with the reason.
std::pair<std::string, std::string> FailureLines(const std::function<void()>& step) {
    try {
        step();
    } catch (const EVelmoraError& e) {
        const std::string text = e.what();
        const std::size_t brk = text.find("\r\n");
        if (brk == std::string::npos) {
            return {text, ""};
        }
        return {text.substr(0, brk), text.substr(brk + 2)};
    }
    ADD_FAILURE() << "no error";
    return {};
}

TEST_F(OntologyFileTest, AFolderThatCannotHoldTheFileIsReported) {
    // As root a read-only folder does not stop a write; a path under a regular file does.
    WriteBytes(dir / "plain", "x");
    ontology.SetFileName((dir / "plain" / "abc.ont").string());
    const auto [first, reason] = FailureLines([&] { store.SaveOntologyFile(ontology, true); });
    EXPECT_EQ(first, "ファイル " + ontology.FileName() + " を作成できません");
    // The reason names the user's file, in Japanese, never the temporary file.
    EXPECT_EQ(reason, ontology.FileName() + ": パスの途中にフォルダーでないものがあります");
    EXPECT_GT(store.DtStOriginalConcepts.ChangeCount(), 0);  // still unsaved
}

// Whatever stands in the backup's way, the save itself goes through, and the store says that no
// backup was kept.
TEST_F(OntologyFileTest, ASaveThatCannotKeepItsBackupStillSaves) {
    const std::string longName = std::string(250, 'n') + ".ont";  // 254 bytes, legal
    const struct {
        const char* what;
        std::string file;
        bool folderInBackupsPlace;
        std::string reason;
    } kCases[] = {
        {"folder named like the backup", "a.ont", true, "フォルダーです"},
        {"backup name too long", longName, false, "ファイル名が長すぎます"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        ontology.SetFileName((dir / c.file).string());
        ASSERT_TRUE(store.SaveOntologyFile(ontology, false));  // a new file: nothing to back up
        EXPECT_EQ(store.LastBackupProblem(), "");
        if (c.folderInBackupsPlace) {
            fs::create_directory(ontology.BackupFileName());
            WriteBytes(fs::path(ontology.BackupFileName()) / "inside", "kept");
        }
        for (int save = 0; save < 2; ++save) {  // every later save, not only the first
            const std::string title = "more " + std::to_string(save);
            store.AppendConcept(title, 1, "");
            ASSERT_TRUE(store.SaveOntologyFile(ontology, true));
            EXPECT_FALSE(ontology.CanUndo());
            EXPECT_NE(store.LastBackupProblem().find(c.reason), std::string::npos)
                << store.LastBackupProblem();
            TSimpleStoreContext otherContext;
            TDataModule1 other(otherContext);
            TOntology loaded;
            loaded.SetFileName(ontology.FileName());
            other.LoadOntologyFile(loaded);
            EXPECT_TRUE(other.DtStOriginalConcepts.Locate("TITLE", TValue(title)));
        }
        if (c.folderInBackupsPlace) {
            EXPECT_EQ(ReadBytes(fs::path(ontology.BackupFileName()) / "inside"), "kept");
        }
        for (const std::string& entry : Entries(dir)) {
            EXPECT_NE(entry.front(), '.') << "temporary file left: " << entry;
        }
    }
}

TEST_F(OntologyFileTest, ASaveKeepsTheFilesPermissionsAndRefusesAReadOnlyFile) {
    ASSERT_TRUE(store.SaveOntologyFile(ontology, false));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    store.AppendConcept("more", 1, "");
    ASSERT_TRUE(store.SaveOntologyFile(ontology, true));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    // Read-only for everybody: refused (also for root, whom the system would let write).
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
    const std::string before = ReadBytes(path);
    store.AppendConcept("more again", 1, "");
    const auto [first, reason] = FailureLines([&] { store.SaveOntologyFile(ontology, true); });
    EXPECT_EQ(first, "ファイル " + path + " を作成できません");
    EXPECT_EQ(reason, path + ": 読み取り専用のファイルです");
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_GT(store.DtStOriginalConcepts.ChangeCount(), 0);
}

TEST_F(OntologyFileTest, OpeningAFolderOrAPipeSaysTheFileCannotBeOpened) {
    const std::string folder = (dir / "folder.ont").string();
    fs::create_directory(folder);
    const std::string pipe = (dir / "pipe.ont").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const struct {
        std::string name;
        std::string reason;
    } kCases[] = {
        {folder, folder + ": フォルダーです"},
        {pipe, pipe + ": 通常のファイルではありません (パイプや装置は読み書きできません)"},
    };
    for (const auto& c : kCases) {
        TOntology target;
        target.SetFileName(c.name);
        const auto [first, reason] = FailureLines([&] { store.LoadOntologyFile(target); });
        EXPECT_EQ(first, "ファイル " + c.name + " は開けません");
        EXPECT_EQ(reason, c.reason);
        // Saving over a folder or a pipe is refused too, and leaves it as it was.
        const auto [saveFirst, saveReason] =
            FailureLines([&] { store.SaveOntologyFile(target, true); });
        EXPECT_EQ(saveFirst, "ファイル " + c.name + " を作成できません");
    }
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(fs::is_fifo(pipe));
}

// A stored record counter at or below a number its table holds would hand that number out again.
TEST_F(OntologyFileTest, ACounterTooLowIsRaisedOnLoadingSoNoNumberRepeats) {
    const std::int32_t highest = store.AppendConcept("highest", 1, "");
    store.DtStOriginalConcepts.SetAutoIncValue(3);
    ASSERT_TRUE(store.SaveOntologyFile(ontology, false));

    TSimpleStoreContext otherContext;
    TDataModule1 other(otherContext);
    TOntology loaded;
    loaded.SetFileName(path);
    other.LoadOntologyFile(loaded);
    EXPECT_EQ(other.DtStOriginalConcepts.AutoIncRaisedFrom(), std::optional<std::int32_t>(3));
    EXPECT_EQ(other.DtStOriginalConcepts.AutoIncValue(), highest + 1);
    EXPECT_EQ(other.DtStOriginalNetWork.AutoIncRaisedFrom(), std::nullopt);
    const std::int32_t added = other.AppendConcept("new", 1, "");
    EXPECT_EQ(added, highest + 1);
    std::set<std::int32_t> numbers;
    TTable& concepts = other.DtStOriginalConcepts;
    for (concepts.First(); !concepts.Eof(); concepts.Next()) {
        EXPECT_TRUE(numbers.insert(concepts.FieldByName("RECORD_NO").AsInteger()).second);
    }
}

TEST_F(OntologyFileTest, AFullDiskLeavesThePreviousFile) {
    const fs::path small = dir / "small";
    fs::create_directories(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    struct TUnmount {
        const fs::path& at;
        ~TUnmount() { ::umount(at.c_str()); }
    } unmount{small};
    ontology.SetFileName((small / "abc.ont").string());
    ASSERT_TRUE(store.SaveOntologyFile(ontology, true));
    const std::string previous = ReadBytes(ontology.FileName());
    for (int i = 0; i < 400; ++i) {
        store.AppendConcept(std::string(200, 'x') + std::to_string(i), 1, "");
    }
    EXPECT_THROW(store.SaveOntologyFile(ontology, true), EVelmoraError);
    EXPECT_EQ(ReadBytes(ontology.FileName()), previous);
    EXPECT_EQ(Entries(small), std::vector<std::string>{"abc.ont"});
    EXPECT_GT(store.DtStOriginalConcepts.ChangeCount(), 0);
}

}  // namespace
}  // namespace velmora::store
