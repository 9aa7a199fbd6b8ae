// How long the interface thread stops for recovery copies on a large ontology, with a change
// every second, as the window makes them (doc/recovery.md).
//
//   recovery_bench FILE.ont [SECONDS=30] [INTERVAL_SECONDS=5]
//
// FILE.ont: e.g. `velmora-cli generate 1000000 big.ont`. Every second the bench makes one
// modifying step (a save point, a new concept, a title edited) and then does what the window's
// recovery timer does: compares the tables' stamps with the last copy and, when the interval has
// passed since the first change not yet copied, starts a copy (a fork). It prints the longest and
// the typical time of each piece on the calling thread, the time the children took to write, and
// for comparison one full synchronous save.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "data_module.h"
#include "ontology.h"
#include "recovery_copy.h"

namespace {

using namespace velmora::store;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct TSeries {
    const char* name;
    std::vector<double> ms;
    void Print() const {
        if (ms.empty()) {
            std::printf("%-44s  (none)\n", name);
            return;
        }
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        std::printf("%-44s  n=%3zu  median %8.2f ms  max %8.2f ms\n", name, sorted.size(),
                    sorted[sorted.size() / 2], sorted.back());
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: recovery_bench FILE.ont [SECONDS=30] [INTERVAL_SECONDS=5]\n", stderr);
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    const int interval = argc > 3 ? std::atoi(argv[3]) : 5;

    TSimpleStoreContext context;
    TDataModule1 store(context);
    TOntology ontology;
    ontology.SetFileName(argv[1]);
    auto t0 = Clock::now();
    store.LoadOntologyFile(ontology);
    std::printf("loaded %s: %d concepts in %.0f ms\n", argv[1],
                store.DtStOriginalConcepts.RecordCount(), Ms(Clock::now() - t0));
    // A fork copies the page tables, so its cost follows the memory the process holds.
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            if (std::string_view(line).starts_with("VmRSS:")) {
                std::printf("resident memory %s", line + 6);
            }
        }
        std::fclose(status);
    }

    const std::string folder = std::filesystem::temp_directory_path() /
                               ("velmora-recovery-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string copy = folder + "/copy.vrc";

    TSeries edits{"edit (no copy being written)", {}};
    TSeries editsDuringWrite{"edit while a child writes (copy-on-write)", {}};
    TSeries ticks{"timer tick: compare stamps", {}};
    TSeries starts{"timer tick: start a copy (fork)", {}};
    TSeries reaps{"timer tick: collect a finished copy", {}};
    TSeries writes{"child: writing one copy (not waited for)", {}};

    TRecoveryWriter writer;
    std::array<std::uint64_t, 5> written{};
    // When the first change not yet copied was seen (GCC misreads an optional time here).
    bool dirty = false;
    Clock::time_point dirtySince{};
    Clock::time_point writeStarted{};
    std::array<std::uint64_t, 5> pending{};
    const std::int32_t top = 1;
    int failures = 0;

    const auto stamps = [&store] {
        std::array<std::uint64_t, 5> s{};
        for (std::size_t t = 0; t < s.size(); ++t) {
            s[t] = store.Tables()[t]->ContentStamp();
        }
        return s;
    };
    // The window's timer runs every 250 ms; one change a second.
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    for (int tick = 0; Clock::now() < end; ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        if (tick % 4 == 0) {
            const bool busy = writer.Busy();
            t0 = Clock::now();
            ontology.PushSavePoint(store.TakeSavePoint(TConceptData()));
            const std::int32_t no = store.AppendConcept("bench " + std::to_string(tick), top, "");
            store.DtStOriginalConcepts.Locate("RECORD_NO", TValue(no / 2));
            store.DtStOriginalConcepts.Edit();
            store.DtStOriginalConcepts.FieldByName("TITLE").SetAsString("edited " +
                                                                        std::to_string(tick));
            store.DtStOriginalConcepts.Post();
            (busy ? editsDuringWrite : edits).ms.push_back(Ms(Clock::now() - t0));
        }
        t0 = Clock::now();
        if (writer.Busy()) {
            if (const auto result = writer.Poll()) {
                reaps.ms.push_back(Ms(Clock::now() - t0));
                writes.ms.push_back(Ms(Clock::now() - writeStarted));
                if (result->Ok) {
                    written = pending;
                } else {
                    ++failures;
                    std::fprintf(stderr, "copy failed: %s\n", result->Message.c_str());
                }
            }
            continue;
        }
        const auto now = Clock::now();
        const auto current = stamps();
        if (current == written) {
            dirty = false;
            ticks.ms.push_back(Ms(Clock::now() - t0));
            continue;
        }
        if (!dirty) {
            dirty = true;
            dirtySince = now;
        }
        if (now - dirtySince < std::chrono::seconds(interval)) {
            ticks.ms.push_back(Ms(Clock::now() - t0));
            continue;
        }
        writer.Start(store, ontology, RecoveryInfoOf(ontology, UnixMillisecondsNow()), copy);
        starts.ms.push_back(Ms(Clock::now() - t0));
        writeStarted = Clock::now();
        pending = current;
        dirty = false;
    }
    if (writer.Busy()) {
        writer.Wait();
    }

    std::printf("%d s, a change every second, copy interval %d s; pauses of the calling thread:\n",
                seconds, interval);
    for (const TSeries* s : {&edits, &editsDuringWrite, &ticks, &starts, &reaps, &writes}) {
        s->Print();
    }
    std::error_code ignored;
    std::printf("copy size %.1f MB, %d failed\n",
                static_cast<double>(std::filesystem::file_size(copy, ignored)) / 1e6, failures);

    // For comparison: the same copy written on the calling thread.
    t0 = Clock::now();
    WriteRecoveryCopy(store, ontology, RecoveryInfoOf(ontology, UnixMillisecondsNow()),
                      RealFileSystem(), copy);
    std::printf("one synchronous copy (what a save-like copy would cost): %.0f ms\n",
                Ms(Clock::now() - t0));
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
