// What a new document takes over from the first document pasted into it.
#include "engine/settings/FirstDocument.h"

#include "engine/mergers/SectionMerge.h"
#include "engine/model/BlankDocument.h"
#include "engine/model/DocumentModel.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/paste/PasteRemap.h"
#include "engine/paste/PastedDocument.h"
#include "engine/settings/LayoutMode.h"

#include <string>

namespace paperloom::engine {
namespace {

constexpr const char* kTypePrefix =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.";

/// Settings that change how pages are laid out or look, the compatibility options among them
/// (the layout mode moves tables and spacing): later documents share them.
constexpr const char* kLayoutSettings[] = {"w:mirrorMargins",          "w:gutterAtTop",
                                           "w:defaultTabStop",         "w:autoHyphenation",
                                           "w:consecutiveHyphenLimit", "w:hyphenationZone",
                                           "w:doNotHyphenateCaps",     "w:bookFoldRevPrinting",
                                           "w:bookFoldPrinting",       "w:bookFoldPrintingSheets",
                                           "w:noPunctuationKerning",   "w:characterSpacingControl",
                                           "w:printTwoOnOne",          "w:compat",
                                           "w:themeFontLang",          "w:clrSchemeMapping",
                                           "w:displayBackgroundShape"};

/// Replaces the target's child of this name by a copy of the source's (removing it when the
/// source has none: the reader's default applies there, as it did to the source).
void adopt(pugi::xml_node target, const pugi::xml_node& source, const char* name,
           std::initializer_list<const char*> order) {
    while (auto old = target.child(name)) {
        target.remove_child(old);
    }
    if (const auto value = source.child(name)) {
        auto copy =
            order.size() == 0 ? target.prepend_copy(value) : insertOrdered(target, value, order);
        declareMissingNamespaces(copy, source, namespacesOf(target));
    }
}

pugi::xml_document partOf(PastedDocument& pasted, const char* kind) {
    pugi::xml_document doc;
    const std::string name = pasted.partOfKind(kind);
    if (!name.empty()) {
        doc = parseXml(pasted.package().text(name), name);
    }
    return doc;
}

} // namespace

void adoptFirstDocument(PastedDocument& pasted, DocumentModel& target, PasteRemap& remap,
                        std::optional<int> layoutMode) {
    if (!target.body.isEmpty()) {
        return;
    }
    const auto& sourceSettings = pasted.settings();
    XmlPart& settings = target.ensurePart(target.settings, "settings", "word/settings.xml",
                                          std::string(kTypePrefix) + "settings+xml",
                                          blankStartTag("w:settings") + "</w:settings>");
    const auto settingsRoot = settings.edit().document_element();
    for (const char* name : kLayoutSettings) {
        adopt(settingsRoot, sourceSettings.document_element(), name, kSettingsOrder);
    }
    if (layoutMode) {
        setLayoutMode(settingsRoot, *layoutMode);
    }

    // Theme fonts and colours of the document defaults and styles mean what they meant in the
    // first document. A theme with relationships of its own (pictures in fills) brings the
    // parts they name.
    const std::string sourceTheme = pasted.partOfKind("theme");
    if (sourceTheme.empty() && !target.themeName.empty()) {
        // Without a theme, readers draw charts and shapes with fallbacks of their own, which
        // the new document's theme would replace. Later documents state their theme colours
        // and fonts where the joined document's theme differs, as it does from none.
        if (target.package.contains(relsPartName(target.themeName))) {
            target.removePart(relsPartName(target.themeName));
        }
        target.removePart(target.themeName);
        target.themeName.clear();
    } else if (!sourceTheme.empty() && !target.themeName.empty() &&
               target.package.contains(target.themeName)) {
        if (!pasted.package().contains(relsPartName(sourceTheme))) {
            target.putPart(target.themeName, pasted.package().parts.at(sourceTheme));
        } else {
            auto theme = parseXml(pasted.package().text(sourceTheme), sourceTheme);
            remap.remap(theme.document_element(), theme.document_element(), sourceTheme,
                        target.themeName);
            target.putPart(target.themeName, PartData::fromText(serializeDocument(theme)));
        }
    }

    if (target.styles) {
        // The new document's styles serve no content yet. With the first document's in their
        // place, its styles are shared as they are (no renamed copies): the default paragraph
        // style, which readers size text grids and form fields by, stays its own. Later
        // documents compare their styles and document defaults against these.
        auto sourceStyles = partOf(pasted, "styles");
        if (sourceStyles.document_element()) {
            target.styles.edit().reset(sourceStyles);
        } else {
            // No styles: the reader's defaults applied to it, not the new document's defaults.
            adopt(target.styles.edit().document_element(), {}, "w:docDefaults", {});
        }
    }
}

} // namespace paperloom::engine
