// Scratch folders, text read back from packages, and the shared LibreOffice of the office tests.
#include "OfficeTestSupport.h"

#include "engine/package/ZipReader.h"
#include "office/OfficeProfile.h"

#include <pugixml.hpp>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string_view>

namespace paperloom::engine::office::test {
namespace {

/// The text of node and everything under it: runs joined as they are, a space for tabs,
/// breaks and paragraph ends.
void collectText(const pugi::xml_node& node, std::string& out) {
    const std::string_view name = node.name();
    if (name == "w:t") {
        out += node.text().get();
        return;
    }
    if (name == "w:tab" || name == "w:br" || name == "w:cr") {
        out += ' ';
        return;
    }
    for (const auto& child : node.children()) {
        collectText(child, out);
    }
    if (name == "w:p") {
        out += ' ';
    }
}

std::unique_ptr<Scratch> s_root;
std::shared_ptr<OfficeBridge> s_bridge;
std::string s_savedTmpdir;
bool s_hadTmpdir = false;

[[maybe_unused]] ::testing::Environment* const s_session =
    ::testing::AddGlobalTestEnvironment(new OfficeSession);

} // namespace

void writeFile(const std::string& path, const std::string& content, bool executable) {
    std::ofstream(path, std::ios::binary) << content;
    if (executable) {
        ::chmod(path.c_str(), 0755);
    }
}

std::string firstBytes(const std::string& path, std::size_t count) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(count, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

/// The words of a WordprocessingML package's body text, in order, lower-cased. Punctuation
/// (typographic quotes and dashes included) and layout do not count, so two faithful
/// conversions of one document compare equal.
std::vector<std::string> wordsOf(const std::string& packagePath) {
    const Package package = readZipPackage(packagePath, PackageLimits{});
    pugi::xml_document xml;
    const std::string text = package.text("word/document.xml");
    if (!xml.load_buffer(text.data(), text.size(),
                         pugi::parse_default | pugi::parse_ws_pcdata_single)) {
        throw std::runtime_error("word/document.xml does not parse in " + packagePath);
    }
    std::string all;
    collectText(xml.document_element().child("w:body"), all);
    std::vector<std::string> words;
    std::string word;
    const auto endWord = [&] {
        if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    };
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto c = static_cast<unsigned char>(all[i]);
        if (c == 0xE2 && i + 2 < all.size() &&
            (static_cast<unsigned char>(all[i + 1]) & 0xFE) == 0x80) {
            endWord(); // U+2000 to U+207F: spaces, dashes, quotes
            i += 2;
        } else if (std::isalnum(c) != 0 || c >= 0x80) {
            word += static_cast<char>(std::tolower(c));
        } else {
            endWord();
        }
    }
    endWord();
    return words;
}

/// Where two word lists part, with a few words of each from there ("" when they are equal).
std::string whereTheyDiffer(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    if (ia == a.end() && ib == b.end()) {
        return {};
    }
    const auto excerpt = [](auto from, auto end) {
        std::string text;
        for (int i = 0; i < 8 && from != end; ++i, ++from) {
            text += *from + " ";
        }
        return text;
    };
    return "word " + std::to_string(ia - a.begin()) + ": \"" + excerpt(ia, a.end()) + "\" vs \"" +
           excerpt(ib, b.end()) + "\"";
}

/// Where needle starts in haystack at or after from; npos when it is not there.
std::size_t findRun(const std::vector<std::string>& haystack,
                    const std::vector<std::string>& needle, std::size_t from) {
    const auto it = std::search(haystack.begin() + static_cast<std::ptrdiff_t>(from),
                                haystack.end(), needle.begin(), needle.end());
    return it == haystack.end() ? std::string::npos
                                : static_cast<std::size_t>(it - haystack.begin());
}

/// Processes whose command line mentions text (our converter runs with its profile folder on
/// the command line, so this finds every one a bridge started under that folder).
std::vector<int> processesMentioning(const std::string& text) {
    std::vector<int> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) {
            continue;
        }
        std::string cmdline;
        try {
            std::ifstream in(entry.path() / "cmdline", std::ios::binary);
            cmdline.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        } catch (const std::ios_base::failure&) {
            continue; // it ended while being read (the read fails with ESRCH)
        }
        if (cmdline.find(text) != std::string::npos) {
            found.push_back(std::stoi(name));
        }
    }
    return found;
}

void OfficeSession::SetUp() {
    // A run killed by its time-out left its folder; the profiles in it (with the sockets their
    // LibreOffice made in /tmp) go as at a program's start. Other runs' folders keep theirs.
    std::error_code error;
    for (fs::directory_iterator it(fs::temp_directory_path(), error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().filename().string().starts_with("paperloom-office-test-")) {
            removeOrphanedProfiles(it->path().string());
        }
    }
    s_root = std::make_unique<Scratch>();
    const char* tmpdir = std::getenv("TMPDIR");
    s_hadTmpdir = tmpdir != nullptr;
    s_savedTmpdir = s_hadTmpdir ? tmpdir : "";
    ::setenv("TMPDIR", s_root->path().c_str(), 1);
}

void OfficeSession::TearDown() {
    const std::string folder = s_root->path().string();
    const pid_t pid = s_bridge ? s_bridge->processId() : 0;
    s_bridge.reset();
    // The converter process and its profile go with the bridge; nothing else of any test,
    // of the engine or of LibreOffice stays in the temporary folder.
    EXPECT_TRUE(processesMentioning(folder).empty());
    if (pid > 0) {
        EXPECT_FALSE(fs::exists("/proc/" + std::to_string(pid)));
    }
    for (const auto& entry : fs::directory_iterator(folder)) {
        ADD_FAILURE() << "left in the temporary folder: " << entry.path();
    }
    if (s_hadTmpdir) {
        ::setenv("TMPDIR", s_savedTmpdir.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    s_root.reset();
}

std::shared_ptr<OfficeBridge> OfficeSession::bridge() {
    if (!s_bridge) {
        OfficeBridgeOptions options;
        options.tempFolder = s_root->path().string();
        s_bridge = std::make_shared<OfficeBridge>(options);
    }
    return s_bridge;
}

const fs::path& OfficeSession::root() {
    return s_root->path();
}

std::unique_ptr<DocumentEngine> RealOffice::engine() {
    m_counting = std::make_shared<CountingConverter>(OfficeSession::bridge());
    auto result = std::make_unique<DocumentEngine>();
    result->setConverter(m_counting);
    return result;
}

std::string RealOffice::reopened(const std::string& path, const Scratch& scratch) {
    const std::string package = scratch / (fs::path(path).filename().string() + ".docx");
    OfficeSession::bridge()->toWordPackage(path, package);
    return package;
}

} // namespace paperloom::engine::office::test
