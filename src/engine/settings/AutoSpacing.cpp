// Automatic paragraph spacing (w:beforeAutospacing, w:afterAutospacing), kept as the document
// it comes from lays it out.
#include "engine/settings/AutoSpacing.h"

#include "engine/model/DocumentModel.h"
#include "engine/model/StyleIndex.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/paste/PastedDocument.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace paperloom::engine {
namespace {

/// 5 pt in twips: what the fixed kind gives automatic spacing before and after.
constexpr const char* kFixedSpacing = "100";
constexpr long long kFixedSpacingTwips = 100;

struct Side {
    const char* value;     // w:before, w:after
    const char* automatic; // w:beforeAutospacing, w:afterAutospacing
};
constexpr Side kSides[] = {{"w:before", "w:beforeAutospacing"}, {"w:after", "w:afterAutospacing"}};

/// Whether automatic spacing applies on one side of the paragraph or style that owns spacing
/// (its w:pPr/w:spacing, possibly empty), looking along its style chain and the defaults.
bool automaticOn(const pugi::xml_node& owner, const pugi::xml_node& spacing, const Side& side,
                 const StyleIndex& styles, const pugi::xml_node& defaults) {
    if (const auto own = spacing.attribute(side.automatic)) {
        return isOnValue(own);
    }
    std::string style;
    if (std::strcmp(owner.name(), "w:p") == 0) {
        style = owner.child("w:pPr").child("w:pStyle").attribute("w:val").value();
        if (style.empty()) {
            style = styles.defaultParagraph();
        }
    } else if (std::strcmp(owner.name(), "w:style") == 0 &&
               std::strcmp(owner.attribute("w:type").value(), "paragraph") == 0) {
        style = owner.child("w:basedOn").attribute("w:val").value();
    } else {
        return false; // defaults, list levels, table style conditions: only what they say
    }
    if (const auto inherited = styles.attribute(style, "w:pPr", "w:spacing", side.automatic)) {
        return isOnValue(inherited);
    }
    return isOnValue(defaults.child("w:spacing").attribute(side.automatic));
}

void setAttribute(pugi::xml_node element, const char* name, const char* value) {
    auto attr = element.attribute(name);
    if (!attr) {
        attr = element.append_attribute(name);
    }
    attr.set_value(value);
}

/// The spacing of a paragraph on both sides, as its own properties, its style chain and the
/// defaults give it.
struct ResolvedSpacing {
    long long before = 0;
    long long after = 0;
    bool inLines = false;    // w:beforeLines or w:afterLines: measured in lines, left alone
    bool contextual = false; // w:contextualSpacing: none between paragraphs of its style
    std::string style;
};

ResolvedSpacing resolveSpacing(const pugi::xml_node& paragraph, const StyleIndex& styles,
                               const pugi::xml_node& defaults) {
    ResolvedSpacing out;
    const auto pPr = paragraph.child("w:pPr");
    out.style = pPr.child("w:pStyle").attribute("w:val").value();
    if (out.style.empty()) {
        out.style = styles.defaultParagraph();
    }
    auto attribute = [&](const char* name) {
        if (const auto own = pPr.child("w:spacing").attribute(name)) {
            return own;
        }
        if (const auto inherited = styles.attribute(out.style, "w:pPr", "w:spacing", name)) {
            return inherited;
        }
        return defaults.child("w:spacing").attribute(name);
    };
    for (const auto& side : kSides) {
        const long long value = isOnValue(attribute(side.automatic))
                                    ? kFixedSpacingTwips
                                    : attribute(side.value).as_llong(0);
        (&side == &kSides[0] ? out.before : out.after) = value;
    }
    out.inLines = attribute("w:beforeLines") || attribute("w:afterLines");
    auto contextual = pPr.child("w:contextualSpacing");
    if (!contextual) {
        contextual = styles.property(out.style, "w:pPr", "w:contextualSpacing");
    }
    if (!contextual) {
        contextual = defaults.child("w:contextualSpacing");
    }
    out.contextual = isOnFlag(contextual);
    return out;
}

/// Block-level elements that stand between two paragraphs; anything else (bookmarks, comment
/// ranges, proofing marks) leaves them next to each other.
bool separatesParagraphs(std::string_view name) {
    return name == "w:tbl" || name == "w:sdt" || name == "w:customXml" || name == "w:altChunk";
}

} // namespace

