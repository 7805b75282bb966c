// Builders and readers of test documents.
#include "TestDocuments.h"

#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"
#include "engine/package/ZipReader.h"
#include "engine/package/ZipWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace paperloom::engine::testing {
namespace {

constexpr const char* kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>";
constexpr const char* kRelBase =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
constexpr const char* kWml = "application/vnd.openxmlformats-officedocument.wordprocessingml.";

std::string relXml(const std::string& id, const DocDraft::Rel& rel) {
    const std::string type = rel.type.rfind("http", 0) == 0 ? rel.type : kRelBase + rel.type;
    return "<Relationship Id=\"" + id + "\" Type=\"" + type + "\" Target=\"" + rel.target + "\"" +
           (rel.external ? " TargetMode=\"External\"" : "") + "/>";
}

} // namespace

std::string testNamespaces() {
    return " xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\""
           " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\""
           " xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\""
           " xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\""
           " xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\""
           " xmlns:w14=\"http://schemas.microsoft.com/office/word/2010/wordml\""
           " xmlns:wps=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\""
           " xmlns:v=\"urn:schemas-microsoft-com:vml\""
           " xmlns:o=\"urn:schemas-microsoft-com:office:office\""
           " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\""
           " mc:Ignorable=\"w14\"";
}

void DocDraft::write(const std::filesystem::path& path) const {
    Package package;
    std::string types = std::string(kDecl) +
                        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                        "content-types\"><Default Extension=\"rels\" ContentType=\"application/"
                        "vnd.openxmlformats-package.relationships+xml\"/><Default "
                        "Extension=\"xml\" ContentType=\"application/xml\"/><Default "
                        "Extension=\"png\" ContentType=\"image/png\"/>"
                        "<Override PartName=\"/word/document.xml\" ContentType=\"" +
                        kWml + "document.main+xml\"/>";
    std::string docRels = std::string(kDecl) + "<Relationships xmlns=\"http://schemas."
                                               "openxmlformats.org/package/2006/relationships\">";
    auto addPart = [&](const std::string& name, const std::string& type, const std::string& id,
                       const std::string& relType, const std::string& xml) {
        package.parts[name] = PartData::fromText(xml);
        types += "<Override PartName=\"/" + name + "\" ContentType=\"" + type + "\"/>";
        if (!id.empty()) {
            docRels += relXml(id, Rel{relType, name.substr(5), false});
        }
    };
    const std::string ns = testNamespaces();
    if (!styles.empty()) {
        addPart("word/styles.xml", std::string(kWml) + "styles+xml", "rIdStyles", "styles",
                std::string(kDecl) + "<w:styles" + ns + ">" + styles + "</w:styles>");
    }
    if (!numbering.empty()) {
        addPart("word/numbering.xml", std::string(kWml) + "numbering+xml", "rIdNumbering",
                "numbering",
                std::string(kDecl) + "<w:numbering" + ns + ">" + numbering + "</w:numbering>");
    }
    if (!footnotes.empty()) {
        addPart("word/footnotes.xml", std::string(kWml) + "footnotes+xml", "rIdFootnotes",
                "footnotes",
                std::string(kDecl) + "<w:footnotes" + ns + ">" + footnotes + "</w:footnotes>");
        if (!footnoteRels.empty()) {
            std::string xml = std::string(kDecl) + "<Relationships xmlns=\"http://schemas."
                                                   "openxmlformats.org/package/2006/"
                                                   "relationships\">";
            for (const auto& [id, rel] : footnoteRels) {
                xml += relXml(id, rel);
            }
            package.parts["word/_rels/footnotes.xml.rels"] =
                PartData::fromText(xml + "</Relationships>");
        }
    }
    if (!endnotes.empty()) {
        addPart("word/endnotes.xml", std::string(kWml) + "endnotes+xml", "rIdEndnotes", "endnotes",
                std::string(kDecl) + "<w:endnotes" + ns + ">" + endnotes + "</w:endnotes>");
    }
    if (!comments.empty()) {
        addPart("word/comments.xml", std::string(kWml) + "comments+xml", "rIdComments", "comments",
                std::string(kDecl) + "<w:comments" + ns + ">" + comments + "</w:comments>");
    }
    if (!settings.empty()) {
        addPart("word/settings.xml", std::string(kWml) + "settings+xml", "rIdSettings", "settings",
                std::string(kDecl) + "<w:settings" + ns + ">" + settings + "</w:settings>");
    }
    for (const auto& [name, content] : parts) {
        package.parts[name] = PartData::fromText(content.second);
        if (!content.first.empty()) {
            types += "<Override PartName=\"/" + name + "\" ContentType=\"" + content.first + "\"/>";
        }
    }
    for (const auto& [id, rel] : rels) {
        docRels += relXml(id, rel);
    }
    for (const auto& [name, partRelations] : partRels) {
        std::string xml = std::string(kDecl) + "<Relationships xmlns=\"http://schemas."
                                               "openxmlformats.org/package/2006/relationships\">";
        for (const auto& [id, rel] : partRelations) {
            xml += relXml(id, rel);
        }
        package.parts[relsPartName(name)] = PartData::fromText(xml + "</Relationships>");
    }
    package.parts["[Content_Types].xml"] = PartData::fromText(types + "</Types>");
    std::string packageRelations =
        relXml("rId1", Rel{"officeDocument", "word/document.xml", false});
    for (const auto& [id, rel] : packageRels) {
        packageRelations += relXml(id, rel);
    }
    package.parts["_rels/.rels"] = PartData::fromText(
        std::string(kDecl) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
        packageRelations + "</Relationships>");
    package.parts["word/_rels/document.xml.rels"] =
        PartData::fromText(docRels + "</Relationships>");
    package.parts["word/document.xml"] =
        PartData::fromText(std::string(kDecl) + "<w:document" + ns + ">" + background + "<w:body>" +
                           body + sectPr + "</w:body></w:document>");
    writeZipPackage(package, path.string());
}

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "paperloom-engine-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(m_path, error);
}

