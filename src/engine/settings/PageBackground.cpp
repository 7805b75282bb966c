// The page background of a joined document, and each document's own on its own pages.
#include "engine/settings/PageBackground.h"

#include "engine/mergers/SectionMerge.h"
#include "engine/model/BlankDocument.h"
#include "engine/model/DocumentModel.h"
#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/paste/PasteRemap.h"
#include "engine/paste/PastedDocument.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace paperloom::engine {
namespace {

constexpr const char* kWhite = "FFFFFF";
constexpr const char* kHeaderType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml";
/// EMUs per twip.
constexpr long long kEmuPerTwip = 635;

bool isHexColour(std::string_view value) {
    return value.size() == 6 && std::all_of(value.begin(), value.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) != 0;
           });
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    return text;
}

/// The colour a reader fills the pages of this background with: its w:color, else the fill
/// colour of the shape that draws it, else white (no background).
std::string colourOf(const pugi::xml_node& background) {
    if (!background) {
        return kWhite;
    }
    const std::string_view colour = background.attribute("w:color").value();
    if (isHexColour(colour)) {
        return upper(std::string(colour));
    }
    for (auto shape : background.children()) {
        const std::string_view fill = shape.attribute("fillcolor").value();
        if (localName(shape.name()) == "background" && fill.size() == 7 && fill.front() == '#' &&
            isHexColour(fill.substr(1))) {
            return upper(std::string(fill.substr(1)));
        }
    }
    return kWhite;
}

/// What a background looks like, apart from the relationship ids that name its picture (which
/// differ between packages for the same picture) and where its prefixes are declared; "" for
/// none, and for a plain white page, which looks the same.
std::string lookOf(const pugi::xml_node& background) {
    if (!background || (!background.first_child() && colourOf(background) == kWhite)) {
        return {};
    }
    pugi::xml_document scratch;
    auto copy = scratch.append_copy(background);
    forEachElement(copy, [](pugi::xml_node element) {
        for (auto attr = element.first_attribute(); attr;) {
            const auto next = attr.next_attribute();
            if (std::strncmp(attr.name(), "r:", 2) == 0 ||
                std::strncmp(attr.name(), "xmlns", 5) == 0) {
                element.remove_attribute(attr);
            }
            attr = next;
        }
        return true;
    });
    return serializeNode(copy);
}

/// A run holding a rectangle of colour, side EMUs square, at the top left corner of the page
/// behind everything on it. Square, so that it covers the page also when the join turns it.
std::string backgroundShapeRun(const std::string& colour, long long side) {
    const std::string extent =
        "cx=\"" + std::to_string(side) + "\" cy=\"" + std::to_string(side) + "\"";
    return "<w:r><w:drawing "
           "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
           "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
           "xmlns:wps=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\">"
           "<wp:anchor distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\" simplePos=\"0\" "
           "relativeHeight=\"0\" behindDoc=\"1\" locked=\"1\" layoutInCell=\"0\" "
           "allowOverlap=\"1\"><wp:simplePos x=\"0\" y=\"0\"/><wp:positionH "
           "relativeFrom=\"page\"><wp:posOffset>0</wp:posOffset></wp:positionH><wp:positionV "
           "relativeFrom=\"page\"><wp:posOffset>0</wp:posOffset></wp:positionV><wp:extent " +
           extent +
           "/><wp:effectExtent l=\"0\" t=\"0\" r=\"0\" b=\"0\"/><wp:wrapNone/><wp:docPr id=\"1\" "
           "name=\"Page background\"/><wp:cNvGraphicFramePr/><a:graphic><a:graphicData "
           "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\"><wps:wsp>"
           "<wps:cNvSpPr/><wps:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext " +
           extent +
           "/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom><a:solidFill><a:srgbClr "
           "val=\"" +
           colour +
           "\"/></a:solidFill><a:ln><a:noFill/></a:ln></wps:spPr><wps:bodyPr/></wps:wsp>"
           "</a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
}

/// The paragraph of a header that holds the shape: its first outside tables, frames and text
/// boxes, where the shape stays anchored to the page (one inside a cell moves with the cell in
/// some readers, one in a frame with the frame); the first in a table when there is no other.
pugi::xml_node anchorParagraph(pugi::xml_node root) {
    pugi::xml_node found;
    for (const bool skipTables : {true, false}) {
        forEachElement(root, [&](pugi::xml_node element) {
            const char* name = element.name();
            if (found || std::strcmp(name, "w:r") == 0 ||
                (skipTables && std::strcmp(name, "w:tbl") == 0)) {
                return false; // text boxes are inside runs
            }
            if (std::strcmp(name, "w:p") == 0) {
                if (!element.child("w:pPr").child("w:framePr")) {
                    found = element;
                }
                return false;
            }
            return true;
        });
        if (found) {
            break;
        }
    }
    return found;
}

/// Puts the shape run into a header part; leaves alone a part that does not parse (the paste
/// reports it) or binds w to another namespace.
void addShapeToHeader(Package& out, const std::string& name, const std::string& run) {
    pugi::xml_document header;
    try {
        header = parsePart(out, name);
    } catch (const PackageError&) {
        return;
    }
    auto root = header.document_element();
    if (prefixFor(root, ns::W) != "w") {
        return;
    }
    auto paragraph = anchorParagraph(root);
    if (!paragraph) {
        const auto standIn = parseXml(standInParagraph(), name);
        paragraph = root.append_copy(standIn.document_element());
    }
    const auto parsed = parseXml(run, name);
    if (const auto pPr = paragraph.child("w:pPr")) {
        paragraph.insert_copy_after(parsed.document_element(), pPr);
    } else {
        paragraph.prepend_copy(parsed.document_element());
    }
    out.parts[name] = PartData::fromText(serializeDocument(header));
}

