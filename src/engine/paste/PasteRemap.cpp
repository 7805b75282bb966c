// The content walk of a paste: every reference, id and name in pasted content, rewritten for
// the part it lands in.
#include "engine/model/IdRegistry.h"
#include "engine/paste/PasteSession.h"

#include "engine/package/Xml.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace paperloom::engine {
namespace {

std::string hex8(std::uint32_t value) {
    char buffer[9];
    std::snprintf(buffer, sizeof buffer, "%08X", value);
    return buffer;
}

} // namespace

void PasteSession::remap(pugi::xml_node node, const pugi::xml_node& sourceRoot,
                         const std::string& sourcePart, const std::string& targetPart) {
    PrefixScope scope(sourceRoot);
    // The shape id step asks for the Office prefix where the walk is.
    struct Current {
        const PrefixScope*& slot;
        const PrefixScope* saved;
        ~Current() { slot = saved; }
    } current{m_scope, m_scope};
    m_scope = &scope;
    std::vector<pugi::xml_node> dropped; // removed once the walk is past them
    forEachElement(node, [&](pugi::xml_node element) {
        scope.enter(element);
        const auto office = scope.office();
        for (auto attr = element.first_attribute(); attr; attr = attr.next_attribute()) {
            const char* name = attr.name();
            const auto prefix = prefixOf(name);
            if (scope.isRelationship(prefix) ||
                (!office.empty() && prefix == office && localName(name) == "relid")) {
                attr.set_value(mapRelationship(sourcePart, attr.value(), targetPart).c_str());
            } else if (std::strcmp(name, "w14:paraId") == 0) {
                attr.set_value(
                    hex8(target.ids.claimHex(target.ids.paraIds, parseHexId(attr.value())))
                        .c_str());
            } else if (std::strcmp(name, "w14:textId") == 0) {
                attr.set_value(
                    hex8(target.ids.claimHex(target.ids.textIds, parseHexId(attr.value())))
                        .c_str());
            }
        }
        const char* name = element.name();
        const auto local = localName(name);
        if (const auto vml = scope.vml(); !vml.empty() && prefixOf(name) == vml) {
            remapShapeIds(element, local);
            return true;
        }
        if (local == "OLEObject" || local == "dataBinding") {
            if (local == "OLEObject") {
                remapShapeIds(element, local);
            } else {
                rebindCustomXml(element);
            }
            return true;
        }
        if (local == "docPr") {
            auto id = element.attribute("id");
            if (id) {
                id.set_value(++target.ids.maxDrawingId);
            }
            return true;
        }
        if (prefixOf(name) != "w") {
            return true;
        }
        auto val = element.attribute("w:val");
        if (local == "pStyle" || local == "rStyle" || local == "tblStyle") {
            const auto it = styleMap.find(val.value());
            if (it != styleMap.end()) {
                val.set_value(it->second.c_str());
            } else if (!targetDefinesStyle(val.value())) {
                // Names a style neither document defines: readers give such text the default
                // style, which is what it gets without the reference.
                dropped.push_back(element);
                return false;
            }
        } else if (local == "numStyleLink" || local == "styleLink") {
            const auto it = styleMap.find(val.value());
            if (val && it != styleMap.end()) {
                val.set_value(it->second.c_str());
            }
        } else if (local == "numId" && val) {
            const auto it = numMap.find(val.value());
            val.set_value(it != numMap.end() ? it->second.c_str() : "0");
        } else if (local == "p" && !defaultParagraphStyle.empty() &&
                   !element.child("w:pPr").child("w:pStyle")) {
            auto pPr = childOrPrepend(element, "w:pPr");
            pPr.prepend_child("w:pStyle").append_attribute("w:val") = defaultParagraphStyle.c_str();
        } else if (local == "tblPr" && !defaultTableStyle.empty() && !element.child("w:tblStyle") &&
                   std::strcmp(element.parent().name(), "w:tbl") == 0) {
            element.prepend_child("w:tblStyle").append_attribute("w:val") =
                defaultTableStyle.c_str();
        } else if (local == "rFonts" && resolveThemeFonts) {
            resolveFonts(element);
        } else if (resolveThemeColors && (local == "color" || local == "shd" || local == "u")) {
            resolveColors(element);
        } else if (local == "footnoteReference" || local == "endnoteReference") {
            auto& map = local == "footnoteReference" ? footnoteIds : endnoteIds;
            auto id = element.attribute("w:id");
            const auto it = map.find(id.value());
            if (it == map.end()) {
                // A note the source lacks: a reference kept would name another document's note,
                // or none.
                dropped.push_back(element);
                return false;
            }
            id.set_value(it->second.c_str());
        } else if (local == "fldChar") {
            m_fieldNameDue = m_fieldNameDue ||
                             std::strcmp(element.attribute("w:fldCharType").value(), "begin") == 0;
        } else if (local == "id" && std::strcmp(element.parent().name(), "w:sdtPr") == 0) {
            remapContentControlId(element);
        } else if (local == "control") {
            remapShapeIds(element, local);
        } else if (local == "instrText") {
            renameFieldTargets(element, false);
        } else if (local == "fldSimple") {
            renameFieldTargets(element, true);
        } else if (local == "hyperlink") {
            auto anchor = element.attribute("w:anchor");
            if (anchor) {
                const auto it = bookmarkNames.find(anchor.value());
                if (it != bookmarkNames.end()) {
                    anchor.set_value(it->second.c_str());
                }
            }
        } else if (local == "permStart" || local == "permEnd") {
            auto id = element.attribute("w:id");
            if (id) {
                id.set_value(annotationId("perm", id.value()));
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
                    // A name the source itself repeats is made unique from its second use on.
                    const std::string original = bookmark.value();
                    const bool repeated = !m_bookmarksSeen.insert(original).second;
                    bookmark.set_value(repeated ? freshBookmarkName(original).c_str()
                                                : renameBookmark(original).c_str());
                }
            }
            if (kind == "cm" && id) {
                const std::string commentId = commentKey(local, id.value());
                if (commentId.empty()) {
                    dropped.push_back(element); // marks a comment the source does not have
                    return false;
                }
                id.set_value(annotationId(kind, commentId));
            } else if (id) {
                id.set_value(kind.empty() ? ++target.ids.maxAnnotationId
                                          : annotationId(kind, id.value()));
            }
        }
        return true;
    });
    for (auto element : dropped) {
        element.parent().remove_child(element);
    }
}

bool PasteSession::targetDefinesStyle(const std::string& id) {
    if (!m_targetStylesIndexed) {
        m_targetStylesIndexed = true;
        if (target.styles) {
            for (auto style : target.styles.doc.document_element().children("w:style")) {
                m_targetStyles.insert(style.attribute("w:styleId").value());
            }
        }
    }
    return m_targetStyles.count(id) != 0;
}

} // namespace paperloom::engine
