// The body's pieces and editable end: loading, committing, pulling back, writing.
#include "engine/model/Body.h"

#include "engine/package/Package.h"
#include "engine/package/Xml.h"

#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace paperloom::engine {

Body::Body() {
    m_open.append_child("open");
}

void Body::load(const pugi::xml_document& doc) {
    const auto root = doc.document_element();
    const auto body = root.child("w:body");
    if (localName(root.name()) != "document" || !body) {
        throw PackageError("the document is damaged (its main part has no body)", root.name());
    }
    m_namespaces.clear();
    for (auto attr = root.first_attribute(); attr; attr = attr.next_attribute()) {
        const std::string_view name = attr.name();
        if (name.rfind("xmlns:", 0) == 0) {
            m_namespaces.emplace_back(std::string(name.substr(6)), attr.value());
        }
    }
    m_rootStart =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n" + startTag(root);
    m_bodyStart = startTag(body);
    m_head = m_rootStart;
    m_foot = "</w:body>";
    bool afterBody = false;
    for (auto child = root.first_child(); child; child = child.next_sibling()) {
        if (child == body) {
            afterBody = true;
            continue;
        }
        if (child.type() == pugi::node_element) {
            (afterBody ? m_foot : m_head) += serializeNode(child);
        }
    }
    m_head += m_bodyStart;
    m_foot += "</" + std::string(root.name()) + ">";
    m_headPiece = deflatePiece(m_head);
    m_footPiece = deflatePiece(m_foot);

    std::vector<pugi::xml_node> blocks;
    for (auto child = body.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            blocks.push_back(child);
        }
    }
    m_sectPr.reset();
    if (!blocks.empty() && std::strcmp(blocks.back().name(), "w:sectPr") == 0) {
        m_sectPr.append_copy(blocks.back());
        blocks.pop_back();
    }
    m_open.reset();
    auto open = m_open.append_child("open");
    m_pieces.clear();
    std::size_t keep = blocks.size() >= 2 ? 2 : blocks.size();
    if (!blocks.empty() && std::strcmp(blocks.back().name(), "w:p") != 0) {
        keep = 1; // the last block is not a paragraph: it stays open, a new tail follows it
    }
    BlockCompressor compressor;
    for (std::size_t i = 0; i + keep < blocks.size(); ++i) {
        compressor.add(blocks[i]);
    }
    if (!compressor.empty()) {
        CompressedBlocks compressed = compressor.take();
        pushPiece(BodyPiece{std::move(compressed.deflated), {}, std::move(compressed.starts)});
    }
    for (std::size_t i = blocks.size() - keep; i < blocks.size(); ++i) {
        open.append_copy(blocks[i]);
    }
    if (!open.last_child() || std::strcmp(open.last_child().name(), "w:p") != 0) {
        open.append_child("w:p");
    }
}

void Body::loadBlank(const std::string& headXml, const std::string& sectPrXml) {
    pugi::xml_document doc =
        parseXml(headXml + "<w:p/>" + sectPrXml + "</w:body></w:document>", "word/document.xml");
    load(doc);
}

pugi::xml_node Body::blockBeforeTail() {
    ensureBlockBeforeTail();
    return tail().previous_sibling();
}

void Body::setBeforeBody(const std::string& markup) {
    m_head = m_rootStart + markup + m_bodyStart;
    m_headPiece = deflatePiece(m_head);
}

void Body::setFinalSectPr(const pugi::xml_node& node) {
    m_sectPr.reset();
    if (node) {
        m_sectPr.append_copy(node);
    }
}

bool Body::isEmpty() const {
    if (!m_pieces.empty() || tail().previous_sibling()) {
        return false;
    }
    for (auto child : tail().children()) {
        if (std::strcmp(child.name(), "w:pPr") != 0) {
            return false;
        }
    }
    return true;
}

void Body::commitOpenBlocks() {
    std::string text;
    std::vector<std::size_t> starts;
    auto open = openRoot();
    while (open.first_child() != open.last_child()) {
        const auto block = open.first_child();
        starts.push_back(text.size());
        text += serializeNode(block);
        open.remove_child(block);
    }
    if (!starts.empty()) {
        appendPiece(std::move(text), std::move(starts));
    }
}

