// What LibreOffice sees and leaves: a file a document links to is never fetched, documents with
// comments become PDFs, the copies handed to LibreOffice are private, nothing of a conversion
// stays beside the documents or in the temporary folder, a stop signal ends a join cleanly, and
// what a kill leaves is removed at the next start.
#include "../engine/JoinDocuments.h"
#include "../engine/TestDocuments.h"
#include "OfficeTestSupport.h"

#include "office/OfficeProfile.h"
#include "office/OfficeWire.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string_view>

extern char** environ;

namespace paperloom::engine::office {
namespace {

using namespace test;
using engine::testing::DocDraft;
using engine::testing::JoinChoices;
using engine::testing::joinDocuments;

using OfficeHygiene = RealOffice;

// A picture of 37 x 23 pixels, the size a PDF names when it holds it.
constexpr char kPicture[] =
    "\x89\x50\x4E\x47\x0D\x0A\x1A\x0A\x00\x00\x00\x0D\x49\x48\x44\x52\x00\x00\x00\x25\x00\x00"
    "\x00\x17\x08\x02\x00\x00\x00\x03\x4E\x11\xF2\x00\x00\x00\x26\x49\x44\x41\x54\x78\x9C\x63"
    "\x38\x21\x98\x4C\x4F\xC4\x30\x6A\xDF\xA8\x7D\xA3\xF6\x8D\xDA\x37\x6A\xDF\xA8\x7D\xA3\xF6"
    "\x8D\xDA\x37\x6A\xDF\xA0\xB2\x0F\x00\xA7\x38\x1A\xB1\xD7\x99\x14\x7B\x00\x00\x00\x00\x49"
    "\x45\x4E\x44\xAE\x42\x60\x82";

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// A document showing the picture at pictureUrl by link only, as a document from elsewhere may
/// point at a file of the user's; with a comment on its first paragraph when asked.
DocDraft linkingDocument(const std::string& pictureUrl, bool withComment) {
    DocDraft draft;
    const std::string text = "<w:r><w:t>Linked picture follows.</w:t></w:r>";
    draft.body =
        (withComment ? "<w:p><w:commentRangeStart w:id=\"0\"/>" + text +
                           "<w:commentRangeEnd w:id=\"0\"/><w:r><w:commentReference "
                           "w:id=\"0\"/></w:r></w:p>"
                     : "<w:p>" + text + "</w:p>") +
        "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"952500\" cy=\"590550\"/>"
        "<wp:docPr id=\"1\" name=\"Picture 1\"/><a:graphic><a:graphicData "
        "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic>"
        "<pic:nvPicPr><pic:cNvPr id=\"1\" name=\"linked.png\"/><pic:cNvPicPr/></pic:nvPicPr>"
        "<pic:blipFill><a:blip r:link=\"rIdLinked\"/><a:stretch><a:fillRect/></a:stretch>"
        "</pic:blipFill><pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"952500\" "
        "cy=\"590550\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr>"
        "</pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>";
    draft.rels["rIdLinked"] = DocDraft::Rel{"image", pictureUrl, true};
    if (withComment) {
        draft.comments = "<w:comment w:id=\"0\" w:author=\"Ann\" w:initials=\"A\"><w:p><w:r>"
                         "<w:t>A remark</w:t></w:r></w:p></w:comment>";
    }
    return draft;
}

TEST_F(OfficeHygiene, PdfsNeverFetchWhatADocumentLinksToAndDocumentsWithCommentsBecomePdfs) {
    Scratch scratch;
    const std::string picture = scratch / "private photo.png";
    writeFile(picture, std::string(kPicture, sizeof kPicture - 1));
    auto word = engine();
    // Without comments the hosted LibreOffice writes the PDF; with them, the one driven over
    // UNO takes part too.
    for (const bool withComment : {false, true}) {
        const std::string source = scratch / (withComment ? "commented.docx" : "plain.docx");
        linkingDocument("file://" + (scratch.path() / "private%20photo.png").string(), withComment)
            .write(source);
        const std::string pdf = scratch / (withComment ? "commented.pdf" : "plain.pdf");
        joinDocuments(*word, {source}, pdf, JoinChoices{});
        const std::string content = contentOf(pdf);
        EXPECT_EQ(content.rfind("%PDF-", 0), 0u) << pdf;
        EXPECT_EQ(content.find("/Width 37"), std::string::npos) << "the linked picture was fetched";
        EXPECT_EQ(content.find("/Subtype/Image"), std::string::npos) << pdf;
    }
    EXPECT_EQ(m_counting->exports, 2);
}

/// Notes who may read the copies the engine hands to the converter, while they exist.
class ProbingConverter : public DocumentConverter {
public:
    explicit ProbingConverter(std::shared_ptr<DocumentConverter> inner)
        : m_inner(std::move(inner)) {}
    void toWordPackage(const std::string& input, const std::string& package) override {
        m_inner->toWordPackage(input, package);
        probe(package);
    }
    void fromWordPackage(const std::string& package, const std::string& output) override {
        probe(package);
        m_inner->fromWordPackage(package, output);
    }
    [[nodiscard]] bool convertsOutput(const std::string& output) const override {
        return m_inner->convertsOutput(output);
    }

