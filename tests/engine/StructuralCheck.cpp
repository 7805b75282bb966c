// The structural check of written packages, for the engine tests and the corpus joins.
#include "StructuralCheck.h"

#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"
#include "engine/package/ZipReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>

namespace paperloom::engine::testing {
namespace {

namespace uri {
constexpr const char* W14 = "http://schemas.microsoft.com/office/word/2010/wordml";
constexpr const char* W15 = "http://schemas.microsoft.com/office/word/2012/wordml";
constexpr const char* W16Cid = "http://schemas.microsoft.com/office/word/2016/wordml/cid";
constexpr const char* W16Cex = "http://schemas.microsoft.com/office/word/2018/wordml/cex";
constexpr const char* Wp = "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing";
constexpr const char* Vml = "urn:schemas-microsoft-com:vml";
constexpr const char* DataStore = "http://schemas.openxmlformats.org/officeDocument/2006/customXml";
constexpr const char* DiagramDrawing = "http://schemas.microsoft.com/office/drawing/2008/diagram";
} // namespace uri

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

using Scope = std::map<std::string, std::string, std::less<>>;

/// One element with its names resolved through the namespace declarations in scope.
struct Resolved {
    pugi::xml_node node;
    const Scope* scope;
    std::string ns;
    std::string_view local;

    [[nodiscard]] std::string nsOf(std::string_view prefix) const {
        const auto it = scope->find(prefix);
        return it == scope->end() ? std::string() : it->second;
    }
    /// The value of the attribute in namespace uri with this local name ("" when absent).
    [[nodiscard]] std::string attr(const char* uri, std::string_view wanted) const {
        for (auto a = node.first_attribute(); a; a = a.next_attribute()) {
            const auto prefix = prefixOf(a.name());
            if (!prefix.empty() && localName(a.name()) == wanted && nsOf(prefix) == uri) {
                return a.value();
            }
        }
        return {};
    }
};

/// Walks a part in document order with namespace prefixes resolved as declared in scope.
void walkResolved(const pugi::xml_node& root, const std::function<void(const Resolved&)>& visit) {
    // Scopes are shared down the tree and copied only where an element declares a prefix.
    std::vector<std::pair<pugi::xml_node, std::shared_ptr<const Scope>>> stack;
    stack.emplace_back(root, std::make_shared<const Scope>());
    while (!stack.empty()) {
        auto [node, scope] = std::move(stack.back());
        stack.pop_back();
        std::shared_ptr<Scope> declared;
        for (auto a = node.first_attribute(); a; a = a.next_attribute()) {
            const std::string_view name = a.name();
            if (name.rfind("xmlns", 0) != 0 || (name.size() > 5 && name[5] != ':')) {
                continue;
            }
            if (!declared) {
                declared = std::make_shared<Scope>(*scope);
            }
            (*declared)[std::string(name.size() > 5 ? name.substr(6) : "")] = a.value();
        }
        if (declared) {
            scope = declared;
        }
        Resolved element{node, scope.get(), {}, localName(node.name())};
        element.ns = element.nsOf(prefixOf(node.name()));
        visit(element);
        std::vector<pugi::xml_node> children;
        for (auto child : node.children()) {
            if (child.type() == pugi::node_element) {
                children.push_back(child);
            }
        }
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            stack.emplace_back(*it, scope);
        }
    }
}

class Checker {
public:
    explicit Checker(const Package& package) : m_package(package) {}

    std::vector<std::string> run() {
        checkContentTypes();
        checkRelationships();
        findStoryParts();
        for (const auto& name : m_xmlParts) {
            checkPart(name);
        }
        checkDocumentWide();
        std::sort(m_problems.begin(), m_problems.end());
        m_problems.erase(std::unique(m_problems.begin(), m_problems.end()), m_problems.end());
        return m_problems;
    }

private:
    void problem(const std::string& kind, const std::string& detail) {
        m_problems.push_back(kind + ": " + detail);
    }

