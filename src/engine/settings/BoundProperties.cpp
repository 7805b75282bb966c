// Content controls bound to a package's core or extended properties, kept showing that
// package's values.
#include "engine/settings/BoundProperties.h"

#include "engine/package/AsciiText.h"
#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"

#include <cctype>
#include <cstring>
#include <map>
#include <vector>

namespace paperloom::engine {
namespace {

// The store ids by which bindings name the package's own properties parts.
constexpr std::string_view kCoreStore = "{6c3c8bc8-f283-45ae-878a-bab7291924a1}";
constexpr std::string_view kExtendedStore = "{6668398d-a668-4e3e-a5eb-62b293d839f1}";

/// The document of the package's properties part of one relationship type, or an empty one.
pugi::xml_document propertiesPart(const Package& package, const Relationships& rels,
                                  std::string_view type) {
    try {
        const Relationship* rel = rels.firstOfType(type);
        if (rel == nullptr || rel->external) {
            return {};
        }
        const std::string part = resolvePartName("", rel->target);
        if (!package.contains(part)) {
            return {};
        }
        return parseXml(package.text(part), part);
    } catch (const PackageError&) {
        return {}; // properties we cannot read hold no value a control could show
    }
}

/// The namespace an element's name is in, from the declarations in scope.
std::string_view namespaceOf(const pugi::xml_node& element) {
    const auto prefix = prefixOf(element.name());
    const std::string declaration = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
    for (auto node = element; node.type() == pugi::node_element; node = node.parent()) {
        if (const auto uri = node.attribute(declaration.c_str())) {
            return uri.value();
        }
    }
    return {};
}

/// The prefixes a binding declares for its path ("xmlns:ns0='uri' xmlns:ns1='uri'").
std::map<std::string, std::string, std::less<>> prefixMappings(std::string_view text) {
    std::map<std::string, std::string, std::less<>> out;
    constexpr std::string_view kDeclaration = "xmlns:";
    for (auto at = text.find(kDeclaration); at != std::string_view::npos;
         at = text.find(kDeclaration, at)) {
        at += kDeclaration.size();
        const auto equals = text.find('=', at);
        if (equals == std::string_view::npos || equals + 1 >= text.size()) {
            break;
        }
        const char quote = text[equals + 1];
        const auto end = text.find(quote, equals + 2);
        if ((quote != '\'' && quote != '"') || end == std::string_view::npos) {
            break;
        }
        out.emplace(std::string(text.substr(at, equals - at)),
                    std::string(text.substr(equals + 2, end - equals - 2)));
        at = end + 1;
    }
    return out;
}

/// Follows a path of element steps ("/ns1:coreProperties[1]/ns0:title[1]") from the document
/// node. Returns the element, an empty node when there is none, or nullopt for a path that is
/// more than such steps (attributes, functions, other predicates) or uses undeclared prefixes.
std::optional<pugi::xml_node>
followPath(pugi::xml_node node, std::string_view path,
           const std::map<std::string, std::string, std::less<>>& prefixes) {
    if (path.empty() || path.front() != '/') {
        return std::nullopt;
    }
    while (!path.empty()) {
        path.remove_prefix(1); // the slash
        const auto slash = path.find('/');
        std::string_view step = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash);
        long index = 1;
        if (const auto bracket = step.find('['); bracket != std::string_view::npos) {
            const auto digits = step.substr(bracket + 1, step.size() - bracket - 2);
            if (step.back() != ']' || digits.empty() || digits.size() > 6) {
                return std::nullopt;
            }
            index = 0;
            for (const char c : digits) {
                if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
                    return std::nullopt;
                }
                index = index * 10 + (c - '0');
            }
            step = step.substr(0, bracket);
        }
        const auto colon = step.find(':');
        const auto local = colon == std::string_view::npos ? step : step.substr(colon + 1);
        if (index < 1 || local.empty() ||
            local.find_first_of("@*().:[] \t\r\n") != std::string_view::npos) {
            return std::nullopt;
        }
        std::string_view uri;
        if (colon != std::string_view::npos) {
            const auto mapped = prefixes.find(step.substr(0, colon));
            if (mapped == prefixes.end()) {
                return std::nullopt;
            }
            uri = mapped->second;
        }
        pugi::xml_node found;
        for (auto child = node.first_child(); child && !found; child = child.next_sibling()) {
            if (child.type() == pugi::node_element && localName(child.name()) == local &&
                namespaceOf(child) == uri && --index == 0) {
                found = child;
            }
        }
        if (!found) {
            return pugi::xml_node();
        }
        node = found;
    }
    return node;
}

/// The text an element holds, all of it.
std::string stringValue(const pugi::xml_node& element) {
    std::string out;
    forEachElement(element, [&out](pugi::xml_node node) {
        for (auto child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
                out += child.value();
            }
        }
        return true;
    });
    return out;
}

/// Line ends as one "\n" each, as the value reads once shown.
std::string normalizedLines(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

/// The runs of a control's content, in order.
std::vector<pugi::xml_node> runsIn(pugi::xml_node content) {
    std::vector<pugi::xml_node> runs;
    forEachElement(content, [&runs](pugi::xml_node element) {
        if (std::strcmp(element.name(), "w:r") == 0) {
            runs.push_back(element);
            return false;
        }
        return true;
    });
    return runs;
}

/// What the runs show as text: tabs and line breaks as characters.
std::string shownText(const std::vector<pugi::xml_node>& runs) {
    std::string out;
    for (const auto& run : runs) {
        for (auto child : run.children()) {
            const char* name = child.name();
            if (std::strcmp(name, "w:t") == 0) {
                out += child.text().get();
            } else if (std::strcmp(name, "w:tab") == 0) {
                out += '\t';
            } else if (std::strcmp(name, "w:br") == 0 || std::strcmp(name, "w:cr") == 0) {
                out += '\n';
            }
        }
    }
    return out;
}

/// Appends text to a run: its lines separated by breaks, its tabs as tabs.
void appendText(pugi::xml_node run, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\n' && text[i] != '\t') {
            continue;
        }
        if (i > start) {
            auto t = run.append_child("w:t");
            const auto piece = text.substr(start, i - start);
            if (std::isspace(static_cast<unsigned char>(piece.front())) != 0 ||
                std::isspace(static_cast<unsigned char>(piece.back())) != 0) {
                t.append_attribute("xml:space") = "preserve";
            }
            t.text().set(std::string(piece).c_str());
        }
        if (i < text.size()) {
            run.append_child(text[i] == '\n' ? "w:br" : "w:tab");
        }
        start = i + 1;
    }
}