    /// Each copy with the permission bits of the copy and of its folder.
    std::vector<std::tuple<std::string, mode_t, mode_t>> copies;

private:
    void probe(const std::string& path) {
        struct stat file {};
        struct stat folder {};
        ::stat(path.c_str(), &file);
        ::stat(fs::path(path).parent_path().c_str(), &folder);
        copies.emplace_back(path, file.st_mode & 0777, folder.st_mode & 0777);
    }
    std::shared_ptr<DocumentConverter> m_inner;
};

TEST_F(OfficeHygiene, CopiesForLibreOfficeArePrivateAndNothingOfAConversionStays) {
    Scratch scratch;
    const fs::path sources = scratch.path() / "sources";
    const fs::path output = scratch.path() / "output";
    fs::create_directories(sources);
    fs::create_directories(output);
    fs::copy_file(kCorpus / "test01.doc", sources / "legacy.doc");
    auto probing = std::make_shared<ProbingConverter>(OfficeSession::bridge());
    {
        DocumentEngine word;
        word.setConverter(probing);
        joinDocuments(word, {(sources / "legacy.doc").string()}, (output / "joined.doc").string(),
                      JoinChoices{});
    }
    ASSERT_EQ(probing->copies.size(), 2u) << "one copy in, one copy out";
    for (const auto& [path, fileMode, folderMode] : probing->copies) {
        EXPECT_EQ(fileMode, 0600u) << path;
        EXPECT_EQ(folderMode, 0700u) << path;
        EXPECT_FALSE(fs::exists(fs::path(path).parent_path())) << "removed with the engine";
    }
    // Beside the documents: the documents. In the temporary folder: LibreOffice's profile
    // (lu*.tmp folders and the copies included) and the folders of the tests.
    EXPECT_EQ(std::distance(fs::directory_iterator(sources), fs::directory_iterator()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(output), fs::directory_iterator()), 1);
    for (const auto& entry : fs::directory_iterator(OfficeSession::root())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.rfind("paperloom-office-profile-", 0) == 0 ||
                    name.rfind("paperloom-office-test-", 0) == 0)
            << name;
    }
}

/// paperloom-join run as a user would, with a temporary folder and a state folder of the test's.
class JoinProgram {
public:
    JoinProgram(const Scratch& scratch, const std::vector<std::string>& arguments)
        : m_temp(scratch.path() / "tmp"), m_state(scratch.path() / "state"),
          m_err(scratch / "stderr") {
        fs::create_directories(m_temp);
        std::vector<std::string> args{PAPERLOOM_JOIN_TOOL};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<std::string> env{"TMPDIR=" + m_temp.string(),
                                     "XDG_STATE_HOME=" + m_state.string(), "HOME=/nonexistent"};
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string_view text(*entry);
            if (!text.starts_with("TMPDIR=") && !text.starts_with("XDG_STATE_HOME=") &&
                !text.starts_with("HOME=")) {
                env.emplace_back(text);
            }
        }
        std::vector<char*> argv;
        std::vector<char*> envp;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        for (auto& entry : env) {
            envp.push_back(entry.data());
        }
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        const std::string err = m_err;
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, 2);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
    }
    ~JoinProgram() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    JoinProgram(const JoinProgram&) = delete;
    JoinProgram& operator=(const JoinProgram&) = delete;

    /// Waits up to a minute for done(); false when it never came.
    template <typename Condition> static bool waitFor(Condition done) {
        for (int i = 0; i < 1200; ++i) {
            if (done()) {
                return true;
            }
            ::usleep(50'000);
        }
        return false;
    }
    /// Waits for the program to end; its wait status, or -1 after a minute.
    int wait() {
        int status = -1;
        waitFor([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; });
        m_pid = 0;
        return status;
    }
    [[nodiscard]] pid_t pid() const { return m_pid; }
    [[nodiscard]] const fs::path& temp() const { return m_temp; }
    [[nodiscard]] fs::path journal() const { return m_state / "paperloom" / "temporaries"; }
    [[nodiscard]] std::string err() const { return contentOf(m_err); }
    /// True once a LibreOffice profile of the program is there.
    [[nodiscard]] bool officeStarting() const {
        for (const auto& entry : fs::directory_iterator(m_temp)) {
            if (entry.path().filename().string().starts_with(kProfilePrefix)) {
                return true;
            }
        }
        return false;
    }

private:
    fs::path m_temp;
    fs::path m_state;
    std::string m_err;
    pid_t m_pid = 0;
};

