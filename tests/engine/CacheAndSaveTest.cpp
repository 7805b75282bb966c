// Saving: atomic, deterministic, clear errors; reopening the output reuses memory only safely.
#include "EngineFixture.h"

#include "engine/files/ReplacementFile.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace paperloom::engine::testing {
namespace {

using CacheAndSaveTest = EngineFixture;

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> inputs(EngineFixture& fixture, TempDir& dir, int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        DocDraft draft;
        draft.body = para("document " + std::to_string(i), "<w:jc w:val=\"center\"/>") +
                     para("second paragraph");
        const auto path = dir / ("in" + std::to_string(i) + ".docx");
        draft.write(path);
        paths.push_back(path.string());
    }
    (void)fixture;
    return paths;
}

TEST_F(CacheAndSaveTest, JoiningTwiceGivesIdenticalFiles) {
    const auto paths = inputs(*this, dir, 3);
    const std::string first = join(paths, JoinChoices{true, true});
    const std::string once = bytesOf(first);
    DocumentEngine fresh(makeOptions());
    const std::string second = (dir / "again.docx").string();
    joinDocuments(fresh, paths, second, JoinChoices{true, true});
    EXPECT_EQ(bytesOf(second), once);
}

TEST_F(CacheAndSaveTest, ReusingTheSavedDocumentGivesWhatReadingTheFileGives) {
    const auto paths = inputs(*this, dir, 4);
    const std::string cached = join(paths, JoinChoices{true, false});
    // Without reuse: every step gets an engine of its own, so every step reads the file.
    const std::string read = (dir / "read.docx").string();
    FixedJoinWindow breaks = stepContext(JoinChoices{true, false});
    for (std::size_t i = 0; i < paths.size(); ++i) {
        DocumentEngine step(makeOptions());
        CopyDocumentToClipboard(step, breaks, paths[i]);
        if (i == 0) {
            StartJoinedDocument(step, breaks, read);
        } else if (i + 1 == paths.size()) {
            AppendLastDocument(step, breaks, read);
        } else {
            AppendDocument(step, breaks, read);
        }
    }
    const Written a(cached);
    const Written b(read);
    ASSERT_EQ(a.package().parts.size(), b.package().parts.size());
    for (const auto& [name, data] : a.package().parts) {
        ASSERT_TRUE(b.has(name)) << name;
        EXPECT_EQ(a.text(name), b.text(name)) << name;
    }
}

TEST_F(CacheAndSaveTest, AnOutputChangedOnDiskIsReadAgain) {
    const auto paths = inputs(*this, dir, 2);
    const std::string output = (dir / "joined.docx").string();
    CopyDocumentToClipboard(engine, noChoices, paths[0]);
    StartJoinedDocument(engine, noChoices, output);
    // Someone else replaces the output between two steps.
    DocDraft other;
    other.body = para("written by someone else");
    other.write(output);
    CopyDocumentToClipboard(engine, noChoices, paths[1]);
    AppendLastDocument(engine, noChoices, output);
    const auto texts = Written(output).paragraphs();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], "written by someone else");
    EXPECT_EQ(texts[1], "document 1");
}