Written::Written(const std::filesystem::path& path)
    : m_package(readZipPackage(path.string(), PackageLimits{})) {}

pugi::xml_document Written::xml(const std::string& part) const {
    return parseXml(text(part), part);
}

std::vector<std::string> Written::paragraphs() const {
    const auto doc = document();
    std::vector<std::string> out;
    forEachElement(doc.document_element(), [&](pugi::xml_node element) {
        if (std::strcmp(element.name(), "w:p") != 0) {
            return true;
        }
        std::string text;
        forEachElement(element, [&](pugi::xml_node inner) {
            if (std::strcmp(inner.name(), "w:t") == 0) {
                text += inner.text().get();
            }
            return true;
        });
        out.push_back(text);
        return false;
    });
    return out;
}

std::string Written::relTarget(const std::string& id) const {
    const auto rels = xml("word/_rels/document.xml.rels");
    for (auto rel : rels.document_element().children()) {
        if (id == rel.attribute("Id").value()) {
            return rel.attribute("Target").value();
        }
    }
    return {};
}

std::string section(const std::string& before, const std::string& after, int width, int height,
                    const std::string& margins) {
    return "<w:sectPr>" + before + "<w:pgSz w:w=\"" + std::to_string(width) + "\" w:h=\"" +
           std::to_string(height) + "\"" + (width > height ? " w:orient=\"landscape\"" : "") +
           "/><w:pgMar " + margins + "/>" + after + "</w:sectPr>";
}

std::vector<std::string> attributeValues(const pugi::xml_node& node, const char* element,
                                         const char* attribute) {
    std::vector<std::string> out;
    forEachElement(node, [&](pugi::xml_node inner) {
        if (std::strcmp(inner.name(), element) == 0 && inner.attribute(attribute)) {
            out.emplace_back(inner.attribute(attribute).value());
        }
        return true;
    });
    return out;
}

std::vector<pugi::xml_node> elements(const pugi::xml_node& root, const char* name) {
    std::vector<pugi::xml_node> found;
    forEachElement(root, [&](pugi::xml_node element) {
        if (std::strcmp(element.name(), name) == 0) {
            found.push_back(element);
        }
        return true;
    });
    return found;
}

std::string textOf(const pugi::xml_node& node) {
    std::string text;
    forEachElement(node, [&](pugi::xml_node element) {
        if (std::strcmp(element.name(), "w:t") == 0) {
            text += element.text().get();
        }
        return true;
    });
    return text;
}

pugi::xml_node paragraphWithText(const pugi::xml_node& root, const std::string& text) {
    pugi::xml_node found;
    forEachElement(root, [&](pugi::xml_node element) {
        if (found || std::strcmp(element.name(), "w:p") != 0) {
            return !found;
        }
        if (textOf(element) == text) {
            found = element;
        }
        return false;
    });
    return found;
}

