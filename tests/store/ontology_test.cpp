#include "ontology.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "concept_data.h"
#include "stream.h"

namespace velmora::store {
namespace {

using TLines = std::vector<std::string>;

void Load(TOntology& ontology, std::string bytes) {
    TMemoryStream stream(std::move(bytes));
    ontology.LoadFromStream(stream);
}

std::string Save(const TOntology& ontology) {
    TMemoryStream stream;
    ontology.SaveToStream(stream);
    return stream.Bytes();
}

std::unique_ptr<TSavePoint> MakeSavePoint(std::int32_t conceptNo) {
    TConceptData item;
    item.SetConceptNo(conceptNo);
    return std::make_unique<TSavePoint>(item);
}

TEST(OntologyTest, NewOntologyIsEmptyAndUnchanged) {
    const TOntology ontology;
    EXPECT_EQ(ontology.Count(), 0u);
    EXPECT_EQ(ontology.FileName(), "");
    EXPECT_FALSE(ontology.CanUndo());
    EXPECT_FALSE(ontology.Modified());
    EXPECT_EQ(ontology.SavePointCount(), 0u);
}

// --- Reading the stream

struct TLoadCase {
    const char* name;
    std::string bytes;
    TLines lines;
};

TEST(OntologyLoadTest, SplitsTextIntoLines) {
    using namespace std::string_literals;  // for texts with zero bytes
    const TLoadCase kCases[] = {
        {"empty input", "", {}},
        {"no final break", "a", {"a"}},
        {"final CR LF adds no line", "a\r\n", {"a"}},
        {"final lone CR adds no line", "a\r", {"a"}},
        {"CR LF is one break", "a\r\nb", {"a", "b"}},
        {"lone CR and lone LF", "a\rb\nc", {"a", "b", "c"}},
        {"CR CR LF: empty line between", "a\r\r\nb", {"a", "", "b"}},
        {"LF CR LF: empty line between", "a\n\r\nb", {"a", "", "b"}},
        {"LF CR: two breaks", "a\n\r", {"a", ""}},
        {"a single break is one empty line", "\r\n", {""}},
        {"empty lines only", "\r\n\r\n\n", {"", "", ""}},
        {"zero byte ends the text", "a\r\nb\0c\r\nd"s, {"a", "b"}},
        {"zero byte right after a break", "a\r\n\0\r\nb"s, {"a"}},
        {"zero byte first", "\0a"s, {}},
        {"CP932 text is kept as bytes", "Title=\x93\xfa\x96\x7b\r\n", {"Title=\x93\xfa\x96\x7b"}},
        // Continuation lines.
        {"TAB line after a key line continues its value",
         "Description=a\r\n\tb\r\nCreator=c\r\n",
         {"Description=a\r\nb", "Creator=c"}},
        {"several continuations, one TAB removed each",
         "Description=a\r\n\t\tb\r\n\t\r\n\tc=d\r\n",
         {"Description=a\r\n\tb\r\n\r\nc=d"}},
        {"TAB line first stays a line", "\ta\r\nTitle=T\r\n", {"\ta", "Title=T"}},
        {"TAB line after a keyless line stays a line",
         "note\r\n\ta\r\n\tb\r\n",
         {"note", "\ta", "\tb"}},
        {"TAB line after an empty line stays a line",
         "Title=T\r\n\r\n\ta\r\n",
         {"Title=T", "", "\ta"}},
        {"only a leading TAB continues", "Title=T\r\n \ta\r\n", {"Title=T", " \ta"}},
        {"continuation after a lone-CR break", "Title=T\r\tx\r", {"Title=T\r\nx"}},
    };
    for (const TLoadCase& c : kCases) {
        SCOPED_TRACE(c.name);
        TOntology ontology;
        Load(ontology, c.bytes);
        EXPECT_EQ(ontology.Lines(), c.lines);
        EXPECT_EQ(ontology.Count(), c.lines.size());
    }
}

TEST(OntologyLoadTest, ReadsFromThePositionAndReplacesAllLines) {
    TOntology ontology;
    Load(ontology, "Title=Old\r\nCreator=X\r\n");

    TMemoryStream stream(std::string("HEADERTarget=B\r\n"));
    stream.Seek(6);
    ontology.LoadFromStream(stream);
    EXPECT_EQ(ontology.Lines(), (TLines{"Target=B"}));
    EXPECT_EQ(ontology.Title(), "");
}

// --- Writing the stream

TEST(OntologySaveTest, WritesEachLineWithCrLfAndNothingElse) {
    TOntology ontology;
    EXPECT_EQ(Save(ontology), "");

    ontology.SetTitle("A");
    ontology.SetTarget("B");
    TMemoryStream stream(std::string("MAGIC"));
    stream.Seek(5);
    ontology.SaveToStream(stream);
    EXPECT_EQ(stream.Bytes(), "MAGICTitle=A\r\nTarget=B\r\n");
}

// Files that are already in the written form come back byte for byte: keyless lines, empty
// lines, TAB lines that are not continuations and continuation lines alike.
TEST(OntologySaveTest, LoadedFileIsWrittenBackUnchanged) {
    const char* const kFiles[] = {
        "# note\r\nTitle=A\r\n\r\nfree text\r\n",
        "\ta\r\nnote\r\n\tb\r\nTitle=T\r\n",
        "Description=a\r\n\t\tb\r\n\t\r\nCreator=c\r\n",
        "Title=a=b\r\n=no key\r\ntitle=duplicate\r\n",
    };
    for (const char* file : kFiles) {
        SCOPED_TRACE(file);
        TOntology ontology;
        Load(ontology, file);
        EXPECT_EQ(Save(ontology), file);
    }
}

TEST(OntologySaveTest, EditsKeepKeylessLinesInPlace) {
    TOntology ontology;
    Load(ontology, "# note\r\nTitle=A\r\n\r\nfree text\r\nCreator=Z\r\n");
    ontology.SetTitle("B");
    ontology.SetCreator("");
    ontology.SetTarget("C");
    EXPECT_EQ(Save(ontology), "# note\r\nTitle=B\r\n\r\nfree text\r\nTarget=C\r\n");
}

// --- Keys and values

struct TLookupCase {
    const char* name;
    const char* file;
    const char* key;
    const char* value;
};

TEST(OntologyValueTest, LookupIgnoresAsciiCaseAndTakesTextAfterFirstEquals) {
    const TLookupCase kCases[] = {
        {"lower-case key", "Title=A\r\n", "title", "A"},
        {"upper-case key", "Title=A\r\n", "TITLE", "A"},
        {"line spelt differently", "tItLe=A\r\n", "Title", "A"},
        {"value after the first =", "Title=a=b\r\n", "Title", "a=b"},
        {"empty value", "Title=\r\n", "Title", ""},
        {"first of duplicates", "Title=A\r\nTITLE=B\r\n", "Title", "A"},
        {"line without = is no key", "Title\r\nTitle=A\r\n", "Title", "A"},
        {"key must match whole", "Titles=A\r\nTitl=B\r\n", "Title", ""},
        {"missing key", "Target=B\r\n", "Title", ""},
        {"empty key", "=x\r\n", "", "x"},
        // 0x82 0x61 and 0x82 0x41 are two different characters whose trail bytes look like
        // 'a' and 'A'.
        {"double-byte characters are not case-folded", "\x82\x41=x\r\n", "\x82\x61", ""},
        {"double-byte key", "\x82\x41=x\r\n", "\x82\x41", "x"},
        {"half-width katakana key", "\xb1=x\r\n", "\xb1", "x"},
    };
    for (const TLookupCase& c : kCases) {
        SCOPED_TRACE(c.name);
        TOntology ontology;
        Load(ontology, c.file);
        EXPECT_EQ(ontology.Value(c.key), c.value);
    }
}

TEST(OntologyValueTest, NewKeyAppendsAndExistingKeyKeepsItsLine) {
    TOntology ontology;
    Load(ontology, "title=A\r\nnote\r\n");
    ontology.SetCreator("C");
    ontology.SetTitle("B");  // replaces the line, spelt as the property spells it
    ontology.SetTarget("T");
    ontology.SetCreator("D");
    EXPECT_EQ(ontology.Lines(), (TLines{"Title=B", "note", "Creator=D", "Target=T"}));
}

TEST(OntologyValueTest, EmptyValueRemovesTheLine) {
    TOntology ontology;
    Load(ontology, "Title=A\r\nCreator=X\r\nnote\r\ncreator=Y\r\n");
    ontology.SetCreator("");
    EXPECT_EQ(ontology.Creator(), "");
    // Both lines of the duplicated key go, otherwise the second would show through.
    EXPECT_EQ(ontology.Lines(), (TLines{"Title=A", "note"}));

    ontology.SetTarget("");  // a key without a line stays without one
    EXPECT_EQ(ontology.Lines(), (TLines{"Title=A", "note"}));
}

// Files are exchanged with other copies of the program, so each key must be spelt exactly.
TEST(OntologyValueTest, EachPropertyUsesItsOwnKey) {
    struct TProperty {
        const char* key;
        void (TOntology::*set)(std::string);
        std::string (TOntology::*get)() const;
    };
    const TProperty kProperties[] = {
        {"Title", &TOntology::SetTitle, &TOntology::Title},
        {"Target", &TOntology::SetTarget, &TOntology::Target},
        {"Community", &TOntology::SetCommunity, &TOntology::Community},
        {"Description", &TOntology::SetDescription, &TOntology::Description},
        {"Creator", &TOntology::SetCreator, &TOntology::Creator},
        {"CreatedDay", &TOntology::SetCreatedDay, &TOntology::CreatedDay},
        {"ConceptDescrDefault", &TOntology::SetConceptDescrDefault,
         &TOntology::ConceptDescrDefault},
        {"ConceptCommentDefault", &TOntology::SetConceptCommentDefault,
         &TOntology::ConceptCommentDefault},
    };
    TOntology ontology;
    TLines expected;
    for (const TProperty& p : kProperties) {
        const std::string value = std::string("v-") + p.key;
        (ontology.*p.set)(value);
        expected.push_back(std::string(p.key) + "=" + value);
    }
    EXPECT_EQ(ontology.Lines(), expected);
    for (const TProperty& p : kProperties) {
        SCOPED_TRACE(p.key);
        EXPECT_EQ((ontology.*p.get)(), std::string("v-") + p.key);
    }
}

// --- Multi-line values

TEST(OntologyMultiLineTest, ValuesSurviveSavingAndLoading) {
    const char* const kValues[] = {
        "a\r\nb",
        "a\r\n\r\nb",                    // empty inner line
        "a\r\n",                         // trailing break
        "\r\n",                          // nothing but a break
        "\ta\r\n\tb",                    // lines that begin with TAB
        "a\r\n\t\tb\r\n\t",              // deeper TABs and a TAB-only last line
        "x=y\r\nTitle=z",                // further lines that look like keys
        "\x93\xfa\x96\x7b\r\n\x8c\xea",  // CP932 text
    };
    for (const char* value : kValues) {
        SCOPED_TRACE(testing::PrintToString(std::string(value)));
        TOntology written;
        written.SetTitle("T");
        written.SetDescription(value);
        written.SetCreator("C");

        TOntology read;
        Load(read, Save(written));
        EXPECT_EQ(read.Description(), value);
        EXPECT_EQ(read.Title(), "T");
        EXPECT_EQ(read.Creator(), "C");
        EXPECT_EQ(read.Lines(), written.Lines());
    }
}

// Reading is linear in the size of the text: a huge key with millions of continuation lines
// loads as quickly as the same lines under a short key (bench: metadata in store_bench).
TEST(OntologyMultiLineTest, AHugeKeyWithMillionsOfContinuationLinesLoadsWhole) {
    constexpr std::size_t kKeyBytes = 4 << 20;
    constexpr std::size_t kLines = 2'000'000;
    std::string text(kKeyBytes, 'k');
    text += "=v\r\n";
    for (std::size_t i = 0; i < kLines; ++i) {
        text += "\tx\r\n";
    }
    text += "Title=T\r\n";
    TOntology read;
    Load(read, text);
    ASSERT_EQ(read.Count(), 2U);
    const std::string& line = read.Line(0);
    EXPECT_EQ(line.size(), kKeyBytes + 2 + kLines * 3);
    EXPECT_EQ(line.substr(kKeyBytes, 7), "=v\r\nx\r\n");
    EXPECT_EQ(read.Title(), "T");
}

// The written form is what other copies of the program read, so it is pinned byte for byte.
TEST(OntologyMultiLineTest, FurtherLinesAreWrittenAsTabContinuations) {
    TOntology ontology;
    ontology.SetDescription("a\r\n\tb\r\n");
    ontology.SetCreator("C");
    EXPECT_EQ(Save(ontology), "Description=a\r\n\t\tb\r\n\t\r\nCreator=C\r\n");
}

TEST(OntologyMultiLineTest, AnyLineBreakInAValueBecomesCrLf) {
    TOntology ontology;
    ontology.SetCommunity("a\rb\nc\r\nd\n\re");
    EXPECT_EQ(ontology.Community(), "a\r\nb\r\nc\r\nd\r\n\r\ne");
    EXPECT_EQ(ontology.Count(), 1u);

    TOntology read;
    Load(read, Save(ontology));
    EXPECT_EQ(read.Community(), "a\r\nb\r\nc\r\nd\r\n\r\ne");
}

TEST(OntologyMultiLineTest, ReplacingOrRemovingAValueTakesAllItsLines) {
    TOntology ontology;
    ontology.SetDescription("a\r\nb\r\nc");
    ontology.SetTitle("T");
    ontology.SetDescription("d");
    EXPECT_EQ(Save(ontology), "Description=d\r\nTitle=T\r\n");

    ontology.SetDescription("e\r\nf");
    ontology.SetDescription("");
    EXPECT_EQ(Save(ontology), "Title=T\r\n");
}

// --- Events

TEST(OntologyEventTest, TitleChangeFiresAfterSetTitleAndAfterLoading) {
    TOntology ontology;
    std::vector<std::string> seen;  // the title as the handler sees it
    ontology.OnTitleChange = [&](TOntology& sender) {
        EXPECT_EQ(&sender, &ontology);
        seen.push_back(sender.Title());
    };

    ontology.SetTitle("A");
    ontology.SetTarget("B");
    ontology.SetDescription("C");
    ontology.SetTitle("");
    Load(ontology, "Title=L\r\n");
    Load(ontology, "");
    EXPECT_EQ(seen, (std::vector<std::string>{"A", "", "L", ""}));
}

TEST(OntologyEventTest, StateChangeCarriesBothNewFlags) {
    std::vector<std::pair<bool, bool>> seen;  // outlives the ontology: its destructor fires too
    TOntology ontology;
    ontology.OnStateChange = [&](bool canUndo, bool modified) {
        EXPECT_EQ(canUndo, ontology.CanUndo());
        EXPECT_EQ(modified, ontology.Modified());
        seen.emplace_back(canUndo, modified);
    };

    ontology.SetModified(true);
    ontology.SetCanUndo(true);
    ontology.SetCanUndo(true);  // fires although nothing changed
    ontology.SetModified(false);
    ontology.SetCanUndo(false);
    EXPECT_EQ(seen, (std::vector<std::pair<bool, bool>>{
                        {false, true}, {true, true}, {true, true}, {true, false}, {false, false}}));
}

TEST(OntologyEventTest, DestructionFiresStateChangeOnceWithCanUndoFalse) {
    std::vector<std::pair<bool, bool>> seen;
    {
        TOntology ontology;
        ontology.SetModified(true);
        ontology.PushSavePoint(MakeSavePoint(1));
        ontology.OnStateChange = [&](bool canUndo, bool modified) {
            seen.emplace_back(canUndo, modified);
        };
    }
    EXPECT_EQ(seen, (std::vector<std::pair<bool, bool>>{{false, true}}));
}

TEST(OntologyEventTest, DestructionSurvivesAThrowingHandler) {
    auto ontology = std::make_unique<TOntology>();
    ontology->PushSavePoint(MakeSavePoint(1));
    ontology->OnStateChange = [](bool, bool) { throw std::runtime_error("handler failed"); };
    ontology.reset();  // would end the program if the exception left the destructor
    SUCCEED();
}

// --- Undo stack

class OntologyUndoTest : public testing::Test {
protected:
    OntologyUndoTest() {
        m_ontology.OnStateChange = [this](bool canUndo, bool modified) {
            m_events.emplace_back(canUndo, modified);
        };
    }

