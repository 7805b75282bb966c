// What a pasted document's settings and writer mean to readers, stated in its own parts.
#include "engine/settings/StatedSettings.h"

#include "engine/model/StyleIndex.h"
#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/settings/AutoSpacing.h"
#include "engine/settings/BoundProperties.h"
#include "engine/settings/ChartDefaults.h"
#include "engine/settings/DefaultTabStops.h"
#include "engine/settings/GutterPosition.h"
#include "engine/settings/LineGrid.h"
#include "engine/settings/PageBackground.h"
#include "engine/settings/PageBreakMarks.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace paperloom::engine {
namespace {

constexpr const char* kChartType =
    "application/vnd.openxmlformats-officedocument.drawingml.chart+xml";

/// Kinds of parts related to the main part that hold paragraphs or their properties.
constexpr const char* kParagraphParts[] = {"header",   "footer",   "footnotes",
                                           "endnotes", "comments", "numbering"};

/// The parts of the main part's relationships of one kind (there may be several headers).
std::vector<std::string> partsOfKind(const Package& package, const Relationships& rels,
                                     const std::string& mainPart, std::string_view kind) {
    std::vector<std::string> out;
    for (const auto& rel : rels.all()) {
        const auto slash = rel.type.rfind('/');
        if (rel.external || std::string_view(rel.type).substr(slash + 1) != kind) {
            continue;
        }
        try {
            const std::string name = resolvePartName(mainPart, rel.target);
            if (package.contains(name)) {
                out.push_back(name);
            }
        } catch (const PackageError&) {
            // a target outside the package names no part of it
        }
    }
    return out;
}

/// Parses a part, or gives an empty document when it does not parse.
pugi::xml_document parsedOrEmpty(const Package& package, const std::string& name) {
    try {
        return parseXml(package.text(name), name);
    } catch (const PackageError&) {
        return {};
    }
}

void replace(Package& out, const std::string& name, const pugi::xml_document& doc) {
    out.parts[name] = PartData::fromText(serializeDocument(doc));
}

/// Styles linked to their template take the template's paragraph spacing (10 pt after, lines
/// of 1.15) where the document defaults state none: readers lay such documents out so.
bool stateLinkedStyleSpacing(pugi::xml_node stylesRoot) {
    auto defaults = childOrPrepend(stylesRoot, "w:docDefaults");
    auto pPrDefault = defaults.child("w:pPrDefault");
    if (!pPrDefault) {
        pPrDefault = defaults.append_child("w:pPrDefault");
    }
    auto spacing =
        orderedChild(childOrPrepend(pPrDefault, "w:pPr"), "w:spacing", kParagraphPropertyOrder);
    bool changed = false;
    if (!spacing.attribute("w:after") && !spacing.attribute("w:afterAutospacing")) {
        spacing.append_attribute("w:after") = "200";
        changed = true;
    }
    if (!spacing.attribute("w:line")) {
        spacing.remove_attribute("w:lineRule");
        spacing.append_attribute("w:line") = "276";
        spacing.append_attribute("w:lineRule") = "auto";
        changed = true;
    }
    return changed;
}

/// Automatic paragraph spacing and the spacing of styles linked to a template, as the settings
/// part settingsName (parsed: settings) of the document means them.
void stateParagraphSpacing(Package& out, const Package& source, const Relationships& rels,
                           const std::string& mainPart, const std::string& settingsName,
                           pugi::xml_document& settings) {
    const auto settingsRoot = settings.document_element();
    const bool linkedStyles = isOnFlag(settingsRoot.child("w:linkStyles"));
    const bool fixedAutoSpacing = usesFixedAutoSpacing(settingsRoot);
    if (!linkedStyles && !fixedAutoSpacing) {
        return;
    }

    // The styles as they were, for what paragraphs and styles inherit.
    const auto stylesParts = partsOfKind(source, rels, mainPart, "styles");
    const auto original =
        stylesParts.empty() ? pugi::xml_document() : parsedOrEmpty(source, stylesParts.front());
    auto styles =
        stylesParts.empty() ? pugi::xml_document() : parsedOrEmpty(source, stylesParts.front());
    bool stylesChanged = false;
    if (linkedStyles && styles.document_element()) {
        stylesChanged = stateLinkedStyleSpacing(styles.document_element());
    }
    if (fixedAutoSpacing) {
        const StyleIndex index(original.document_element());
        const auto defaults =
            original.document_element().child("w:docDefaults").child("w:pPrDefault").child("w:pPr");
        if (styles.document_element()) {
            stylesChanged =
                stateFixedAutoSpacing(styles.document_element(), index, defaults) || stylesChanged;
        }
        // The gaps between paragraphs, from the spacing as it is now stated.
        const StyleIndex rewritten(styles.document_element());
        const auto rewrittenDefaults =
            styles.document_element().child("w:docDefaults").child("w:pPrDefault").child("w:pPr");
        std::vector<std::string> parts = {mainPart};
        for (const char* kind : kParagraphParts) {
            const auto found = partsOfKind(source, rels, mainPart, kind);
            parts.insert(parts.end(), found.begin(), found.end());
        }
        for (const auto& name : parts) {
            auto doc = parsedOrEmpty(source, name);
            if (!doc.document_element()) {
                continue;
            }
            const bool automatic = stateFixedAutoSpacing(doc.document_element(), index, defaults);
            if (stateAddedParagraphSpacing(doc.document_element(), rewritten, rewrittenDefaults) ||
                automatic) {
                replace(out, name, doc);
            }
        }
        // Nothing depends on the option any more, and the joined document goes without it.
        auto compat = settings.document_element().child("w:compat");
        while (auto option = compat.child("w:doNotUseHTMLParagraphAutoSpacing")) {
            compat.remove_child(option);
        }
        replace(out, settingsName, settings);
    }
    if (stylesChanged) {
        replace(out, stylesParts.front(), styles);
    }
}

/// Lets state rewrite the main part, which is written back when state changed it. False when
/// the part does not parse: the paste reports it, and nothing else is stated.
bool stateInMainPart(Package& out, const std::string& mainPart, bool (*state)(pugi::xml_node)) {
    try {
        auto main = parsePart(out, mainPart);
        if (state(main.document_element())) {
            replace(out, mainPart, main);
        }
        return true;
    } catch (const PackageError&) {
        return false;
    }
}

/// Sections whose gutter the settings put at the top of the page get it as top margin
/// instead, and the setting goes: the joined document puts gutters at the side.
void stateGutterPosition(Package& out, const std::string& mainPart, const std::string& settingsName,
                         pugi::xml_document& settings) {
    if (!stateInMainPart(out, mainPart, stateGutterAtTop)) {
        return;
    }
    auto root = settings.document_element();
    while (auto flag = root.child("w:gutterAtTop")) {
        root.remove_child(flag);
    }
    replace(out, settingsName, settings);
}

/// Sections with a line grid start their lines where LibreOffice puts them in the document
/// alone, without notes, also in a joined document with notes (see LineGrid). A document with
/// notes of its own has its lines at the top margin wherever it goes.
void stateLineGrid(Package& out, const std::string& mainPart) {
    try {
        // The text goes before the part is parsed: a long body is not held twice.
        const std::string text = out.text(mainPart);
        if (text.find("w:docGrid") == std::string::npos ||
            text.find("<w:footnoteReference") != std::string::npos ||
            text.find("<w:endnoteReference") != std::string::npos) {
            return;
        }
    } catch (const PackageError&) {
        return; // the paste reports it
    }
    (void)stateInMainPart(out, mainPart, stateLineGridPosition);
}

/// Paragraphs that end in a page break take their mark to the next page as the settings say
/// (w:splitPgBreakAndParaMark), and the setting goes: the joined document keeps marks before
/// the break.
void stateSplitPageBreakMarks(Package& out, const std::string& mainPart,
                              const std::string& settingsName, pugi::xml_document& settings) {
    if (!stateInMainPart(out, mainPart, stateSplitPageBreaks)) {
        return;
    }
    auto compat = settings.document_element().child("w:compat");
    while (auto option = compat.child("w:splitPgBreakAndParaMark")) {
        compat.remove_child(option);
    }
    replace(out, settingsName, settings);
}

/// Paragraphs that LibreOffice goes on with after a break in the document's default paragraph
/// style are split there, so that the rest names that style (see splitAtInnerBreaks). The first
/// document's default style is the joined document's: its paragraphs are left as they are.
void stateInnerBreaks(Package& out, const Package& source, const Relationships& rels,
                      const std::string& mainPart) {
    try {
        // The text goes before the part is parsed: a long body is not held twice.
        const std::string text = out.text(mainPart);
        if (text.find("w:type=\"page\"") == std::string::npos &&
            text.find("w:type=\"column\"") == std::string::npos) {
            return;
        }
    } catch (const PackageError&) {
        return; // the paste reports it
    }
    const auto stylesParts = partsOfKind(source, rels, mainPart, "styles");
    const auto styles =
        stylesParts.empty() ? pugi::xml_document() : parsedOrEmpty(source, stylesParts.front());
    const std::string defaultStyle = StyleIndex(styles.document_element()).defaultParagraph();
    try {
        auto main = parsePart(out, mainPart);
        if (splitAtInnerBreaks(main.document_element(), defaultStyle)) {
            replace(out, mainPart, main);
        }
    } catch (const PackageError&) {
        // a damaged body: the paste reports it
    }
}

/// Tabs where the document's own default interval puts them, when the joined document's
/// differs (see DefaultTabStops). Works on the parts as out has them already.
void stateTabStops(Package& out, const Package& source, const Relationships& rels,
                   const std::string& mainPart, long interval) {
    // The parts besides the body that hold paragraphs and may hold a tab, with the
    // relationship that names them.
    std::vector<std::pair<std::string, const Relationship*>> parts;
    for (const auto& rel : rels.all()) {
        const auto kind = std::string_view(rel.type).substr(rel.type.rfind('/') + 1);
        if (rel.external || (kind != "header" && kind != "footer" && kind != "footnotes" &&
                             kind != "endnotes" && kind != "comments")) {
            continue;
        }
        try {
            const std::string name = resolvePartName(mainPart, rel.target);
            if (out.contains(name) && mayHoldTabCharacters(out.text(name))) {
                parts.emplace_back(name, &rel);
            }
        } catch (const PackageError&) {
            // a target outside the package, or a damaged part: the paste reports it
        }
    }
    pugi::xml_document main;
    bool bodyHoldsTabs = false;
    try {
        bodyHoldsTabs = mayHoldTabCharacters(out.text(mainPart));
        if (!bodyHoldsTabs && parts.empty()) {
            return;
        }
        main = parsePart(out, mainPart); // the text is gone: a long body is not held twice
    } catch (const PackageError&) {
        return; // the paste reports it
    }

    const auto stylesParts = partsOfKind(source, rels, mainPart, "styles");
    const auto numberingParts = partsOfKind(source, rels, mainPart, "numbering");
    const auto styles =
        stylesParts.empty() ? pugi::xml_document() : parsedOrEmpty(source, stylesParts.front());
    const auto numbering = numberingParts.empty() ? pugi::xml_document()
                                                  : parsedOrEmpty(source, numberingParts.front());
    DefaultTabStops stops(styles.document_element(), numbering.document_element(), interval);
    const auto widths = sectionWidths(main.document_element());
    if (bodyHoldsTabs && stops.stateInBody(main.document_element())) {
        replace(out, mainPart, main);
    }
    main.reset();
    for (const auto& [name, rel] : parts) {
        // A header or footer is as wide as the narrowest section showing it; the rest (and a
        // header no section names) as the narrowest section.
        const auto named = widths.byReference.find(rel->id);
        const long width = named != widths.byReference.end() ? named->second : widths.narrowest;
        auto doc = parsedOrEmpty(out, name);
        if (doc.document_element() && stops.stateInPart(doc.document_element(), width)) {
            replace(out, name, doc);
        }
    }
}

/// Content controls bound to the package's own properties show its values, bound no more (see
/// BoundProperties). Works on the parts as out has them already.
void stateBoundProperties(Package& out, const Package& source, const Relationships& rels,
                          const std::string& mainPart) {
    std::vector<std::string> parts = {mainPart};
    for (const char* kind : {"header", "footer", "footnotes", "endnotes", "comments"}) {
        const auto found = partsOfKind(source, rels, mainPart, kind);
        parts.insert(parts.end(), found.begin(), found.end());
    }
    std::optional<BoundProperties> properties;
    for (const auto& name : parts) {
        try {
            if (!BoundProperties::mayHoldBindings(out.text(name))) {
                continue;
            }
            if (!properties) {
                properties.emplace(source);
            }
            // The text is gone before the part is parsed: a long body is not held twice.
            auto doc = parsePart(out, name);
            if (properties->state(doc.document_element())) {
                replace(out, name, doc);
            }
        } catch (const PackageError&) {
            // a damaged part: the paste reports it
        }
    }
}

} // namespace

