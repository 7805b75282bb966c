// Copied parts that name something outside themselves: a diagram's data names its drawing by
// a relationship of the part that shows the diagram; custom XML properties carry the item id
// that bindings use; drawings name the colours of their theme. (A chart naming the fonts of its
// theme: ChartFonts.cpp.)
#include "engine/paste/PartRewrite.h"

#include "engine/mergers/FontMerge.h"
#include "engine/package/Xml.h"

namespace paperloom::engine {

PartDataPtr withItemId(const Package& source, const std::string& propsPart,
                       const std::string& itemId) {
    auto doc = parseXml(source.text(propsPart), propsPart);
    for (auto attr = doc.document_element().first_attribute(); attr; attr = attr.next_attribute()) {
        if (localName(attr.name()) == "itemID") {
            attr.set_value(itemId.c_str());
        }
    }
    return PartData::fromText(serializeDocument(doc));
}

PartDataPtr
withDrawingRenamed(const Package& source, const std::string& dataPart,
                   const std::function<std::string(const std::string&)>& mapRelationship) {
    auto doc = parseXml(source.text(dataPart), dataPart);
    bool changed = false;
    forEachElement(doc.document_element(), [&](pugi::xml_node element) {
        if (localName(element.name()) == "dataModelExt") {
            if (auto relId = element.attribute("relId"); relId && *relId.value() != '\0') {
                relId.set_value(mapRelationship(relId.value()).c_str());
                changed = true;
            }
        }
        return true;
    });
    return changed ? PartData::fromText(serializeDocument(doc)) : nullptr;
}

PartDataPtr withSchemeColorsStated(const Package& source, const std::string& part,
                                   const ThemeFonts& theme) {
    auto doc = parseXml(source.text(part), part);
    bool changed = false;
    forEachElement(doc.document_element(), [&](pugi::xml_node element) {
        if (localName(element.name()) == "schemeClr") {
            changed = stateSchemeColor(element, theme) || changed;
        }
        return true;
    });
    return changed ? PartData::fromText(serializeDocument(doc)) : nullptr;
}

} // namespace paperloom::engine
