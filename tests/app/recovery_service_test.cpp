// Recovery copies in the window: a change is copied after the interval, a save or "No" removes
// the copy, a killed program's copy is offered at the next start and restores the tables
// exactly, copies of running programs are left alone, damaged copies are put aside, and a
// failing write is told once.
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "main_form_fixture.h"
#include "recovery_copy.h"
#include "recovery_service.h"
#include "table_packets.h"
#include "wait_until.h"

namespace velmora::app::testing {
namespace {

namespace fs = std::filesystem;
using store::TAnswer;
using test_support::WaitUntil;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Answers the recovery question with the button of that name.
std::function<int(QDialog&)> Click(const char* button) {
    return [button](QDialog& dialog) {
        auto* b = dialog.findChild<QPushButton*>(button);
        if (b == nullptr) {
            ADD_FAILURE() << "no button " << button;
            return int{QDialog::Rejected};
        }
        b->click();
        return dialog.result();
    };
}

class RecoveryTest : public MainFormFixture {
protected:
    void SetUp() override {
        MainFormFixture::SetUp();
        folder = dir.filePath("recovery").toStdString();
    }

    TMainForm& RecoveringForm() {
        Form();
        form->EnableRecovery(folder);
        form->Recovery()->SetInterval(30);
        return *form;
    }

    // A copy left behind by a program that is gone: the sample with one concept more.
    std::array<std::string, 5> LeaveCopy(const std::string& session, const QString& file) {
        store::TSimpleStoreContext context;
        store::TDataModule1 data(context);
        store::TOntology ontology;
        ontology.SetFileName(file.toStdString());
        data.LoadOntologyFile(ontology);
        data.AppendConcept(store::Utf8ToCp932("残された変更"), 1, "");
        fs::create_directories(folder + "/" + session);
        store::WriteRecoveryCopy(data, ontology,
                                 store::RecoveryInfoOf(ontology, store::UnixMillisecondsNow()),
                                 store::RealFileSystem(), folder + "/" + session + "/copy.vrc");
        return TablePackets(data);
    }

