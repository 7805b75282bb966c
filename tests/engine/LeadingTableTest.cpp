// A table that opens a later document, with what LibreOffice does to it at the start of a
// section: floating tables inside it, and tables in its first cell, that keep the paper and
// margins of their own section.
#include "EngineFixture.h"

#include <string>
#include <utility>
#include <vector>

namespace paperloom::engine::testing {
namespace {

using LeadingTableTest = EngineFixture;

TEST_F(LeadingTableTest, CardsOfFloatingTablesInATableKeepTheirMarginsAfterAFullerPage) {
    // Two cards, each a row holding a floating table too wide for LibreOffice to make a frame of
    // it: opening a document after a page of 40 lines with wider margins, LibreOffice laid them
    // out within those margins, 54 pt to the right.
    const auto card = [](int number) {
        std::string rows;
        for (int row = 0; row < 5; ++row) {
            rows += "<w:tr><w:trPr><w:trHeight w:val=\"1152\"/></w:trPr>";
            for (int column = 0; column < 5; ++column) {
                rows += "<w:tc><w:tcPr><w:tcW w:w=\"1869\" w:type=\"dxa\"/></w:tcPr>" +
                        para("c" + std::to_string(number) + std::to_string(row) +
                             std::to_string(column)) +
                        "</w:tc>";
            }
            rows += "</w:tr>";
        }
        std::string grid;
        for (int column = 0; column < 5; ++column) {
            grid += "<w:gridCol w:w=\"1869\"/>";
        }
        return "<w:tr><w:trPr><w:cantSplit/><w:trHeight w:hRule=\"exact\" w:val=\"6120\"/>"
               "</w:trPr><w:tc><w:tcPr><w:tcW w:w=\"9576\" w:type=\"dxa\"/></w:tcPr><w:tbl>"
               "<w:tblPr><w:tblpPr w:leftFromText=\"187\" w:rightFromText=\"187\" "
               "w:vertAnchor=\"text\" w:tblpY=\"174\"/><w:tblW w:w=\"0\" w:type=\"auto\"/>"
               "</w:tblPr><w:tblGrid>" +
               grid + "</w:tblGrid>" + rows + "</w:tbl><w:p/></w:tc></w:tr>";
    };
    DocDraft cards;
    cards.body = "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"dxa\"/></w:tblPr><w:tblGrid>"
                 "<w:gridCol w:w=\"9576\"/></w:tblGrid>" +
                 card(0) + card(1) + "</w:tbl><w:p/>";
    cards.sectPr = kLetter;
    DocDraft fuller;
    for (int i = 0; i < 40; ++i) {
        fuller.body += para("line");
    }
    fuller.sectPr = "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"1440\" "
                    "w:right=\"1800\" w:bottom=\"720\" w:left=\"2520\" w:header=\"720\" "
                    "w:footer=\"720\" w:gutter=\"0\"/></w:sectPr>";
    const std::string cardsPath = write("cards.docx", cards);
    const std::string fullerPath = write("fuller.docx", fuller);
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    ASSERT_EQ(renderBothWaysRound(cardsPath, fullerPath), "");
    // LibreOffice leaves out the text of the first card of a document that opens with it.
    const double alone = pdfWordLeft(pdfOf(cardsPath), "c100");
    ASSERT_GT(alone, 0);
    for (const char* name : {"ownfirst", "otherfirst"}) {
        EXPECT_NEAR(pdfWordLeft(pdfOf(name), "c100"), alone, 0.5) << name;
    }
}

TEST_F(LeadingTableTest, TableInTheFirstCellKeepsItsOwnPaperAndMargins) {
    // A document that opens with a table whose first cell opens with another table: after a
    // page of 40 lines on A4 with narrower margins, LibreOffice laid it out on A4 within those
    // margins.
    DocDraft nested;
    nested.body = "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr><w:tblGrid>"
                  "<w:gridCol w:w=\"4338\"/><w:gridCol w:w=\"4302\"/></w:tblGrid><w:tr><w:tc>"
                  "<w:tcPr><w:tcW w:w=\"4338\" w:type=\"dxa\"/></w:tcPr><w:tbl><w:tblPr>"
                  "<w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr><w:tblGrid>"
                  "<w:gridCol w:w=\"3747\"/></w:tblGrid>" +
                  oneCellRows(2, 3747, "inner") +
                  "</w:tbl><w:p/></w:tc><w:tc><w:tcPr>"
                  "<w:tcW w:w=\"4302\" w:type=\"dxa\"/></w:tcPr>" +
                  para("beside") + "</w:tc></w:tr></w:tbl>" + para("after");
    nested.sectPr = "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"1440\" "
                    "w:right=\"1800\" w:bottom=\"1440\" w:left=\"1800\" w:header=\"720\" "
                    "w:footer=\"720\" w:gutter=\"0\"/></w:sectPr>";
    DocDraft a4;
    for (int i = 0; i < 40; ++i) {
        a4.body += para("other");
    }
    a4.sectPr = "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1417\" "
                "w:right=\"1417\" w:bottom=\"1134\" w:left=\"1417\" w:header=\"708\" "
                "w:footer=\"708\" w:gutter=\"0\"/></w:sectPr>";
    const std::string nestedPath = write("nested.docx", nested);
    const std::string a4Path = write("a4.docx", a4);
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    ASSERT_EQ(renderBothWaysRound(nestedPath, a4Path), "");
    for (const std::string word : {"inner", "after"}) {
        const double left = pdfWordLeft(pdfOf(nestedPath), word);
        const double top = pdfWordTop(pdfOf(nestedPath), word);
        ASSERT_GT(left, 0) << word;
        for (const char* name : {"ownfirst", "otherfirst"}) {
            EXPECT_NEAR(pdfWordLeft(pdfOf(name), word), left, 0.5) << name << " " << word;
            EXPECT_NEAR(pdfWordTop(pdfOf(name), word), top, 0.5) << name << " " << word;
        }
    }
}

TEST_F(LeadingTableTest, ACoverPageTableKeptInTheTextStaysWhereItStoodAlone) {
    // A cover page: a floating table in a content control, too wide for LibreOffice to make it
    // a frame, so it stays in the text. The paragraph that anchors it in its own document after
    // another one took a point and moved it, and all below it, down by that (BusinessReport).
    DocDraft cover;
    cover.body = "<w:sdt><w:sdtPr/><w:sdtContent><w:tbl><w:tblPr><w:tblpPr "
                 "w:vertAnchor=\"page\" w:horzAnchor=\"page\" w:tblpXSpec=\"right\" "
                 "w:tblpY=\"361\"/><w:tblW w:w=\"5500\" w:type=\"pct\"/></w:tblPr><w:tblGrid>"
                 "<w:gridCol w:w=\"9000\"/></w:tblGrid>" +
                 oneCellRows(2, 9000, "cover") + "</w:tbl></w:sdtContent></w:sdt>" + para("below");
    DocDraft other;
    other.body = para("other");
    const std::string coverPath = write("cover.docx", cover);
    const std::string otherPath = write("other.docx", other);
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    ASSERT_EQ(renderBothWaysRound(coverPath, otherPath), "");
    const double alone = pdfWordTop(pdfOf(coverPath), "below");
    ASSERT_GT(alone, 0);
    EXPECT_NEAR(pdfWordTop(pdfOf("otherfirst"), "below"), alone, 0.5);
}

TEST_F(LeadingTableTest, ATableOnALineGridKeepsItsGridAfterAFullerPageWithoutOne) {
    // After a page of 40 lines without a line grid, LibreOffice laid out the rows of a table
    // that opens a document on a grid without that grid: they lost their whole grid lines
    // (table--1 after the 2003 Consumer Confidence Report).
    DocDraft gridded;
    gridded.body = "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr><w:tblGrid>"
                   "<w:gridCol w:w=\"4000\"/></w:tblGrid>" +
                   oneCellRows(4, 4000, "row") + "</w:tbl>" + para("after");
    gridded.sectPr = section({}, "<w:docGrid w:type=\"lines\" w:linePitch=\"312\"/>");
    DocDraft plain;
    for (int i = 0; i < 40; ++i) {
        plain.body += para("other");
    }
    const std::string griddedPath = write("gridded.docx", gridded);
    const std::string plainPath = write("plain.docx", plain);
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    expectWordWhereItStandsAlone(griddedPath, plainPath, "after");
}

} // namespace
} // namespace paperloom::engine::testing
