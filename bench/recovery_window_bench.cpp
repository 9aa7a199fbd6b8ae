// The window's longest stall because of recovery copies, measured in the desktop program itself
// on the offscreen platform: the main window with a large ontology open, recovery on, a change
// every second; a 2 ms timer records every gap in the event loop.
//
//   QT_QPA_PLATFORM=offscreen recovery_window_bench FILE.ont [SECONDS=60] [INTERVAL_SECONDS=5]
//
// An interval longer than the run (e.g. 100000) gives the same window without copies: the
// machine's own noise to compare with.
//
// Gaps are split by what happened in them: a recovery copy started (the fork), an edit made by
// the bench (the edit's own cost, not the copy's), or nothing of ours.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "code_page.h"
#include "main_form.h"
#include "recovery_service.h"
#include "user_interface.h"

namespace {

void Print(const char* name, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("%-40s (none)\n", name);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-40s n=%5zu  median %7.2f ms  max %7.2f ms\n", name, ms.size(), ms[ms.size() / 2],
                ms.back());
}

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace velmora;
    if (argc < 2) {
        std::fputs("usage: recovery_window_bench FILE.ont [SECONDS=60] [INTERVAL_SECONDS=5]\n",
                   stderr);
        return 2;
    }
    QApplication application(argc, argv);
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const int interval = argc > 3 ? std::atoi(argv[3]) : 5;
    QTemporaryDir dir;
    const QString settings = dir.filePath("velmora.ini");
    app::TQuillonIniFile(settings).SetAuthor("bench");
    app::TUserInterface ui;
    app::TMainForm form(ui, settings);
    form.EnableRecovery(dir.filePath("recovery").toStdString());
    form.Recovery()->SetInterval(interval * 1000);
    form.show();
    QElapsedTimer clock;
    clock.start();
    form.OpenOntologyFile(QString::fromLocal8Bit(argv[1]));
    std::printf("opened %d concepts in %lld ms; resident memory %ld MB\n",
                form.Store().DtStOriginalConcepts.RecordCount(), clock.elapsed(),
                ResidentKb() / 1024);

    std::vector<double> forkGaps, reapGaps, editGaps, otherGaps, edits;
    int copies = 0;
    bool wasWriting = false;
    bool edited = false;
    qint64 last = clock.nsecsElapsed();
    QTimer probe;
    probe.setInterval(2);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double gap = static_cast<double>(now - last) / 1e6;
        last = now;
        const bool writing = form.Recovery()->Writing();
        if (writing && !wasWriting) {
            forkGaps.push_back(gap);
            ++copies;
        } else if (!writing && wasWriting) {
            reapGaps.push_back(gap);
        } else if (edited) {
            editGaps.push_back(gap);
        } else {
            otherGaps.push_back(gap);
        }
        wasWriting = writing;
        edited = false;
    });
    QTimer editor;
    editor.setInterval(1000);
    const std::int32_t top = form.Seeker().GetTopNode().ConceptNo();
    int n = 0;
    QObject::connect(&editor, &QTimer::timeout, [&] {
        QElapsedTimer t;
        t.start();
        form.TakeSavePoint();
        form.Store().AppendConcept(store::Utf8ToCp932("bench " + std::to_string(++n)), top, "");
        edits.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        edited = true;
    });
    probe.start();
    editor.start();
    // exit, not quit: quit would close the window, which asks about the unsaved changes.
    QTimer::singleShot(seconds * 1000, &application, [] { QCoreApplication::exit(0); });
    application.exec();
    form.Recovery()->WaitForWrite();

    std::printf("%d s, a change every second, copy interval %d s, %d copies started\n", seconds,
                interval, copies);
    Print("event-loop gap with a copy started", forkGaps);
    Print("event-loop gap with a copy collected", reapGaps);
    Print("event-loop gap with an edit", editGaps);
    Print("event-loop gap otherwise", otherGaps);
    Print("the edit itself", edits);
    std::printf("resident memory at the end %ld MB\n", ResidentKb() / 1024);
    // The session's copy is the bench's own; it goes with the window.
    form.Ontology()->SetCanUndo(false);
    form.Ontology()->SetModified(false);
    return 0;
}
