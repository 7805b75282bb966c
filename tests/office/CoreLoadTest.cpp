// Whether a further converter process finds a core of its own: what /proc is read as, and the
// decision over two samples.
#include "office/CoreLoad.h"

#include "OfficeTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace paperloom::engine::office {
namespace {

using namespace test;

/// Two cores over one second (100 ticks each): busy ticks in all, and ours among them.
CoreSample secondLater(long long busy, long long ours) {
    CoreSample sample;
    sample.busy = busy;
    sample.total = 200;
    sample.cores = 2;
    sample.ours = {{4000, ours}};
    return sample;
}

CoreSample atStart() {
    CoreSample sample;
    sample.cores = 2;
    sample.ours = {{4000, 0}};
    return sample;
}

// The load average counts our own converter, so right after a conversion it always looked busy.
TEST(CoreLoad, AnIdleMachineWithOurConverterBusyHasACoreToSpare) {
    EXPECT_TRUE(coreToSpare(atStart(), secondLater(105, 95), 2, 1));
    // A converter that started within the interval counts from nothing.
    CoreSample started = secondLater(105, 95);
    started.ours[4100] = 10;
    EXPECT_TRUE(coreToSpare(atStart(), started, 2, 1));
    // Both cores are ours: no room for a third process, nor for a second on one usable core.
    EXPECT_FALSE(coreToSpare(atStart(), secondLater(105, 95), 2, 2));
    EXPECT_FALSE(coreToSpare(atStart(), secondLater(105, 95), 1, 1));
}

TEST(CoreLoad, AMachineBusyWithOthersHasNone) {
    EXPECT_FALSE(coreToSpare(atStart(), secondLater(170, 95), 2, 1));
    // Others' work on a core of its own leaves none for a second process, even with ours idle.
    EXPECT_FALSE(coreToSpare(atStart(), secondLater(100, 0), 2, 1));
    // An empty interval tells nothing.
    EXPECT_FALSE(coreToSpare(atStart(), atStart(), 2, 0));
}

TEST(CoreLoad, OursAreTheGroupsOurChildrenLead) {
    Scratch proc;
    writeFile(proc / "stat", "cpu  100 20 30 400 50 1 2 3 7 0\n"
                             "cpu0 50 10 15 200 25 1 1 2 4 0\n"
                             "cpu1 50 10 15 200 25 0 1 1 3 0\n"
                             "intr 1 2 3\n");
    const auto process = [&](int pid, const std::string& comm, int parent, int group,
                             const std::string& times) {
        std::filesystem::create_directory(proc / std::to_string(pid));
        writeFile(proc / (std::to_string(pid) + "/stat"),
                  std::to_string(pid) + " (" + comm + ") S " + std::to_string(parent) + " " +
                      std::to_string(group) + " 1 0 -1 4194304 1 0 0 0 " + times +
                      " 20 0 1 0 100 1000 50\n");
    };
    process(300, "paperloom", 1, 300, "900 90 0 0");         // ourselves
    process(301, "paperloom-convert", 300, 301, "40 2 3 1"); // a converter we started
    process(302, "soffice.bin) (x", 301, 301, "7 1 0 0");    // its LibreOffice
    process(303, "sh", 300, 300, "5 5 0 0");                 // a child in our own group
    process(304, "cc1plus", 1, 304, "500 20 0 0");           // someone else's
    std::filesystem::create_directory(proc / "self");

    const auto sample = sampleCores(300, proc.path().string());
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->cores, 2);
    EXPECT_EQ(sample->total, 606);
    EXPECT_EQ(sample->busy, 156);
    EXPECT_EQ(sample->ours, (std::map<pid_t, long long>{{301, 46}, {302, 8}}));

    Scratch unreadable;
    EXPECT_FALSE(sampleCores(300, unreadable.path().string()));
}

} // namespace
} // namespace paperloom::engine::office
