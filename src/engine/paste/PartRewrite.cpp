// Copied parts that name something outside themselves: a diagram's data names its drawing by
// a relationship of the part that shows the diagram; custom XML properties carry the item id
// that bindings use; a chart names the fonts of its theme.
#include "engine/package/Xml.h"
#include "engine/paste/PasteSession.h"

namespace paperloom::engine {

PartDataPtr PasteSession::rewrittenCopy(const std::string& sourcePart, const std::string& kind) {
    try {
        return rewrite(sourcePart, kind);
    } catch (const PackageError&) {
        return nullptr; // a part we cannot read is copied as it is, as any other part
    }
}

PartDataPtr PasteSession::rewrite(const std::string& sourcePart, const std::string& kind) {
    if (kind == "customXmlProps") {
        const auto it = m_propsItemIds.find(sourcePart);
        if (it == m_propsItemIds.end()) {
            return nullptr;
        }
        auto doc = parseXml(source.text(sourcePart), sourcePart);
        for (auto attr = doc.document_element().first_attribute(); attr;
             attr = attr.next_attribute()) {
            if (localName(attr.name()) == "itemID") {
                attr.set_value(it->second.c_str());
            }
        }
        return PartData::fromText(serializeDocument(doc));
    }
    if (kind == "chart") {
        return rewriteChartFonts(sourcePart);
    }
    if (kind == "diagramData") {
        // The data names its drawing by a relationship of the part that shows the diagram.
        const auto owner = m_diagramOwners.find(sourcePart);
        if (owner == m_diagramOwners.end()) {
            return nullptr;
        }
        auto doc = parseXml(source.text(sourcePart), sourcePart);
        bool changed = false;
        forEachElement(doc.document_element(), [&](pugi::xml_node element) {
            if (localName(element.name()) == "dataModelExt") {
                if (auto relId = element.attribute("relId"); relId && *relId.value() != '\0') {
                    relId.set_value(mapRelationship(owner->second.sourcePart, relId.value(),
                                                    owner->second.targetPart)
                                        .c_str());
                    changed = true;
                }
            }
            return true;
        });
        return changed ? PartData::fromText(serializeDocument(doc)) : nullptr;
    }
    return nullptr;
}

} // namespace paperloom::engine
