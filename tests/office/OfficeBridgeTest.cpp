// The office bridge against the real LibreOffice: legacy and other formats in and out of joins,
// and the faults around the converter process (missing office, hang, crash, damaged input).
#include "office/OfficeBridge.h"
#include "engine/automation/DocumentEngine.h"
#include "engine/package/ZipReader.h"
#include "office/LegacyWord.h"
#include "office/OfficeWire.h"
#include "platform/RunningWordProcessor.h"

#include "../engine/JoinDocuments.h"
#include "OfficeTestSupport.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace paperloom::engine::office {
namespace {

using namespace test;
using engine::testing::JoinChoices;
using engine::testing::joinDocuments;

// ------------------------------------------------------------------ output formats by name

struct FormatCase {
    const char* name;
    const char* path;
    const char* format;
};

class OutputFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(OutputFormat, ExtensionOfTheFileNameChoosesIt) {
    EXPECT_EQ(officeFormatFor(GetParam().path), GetParam().format);
    OfficeBridge bridge;
    EXPECT_EQ(bridge.convertsOutput(GetParam().path), *GetParam().format != '\0');
}

INSTANTIATE_TEST_SUITE_P(Names, OutputFormat,
                         ::testing::Values(FormatCase{"Doc", "/out/joined.doc", "doc"},
                                           FormatCase{"DocUpperCase", "/out/JOINED.DOC", "doc"},
                                           FormatCase{"DotTemplate", "/out/joined.dot", "doc"},
                                           FormatCase{"Rtf", "joined.rtf", "rtf"},
                                           FormatCase{"Odt", "j.Odt", "odt"},
                                           FormatCase{"Pdf", "/out/joined.pdf", "pdf"},
                                           FormatCase{"Docx", "/out/joined.docx", ""},
                                           FormatCase{"Docm", "/out/joined.docm", ""},
                                           FormatCase{"Dotx", "/out/joined.dotx", ""},
                                           FormatCase{"Dotm", "/out/joined.dotm", ""},
                                           FormatCase{"NoExtension", "/out/joined", ""},
                                           FormatCase{"UnknownExtension", "/out/joined.txt", ""},
                                           FormatCase{"DotInFolderOnly", "/out/old.doc/joined", ""},
                                           FormatCase{"HiddenFileNamedDoc", "/out/.doc", ""},
                                           FormatCase{"DocThenOther", "/out/joined.doc.bak", ""},
                                           FormatCase{"TrailingDot", "/out/joined.", ""}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// ------------------------------------------------------------------ password-protected files

TEST(PasswordProtection, EncryptedWordBinaryFailsAtOnceWithoutStartingTheOffice) {
    const std::string secret = (kData / "password-secret.doc").string();
    EXPECT_TRUE(isPasswordProtectedWordBinary(secret));
    auto bridge = std::make_shared<OfficeBridge>();
    DocumentEngine word;
    word.setConverter(bridge);
    auto app = word.createInstance();
    try {
        app->Documents().Open(secret);
        FAIL() << "a protected document must not open";
    } catch (const WordError& error) {
        EXPECT_EQ(error.userMessage(),
                  "Cannot open " + secret + ": the document is protected by a password.");
    }
    EXPECT_EQ(bridge->startCount(), 0);
}

TEST(PasswordProtection, OtherFilesAreNotTakenForProtectedOnes) {
    Scratch scratch;
    std::error_code absent; // without the corpus, only the cut-short files below are tried
    for (const auto& entry : fs::directory_iterator(kCorpus, absent)) {
        EXPECT_FALSE(isPasswordProtectedWordBinary(entry.path().string())) << entry.path();
    }
    // Cut short, empty, missing: nothing to tell, and nothing read past the end.
    const std::string whole = firstBytes((kData / "password-secret.doc").string(), 1 << 20);
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{8}, std::size_t{512}, std::size_t{1536}, whole.size() / 2}) {
        writeFile(scratch / "cut.doc", whole.substr(0, size));
        EXPECT_FALSE(isPasswordProtectedWordBinary(scratch / "cut.doc")) << size << " bytes";
    }
    EXPECT_FALSE(isPasswordProtectedWordBinary(scratch / "missing.doc"));
}

TEST(LegacyComments, OnlyAWordBinaryThatListsCommentsIsTakenForOne) {
    // Such a document goes straight to the converter that can open it.
    const fs::path commented = kCorpus / "test10.doc";
    if (!fs::exists(commented)) {
        GTEST_SKIP() << "no corpus";
    }
    for (const auto& entry : fs::directory_iterator(kCorpus)) {
        EXPECT_EQ(isWordBinaryWithComments(entry.path().string()), entry.path() == commented)
            << entry.path();
    }
    Scratch scratch;
    const std::string whole = firstBytes(commented.string(), 1 << 20);
    for (const std::size_t size : {std::size_t{0}, std::size_t{8}, std::size_t{512}}) {
        writeFile(scratch / "cut.doc", whole.substr(0, size));
        EXPECT_FALSE(isWordBinaryWithComments(scratch / "cut.doc")) << size << " bytes";
    }
}

// ------------------------------------------------------------------ with the real LibreOffice

TEST_F(RealOffice, LegacyDocumentsJoinToTheTextOfTheirWordprocessingMLTwins) {
    Scratch scratch;
    auto word = engine();
    // Pairs whose two files hold the same text (some twins of the corpus differ slightly).
    const std::vector<std::string> names{"test01", "test03", "test08"};
    std::vector<std::string> docs;
    std::vector<std::string> docxs;
    for (const auto& name : names) {
        docs.push_back((kCorpus / (name + ".doc")).string());
        docxs.push_back((kCorpus / (name + ".docx")).string());
    }
    joinDocuments(*word, docs, scratch / "from-doc.docx", JoinChoices{true, false});
    EXPECT_EQ(m_counting->imports, 3);
    joinDocuments(*word, docxs, scratch / "from-docx.docx", JoinChoices{true, false});
    EXPECT_EQ(m_counting->imports, 3) << "WordprocessingML sources need no converter";

    const auto fromDoc = wordsOf(scratch / "from-doc.docx");
    EXPECT_GT(fromDoc.size(), 20u);
    EXPECT_EQ(whereTheyDiffer(fromDoc, wordsOf(scratch / "from-docx.docx")), "");
}

TEST_F(RealOffice, DocOutputHoldsEverySourceInOrderAndIsConvertedAtMostOncePerStep) {
    Scratch scratch;
    auto word = engine();
    const std::vector<std::string> inputs{(kCorpus / "test03.docx").string(),
                                          (kCorpus / "test01.doc").string(),
                                          (kCorpus / "test09.docx").string()};
    const std::string output = scratch / "joined.doc";
    joinDocuments(*word, inputs, output, JoinChoices{false, false});

    // The first step writes the .doc at once, later ones behind the join, where a newer save
    // replaces one not yet started; the next step reopens our own WordprocessingML of it: the
    // only import is the one legacy source.
    EXPECT_GE(m_counting->exports, 2);
    EXPECT_LE(m_counting->exports, 3);
    EXPECT_EQ(m_counting->imports, 1);
    EXPECT_EQ(firstBytes(output, 8), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") << "a Word 97-2003 file";
    for (const auto& entry : fs::directory_iterator(scratch.path())) {
        EXPECT_EQ(entry.path().filename().string().rfind(".paperloom-", 0), std::string::npos)
            << "temporary file left: " << entry.path();
    }

    const auto joined = wordsOf(reopened(output, scratch));
    std::size_t at = 0;
    for (const auto& twin : {"test03.docx", "test01.docx", "test09.docx"}) {
        auto words = wordsOf((kCorpus / twin).string());
        words.resize(std::min<std::size_t>(words.size(), 8));
        ASSERT_FALSE(words.empty());
        const std::size_t found = findRun(joined, words, at);
        ASSERT_NE(found, std::string::npos)
            << twin << " missing or out of order; " << whereTheyDiffer(joined, words);
        at = found + words.size();
    }
}

TEST_F(RealOffice, RtfAndOdtMadeHereOpenAndJoin) {
    Scratch scratch;
    auto word = engine();
    // Spaces, a per cent sign and non-ASCII letters in the name must survive the way to
    // LibreOffice and back.
    const std::string rtf = scratch / "made 100% \xC3\xA9t\xC3\xA9 #1.rtf";
    writeFile(rtf, "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24 "
                   "Rich text paragraph alpha.\\par Second rich paragraph beta.\\par}");
    // The ODF text comes from a corpus document written as .odt by the bridge itself.
    const std::string odt = scratch / "made.odt";
    OfficeSession::bridge()->fromWordPackage((kCorpus / "test01.docx").string(), odt);
    ASSERT_EQ(firstBytes(odt, 2), "PK");

    const std::string output = scratch / "joined.docx";
    joinDocuments(*word, {rtf, odt}, output, JoinChoices{true, false});
    EXPECT_EQ(m_counting->imports, 2);

    const auto joined = wordsOf(output);
    const std::size_t alpha = findRun(joined, {"paragraph", "alpha"}, 0);
    ASSERT_NE(alpha, std::string::npos);
    auto odtWords = wordsOf((kCorpus / "test01.docx").string());
    odtWords.resize(std::min<std::size_t>(odtWords.size(), 8));
    EXPECT_NE(findRun(joined, odtWords, alpha), std::string::npos);
}

TEST_F(RealOffice, OutputAsRtfOdtAndPdfIsWrittenWholeInThatFormat) {
    Scratch scratch;
    auto word = engine();
    const std::string source = (kCorpus / "test01.docx").string();
    joinDocuments(*word, {source}, scratch / "j.rtf", JoinChoices{});
    joinDocuments(*word, {source}, scratch / "j.odt", JoinChoices{});
    joinDocuments(*word, {source}, scratch / "j.pdf", JoinChoices{});
    EXPECT_EQ(firstBytes(scratch / "j.rtf", 5), "{\\rtf");
    EXPECT_NE(firstBytes(scratch / "j.odt", 100).find("application/vnd.oasis.opendocument.text"),
              std::string::npos);
    EXPECT_EQ(firstBytes(scratch / "j.pdf", 5), "%PDF-");
    EXPECT_EQ(m_counting->imports, 0);
}

TEST_F(RealOffice, DamagedLegacyDocumentFailsWithASentenceAndTheBridgeGoesOn) {
    Scratch scratch;
    auto word = engine();
    const std::string bad = (kCorpus / "badfile-01-bad-header.doc").string();
    try {
        joinDocuments(*word, {bad}, scratch / "out.docx", JoinChoices{});
        FAIL() << "a damaged document must not join";
    } catch (const WordError& error) {
        EXPECT_EQ(error.userMessage(), "Cannot open " + bad +
                                           ": the document is damaged or in a format that "
                                           "cannot be read.");
    }
    EXPECT_FALSE(fs::exists(scratch / "out.docx"));
    joinDocuments(*word, {(kCorpus / "test05.doc").string()}, scratch / "out.docx", JoinChoices{});
    EXPECT_FALSE(wordsOf(scratch / "out.docx").empty());
}

TEST_F(RealOffice, DocumentsWithCommentsJoinIntoADocToo) {
    // LibreOfficeKit cannot open these in the no-GUI build; the UNO converter takes them, on
    // the way in and, once the joined document holds a comment, on every way out.
    // Neither leaves a lock file beside a source or the output.
    Scratch scratch;
    const fs::path in = scratch / "in";
    const fs::path out = scratch / "out";
    fs::create_directories(in);
    fs::create_directories(out);
    fs::copy_file(kCorpus / "test10.doc", in / "test10.doc");
    auto word = engine();
    const std::string output = (out / "with comments.doc").string();
    joinDocuments(*word,
                  {(in / "test10.doc").string(), (kCorpus / "test01.docx").string(),
                   (kCorpus / "test10.docx").string()},
                  output, JoinChoices{true, false});
    for (const auto& folder : {in, out}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            const auto name = entry.path().filename().string();
            EXPECT_TRUE(name == "test10.doc" || name == "with comments.doc") << name;
        }
    }
    const auto joined = wordsOf(reopened(output, scratch));
    std::size_t at = 0;
    for (const auto& twin : {"test10.docx", "test01.docx", "test10.docx"}) {
        auto words = wordsOf((kCorpus / twin).string());
        words.resize(std::min<std::size_t>(words.size(), 6));
        const std::size_t found = findRun(joined, words, at);
        ASSERT_NE(found, std::string::npos) << twin << " missing or out of order";
        at = found + words.size();
    }
}

TEST_F(RealOffice, AVirtualEnvironmentFirstOnThePathLeavesTheUnoConverterWarm) {
    // An activated virtual environment puts a python3 without the system's UNO module first on
    // PATH. The UNO converter must still start and stay, or every document the hosted
    // LibreOffice cannot open waits for a cold soffice.
    Scratch scratch;
    const fs::path venv = scratch.path() / "venv";
    fs::create_directories(venv / "bin");
    fs::create_symlink("/usr/bin/python3", venv / "bin" / "python3");
    writeFile((venv / "pyvenv.cfg").string(),
              "home = /usr/bin\ninclude-system-site-packages = false\n");
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", ((venv / "bin").string() + ":" + path).c_str(), 1);
    OfficeBridgeOptions options;
    options.tempFolder = scratch.path().string();
    auto bridge = std::make_shared<OfficeBridge>(options);
    bridge->toWordPackage((kCorpus / "test10.doc").string(), scratch / "with comments.docx");
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_FALSE(wordsOf(scratch / "with comments.docx").empty());
    const std::string profiles = fileUrl(scratch.path().string()) + "/" + kProfilePrefix;
    const auto warm = processesMentioning("--accept=pipe,name=paperloom-uno-");
    EXPECT_TRUE(std::any_of(warm.begin(), warm.end(), [&](int pid) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
        const std::string cmdline{std::istreambuf_iterator<char>(in), {}};
        return cmdline.find(profiles) != std::string::npos;
    }));
}

