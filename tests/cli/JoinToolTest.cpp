// paperloom-join: its arguments and outcomes over a recording word processor, and the real
// program over documents the engine makes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "RecordingWord.h"
#include "cli/JoinTool.h"
#include "engine/automation/DocumentEngine.h"

using namespace paperloom;
using paperloom::test::RecordingWord;
namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

ToolRun runTool(RecordingWord& word, const std::vector<std::string>& arguments,
                bool showProgress = false) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = cli::runJoinTool(arguments, word, out, err, showProgress);
    return {status, out.str(), err.str()};
}

int count(const RecordingWord& word, const std::string& call) {
    return static_cast<int>(std::count(word.calls.begin(), word.calls.end(), call));
}

TEST(JoinTool, usageErrorsExitWithTwoAndTheUsageLine) {
    const std::vector<std::vector<std::string>> cases{{},
                                                      {"out.docx"},
                                                      {"--landscape", "out.docx"},
                                                      {"--portrait", "out.docx", "a.docx"},
                                                      {"out.docx", ""},
                                                      {"-x", "out.docx", "a.docx"}};
    for (const std::vector<std::string>& arguments : cases) {
        RecordingWord word;
        const ToolRun run = runTool(word, arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("\nusage: paperloom-join [--landscape] [--page-breaks] OUTPUT "
                               "INPUT...\n"),
                  std::string::npos)
            << run.err;
        EXPECT_TRUE(word.calls.empty());
    }
}

TEST(JoinTool, helpAndVersionGoToStandardOutputAndJoinNothing) {
    RecordingWord word;
    const ToolRun help = runTool(word, {"out.docx", "--help", "-x"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_TRUE(help.out.starts_with(std::string(cli::kUsage) + "\n")) << help.out;
    for (const char* format : {".docx", ".doc .dot", ".rtf", ".odt", ".pdf"}) {
        EXPECT_NE(help.out.find(format), std::string::npos) << format;
    }

    const ToolRun version = runTool(word, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "paperloom-join " PAPERLOOM_VERSION "\n");
    EXPECT_TRUE(word.calls.empty());

    // After "--" they are file names like any other.
    RecordingWord named;
    EXPECT_EQ(runTool(named, {"/o.docx", "--", "--version"}).out, "");
    EXPECT_EQ(count(named, "Documents.Open(--version)"), 1);
}

TEST(JoinTool, optionsChooseOrientationAndPageBreaks) {
    RecordingWord word;
    const ToolRun run =
        runTool(word, {"--page-breaks", "--landscape", "/o.docx", "/a.docx", "--", "/b.docx"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(count(word, "PageSetup.Orientation=1"), 1);
    EXPECT_EQ(count(word, "InsertBreak(Type=7)"), 2);
    EXPECT_EQ(count(word, "ActiveDocument.SaveAs(/o.docx)"), 2);

    RecordingWord plain;
    // After "--" a name that looks like an option is a file.
    EXPECT_EQ(runTool(plain, {"/o.docx", "--", "--landscape"}).status, 0);
    EXPECT_EQ(count(plain, "Documents.Open(--landscape)"), 1);
    EXPECT_EQ(count(plain, "PageSetup.Orientation=0"), 1);
    EXPECT_EQ(count(plain, "InsertBreak(Type=7)"), 0);
}

TEST(JoinTool, aFailingJoinExitsWithOneAndTheSentence) {
    RecordingWord word;
    word.failCall("Documents.Open(/b.docx)");
    const ToolRun run = runTool(word, {"/o.docx", "/a.docx", "/b.docx", "/c.docx"}, true);
    EXPECT_EQ(run.status, 1);
    // The bar's line is ended before the sentence, which has no carriage returns.
    EXPECT_NE(
        run.err.find(
            "] 67%\npaperloom-join: " + RecordingWord::failureMessage("Documents.Open(/b.docx)") +
            "\nThe join stopped at document 2 of 3, \"/b.docx\"; \"/o.docx\" holds the "
            "documents before it.\n"),
        std::string::npos)
        << run.err;
    EXPECT_EQ(count(word, "Documents.Open(/c.docx)"), 0);
}

TEST(JoinTool, progressIsDrawnOnlyWhenAsked) {
    RecordingWord word;
    const ToolRun drawn = runTool(word, {"/o.docx", "/a.docx", "/b.docx"}, true);
    EXPECT_EQ(drawn.status, 0);
    EXPECT_NE(drawn.err.find("\r[####################                    ] 50%"),
              std::string::npos);
    EXPECT_TRUE(drawn.err.ends_with("\r[########################################] 100%\n"));

    RecordingWord quiet;
    EXPECT_EQ(runTool(quiet, {"/o.docx", "/a.docx"}).err, "");
}

// The program itself, over the document engine.
class JoinToolProgram : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "paperloom-cli-XXXXXX").string();
        m_dir = ::mkdtemp(pattern.data());
        engine::DocumentEngine engine;
        for (const char* name : {"a.docx", "b.docx"}) {
            std::unique_ptr<WordApplication> word = engine.createInstance();
            word->Documents().Add();
            word->ActiveDocument().SaveAs((m_dir / name).string());
            word->Quit();
        }
    }
    void TearDown() override { fs::remove_all(m_dir); }

    ToolRun program(const std::string& arguments) {
        return shell(std::string(PAPERLOOM_JOIN_TOOL) + " " + arguments);
    }

    /// Runs a shell script in which TOOL stands for the program.
    ToolRun shell(std::string script) {
        for (auto at = script.find("TOOL"); at != std::string::npos; at = script.find("TOOL")) {
            script.replace(at, 4, PAPERLOOM_JOIN_TOOL);
        }
        const fs::path file = m_dir / "script.sh";
        std::ofstream(file) << script;
        const fs::path out = m_dir / "stdout";
        const fs::path err = m_dir / "stderr";
        const std::string command =
            "sh " + file.string() + " >" + out.string() + " 2>" + err.string() + " </dev/null";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read(out), read(err)};
    }

    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::string path(const char* name) const { return (m_dir / name).string(); }

private:
    fs::path m_dir;
};