std::size_t entriesIn(const fs::path& folder) {
    std::error_code absent;
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder, absent), fs::directory_iterator()));
}

TEST_F(OfficeHygiene, AStopSignalEndsAJoinCleanlyAndAKilledJoinIsCleanedUpAtTheNextStart) {
    Scratch scratch;
    const fs::path work = scratch.path() / "work";
    fs::create_directories(work);
    fs::copy_file(kCorpus / "test01.docx", work / "a.docx");
    fs::copy_file(kCorpus / "test01.doc", work / "b.doc");
    const std::vector<std::string> arguments{(work / "out.docx").string(),
                                             (work / "a.docx").string(), (work / "b.doc").string()};
    {
        // Stopped while LibreOffice starts for the second document, which it may begin to
        // convert before the first one is saved.
        JoinProgram join(scratch, arguments);
        ASSERT_TRUE(JoinProgram::waitFor([&] {
            return join.officeStarting() && fs::exists(work / "out.docx");
        })) << join.err();
        ::kill(join.pid(), SIGTERM);
        const auto asked = std::chrono::steady_clock::now();
        const int status = join.wait();
        EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(10));
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
        EXPECT_NE(join.err().find("The join was stopped because Paperloom was asked to end "
                                  "(SIGTERM).\nThe join stopped at document 2 of 2"),
                  std::string::npos)
            << join.err();
        EXPECT_EQ(whereTheyDiffer(wordsOf((work / "out.docx").string()),
                                  wordsOf((work / "a.docx").string())),
                  "");
        EXPECT_EQ(entriesIn(join.temp()), 0u);
        EXPECT_EQ(entriesIn(join.journal()), 0u);
        EXPECT_EQ(entriesIn(work), 3u);
        EXPECT_TRUE(processesMentioning(join.temp().string()).empty());
    }
    fs::remove(work / "out.docx");
    pid_t killed = 0;
    {
        JoinProgram join(scratch, arguments);
        ASSERT_TRUE(JoinProgram::waitFor([&] { return join.officeStarting(); })) << join.err();
        killed = join.pid();
        ::kill(killed, SIGKILL);
        join.wait();
        // What a kill leaves: the program's LibreOffice profile and private folder.
        EXPECT_GE(entriesIn(join.temp()), 2u);
        EXPECT_TRUE(JoinProgram::waitFor(
            [&] { return processesMentioning(join.temp().string()).empty(); }));
    }
    // A temporary beside an output that the killed program had on record, one it did not, and
    // one of a program that still runs (this test).
    fs::create_directories(scratch.path() / "state" / "paperloom" / "temporaries");
    const auto record = [&](pid_t owner, const std::string& name) {
        const fs::path temporary = work / name;
        writeFile(temporary.string(), "part of a document");
        writeFile((scratch.path() / "state" / "paperloom" / "temporaries" /
                   (std::to_string(owner) + "-1"))
                      .string(),
                  temporary.string() + "\n");
    };
    record(killed, ".out.docx.Ab12Cd");
    record(::getpid(), ".out.docx.Li5ve0");
    writeFile((work / ".out.docx.Zz99Zz").string(), "not on record");

    JoinProgram next(scratch, {(work / "again.docx").string(), (work / "a.docx").string()});
    EXPECT_EQ(next.wait(), 0) << next.err();
    EXPECT_EQ(entriesIn(next.temp()), 0u) << "the killed program's folders are gone";
    EXPECT_FALSE(fs::exists(work / ".out.docx.Ab12Cd"));
    EXPECT_TRUE(fs::exists(work / ".out.docx.Li5ve0"));
    EXPECT_TRUE(fs::exists(work / ".out.docx.Zz99Zz"));
    EXPECT_EQ(entriesIn(next.journal()), 1u) << "the running program's record stays";
}

