// Content controls bound to custom XML: the bound parts travel with the paste, and bindings
// keep naming the data they were made for.
#include "engine/mergers/CustomXmlMerge.h"

#include "engine/mergers/PartMerge.h"
#include "engine/package/AsciiText.h"
#include "engine/package/Xml.h"
#include "engine/settings/BoundProperties.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>

namespace paperloom::engine {
namespace {

pugi::xml_attribute attributeNamed(const pugi::xml_node& element, std::string_view local) {
    for (auto attr = element.first_attribute(); attr; attr = attr.next_attribute()) {
        if (localName(attr.name()) == local) {
            return attr;
        }
    }
    return {};
}

/// A new item id in the GUID form, derived from the old one so that joins stay reproducible.
std::string derivedGuid(const std::string& id, unsigned salt) {
    std::uint64_t hash = 1469598103934665603ull;
    for (const char c : id + '#' + std::to_string(salt)) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    const std::uint64_t second = hash * 0x9E3779B97F4A7C15ull;
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-4%03X-%04X-%012llX}",
                  static_cast<unsigned>(hash >> 32), static_cast<unsigned>(hash >> 16) & 0xFFFF,
                  static_cast<unsigned>(hash) & 0xFFF,
                  0x8000u | (static_cast<unsigned>(second >> 48) & 0x3FFF),
                  static_cast<unsigned long long>(second & 0xFFFFFFFFFFFFull));
    return text;
}

using FindRels = std::function<const Relationships&(const std::string&)>;
using HasPart = std::function<bool(const std::string&)>;
using PartText = std::function<std::string(const std::string&)>;

/// The custom XML parts a main part relates to, by their item id (lower case).
void indexItems(const std::string& mainPart, const FindRels& relsOf, const HasPart& has,
                const PartText& text, std::unordered_map<std::string, CustomXmlItem>& out) {
    for (const auto& rel : relsOf(mainPart).all()) {
        const auto slash = rel.type.rfind('/');
        if (rel.external || rel.type.substr(slash + 1) != "customXml") {
            continue;
        }
        try {
            const std::string item = resolvePartName(mainPart, rel.target);
            const Relationship* props =
                has(item) ? relsOf(item).firstOfType("customXmlProps") : nullptr;
            if (props == nullptr || props->external) {
                continue;
            }
            const std::string propsPart = resolvePartName(item, props->target);
            if (!has(propsPart)) {
                continue;
            }
            const auto doc = parseXml(text(propsPart), propsPart);
            const std::string id = attributeNamed(doc.document_element(), "itemID").value();
            if (!id.empty()) {
                out.emplace(asciiLower(id), CustomXmlItem{item, propsPart, id});
            }
        } catch (const PackageError&) {
            // a custom XML part we cannot read is one that no binding can use either
        }
    }
}

} // namespace

CustomXmlMerger::CustomXmlMerger(PastedDocument& source, DocumentModel& target, PartMerger& parts)
    : m_source(source), m_target(target), m_parts(parts) {}

void CustomXmlMerger::index() {
    if (m_indexed) {
        return;
    }
    m_indexed = true;
    const Package& source = m_source.package();
    indexItems(
        m_source.mainPart(),
        [this](const std::string& part) -> const Relationships& { return m_source.relsOf(part); },
        [&source](const std::string& part) { return source.contains(part); },
        [&source](const std::string& part) { return source.text(part); }, m_sourceItems);
    indexItems(
        m_target.mainPart,
        [this](const std::string& part) -> const Relationships& { return m_target.relsOf(part); },
        [this](const std::string& part) { return m_target.package.contains(part); },
        [this](const std::string& part) { return m_target.package.text(part); }, m_targetItems);
}

bool CustomXmlMerger::sourceMayFill(const pugi::xml_node& binding) {
    if (!m_sourceDataRead) {
        m_sourceDataRead = true;
        const Package& source = m_source.package();
        for (const auto& [id, item] : m_sourceItems) {
            try {
                m_sourceData.push_back(std::make_unique<pugi::xml_document>(
                    parseXml(source.text(item.itemPart), item.itemPart)));
            } catch (const PackageError&) {
                // data that does not parse fills no control
            }
        }
    }
    return std::any_of(m_sourceData.begin(), m_sourceData.end(), [&](const auto& data) {
        const auto value = BoundProperties::valueIn(*data, binding);
        return !value || !value->empty();
    });
}

bool CustomXmlMerger::rebind(pugi::xml_node binding) {
    auto store = attributeNamed(binding, "storeItemID");
    if (!store || *store.value() == '\0') {
        return true;
    }
    index();
    // Alone, LibreOffice showed the control's own content when its data held no value, unless
    // another part of the document had one at that path; joined, it would take another
    // document's (the cover page properties of most templates share one item id and path).
    if (!BoundProperties::namesProperties(binding) && !sourceMayFill(binding)) {
        return false;
    }
    const std::string key = asciiLower(store.value());
    const auto known = m_storeItemIds.find(key);
    if (known != m_storeItemIds.end()) {
        store.set_value(known->second.c_str());
        return true;
    }
    const auto item = m_sourceItems.find(key);
    if (item == m_sourceItems.end()) {
        // Bound to the document's properties, or to data the source lacks: nothing to carry.
        m_storeItemIds.emplace(key, store.value());
        return true;
    }
    std::string id = store.value();
    const auto existing = m_targetItems.find(key);
    if (existing != m_targetItems.end()) {
        if (m_source.package().text(item->second.itemPart) ==
            m_target.package.text(existing->second.itemPart)) {
            m_storeItemIds.emplace(key, id); // the same data: both documents show it
            return true;
        }
        // Different data under the same id (two documents from one template): the pasted
        // controls keep showing their own.
        unsigned salt = 0;
        do {
            id = derivedGuid(item->second.itemId, salt++);
        } while (m_targetItems.count(asciiLower(id)) != 0 ||
                 m_sourceItems.count(asciiLower(id)) != 0);
        m_parts.giveItemId(item->second.propsPart, id);
    }
    const std::string relType = std::string(ns::RelTypeBase) + "customXml";
    const std::string copied = m_parts.ensureCopied(item->second.itemPart, relType);
    m_target.relsForEdit(m_target.mainPart)
        .add(relType, relativeTarget(m_target.mainPart, copied), false, true);
    m_targetItems.emplace(asciiLower(id), CustomXmlItem{copied, {}, id});
    m_storeItemIds.emplace(key, id);
    store.set_value(id.c_str());
    return true;
}

} // namespace paperloom::engine
