// Memory of a join: documents whose text expands past the budget are refused before it is
// spent, and a long body costs a small multiple of its text.
#include "EngineFixture.h"

#include "engine/package/ZipWriter.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace paperloom::engine::testing {
namespace {

using MemoryTest = EngineFixture;

/// The resident memory of this process now, in bytes.
std::uint64_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    std::uint64_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

TEST_F(MemoryTest, DocumentsExpandingPastTheBudgetAreRefusedBeforeAnythingIsInflated) {
    const std::string base = write("base.docx", DocDraft{});
    // A directory that promises 1 GiB of body behind a few bytes that would not even inflate.
    Package package = Written(base).package();
    package.parts["word/document.xml"] =
        PartData::fromZip(PartData::Method::Deflated, "not deflate data", 0, 1ull << 30);
    const std::string huge = (dir / "huge.docx").string();
    writeZipPackage(package, huge);
    const std::string plain = write("plain.docx", DocDraft{});
    try {
        join({plain, huge});
        FAIL() << "joined";
    } catch (const WordError& error) {
        EXPECT_EQ(error.userMessage(),
                  "Cannot open " + huge +
                      ": it is too large to join (its text expands to 1.0 GiB).");
    }

    // The budget counts every XML part, not only the body.
    DocDraft footnoted;
    footnoted.footnotes = "<w:footnote w:id=\"1\"><w:p><w:r><w:t>" + std::string(600 << 10, 'x') +
                          "</w:t></w:r></w:p></w:footnote>";
    const std::string notes = write("notes.docx", footnoted);
    EngineOptions options = makeOptions();
    options.limits.maxDocumentText = 512 << 10;
    DocumentEngine budgeted(options);
    EXPECT_THROW(joinDocuments(budgeted, {plain, notes}, (dir / "out.docx").string(), {}),
                 WordError);
    EXPECT_NO_THROW(joinDocuments(budgeted, {plain, plain}, (dir / "out.docx").string(), {}));
}

TEST_F(MemoryTest, ALongBodyCostsASmallMultipleOfItsText) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' own memory hides the engine's";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the sanitizers' own memory hides the engine's";
#endif
#endif
    // 16 MiB of empty paragraphs after a document with another default paragraph style: the
    // densest markup, and every paragraph must be given that style.
    constexpr std::uint64_t kText = 16ull << 20;
    DocDraft sparse;
    sparse.styles = "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
                    "w:val=\"Normal\"/><w:rPr><w:sz w:val=\"28\"/></w:rPr></w:style>";
    sparse.body.clear();
    sparse.body.reserve(kText);
    while (sparse.body.size() + 6 + 4096 < kText) { // room for the rest of the part
        sparse.body += "<w:p/>";
    }
    const std::string bomb = write("sparse.docx", sparse);
    sparse = DocDraft{};
    const std::string plain = write("plain.docx", DocDraft{});
    const std::string output = (dir / "joined.docx").string();

    // A child joins: its peak is its own, plus what it shared with this process at the fork.
    const std::uint64_t before = residentBytes();
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            DocumentEngine fresh(makeOptions());
            joinDocuments(fresh, {plain, bomb}, output, {});
        } catch (const WordError& error) {
            std::fprintf(stderr, "%s\n", error.userMessage().c_str());
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::uint64_t peak = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    EXPECT_LT(peak - std::min(peak, before), 8 * kText + (100ull << 20))
        << "peak " << (peak >> 20) << " MiB";
}

} // namespace
} // namespace paperloom::engine::testing
