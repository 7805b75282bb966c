// Tabs of a pasted document whose default tab interval is not the joined document's, kept where
// its own interval puts them.
#include "engine/settings/DefaultTabStops.h"

#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <vector>

namespace paperloom::engine {
namespace {

/// What readers take where a document states no interval, page or margin.
constexpr long kDefaultInterval = 720;
constexpr long kDefaultPageWidth = 12240;
constexpr long kDefaultMargin = 1440;
constexpr long kDefaultColumnSpace = 720;
/// Readers keep no more stops than this in one paragraph.
constexpr std::size_t kMaxStopsPerParagraph = 64;
/// Stops added to one document at most: about 40 bytes of XML each, so a document of nothing
/// but tabs in short paragraphs cannot grow without bound.
constexpr std::size_t kMaxAddedStops = 500000;

bool is(const pugi::xml_node& node, const char* name) {
    return std::strcmp(node.name(), name) == 0;
}

bool isOnElement(const pugi::xml_node& flag) {
    const std::string_view value = flag.attribute("w:val").value();
    return !flag.attribute("w:val") || value == "1" || value == "true" || value == "on";
}

/// The left (start) indent a w:pPr states, if it states one.
std::optional<long> leftIndentOf(const pugi::xml_node& pPr) {
    const auto ind = pPr.child("w:ind");
    if (const auto left = ind.attribute("w:left")) {
        return left.as_llong();
    }
    if (const auto start = ind.attribute("w:start")) {
        return start.as_llong();
    }
    return std::nullopt;
}

/// Applies a w:tabs to the stop positions inherited so far: stops add, clears remove. Bar
/// tabs draw a line and stop nothing.
void applyStops(std::set<long>& stops, const pugi::xml_node& tabs) {
    for (const auto tab : tabs.children("w:tab")) {
        const auto pos = tab.attribute("w:pos");
        const std::string_view kind = tab.attribute("w:val").value();
        if (!pos || kind == "bar") {
            continue;
        }
        if (kind == "clear") {
            stops.erase(static_cast<long>(pos.as_llong()));
        } else {
            stops.insert(static_cast<long>(pos.as_llong()));
        }
    }
}

long sectionTextWidth(const pugi::xml_node& sectPr) {
    const long page = sectPr.child("w:pgSz").attribute("w:w").as_llong(kDefaultPageWidth);
    const auto margins = sectPr.child("w:pgMar");
    const long text = page - margins.attribute("w:left").as_llong(kDefaultMargin) -
                      margins.attribute("w:right").as_llong(kDefaultMargin) -
                      margins.attribute("w:gutter").as_llong(0);
    const auto cols = sectPr.child("w:cols");
    const std::string_view equal = cols.attribute("w:equalWidth").value();
    long width = text;
    if (cols.child("w:col") && (equal == "0" || equal == "false" || equal == "off")) {
        for (const auto col : cols.children("w:col")) {
            width = std::min<long>(width, col.attribute("w:w").as_llong(text));
        }
    } else if (const long count = cols.attribute("w:num").as_llong(1); count > 1) {
        const long space = cols.attribute("w:space").as_llong(kDefaultColumnSpace);
        width = (text - space * (count - 1)) / count;
    }
    return std::max<long>(width, 0);
}

/// Section properties in a main part, in document order, without the earlier forms that
/// tracked changes keep.
void forEachSection(pugi::xml_node documentRoot, const std::function<void(pugi::xml_node)>& f) {
    forEachElement(documentRoot, [&](pugi::xml_node node) {
        if (is(node, "w:sectPrChange") || is(node, "w:pPrChange")) {
            return false;
        }
        if (is(node, "w:sectPr")) {
            f(node);
            return false;
        }
        return true;
    });
}

/// The paragraph a run's tab character belongs to (a text box's paragraph, not the one that
/// holds the text box).
pugi::xml_node paragraphOf(pugi::xml_node tab) {
    auto node = tab.parent();
    while (node && !is(node, "w:p")) {
        node = node.parent();
    }
    return node;
}

bool isTabCharacter(const pugi::xml_node& node) {
    return is(node, "w:tab") && is(node.parent(), "w:r");
}

} // namespace

long defaultTabInterval(const pugi::xml_node& settingsRoot) {
    const long interval = settingsRoot.child("w:defaultTabStop").attribute("w:val").as_llong(0);
    return interval > 0 ? interval : kDefaultInterval;
}

bool mayHoldTabCharacters(std::string_view xml) {
    for (auto at = xml.find("tab"); at != std::string_view::npos; at = xml.find("tab", at + 3)) {
        if (at == 0 || (xml[at - 1] != ':' && xml[at - 1] != '<')) {
            continue;
        }
        auto next = at + 3;
        while (next < xml.size() &&
               (xml[next] == ' ' || xml[next] == '\t' || xml[next] == '\n' || xml[next] == '\r')) {
            ++next;
        }
        if (next < xml.size() && (xml[next] == '/' || xml[next] == '>')) {
            return true;
        }
    }
    return false;
}

SectionWidths sectionWidths(const pugi::xml_node& documentRoot) {
    SectionWidths out;
    std::optional<long> narrowest;
    forEachSection(documentRoot, [&](pugi::xml_node sectPr) {
        const long width = sectionTextWidth(sectPr);
        narrowest = std::min(narrowest.value_or(width), width);
        for (const auto child : sectPr.children()) {
            if (!is(child, "w:headerReference") && !is(child, "w:footerReference")) {
                continue;
            }
            const std::string id = child.attribute("r:id").value();
            const auto [it, added] = out.byReference.emplace(id, width);
            if (!added) {
                it->second = std::min(it->second, width);
            }
        }
    });
    out.narrowest = narrowest.value_or(sectionTextWidth({}));
    return out;
}

DefaultTabStops::DefaultTabStops(const pugi::xml_node& stylesRoot,
                                 const pugi::xml_node& numberingRoot, long interval)
    : m_styles(stylesRoot),
      m_defaults(stylesRoot.child("w:docDefaults").child("w:pPrDefault").child("w:pPr")),
      m_interval(interval), m_budget(kMaxAddedStops) {
    for (const auto abstract : numberingRoot.children("w:abstractNum")) {
        m_abstractById.emplace(abstract.attribute("w:abstractNumId").value(), abstract);
    }
    for (const auto num : numberingRoot.children("w:num")) {
        m_numById.emplace(num.attribute("w:numId").value(), num);
    }
}

pugi::xml_node DefaultTabStops::listLevel(const pugi::xml_node& pPr,
                                          const std::vector<pugi::xml_node>& chain) const {
    std::string numId = pPr.child("w:numPr").child("w:numId").attribute("w:val").value();
    std::string level = pPr.child("w:numPr").child("w:ilvl").attribute("w:val").value();
    std::string numberedStyle; // the style that numbers the paragraph, when one does
    for (const auto& style : chain) {
        const auto numPr = style.child("w:pPr").child("w:numPr");
        if (numId.empty() && numPr.child("w:numId")) {
            numId = numPr.child("w:numId").attribute("w:val").value();
            numberedStyle = style.attribute("w:styleId").value();
        }
        if (level.empty() && numPr.child("w:ilvl")) {
            level = numPr.child("w:ilvl").attribute("w:val").value();
        }
    }
    // A list that names its definition through a numbering style (w:numStyleLink) is followed
    // once to the list that style numbers with.
    for (int hop = 0; hop < 2 && !numId.empty() && numId != "0"; ++hop) {
        const auto num = m_numById.find(numId);
        if (num == m_numById.end()) {
            return {};
        }
        const std::string wanted = level.empty() ? "0" : level;
        for (const auto overridden : num->second.children("w:lvlOverride")) {
            if (wanted == overridden.attribute("w:ilvl").value() && overridden.child("w:lvl")) {
                return overridden.child("w:lvl").child("w:pPr");
            }
        }
        const auto abstract =
            m_abstractById.find(num->second.child("w:abstractNumId").attribute("w:val").value());
        if (abstract == m_abstractById.end()) {
            return {};
        }
        for (const auto lvl : abstract->second.children("w:lvl")) {
            // A style numbered without a level takes the level that names the style.
            const bool linked = level.empty() && !numberedStyle.empty() &&
                                numberedStyle == lvl.child("w:pStyle").attribute("w:val").value();
            if (linked || wanted == lvl.attribute("w:ilvl").value()) {
                return lvl.child("w:pPr");
            }
        }
        const std::string link =
            abstract->second.child("w:numStyleLink").attribute("w:val").value();
        numId =
            m_styles.property(link, "w:pPr", "w:numPr").child("w:numId").attribute("w:val").value();
        numberedStyle.clear();
    }
    return {};
}

bool DefaultTabStops::stateInParagraph(pugi::xml_node paragraph, long textWidth) {
    const auto pPr = paragraph.child("w:pPr");
    std::string styleId = pPr.child("w:pStyle").attribute("w:val").value();
    if (styleId.empty()) {
        styleId = m_styles.defaultParagraph();
    }
    auto chain = m_styles.chain(styleId);
    if (chain.empty()) {
        chain = m_styles.chain(m_styles.defaultParagraph()); // a style it names but lacks
    }

    // Stops of right-to-left paragraphs count from the right margin.
    pugi::xml_node bidi = pPr.child("w:bidi");
    for (auto style = chain.begin(); !bidi && style != chain.end(); ++style) {
        bidi = style->child("w:pPr").child("w:bidi");
    }
    if (!bidi) {
        bidi = m_defaults.child("w:bidi");
    }
    if (bidi && isOnElement(bidi)) {
        return false;
    }

    // Stops and left indent in the order they override each other: defaults, styles from the
    // base down, list level, the paragraph's own.
    std::set<long> stops;
    applyStops(stops, m_defaults.child("w:tabs"));
    std::optional<long> styleIndent;
    for (auto style = chain.rbegin(); style != chain.rend(); ++style) {
        const auto stylePPr = style->child("w:pPr");
        applyStops(stops, stylePPr.child("w:tabs"));
        if (const auto indent = leftIndentOf(stylePPr)) {
            styleIndent = indent;
        }
    }
    const auto level = listLevel(pPr, chain);
    applyStops(stops, level.child("w:tabs"));
    applyStops(stops, pPr.child("w:tabs"));
    // Where the list level and a style both indent, the larger counts: no stop may come
    // between a number and the indent its tab goes to.
    std::optional<long> left = leftIndentOf(pPr);
    if (!left) {
        const auto levelIndent = leftIndentOf(level);
        left = levelIndent && styleIndent ? std::max(*levelIndent, *styleIndent)
               : levelIndent              ? levelIndent
                                          : styleIndent;
    }
    const long start = std::max(left.value_or(leftIndentOf(m_defaults).value_or(0)),
                                stops.empty() ? 0L : *stops.rbegin());
    if (stops.size() >= kMaxStopsPerParagraph || start >= textWidth) {
        return false;
    }
    std::set<long> ownClears;
    for (const auto tab : pPr.child("w:tabs").children("w:tab")) {
        if (std::strcmp(tab.attribute("w:val").value(), "clear") == 0) {
            ownClears.insert(static_cast<long>(tab.attribute("w:pos").as_llong()));
        }
    }

    std::vector<long> added;
    const std::size_t room = std::min(kMaxStopsPerParagraph - stops.size(), m_budget);
    for (long position = (std::max(start, 0L) / m_interval + 1) * m_interval;
         position <= textWidth && added.size() < room; position += m_interval) {
        if (ownClears.count(position) == 0) {
            added.push_back(position);
        }
    }
    if (added.empty()) {
        return false;
    }
    auto tabs = orderedChild(childOrPrepend(paragraph, "w:pPr"), "w:tabs", kParagraphPropertyOrder);
    for (const long position : added) {
        auto tab = tabs.append_child("w:tab");
        tab.append_attribute("w:val") = "left";
        tab.append_attribute("w:pos") = std::to_string(position).c_str();
    }
    m_budget -= added.size();
    return true;
}

bool DefaultTabStops::stateInBody(pugi::xml_node documentRoot) {
    // Paragraphs in document order, the paragraphs counted before each section's end, and
    // which paragraphs hold a tab.
    std::vector<pugi::xml_node> paragraphs;
    std::unordered_map<const void*, std::size_t> indexOf;
    std::vector<char> holdsTab;
    std::vector<std::pair<std::size_t, long>> sectionEnds;
    forEachElement(documentRoot, [&](pugi::xml_node node) {
        if (is(node, "w:sectPrChange") || is(node, "w:pPrChange")) {
            return false;
        }
        if (is(node, "w:p")) {
            indexOf.emplace(node.internal_object(), paragraphs.size());
            paragraphs.push_back(node);
            holdsTab.push_back(0);
        } else if (is(node, "w:sectPr")) {
            sectionEnds.emplace_back(paragraphs.size(), sectionTextWidth(node));
            return false;
        } else if (isTabCharacter(node)) {
            if (const auto found = indexOf.find(paragraphOf(node).internal_object());
                found != indexOf.end()) {
                holdsTab[found->second] = 1;
            }
        }
        return true;
    });
    long narrowest = sectionTextWidth({});
    for (std::size_t i = 0; i < sectionEnds.size(); ++i) {
        narrowest = i == 0 ? sectionEnds[i].second : std::min(narrowest, sectionEnds[i].second);
    }
    bool changed = false;
    auto section = sectionEnds.begin();
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        while (section != sectionEnds.end() && section->first <= i) {
            ++section;
        }
        if (holdsTab[i]) {
            const long width = section == sectionEnds.end() ? narrowest : section->second;
            changed = stateInParagraph(paragraphs[i], width) || changed;
        }
    }
    return changed;
}

bool DefaultTabStops::stateInPart(pugi::xml_node partRoot, long textWidth) {
    std::vector<pugi::xml_node> holding;
    forEachElement(partRoot, [&](pugi::xml_node node) {
        if (isTabCharacter(node)) {
            const auto paragraph = paragraphOf(node);
            if (paragraph && (holding.empty() || holding.back() != paragraph)) {
                holding.push_back(paragraph);
            }
        }
        return true;
    });
    // A paragraph's tabs may be split by a text box's paragraph: each paragraph once.
    std::sort(holding.begin(), holding.end());
    holding.erase(std::unique(holding.begin(), holding.end()), holding.end());
    bool changed = false;
    for (const auto& paragraph : holding) {
        changed = stateInParagraph(paragraph, textWidth) || changed;
    }
    return changed;
}

} // namespace paperloom::engine
