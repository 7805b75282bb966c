// The main document's body as the editor holds it: compressed pieces plus an editable end.
#pragma once

#include "engine/package/Deflate.h"

#include <pugixml.hpp>

#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace paperloom::engine {

/// Body content that no longer changes, stored compressed; its text is dropped once compressed
/// (except for the last piece when it is short) and recovered by inflating when it is needed.
struct BodyPiece {
    PiecePtr deflated;
    std::string text;                // empty when dropped
    std::vector<std::size_t> starts; // offsets of the top-level blocks in the text
};

/// A stretch of top-level blocks already serialized and compressed.
struct CompressedBlocks {
    PiecePtr deflated;
    std::vector<std::size_t> starts; // offsets of the blocks in the inflated text
};

/// Compresses top-level blocks one by one as they are handed over, so that whoever holds them
/// as nodes can free each as soon as it is final: a long body never exists whole twice.
class BlockCompressor {
public:
    /// Serializes the block and compresses it after those added before.
    void add(const pugi::xml_node& block);
    [[nodiscard]] bool empty() const { return m_starts.empty(); }
    /// The blocks added since the last take; the compressor starts afresh.
    [[nodiscard]] CompressedBlocks take();

private:
    PieceWriter m_writer;
    std::vector<std::size_t> m_starts;
};

/// A block a paste appends: a node, still open to edits until the paste ends, or a stretch of
/// blocks compressed already.
using PastedBlock = std::variant<pugi::xml_node, CompressedBlocks>;

/// The body of document.xml. Everything before the insertion point's neighbourhood lives in
/// pieces that are compressed once; the last block before the insertion paragraph, the
/// insertion paragraph itself ("tail") and the final section properties stay as XML nodes.
/// Invariant: open holds the tail paragraph as its last child, preceded by the block before it
/// whenever the body has one.
class Body {
public:
    Body();
    /// Builds the body from a parsed main part (the document element must be w:document).
    void load(const pugi::xml_document& doc);
    /// A body with one empty paragraph and the given final section properties.
    void loadBlank(const std::string& headXml, const std::string& sectPrXml);

    [[nodiscard]] pugi::xml_node tail() const { return m_open.document_element().last_child(); }
    /// The block before the tail, or an empty handle when the tail is the first block.
    [[nodiscard]] pugi::xml_node blockBeforeTail();
    [[nodiscard]] pugi::xml_node finalSectPr() const { return m_sectPr.document_element(); }
    /// Replaces what stands between the document element's start and the body (the page
    /// background) by markup, which must declare any prefix the document element lacks.
    void setBeforeBody(const std::string& markup);
    /// What stands between the document element's start and the body ("" when nothing).
    [[nodiscard]] std::string beforeBody() const {
        return m_head.substr(m_rootStart.size(),
                             m_head.size() - m_rootStart.size() - m_bodyStart.size());
    }
    /// Replaces the final section properties by a copy of node (an empty handle removes them).
    void setFinalSectPr(const pugi::xml_node& node);
    [[nodiscard]] pugi::xml_node openRoot() const { return m_open.document_element(); }
    /// True when the body holds nothing but an empty tail paragraph.
    [[nodiscard]] bool isEmpty() const;

    /// Moves every open block but the tail into a compressed piece.
    void commitOpenBlocks();
    /// Appends serialized blocks as a new piece (starts are the offsets of the blocks).
    void appendPiece(std::string text, std::vector<std::size_t> starts);
    /// Moves every open block into a piece, then appends the blocks (nodes are copied) after
    /// them; the last of them stays open when it is a node, followed by a new empty tail
    /// paragraph.
    void appendBlocks(const std::vector<PastedBlock>& blocks);
    /// Removes the tail; the block before it (pulled back from the pieces if needed) becomes
    /// the new tail. Returns false, changing nothing, when there is no block before the tail.
    bool dropTail();

    /// Calls edit with the properties of every section of the body, those of paragraphs and the
    /// final ones (not the former ones a tracked change keeps); edit returns true when it
    /// changed the node it was given, and may change nothing but that node's descendants and
    /// attributes. A piece holding a changed section is compressed anew, so this inflates the
    /// whole body once. Throws PackageError when the body in memory is damaged.
    void editSections(const std::function<bool(pugi::xml_node)>& edit);
    /// Calls edit with every top-level block of the body (not the final section properties), on
    /// the same terms as editSections; a piece holding a changed block is compressed anew.
    void editBlocks(const std::function<bool(pugi::xml_node)>& edit);

    /// The body as it is, for restore(): shares the compressed pieces, copies the open end.
    struct Snapshot {
        std::string head;
        PiecePtr headPiece;
        std::vector<BodyPiece> pieces; // their text dropped: it is inflated when needed
        pugi::xml_document open;
        pugi::xml_document sectPr;
        std::string foot;
        PiecePtr footPiece;
        std::vector<std::pair<std::string, std::string>> namespaces;
    };
    [[nodiscard]] Snapshot snapshot() const;
    /// Puts the body back as it was when snapshot was taken.
    void restore(Snapshot&& snapshot) noexcept;

    /// The compressed pieces of the whole document.xml, for saving.
    [[nodiscard]] std::vector<PiecePtr> deflatedParts() const;
    /// The whole document.xml as text (inflates the pieces).
    [[nodiscard]] std::string text() const;
    /// The prefix declarations of the document element ("w" -> uri).
    [[nodiscard]] const std::vector<std::pair<std::string, std::string>>& namespaces() const {
        return m_namespaces;
    }

private:
    void ensureBlockBeforeTail();
    void editSectionsOf(BodyPiece& piece, bool last,
                        const std::function<bool(pugi::xml_node)>& edit) const;
    void editBlocksOf(BodyPiece& piece, bool last,
                      const std::function<bool(pugi::xml_node)>& edit) const;
    void pushPiece(BodyPiece piece);
    void compactPieces();
    static constexpr std::size_t kMaxPieces = 48;
    /// The last piece keeps its text up to this size, for pulling blocks back without inflating.
    static constexpr std::size_t kKeptText = std::size_t{1} << 20;
    [[nodiscard]] std::string pieceText(const BodyPiece& piece) const;

    std::string m_head; // the declaration, the document element's start, what precedes the body
    std::string m_rootStart; // the declaration and the document element's start tag
    std::string m_bodyStart; // the body's start tag
    PiecePtr m_headPiece;
    std::vector<BodyPiece> m_pieces;
    pugi::xml_document m_open;
    pugi::xml_document m_sectPr;
    std::string m_foot;
    PiecePtr m_footPiece;
    std::vector<std::pair<std::string, std::string>> m_namespaces;
};

} // namespace paperloom::engine
