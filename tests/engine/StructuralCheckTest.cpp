// The structural check itself: it must see the flaws it looks for, or every join test that
// relies on it would pass whatever the engine wrote.
#include "StructuralCheck.h"
#include "TestDocuments.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace paperloom::engine::testing {
namespace {

bool reports(const std::vector<std::string>& problems, const std::string& kind) {
    return std::any_of(problems.begin(), problems.end(),
                       [&](const std::string& problem) { return problem.rfind(kind, 0) == 0; });
}

TEST(StructuralCheckTest, SeesBrokenReferencesAndRepeatedIds) {
    DocDraft draft;
    draft.body =
        "<w:p w14:paraId=\"00000001\"><w:r><w:commentReference w:id=\"7\"/></w:r>"
        "<w:hyperlink r:id=\"rIdNowhere\"/><w:sdt><w:sdtPr><w:id w:val=\"5\"/><w:dataBinding "
        "w:storeItemID=\"{00000000-0000-0000-0000-00000000000A}\"/></w:sdtPr></w:sdt></w:p>"
        "<w:p w14:paraId=\"00000001\"><w:sdt><w:sdtPr><w:id w:val=\"5\"/></w:sdtPr></w:sdt>"
        "<w:bookmarkStart w:id=\"1\" w:name=\"a\"/><w:bookmarkStart w:id=\"1\" "
        "w:name=\"b\"/></w:p>";
    draft.rels["rIdGone"] = {"image", "media/missing.png", false};
    draft.parts["word/unknown.bin"] = {"", "no content type"};
    TempDir dir;
    draft.write(dir / "broken.docx");
    const auto problems = structuralProblems(dir / "broken.docx");
    for (const char* kind :
         {"dangling relationship", "reference to a missing relationship", "no content type",
          "duplicate w14:paraId", "duplicate content control id", "duplicate bookmark id",
          "reference to a missing comment", "data binding to a missing custom XML part"}) {
        EXPECT_TRUE(reports(problems, kind)) << kind;
    }
}

TEST(StructuralCheckTest, FindsNothingInASoundPackage) {
    TempDir dir;
    DocDraft().write(dir / "sound.docx");
    EXPECT_EQ(structuralProblems(dir / "sound.docx"), std::vector<std::string>{});
}

} // namespace
} // namespace paperloom::engine::testing