    std::string folder;
};

TEST_F(RecoveryTest, CopyFollowsChangesAndGoesWithASaveAndWithNo) {
    RecoveringForm();
    const QString file = SampleCopy();
    form->OpenOntologyFile(file);
    TRecoveryService& recovery = *form->Recovery();
    AddConcept("保存前");
    WaitUntil([&] { return recovery.CopyIsCurrent(); });
    ASSERT_TRUE(recovery.CopyIsCurrent());
    const std::string copy = recovery.CopyPath();
    EXPECT_EQ(copy.rfind(folder, 0), 0u) << "never beside the user's file: " << copy;
    {
        store::TSimpleStoreContext context;
        store::TDataModule1 data(context);
        store::TOntology ontology;
        const auto info = store::LoadRecoveryCopy(data, ontology, store::RealFileSystem(), copy);
        EXPECT_EQ(info.FileName, file.toStdString());
        EXPECT_TRUE(info.CanUndo);
        EXPECT_EQ(TablePackets(data), TablePackets(form->Store()));
    }

    form->FileSave1Execute();
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_FALSE(recovery.HasCopy());

    AddConcept("閉じる前");
    WaitUntil([&] { return recovery.CopyIsCurrent(); });
    ASSERT_TRUE(fs::exists(recovery.CopyPath()));
    ui.answers = {TAnswer::No};
    EXPECT_TRUE(form->CloseOntology(nullptr));
    EXPECT_FALSE(fs::exists(recovery.CopyPath()));

    // A clean end leaves nothing in the recovery folder.
    form.reset();
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(RecoveryTest, KilledProgramLeavesACopyThatTheNextStartRestoresExactly) {
    const QString file = SampleCopy();
    const QString expected = dir.filePath("expected");
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(VELMORA_RECOVERY_DRIVER,
                {dir.filePath("child.ini"), QString::fromStdString(folder), file, expected});
    ASSERT_TRUE(child.waitForStarted());
    while (!child.canReadLine() && child.waitForReadyRead(60'000)) {
    }
    ASSERT_EQ(child.readLine().trimmed(), "READY");
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished());
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    // Started on the same file: the question comes first, and the restored edits stay.
    RecoveringForm();
    ui.modal = [file](QDialog& dialog) {
        dialog.grab().save("/tmp/h24-shots/recovery_dialog.png");
        const QString text = dialog.findChild<QLabel*>("RecoveryText")->text();
        EXPECT_TRUE(text.contains(file)) << text.toStdString();
        EXPECT_TRUE(text.contains("変更後の題名")) << text.toStdString();
        EXPECT_TRUE(dialog.findChild<QPushButton*>("RestoreBtn")->isDefault());
        return Click("RestoreBtn")(dialog);
    };
    form->Start({file});
    ASSERT_EQ(ui.modalDialogs.size(), 1u);
    ASSERT_NE(form->Ontology(), nullptr);
    std::array<std::string, 5> packets;
    for (std::size_t t = 0; t < packets.size(); ++t) {
        packets[t] = ReadAll(expected.toStdString() + "." + std::to_string(t));
        ASSERT_FALSE(packets[t].empty());
    }
    EXPECT_EQ(TablePackets(form->Store()), packets);
    EXPECT_EQ(form->Ontology()->FileName(), file.toStdString());
    EXPECT_EQ(form->Ontology()->Title(), store::Utf8ToCp932("変更後の題名"));
    EXPECT_TRUE(form->HasUnsavedChanges());
    EXPECT_TRUE(form->Command("FileSave1")->isEnabled());

    // The restored session keeps the copy until the user saves.
    EXPECT_TRUE(form->Recovery()->HasCopy());
    form->FileSave1Execute();
    EXPECT_FALSE(form->Recovery()->HasCopy());
    form.reset();
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(RecoveryTest, DiscardRemovesTheCopyAndLaterKeepsIt) {
    const QString file = SampleCopy();
    struct TCase {
        const char* button;
        bool kept;
    };
    for (const TCase c : {TCase{"LaterBtn", true}, TCase{"DiscardBtn", false}}) {
        LeaveCopy("left", file);
        RecoveringForm();
        ui.modal = Click(c.button);
        form->Start({});
        EXPECT_EQ(ui.modalDialogs.size(), 1u) << c.button;
        EXPECT_EQ(form->Ontology(), nullptr) << c.button;
        EXPECT_EQ(fs::exists(folder + "/left/copy.vrc"), c.kept) << c.button;
        form.reset();
        ui.modalDialogs.clear();
    }
}

TEST_F(RecoveryTest, CopyOfARunningProgramIsNotOffered) {
    RecoveringForm();
    form->OpenOntologyFile(SampleCopy());
    AddConcept("一つ目の窓");
    WaitUntil([&] { return form->Recovery()->CopyIsCurrent(); });
    ASSERT_TRUE(form->Recovery()->HasCopy());
    const std::string first = form->Recovery()->CopyPath();

    // A second window in the same folder, as a second program would be.
    TScriptedUi otherUi;
    TMainForm other(otherUi, settingsPath);
    other.EnableRecovery(folder);
    other.Start({});
    EXPECT_TRUE(otherUi.modalDialogs.empty());
    EXPECT_TRUE(fs::exists(first));
}

TEST_F(RecoveryTest, DamagedCopyIsReportedAndPutAside) {
    const QString file = SampleCopy();
    struct TCase {
        const char* what;
        std::size_t keep;  // bytes of a good copy kept; 0: garbage
        bool asked;        // the header was readable, so the question came first
    };
    for (const TCase c : {TCase{"garbage", 0, false}, TCase{"image cut", 400, true}}) {
        LeaveCopy("broken", file);
        const std::string copy = folder + "/broken/copy.vrc";
        const std::string good = ReadAll(copy);
        std::ofstream(copy, std::ios::binary | std::ios::trunc)
            << (c.keep == 0 ? std::string("not a copy at all") : good.substr(0, c.keep));
        RecoveringForm();
        ui.modal = Click("RestoreBtn");
        ui.questions.clear();
        form->Start({});
        EXPECT_EQ(ui.modalDialogs.size(), c.asked ? 1u : 0u) << c.what;
        ASSERT_EQ(ui.questions.size(), 1u) << c.what;
        EXPECT_TRUE(ui.questions[0].text.contains("壊れている")) << c.what;
        EXPECT_EQ(form->Ontology(), nullptr) << c.what;
        EXPECT_FALSE(fs::exists(folder + "/broken")) << c.what;
        EXPECT_TRUE(fs::exists(folder + "/damaged/broken.vrc")) << c.what;
        form.reset();
        ui.modalDialogs.clear();
        fs::remove_all(folder + "/damaged");
    }
}

TEST_F(RecoveryTest, FailedWriteIsToldOnceInTheStatusLine) {
    // A regular file where the folder should be: the write fails even for root.
    std::ofstream(dir.filePath("blocked").toStdString()) << "x";
    folder = dir.filePath("blocked/recovery").toStdString();
    RecoveringForm();
    form->OpenOntologyFile(SampleCopy());
    AddConcept("書けない");
    WaitUntil([&] { return form->Recovery()->FailedWrites() >= 1; });
    EXPECT_TRUE(form->StatusText().contains("回復用コピーを保存できません"))
        << form->StatusText().toStdString();
    form->SetStatusText("他の知らせ");
    AddConcept("まだ書けない");
    WaitUntil([&] { return form->Recovery()->FailedWrites() >= 3; });
    EXPECT_GE(form->Recovery()->FailedWrites(), 3);
    EXPECT_EQ(form->StatusText(), "他の知らせ");
    EXPECT_TRUE(form->HasUnsavedChanges());
}

TEST_F(RecoveryTest, IntervalSettingIsAtMostAMinute) {
    TQuillonIniFile settings(settingsPath);
    EXPECT_EQ(settings.RecoveryInterval(), 60);
    for (const auto& [stored, read] : std::initializer_list<std::pair<int, int>>{
             {1, 1}, {15, 15}, {60, 60}, {61, 60}, {0, 60}, {-5, 60}}) {
        settings.SetRecoveryInterval(stored);
        EXPECT_EQ(settings.RecoveryInterval(), read) << stored;
    }
}

}  // namespace
}  // namespace velmora::app::testing