TEST_F(RealOffice, OurOfficeIsNeverTakenForTheUsersOwn) {
    // Runs after the documents with comments, so both of our LibreOffices are up: the hosted
    // one and the UNO-driven soffice.bin, which does look like a user's LibreOffice.
    Scratch scratch;
    OfficeSession::bridge()->toWordPackage((kCorpus / "test01.doc").string(),
                                           scratch / "warm.docx");
    ASSERT_GT(OfficeSession::bridge()->processId(), 0);
    const auto ours = processesMentioning(OfficeSession::root().string());
    ASSERT_FALSE(ours.empty());
    ProcessScan scan = currentProcessScan(kProfilePrefix);
    for (const bool asOurChildren : {true, false}) {
        if (!asOurChildren) {
            scan.selfPid = -1; // recognised by their profile alone
        }
        for (const auto& found : findRunningWordProcessors(scan)) {
            EXPECT_EQ(std::find(ours.begin(), ours.end(), found.pid), ours.end())
                << found.product << " " << found.pid;
        }
    }
}

TEST_F(RealOffice, WordprocessingMLUnderALegacyNameOpensNatively) {
    Scratch scratch;
    auto word = engine();
    const std::string disguised = scratch / "really-docx.doc";
    fs::copy_file(kCorpus / "test01.docx", disguised);
    joinDocuments(*word, {disguised}, scratch / "out.docx", JoinChoices{});
    EXPECT_EQ(m_counting->imports, 0);
    EXPECT_EQ(m_counting->exports, 0);
    EXPECT_EQ(
        whereTheyDiffer(wordsOf(scratch / "out.docx"), wordsOf((kCorpus / "test01.docx").string())),
        "");
}

