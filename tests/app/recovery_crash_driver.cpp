// A program that edits an ontology and then waits to be killed: the recovery test runs it as a
// child process. Usage: recovery_crash_driver SETTINGS.ini RECOVERY_FOLDER FILE.ont EXPECTED
// It opens FILE, makes edits of several kinds, waits until its recovery copy holds them, writes
// the five tables as packets to EXPECTED.0 .. EXPECTED.4, prints READY and runs until killed.
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <fstream>

#include "code_page.h"
#include "main_form.h"
#include "recovery_service.h"
#include "table_packets.h"
#include "user_interface.h"

int main(int argc, char** argv) {
    using namespace velmora;
    if (argc != 5) {
        std::fputs("usage: recovery_crash_driver SETTINGS RECOVERY_FOLDER FILE EXPECTED\n", stderr);
        return 2;
    }
    QApplication application(argc, argv);
    app::TUserInterface ui;
    app::TQuillonIniFile(argv[1]).SetAuthor("試験者");
    app::TMainForm form(ui, argv[1]);
    form.EnableRecovery(argv[2]);
    form.Recovery()->SetInterval(50);
    form.OpenOntologyFile(QString::fromLocal8Bit(argv[3]));

    // Edits as the commands make them: each after a save point.
    store::TDataModule1& data = form.Store();
    const std::int32_t top = form.Seeker().GetTopNode().ConceptNo();
    form.TakeSavePoint();
    const std::int32_t added = data.AppendConcept(store::Utf8ToCp932("強制終了の前"), top, "");
    form.TakeSavePoint();
    data.AddLabelToConcept(added, store::Utf8ToCp932("別名"));
    form.TakeSavePoint();
    const std::int32_t gone = data.AppendConcept(store::Utf8ToCp932("消す"), top, "");
    form.TakeSavePoint();
    data.DeleteConceptRecord(gone);
    form.Ontology()->SetTitle(store::Utf8ToCp932("変更後の題名"));
    form.Ontology()->SetModified(true);

    QElapsedTimer waited;
    waited.start();
    while (!form.Recovery()->CopyIsCurrent()) {
        if (waited.elapsed() > 30'000) {
            std::fputs("recovery_crash_driver: no recovery copy\n", stderr);
            return 1;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    const auto packets = app::testing::TablePackets(data);
    for (std::size_t t = 0; t < packets.size(); ++t) {
        std::ofstream(std::string(argv[4]) + "." + std::to_string(t), std::ios::binary)
            << packets[t];
    }
    std::puts("READY");
    std::fflush(stdout);
    return application.exec();
}