    void checkContentTypes() {
        std::set<std::string> lowerNames;
        for (const auto& [name, data] : m_package.parts) {
            if (!lowerNames.insert(lower(name)).second) {
                problem("part names differ only in case", name);
            }
        }
        const auto types = parseXml(m_package.text("[Content_Types].xml"), "[Content_Types].xml");
        std::set<std::string> defaults;
        std::set<std::string> overrides;
        for (auto entry : types.document_element().children()) {
            const std::string_view kind = localName(entry.name());
            if (kind == "Default" &&
                !defaults.insert(lower(entry.attribute("Extension").value())).second) {
                problem("two Defaults", entry.attribute("Extension").value());
            } else if (kind == "Override") {
                std::string name = entry.attribute("PartName").value();
                name = lower(name.substr(name.rfind('/', 0) == 0 ? 1 : 0));
                if (!overrides.insert(name).second) {
                    problem("two Overrides", name);
                }
                if (lowerNames.count(name) == 0) {
                    problem("Override for a missing part", name);
                }
            }
        }
        for (const auto& [name, data] : m_package.parts) {
            if (name == "[Content_Types].xml") {
                continue;
            }
            const auto slash = name.rfind('/');
            const auto dot = name.rfind('.');
            const std::string ext =
                dot == std::string::npos || (slash != std::string::npos && dot < slash)
                    ? std::string()
                    : lower(name.substr(dot + 1));
            if (overrides.count(lower(name)) == 0 && defaults.count(ext) == 0) {
                problem("no content type", name);
            }
        }
    }

    void checkRelationships() {
        for (const auto& [name, data] : m_package.parts) {
            const auto at = name.rfind("_rels/");
            if (at == std::string::npos || name.size() < at + 11 ||
                name.compare(name.size() - 5, 5, ".rels") != 0) {
                continue;
            }
            const std::string owner =
                name.substr(0, at) + name.substr(at + 6, name.size() - at - 11);
            Relationships rels;
            try {
                rels = Relationships::parse(m_package.text(name), name);
            } catch (const PackageError& error) {
                problem("unreadable relationships", name + " " + error.what());
                continue;
            }
            std::set<std::string> ids;
            for (const auto& rel : rels.all()) {
                if (!ids.insert(rel.id).second) {
                    problem("duplicate relationship id", rel.id + " in " + name);
                }
                m_rels[owner][rel.id] = rel;
                if (rel.external) {
                    continue;
                }
                try {
                    const std::string target = resolvePartName(owner, rel.target);
                    if (!m_package.contains(target)) {
                        problem("dangling relationship", rel.id + " in " + name + " -> " + target);
                    } else {
                        m_referrers[target].emplace_back(owner, rel.type);
                    }
                } catch (const PackageError&) {
                    problem("relationship leaves the package", rel.id + " in " + name);
                }
            }
        }
    }

    /// The main part and the parts that belong to it by their relationship from it; a glossary
    /// is a document of its own and is left out of document-wide ids.
    void findStoryParts() {
        for (const auto& [id, rel] : m_rels[""]) {
            if (!rel.external && rel.type.size() > 14 &&
                rel.type.compare(rel.type.size() - 14, 14, "officeDocument") == 0) {
                m_main = resolvePartName("", rel.target);
            }
        }
        std::string glossaryFolder;
        for (const auto& [id, rel] : m_rels[m_main]) {
            const auto slash = rel.type.rfind('/');
            const std::string kind = rel.type.substr(slash + 1);
            if (rel.external) {
                continue;
            }
            const std::string part = resolvePartName(m_main, rel.target);
            m_byKind[kind] = part;
            if (kind == "glossaryDocument") {
                glossaryFolder = partFolder(part);
            }
        }
        for (const auto& [name, data] : m_package.parts) {
            const bool xml = name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0;
            if (!xml || name.find("_rels/") != std::string::npos || name == "[Content_Types].xml") {
                continue;
            }
            m_xmlParts.push_back(name);
            m_inStory[name] = glossaryFolder.empty() || glossaryFolder == partFolder(m_main) ||
                              name.rfind(glossaryFolder, 0) != 0;
        }
    }

    void countDocumentWide(const std::string& kind, const std::string& part,
                           const std::string& value) {
        if (!value.empty() && m_inStory[part]) {
            m_documentWide[kind][value].push_back(part);
        }
    }