std::string chartPartOf(const Written& out, std::size_t n) {
    const auto ids = attributeValues(out.document().document_element(), "c:chart", "r:id");
    const auto rels = Relationships::parse(out.text("word/_rels/document.xml.rels"),
                                           "word/_rels/document.xml.rels");
    const Relationship* rel = ids.size() > n ? rels.byId(ids[n]) : nullptr;
    return rel == nullptr ? std::string() : resolvePartName("word/document.xml", rel->target);
}

int pageBreaksUnder(const pugi::xml_node& node) {
    int breaks = 0;
    forEachElement(node, [&](pugi::xml_node element) {
        breaks += std::strcmp(element.name(), "w:pageBreakBefore") == 0 ? 1 : 0;
        breaks += std::strcmp(element.name(), "w:br") == 0 &&
                          std::strcmp(element.attribute("w:type").value(), "page") == 0
                      ? 1
                      : 0;
        return true;
    });
    return breaks;
}

/// Pages of a PDF as pdfinfo counts them; -1 when it cannot tell.
int pdfPages(const std::filesystem::path& pdf) {
    const std::string command = "pdfinfo '" + pdf.string() + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    char line[512];
    int pages = -1;
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        if (std::strncmp(line, "Pages:", 6) == 0) {
            pages = std::atoi(line + 6);
        }
    }
    ::pclose(pipe);
    return pages;
}

namespace {

/// A coordinate (xMin, yMin, ...) of the first word of a PDF that is exactly word, as
/// pdftotext -bbox gives it; -1 when no word is.
double pdfWordCoordinate(const std::filesystem::path& pdf, const std::string& word,
                         const std::string& coordinate) {
    const std::string command = "pdftotext -bbox '" + pdf.string() + "' - 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    std::string html;
    char block[4096];
    while (const std::size_t got = std::fread(block, 1, sizeof block, pipe)) {
        html.append(block, got);
    }
    ::pclose(pipe);
    // <word xMin="72.0" yMin="80.5" xMax="..." yMax="...">text</word>
    const auto end = html.find(">" + word + "</word>");
    const auto line = html.rfind("<word ", end);
    const auto start = html.find(coordinate + "=\"", line);
    if (end == std::string::npos || line == std::string::npos || start > end) {
        return -1;
    }
    return std::atof(html.c_str() + start + coordinate.size() + 2);
}

} // namespace

double pdfWordTop(const std::filesystem::path& pdf, const std::string& word) {
    return pdfWordCoordinate(pdf, word, "yMin");
}

double pdfWordLeft(const std::filesystem::path& pdf, const std::string& word) {
    return pdfWordCoordinate(pdf, word, "xMin");
}

std::vector<int> pdfPageGreys(const std::filesystem::path& pdf, double x, double y) {
    std::vector<int> greys;
    for (int page = 1; page <= pdfPages(pdf); ++page) {
        const std::string command = "pdftoppm -gray -r 10 -singlefile -f " + std::to_string(page) +
                                    " -l " + std::to_string(page) + " '" + pdf.string() +
                                    "' 2>/dev/null";
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) {
            greys.push_back(-1);
            continue;
        }
        std::string image;
        char block[4096];
        while (const std::size_t got = std::fread(block, 1, sizeof block, pipe)) {
            image.append(block, got);
        }
        ::pclose(pipe);
        // P5 WIDTH HEIGHT 255, each on a line of its own, then a byte per pixel.
        int width = 0;
        int height = 0;
        int offset = 0;
        if (std::sscanf(image.c_str(), "P5 %d %d 255%n", &width, &height, &offset) != 2 ||
            width <= 0 || height <= 0 ||
            image.size() < static_cast<std::size_t>(offset) + 1 + std::size_t(width) * height) {
            greys.push_back(-1);
            continue;
        }
        const int column = std::min(width - 1, static_cast<int>(x * width));
        const int row = std::min(height - 1, static_cast<int>(y * height));
        greys.push_back(static_cast<unsigned char>(image[offset + 1 + row * width + column]));
    }
    return greys;
}

bool canRenderPdfs() {
    return std::system(
               "command -v soffice >/dev/null 2>&1 && command -v pdfinfo >/dev/null 2>&1") == 0;
}

std::string renderPdfs(const TempDir& dir, const std::vector<std::string>& paths) {
    std::string command = "cd '" + dir.path().string() +
                          "' && timeout 240 soffice -env:UserInstallation=file://" +
                          (dir / "profile").string() + " --headless --convert-to pdf --outdir '" +
                          (dir / "pdf").string() + "'";
    for (const std::string& path : paths) {
        command += " '" + path + "'";
    }
    command += " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 ? std::string() : command;
}

} // namespace paperloom::engine::testing
