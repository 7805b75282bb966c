// numbering.xml kept as compressed pieces: list definitions only ever get appended.
#pragma once

#include "engine/package/Deflate.h"

#include <pugixml.hpp>

#include <string>
#include <utility>
#include <vector>

namespace paperloom::engine {

/// The list definitions of a document. Each paste appends its own definitions (picture
/// bullets, abstract definitions, list instances keep their required order); the text already
/// there is never rewritten, so saving costs what was added, not what the document holds.
class Numbering {
public:
    /// Takes the definitions of a parsed numbering part.
    void load(const pugi::xml_document& doc);
    /// An empty numbering part whose document element carries the given start tag.
    void loadEmpty(const std::string& rootTag);
    [[nodiscard]] bool present() const { return m_present; }

    /// Takes the picture-frame shape type definitions out of a picture bullet (w:numPicBullet).
    /// LibreOffice reads the numbering before the body, and once the numbering defines a shape
    /// type, the shapes of the body's first drawing that defines types no longer find that
    /// drawing's own definitions: a text box there loses its fill and moves its text. The
    /// picture frame type is one every reader knows by its id; the bullet shape keeps naming it.
    static void dropPictureFrameTypes(pugi::xml_node picBullet);

    /// Appends serialized elements of each kind.
    void append(const std::string& picBullets, const std::string& abstracts,
                const std::string& nums);

    int nextAbstractId = 0;
    int nextNumId = 1;
    int nextPicBulletId = 0;
    std::uint32_t nextNsid = 0x1A2B0001;

    /// The prefix declarations of the numbering part's document element.
    [[nodiscard]] const std::vector<std::pair<std::string, std::string>>& namespaces() const {
        return m_namespaces;
    }
    [[nodiscard]] std::vector<PiecePtr> deflatedParts() const;
    [[nodiscard]] std::string text() const;

private:
    bool m_present = false;
    std::string m_head;
    std::vector<std::pair<std::string, std::string>> m_namespaces;
    std::vector<PiecePtr> m_pieces[3];
    std::string m_foot;
};

} // namespace paperloom::engine
