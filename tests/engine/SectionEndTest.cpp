// What a paragraph that ends a later document's last section still shows once LibreOffice, which
// drops an empty paragraph that ends a section, lays the join out.
#include "EngineFixture.h"

#include <string>

namespace paperloom::engine::testing {
namespace {

using SectionEndTest = EngineFixture;

TEST_F(SectionEndTest, AListWhoseLastItemIsStillEmptyKeepsItsNumberWhereverItsDocumentStands) {
    const std::string item = "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr>";
    DocDraft listed;
    listed.numbering = "<w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:start "
                       "w:val=\"1\"/><w:numFmt w:val=\"decimal\"/><w:lvlText w:val=\"Item%1\"/>"
                       "</w:lvl></w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId "
                       "w:val=\"0\"/></w:num>";
    listed.body = para("first", item) + "<w:p><w:pPr>" + item + "</w:pPr></w:p>";
    expectWordWhereItStandsBesideAPlainOne(listed, "Item2");
}

} // namespace
} // namespace paperloom::engine::testing
