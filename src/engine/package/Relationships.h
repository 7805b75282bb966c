// The relationships of one part (a _rels/*.rels part) and the package's content types.
#pragma once

#include "engine/package/Deflate.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace paperloom::engine {

struct Relationship {
    std::string id;
    std::string type;
    std::string target;
    bool external = false;
};

/// The relationships a part has, in file order, with lookup by id.
class Relationships {
public:
    /// Parses a .rels part; throws PackageError naming partName when it is malformed.
    [[nodiscard]] static Relationships parse(std::string_view xml, const std::string& partName);

    [[nodiscard]] const Relationship* byId(const std::string& id) const;
    /// The first relationship whose type ends with "/" + typeSuffix.
    [[nodiscard]] const Relationship* firstOfType(std::string_view typeSuffix) const;
    /// Adds a relationship under a fresh id and returns the id; an identical relationship
    /// already present is reused when share is true.
    std::string add(const std::string& type, const std::string& target, bool external, bool share);
    /// Adds a relationship under its own id (used when a part is copied with its references).
    void addWithId(const Relationship& rel);
    [[nodiscard]] const std::vector<Relationship>& all() const { return m_items; }
    [[nodiscard]] bool empty() const { return m_items.empty(); }
    /// The part's text, compressed; only what was added since the last call is compressed.
    [[nodiscard]] std::vector<PiecePtr> deflatedParts();
    /// An id no relationship has, without adding anything.
    [[nodiscard]] std::string unusedId();

    /// Where the relationships stand: what rollBack returns to.
    struct Mark {
        std::size_t count = 0;
        unsigned next = 1;
        GrowingText elements;
    };
    [[nodiscard]] Mark mark() const { return {m_items.size(), m_next, m_elements}; }
    /// Removes every relationship added since mark was taken (they only ever grow).
    void rollBack(Mark mark);

private:
    std::vector<Relationship> m_items;
    std::unordered_map<std::string, std::size_t> m_byId;
    std::unordered_map<std::string, std::string> m_byKey;
    GrowingText m_elements; // the Relationship elements, grown as they are added
    unsigned m_next = 1;
};

/// [Content_Types].xml: defaults by extension and overrides by part name.
class ContentTypes {
public:
    [[nodiscard]] static ContentTypes parse(std::string_view xml);
    /// The content type of a part, or "" when none applies.
    [[nodiscard]] std::string typeOf(const std::string& partName) const;
    void setDefault(const std::string& extension, const std::string& type);
    void setOverride(const std::string& partName, const std::string& type);
    /// Drops the override of a part that is gone; its entry stays without a type, unwritten,
    /// so that rollBack still finds every override where it was.
    void removeOverride(const std::string& partName);
    /// The part's text, compressed; overrides added since the last call are all that is
    /// compressed anew (they are written in the order they were added).
    [[nodiscard]] std::vector<PiecePtr> deflatedParts();
    /// True while nothing changed since the last deflatedParts().
    [[nodiscard]] bool unchanged() const { return !m_changed; }

    /// Starts recording changes, for rollBack; overrides only ever grow, so what is recorded
    /// is what was added or retyped.
    void mark();
    /// Keeps the changes since mark.
    void keep() { m_undo.reset(); }
    /// Puts the content types back as they were at mark.
    void rollBack();

private:
    struct Override {
        std::string name;
        std::string type;
    };
    struct Undo {
        std::size_t count = 0;
        std::map<std::string, std::string> defaults;
        std::vector<std::pair<std::size_t, std::string>> retyped; // index, type before
        GrowingText overrideText;
        PiecePtr headPiece;
        bool rebuild = false;
        bool changed = false;
    };
    std::optional<Undo> m_undo;
    std::map<std::string, std::string> m_defaults;
    std::vector<Override> m_overrides;
    std::unordered_map<std::string, std::size_t> m_overrideIndex; // lower-case name -> index
    GrowingText m_overrideText;
    PiecePtr m_headPiece; // declaration, root start tag and defaults
    bool m_rebuild = true;
    bool m_changed = true;
};

} // namespace paperloom::engine
