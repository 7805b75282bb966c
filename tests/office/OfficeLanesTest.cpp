// The bridge's lanes: conversions spread over more than one converter process.
#include "office/OfficeBridge.h"
#include "office/OfficeProcess.h"
#include "office/OfficeWire.h"

#include "OfficeTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace paperloom::engine::office {
namespace {

using namespace test;

// A converter that plays both roles: the first process takes a second per document and writes
// "first" into what it converts; a further one (started with kUnoElsewhere) hands every
// document back at once, as it does those that need the UNO-driven LibreOffice.
std::string twoRoleConverter() {
    return std::string("#!/usr/bin/python3\n"
                       "import os, struct, sys, time\n"
                       "further = '") +
           kUnoElsewhere + "' in sys.argv\n" + kFakeConverterWire +
           "put([b'ready'])\n"
           "while True:\n"
           "    count = struct.unpack('<I', take(4))[0]\n"
           "    fields = [take(struct.unpack('<I', take(4))[0]) for _ in range(count)]\n"
           "    if further:\n"
           "        put([b'failed', b'" +
           kReasonElsewhere +
           "', fields[1]])\n"
           "        continue\n"
           "    time.sleep(1)\n"
           "    with open(fields[2], 'w') as out:\n"
           "        out.write('first')\n"
           "    put([b'ok'])\n";
}

/// A bridge of up to two processes of program, with its profiles in scratch.
OfficeBridgeOptions twoProcesses(const std::string& program, const Scratch& scratch) {
    OfficeBridgeOptions options;
    options.converterProgram = program;
    options.tempFolder = scratch.path().string();
    options.processes = 2;
    return options;
}

TEST(OfficeLanes, AFurtherProcessLeavesADocumentThatNeedsUnoToTheFirst) {
    Scratch scratch;
    const std::string program = scratch / "two-role-convert";
    writeFile(program, twoRoleConverter(), true);
    const std::string legacy = scratch / "legacy.doc";
    writeFile(legacy, "not a real document");
    const OfficeBridgeOptions options = twoProcesses(program, scratch);
    auto bridge = std::make_shared<OfficeBridge>(options);
    std::thread earlier([&] { bridge->toWordPackage(legacy, scratch / "earlier.docx"); });
    // The first process is busy with that one, so this one starts a further process.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_NO_THROW(bridge->toWordPackage(legacy, scratch / "later.docx"));
    earlier.join();
    EXPECT_EQ(bridge->startCount(), 2);
    EXPECT_EQ(firstBytes(scratch / "later.docx", 16), "first");
    EXPECT_EQ(firstBytes(scratch / "earlier.docx", 16), "first");
}

TEST(OfficeLanes, PreparedProcessesStartBeforeAnyConversionAndEndWithTheBridge) {
    Scratch scratch;
    const std::string program = scratch / "slow-start-convert";
    // Takes half a second to start, like a (much faster) LibreOffice, then converts at once.
    writeFile(program,
              std::string("#!/usr/bin/python3\n"
                          "import os, struct, sys, time\n") +
                  kFakeConverterWire +
                  "time.sleep(0.5)\n"
                  "put([b'ready'])\n"
                  "while True:\n"
                  "    count = struct.unpack('<I', take(4))[0]\n"
                  "    fields = [take(struct.unpack('<I', take(4))[0]) for _ in range(count)]\n"
                  "    open(fields[2], 'w').write('converted')\n"
                  "    put([b'ok'])\n",
              true);
    const std::string legacy = scratch / "legacy.doc";
    writeFile(legacy, "not a real document");
    const OfficeBridgeOptions options = twoProcesses(program, scratch);
    {
        OfficeBridge bridge(options);
        bridge.prepare(5);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (bridge.readyProcesses() < 2 && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_EQ(bridge.readyProcesses(), 2) << "both started without a conversion";
        EXPECT_NO_THROW(bridge.toWordPackage(legacy, scratch / "out.docx"));
        EXPECT_EQ(bridge.startCount(), 2) << "the conversion found them started";
    }
    {
        OfficeBridge bridge(options);
        bridge.prepare(2); // and the bridge goes while they start
    }
    EXPECT_TRUE(processesMentioning(program).empty());
    for (const auto& entry : fs::directory_iterator(scratch.path())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with(kProfilePrefix));
    }
}

TEST_F(RealOffice, AProcessWithoutUnoHandsADocumentThatNeedsItBackAndStartsNone) {
    Scratch scratch;
    OfficeBridgeOptions options;
    options.tempFolder = scratch.path().string();
    OfficeProcess process(options, -1);
    const std::string input = (kCorpus / "test10.doc").string();
    const ConversionRequest request{input, scratch / "out.docx", "docx", Direction::Import, input};
    process.start(request, false);
    EXPECT_THROW(process.convert(request), LeftToFirstProcess);
    EXPECT_FALSE(fs::exists(scratch / "out.docx"));
    const std::string profiles = fileUrl(scratch.path().string()) + "/" + kProfilePrefix;
    const auto ours = processesMentioning(profiles);
    EXPECT_EQ(ours, std::vector<int>{process.processId()}) << "no soffice of its own";
    const std::string sound = (kCorpus / "test01.doc").string();
    EXPECT_NO_THROW(
        process.convert({sound, scratch / "sound.docx", "docx", Direction::Import, sound}));
}

} // namespace
} // namespace paperloom::engine::office
