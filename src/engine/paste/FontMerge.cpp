// The font table of a paste: the fonts pasted content names, with the font data it embeds.
#include "engine/model/BlankDocument.h"
#include "engine/package/Xml.h"
#include "engine/paste/PasteSession.h"

#include <cstring>
#include <unordered_map>

namespace paperloom::engine {
namespace {

constexpr const char* kEmbedded[] = {"w:embedRegular", "w:embedBold", "w:embedItalic",
                                     "w:embedBoldItalic"};

bool embedsData(const pugi::xml_node& font) {
    for (const char* embed : kEmbedded) {
        if (font.child(embed)) {
            return true;
        }
    }
    return false;
}

} // namespace

void PasteSession::dropFontsWithoutData(pugi::xml_node font, const std::string& sourcePart) {
    // A reference to data the source does not have would be a broken reference here; without
    // it, readers fall back to a font of their own.
    for (const char* embed : kEmbedded) {
        const auto data = font.child(embed);
        if (!data) {
            continue;
        }
        std::string relId;
        for (auto attr = data.first_attribute(); attr; attr = attr.next_attribute()) {
            if (localName(attr.name()) == "id" && !prefixOf(attr.name()).empty()) {
                relId = attr.value();
            }
        }
        const Relationship* rel = sourceRels(sourcePart).byId(relId);
        bool present = false;
        try {
            present = rel != nullptr && !rel->external &&
                      source.contains(resolvePartName(sourcePart, rel->target));
        } catch (const PackageError&) {
            present = false;
        }
        if (!present) {
            font.remove_child(data);
        }
    }
}

void PasteSession::mergeFonts() {
    const std::string sourcePart = sourcePartOfKind("fontTable");
    if (sourcePart.empty()) {
        return;
    }
    auto doc = parseXml(source.text(sourcePart), sourcePart);
    XmlPart& part = target.ensurePart(
        target.fontTable, "fontTable", "word/fontTable.xml",
        "application/vnd.openxmlformats-officedocument.wordprocessingml.fontTable+xml",
        blankStartTag("w:fonts") + "</w:fonts>");
    auto root = part.doc.document_element();
    std::unordered_map<std::string, pugi::xml_node> known;
    for (auto font : root.children("w:font")) {
        known.emplace(font.attribute("w:name").value(), font);
    }
    const auto namespaces = namespacesOf(root);
    for (auto font : doc.document_element().children("w:font")) {
        dropFontsWithoutData(font, sourcePart);
        const std::string name = font.attribute("w:name").value();
        const auto it = known.find(name);
        if (it == known.end()) {
            auto copy = root.append_copy(font);
            known.emplace(name, copy);
            // Embedded data travels as its part; its key stays beside the reference, so the
            // copied (obfuscated) bytes still decode.
            remap(copy, doc.document_element(), sourcePart, part.name);
            declareMissingNamespaces(copy, doc.document_element(), namespaces);
            part.dirty = true;
        } else if (!embedsData(it->second) && embedsData(font)) {
            // The target names the font without its data: the pasted text needs the data.
            pugi::xml_node existing = it->second;
            for (const char* embed : kEmbedded) {
                if (const auto data = font.child(embed)) {
                    auto copy = existing.append_copy(data);
                    remap(copy, doc.document_element(), sourcePart, part.name);
                    declareMissingNamespaces(copy, doc.document_element(), namespaces);
                }
            }
            part.dirty = true;
        }
    }
}

} // namespace paperloom::engine
