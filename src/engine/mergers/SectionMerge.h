// How a pasted document's sections meet the document they join: page setup, headers, numbering.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace paperloom::engine {

struct Package;

class DocumentModel;
class PastedDocument;

/// Where the pasted document lands, as seen by its first section.
struct Landing {
    pugi::xml_node previous;    // the section the content lands after (empty when none)
    bool hasPrevious = false;   // the document already holds content
    bool pageBreak = false;     // the join asked for a new page (a page break was carried)
    unsigned statedHeaders = 0; // the references earlier sections state (headerReferenceBits)
};

/// Before the pasted body is remapped: settles the document-wide settings the source brings
/// (settings.xml) and states in the source's own sections what they would otherwise take from
/// those settings; a source that switches even headers on states them in the sections target
/// already holds too. Sections are the source's sectPr elements in document order; a source
/// without a settings part counts as one with the defaults.
void prepareSourceSections(PastedDocument& pasted, DocumentModel& target,
                           const std::vector<pugi::xml_node>& sections);

/// After the remap: makes the pasted sections hold where they land (section type of the first,
/// headers it must not inherit, page numbering, the orientation of the final one). Returns true
/// when the first section starts a new page itself, so that a carried page break must go.
[[nodiscard]] bool joinSections(DocumentModel& target, const std::vector<pugi::xml_node>& sections,
                                const Landing& landing);

/// Turns a section to landscape or portrait: width and height swap and the margins turn with
/// the paper (a quarter turn clockwise into landscape, back again into portrait).
void turnSection(pugi::xml_node sectPr, bool landscape);

/// True when two sections put their text on pages of the same size and margins.
[[nodiscard]] bool samePageGeometry(const pugi::xml_node& a, const pugi::xml_node& b);

/// The one paragraph of a header or footer that stands in for none (a line of 1 pt, so that it
/// pushes no text down, without a line number: LibreOffice numbers the lines of headers and
/// footers in a section with line numbers, and counts them), holding runs (markup binding w to
/// the main namespace).
[[nodiscard]] std::string standInParagraph(std::string_view runs = {});

/// A section that had no header stood its text at the top margin; with a stand-in header, the
/// header's distance (distanceName of w:pgMar) plus its line must still fit above that margin
/// (marginName): the distance is cut where it does not. The same for footers and the bottom.
void keepTextBelowEmptyHeader(pugi::xml_node sectPr, const char* distanceName,
                              const char* marginName);

/// The page type a header or footer reference is for: its w:type, "default" where it has none.
[[nodiscard]] std::string referenceType(const pugi::xml_node& ref);

/// A header part name that neither the package nor its relationship parts use yet.
[[nodiscard]] std::string freeHeaderName(const Package& package);

/// Adds to sectPr, in its place, a header reference of type to the relationship id, named by
/// idName ("r:id"); a main part that does not bind r itself gets the declaration with it.
void referHeader(pugi::xml_node sectPr, const char* type, const std::string& id,
                 const std::string& idName, bool declareR);

/// Gives sectPr a reference to an empty header or footer for every kind and type it lacks among
/// those in inherited (headerReferenceBits of the sections before it), so that it does not show
/// the header of the section before it. Returns the bits of the references it added.
unsigned addEmptyHeaderReferences(DocumentModel& target, pugi::xml_node sectPr, unsigned inherited);

} // namespace paperloom::engine