// ------------------------------------------------------------------ faults of the converter

class ConverterFaults : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(m_legacy)) {
            GTEST_SKIP() << "corpus not present";
        }
    }
    /// A bridge whose converter program is a script, with short bounds unless the script
    /// must do real work in time.
    std::shared_ptr<OfficeBridge> bridgeWith(const std::string& script, bool shortBounds = true) {
        const std::string program = m_scratch / "fake-convert";
        writeFile(program, "#!/bin/sh\n" + script, true);
        OfficeBridgeOptions options;
        options.converterProgram = program;
        options.tempFolder = m_scratch.path().string();
        if (shortBounds) {
            options.startTimeout = std::chrono::milliseconds(1500);
            options.convertTimeout = std::chrono::milliseconds(1000);
            options.convertTimeoutPerMiB = std::chrono::milliseconds(0);
        }
        return std::make_shared<OfficeBridge>(options);
    }

    /// What opening path through bridge throws ("" when it does not throw).
    static std::string openFailure(const std::shared_ptr<DocumentConverter>& bridge,
                                   const std::string& path) {
        DocumentEngine word;
        word.setConverter(bridge);
        auto app = word.createInstance();
        try {
            app->Documents().Open(path);
        } catch (const WordError& error) {
            return error.userMessage();
        }
        return {};
    }

    /// True when nothing of any bridge of this test is left: no process, no profile folder.
    [[nodiscard]] bool nothingLeft() const {
        for (const auto& entry : fs::directory_iterator(m_scratch.path())) {
            if (entry.path().filename().string().rfind(kProfilePrefix, 0) == 0) {
                return false;
            }
        }
        return processesMentioning(m_scratch.path().string() + "/" + kProfilePrefix).empty();
    }

    Scratch m_scratch;
    const std::string m_legacy = (kCorpus / "test01.doc").string();
};

