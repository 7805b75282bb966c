// The content walk of a paste: every reference, id and name in pasted content, rewritten for
// the part it lands in.
#include "engine/paste/PasteRemap.h"

#include "engine/mergers/CommentMerge.h"
#include "engine/mergers/CustomXmlMerge.h"
#include "engine/mergers/FontMerge.h"
#include "engine/mergers/NoteMerge.h"
#include "engine/mergers/NumberingMerge.h"
#include "engine/mergers/PartMerge.h"
#include "engine/mergers/PastedIds.h"
#include "engine/mergers/StyleMerge.h"
#include "engine/model/DocumentModel.h"
#include "engine/package/PrefixScope.h"
#include "engine/package/Xml.h"

#include <cstring>
#include <set>
#include <sstream>
#include <vector>

namespace paperloom::engine {

void PasteRemap::remap(pugi::xml_node node, const pugi::xml_node& sourceRoot,
                       const std::string& sourcePart, const std::string& targetPart) {
    StyleMerger& styles = m_mergers.styles;
    PastedIds& ids = m_mergers.ids;
    const FontMerger& fonts = m_mergers.fonts;
    PrefixScope scope(sourceRoot);
    std::vector<pugi::xml_node> dropped; // removed once the walk is past them
    forEachElement(node, [&](pugi::xml_node element) {
        scope.enter(element);
        const auto office = scope.office();
        for (auto attr = element.first_attribute(); attr; attr = attr.next_attribute()) {
            const char* name = attr.name();
            const auto prefix = prefixOf(name);
            if (scope.isRelationship(prefix) ||
                (!office.empty() && prefix == office && localName(name) == "relid")) {
                attr.set_value(
                    m_mergers.parts.mapRelationship(sourcePart, attr.value(), targetPart).c_str());
            } else if (std::strcmp(name, "w14:paraId") == 0) {
                attr.set_value(ids.paraId(attr.value()).c_str());
            } else if (std::strcmp(name, "w14:textId") == 0) {
                attr.set_value(ids.textId(attr.value()).c_str());
            }
        }
        const char* name = element.name();
        const auto local = localName(name);
        if (const auto vml = scope.vml(); !vml.empty() && prefixOf(name) == vml) {
            ids.remapShapeIds(element, local, office);
            ids.restack(element);
            return true;
        }
        if (local == "OLEObject" || local == "dataBinding") {
            if (local == "OLEObject") {
                ids.remapShapeIds(element, local, office);
            } else if (!m_mergers.customXml.rebind(element)) {
                dropped.push_back(element);
            }
            return true;
        }
        if (local == "anchor") {
            ids.restack(element);
        }
        if (local == "docPr") {
            auto id = element.attribute("id");
            if (id) {
                id.set_value(ids.drawingId());
            }
            return true;
        }
        if (local == "schemeClr") {
            // Shapes and pictures drawn in the pasted theme's colours keep them.
            if (fonts.resolvesColors()) {
                stateSchemeColor(element, fonts.sourceFonts());
            }
            return true;
        }
        if (prefixOf(name) != "w") {
            if (local == "style" && fonts.resolvesShapeStyles()) {
                fonts.resolveShapeStyle(element);
            }
            return true;
        }
        auto val = element.attribute("w:val");
        if (local == "pStyle" || local == "rStyle" || local == "tblStyle") {
            if (const std::string* renamed = styles.renamed(val.value())) {
                val.set_value(renamed->c_str());
            } else if (!styles.targetDefines(val.value())) {
                // Names a style neither document defines: readers give such text the default
                // style, which is what it gets without the reference.
                dropped.push_back(element);
                return false;
            }
        } else if (local == "numStyleLink" || local == "styleLink") {
            const std::string* renamed = styles.renamed(val.value());
            if (val && renamed != nullptr) {
                val.set_value(renamed->c_str());
            }
        } else if (local == "numId" && val) {
            val.set_value(m_mergers.numbering.numId(val.value()).c_str());
        } else if (local == "p" && !styles.defaultParagraphStyle().empty() &&
                   !element.child("w:pPr").child("w:pStyle")) {
            auto pPr = childOrPrepend(element, "w:pPr");
            pPr.prepend_child("w:pStyle").append_attribute("w:val") =
                styles.defaultParagraphStyle().c_str();
        } else if (local == "tblPr" && !styles.defaultTableStyle().empty() &&
                   !element.child("w:tblStyle") &&
                   std::strcmp(element.parent().name(), "w:tbl") == 0) {
            element.prepend_child("w:tblStyle").append_attribute("w:val") =
                styles.defaultTableStyle().c_str();
        } else if (local == "rFonts" && fonts.resolvesFonts()) {
            fonts.resolveFonts(element);
        } else if (fonts.resolvesColors() && (local == "color" || local == "shd" || local == "u")) {
            fonts.resolveColors(element);
        } else if (local == "footnoteReference" || local == "endnoteReference") {
            auto id = element.attribute("w:id");
            const std::string* renamed =
                m_mergers.notes.renamed(local == "endnoteReference", id.value());
            if (renamed == nullptr) {
                // A note the source lacks: a reference kept would name another document's note,
                // or none.
                dropped.push_back(element);
                return false;
            }
            id.set_value(renamed->c_str());
        } else if (local == "fldChar") {
            ids.fieldChar(element);
        } else if (local == "id" && std::strcmp(element.parent().name(), "w:sdtPr") == 0) {
            ids.remapContentControlId(element);
        } else if (local == "control") {
            ids.remapShapeIds(element, local, office);
        } else if (local == "instrText") {
            ids.renameFieldTargets(element, false);
        } else if (local == "fldSimple") {
            ids.renameFieldTargets(element, true);
        } else if (local == "hyperlink") {
            auto anchor = element.attribute("w:anchor");
            if (anchor) {
                if (const std::string* renamed = ids.renamedBookmark(anchor.value())) {
                    anchor.set_value(renamed->c_str());
                }
            }
        } else if (local == "permStart" || local == "permEnd") {
            auto id = element.attribute("w:id");
            if (id) {
                id.set_value(ids.annotationId("perm", id.value()));
            }
        } else if (annotationElementNames().count(local) != 0) {
            auto id = element.attribute("w:id");
            std::string kind;
            if (local == "bookmarkStart" || local == "bookmarkEnd") {
                kind = "bm";
            } else if (local.rfind("comment", 0) == 0) {
                kind = "cm";
            } else if (local.size() > 10 && local.find("Range") != std::string_view::npos) {
                kind = std::string(local.substr(0, local.find("Range")));
            }
            if (local == "bookmarkStart") {
                auto bookmark = element.attribute("w:name");
                if (bookmark) {
                    bookmark.set_value(ids.startBookmark(bookmark.value()).c_str());
                }
            }
            if (kind == "cm" && id) {
                const std::string commentId = m_mergers.comments.commentKey(local, id.value());
                if (commentId.empty()) {
                    dropped.push_back(element); // marks a comment the source does not have
                    return false;
                }
                id.set_value(ids.annotationId(kind, commentId));
            } else if (id) {
                id.set_value(kind.empty() ? ids.freshAnnotationId()
                                          : ids.annotationId(kind, id.value()));
            }
        }
        return true;
    });
    for (auto element : dropped) {
        element.parent().remove_child(element);
    }
}

void declareMissingNamespaces(
    pugi::xml_node element, const pugi::xml_node& sourceRoot,
    const std::vector<std::pair<std::string, std::string>>& targetNamespaces) {
    // Only prefixes the element actually uses need a declaration of their own.
    std::set<std::string, std::less<>> used;
    forEachElement(element, [&](pugi::xml_node inner) {
        used.emplace(prefixOf(inner.name()));
        for (auto attr = inner.first_attribute(); attr; attr = attr.next_attribute()) {
            used.emplace(prefixOf(attr.name()));
            if (std::strcmp(attr.name(), "Requires") == 0) {
                // An alternative's required prefixes must be declared where it is read.
                std::istringstream required(attr.value());
                for (std::string prefix; required >> prefix;) {
                    used.insert(prefix);
                }
            }
        }
        return true;
    });
    auto boundInTarget = [&](std::string_view prefix, std::string_view uri) {
        for (const auto& [p, u] : targetNamespaces) {
            if (p == prefix && (uri.empty() || u == uri)) {
                return true;
            }
        }
        return false;
    };
    for (auto attr = sourceRoot.first_attribute(); attr; attr = attr.next_attribute()) {
        const std::string_view name = attr.name();
        if (name.rfind("xmlns:", 0) != 0) {
            continue;
        }
        const auto prefix = name.substr(6);
        if (used.count(prefix) != 0 && !boundInTarget(prefix, attr.value()) &&
            !element.attribute(attr.name())) {
            element.append_attribute(attr.name()) = attr.value();
        }
    }
    const auto sourceIgnorable = sourceRoot.attribute("mc:Ignorable");
    if (sourceIgnorable && !element.attribute("mc:Ignorable")) {
        std::istringstream words(sourceIgnorable.value());
        std::string prefix;
        std::string ignorable;
        while (words >> prefix) {
            if (used.count(prefix) != 0 && !boundInTarget(prefix, {})) {
                ignorable += (ignorable.empty() ? "" : " ") + prefix;
            }
        }
        if (!ignorable.empty()) {
            if (!boundInTarget("mc", {}) && !element.attribute("xmlns:mc")) {
                element.append_attribute("xmlns:mc") =
                    "http://schemas.openxmlformats.org/markup-compatibility/2006";
            }
            element.append_attribute("mc:Ignorable") = ignorable.c_str();
        }
    }
}

} // namespace paperloom::engine
