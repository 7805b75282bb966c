// What a new document takes over from the first document pasted into it.
#include "engine/settings/FirstDocument.h"

#include "engine/model/BlankDocument.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/paste/PasteSession.h"
#include "engine/paste/SectionMerge.h"

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
        PasteSession::declareMissingNamespaces(copy, source, namespacesOf(target));
    }
}

pugi::xml_document partOf(PasteSession& session, const char* kind) {
    pugi::xml_document doc;
    const std::string name = session.sourcePartOfKind(kind);
    if (!name.empty()) {
        doc = parseXml(session.source.text(name), name);
    }
    return doc;
}

} // namespace

void adoptFirstDocument(PasteSession& session) {
    DocumentModel& target = session.target;
    if (!target.body.isEmpty()) {
        return;
    }
    const auto& sourceSettings = session.sourceSettings();
    XmlPart& settings = target.ensurePart(target.settings, "settings", "word/settings.xml",
                                          std::string(kTypePrefix) + "settings+xml",
                                          blankStartTag("w:settings") + "</w:settings>");
    for (const char* name : kLayoutSettings) {
        adopt(settings.doc.document_element(), sourceSettings.document_element(), name,
              kSettingsOrder);
    }
    settings.dirty = true;

    // Theme fonts and colours of the document defaults and styles mean what they meant in the
    // first document. A theme with relationships of its own (pictures in fills) brings the
    // parts they name.
    const std::string sourceTheme = session.sourcePartOfKind("theme");
    if (!sourceTheme.empty() && !target.themeName.empty() &&
        target.package.contains(target.themeName)) {
        if (!session.source.contains(relsPartName(sourceTheme))) {
            target.putPart(target.themeName, session.source.parts.at(sourceTheme));
        } else {
            auto theme = parseXml(session.source.text(sourceTheme), sourceTheme);
            session.remap(theme.document_element(), theme.document_element(), sourceTheme,
                          target.themeName);
            target.putPart(target.themeName, PartData::fromText(serializeDocument(theme)));
        }
    }

    if (target.styles) {
        // The new document's styles serve no content yet. With the first document's in their
        // place, its styles are shared as they are (no renamed copies): the default paragraph
        // style, which readers size text grids and form fields by, stays its own. Later
        // documents compare their styles and document defaults against these.
        auto sourceStyles = partOf(session, "styles");
        if (sourceStyles.document_element()) {
            target.styles.doc.reset(sourceStyles);
        } else {
            // No styles: the reader's defaults applied to it, not the new document's defaults.
            adopt(target.styles.doc.document_element(), {}, "w:docDefaults", {});
        }
        target.styles.dirty = true;
    }
}

} // namespace paperloom::engine