void Body::appendBlocks(const std::vector<PastedBlock>& blocks) {
    const bool lastStaysOpen =
        !blocks.empty() && std::holds_alternative<pugi::xml_node>(blocks.back());
    BlockCompressor compressor;
    std::vector<PiecePtr> parts;
    BodyPiece piece;
    std::uint64_t offset = 0;
    auto appendCompressed = [&](const CompressedBlocks& compressed) {
        for (const std::size_t start : compressed.starts) {
            piece.starts.push_back(static_cast<std::size_t>(offset + start));
        }
        offset += compressed.deflated->size;
        parts.push_back(compressed.deflated);
    };
    auto flush = [&] {
        if (!compressor.empty()) {
            appendCompressed(compressor.take());
        }
    };
    auto open = openRoot();
    while (const auto block = open.first_child()) {
        compressor.add(block);
        open.remove_child(block);
    }
    for (std::size_t i = 0; i + (lastStaysOpen ? 1 : 0) < blocks.size(); ++i) {
        if (const auto* node = std::get_if<pugi::xml_node>(&blocks[i])) {
            compressor.add(*node);
        } else {
            flush();
            appendCompressed(std::get<CompressedBlocks>(blocks[i]));
        }
    }
    flush();
    if (!parts.empty()) {
        piece.deflated = parts.size() == 1 ? parts.front() : joinPieces(parts);
        pushPiece(std::move(piece));
    }
    if (lastStaysOpen) {
        open.append_copy(std::get<pugi::xml_node>(blocks.back()));
    }
    open.append_child("w:p");
}

void Body::appendPiece(std::string text, std::vector<std::size_t> starts) {
    BodyPiece piece;
    piece.deflated = deflatePiece(text);
    if (text.size() <= kKeptText) {
        piece.text = std::move(text);
    }
    piece.starts = std::move(starts);
    pushPiece(std::move(piece));
}

void Body::pushPiece(BodyPiece piece) {
    if (!m_pieces.empty()) {
        m_pieces.back().text.clear();
        m_pieces.back().text.shrink_to_fit();
    }
    m_pieces.push_back(std::move(piece));
    if (m_pieces.size() > kMaxPieces) {
        compactPieces();
    }
}

void Body::compactPieces() {
    // Everything but the last piece becomes one: its text is never needed again unless a
    // backspace reaches back into it, and then it is inflated.
    BodyPiece merged;
    std::vector<PiecePtr> parts;
    std::uint64_t offset = 0;
    for (std::size_t i = 0; i + 1 < m_pieces.size(); ++i) {
        parts.push_back(m_pieces[i].deflated);
        for (const std::size_t start : m_pieces[i].starts) {
            merged.starts.push_back(static_cast<std::size_t>(offset + start));
        }
        offset += m_pieces[i].deflated->size;
    }
    merged.deflated = joinPieces(parts);
    BodyPiece last = std::move(m_pieces.back());
    m_pieces.clear();
    m_pieces.push_back(std::move(merged));
    m_pieces.push_back(std::move(last));
}

bool Body::dropTail() {
    ensureBlockBeforeTail();
    const auto old = tail();
    if (!old.previous_sibling()) {
        return false;
    }
    openRoot().remove_child(old);
    ensureBlockBeforeTail();
    return true;
}

void Body::ensureBlockBeforeTail() {
    if (tail().previous_sibling() || m_pieces.empty()) {
        return;
    }
    BodyPiece& last = m_pieces.back();
    std::string text = pieceText(last);
    const std::size_t start = last.starts.back();
    const auto block = parseXml(std::string_view(text).substr(start), "word/document.xml");
    openRoot().insert_copy_before(block.document_element(), tail());
    if (last.starts.size() == 1) {
        m_pieces.pop_back();
        return;
    }
    text.resize(start);
    last.starts.pop_back();
    last.deflated = deflatePiece(text);
    last.text = text.size() <= kKeptText ? std::move(text) : std::string();
}

