#include "concept_clipboard.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "errors.h"

namespace velmora::app {
namespace {

// Through the real clipboard of the platform the tests run on (offscreen in CI).
class ConceptClipboard : public ::testing::Test {
protected:
    void SetUp() override {
        clipboard()->clear();
        entries.AddNew().SetConceptNo(21);
        store::TConceptData& mirror = entries.AddNew();
        mirror.SetIsLink(true);
        mirror.SetConceptNo(22);
        mirror.LinkNo = 9;
    }
    void TearDown() override { clipboard()->clear(); }

    static QClipboard* clipboard() { return QGuiApplication::clipboard(); }

    store::TConceptList entries;
    TClipbrdConceptData clip;
};

TEST_F(ConceptClipboard, WrittenEntriesReadBackInAFormatTextEditorsIgnore) {
    clipboard()->setText("earlier text");
    for (const bool copy : {true, false}) {
        clip.Write(copy, entries);
        EXPECT_TRUE(TClipbrdConceptData::HasPayload());
        const QMimeData* data = clipboard()->mimeData();
        ASSERT_NE(data, nullptr);
        EXPECT_FALSE(data->hasText()) << "the write replaces everything, offering no text";
        EXPECT_EQ(data->formats(), QStringList{kConceptClipboardMimeType});

        bool isCopy = !copy;
        const auto back = TClipbrdConceptData().Read(&isCopy);
        ASSERT_NE(back, nullptr);
        ASSERT_EQ(back->Count(), 2);
        EXPECT_EQ(isCopy, copy);
        EXPECT_FALSE((*back)[0].IsLink());
        EXPECT_EQ((*back)[0].ConceptNo(), 21);
        EXPECT_TRUE((*back)[1].IsLink());
        EXPECT_EQ((*back)[1].LinkNo, 9);
        EXPECT_EQ((*back)[1].ConceptNo(), -1);
    }
}

TEST_F(ConceptClipboard, PlainTextIsNoPayload) {
    // Even plain text that spells out a payload of this instance.
    const std::string text = "THIS_IS_QUILLON_INTERNAL_DATA\r\n" +
                             std::to_string(TClipbrdConceptData::InstanceNumber()) +
                             "\r\n1\r\n0 21\r\n";
    clipboard()->setText(QString::fromStdString(text));
    EXPECT_FALSE(TClipbrdConceptData::HasPayload());
    EXPECT_EQ(clip.Read(), nullptr);
}

TEST_F(ConceptClipboard, AnotherInstancesPayloadIsIgnored) {
    clip.WriteAs(TClipbrdConceptData::InstanceNumber() + 1, true, entries);
    EXPECT_TRUE(TClipbrdConceptData::HasPayload());  // the format is there; its content is not ours
    EXPECT_EQ(clip.Read(), nullptr);
}

TEST_F(ConceptClipboard, ClearEmptiesIt) {
    clip.Write(false, entries);
    clip.Clear();
    EXPECT_FALSE(TClipbrdConceptData::HasPayload());
    EXPECT_EQ(clip.Read(), nullptr);
}

TEST_F(ConceptClipboard, GarbledEntryOfThisInstanceIsAnErrorNotACrash) {
    const std::string text = "THIS_IS_QUILLON_INTERNAL_DATA\r\n" +
                             std::to_string(TClipbrdConceptData::InstanceNumber()) +
                             "\r\n1\r\n0 99999999999\r\n";
    auto* data = new QMimeData;
    data->setData(kConceptClipboardMimeType, QByteArray::fromStdString(text));
    clipboard()->setMimeData(data);
    EXPECT_THROW(clip.Read(), store::EVelmoraError);
}

}  // namespace
}  // namespace velmora::app
