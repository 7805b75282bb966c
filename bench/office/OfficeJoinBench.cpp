// Times joins through the office bridge against the conversions they cannot avoid.
//
// Usage: paperloom-office-bench [--counts=N,N,...] [--processes=N] [--rounds=N] OUTPUT-FOLDER
//                               DOCUMENT [LEGACY...]
//
// For each count N (10, 40 and 100 unless given), joins N copies of DOCUMENT into a .docx and
// into a .doc with the join's calls, times one conversion of the joined .docx into .doc, and
// prints the ratio of the .doc join to the .docx join plus that one conversion. Then, for the
// LEGACY files (Word 97-2003, RTF, ODF), times converting each alone, one after another, and
// joining those that convert into one .docx (once as the first join, then with every converter
// process the bridge may run started ahead, as the window starts them); last, joins all of them as
// given, which stops at the first that cannot be converted, and prints the sentence it stops with.
// With more than one round, the conversions one after another and the prepared join are timed
// again that many times, each pair back to back, and the median and worst ratio printed; each
// round also times the same conversions spread over the bridge's processes, largest first, with
// no join: what the join would take if its own work cost nothing and its processes never waited.
// Every measurement uses one warm LibreOffice, so its start-up counts in none of them.
#include "engine/automation/DocumentEngine.h"
#include "office/OfficeBridge.h"

#include "../../tests/engine/JoinDocuments.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using paperloom::WordError;
using paperloom::engine::DocumentEngine;
using paperloom::engine::office::OfficeBridge;
using paperloom::engine::testing::JoinChoices;
using paperloom::engine::testing::joinDocuments;

