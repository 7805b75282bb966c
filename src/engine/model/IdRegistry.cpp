// Ids a document keeps unique: found when it is loaded, claimed by pastes, given back when a
// paste is undone.
#include "engine/model/IdRegistry.h"

#include "engine/model/DocumentModel.h"
#include "engine/model/StackingOrder.h"
#include "engine/package/Xml.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace paperloom::engine {

std::uint32_t parseHexId(const char* text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 16);
    return end != nullptr && *end == '\0' && value < 0x80000000ul
               ? static_cast<std::uint32_t>(value)
               : 0;
}

std::uint32_t IdRegistry::claimHex(ClaimSet<std::uint32_t>& used, std::uint32_t wanted) {
    if (wanted > 0 && wanted < 0x80000000u && used.claim(wanted)) {
        return wanted;
    }
    for (;;) {
        const std::uint32_t candidate = nextHexId;
        nextHexId = nextHexId >= 0x7FFFFFFEu ? 1 : nextHexId + 1;
        if (used.claim(candidate)) {
            return candidate;
        }
    }
}

void IdRegistry::scan(const pugi::xml_node& node) {
    forEachElement(node, [this](pugi::xml_node element) {
        const auto name = localName(element.name());
        if (name == "docPr") {
            maxDrawingId = std::max(maxDrawingId, element.attribute("id").as_uint());
        } else if (annotationElementNames().count(name) != 0) {
            maxAnnotationId =
                std::max<std::int64_t>(maxAnnotationId, element.attribute("w:id").as_llong());
            if (name == "bookmarkStart") {
                bookmarkNames.claim(element.attribute("w:name").value());
            }
        }
        if (name == "id" && std::strcmp(element.parent().name(), "w:sdtPr") == 0) {
            contentControlIds.claim(element.attribute("w:val").as_llong());
        } else if (prefixOf(element.name()) == "v" && name == "shapetype") {
            shapeTypes.claim(element.attribute("id").value());
        } else if (prefixOf(element.name()) == "v") {
            if (const std::string_view type = element.attribute("type").value();
                !type.empty() && type.front() == '#') {
                shapeTypes.claim(std::string(type.substr(1)));
            }
            if (const auto id = element.attribute("id")) {
                shapeIds.claim(id.value());
            }
            if (const auto spid = element.attribute("o:spid")) {
                shapeSpids.claim(spid.value());
            }
        }
        if (const auto position = stackingPosition(element)) {
            maxStacking = std::max(maxStacking, *position);
        }
        if (const auto para = element.attribute("w14:paraId")) {
            paraIds.claim(parseHexId(para.value()));
        }
        if (const auto text = element.attribute("w14:textId")) {
            textIds.claim(parseHexId(text.value()));
        }
        return true;
    });
}

void IdRegistry::mark() {
    m_marked = {maxDrawingId, maxAnnotationId, nextHexId, maxStacking};
    for (auto* set : {&paraIds, &textIds}) {
        set->mark();
    }
    for (auto* set : {&bookmarkNames, &shapeIds, &shapeSpids, &shapeTypes}) {
        set->mark();
    }
    contentControlIds.mark();
}

void IdRegistry::keep() {
    for (auto* set : {&paraIds, &textIds}) {
        set->keep();
    }
    for (auto* set : {&bookmarkNames, &shapeIds, &shapeSpids, &shapeTypes}) {
        set->keep();
    }
    contentControlIds.keep();
}

void IdRegistry::rollBack() {
    maxDrawingId = m_marked.maxDrawingId;
    maxAnnotationId = m_marked.maxAnnotationId;
    nextHexId = m_marked.nextHexId;
    maxStacking = m_marked.maxStacking;
    for (auto* set : {&paraIds, &textIds}) {
        set->giveBack();
    }
    for (auto* set : {&bookmarkNames, &shapeIds, &shapeSpids, &shapeTypes}) {
        set->giveBack();
    }
    contentControlIds.giveBack();
}

} // namespace paperloom::engine