Package withOwnSettingsStated(const Package& source, const std::string& mainPart,
                              std::optional<long> joinedTabInterval, bool joinedHasNotes,
                              const std::optional<std::string>& joinedBackground, bool leads) {
    Package out = source;
    Relationships rels;
    try {
        const std::string relsName = relsPartName(mainPart);
        if (source.contains(relsName)) {
            rels = Relationships::parse(source.text(relsName), relsName);
        }
    } catch (const PackageError&) {
        return out; // the paste reports what is wrong with the package
    }

    if (writtenByOffice2007(source) && source.contains("[Content_Types].xml")) {
        const auto types = ContentTypes::parse(source.text("[Content_Types].xml"));
        for (const auto& [name, data] : source.parts) {
            if (types.typeOf(name) != kChartType) {
                continue;
            }
            try {
                out.parts[name] =
                    PartData::fromText(stateOffice2007ChartDefaults(source.text(name), name));
            } catch (const PackageError&) {
                // a chart we cannot read is copied as it is
            }
        }
    }

    const auto settingsParts = partsOfKind(source, rels, mainPart, "settings");
    auto settings =
        settingsParts.empty() ? pugi::xml_document() : parsedOrEmpty(source, settingsParts.front());
    // Read before the spacing step rewrites the settings.
    const long interval = defaultTabInterval(settings.document_element());
    if (!settingsParts.empty()) {
        stateParagraphSpacing(out, source, rels, mainPart, settingsParts.front(), settings);
    }
    if (!settingsParts.empty() && isOnFlag(settings.document_element().child("w:gutterAtTop"))) {
        stateGutterPosition(out, mainPart, settingsParts.front(), settings);
    }
    if (joinedHasNotes) {
        stateLineGrid(out, mainPart);
    }
    if (!settingsParts.empty() &&
        isOnFlag(
            settings.document_element().child("w:compat").child("w:splitPgBreakAndParaMark"))) {
        stateSplitPageBreakMarks(out, mainPart, settingsParts.front(), settings);
    }
    if (!leads) {
        stateInnerBreaks(out, source, rels, mainPart);
    }
    if (joinedTabInterval && *joinedTabInterval != interval) {
        stateTabStops(out, source, rels, mainPart, interval);
    }
    stateBoundProperties(out, source, rels, mainPart);
    if (joinedBackground) {
        statePageBackground(out, mainPart,
                            isOnFlag(settings.document_element().child("w:displayBackgroundShape")),
                            *joinedBackground);
    }
    return out;
}

} // namespace paperloom::engine