namespace {

constexpr std::string_view kSectionStart = "<w:sectPr";
constexpr std::string_view kSectionEnd = "</w:sectPr>";

/// Where in text, from at on, the next start tag of section properties begins (npos when
/// none does); sets selfClosing for an empty element.
std::size_t nextSectionStart(const std::string& text, std::size_t at, bool& selfClosing) {
    for (auto found = text.find(kSectionStart, at); found != std::string::npos;
         found = text.find(kSectionStart, found + 1)) {
        const char next =
            found + kSectionStart.size() < text.size() ? text[found + kSectionStart.size()] : '\0';
        if (next == ' ' || next == '>' || next == '/') {
            const auto close = text.find('>', found);
            selfClosing = close != std::string::npos && text[close - 1] == '/';
            return found;
        }
    }
    return std::string::npos;
}

/// Where the section properties starting at start end (past their end tag; npos when they do
/// not), with the former properties of a tracked change nested in them.
std::size_t sectionEnd(const std::string& text, std::size_t start) {
    int depth = 1;
    std::size_t at = text.find('>', start);
    while (depth > 0 && at != std::string::npos) {
        bool selfClosing = false;
        const auto opening = nextSectionStart(text, at, selfClosing);
        const auto closing = text.find(kSectionEnd, at);
        if (closing == std::string::npos) {
            return std::string::npos;
        }
        if (opening < closing) {
            depth += selfClosing ? 0 : 1;
            at = opening + kSectionStart.size();
        } else {
            --depth;
            at = closing + kSectionEnd.size();
        }
    }
    return at;
}

} // namespace

void Body::editSections(const std::function<bool(pugi::xml_node)>& edit) {
    for (std::size_t i = 0; i < m_pieces.size(); ++i) {
        editSectionsOf(m_pieces[i], i + 1 == m_pieces.size(), edit);
    }
    forEachElement(openRoot(), [&](pugi::xml_node element) {
        if (std::strcmp(element.name(), "w:sectPr") != 0) {
            return true;
        }
        (void)edit(element);
        return false;
    });
    if (finalSectPr()) {
        (void)edit(finalSectPr());
    }
}

void Body::editSectionsOf(BodyPiece& piece, bool last,
                          const std::function<bool(pugi::xml_node)>& edit) const {
    const std::string text = pieceText(piece);
    std::string out;
    // Where an edit ended in text, and how much longer the text was by then.
    std::vector<std::pair<std::size_t, long long>> shifts;
    long long grown = 0;
    std::size_t copied = 0;
    bool selfClosing = false;
    for (auto start = nextSectionStart(text, 0, selfClosing); start != std::string::npos;
         start = nextSectionStart(text, start + 1, selfClosing)) {
        if (selfClosing) {
            continue;
        }
        const auto end = sectionEnd(text, start);
        if (end == std::string::npos) {
            break;
        }
        auto doc = parseXml(std::string_view(text).substr(start, end - start), "word/document.xml");
        if (edit(doc.document_element())) {
            const std::string changed = serializeNode(doc.document_element());
            out.append(text, copied, start - copied);
            out += changed;
            copied = end;
            grown += static_cast<long long>(changed.size()) - static_cast<long long>(end - start);
            shifts.emplace_back(end, grown);
        }
        start = end - 1;
    }
    if (shifts.empty()) {
        return;
    }
    out.append(text, copied, std::string::npos);
    // Sections lie inside blocks, so no block starts within an edit.
    std::size_t next = 0;
    long long by = 0;
    for (auto& blockStart : piece.starts) {
        while (next < shifts.size() && shifts[next].first <= blockStart) {
            by = shifts[next++].second;
        }
        blockStart = static_cast<std::size_t>(static_cast<long long>(blockStart) + by);
    }
    piece.deflated = deflatePiece(out);
    piece.text = last && out.size() <= kKeptText ? std::move(out) : std::string();
}

void Body::editBlocks(const std::function<bool(pugi::xml_node)>& edit) {
    for (std::size_t i = 0; i < m_pieces.size(); ++i) {
        editBlocksOf(m_pieces[i], i + 1 == m_pieces.size(), edit);
    }
    for (auto block : openRoot().children()) {
        if (block.type() == pugi::node_element) {
            (void)edit(block);
        }
    }
}

