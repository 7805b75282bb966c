// Ids of pasted content that readers require unique: bookmarks and the fields and links that
// name them, annotations, paragraphs, drawings, content controls and VML shapes.
#include "engine/mergers/PastedIds.h"

#include "engine/package/Xml.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace paperloom::engine {
namespace {

std::string hex8(std::uint32_t value) {
    char buffer[9];
    std::snprintf(buffer, sizeof buffer, "%08X", value);
    return buffer;
}

/// A variant of id that used does not hold yet: a trailing number counts up ("_x0000_s1026"
/// -> "_x0000_s1027", which keeps the form readers expect of shape ids), other ids get one.
std::string freshShapeId(const std::string& id, const ClaimSet<std::string>& used) {
    std::size_t digits = id.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(id[digits - 1])) != 0) {
        --digits;
    }
    const std::string stem = id.substr(0, digits);
    // Ids in the thousands keep their width; anything longer is not worth parsing.
    unsigned long long number = 0;
    if (digits < id.size() && id.size() - digits <= 9) {
        number = std::stoull(id.substr(digits));
    }
    const std::string separator = digits == id.size() ? " " : "";
    for (;;) {
        std::string candidate = stem + separator + std::to_string(++number);
        if (!used.contains(candidate)) {
            return candidate;
        }
    }
}

} // namespace

PastedIds::PastedIds(DocumentModel& target) : m_target(target) {}

void PastedIds::prepareStacking(const StackingRange& pasted) {
    auto& most = m_target.ids.maxStacking;
    m_stackingShift = stackingShift(most, pasted);
    if (pasted.most >= 0) {
        most = std::max(most, pasted.most + m_stackingShift);
    }
}

void PastedIds::restack(pugi::xml_node element) const {
    if (m_stackingShift == 0) {
        return;
    }
    if (const auto position = stackingPosition(element)) {
        setStackingPosition(element, shiftedPosition(*position, m_stackingShift));
    }
}

std::string PastedIds::startBookmark(const std::string& name) {
    return m_bookmarksSeen.insert(name).second ? renameBookmark(name) : freshBookmarkName(name);
}

const std::string* PastedIds::renamedBookmark(const std::string& name) const {
    const auto it = m_bookmarkNames.find(name);
    return it == m_bookmarkNames.end() ? nullptr : &it->second;
}

std::string PastedIds::linkAddress(const std::string& address) const {
    if (address.size() < 2 || address.front() != '#') {
        return address;
    }
    const auto it = m_bookmarkNames.find(address.substr(1));
    return it == m_bookmarkNames.end() ? address : '#' + it->second;
}

std::int64_t PastedIds::freshAnnotationId() {
    return ++m_target.ids.maxAnnotationId;
}

std::string PastedIds::paraId(const char* sourceHex) {
    return hex8(m_target.ids.claimHex(m_target.ids.paraIds, parseHexId(sourceHex)));
}

std::string PastedIds::textId(const char* sourceHex) {
    return hex8(m_target.ids.claimHex(m_target.ids.textIds, parseHexId(sourceHex)));
}

std::uint32_t PastedIds::drawingId() {
    return ++m_target.ids.maxDrawingId;
}

void PastedIds::fieldChar(const pugi::xml_node& fldChar) {
    m_fieldNameDue =
        m_fieldNameDue || std::strcmp(fldChar.attribute("w:fldCharType").value(), "begin") == 0;
}

std::int64_t PastedIds::annotationId(const std::string& kind, const std::string& sourceId) {
    const std::string key = kind + ':' + sourceId;
    const auto it = m_annotationIds.find(key);
    if (it != m_annotationIds.end()) {
        return it->second;
    }
    const std::int64_t id = ++m_target.ids.maxAnnotationId;
    m_annotationIds.emplace(key, id);
    return id;
}

std::string PastedIds::renameBookmark(const std::string& name) {
    const auto it = m_bookmarkNames.find(name);
    if (it != m_bookmarkNames.end()) {
        return it->second;
    }
    std::string result = freshBookmarkName(name);
    m_bookmarkNames.emplace(name, result);
    return result;
}