    void checkPart(const std::string& name) {
        pugi::xml_document doc;
        try {
            doc = parseXml(m_package.text(name), name);
        } catch (const PackageError& error) {
            problem("unreadable XML", name + " " + error.what());
            return;
        }
        const auto& rels = m_rels[name];
        std::map<std::string, std::map<std::string, int>> perPart;
        const bool comments = name == m_byKind["comments"];
        walkResolved(doc.document_element(), [&](const Resolved& e) {
            const auto node = e.node;
            for (auto a = node.first_attribute(); a; a = a.next_attribute()) {
                const auto prefix = prefixOf(a.name());
                if (prefix.empty() || prefix == "xmlns") {
                    continue;
                }
                if (e.nsOf(prefix) == ns::R && *a.value() != '\0' && rels.count(a.value()) == 0) {
                    problem("reference to a missing relationship", name + " " + a.value());
                }
            }
            const std::string para = e.attr(uri::W14, "paraId");
            if (!para.empty()) {
                ++perPart["w14:paraId"][para];
                const unsigned long value = std::strtoul(para.c_str(), nullptr, 16);
                if (value == 0 || value >= 0x80000000ul) {
                    problem("w14:paraId out of range", para + " in " + name);
                }
                if (comments) {
                    m_commentParas.insert(para);
                }
            }
            const std::string text = e.attr(uri::W14, "textId");
            if (!text.empty() && text != "77777777") {
                ++perPart["w14:textId"][text];
            }
            if (e.ns == uri::Wp && e.local == "docPr") {
                countDocumentWide("drawing id", name, node.attribute("id").value());
            } else if (e.ns == uri::Vml && e.local != "shapetype" && node.attribute("id")) {
                ++perPart["VML shape id"][node.attribute("id").value()];
            } else if (e.ns == uri::DiagramDrawing && e.local == "dataModelExt") {
                checkDiagramDrawing(name, node.attribute("relId").value());
            } else if (e.ns == uri::DataStore && e.local == "datastoreItem") {
                m_storeItems.insert(lower(e.attr(uri::DataStore, "itemID")));
            } else if (e.ns == ns::W) {
                checkWordElement(name, e);
            } else if (e.ns == uri::W15 && e.local == "commentEx") {
                m_threadParas.emplace_back(e.attr(uri::W15, "paraId"),
                                           e.attr(uri::W15, "paraIdParent"));
            } else if (e.ns == uri::W15 && e.local == "person") {
                ++perPart["person"][e.attr(uri::W15, "author")];
            } else if (e.ns == uri::W16Cid && e.local == "commentId") {
                ++perPart["durableId"][e.attr(uri::W16Cid, "durableId")];
                m_durableIds.insert(e.attr(uri::W16Cid, "durableId"));
                m_idParas.push_back(e.attr(uri::W16Cid, "paraId"));
            } else if (e.ns == uri::W16Cex && e.local == "commentExtensible") {
                ++perPart["extensible durableId"][e.attr(uri::W16Cex, "durableId")];
                m_extensibleIds.push_back(e.attr(uri::W16Cex, "durableId"));
            }
        });
        for (const auto& [kind, counts] : perPart) {
            for (const auto& [value, count] : counts) {
                if (count > 1) {
                    problem("duplicate " + kind, value + " in " + name);
                }
            }
        }
    }

    void checkWordElement(const std::string& name, const Resolved& e) {
        const auto local = e.local;
        const std::string id = e.attr(ns::W, "id");
        if (local == "bookmarkStart") {
            countDocumentWide("bookmark id", name, id);
        } else if (local == "ins" || local == "del") {
            countDocumentWide(std::string(local) + " id", name, id);
        } else if (local == "id" && std::strcmp(e.node.parent().name(), "w:sdtPr") == 0) {
            countDocumentWide("content control id", name, e.attr(ns::W, "val"));
        } else if (local == "comment" && name == m_byKind["comments"]) {
            countDocumentWide("comment id", name, id);
            m_comments.insert(id);
        } else if ((local == "footnote" && name == m_byKind["footnotes"]) ||
                   (local == "endnote" && name == m_byKind["endnotes"])) {
            countDocumentWide(std::string(local) + " id", name, id);
            m_notes[std::string(local)].insert(id);
        } else if (local == "commentReference" || local == "commentRangeStart" ||
                   local == "commentRangeEnd") {
            m_commentRefs.insert(id);
        } else if (local == "footnoteReference" || local == "endnoteReference") {
            m_noteRefs[std::string(local.substr(0, local.size() - 9))].insert(id);
        } else if ((local == "footnote" || local == "endnote") &&
                   localName(e.node.parent().name()) == std::string(local) + "Pr" &&
                   name == m_byKind["settings"]) {
            m_separatorRefs[std::string(local)].insert(id);
        } else if (local == "style" && name == m_byKind["styles"]) {
            m_styles.insert(e.attr(ns::W, "styleId"));
        } else if ((local == "pStyle" || local == "rStyle" || local == "tblStyle") &&
                   m_inStory[name]) {
            m_styleRefs.emplace(e.attr(ns::W, "val"), name);
        } else if (local == "dataBinding") {
            const std::string item = e.attr(ns::W, "storeItemID");
            if (!item.empty()) {
                m_bindings.emplace(lower(item), name);
            }
        }
    }

    /// A diagram's drawing is named by a relationship of the part that shows the diagram.
    void checkDiagramDrawing(const std::string& dataPart, const std::string& relId) {
        for (const auto& [owner, type] : m_referrers[dataPart]) {
            const auto& rels = m_rels[owner];
            const auto it = rels.find(relId);
            if (it == rels.end() || it->second.type.find("diagramDrawing") == std::string::npos) {
                problem("diagram drawing reference misdirected", dataPart + " " + relId);
            }
        }
    }