TEST_F(JoinToolProgram, joinsFailsAndRefusesWithItsExitStatuses) {
    const ToolRun joined =
        program("--page-breaks " + path("out.docx") + " " + path("a.docx") + " " + path("b.docx"));
    EXPECT_EQ(joined.status, 0) << joined.err;
    EXPECT_EQ(read(path("out.docx")).substr(0, 2), "PK");

    const ToolRun failed =
        program(path("out2.docx") + " " + path("a.docx") + " " + path("gone.docx"));
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find(path("gone.docx")), std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find("holds the documents before it"), std::string::npos);

    const ToolRun misused = program(path("out3.docx"));
    EXPECT_EQ(misused.status, 2);
    EXPECT_NE(misused.err.find("usage: paperloom-join"), std::string::npos);
    EXPECT_FALSE(fs::exists(path("out3.docx")));
}

// Failures of the output name the output and the cause, never the first document.
TEST_F(JoinToolProgram, outputFailuresNameTheOutputAndTheirCause) {
    fs::create_directory(path("taken.docx"));
    const ToolRun folder = program(path("taken.docx") + " " + path("a.docx"));
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err, "paperloom-join: Cannot save " + path("taken.docx") +
                              ": a folder has that name.\nNothing was joined; no output document "
                              "was written.\n");

    // A full disk: a small file system of our own (in a user and mount namespace), filled up.
    const std::string disk = path("disk");
    fs::create_directory(disk);
    const ToolRun full = shell("unshare -Urm sh -c '\n"
                               "mount -t tmpfs -o size=64k tmpfs " +
                               disk +
                               " || exit 77\n"
                               "head -c 1M /dev/zero >" +
                               disk +
                               "/filler 2>/dev/null\n"
                               "TOOL " +
                               disk + "/out.docx " + path("a.docx") + " " + path("b.docx") +
                               " 2>&1\n"
                               "echo \"status $?\"\n"
                               "ls -A " +
                               disk + "\n'\n");
    if (full.out.find("status") == std::string::npos) {
        GTEST_SKIP() << "no mount namespace here: " << full.out << full.err;
    }
    EXPECT_EQ(full.out, "paperloom-join: Cannot save " + disk +
                            "/out.docx: the disk is full.\nNothing was joined; no output document "
                            "was written.\nstatus 1\nfiller\n");
}

} // namespace
