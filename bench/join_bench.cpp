// Measures a full join (open output, paste, save after every entry) of many copies of one file.
#include "engine/automation/DocumentEngine.h"

#include "join/JoinEntries.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double peakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    using namespace paperloom;
    using Clock = std::chrono::steady_clock;
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s INPUT.docx COUNT [COUNT...] [--breaks] [--landscape]\n",
                     argv[0]);
        return 2;
    }
    const std::string input = argv[1];
    bool pageBreaks = false;
    bool landscape = false;
    std::vector<int> counts;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--breaks") {
            pageBreaks = true;
        } else if (arg == "--landscape") {
            landscape = true;
        } else {
            counts.push_back(std::atoi(arg.c_str()));
        }
    }
    const auto folder = std::filesystem::temp_directory_path() / "paperloom-bench";
    std::filesystem::create_directories(folder);
    const std::string output = (folder / "joined.docx").string();
    FixedJoinWindow context({}, pageBreaks, landscape);
    for (const int count : counts) {
        engine::EngineOptions options;
        options.paper = engine::PaperSize::A4;
        engine::DocumentEngine automation(options);
        std::filesystem::remove(output);
        const auto start = Clock::now();
        const double cpuStart = cpuSeconds();
        std::vector<double> steps;
        for (int i = 0; i < count; ++i) {
            const auto stepStart = Clock::now();
            CopyDocumentToClipboard(automation, context, input);
            if (i == 0) {
                StartJoinedDocument(automation, context, output);
            } else if (i + 1 == count) {
                AppendLastDocument(automation, context, output);
            } else {
                AppendDocument(automation, context, output);
            }
            steps.push_back(std::chrono::duration<double>(Clock::now() - stepStart).count());
        }
        const double total = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = cpuSeconds() - cpuStart;
        const std::size_t window = std::max<std::size_t>(1, steps.size() / 10);
        double first = 0;
        double last = 0;
        for (std::size_t i = 0; i < window; ++i) {
            first += steps[std::min(i + 1, steps.size() - 1)];
            last += steps[steps.size() - 1 - i];
        }
        std::printf("%5d copies: %7.3f s total (%.3f s CPU), %6.2f ms/entry at start, %6.2f "
                    "ms/entry at end, output %.1f MiB, peak RSS %.0f MiB\n",
                    count, total, cpu, 1000 * first / static_cast<double>(window),
                    1000 * last / static_cast<double>(window),
                    static_cast<double>(std::filesystem::file_size(output)) / (1 << 20),
                    peakRssMiB());
        std::fflush(stdout);
    }
    return 0;
}