// The reply "ready" as the converter sends it: one field of five bytes.
constexpr const char* kSayReady = "printf '\\001\\000\\000\\000\\005\\000\\000\\000ready' >&3\n";

TEST_F(ConverterFaults, MissingLibreOfficeNamesTheFileAndThePackage) {
    const std::string empty = m_scratch / "no-office-here";
    fs::create_directory(empty);
    const char* saved = std::getenv("PATH");
    const std::string path = saved != nullptr ? saved : "";
    ::setenv("PATH", empty.c_str(), 1);
    const std::string message = openFailure(std::make_shared<OfficeBridge>(), m_legacy);
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(message, "Cannot open " + m_legacy +
                           ": reading this format needs LibreOffice, which is not installed; "
                           "install the Debian package libreoffice-writer-nogui.");

    OfficeBridgeOptions options;
    options.officeProgramFolder = empty;
    OfficeBridge bridge(options);
    try {
        bridge.fromWordPackage((kCorpus / "test01.docx").string(), m_scratch / "out.doc");
        FAIL() << "no office, no conversion";
    } catch (const WordError& error) {
        EXPECT_NE(error.userMessage().find("Cannot save " + (m_scratch / "out.doc")),
                  std::string::npos);
        EXPECT_NE(error.userMessage().find("libreoffice-writer-nogui"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(m_scratch / "out.doc"));
}

TEST_F(ConverterFaults, ConverterThatNeverStartsIsStoppedAndCleanedUp) {
    auto bridge = bridgeWith("exec sleep 600\n");
    EXPECT_EQ(openFailure(bridge, m_legacy),
              "Cannot open " + m_legacy + ": LibreOffice did not start within 2 seconds.");
    EXPECT_EQ(bridge->processId(), 0);
    EXPECT_TRUE(nothingLeft());
}

TEST_F(ConverterFaults, HangingConversionTimesOutAndTheNextUseStartsAfresh) {
    auto bridge = bridgeWith(std::string(kSayReady) + "exec sleep 600\n");
    const std::string expected = "Cannot open " + m_legacy +
                                 ": LibreOffice did not finish converting it within 1 second "
                                 "and was stopped.";
    EXPECT_EQ(openFailure(bridge, m_legacy), expected);
    EXPECT_TRUE(nothingLeft());
    EXPECT_EQ(openFailure(bridge, m_legacy), expected);
    EXPECT_EQ(bridge->startCount(), 2);
    EXPECT_TRUE(nothingLeft());
}

TEST_F(ConverterFaults, CrashDuringConversionFailsThatFileOnly) {
    // Answers ready, then dies on the first request as a crashing LibreOffice would.
    auto bridge = bridgeWith(std::string(kSayReady) + "head -c 1 <&3 >/dev/null\nkill -SEGV $$\n");
    EXPECT_EQ(openFailure(bridge, m_legacy),
              "Cannot open " + m_legacy +
                  ": LibreOffice stopped unexpectedly while converting it.");
    EXPECT_TRUE(nothingLeft());
    EXPECT_EQ(openFailure(bridge, m_legacy),
              "Cannot open " + m_legacy +
                  ": LibreOffice stopped unexpectedly while converting it.");
    EXPECT_EQ(bridge->startCount(), 2);
}

TEST_F(ConverterFaults, CrashOnALaterDocumentGetsOneMoreTryInAFreshProcess) {
    // Converts its first document (hands back the twin package) and dies on the second, as a
    // LibreOffice left in a bad state by an earlier document does.
    const std::string twin = (kCorpus / "test01.docx").string();
    auto bridge = bridgeWith("exec python3 -c '\n"
                             "import os, shutil, signal, struct\n" +
                                 std::string(kFakeConverterWire) +
                                 "put([b\"ready\"])\n"
                                 "served = 0\n"
                                 "while True:\n"
                                 "    count = struct.unpack(\"<I\", take(4))[0]\n"
                                 "    fields = [take(struct.unpack(\"<I\", take(4))[0]) for _ in "
                                 "range(count)]\n"
                                 "    if served == 1:\n"
                                 "        os.kill(os.getpid(), signal.SIGSEGV)\n"
                                 "    shutil.copyfile(\"" +
                                 twin +
                                 "\", fields[2].decode())\n"
                                 "    served += 1\n"
                                 "    put([b\"ok\"])\n"
                                 "'\n",
                             false);
    EXPECT_EQ(openFailure(bridge, m_legacy), "");
    EXPECT_EQ(openFailure(bridge, m_legacy), "") << "the second document is tried again";
    EXPECT_EQ(bridge->startCount(), 2);
}

TEST_F(ConverterFaults, AConversionStillWorkingAtItsBoundIsLetFinish) {
    // Works a core for 2.5 s on each document, past its bound of 1 s, then hands back the twin
    // package; one that sleeps is stopped at the bound (HangingConversionTimesOut...).
    const std::string twin = (kCorpus / "test01.docx").string();
    auto bridge = bridgeWith("exec python3 -c '\n"
                             "import os, shutil, struct, time\n" +
                             std::string(kFakeConverterWire) +
                             "put([b\"ready\"])\n"
                             "count = struct.unpack(\"<I\", take(4))[0]\n"
                             "fields = [take(struct.unpack(\"<I\", take(4))[0]) for _ in "
                             "range(count)]\n"
                             "end = time.process_time() + 2.5\n"
                             "while time.process_time() < end:\n"
                             "    pass\n"
                             "shutil.copyfile(\"" +
                             twin +
                             "\", fields[2].decode())\n"
                             "put([b\"ok\"])\n"
                             "'\n");
    EXPECT_EQ(openFailure(bridge, m_legacy), "");
    EXPECT_EQ(bridge->startCount(), 1);
}

TEST_F(ConverterFaults, ProfilesOfProgramsThatDiedAreRemovedAtTheNextStart) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    const fs::path orphan =
        m_scratch.path() / (std::string(kProfilePrefix) + std::to_string(child) + "-abcdef");
    const fs::path alive =
        m_scratch.path() / (std::string(kProfilePrefix) + std::to_string(::getpid()) + "-abcdef");
    fs::create_directories(orphan / "user");
    fs::create_directories(alive);
    auto bridge = bridgeWith(std::string(kSayReady) + "exec sleep 600\n");
    EXPECT_FALSE(openFailure(bridge, m_legacy).empty());
    EXPECT_FALSE(fs::exists(orphan));
    EXPECT_TRUE(fs::exists(alive)) << "a running program's profile stays";
}

/// A file size limit on this process while the object lives; writes beyond it fail (with
/// EFBIG) instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = SIG_DFL;
};

