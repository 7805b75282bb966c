// Names that lead to something other than a regular file: named pipes, devices and folders as
// sources or output, symbolic links as output, and output names at the length limit.
#include "EngineFixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

namespace paperloom::engine::testing {
namespace {

namespace fs = std::filesystem;
using NonRegularFiles = EngineFixture;

/// What opening path throws ("" when it opens).
std::string openFailure(DocumentEngine& engine, const std::string& path) {
    auto word = engine.createInstance();
    try {
        word->Documents().Open(path);
    } catch (const WordError& error) {
        return error.userMessage();
    }
    return {};
}

/// What saving a new document as path throws ("" when it saves).
std::string saveFailure(DocumentEngine& engine, const std::string& path) {
    auto word = engine.createInstance();
    word->Documents().Add();
    try {
        word->ActiveDocument().SaveAs(path);
    } catch (const WordError& error) {
        return error.userMessage();
    }
    return {};
}

/// Opens the writing end of a named pipe after a while unless released first, so that a reader
/// blocked on the pipe fails the test instead of hanging it.
class PipeWatchdog {
public:
    explicit PipeWatchdog(std::string fifo)
        : m_thread([this, fifo = std::move(fifo)] {
              std::unique_lock lock(m_mutex);
              if (!m_released.wait_for(lock, std::chrono::seconds(5), [this] { return m_done; })) {
                  const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                  if (fd >= 0) {
                      ::close(fd);
                  }
              }
          }) {}
    ~PipeWatchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_released.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_done = false;
    std::thread m_thread;
};

TEST_F(NonRegularFiles, SourcesThatAreNoFilesAreRefusedWithoutWaiting) {
    const std::string fifo = (dir / "pipe.docx").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = (dir / "folder.docx").string();
    fs::create_directory(folder);
    const PipeWatchdog watchdog(fifo);
    // The list a join announces is looked at before the first document opens.
    const auto announced = std::chrono::steady_clock::now();
    engine.expectDocuments({fifo, "/dev/null", folder});
    EXPECT_LT(std::chrono::steady_clock::now() - announced, std::chrono::seconds(4));
    EXPECT_EQ(openFailure(engine, fifo), "Cannot open " + fifo +
                                             ": it is a named pipe, not a "
                                             "document.");
    EXPECT_EQ(openFailure(engine, "/dev/null"),
              "Cannot open /dev/null: it is a device, not a document.");
    EXPECT_EQ(openFailure(engine, folder),
              "Cannot open " + folder + ": it is a folder, not a document.");
}

TEST_F(NonRegularFiles, OutputThatIsAPipeOrADeviceIsRefusedAndKept) {
    const std::string fifo = (dir / "pipe.docx").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(saveFailure(engine, fifo), "Cannot save " + fifo +
                                             ": it is a named pipe, not a "
                                             "file.");
    EXPECT_TRUE(fs::is_fifo(fifo));
    // A null device of our own: as root, a save over /dev/null itself would replace it.
    const std::string device = (dir / "null.docx").string();
    const bool madeDevice = ::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    if (madeDevice) {
        EXPECT_EQ(saveFailure(engine, device),
                  "Cannot save " + device + ": it is a device, not a file.");
        EXPECT_TRUE(fs::is_character_file(device));
    }
    // A link to a pipe is no way around it.
    const std::string link = (dir / "link-to-pipe.docx").string();
    fs::create_symlink("pipe.docx", link);
    EXPECT_EQ(saveFailure(engine, link), "Cannot save " + link +
                                             ": it is a named pipe, not a "
                                             "file.");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()),
              madeDevice ? 3 : 2)
        << "no temporary file is left";
}

TEST_F(NonRegularFiles, OutputThroughASymbolicLinkReplacesItsTargetAndKeepsTheLink) {
    fs::create_directories(dir / "real");
    fs::create_directories(dir / "links");
    const fs::path target = dir / "real" / "joined.docx";
    std::ofstream(target) << "old content";
    ::chmod(target.c_str(), 0640);
    // A relative link, reached through a second, absolute one.
    fs::create_symlink("../real/joined.docx", dir / "links" / "relative.docx");
    fs::create_symlink(dir / "links" / "relative.docx", dir / "chain.docx");
    const DocDraft source;
    const std::string input = write("in.docx", source);
    joinDocuments(engine, {input}, (dir / "chain.docx").string(), {});

    EXPECT_TRUE(fs::is_symlink(dir / "chain.docx"));
    EXPECT_TRUE(fs::is_symlink(dir / "links" / "relative.docx"));
    EXPECT_EQ(Written(target).paragraphs().front(), "Hello");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "real"), fs::directory_iterator()), 1);

    // A link whose target does not exist yet gets it made.
    fs::create_symlink("made-by-save.docx", dir / "dangling.docx");
    EXPECT_EQ(saveFailure(engine, (dir / "dangling.docx").string()), "");
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.docx"));
    EXPECT_TRUE(fs::is_regular_file(dir / "made-by-save.docx"));

    fs::create_symlink("loop-b", dir / "loop-a");
    fs::create_symlink("loop-a", dir / "loop-b");
    EXPECT_EQ(saveFailure(engine, (dir / "loop-a").string()),
              "Cannot save " + (dir / "loop-a").string() +
                  ": the name leads to a loop of symbolic links.");
}

TEST_F(NonRegularFiles, OutputNamesUpToTheLengthLimitAreWritten) {
    // 255 bytes is the usual limit; the temporary name beside it must still fit.
    const long nameMax = ::pathconf(dir.path().c_str(), _PC_NAME_MAX);
    ASSERT_GT(nameMax, 16);
    const std::string ascii = std::string(static_cast<std::size_t>(nameMax) - 5, 'n') + ".docx";
    std::string accented; // two-byte characters, so a cut could land inside one
    while (accented.size() + 2 <= static_cast<std::size_t>(nameMax) - 6) {
        accented += "\xC3\xA9";
    }
    accented += "x.docx";
    for (const std::string& name : {ascii, accented}) {
        ASSERT_LE(name.size(), static_cast<std::size_t>(nameMax));
        EXPECT_EQ(saveFailure(engine, (dir / name).string()), "") << name.size() << " bytes";
        EXPECT_TRUE(fs::is_regular_file(dir / name));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

} // namespace
} // namespace paperloom::engine::testing