    void checkDocumentWide() {
        for (const auto& [kind, values] : m_documentWide) {
            for (const auto& [value, parts] : values) {
                if (parts.size() > 1) {
                    problem("duplicate " + kind, value + " in " + parts.front());
                }
            }
        }
        for (const auto& id : m_commentRefs) {
            if (m_comments.count(id) == 0) {
                problem("reference to a missing comment", id);
            }
        }
        for (const auto& [kind, ids] : m_noteRefs) {
            for (const auto& id : ids) {
                if (m_notes[kind].count(id) == 0) {
                    problem("reference to a missing " + kind, id);
                }
            }
        }
        for (const auto& [kind, ids] : m_separatorRefs) {
            for (const auto& id : ids) {
                if (m_notes[kind].count(id) == 0) {
                    problem("settings name a missing " + kind, id);
                }
            }
        }
        for (const auto& [style, part] : m_styleRefs) {
            if (m_styles.count(style) == 0) {
                problem("undefined style", style + " in " + part);
            }
        }
        std::set<std::string> threadParas;
        for (const auto& [para, parent] : m_threadParas) {
            threadParas.insert(para);
            if (m_commentParas.count(para) == 0) {
                problem("comment thread names a missing paragraph", para);
            }
        }
        for (const auto& [para, parent] : m_threadParas) {
            if (!parent.empty() && threadParas.count(parent) == 0) {
                problem("comment reply to a missing comment", parent);
            }
        }
        for (const auto& para : m_idParas) {
            if (m_commentParas.count(para) == 0) {
                problem("comment id names a missing paragraph", para);
            }
        }
        for (const auto& id : m_extensibleIds) {
            if (m_durableIds.count(id) == 0) {
                problem("comment extension without a comment", id);
            }
        }
        // The core and extended document properties are bound by these ids without a part.
        static const std::set<std::string> kPropertyItems = {
            "{6c3c8bc8-f283-45ae-878a-bab7291924a1}", "{6668398d-a668-4e3e-a5eb-62b293d839f1}"};
        for (const auto& [item, part] : m_bindings) {
            if (m_storeItems.count(item) == 0 && kPropertyItems.count(item) == 0) {
                problem("data binding to a missing custom XML part", item + " in " + part);
            }
        }
    }

    const Package& m_package;
    std::vector<std::string> m_problems;
    std::map<std::string, std::map<std::string, Relationship>> m_rels; // owner -> id -> rel
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> m_referrers;
    std::map<std::string, std::string> m_byKind; // main relationship kind -> part
    std::string m_main;
    std::vector<std::string> m_xmlParts;
    std::map<std::string, bool> m_inStory;
    std::map<std::string, std::map<std::string, std::vector<std::string>>> m_documentWide;
    std::set<std::string> m_comments;
    std::set<std::string> m_commentRefs;
    std::map<std::string, std::set<std::string>> m_notes;
    std::map<std::string, std::set<std::string>> m_noteRefs;
    std::map<std::string, std::set<std::string>> m_separatorRefs; // from settings
    std::set<std::string> m_styles;
    std::multimap<std::string, std::string> m_styleRefs; // style id -> part
    std::set<std::string> m_commentParas;
    std::vector<std::pair<std::string, std::string>> m_threadParas;
    std::vector<std::string> m_idParas;
    std::set<std::string> m_durableIds;
    std::vector<std::string> m_extensibleIds;
    std::set<std::string> m_storeItems;
    std::multimap<std::string, std::string> m_bindings;
};

std::string kindOf(const std::string& problem) {
    return problem.substr(0, problem.find(':'));
}

} // namespace

std::vector<std::string> structuralProblems(const Package& package) {
    try {
        return Checker(package).run();
    } catch (const PackageError& error) {
        return {std::string("unreadable package: ") + error.what()};
    }
}

std::vector<std::string> structuralProblems(const std::filesystem::path& path) {
    try {
        return structuralProblems(readZipPackage(path.string(), PackageLimits{}));
    } catch (const PackageError& error) {
        return {std::string("unreadable package: ") + error.what()};
    }
}

std::vector<std::string> newStructuralProblems(const std::filesystem::path& output,
                                               const std::vector<std::filesystem::path>& sources) {
    std::set<std::string> known;
    for (const auto& source : sources) {
        for (const auto& problem : structuralProblems(source)) {
            known.insert(kindOf(problem));
        }
    }
    std::vector<std::string> fresh;
    for (const auto& problem : structuralProblems(output)) {
        if (known.count(kindOf(problem)) == 0) {
            fresh.push_back(problem);
        }
    }
    return fresh;
}

} // namespace paperloom::engine::testing