TEST_F(CacheAndSaveTest, SavingReplacesAFileAndLeavesNoTemporaryFiles) {
    const std::string output = (dir / "out.doc").string();
    std::ofstream(output) << "old content";
    auto word = engine.createInstance();
    word->Documents().Add();
    word->ActiveDocument().SaveAs(output);
    EXPECT_NO_THROW(Written{output}); // a package, whatever the name says
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(CacheAndSaveTest, SaveFailuresSaySo) {
    auto word = engine.createInstance();
    word->Documents().Add();
    const std::string missing = (dir / "no-such-folder" / "out.docx").string();
    try {
        word->ActiveDocument().SaveAs(missing);
        FAIL() << "saved into a missing folder";
    } catch (const WordError& error) {
        EXPECT_EQ(error.userMessage(), "Cannot save " + missing + ": the folder does not exist.");
    }
    EXPECT_THROW(word->ActiveDocument().SaveAs(dir.path().string()), WordError);
    if (::geteuid() != 0) {
        const auto locked = dir / "locked";
        std::filesystem::create_directory(locked);
        std::filesystem::permissions(locked, std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::owner_exec);
        const std::string path = (locked / "out.docx").string();
        try {
            word->ActiveDocument().SaveAs(path);
            FAIL() << "saved into a read-only folder";
        } catch (const WordError& error) {
            EXPECT_EQ(error.userMessage(),
                      "Cannot save " + path + ": there is no permission to write there.");
        }
    }
}

TEST_F(CacheAndSaveTest, ASaveKeepsItsTemporaryOnRecordUntilItIsGone) {
    // The record is what lets a later start remove the temporary of a killed program.
    const char* saved = std::getenv("XDG_STATE_HOME");
    const std::string previous = saved != nullptr ? saved : "";
    ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
    const auto journal = dir / "state" / "paperloom" / "temporaries";
    const auto recorded = [&] {
        std::vector<std::string> paths;
        std::error_code absent;
        for (const auto& entry : std::filesystem::directory_iterator(journal, absent)) {
            std::ifstream in(entry.path());
            std::string line;
            std::getline(in, line);
            paths.push_back(line);
        }
        return paths;
    };
    {
        ReplacementFile file((dir / "out.docx").string());
        EXPECT_EQ(recorded(), std::vector<std::string>{file.temporary()});
        file.commit();
        EXPECT_TRUE(recorded().empty());
        ReplacementFile abandoned((dir / "other.docx").string());
        EXPECT_EQ(recorded().size(), 1u);
    }
    EXPECT_TRUE(recorded().empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "other.docx"));
    if (saved != nullptr) {
        ::setenv("XDG_STATE_HOME", previous.c_str(), 1);
    } else {
        ::unsetenv("XDG_STATE_HOME");
    }
}

class RecordingConverter : public DocumentConverter {
public:
    void toWordPackage(const std::string& input, const std::string& package) override {
        opened.push_back(input);
        if (fail) {
            throw WordError("The office converter failed.", input);
        }
        DocDraft draft;
        draft.body = para("converted");
        draft.write(package);
    }
    void fromWordPackage(const std::string& package, const std::string& output) override {
        std::filesystem::copy_file(package, output + ".fromdocx");
        std::ofstream(output) << "%PDF-1.4 converted";
        saved.push_back(output);
    }
    bool convertsOutput(const std::string& output) const override {
        return output.size() > 4 && output.substr(output.size() - 4) == ".pdf";
    }
    std::vector<std::string> opened;
    std::vector<std::string> saved;
    bool fail = false;
};

TEST_F(CacheAndSaveTest, OtherFormatsGoThroughTheConverter) {
    auto converter = std::make_shared<RecordingConverter>();
    engine.setConverter(converter);
    std::string ole("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    const auto legacy = dir / "old.doc";
    std::ofstream(legacy, std::ios::binary) << ole << std::string(504, '\0');
    CopyDocumentToClipboard(engine, noChoices, legacy.string());
    EXPECT_EQ(converter->opened, std::vector<std::string>{legacy.string()});
    auto word = engine.createInstance();
    word->Documents().Add();
    word->Selection().EndKey({EndKeyUnit::Story, EndKeyExtend::Move});
    word->Selection().Paste();
    const std::string pdf = (dir / "out.pdf").string();
    word->ActiveDocument().SaveAs(pdf);
    EXPECT_EQ(converter->saved, std::vector<std::string>{pdf});
    EXPECT_EQ(Written(pdf + ".fromdocx").paragraphs().front(), "converted");
    // Opening the converted output again reuses the document it was made from.
    word->Quit();
    auto next = engine.createInstance();
    EXPECT_NO_THROW(next->Documents().Open(pdf));
    EXPECT_EQ(converter->opened.size(), 1u);
    converter->fail = true;
    EXPECT_THROW(CopyDocumentToClipboard(engine, noChoices, legacy.string()), WordError);
}

} // namespace
} // namespace paperloom::engine::testing
