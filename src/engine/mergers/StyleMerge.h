// The pasted document's styles merged into the joined document's: the same shared, the
// different added under new ids.
#pragma once

#include "engine/model/DocumentModel.h"
#include "engine/paste/PastedDocument.h"

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace paperloom::engine {

class FontMerger;
class NumberingMerger;

/// Shares the pasted styles that equal one of the target's (by look and name) and adds the
/// others, renamed where their id or name is taken. Answers the content walk's questions: what
/// a style became, and which style the pasted document's unstyled paragraphs and tables need.
class StyleMerger {
public:
    /// Uses fonts (themes compared already) for theme references in the styles and numbering
    /// (ids prepared already) for the lists styles name.
    StyleMerger(PastedDocument& source, DocumentModel& target, const FontMerger& fonts,
                const NumberingMerger& numbering);

    /// Merges the styles and document defaults. Throws PackageError for a styles part that
    /// does not parse.
    void merge();
    /// What a pasted style id became, or null when the pasted styles do not define it.
    [[nodiscard]] const std::string* renamed(const std::string& sourceId) const;
    /// True when the target's styles (the pasted ones merged in) define this style id.
    [[nodiscard]] bool targetDefines(const std::string& id);
    /// The style pasted paragraphs without one must name ("" when the default does for them).
    [[nodiscard]] const std::string& defaultParagraphStyle() const { return m_paragraphDefault; }
    /// The style pasted tables without one must name ("" when the default does for them).
    [[nodiscard]] const std::string& defaultTableStyle() const { return m_tableDefault; }

private:
    /// The joined document's style of the pasted note text style's name ("footnote text",
    /// "endnote text"), when the pasted one differs from it, the pasted document has notes of
    /// its kind, the joined document none yet and nothing of it names that style. In a
    /// document that protects its forms, LibreOffice gives the notes area of each page a line
    /// in the document's note text style, whatever style the notes name: after a leader whose
    /// unused "footnote text" is larger or more spaced, a pasted document's footnotes stood
    /// higher. Such a style takes the pasted definition instead of a renamed copy, which
    /// changes nothing else: nothing used it. Null otherwise.
    pugi::xml_node
    unusedNoteStyle(const pugi::xml_node& pasted,
                    const std::unordered_map<std::string, pugi::xml_node>& targetById);

    PastedDocument& m_source;
    DocumentModel& m_target;
    const FontMerger& m_fonts;
    const NumberingMerger& m_numbering;
    std::unordered_map<std::string, std::string> m_map; // source style id -> target style id
    std::string m_paragraphDefault;
    std::string m_tableDefault;
    std::unordered_set<std::string> m_targetStyles;
    bool m_targetStylesIndexed = false;
};

} // namespace paperloom::engine