std::string PastedIds::freshBookmarkName(const std::string& name) {
    std::string result = name;
    if (!m_target.ids.bookmarkNames.claim(name)) {
        for (unsigned n = 2;; ++n) {
            const std::string suffix = "_" + std::to_string(n);
            const std::string base =
                name.size() + suffix.size() > 40 ? name.substr(0, 40 - suffix.size()) : name;
            std::string candidate = base + suffix;
            if (m_target.ids.bookmarkNames.claim(candidate)) {
                result = std::move(candidate);
                break;
            }
        }
    }
    return result;
}

void PastedIds::collectBookmarks(const pugi::xml_node& body) {
    forEachElement(body, [this](pugi::xml_node element) {
        if (std::strcmp(element.name(), "w:bookmarkStart") == 0) {
            renameBookmark(element.attribute("w:name").value());
        }
        return true;
    });
}

void PastedIds::renameFieldTargets(pugi::xml_node holder, bool isAttribute) {
    const std::string instr =
        isAttribute ? holder.attribute("w:instr").value() : holder.text().get();
    std::istringstream words(instr);
    std::string word;
    std::string out;
    bool changed = false;
    // A complex field's instruction may be split over several runs: only the first word of
    // the field names it, the rest (bookmarks among them) may start a later run.
    bool first = isAttribute || m_fieldNameDue;
    std::size_t pos = 0;
    while (words >> word) {
        const std::size_t at = instr.find(word, pos);
        out += instr.substr(pos, at - pos);
        pos = at + word.size();
        std::string bare = word;
        const bool quoted = bare.size() >= 2 && bare.front() == '"' && bare.back() == '"';
        if (quoted) {
            bare = bare.substr(1, bare.size() - 2);
        }
        const auto it = m_bookmarkNames.find(bare);
        if (!first && it != m_bookmarkNames.end() && it->second != bare) {
            out += quoted ? '"' + it->second + '"' : it->second;
            changed = true;
        } else {
            out += word;
        }
        first = false;
        m_fieldNameDue = false;
    }
    out += instr.substr(pos);
    if (!changed) {
        return;
    }
    if (isAttribute) {
        holder.attribute("w:instr").set_value(out.c_str());
    } else {
        holder.text().set(out.c_str());
    }
}

void PastedIds::remapContentControlId(pugi::xml_node element) {
    auto val = element.attribute("w:val");
    if (!val) {
        return;
    }
    auto& used = m_target.ids.contentControlIds;
    std::int64_t id = val.as_llong();
    if (used.claim(id)) {
        return;
    }
    // w:id is a signed 32-bit number; Word writes random ones, so counting up finds a gap soon.
    do {
        id = id >= 0x7FFFFFFF ? 1 : id + 1;
    } while (!used.claim(id));
    val.set_value(id);
}

void PastedIds::remapShapeIds(pugi::xml_node element, std::string_view local,
                              std::string_view office) {
    auto renamed = [](std::unordered_map<std::string, std::string>& map,
                      ClaimSet<std::string>& used, const std::string& id) {
        const auto known = map.find(id);
        if (known != map.end()) {
            return known->second; // the same shape in Choice and Fallback, or a repeat
        }
        std::string result = used.claim(id) ? id : freshShapeId(id, used);
        used.claim(result);
        map.emplace(id, result);
        return result;
    };
    if (local == "OLEObject" || local == "control") {
        // These name the VML shape that shows them, which came before them.
        auto shape = element.attribute(local == "control" ? "w:shapeid" : "ShapeID");
        const auto it = shape ? m_shapeIds.find(shape.value()) : m_shapeIds.end();
        if (it != m_shapeIds.end()) {
            shape.set_value(it->second.c_str());
        }
        return;
    }
    if (local == "shapetype") {
        return; // shape types are shared definitions that equal ids describe equally
    }
    if (auto id = element.attribute("id"); id && *id.value() != '\0') {
        id.set_value(renamed(m_shapeIds, m_target.ids.shapeIds, id.value()).c_str());
    }
    if (office.empty()) {
        return;
    }
    const std::string spidName = std::string(office) + ":spid";
    if (auto spid = element.attribute(spidName.c_str()); spid && *spid.value() != '\0') {
        spid.set_value(renamed(m_shapeSpids, m_target.ids.shapeSpids, spid.value()).c_str());
    }
}

} // namespace paperloom::engine
