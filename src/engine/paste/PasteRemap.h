// The content walk of a paste: every reference, id and name in pasted content, rewritten for
// the part it lands in by asking the merger of its concern.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <utility>
#include <vector>

namespace paperloom::engine {

class CommentMerger;
class CustomXmlMerger;
class FontMerger;
class NoteMerger;
class NumberingMerger;
class PartMerger;
class PastedIds;
class StyleMerger;

/// The mergers the walk asks; each is owned by the paste.
struct PasteMergers {
    StyleMerger& styles;
    NumberingMerger& numbering;
    NoteMerger& notes;
    CommentMerger& comments;
    PastedIds& ids;
    PartMerger& parts;
    FontMerger& fonts;
    CustomXmlMerger& customXml;
};

/// Rewrites pasted content for the target: relationships, style, list and note references,
/// bookmarks and the fields and links naming them, annotation, paragraph, drawing, shape and
/// content control ids, theme fonts and colours, custom XML bindings. References to what the
/// pasted document lacks (a style neither document defines, a note or comment it does not
/// have) are dropped, as readers ignore them.
class PasteRemap {
public:
    explicit PasteRemap(const PasteMergers& mergers) : m_mergers(mergers) {}

    /// Rewrites everything under node, which comes from sourcePart (whose document element is
    /// sourceRoot: its namespace declarations hold for node, wherever node is now) and lands in
    /// targetPart. Throws PackageError where a part it must read does not parse.
    void remap(pugi::xml_node node, const pugi::xml_node& sourceRoot, const std::string& sourcePart,
               const std::string& targetPart);

private:
    PasteMergers m_mergers;
};

/// Adds to element the namespace declarations of sourceRoot that it uses and that the part it
/// lands in (declaring targetNamespaces on its root) lacks, with its ignorable prefixes.
void declareMissingNamespaces(
    pugi::xml_node element, const pugi::xml_node& sourceRoot,
    const std::vector<std::pair<std::string, std::string>>& targetNamespaces);

} // namespace paperloom::engine