/// The sections of a body in document order, as the paste finds them.
std::vector<pugi::xml_node> sectionsOf(const pugi::xml_node& body) {
    std::vector<pugi::xml_node> sections;
    for (auto block : body.children()) {
        if (auto inner = block.child("w:pPr").child("w:sectPr")) {
            sections.push_back(inner);
        }
    }
    if (auto last = body.child("w:sectPr")) {
        sections.push_back(last);
    }
    return sections;
}

/// The longest side of any page of these sections, in twips (US Letter where none is stated).
long long longestPageSide(const std::vector<pugi::xml_node>& sections) {
    long long side = 0;
    for (const auto& sectPr : sections) {
        const auto pgSz = sectPr.child("w:pgSz");
        side = std::max(
            {side, pgSz.attribute("w:w").as_llong(12240), pgSz.attribute("w:h").as_llong(15840)});
    }
    return side;
}

} // namespace

void mergePageBackground(PastedDocument& pasted, DocumentModel& target, PasteRemap& remap) {
    Body& body = target.body;
    if (!body.isEmpty()) {
        return; // a later document states its own where it differs (statePageBackground)
    }
    const auto sourceRoot = pasted.mainDocument().document_element();
    const auto background = sourceRoot.child("w:background");
    if (!background) {
        return;
    }
    pugi::xml_document scratch;
    auto copy = scratch.append_copy(background);
    remap.remap(copy, sourceRoot, pasted.mainPart(), target.mainPart);
    declareMissingNamespaces(copy, sourceRoot, body.namespaces());
    body.setBeforeBody(serializeNode(copy));
}

std::string shownPageBackground(const DocumentModel& target) {
    const auto display = target.settings.doc().document_element().child("w:displayBackgroundShape");
    const std::string_view value = display.attribute("w:val").value();
    if (!display || value == "0" || value == "false" || value == "off") {
        return {};
    }
    return target.body.beforeBody();
}

void statePageBackground(Package& out, const std::string& mainPart, bool shown,
                         const std::string& joinedBackground) {
    pugi::xml_document main;
    std::string joinedLook;
    Relationships rels;
    const std::string relsName = relsPartName(mainPart);
    try {
        if (!joinedBackground.empty()) {
            joinedLook = lookOf(parseXml(joinedBackground, mainPart).document_element());
        }
        if (joinedLook.empty() &&
            (!shown || out.text(mainPart).find("<w:background") == std::string::npos)) {
            return; // neither shows one
        }
        main = parsePart(out, mainPart);
        if (out.contains(relsName)) {
            rels = Relationships::parse(out.text(relsName), relsName);
        }
    } catch (const PackageError&) {
        return; // the paste reports it
    }
    auto root = main.document_element();
    const auto background = shown ? root.child("w:background") : pugi::xml_node();
    const auto sections = sectionsOf(root.child("w:body"));
    if (lookOf(background) == joinedLook || sections.empty()) {
        return;
    }
    const std::string run =
        backgroundShapeRun(colourOf(background), longestPageSide(sections) * kEmuPerTwip);
    const std::string rPrefix = prefixFor(root, ns::R);
    const std::string idName = (rPrefix.empty() ? std::string("r") : rPrefix) + ":id";

    // Every header the sections name carries the shape.
    std::set<std::string> headers;
    for (const auto& sectPr : sections) {
        for (auto ref : sectPr.children("w:headerReference")) {
            const auto* rel = rels.byId(ref.attribute(idName.c_str()).value());
            if (rel == nullptr || rel->external) {
                continue;
            }
            try {
                headers.insert(resolvePartName(mainPart, rel->target));
            } catch (const PackageError&) {
                // a target outside the package names no header
            }
        }
    }
    for (const auto& name : headers) {
        if (out.contains(name)) {
            addShapeToHeader(out, name, run);
        }
    }

    // The first section shows a header of every type; the document's later sections inherit
    // what they do not state from it, as they did.
    auto first = sections.front();
    std::set<std::string> present;
    for (auto ref : first.children("w:headerReference")) {
        present.insert(referenceType(ref));
    }
    if (present.size() == 3 || !out.contains("[Content_Types].xml")) {
        return;
    }
    ContentTypes types;
    try {
        types = ContentTypes::parse(out.text("[Content_Types].xml"));
    } catch (const PackageError&) {
        return;
    }
    const std::string name = freeHeaderName(out);
    out.parts[name] =
        PartData::fromText("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n" +
                           blankStartTag("w:hdr") + standInParagraph(run) + "</w:hdr>");
    types.setOverride(name, kHeaderType);
    out.parts["[Content_Types].xml"] = PartData::fromPieces(types.deflatedParts());
    const std::string id = rels.add(std::string(ns::RelTypeBase) + "header",
                                    relativeTarget(mainPart, name), false, false);
    out.parts[relsName] = PartData::fromPieces(rels.deflatedParts());
    for (const char* type : {"default", "first", "even"}) {
        if (present.count(type) != 0) {
            continue;
        }
        referHeader(first, type, id, idName, rPrefix.empty());
    }
    if (present.count("default") == 0) {
        // Sections that had no header stood their text at the top margin.
        for (std::size_t i = 0; i < sections.size(); ++i) {
            if (i > 0 && sections[i].child("w:headerReference")) {
                break;
            }
            keepTextBelowEmptyHeader(sections[i], "w:header", "w:top");
        }
    }
    out.parts[mainPart] = PartData::fromText(serializeDocument(main));
}

} // namespace paperloom::engine
