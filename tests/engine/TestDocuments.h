// Small Word documents made by code for the engine tests, and readers for what the engine wrote.
#pragma once

#include "engine/package/Package.h"

#include <pugixml.hpp>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace paperloom::engine::testing {

/// A document under construction: body markup plus optional parts; write() makes the .docx.
struct DocDraft {
    std::string body = "<w:p><w:r><w:t>Hello</w:t></w:r></w:p>";
    std::string background; // what stands before w:body (the page background)
    std::string sectPr = "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr>";
    std::string styles;    // children of w:styles; empty: no styles part
    std::string numbering; // children of w:numbering; empty: no numbering part
    std::string footnotes; // children of w:footnotes; empty: no footnotes part
    std::string comments;  // children of w:comments; empty: no comments part
    std::string endnotes;  // children of w:endnotes; empty: no endnotes part
    std::string settings;  // children of w:settings; empty: no settings part
    /// Extra relationships of the main part: id -> (type suffix or full type, target,
    /// external).
    struct Rel {
        std::string type;
        std::string target;
        bool external = false;
    };
    std::map<std::string, Rel> rels;
    /// Extra parts by name, with their content type (used as an override).
    std::map<std::string, std::pair<std::string, std::string>> parts;
    /// Relationships of the footnotes part: id -> rel.
    std::map<std::string, Rel> footnoteRels;
    /// Relationships of any other part: part name -> id -> rel.
    std::map<std::string, std::map<std::string, Rel>> partRels;
    /// Relationships of the package besides its main part (properties): id -> rel.
    std::map<std::string, Rel> packageRels;

    /// Gives the document the theme part xml (a:theme), related from the main part.
    void setTheme(std::string xml) {
        rels["rIdTheme"] = {"theme", "theme/theme1.xml", false};
        parts["word/theme/theme1.xml"] = {"application/vnd.openxmlformats-officedocument.theme+xml",
                                          std::move(xml)};
    }

    /// Writes the package to path.
    void write(const std::filesystem::path& path) const;
};

/// The namespace declarations used on test document elements.
[[nodiscard]] std::string testNamespaces();

/// A fresh temporary folder, removed when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] std::filesystem::path operator/(const std::string& name) const {
        return m_path / name;
    }
    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

/// A written package opened for inspection.
class Written {
public:
    explicit Written(const std::filesystem::path& path);
    [[nodiscard]] bool has(const std::string& part) const { return m_package.contains(part); }
    [[nodiscard]] std::string text(const std::string& part) const { return m_package.text(part); }
    /// A part parsed (the test fails through an exception when it is malformed).
    [[nodiscard]] pugi::xml_document xml(const std::string& part) const;
    [[nodiscard]] pugi::xml_document document() const { return xml("word/document.xml"); }
    /// The text of every paragraph of the body, in order (nested ones included).
    [[nodiscard]] std::vector<std::string> paragraphs() const;
    /// The target of a main-part relationship by id ("" when missing).
    [[nodiscard]] std::string relTarget(const std::string& id) const;
    [[nodiscard]] const Package& package() const { return m_package; }

private:
    Package m_package;
};

/// Section properties: before holds what precedes the page size in schema order (references,
/// type), after what follows the margins; A4 portrait with one-inch margins unless told.
[[nodiscard]] std::string
section(const std::string& before, const std::string& after = {}, int width = 11906,
        int height = 16838,
        const std::string& margins = "w:top=\"1440\" w:right=\"1440\" w:bottom=\"1440\" "
                                     "w:left=\"1440\" w:header=\"708\" w:footer=\"708\"");

/// Every value of an attribute on elements with this name, anywhere under node.
[[nodiscard]] std::vector<std::string> attributeValues(const pugi::xml_node& node,
                                                       const char* element, const char* attribute);

/// Every element with this name under root (root included), in document order.
[[nodiscard]] std::vector<pugi::xml_node> elements(const pugi::xml_node& root, const char* name);

/// The text of every w:t under node, run together.
[[nodiscard]] std::string textOf(const pugi::xml_node& node);

/// The first paragraph under root whose text is exactly text (a null node when none is).
[[nodiscard]] pugi::xml_node paragraphWithText(const pugi::xml_node& root, const std::string& text);

/// The name of the chart part the body's n-th chart reference names ("" when it names none).
[[nodiscard]] std::string chartPartOf(const Written& out, std::size_t n);

/// Page break runs and paragraphs that start a new page, anywhere under node.
[[nodiscard]] int pageBreaksUnder(const pugi::xml_node& node);

/// Pages of a PDF as pdfinfo counts them; -1 when it cannot tell.
int pdfPages(const std::filesystem::path& pdf);

/// How far below the top of its page (in points) the first word of a PDF that is exactly word
/// stands, as pdftotext -bbox gives it; -1 when no word is.
double pdfWordTop(const std::filesystem::path& pdf, const std::string& word);

/// How far from the left edge of its page (in points) the first word of a PDF that is exactly
/// word stands; -1 when no word is.
double pdfWordLeft(const std::filesystem::path& pdf, const std::string& word);

/// The grey (0 black to 255 white) of each page of a PDF at one point, given as fractions of the
/// page's width and height, as pdftoppm draws it at 10 dpi; -1 for a page it cannot draw.
[[nodiscard]] std::vector<int> pdfPageGreys(const std::filesystem::path& pdf, double x, double y);

/// Whether LibreOffice and pdfinfo are there to render documents and count their pages.
[[nodiscard]] bool canRenderPdfs();

/// Renders each document (paths) into dir/pdf/NAME.pdf through one LibreOffice with a profile
/// of its own in dir; the shell command when it fails, "" when it succeeds.
[[nodiscard]] std::string renderPdfs(const TempDir& dir, const std::vector<std::string>& paths);

} // namespace paperloom::engine::testing