bool usesFixedAutoSpacing(const pugi::xml_node& settingsRoot) {
    return isOnFlag(settingsRoot.child("w:compat").child("w:doNotUseHTMLParagraphAutoSpacing"));
}

bool stateFixedAutoSpacing(pugi::xml_node partRoot, const StyleIndex& styles,
                           const pugi::xml_node& defaults) {
    // Decide everything first: in the styles part, a style's answer depends on its base as it
    // was, not as it is being rewritten.
    std::vector<std::pair<pugi::xml_node, const Side*>> fixed;
    forEachElement(partRoot, [&](pugi::xml_node spacing) {
        if (std::strcmp(spacing.name(), "w:spacing") != 0 ||
            std::strcmp(spacing.parent().name(), "w:pPr") != 0) {
            return true;
        }
        const auto owner = spacing.parent().parent();
        for (const auto& side : kSides) {
            // Spacing that states neither the value nor the switch inherits the rewritten one.
            if ((spacing.attribute(side.value) || spacing.attribute(side.automatic)) &&
                automaticOn(owner, spacing, side, styles, defaults)) {
                fixed.emplace_back(spacing, &side);
            }
        }
        return false;
    });
    for (const auto& [spacing, side] : fixed) {
        setAttribute(spacing, side->value, kFixedSpacing);
        setAttribute(spacing, side->automatic, "0");
    }
    return !fixed.empty();
}

bool stateAddedParagraphSpacing(pugi::xml_node partRoot, const StyleIndex& styles,
                                const pugi::xml_node& defaults) {
    // The gaps are decided first: a paragraph's new space after must not count in the gap
    // below the next one.
    std::vector<std::pair<pugi::xml_node, long long>> widened;
    forEachElement(partRoot, [&](pugi::xml_node container) {
        pugi::xml_node previous;
        ResolvedSpacing previousSpacing;
        for (auto child : container.children()) {
            const std::string_view name = child.name();
            if (name != "w:p") {
                if (separatesParagraphs(name)) {
                    previous = {};
                }
                continue;
            }
            const auto spacing = resolveSpacing(child, styles, defaults);
            if (previous && previousSpacing.after > 0 && spacing.before > 0 &&
                !previousSpacing.inLines && !spacing.inLines &&
                !((previousSpacing.contextual || spacing.contextual) &&
                  previousSpacing.style == spacing.style)) {
                widened.emplace_back(previous, previousSpacing.after + spacing.before);
            }
            previous = child;
            previousSpacing = spacing;
        }
        return true;
    });
    for (const auto& [paragraph, after] : widened) {
        auto spacing =
            orderedChild(childOrPrepend(paragraph, "w:pPr"), "w:spacing", kParagraphPropertyOrder);
        setAttribute(spacing, "w:after", std::to_string(after).c_str());
        setAttribute(spacing, "w:afterAutospacing", "0");
    }
    return !widened.empty();
}

void keepAutoSpacingAtDocumentStart(PastedDocument& pasted, DocumentModel& target,
                                    pugi::xml_node body) {
    if (target.body.isEmpty()) {
        return;
    }
    // The first paragraph, looking through content controls and custom XML but not into a
    // table: a cell's first paragraph has no automatic spacing before it anyway.
    pugi::xml_node first;
    for (auto node = body.first_child(); node && !first;) {
        const std::string_view name = node.name();
        if (name == "w:p") {
            first = node;
        } else if (name == "w:tbl") {
            return;
        } else if ((name == "w:sdt" && node.child("w:sdtContent").first_child()) ||
                   (name == "w:customXml" && node.first_child())) {
            node = name == "w:sdt" ? node.child("w:sdtContent").first_child() : node.first_child();
            continue;
        }
        node = node.next_sibling();
    }
    if (!first) {
        return;
    }
    const auto stylesRoot = pasted.styles().document_element();
    const StyleIndex styles(stylesRoot);
    const auto defaults = stylesRoot.child("w:docDefaults").child("w:pPrDefault").child("w:pPr");
    const auto spacing = first.child("w:pPr").child("w:spacing");
    if (!automaticOn(first, spacing, kSides[0], styles, defaults)) {
        return;
    }
    auto own = orderedChild(childOrPrepend(first, "w:pPr"), "w:spacing", kParagraphPropertyOrder);
    setAttribute(own, "w:before", "0");
    setAttribute(own, "w:beforeAutospacing", "0");
}

} // namespace paperloom::engine
