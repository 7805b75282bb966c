// What the office tests share: scratch folders, reading text back, and the one warm LibreOffice
// that every test needing LibreOffice itself uses.
#pragma once

#include "engine/automation/DocumentConverter.h"
#include "engine/automation/DocumentEngine.h"
#include "office/OfficeBridge.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace paperloom::engine::office::test {

namespace fs = std::filesystem;

inline const fs::path kCorpus = fs::path(PAPERLOOM_CORPUS_DIR) / "word-extractor";
inline const fs::path kData = fs::path(PAPERLOOM_TEST_DATA_DIR) / "office";

/// A fresh folder for one test, removed afterwards.
class Scratch {
public:
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "paperloom-office-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_path = pattern;
    }
    ~Scratch() {
        std::error_code error;
        fs::remove_all(m_path, error);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    [[nodiscard]] std::string operator/(const std::string& name) const {
        return (m_path / name).string();
    }
    [[nodiscard]] const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

/// Writes content to path, made executable when asked.
void writeFile(const std::string& path, const std::string& content, bool executable = false);

/// The first count bytes of the file at path (fewer when it is shorter).
[[nodiscard]] std::string firstBytes(const std::string& path, std::size_t count);

/// The words of a WordprocessingML package's body text, in order, lower-cased. Punctuation
/// (typographic quotes and dashes included) and layout do not count, so two faithful
/// conversions of one document compare equal.
[[nodiscard]] std::vector<std::string> wordsOf(const std::string& packagePath);

/// Where two word lists part, with a few words of each from there ("" when they are equal).
[[nodiscard]] std::string whereTheyDiffer(const std::vector<std::string>& a,
                                          const std::vector<std::string>& b);

/// Where needle starts in haystack at or after from; npos when it is not there.
[[nodiscard]] std::size_t findRun(const std::vector<std::string>& haystack,
                                  const std::vector<std::string>& needle, std::size_t from);

/// Python for fake converters: put(fields) sends the bridge a message over file descriptor 3,
/// take(n) reads n bytes of a request and ends the program when the bridge has gone. Without
/// single quotes, so that it also fits a shell's single-quoted `python3 -c '...'`.
inline constexpr const char* kFakeConverterWire =
    "def put(fields):\n"
    "    data = struct.pack(\"<I\", len(fields))\n"
    "    for f in fields:\n"
    "        data += struct.pack(\"<I\", len(f)) + f\n"
    "    os.write(3, data)\n"
    "def take(n):\n"
    "    data = b\"\"\n"
    "    while len(data) < n:\n"
    "        chunk = os.read(3, n - len(data))\n"
    "        if not chunk:\n"
    "            raise SystemExit(0)\n"
    "        data += chunk\n"
    "    return data\n";

/// Processes whose command line mentions text (our converter runs with its profile folder on
/// the command line, so this finds every one a bridge started under that folder).
[[nodiscard]] std::vector<int> processesMentioning(const std::string& text);

/// Passes conversions on to a bridge and counts them, so a test can tell whether the engine
/// used the converter at all.
class CountingConverter : public DocumentConverter {
public:
    explicit CountingConverter(std::shared_ptr<DocumentConverter> inner)
        : m_inner(std::move(inner)) {}
    void toWordPackage(const std::string& input, const std::string& package) override {
        ++imports;
        m_inner->toWordPackage(input, package);
    }
    void fromWordPackage(const std::string& package, const std::string& output) override {
        ++exports;
        m_inner->fromWordPackage(package, output);
    }
    [[nodiscard]] bool convertsOutput(const std::string& output) const override {
        return m_inner->convertsOutput(output);
    }
    int imports = 0;
    int exports = 0;

private:
    std::shared_ptr<DocumentConverter> m_inner;
};

/// The test run's own temporary folder ($TMPDIR for the whole run, so everything a test, the
/// engine or LibreOffice leaves there shows) and the one warm bridge, started at first use.
/// At the end of the run the bridge goes, and the folder must then be empty, with no process
/// left that mentions it.
class OfficeSession : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
    /// The shared bridge, with its profile in the run's folder.
    [[nodiscard]] static std::shared_ptr<OfficeBridge> bridge();
    /// The run's temporary folder.
    [[nodiscard]] static const fs::path& root();
};

/// Tests that need LibreOffice itself; skipped without the corpus.
class RealOffice : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kCorpus)) {
            GTEST_SKIP() << "corpus not present";
        }
    }

    /// An engine over the shared bridge, counting what goes through it.
    std::unique_ptr<DocumentEngine> engine();

    /// The package LibreOffice makes of path, for reading its text.
    std::string reopened(const std::string& path, const Scratch& scratch);

    std::shared_ptr<CountingConverter> m_counting;
};

} // namespace paperloom::engine::office::test
