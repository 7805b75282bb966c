// The scan for a word processor of the user's own: over prepared process trees, where every
// race and oddity can be set up, and once over the real /proc with a child of our own.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/RunningWordProcessor.h"

using namespace paperloom;
using namespace paperloom::engine;
namespace fs = std::filesystem;

namespace {

constexpr unsigned kUser = 1000;
constexpr int kSelf = 100;
// The start of the profile folder names of the office processes the scanning program runs.
constexpr const char* kOurProfilePrefix = "our-office-profile-";

// A process file system in a temporary folder, with what the scan reads of each process.
class FakeProc {
public:
    FakeProc() {
        std::string pattern = (fs::temp_directory_path() / "paperloom-proc-XXXXXX").string();
        m_root = ::mkdtemp(pattern.data());
    }
    ~FakeProc() {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    FakeProc(const FakeProc&) = delete;
    FakeProc& operator=(const FakeProc&) = delete;

    struct Process {
        int pid;
        int parent = 1;
        std::string comm{};
        std::vector<std::string> arguments{};
        std::string exe{};
        unsigned realUid = kUser;
        unsigned effectiveUid = kUser;
        char state = 'S';
    };

    void add(const Process& p) {
        const fs::path dir = m_root / std::to_string(p.pid);
        fs::create_directories(dir);
        write(dir / "comm", p.comm + "\n");
        write(dir / "status", "Name:\t" + p.comm + "\nUmask:\t0022\nState:\t" + p.state +
                                  "\nUid:\t" + std::to_string(p.realUid) + "\t" +
                                  std::to_string(p.effectiveUid) + "\t" +
                                  std::to_string(p.effectiveUid) + "\t" +
                                  std::to_string(p.effectiveUid) + "\nGid:\t100\t100\t100\t100\n");
        write(dir / "stat", std::to_string(p.pid) + " (" + p.comm + ") " + p.state + " " +
                                std::to_string(p.parent) + " 1 1 0 -1 4194560 0 0\n");
        std::string cmdline;
        for (const std::string& argument : p.arguments) {
            cmdline += argument;
            cmdline.push_back('\0');
        }
        write(dir / "cmdline", cmdline);
        if (!p.exe.empty()) {
            fs::create_symlink(p.exe, dir / "exe");
        }
    }

    void remove(int pid, const std::string& file) {
        fs::remove(m_root / std::to_string(pid) / file);
    }

    void write(const fs::path& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }

    [[nodiscard]] ProcessScan scan() const {
        return {m_root.string(), kUser, kSelf, kOurProfilePrefix};
    }
    [[nodiscard]] const fs::path& root() const { return m_root; }

private:
    fs::path m_root;
};

std::vector<int> pids(const std::vector<FoundWordProcessor>& found) {
    std::vector<int> result;
    for (const FoundWordProcessor& one : found) {
        result.push_back(one.pid);
    }
    std::sort(result.begin(), result.end());
    return result;
}

// Each product is recognised by whichever of command name, program or first argument it shows.
struct ProductCase {
    const char* name;
    std::string comm;
    std::vector<std::string> arguments;
    std::string exe;
    std::string product; // empty: must not be counted
};

void PrintTo(const ProductCase& c, std::ostream* out) {
    *out << c.name;
}

class ProductRecognition : public testing::TestWithParam<ProductCase> {};

TEST_P(ProductRecognition, countsTheWordProcessorsAndNothingElse) {
    const ProductCase& c = GetParam();
    FakeProc proc;
    proc.add({.pid = 4242, .comm = c.comm, .arguments = c.arguments, .exe = c.exe});

    const std::optional<FoundWordProcessor> found = findRunningWordProcessor(proc.scan());

    if (c.product.empty()) {
        EXPECT_FALSE(found.has_value());
    } else {
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->pid, 4242);
        EXPECT_EQ(found->product, c.product);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Processes, ProductRecognition,
    testing::Values(
        ProductCase{"LibreOfficeByComm",
                    "soffice.bin",
                    {"/usr/lib/libreoffice/program/soffice.bin", "--writer"},
                    "/usr/lib/libreoffice/program/soffice.bin",
                    "LibreOffice"},
        ProductCase{"LibreOfficeLauncherScript",
                    "soffice",
                    {"/bin/sh", "/usr/bin/soffice"},
                    "/usr/bin/dash",
                    "LibreOffice"},
        ProductCase{"AbiWordByProgramOnly", "x", {}, "/usr/bin/abiword", "AbiWord"},
        ProductCase{"CalligraWords", "calligrawords", {"calligrawords"}, "", "Calligra Words"},
        ProductCase{"OnlyOffice",
                    "DesktopEditors",
                    {"/opt/onlyoffice/desktopeditors/DesktopEditors"},
                    "/opt/onlyoffice/desktopeditors/DesktopEditors",
                    "ONLYOFFICE"},
        ProductCase{"WpsByFirstArgument",
                    "office6-main",
                    {"/opt/kingsoft/wps-office/office6/wps", "/home/ann/a.docx"},
                    "",
                    "WPS Writer"},
        ProductCase{"WordUnderWine",
                    "WINWORD.EXE",
                    {"C:\\Program Files\\Microsoft Office\\root\\Office16\\WINWORD.EXE"},
                    "/usr/lib/wine/wine64-preloader",
                    "Word under Wine"},
        ProductCase{"WordUnderWineLowerCase",
                    "wine64-preload",
                    {"c:\\office\\winword.exe", "/n"},
                    "/usr/lib/wine/wine64-preloader",
                    "Word under Wine"},
        ProductCase{"ProgramWithDeletedBinary", "x", {}, "/usr/bin/abiword (deleted)", "AbiWord"},
        ProductCase{"EditorOpeningAFileNamedLikeOne",
                    "vim",
                    {"vim", "soffice.bin", "WINWORD.EXE"},
                    "/usr/bin/vim.basic",
                    ""},
        ProductCase{"SimilarNames", "wpspdf", {"/opt/x/wpp", "abiword-helper"}, "/opt/x/et", ""},
        ProductCase{"WrongCaseOfANativeName", "AbiWord", {"AbiWord"}, "", ""}),
    [](const testing::TestParamInfo<ProductCase>& row) { return std::string(row.param.name); });

TEST(RunningWordProcessor, onlyProcessesOfTheUsersRealUidCount) {
    FakeProc proc;
    proc.add({.pid = 10, .comm = "soffice.bin", .realUid = 1001});
    proc.add({.pid = 11, .comm = "abiword", .realUid = 1001, .effectiveUid = kUser});
    proc.add({.pid = 12, .comm = "calligrawords", .realUid = kUser, .effectiveUid = 0});

    EXPECT_EQ(pids(findRunningWordProcessors(proc.scan())), std::vector<int>{12});
}

TEST(RunningWordProcessor, officeProcessesOfOurOwnNeverCount) {
    FakeProc proc;
    // Started by us through a launcher: a grandchild.
    proc.add({.pid = 200, .parent = kSelf, .comm = "oosplash"});
    proc.add({.pid = 201, .parent = 200, .comm = "soffice.bin"});
    // Ours, but left behind and taken over by init: known by its private profile.
    proc.add({.pid = 300,
              .parent = 1,
              .comm = "soffice.bin",
              .arguments = {"soffice.bin", "--headless",
                            std::string("-env:UserInstallation=file:///tmp/") + kOurProfilePrefix +
                                "Xa12"}});
    // The user's own, with a profile of their own.
    proc.add({.pid = 400,
              .parent = 1,
              .comm = "soffice.bin",
              .arguments = {"soffice.bin", "-env:UserInstallation=file:///home/ann/.lo"}});
    // A process that names our marker in some other argument is still the user's.
    proc.add({.pid = 401,
              .comm = "abiword",
              .arguments = {"abiword", std::string("/tmp/") + kOurProfilePrefix + "1.docx"}});
    // We ourselves, whatever we are called.
    proc.add({.pid = kSelf, .parent = 1, .comm = "soffice.bin"});

    EXPECT_EQ(pids(findRunningWordProcessors(proc.scan())), (std::vector<int>{400, 401}));
}

TEST(RunningWordProcessor, processesThatVanishOrEndMidwayAreNotCounted) {
    FakeProc proc;
    proc.add({.pid = 20, .comm = "soffice.bin"});
    proc.remove(20, "status");
    proc.add({.pid = 21, .comm = "soffice.bin"});
    proc.remove(21, "stat");
    proc.add({.pid = 22, .comm = "soffice.bin", .state = 'Z'});
    // Only its folder is left.
    fs::create_directories(proc.root() / "23");
    // Not a process folder at all.
    proc.write(proc.root() / "24", "");
    proc.write(proc.root() / "self", "");
    // A parent chain that loops, or leads to a process already gone.
    proc.add({.pid = 30, .parent = 31, .comm = "bash"});
    proc.add({.pid = 31, .parent = 30, .comm = "bash"});
    proc.add({.pid = 32, .parent = 30, .comm = "abiword"});
    proc.add({.pid = 33, .parent = 999, .comm = "wps"});

    EXPECT_EQ(pids(findRunningWordProcessors(proc.scan())), (std::vector<int>{32, 33}));
}

TEST(RunningWordProcessor, oddCommandNamesAndMissingFilesAreHandled) {
    FakeProc proc;
    // A command name with parentheses and spaces must not shift the fields after it.
    proc.add({.pid = 40, .parent = kSelf, .comm = "a) S 1 (b"});
    proc.add({.pid = 41, .parent = 40, .comm = "abiword"});
    proc.add({.pid = 42, .comm = "calligrawords"});
    proc.remove(42, "cmdline");
    proc.remove(42, "comm");
    proc.write(proc.root() / "42" / "status", "Name:\tx\n");

    EXPECT_TRUE(findRunningWordProcessors(proc.scan()).empty());
}

TEST(RunningWordProcessor, aMissingProcessFileSystemFindsNothing) {
    EXPECT_FALSE(findRunningWordProcessor({"/nonexistent/proc", kUser, kSelf, kOurProfilePrefix})
                     .has_value());
}

TEST(RunningWordProcessor, theFoundInstanceAnswersToTheAutomationNameOnly) {
    FakeProc proc;
    EXPECT_EQ(findRunningWordProcessorInstance(proc.scan()), nullptr);

    proc.add({.pid = 50, .comm = "abiword"});
    const std::unique_ptr<WordApplication> running = findRunningWordProcessorInstance(proc.scan());
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(running->Name(), "Microsoft Word");
    EXPECT_THROW(running->Quit(), WordError);
    EXPECT_THROW(running->Documents(), WordError);
}

// Over the real /proc: a child of ours running under a word processor's name is found only when
// the scan is told we are somebody else.
TEST(RunningWordProcessor, aChildOfOursInTheRealProcessTableIsNotCounted) {
    std::string pattern = (fs::temp_directory_path() / "paperloom-bin-XXXXXX").string();
    const fs::path dir = ::mkdtemp(pattern.data());
    const fs::path program = dir / "abiword";
    fs::copy_file("/bin/sleep", program);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(program.c_str(), "abiword", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Wait until the child runs the program.
    const fs::path comm = fs::path("/proc") / std::to_string(child) / "comm";
    std::string name;
    for (int attempt = 0; attempt < 200 && name != "abiword"; ++attempt) {
        std::ifstream in(comm);
        std::getline(in, name);
        if (name != "abiword") {
            ::usleep(10000);
        }
    }

    const ProcessScan ours = currentProcessScan(kOurProfilePrefix);
    ProcessScan stranger = ours;
    stranger.selfPid = -1;
    const std::vector<int> asOurs = pids(findRunningWordProcessors(ours));
    const std::vector<int> asStranger = pids(findRunningWordProcessors(stranger));

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    fs::remove_all(dir);

    EXPECT_EQ(name, "abiword");
    EXPECT_EQ(std::count(asOurs.begin(), asOurs.end(), child), 0);
    EXPECT_EQ(std::count(asStranger.begin(), asStranger.end(), child), 1);
}

} // namespace
