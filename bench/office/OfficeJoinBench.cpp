// Times joins of legacy documents through the office bridge: start-up, per document, in all.
//
// Usage: paperloom-office-bench OUTPUT-FOLDER INPUT...
// Joins the inputs in order into OUTPUT-FOLDER/joined.doc and then OUTPUT-FOLDER/joined.docx
// with the same calls as the join command (one copy and one append step per document, every
// step with an instance of its own), and prints seconds per step, the office start-up, and the
// peak memory of this process and of the converter process.
#include "engine/DocumentEngine.h"
#include "engine/office/OfficeBridge.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using paperloom::EndKeyArgs;
using paperloom::WordAutomation;
namespace wd = paperloom::wd;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// One entry of the join: the copy step, then the first, middle or last append step.
void joinEntry(WordAutomation& word, const std::string& source, const std::string& output,
               std::size_t index, std::size_t count) {
    {
        auto app = word.createInstance();
        app->setDisplayAlerts(false);
        auto& document = app->Documents().Open(source);
        document.Range()->Copy();
        document.Close();
        app->Quit();
    }
    auto app = word.createInstance();
    app->setDisplayAlerts(false);
    if (index == 0) {
        auto& document = app->Documents().Add();
        app->Selection().EndKey(EndKeyArgs{wd::Story, wd::Move});
        document.PageSetup().setOrientation(wd::OrientPortrait);
    } else {
        app->Documents().Open(output);
        app->Selection().EndKey(EndKeyArgs{wd::Story, wd::Move});
    }
    app->Selection().PasteAndFormat(wd::FormatOriginal);
    if (index + 1 < count || index == 0) {
        app->Selection().InsertBreak({wd::PageBreak});
    } else {
        app->Selection().InsertBreak({wd::PageBreak});
        app->Selection().EndKey(EndKeyArgs{wd::Story, std::nullopt});
        app->Selection().TypeBackspace();
    }
    app->ActiveDocument().SaveAs(output);
    app->Quit();
}

long selfPeakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

int joinInto(const std::string& output, const std::vector<std::string>& inputs) {
    auto bridge = std::make_shared<paperloom::engine::office::OfficeBridge>();
    paperloom::engine::DocumentEngine engine;
    engine.setConverter(bridge);
    std::remove(output.c_str());
    std::printf("== %s (%zu documents, page breaks on)\n", output.c_str(), inputs.size());
    const auto all = Clock::now();
    long officePeak = 0;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const auto step = Clock::now();
        try {
            joinEntry(engine, inputs[i], output, i, inputs.size());
        } catch (const paperloom::WordError& error) {
            std::printf("FAILED at %s: %s (%s)\n", inputs[i].c_str(), error.userMessage().c_str(),
                        error.detail().c_str());
            return 1;
        }
        officePeak = std::max(officePeak, bridge->processPeakKiB());
        std::printf("  %2zu %-40s %6.2f s%s\n", i + 1, inputs[i].c_str(), since(step),
                    i == 0 ? "  (includes the office start-up)" : "");
    }
    const double total = since(all);
    std::printf("  total %.2f s, %.3f s per document; office start-up %.2f s (%d start%s)\n", total,
                total / static_cast<double>(inputs.size()), bridge->lastStartSeconds(),
                bridge->startCount(), bridge->startCount() == 1 ? "" : "s");
    std::printf("  peak memory: Paperloom %ld MiB, office process %ld MiB\n", selfPeakKiB() / 1024,
                officePeak / 1024);
    return 0;
}

/// Each input converted alone by a warm bridge: the cost of the conversion itself.
void warmConversions(const std::string& folder, const std::vector<std::string>& inputs) {
    paperloom::engine::office::OfficeBridge bridge;
    std::printf("== warm conversions to WordprocessingML, one by one\n");
    std::vector<double> seconds;
    for (const auto& input : inputs) {
        const auto start = Clock::now();
        try {
            bridge.toWordPackage(input, folder + "/converted.docx");
        } catch (const paperloom::WordError& error) {
            std::printf("  %-40s failed: %s\n", input.c_str(), error.userMessage().c_str());
            continue;
        }
        seconds.push_back(since(start));
        std::printf("  %-40s %6.2f s%s\n", input.c_str(), seconds.back(),
                    seconds.size() == 1 ? "  (includes the office start-up)" : "");
    }
    if (seconds.size() > 2) {
        std::vector<double> warm(seconds.begin() + 1, seconds.end());
        std::sort(warm.begin(), warm.end());
        std::printf("  warm median %.3f s, fastest %.3f s, slowest %.3f s\n", warm[warm.size() / 2],
                    warm.front(), warm.back());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: paperloom-office-bench OUTPUT-FOLDER INPUT...\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::vector<std::string> inputs(argv + 2, argv + argc);
    int status = joinInto(folder + "/joined.doc", inputs);
    status |= joinInto(folder + "/joined.docx", inputs);
    warmConversions(folder, inputs);
    return status;
}
