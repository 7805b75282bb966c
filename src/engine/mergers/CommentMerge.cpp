// Comments and the parts around them: threads (commentsExtended), durable ids (commentsIds,
// commentsExtensible) and the people who wrote them.
#include "engine/mergers/CommentMerge.h"

#include "engine/model/BlankDocument.h"
#include "engine/package/Xml.h"
#include "engine/paste/PasteRemap.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>
#include <vector>

namespace paperloom::engine {
namespace {

/// The first attribute of element with this local name, whatever its prefix.
pugi::xml_attribute attributeNamed(const pugi::xml_node& element, std::string_view local) {
    for (auto attr = element.first_attribute(); attr; attr = attr.next_attribute()) {
        if (localName(attr.name()) == local && !prefixOf(attr.name()).empty()) {
            return attr;
        }
    }
    return {};
}

std::vector<std::string> paragraphIds(const pugi::xml_node& comment) {
    std::vector<std::string> ids;
    forEachElement(comment, [&](pugi::xml_node element) {
        if (std::strcmp(element.name(), "w:p") == 0) {
            ids.emplace_back(element.attribute("w14:paraId").value());
        }
        return true;
    });
    return ids;
}

/// One of the parts that sit beside comments.xml, parsed, as the target has it or new.
class SidePart {
public:
    /// Opens the target's part of this kind; creates it in the form of the source's (same
    /// document element, namespaces, relationship and content type) when the target has none.
    SidePart(PastedDocument& source, DocumentModel& target, const std::string& kind,
             const std::string& sourcePart, const pugi::xml_node& sourceRoot)
        : m_source(source), m_target(target), m_kind(kind) {
        const Relationship* rel = target.relsOf(target.mainPart).firstOfType(kind);
        if (rel != nullptr && !rel->external) {
            try {
                const std::string name = resolvePartName(target.mainPart, rel->target);
                if (target.package.contains(name)) {
                    m_name = name;
                    m_doc = parseXml(target.package.text(name), name);
                    return;
                }
            } catch (const PackageError&) {
                // a target that leaves the package is no part of ours: make a new one
            }
        }
        m_sourcePart = sourcePart;
        auto root = m_doc.append_copy(sourceRoot);
        while (root.first_child()) {
            root.remove_child(root.first_child());
        }
    }

    [[nodiscard]] pugi::xml_node root() const { return m_doc.document_element(); }

    /// Appends a copy of a source element, with the namespaces it needs declared.
    pugi::xml_node append(const pugi::xml_node& element, const pugi::xml_node& sourceRoot) {
        if (m_namespaces.empty()) {
            m_namespaces = namespacesOf(root());
        }
        auto copy = root().append_copy(element);
        declareMissingNamespaces(copy, sourceRoot, m_namespaces);
        m_changed = true;
        return copy;
    }