TEST_F(ConverterFaults, AWriteThatLibreOfficeReportsFailedIsExplainedByItsFolder) {
    // Answers ready, then "failed" with the reason "save" and no detail, as LibreOffice does
    // whatever stopped its write.
    auto bridge = bridgeWith(std::string(kSayReady) +
                             "while dd bs=64k count=1 status=none <&3 >/dev/null; do\n"
                             "printf '\\003\\000\\000\\000\\006\\000\\000\\000failed"
                             "\\004\\000\\000\\000save\\000\\000\\000\\000' >&3 || exit\n"
                             "done\n");
    const std::string output = m_scratch / "joined.doc";
    const auto failure = [&] {
        try {
            bridge->fromWordPackage((kCorpus / "test01.docx").string(), output);
        } catch (const WordError& error) {
            return error.userMessage();
        }
        return std::string();
    };
    EXPECT_EQ(failure(),
              "Cannot save " + output + ": LibreOffice could not write it in this format.");
    {
        // Where the folder LibreOffice writes in takes no more, that is the cause.
        const FileSizeLimit limit(64 << 10);
        EXPECT_EQ(failure(), "Cannot save " + output +
                                 ": LibreOffice could not write it in the temporary folder " +
                                 m_scratch.path().string() +
                                 ": the file would be larger than this system allows.");
    }
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(ConverterFaults, FailedExportLeavesAnExistingOutputUntouched) {
    auto bridge = bridgeWith(std::string(kSayReady) + "exec sleep 600\n");
    const std::string output = m_scratch / "joined.doc";
    writeFile(output, "the previous output");
    EXPECT_THROW(bridge->fromWordPackage((kCorpus / "test01.docx").string(), output), WordError);
    std::ifstream in(output);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "the previous output");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_scratch.path()), fs::directory_iterator()), 2)
        << "only the script and the output remain";
}

} // namespace
} // namespace paperloom::engine::office
