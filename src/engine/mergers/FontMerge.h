// Fonts of a paste: what the pasted document's theme fonts and colours mean where the joined
// document's theme differs, and the font table with the font data it embeds.
#pragma once

#include "engine/mergers/ShapeStyles.h"
#include "engine/model/DocumentModel.h"
#include "engine/paste/PastedDocument.h"

#include <pugixml.hpp>

#include <functional>
#include <map>
#include <string>

namespace paperloom::engine {

class PasteRemap;

/// The typefaces a theme gives its major and minor fonts (latin, east Asian, complex script)
/// and the scripts it names a typeface for (Arab, Jpan ...), its colour scheme: as text (for
/// comparison) and as the colour of each slot (dk1, lt1, accent1, hlink ...: RRGGBB), and its
/// formatting scheme as text.
struct ThemeFonts {
    std::string major[3];
    std::string minor[3];
    std::map<std::string, std::string, std::less<>> majorScripts;
    std::map<std::string, std::string, std::less<>> minorScripts;
    std::string colors;
    std::string formats;
    std::map<std::string, std::string, std::less<>> schemeColors;
    [[nodiscard]] bool sameFonts(const ThemeFonts& other) const {
        for (int i = 0; i < 3; ++i) {
            if (major[i] != other.major[i] || minor[i] != other.minor[i]) {
                return false;
            }
        }
        return true;
    }
};

/// Reads the fonts and colours of a theme part; empty when the part is absent or has none.
[[nodiscard]] ThemeFonts readThemeFonts(const Package& package, const std::string& themePart);

/// The theme's east Asian and complex script fonts as a document with these theme font
/// languages (w:themeFontLang, possibly empty) reads them: the typeface the theme names for
/// the script of its w:eastAsia (w:bidi) language, where it names one, replaces the ea (cs) one.
[[nodiscard]] ThemeFonts inLanguages(ThemeFonts fonts, const pugi::xml_node& themeFontLang);

/// Turns a DrawingML theme colour (a:schemeClr) into the colour the theme gives it (a:srgbClr,
/// with the same shading and tinting), the mapping of the text and background colours to the
/// scheme being the usual one. Returns false, changing nothing, for a placeholder colour or a
/// slot the theme leaves out.
bool stateSchemeColor(pugi::xml_node schemeClr, const ThemeFonts& theme);

/// Keeps the pasted text in the faces and colours its own theme gave it, and carries the fonts
/// it names into the target's font table.
class FontMerger {
public:
    /// Merges into target; resolves nothing until compareThemes.
    FontMerger(PastedDocument& source, DocumentModel& target);

    /// Compares the pasted document's theme with the target's; until then nothing resolves.
    /// Throws PackageError for a theme part that does not parse.
    void compareThemes();
    /// True when theme font references of text must be written out as the pasted theme's
    /// typefaces: the themes differ in them, or the theme font languages choose others.
    [[nodiscard]] bool resolvesFonts() const { return m_resolveFonts; }
    /// True when the two themes name other typefaces (what charts, which take no theme font
    /// languages, go by).
    [[nodiscard]] bool themeFontsDiffer() const { return m_themeFontsDiffer; }
    /// True when theme colour references must give way to the colour values stored beside them.
    [[nodiscard]] bool resolvesColors() const { return m_resolveColors; }
    /// The pasted document's theme fonts (empty before compareThemes or without a theme).
    [[nodiscard]] const ThemeFonts& sourceFonts() const { return m_sourceFonts; }
    /// Replaces the theme font references of a w:rFonts by the pasted theme's typefaces.
    void resolveFonts(pugi::xml_node rFonts) const;
    /// Drops theme colour references (of a w:color, w:shd or w:u), leaving the colour value
    /// that the pasted document's own theme gave, which writers store beside the reference.
    void resolveColors(pugi::xml_node element) const;
    /// True when the style references of shapes must be stated as the pasted theme has them.
    [[nodiscard]] bool resolvesShapeStyles() const { return !m_shapeStyles.empty(); }
    /// States in a shape's properties what its style (wps:style) takes from the pasted theme.
    void resolveShapeStyle(pugi::xml_node style) const;
    /// Resolves an element's fonts or colours as the comparison asks; other elements stay.
    void resolve(pugi::xml_node element) const;

    /// Adds the fonts of the pasted font table that the target's lacks, and embedded data the
    /// target's entry of a font lacks. Throws PackageError for a part that does not parse.
    void mergeFontTable(PasteRemap& remap);

private:
    /// Removes the embedded font references of a pasted font whose data the package lacks.
    void dropFontsWithoutData(pugi::xml_node font, const std::string& sourcePart);

    PastedDocument& m_source;
    DocumentModel& m_target;
    ThemeFonts m_sourceFonts;
    ThemeFonts m_sourceTextFonts; // as the pasted document's theme font languages read them
    ShapeStyles m_shapeStyles;    // the pasted formatting scheme, where the target's differs
    bool m_resolveFonts = false;
    bool m_themeFontsDiffer = false;
    bool m_resolveColors = false;
};

} // namespace paperloom::engine