/// Writes value into a plain text control's content as its one run, with the formatting of
/// its first run; replacing a placeholder, with the formatting the control gives its text where
/// it gives one. Returns false, leaving it as it is, for content of more than one paragraph or
/// of tables, which no plain text control has, and for empty content outside a paragraph.
bool showValue(const pugi::xml_node& properties, pugi::xml_node content, const std::string& value,
               bool placeholder) {
    pugi::xml_node container = content;
    for (auto child : content.children()) {
        const char* name = child.name();
        if (std::strcmp(name, "w:tbl") == 0 || std::strcmp(name, "w:tr") == 0 ||
            std::strcmp(name, "w:tc") == 0 ||
            (std::strcmp(name, "w:p") == 0 && container != content)) {
            return false;
        }
        if (std::strcmp(name, "w:p") == 0) {
            container = child;
        }
    }
    const auto runs = runsIn(container);
    if (!placeholder && shownText(runs) == value) {
        return true;
    }
    if (runs.empty() && container == content &&
        std::strcmp(content.parent().parent().name(), "w:p") != 0) {
        return false; // empty content between paragraphs: no place a run may take
    }
    const auto format = placeholder ? properties.child("w:rPr") : pugi::xml_node();
    pugi::xml_node run;
    if (runs.empty()) {
        run = container.append_child("w:r");
    } else {
        run = runs.front();
        for (auto other = runs.begin() + 1; other != runs.end(); ++other) {
            other->parent().remove_child(*other);
        }
        for (auto child = run.first_child(); child;) {
            const auto next = child.next_sibling();
            if (std::strcmp(child.name(), "w:rPr") != 0 || format) {
                run.remove_child(child);
            }
            child = next;
        }
    }
    if (format) {
        run.prepend_copy(format);
    }
    appendText(run, value);
    return true;
}

} // namespace

BoundProperties::BoundProperties(const Package& package) {
    if (!package.contains("_rels/.rels")) {
        return;
    }
    try {
        const auto rels = Relationships::parse(package.text("_rels/.rels"), "_rels/.rels");
        m_core = propertiesPart(package, rels, "core-properties");
        m_extended = propertiesPart(package, rels, "extended-properties");
    } catch (const PackageError&) {
        // a package without readable relationships has no properties a control could show
    }
}

bool BoundProperties::mayHoldBindings(std::string_view text) {
    // The store ids' first group, as writers spell it in either case.
    for (const char* key : {"6C3C8BC8", "6c3c8bc8", "6668398D", "6668398d"}) {
        if (text.find(key) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

bool BoundProperties::namesProperties(const pugi::xml_node& binding) {
    const std::string store = asciiLower(binding.attribute("w:storeItemID").value());
    return store == kCoreStore || store == kExtendedStore;
}

std::optional<std::string> BoundProperties::valueOf(const pugi::xml_node& binding) const {
    const std::string store = asciiLower(binding.attribute("w:storeItemID").value());
    const pugi::xml_document* part = nullptr;
    if (store == kCoreStore) {
        part = &m_core;
    } else if (store == kExtendedStore) {
        part = &m_extended;
    } else {
        return std::nullopt;
    }
    return valueIn(*part, binding);
}

std::optional<std::string> BoundProperties::valueIn(const pugi::xml_node& data,
                                                    const pugi::xml_node& binding) {
    const auto element = followPath(data, binding.attribute("w:xpath").value(),
                                    prefixMappings(binding.attribute("w:prefixMappings").value()));
    if (!element) {
        return std::nullopt;
    }
    return *element ? normalizedLines(stringValue(*element)) : std::string();
}

bool BoundProperties::state(pugi::xml_node root) const {
    std::vector<pugi::xml_node> controls;
    forEachElement(root, [&controls](pugi::xml_node element) {
        if (std::strcmp(element.name(), "w:dataBinding") == 0 &&
            std::strcmp(element.parent().name(), "w:sdtPr") == 0) {
            controls.push_back(element.parent().parent());
        }
        return true;
    });
    bool changed = false;
    // Last first: writing a value drops the runs of the content, with whatever control a
    // damaged document nests in them, which is then done with.
    for (auto at = controls.rbegin(); at != controls.rend(); ++at) {
        auto control = *at;
        auto properties = control.child("w:sdtPr");
        const auto binding = properties.child("w:dataBinding");
        const auto value = valueOf(binding);
        if (!value) {
            continue;
        }
        properties.remove_child(binding);
        changed = true;
        auto content = control.child("w:sdtContent");
        if (value->empty() || !properties.child("w:text") || !content) {
            continue; // an empty property shows the content as it is, the placeholder often
        }
        if (showValue(properties, content, *value, isOnFlag(properties.child("w:showingPlcHdr")))) {
            properties.remove_child("w:showingPlcHdr");
        }
    }
    return changed;
}

} // namespace paperloom::engine