/// Seconds that work took; the sentence of a WordError it threw goes to failure.
double timed(const std::function<void()>& work, std::string* failure = nullptr) {
    const auto start = Clock::now();
    try {
        work();
    } catch (const WordError& error) {
        if (failure == nullptr) {
            throw;
        }
        *failure = error.userMessage();
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// A whole join with a fresh engine over the shared bridge, page breaks on.
double join(const std::shared_ptr<OfficeBridge>& bridge, const std::vector<std::string>& inputs,
            const std::string& output, std::string* failure = nullptr) {
    std::filesystem::remove(output);
    return timed(
        [&] {
            DocumentEngine engine;
            engine.setConverter(bridge);
            joinDocuments(engine, inputs, output, JoinChoices{true, false});
        },
        failure);
}

void copiesOfOneDocument(const std::shared_ptr<OfficeBridge>& bridge, const std::string& folder,
                         const std::string& document, const std::vector<int>& counts) {
    std::printf("== copies of %s, page breaks on\n", document.c_str());
    std::printf("%6s %10s %10s %14s %8s\n", "N", "docx s", "doc s", "1 conversion s", "ratio");
    for (const int count : counts) {
        const std::vector<std::string> inputs(static_cast<std::size_t>(count), document);
        const std::string base = folder + "/copies-" + std::to_string(count);
        const double docx = join(bridge, inputs, base + ".docx");
        const double doc = join(bridge, inputs, base + ".doc");
        const double conversion =
            timed([&] { bridge->fromWordPackage(base + ".docx", base + "-converted.doc"); });
        std::printf("%6d %10.2f %10.2f %14.2f %8.2f\n", count, docx, doc, conversion,
                    doc / (docx + conversion));
    }
    std::printf("  ratio: .doc join / (.docx join + one conversion); aim <= 1.5\n");
}

/// Seconds converting each of inputs alone, one after another, took; those that converted go
/// to sound. Prints each when asked.
double serialConversions(const std::shared_ptr<OfficeBridge>& bridge, const std::string& folder,
                         const std::vector<std::string>& inputs, std::vector<std::string>& sound,
                         bool print) {
    sound.clear();
    double sum = 0;
    for (const std::string& input : inputs) {
        std::string failure;
        const double seconds =
            timed([&] { bridge->toWordPackage(input, folder + "/converted.docx"); }, &failure);
        if (failure.empty()) {
            sound.push_back(input);
            sum += seconds;
        }
        if (print) {
            std::printf("  %-60s %6.2f s%s%s\n", input.c_str(), seconds,
                        failure.empty() ? "" : "  ", failure.c_str());
        }
    }
    return sum;
}

/// Seconds converting inputs took, as many at once as the bridge takes, largest first.
double sideBySide(const std::shared_ptr<OfficeBridge>& bridge, const std::string& folder,
                  std::vector<std::string> inputs) {
    std::stable_sort(inputs.begin(), inputs.end(), [](const std::string& a, const std::string& b) {
        return std::filesystem::file_size(a) > std::filesystem::file_size(b);
    });
    std::mutex mutex;
    std::size_t next = 0;
    return timed([&] {
        std::vector<std::thread> threads;
        for (int lane = 0; lane < bridge->parallelConversions(); ++lane) {
            threads.emplace_back([&, lane] {
                const std::string package = folder + "/side-" + std::to_string(lane) + ".docx";
                for (;;) {
                    std::string input;
                    {
                        std::lock_guard lock(mutex);
                        if (next == inputs.size()) {
                            return;
                        }
                        input = inputs[next++];
                    }
                    try {
                        bridge->toWordPackage(input, package);
                    } catch (const WordError&) {
                        // Left out of the join as well.
                    }
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    });
}

/// Starts every converter process the bridge may run for count conversions, as the window does
/// while the list is made, and waits until they are ready (a minute at most).
void prepareFor(const std::shared_ptr<OfficeBridge>& bridge, std::size_t count) {
    const double waited = timed([&] {
        bridge->prepare(count);
        const auto until = Clock::now() + std::chrono::seconds(60);
        while (bridge->readyProcesses() < bridge->parallelConversions() && Clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    std::printf("  %d converter processes ready after %.2f s\n", bridge->readyProcesses(), waited);
}

void legacyDocuments(const std::shared_ptr<OfficeBridge>& bridge, const std::string& folder,
                     const std::vector<std::string>& legacy, int rounds) {
    std::printf("== legacy documents, each converted alone, one after another\n");
    std::vector<std::string> sound;
    const double sum = serialConversions(bridge, folder, legacy, sound, true);
    std::printf("  %zu converted: %.2f s one after another\n", sound.size(), sum);
    // The first join may start further LibreOffice processes as conversions wait; the window
    // starts them while the list is made, which the joins after prepare() stand for.
    for (const char* when : {"first join", "prepared", "again"}) {
        if (std::string(when) == "prepared") {
            prepareFor(bridge, sound.size());
        }
        std::string failure;
        const double joined = join(bridge, sound, folder + "/legacy.docx", &failure);
        std::printf("  %-10s into .docx %6.2f s, ratio %.2f (aim <= 0.6), %d converter starts so "
                    "far%s%s\n",
                    when, joined, sum > 0 ? joined / sum : 0.0, bridge->startCount(),
                    failure.empty() ? "" : "; FAILED: ", failure.c_str());
    }
    // On a machine shared with other work the load changes within seconds: each round times the
    // conversions one after another right before the prepared join it is compared with.
    if (rounds > 1) {
        std::vector<double> ratios;
        for (int round = 1; round <= rounds; ++round) {
            std::vector<std::string> converted;
            const double serial = serialConversions(bridge, folder, legacy, converted, false);
            prepareFor(bridge, converted.size());
            const double side = sideBySide(bridge, folder, converted);
            std::string failure;
            const double joined = join(bridge, converted, folder + "/legacy.docx", &failure);
            ratios.push_back(serial > 0 ? joined / serial : 0.0);
            std::printf("  round %d: %.2f s one after another, %.2f s side by side (%.2f), "
                        "prepared join %.2f s, ratio %.2f%s%s\n",
                        round, serial, side, serial > 0 ? side / serial : 0.0, joined,
                        ratios.back(), failure.empty() ? "" : "; FAILED: ", failure.c_str());
        }
        std::sort(ratios.begin(), ratios.end());
        std::printf("  median ratio of %d rounds %.2f, worst %.2f (aim <= 0.6)\n", rounds,
                    ratios[ratios.size() / 2], ratios.back());
    }
    std::string failure;
    if (sound.size() != legacy.size()) {
        failure.clear();
        const double all = join(bridge, legacy, folder + "/legacy-all.docx", &failure);
        std::printf("  all %zu as given: %.2f s, %s\n", legacy.size(), all,
                    failure.empty() ? "joined (a failing document should have stopped it)"
                                    : ("stopped: " + failure).c_str());
    }
}

std::vector<int> countsFrom(const std::string& list) {
    std::vector<int> counts;
    std::istringstream stream(list);
    std::string item;
    while (std::getline(stream, item, ',')) {
        const int count = std::atoi(item.c_str());
        if (count > 0) {
            counts.push_back(count);
        }
    }
    return counts;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> counts{10, 40, 100};
    paperloom::engine::office::OfficeBridgeOptions options;
    int first = 1;
    const std::string countsOption = "--counts=";
    const std::string processesOption = "--processes=";
    const std::string roundsOption = "--rounds=";
    int rounds = 1;
    for (; first < argc; ++first) {
        const std::string argument = argv[first];
        if (argument.rfind(countsOption, 0) == 0) {
            counts = countsFrom(argument.substr(countsOption.size()));
        } else if (argument.rfind(roundsOption, 0) == 0) {
            rounds = std::max(1, std::atoi(argument.c_str() + roundsOption.size()));
        } else if (argument.rfind(processesOption, 0) == 0) {
            options.processes = std::atoi(argument.c_str() + processesOption.size());
        } else {
            break;
        }
    }
    if (argc - first < 2 || counts.empty()) {
        std::fprintf(stderr, "usage: paperloom-office-bench [--counts=N,N,...] [--processes=N] "
                             "[--rounds=N] OUTPUT-FOLDER DOCUMENT [LEGACY...]\n");
        return 2;
    }
    const std::string folder = argv[first];
    const std::string document = argv[first + 1];
    const std::vector<std::string> legacy(argv + first + 2, argv + argc);
    auto bridge = std::make_shared<OfficeBridge>(options);
    try {
        const double start =
            timed([&] { bridge->fromWordPackage(document, folder + "/warm-up.doc"); });
        std::printf("office start-up and a first conversion: %.2f s\n", start);
        copiesOfOneDocument(bridge, folder, document, counts);
    } catch (const WordError& error) {
        std::fprintf(stderr, "%s\n", error.userMessage().c_str());
        return 1;
    }
    if (!legacy.empty()) {
        legacyDocuments(bridge, folder, legacy, rounds);
    }
    return 0;
}