    /// Stores the part when something was added; a new part is related from the main part.
    void save() {
        if (!m_changed) {
            return;
        }
        DocumentModel& target = m_target;
        if (m_name.empty()) {
            m_name = target.uniquePartName(partFolder(target.mainPart) +
                                           m_sourcePart.substr(m_sourcePart.rfind('/') + 1));
            const Relationship* rel = m_source.relsOf(m_source.mainPart()).firstOfType(m_kind);
            target.relsForEdit(target.mainPart)
                .add(rel->type, relativeTarget(target.mainPart, m_name), false, true);
            std::string type = m_source.contentTypes().typeOf(m_sourcePart);
            if (type.empty() || type == "application/xml") {
                type = "application/vnd.openxmlformats-officedocument.wordprocessingml." + m_kind +
                       "+xml";
            }
            target.contentTypes.setOverride(m_name, type);
        }
        target.putPart(m_name, PartData::fromText(serializeDocument(m_doc)));
    }

private:
    PastedDocument& m_source;
    DocumentModel& m_target;
    std::string m_kind;
    std::string m_sourcePart; // set while the target has no such part yet
    std::string m_name;
    pugi::xml_document m_doc;
    std::vector<std::pair<std::string, std::string>> m_namespaces;
    bool m_changed = false;
};

/// Wraps each VML picture of a comment that no alternative content holds yet in one that
/// offers it to readers of Word 2010's ink (see CommentMerger), with no fallback for others.
void offerPicturesToInkReaders(pugi::xml_node comment, const std::string& pictName) {
    std::vector<pugi::xml_node> pictures;
    forEachElement(comment, [&](pugi::xml_node element) {
        if (localName(element.name()) == "AlternateContent") {
            return false;
        }
        if (pictName == element.name()) {
            pictures.push_back(element);
            return false;
        }
        return true;
    });
    for (auto pict : pictures) {
        auto parent = pict.parent();
        auto alternative = parent.insert_child_before("mc:AlternateContent", pict);
        alternative.append_attribute("xmlns:mc") =
            "http://schemas.openxmlformats.org/markup-compatibility/2006";
        alternative.append_attribute("xmlns:wpi") =
            "http://schemas.microsoft.com/office/word/2010/wordprocessingInk";
        auto choice = alternative.append_child("mc:Choice");
        choice.append_attribute("Requires") = "wpi";
        choice.append_move(pict);
    }
}

/// The source's part of a kind beside the comments, parsed; false when it has none.
bool openSource(PastedDocument& source, const std::string& kind, std::string& part,
                pugi::xml_document& doc) {
    part = source.partOfKind(kind);
    if (part.empty()) {
        return false;
    }
    doc = parseXml(source.package().text(part), part);
    return static_cast<bool>(doc.document_element());
}

} // namespace

CommentMerger::CommentMerger(PastedDocument& source, DocumentModel& target)
    : m_source(source), m_target(target), m_afterOtherContent(!target.body.isEmpty()) {}

const pugi::xml_document& CommentMerger::sourceComments() {
    if (!m_sourceCommentsRead) {
        m_sourceCommentsRead = true;
        const std::string part = m_source.partOfKind("comments");
        if (!part.empty()) {
            m_sourceComments = parseXml(m_source.package().text(part), part);
            for (auto comment : m_sourceComments.document_element().children("w:comment")) {
                ++m_commentCounts[comment.attribute("w:id").value()];
            }
        }
    }
    return m_sourceComments;
}

std::string CommentMerger::commentKey(std::string_view local, const std::string& sourceId) {
    static_cast<void>(sourceComments());
    const auto count = m_commentCounts.find(sourceId);
    if (count == m_commentCounts.end()) {
        return {};
    }
    // A source that repeats a comment id: the n-th comment of that id gets an id of its own,
    // and the n-th range and reference of that id go with it; further ones with the last.
    unsigned& seen = m_commentsSeen[std::string(local) + ':' + sourceId];
    const unsigned index = std::min(seen++, count->second - 1);
    return index == 0 ? sourceId : sourceId + '#' + std::to_string(index);
}

void CommentMerger::merge(PasteRemap& remap) {
    const std::string sourcePart = m_source.partOfKind("comments");
    if (sourcePart.empty()) {
        return;
    }
    const auto sourceRoot = sourceComments().document_element();
    XmlPart& part = m_target.ensurePart(
        m_target.comments, "comments", "word/comments.xml",
        "application/vnd.openxmlformats-officedocument.wordprocessingml.comments+xml",
        blankStartTag("w:comments") + "</w:comments>");
    auto root = part.edit().document_element();
    const auto namespaces = namespacesOf(root);
    const std::string wordPrefix = prefixFor(sourceRoot, ns::W);
    const std::string pictName = (wordPrefix.empty() ? "" : wordPrefix + ":") + "pict";
    // The threads name a comment by the w14:paraId of its last paragraph, which the paste may
    // have renumbered.
    std::unordered_map<std::string, std::string> paraIds;
    for (auto comment : sourceRoot.children("w:comment")) {
        const auto before = paragraphIds(comment);
        auto copy = root.append_copy(comment);
        remap.remap(copy, sourceRoot, sourcePart, part.name());
        declareMissingNamespaces(copy, sourceRoot, namespaces);
        if (m_afterOtherContent) {
            offerPicturesToInkReaders(copy, pictName);
        }
        const auto after = paragraphIds(copy);
        for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
            if (!before[i].empty() && !after[i].empty()) {
                paraIds.emplace(before[i], after[i]);
            }
        }
    }
    mergeThreads(paraIds);
    mergeExtensions(mergeIds(paraIds));
    mergePeople();
}

