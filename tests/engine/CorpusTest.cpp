// Real documents from the public corpus: every one pastes or fails cleanly; joins stay
// consistent packages that LibreOffice and python-docx read, with the sources' text in order.
#include "EngineFixture.h"
#include "StructuralCheck.h"

#include "engine/Relationships.h"
#include "engine/Xml.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace paperloom::engine::testing {
namespace {

const std::string kCorpus = PAPERLOOM_CORPUS_DIR;

std::vector<std::string> corpusDocuments() {
    std::vector<std::string> paths;
    for (const char* folder : {"docxcompose", "python-docx", "word-extractor"}) {
        const auto dir = std::filesystem::path(kCorpus) / folder;
        if (!std::filesystem::exists(dir)) {
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (entry.path().extension() == ".docx") {
                paths.push_back(entry.path().string());
            }
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool haveProgram(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

using CorpusTest = EngineFixture;

TEST_F(CorpusTest, EveryDocumentPastesIntoANewOneOrFailsWithAWordError) {
    const auto paths = corpusDocuments();
    if (paths.empty()) {
        GTEST_SKIP() << "corpus not present";
    }
    int joined = 0;
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        const std::string output = (dir / "single.docx").string();
        try {
            joinDocuments(engine, {path}, output, JoinChoices{true, false});
        } catch (const WordError& error) {
            EXPECT_EQ(error.userMessage().rfind("Cannot ", 0), 0u) << error.userMessage();
            continue;
        }
        ++joined;
        EXPECT_EQ(newStructuralProblems(output, {path}), std::vector<std::string>{});
    }
    EXPECT_GT(joined, static_cast<int>(paths.size()) * 9 / 10);
}

TEST_F(CorpusTest, JoiningEachFolderGivesAConsistentPackageThatPythonDocxReads) {
    for (const char* folder : {"docxcompose", "python-docx", "word-extractor"}) {
        SCOPED_TRACE(folder);
        std::vector<std::string> inputs;
        for (const auto& path : corpusDocuments()) {
            if (path.find(std::string("/") + folder + "/") == std::string::npos) {
                continue;
            }
            try {
                copyDocumentToClipboard(engine, path);
                inputs.push_back(path);
            } catch (const WordError&) {
                // fails cleanly on its own; the join takes the others
            }
        }
        if (inputs.size() < 2) {
            continue;
        }
        const std::string output = (dir / (std::string(folder) + ".docx")).string();
        joinDocuments(engine, inputs, output, JoinChoices{true, true});
        EXPECT_EQ(newStructuralProblems(output, {inputs.begin(), inputs.end()}),
                  std::vector<std::string>{});
        if (haveProgram("/usr/bin/python3")) {
            const std::string command = "/usr/bin/python3 -c 'import sys, docx; "
                                        "docx.Document(sys.argv[1])' '" +
                                        output + "' 2>&1";
            EXPECT_EQ(std::system(command.c_str()), 0) << "python-docx refused " << output;
        }
    }
}

/// Non-empty lines of a LibreOffice text export, trimmed, without byte-order marks.
std::vector<std::string> textLines(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        for (const std::string junk : {"\xEF\xBB\xBF", "\r", "\f"}) {
            for (auto at = line.find(junk); at != std::string::npos; at = line.find(junk)) {
                line.erase(at, junk.size());
            }
        }
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos) {
            continue;
        }
        lines.push_back(line.substr(first, line.find_last_not_of(" \t") - first + 1));
    }
    return lines;
}

TEST_F(CorpusTest, LibreOfficeReadsTheSourcesTextInOrder) {
    if (!haveProgram("soffice") || !haveProgram("timeout")) {
        GTEST_SKIP() << "LibreOffice is not installed";
    }
    std::vector<std::string> inputs;
    for (const char* name :
         {"word-extractor/test17.docx", "docxcompose/numberings.docx", "python-docx/t-test.docx",
          "docxcompose/footnote.docx", "docxcompose/table.docx", "docxcompose/hyperlinks.docx"}) {
        const auto path = std::filesystem::path(kCorpus) / name;
        if (!std::filesystem::exists(path)) {
            GTEST_SKIP() << "corpus not present";
        }
        // Copies with distinct names, so that one conversion run gives one text file each.
        const auto copy = dir / ("src" + std::to_string(inputs.size()) + ".docx");
        std::filesystem::copy_file(path, copy);
        inputs.push_back(copy.string());
    }
    const std::string output = join(inputs, JoinChoices{true, false});
    std::string command = "cd '" + dir.path().string() + "' && timeout 240 soffice " +
                          "-env:UserInstallation=file://" + (dir / "profile").string() +
                          " --headless --convert-to txt:Text --outdir '" + (dir / "text").string() +
                          "'";
    for (const auto& input : inputs) {
        command += " '" + input + "'";
    }
    command += " '" + output + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const auto lines = textLines(dir / "text" / ("src" + std::to_string(i) + ".txt"));
        ASSERT_FALSE(lines.empty()) << inputs[i];
        expected.insert(expected.end(), lines.begin(), lines.end());
    }
    EXPECT_EQ(textLines(dir / "text" / "joined.txt"), expected);
}

} // namespace
} // namespace paperloom::engine::testing