TEST_F(OfficeHygiene, AJoinIntoADocStoppedOrKilledLeavesTheOldOutputOrAWholeLegacyFile) {
    Scratch scratch;
    const fs::path work = scratch.path() / "work";
    fs::create_directories(work);
    const fs::path source = work / "a.docx";
    const fs::path output = work / "out.doc";
    fs::copy_file(kCorpus / "test01.docx", source);
    std::vector<std::string> arguments{output.string()};
    arguments.insert(arguments.end(), 12, source.string());
    auto firstWords = wordsOf(source.string());
    firstWords.resize(std::min<std::size_t>(firstWords.size(), 8));

    for (const int signal : {SIGTERM, SIGKILL}) {
        fs::copy_file(kCorpus / "test09.doc", output, fs::copy_options::overwrite_existing);
        const std::string old = contentOf(output.string());
        JoinProgram join(scratch, arguments);
        // Once the first save has replaced the old output, later ones convert behind the join.
        ASSERT_TRUE(JoinProgram::waitFor([&] { return contentOf(output.string()) != old; }))
            << join.err();
        ::kill(join.pid(), signal);
        const int status = join.wait();
        EXPECT_TRUE(WIFSIGNALED(status) || status == 0) << status;

        const std::string now = contentOf(output.string());
        ASSERT_EQ(now.substr(0, 8), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") << "a Word 97-2003 file";
        EXPECT_EQ(findRun(wordsOf(reopened(output.string(), scratch)), firstWords, 0), 0u)
            << "the output is whole";
        EXPECT_TRUE(JoinProgram::waitFor(
            [&] { return processesMentioning(join.temp().string()).empty(); }));
        if (signal == SIGTERM) {
            EXPECT_EQ(entriesIn(join.temp()), 0u);
            EXPECT_EQ(entriesIn(join.journal()), 0u);
            EXPECT_EQ(entriesIn(work), 2u) << "nothing beside the output";
        } else {
            // The next start removes the killed program's profiles, and the sockets in /tmp that
            // its UNO-driven soffice, killed too, could not remove.
            std::vector<std::string> sockets;
            for (const auto& profile : fs::directory_iterator(join.temp())) {
                std::ifstream listing(profile.path() / kUnoProfile / kSocketList);
                for (std::string line; std::getline(listing, line);) {
                    sockets.push_back(line);
                }
            }
            removeOrphanedProfiles(join.temp().string());
            for (const auto& entry : fs::directory_iterator(join.temp())) {
                EXPECT_FALSE(entry.path().filename().string().starts_with(kProfilePrefix));
            }
            for (const std::string& socket : sockets) {
                EXPECT_FALSE(fs::exists(fs::symlink_status(socket))) << socket;
            }
        }
    }
}

/// A socket at path as soffice leaves one: bound, and listened on only while listening is true
/// (the descriptor then stays open, else it is closed and the file stays behind).
int socketAt(const std::string& path, bool listening) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
    if (listening) {
        EXPECT_EQ(::listen(fd, 1), 0);
        return fd;
    }
    ::close(fd);
    return -1;
}

/// The id of a process that has ended.
pid_t endedProcess() {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(0);
    }
    ::waitpid(pid, nullptr, 0);
    return pid;
}

TEST(OfficeLeftovers, ThePipeOfAUnoOfficeKilledWithItsProfileGoneIsRemovedAtTheNextStart) {
    // Pipes named after the converter script's process id: one whose script ended, one whose
    // script runs (this test stands for it) and one whose script ended but that is listened on.
    const auto pipe = [](pid_t owner) {
        return "/tmp/OSL_PIPE_" + std::to_string(::getuid()) + "_" + kUnoPipePrefix +
               std::to_string(owner);
    };
    const std::string stale = pipe(endedProcess());
    const std::string running = pipe(::getpid());
    const std::string listened = pipe(endedProcess());
    for (const std::string& path : {stale, running, listened}) {
        ::unlink(path.c_str());
    }
    socketAt(stale, false);
    socketAt(running, false);
    const int listener = socketAt(listened, true);

    Scratch scratch;
    removeOrphanedProfiles(scratch.path().string());
    EXPECT_FALSE(fs::exists(fs::symlink_status(stale)));
    EXPECT_TRUE(fs::exists(fs::symlink_status(running)));
    EXPECT_TRUE(fs::exists(fs::symlink_status(listened)));
    ::close(listener);
    for (const std::string& path : {stale, running, listened}) {
        ::unlink(path.c_str());
    }
}

} // namespace
} // namespace paperloom::engine::office