void Body::editBlocksOf(BodyPiece& piece, bool last,
                        const std::function<bool(pugi::xml_node)>& edit) const {
    const std::string text = pieceText(piece);
    std::string out;
    std::vector<std::size_t> starts;
    starts.reserve(piece.starts.size());
    bool changed = false;
    for (std::size_t i = 0; i < piece.starts.size(); ++i) {
        const std::size_t start = piece.starts[i];
        const std::size_t end = i + 1 < piece.starts.size() ? piece.starts[i + 1] : text.size();
        if (out.empty() && start > 0) {
            out.append(text, 0, start); // nothing but what precedes the first block
        }
        starts.push_back(out.size());
        const std::string_view blockText = std::string_view(text).substr(start, end - start);
        auto doc = parseXml(blockText, "word/document.xml");
        if (doc.document_element() && edit(doc.document_element())) {
            out += serializeNode(doc.document_element());
            changed = true;
        } else {
            out += blockText;
        }
    }
    if (!changed) {
        return;
    }
    piece.starts = std::move(starts);
    piece.deflated = deflatePiece(out);
    piece.text = last && out.size() <= kKeptText ? std::move(out) : std::string();
}

void BlockCompressor::add(const pugi::xml_node& block) {
    m_starts.push_back(static_cast<std::size_t>(m_writer.size()));
    m_writer.append(serializeNode(block));
}

CompressedBlocks BlockCompressor::take() {
    CompressedBlocks out{m_writer.take(), std::move(m_starts)};
    m_starts.clear();
    return out;
}

std::string Body::pieceText(const BodyPiece& piece) const {
    if (!piece.text.empty() || piece.deflated->size == 0) {
        return piece.text;
    }
    std::string stream = piece.deflated->deflated;
    stream.append(kFinalBlock);
    std::string out;
    std::string reason;
    if (!inflateRaw(stream, piece.deflated->size, out, reason)) {
        throw PackageError("the document in memory is damaged", reason);
    }
    return out;
}

Body::Snapshot Body::snapshot() const {
    Snapshot out;
    out.head = m_head;
    out.headPiece = m_headPiece;
    out.pieces.reserve(m_pieces.size());
    for (const auto& piece : m_pieces) {
        out.pieces.push_back({piece.deflated, {}, piece.starts});
    }
    out.open.reset(m_open);
    out.sectPr.reset(m_sectPr);
    out.foot = m_foot;
    out.footPiece = m_footPiece;
    out.namespaces = m_namespaces;
    return out;
}

void Body::restore(Snapshot&& snapshot) noexcept {
    m_head = std::move(snapshot.head);
    m_headPiece = std::move(snapshot.headPiece);
    m_pieces = std::move(snapshot.pieces);
    m_open = std::move(snapshot.open);
    m_sectPr = std::move(snapshot.sectPr);
    m_foot = std::move(snapshot.foot);
    m_footPiece = std::move(snapshot.footPiece);
    m_namespaces = std::move(snapshot.namespaces);
}

std::vector<PiecePtr> Body::deflatedParts() const {
    std::vector<PiecePtr> out;
    out.reserve(m_pieces.size() + 3);
    out.push_back(m_headPiece);
    for (const auto& piece : m_pieces) {
        out.push_back(piece.deflated);
    }
    std::string end;
    for (auto block : openRoot().children()) {
        end += serializeNode(block);
    }
    if (finalSectPr()) {
        end += serializeNode(finalSectPr());
    }
    out.push_back(deflatePiece(end));
    out.push_back(m_footPiece);
    return out;
}

std::string Body::text() const {
    std::string out = m_head;
    for (const auto& piece : m_pieces) {
        out += pieceText(piece);
    }
    for (auto block : openRoot().children()) {
        out += serializeNode(block);
    }
    if (finalSectPr()) {
        out += serializeNode(finalSectPr());
    }
    out += m_foot;
    return out;
}

} // namespace paperloom::engine
