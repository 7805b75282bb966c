// Loading numbering.xml into pieces and appending list definitions to it.
#include "engine/model/Numbering.h"

#include "engine/package/Xml.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace paperloom::engine {

void Numbering::load(const pugi::xml_document& doc) {
    const auto root = doc.document_element();
    m_present = true;
    m_head = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n" + startTag(root);
    m_namespaces = namespacesOf(root);
    m_foot.clear();
    std::string groups[3];
    for (auto child : root.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        const char* name = child.name();
        if (std::strcmp(name, "w:numPicBullet") == 0) {
            pugi::xml_document scratch;
            auto copy = scratch.append_copy(child);
            dropPictureFrameTypes(copy);
            groups[0] += serializeNode(copy);
            nextPicBulletId =
                std::max(nextPicBulletId, child.attribute("w:numPicBulletId").as_int() + 1);
        } else if (std::strcmp(name, "w:abstractNum") == 0) {
            groups[1] += serializeNode(child);
            nextAbstractId =
                std::max(nextAbstractId, child.attribute("w:abstractNumId").as_int() + 1);
        } else if (std::strcmp(name, "w:num") == 0) {
            groups[2] += serializeNode(child);
            nextNumId = std::max(nextNumId, child.attribute("w:numId").as_int() + 1);
        } else {
            m_foot += serializeNode(child); // w:numIdMacAtCleanup and the like come last
        }
    }
    m_foot += "</" + std::string(root.name()) + ">";
    for (int i = 0; i < 3; ++i) {
        m_pieces[i].clear();
        if (!groups[i].empty()) {
            m_pieces[i].push_back(deflatePiece(groups[i]));
        }
    }
}

void Numbering::dropPictureFrameTypes(pugi::xml_node picBullet) {
    std::vector<pugi::xml_node> frames;
    for (auto pict : picBullet.children("w:pict")) {
        for (auto type : pict.children("v:shapetype")) {
            // Only under its standard id: a shape can find a type of another id only here.
            if (std::strcmp(type.attribute("o:spt").value(), "75") == 0 &&
                std::strcmp(type.attribute("id").value(), "_x0000_t75") == 0) {
                frames.push_back(type);
            }
        }
    }
    for (auto type : frames) {
        type.parent().remove_child(type);
    }
}

void Numbering::loadEmpty(const std::string& rootTag) {
    m_present = true;
    m_head = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n" + rootTag;
    m_foot = "</w:numbering>";
    const auto parsed = parseXml(rootTag + m_foot, "word/numbering.xml");
    m_namespaces = namespacesOf(parsed.document_element());
    for (auto& group : m_pieces) {
        group.clear();
    }
}

void Numbering::append(const std::string& picBullets, const std::string& abstracts,
                       const std::string& nums) {
    const std::string* texts[3] = {&picBullets, &abstracts, &nums};
    for (int i = 0; i < 3; ++i) {
        if (!texts[i]->empty()) {
            m_pieces[i].push_back(deflatePiece(*texts[i]));
        }
        if (m_pieces[i].size() > 32) {
            m_pieces[i] = {joinPieces(m_pieces[i])};
        }
    }
}

std::vector<PiecePtr> Numbering::deflatedParts() const {
    std::vector<PiecePtr> out{deflatePiece(m_head)};
    for (const auto& group : m_pieces) {
        out.insert(out.end(), group.begin(), group.end());
    }
    out.push_back(deflatePiece(m_foot));
    return out;
}

std::string Numbering::text() const {
    return inflatePieces(deflatedParts());
}

} // namespace paperloom::engine