void CommentMerger::mergeThreads(const std::unordered_map<std::string, std::string>& paraIds) {
    std::string sourcePart;
    pugi::xml_document doc;
    if (!openSource(m_source, "commentsExtended", sourcePart, doc)) {
        return;
    }
    const auto sourceRoot = doc.document_element();
    SidePart part(m_source, m_target, "commentsExtended", sourcePart, sourceRoot);
    for (auto entry : sourceRoot.children()) {
        const auto para = attributeNamed(entry, "paraId");
        const auto it = para ? paraIds.find(para.value()) : paraIds.end();
        if (localName(entry.name()) != "commentEx" || it == paraIds.end()) {
            continue; // an entry for a comment that is not there would name another one
        }
        auto copy = part.append(entry, sourceRoot);
        attributeNamed(copy, "paraId").set_value(it->second.c_str());
        if (auto parent = attributeNamed(copy, "paraIdParent")) {
            const auto found = paraIds.find(parent.value());
            if (found != paraIds.end()) {
                parent.set_value(found->second.c_str());
            } else {
                copy.remove_attribute(parent); // a reply to nothing is a comment of its own
            }
        }
    }
    part.save();
}

std::unordered_map<std::string, std::string>
CommentMerger::mergeIds(const std::unordered_map<std::string, std::string>& paraIds) {
    std::unordered_map<std::string, std::string> durableIds;
    std::string sourcePart;
    pugi::xml_document doc;
    if (!openSource(m_source, "commentsIds", sourcePart, doc)) {
        return durableIds;
    }
    const auto sourceRoot = doc.document_element();
    SidePart part(m_source, m_target, "commentsIds", sourcePart, sourceRoot);
    std::unordered_set<unsigned long> used;
    for (auto entry : part.root().children()) {
        if (auto durable = attributeNamed(entry, "durableId")) {
            used.insert(std::strtoul(durable.value(), nullptr, 16));
        }
    }
    for (auto entry : sourceRoot.children()) {
        const auto para = attributeNamed(entry, "paraId");
        const auto durable = attributeNamed(entry, "durableId");
        const auto it = para ? paraIds.find(para.value()) : paraIds.end();
        if (localName(entry.name()) != "commentId" || it == paraIds.end() || !durable) {
            continue;
        }
        // Durable ids are unique in a document, positive and below 0x7FFFFFFF.
        unsigned long value = std::strtoul(durable.value(), nullptr, 16);
        while (value == 0 || value >= 0x7FFFFFFFul || !used.insert(value).second) {
            value = value + 1 >= 0x7FFFFFFFul ? 1 : value + 1;
        }
        char text[9];
        std::snprintf(text, sizeof text, "%08lX", value);
        durableIds.emplace(durable.value(), text);
        auto copy = part.append(entry, sourceRoot);
        attributeNamed(copy, "paraId").set_value(it->second.c_str());
        attributeNamed(copy, "durableId").set_value(text);
    }
    part.save();
    return durableIds;
}

void CommentMerger::mergeExtensions(
    const std::unordered_map<std::string, std::string>& durableIds) {
    std::string sourcePart;
    pugi::xml_document doc;
    if (!openSource(m_source, "commentsExtensible", sourcePart, doc)) {
        return;
    }
    const auto sourceRoot = doc.document_element();
    SidePart part(m_source, m_target, "commentsExtensible", sourcePart, sourceRoot);
    for (auto entry : sourceRoot.children()) {
        const auto durable = attributeNamed(entry, "durableId");
        const auto it = durable ? durableIds.find(durable.value()) : durableIds.end();
        if (localName(entry.name()) != "commentExtensible" || it == durableIds.end()) {
            continue;
        }
        auto copy = part.append(entry, sourceRoot);
        attributeNamed(copy, "durableId").set_value(it->second.c_str());
    }
    part.save();
}

void CommentMerger::mergePeople() {
    std::string sourcePart;
    pugi::xml_document doc;
    if (!openSource(m_source, "people", sourcePart, doc)) {
        return;
    }
    const auto sourceRoot = doc.document_element();
    SidePart part(m_source, m_target, "people", sourcePart, sourceRoot);
    std::unordered_set<std::string> authors;
    for (auto person : part.root().children()) {
        authors.insert(attributeNamed(person, "author").value());
    }
    for (auto person : sourceRoot.children()) {
        if (localName(person.name()) == "person" &&
            authors.insert(attributeNamed(person, "author").value()).second) {
            part.append(person, sourceRoot);
        }
    }
    part.save();
}

} // namespace paperloom::engine
