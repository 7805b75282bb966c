// The page background of a joined document.
#include "engine/settings/PageBackground.h"

#include "engine/model/DocumentModel.h"
#include "engine/package/Xml.h"
#include "engine/paste/PasteRemap.h"
#include "engine/paste/PastedDocument.h"

#include <cstring>
#include <string>

namespace paperloom::engine {
namespace {

/// What a background looks like, apart from the relationship ids that name its picture (which
/// differ between packages for the same picture) and where its prefixes are declared.
std::string lookOf(const pugi::xml_node& background) {
    if (!background) {
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

} // namespace

void mergePageBackground(PastedDocument& pasted, DocumentModel& target, PasteRemap& remap) {
    const auto sourceRoot = pasted.mainDocument().document_element();
    const auto background = sourceRoot.child("w:background");
    Body& body = target.body;
    if (!body.isEmpty()) {
        const std::string current = body.beforeBody();
        if (current.empty()) {
            return;
        }
        const auto parsed = parseXml(current, target.mainPart);
        if (lookOf(parsed.document_element()) != lookOf(background)) {
            body.setBeforeBody({});
        }
        return;
    }
    if (!background) {
        return;
    }
    pugi::xml_document scratch;
    auto copy = scratch.append_copy(background);
    remap.remap(copy, sourceRoot, pasted.mainPart(), target.mainPart);
    declareMissingNamespaces(copy, sourceRoot, body.namespaces());
    body.setBeforeBody(serializeNode(copy));
}

} // namespace paperloom::engine
