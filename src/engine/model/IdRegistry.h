// The ids and names a document must keep unique, and which of them a change has claimed.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

namespace paperloom::engine {

/// A set of ids in use that can give back what was claimed since a mark, so that a change that
/// is undone leaves the ids it took free again.
template <typename T> class ClaimSet {
public:
    /// Records value as used; false (changing nothing) when it is in use already.
    bool claim(const T& value) {
        if (!m_used.insert(value).second) {
            return false;
        }
        if (m_marked) {
            m_claimed.push_back(value);
        }
        return true;
    }
    [[nodiscard]] bool contains(const T& value) const { return m_used.count(value) != 0; }

    /// Starts recording claims.
    void mark() {
        m_marked = true;
        m_claimed.clear();
    }
    /// Keeps the claims made since mark and stops recording.
    void keep() {
        m_marked = false;
        m_claimed.clear();
    }
    /// Frees the values claimed since mark and stops recording.
    void giveBack() {
        for (const auto& value : m_claimed) {
            m_used.erase(value);
        }
        keep();
    }

private:
    std::unordered_set<T> m_used;
    std::vector<T> m_claimed;
    bool m_marked = false;
};

/// The value of a hex id attribute (w14:paraId, w14:textId); 0, which claims nothing, when it
/// is not one.
std::uint32_t parseHexId(const char* text);

/// Ids that must stay unique across the document, with what is in use already.
struct IdRegistry {
    std::uint32_t maxDrawingId = 0;
    std::int64_t maxAnnotationId = 0;
    ClaimSet<std::uint32_t> paraIds;
    ClaimSet<std::uint32_t> textIds;
    ClaimSet<std::string> bookmarkNames;
    ClaimSet<std::int64_t> contentControlIds; // w:sdtPr/w:id
    ClaimSet<std::string> shapeIds;           // VML shapes' id
    ClaimSet<std::string> shapeSpids;         // VML shapes' o:spid
    ClaimSet<std::string> shapeTypes;         // VML shape types defined or named anywhere
    std::uint32_t nextHexId = 1;
    std::int64_t maxStacking = -1; // greatest stacking position of a shape (-1: none)

    /// Keeps wanted when it is free, otherwise a fresh value; records it as used.
    std::uint32_t claimHex(ClaimSet<std::uint32_t>& used, std::uint32_t wanted);
    /// Records every id found under node (used when a document is loaded).
    void scan(const pugi::xml_node& node);

    /// Starts recording what is claimed, for rollBack.
    void mark();
    /// Keeps what was claimed since mark.
    void keep();
    /// Puts every id back as it was at mark: what was claimed since is free again.
    void rollBack();

private:
    struct Counters {
        std::uint32_t maxDrawingId = 0;
        std::int64_t maxAnnotationId = 0;
        std::uint32_t nextHexId = 1;
        std::int64_t maxStacking = -1;
    };
    Counters m_marked;
};

} // namespace paperloom::engine