    std::vector<std::pair<bool, bool>> m_events;  // declared first: the destructor fires too
    TOntology m_ontology;
};

TEST_F(OntologyUndoTest, PushSetsCanUndo) {
    m_ontology.PushSavePoint(MakeSavePoint(1));
    EXPECT_TRUE(m_ontology.CanUndo());
    EXPECT_EQ(m_events, (std::vector<std::pair<bool, bool>>{{true, false}}));
}

TEST_F(OntologyUndoTest, StackKeepsTheNewest200) {
    for (std::int32_t no = 1; no <= 201; ++no) {
        m_ontology.PushSavePoint(MakeSavePoint(no));
    }
    EXPECT_EQ(m_ontology.SavePointCount(), TOntology::kMaxSavePoints);

    // Newest first, and the first one pushed is the one that went.
    for (std::int32_t no = 201; no >= 2; --no) {
        const std::unique_ptr<TSavePoint> point = m_ontology.PopSavePoint();
        ASSERT_NE(point, nullptr) << no;
        EXPECT_EQ(point->CurrentItem.ConceptNo(), no);
    }
    EXPECT_EQ(m_ontology.PopSavePoint(), nullptr);
}

TEST_F(OntologyUndoTest, PoppingTheLastClearsCanUndo) {
    m_ontology.SetModified(true);
    m_ontology.PushSavePoint(MakeSavePoint(1));
    m_ontology.PushSavePoint(MakeSavePoint(2));
    m_events.clear();

    EXPECT_EQ(m_ontology.PopSavePoint()->CurrentItem.ConceptNo(), 2);
    EXPECT_TRUE(m_ontology.CanUndo());
    EXPECT_TRUE(m_events.empty());

    EXPECT_EQ(m_ontology.PopSavePoint()->CurrentItem.ConceptNo(), 1);
    EXPECT_FALSE(m_ontology.CanUndo());
    EXPECT_EQ(m_events, (std::vector<std::pair<bool, bool>>{{false, true}}));

    m_events.clear();
    EXPECT_EQ(m_ontology.PopSavePoint(), nullptr);
    EXPECT_TRUE(m_events.empty());
}

TEST_F(OntologyUndoTest, CanUndoFalseDestroysEverySavePoint) {
    m_ontology.PushSavePoint(MakeSavePoint(1));
    m_ontology.PushSavePoint(MakeSavePoint(2));

    m_ontology.SetCanUndo(true);  // true leaves the stack alone
    EXPECT_EQ(m_ontology.SavePointCount(), 2u);

    m_ontology.SetCanUndo(false);
    EXPECT_EQ(m_ontology.SavePointCount(), 0u);
    EXPECT_EQ(m_ontology.PopSavePoint(), nullptr);

    // A fresh stack works as before.
    m_ontology.PushSavePoint(MakeSavePoint(3));
    EXPECT_EQ(m_ontology.PopSavePoint()->CurrentItem.ConceptNo(), 3);
}

// --- File name

TEST(OntologyFileNameTest, BackupNameGoesBeforeTheNamePart) {
    const struct {
        const char* fileName;
        const char* backup;
    } kCases[] = {
        {"/a/b/abc.ont", "/a/b/バックアップ-abc.ont"},
        {"abc.ont", "バックアップ-abc.ont"},
        {"/abc.ont", "/バックアップ-abc.ont"},
        {"b/abc.ont", "b/バックアップ-abc.ont"},
        {"/home/ユーザー/新しい.ont", "/home/ユーザー/バックアップ-新しい.ont"},
        {"/a/b\\c.ont", "/a/バックアップ-b\\c.ont"},  // a backslash is part of a Linux name
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.fileName);
        TOntology ontology;
        ontology.SetFileName(c.fileName);
        EXPECT_EQ(ontology.FileName(), c.fileName);
        EXPECT_EQ(ontology.BackupFileName(), c.backup);
    }
}

}  // namespace
}  // namespace velmora::store
