// Paragraphs of nothing but fields keep their formatting after a table of contents.
#include "engine/paste/FieldParagraphs.h"

#include "engine/package/AsciiText.h"
#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string_view>
#include <vector>

namespace paperloom::engine {
namespace {

bool isTableOfContents(std::string_view instruction) {
    const auto start = instruction.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return false;
    }
    instruction.remove_prefix(start);
    return startsWithAsciiNoCase(instruction, "TOC") &&
           (instruction.size() == 3 || instruction[3] == ' ' || instruction[3] == '\t' ||
            instruction[3] == '\\');
}

bool opensTableOfContents(const pugi::xml_node& element) {
    if (std::strcmp(element.name(), "w:fldSimple") == 0) {
        return isTableOfContents(element.attribute("w:instr").value());
    }
    return std::strcmp(element.name(), "w:instrText") == 0 &&
           isTableOfContents(element.text().get());
}

/// Elements of a paragraph that hold runs, or mark a place without showing anything.
bool holdsRuns(std::string_view name) {
    return name == "w:hyperlink" || name == "w:sdt" || name == "w:sdtContent" ||
           name == "w:smartTag" || name == "w:ins" || name == "w:moveTo" || name == "w:customXml" ||
           name == "w:dir" || name == "w:bdo" || name == "w:fldSimple";
}

bool marksAPlace(std::string_view name) {
    return name == "w:pPr" || name == "w:sdtPr" || name == "w:sdtEndPr" ||
           name == "w:bookmarkStart" || name == "w:bookmarkEnd" || name == "w:proofErr" ||
           name == "w:permStart" || name == "w:permEnd" || name == "w:commentRangeStart" ||
           name == "w:commentRangeEnd" || name == "w:moveToRangeStart" ||
           name == "w:moveToRangeEnd" || name == "w:customXmlPr";
}

/// Calls visit(run, inSimpleField) for the runs of a paragraph in order. False when the
/// paragraph holds something besides runs that shows (deleted text, math, ...).
bool forEachRun(const pugi::xml_node& container, bool inSimpleField,
                const std::function<void(pugi::xml_node, bool)>& visit) {
    for (auto child = container.first_child(); child; child = child.next_sibling()) {
        const std::string_view name = child.name();
        if (name == "w:r") {
            visit(child, inSimpleField);
        } else if (holdsRuns(name)) {
            if (!forEachRun(child, inSimpleField || name == "w:fldSimple", visit)) {
                return false;
            }
        } else if (child.type() == pugi::node_element && !marksAPlace(name)) {
            return false;
        }
    }
    return true;
}

/// Run content that takes no room on the line.
bool showsNothing(const pugi::xml_node& child) {
    const std::string_view name = child.name();
    return name == "w:rPr" || name == "w:fldChar" || name == "w:instrText" ||
           name == "w:delInstrText" || name == "w:lastRenderedPageBreak" ||
           (name == "w:t" && *child.text().get() == '\0');
}

/// Whether all the paragraph shows are fields.
bool holdsOnlyFields(const pugi::xml_node& paragraph) {
    int depth = 0;
    bool field = false;
    bool other = false;
    const bool runsOnly = forEachRun(paragraph, false, [&](pugi::xml_node run, bool inSimple) {
        if (inSimple) {
            field = true;
            return;
        }
        for (auto child = run.first_child(); child; child = child.next_sibling()) {
            if (std::strcmp(child.name(), "w:fldChar") == 0) {
                const std::string_view type = child.attribute("w:fldCharType").value();
                if (type == "begin") {
                    ++depth;
                    field = true;
                } else if (type == "end" && depth > 0) {
                    --depth;
                }
            } else if (depth == 0 && !showsNothing(child)) {
                other = true;
            }
        }
    });
    return runsOnly && field && !other;
}

/// Whether a run property goes into the style that restates the run's look: not the style
/// itself, a tracked change, or what shows nothing (proofing, web views).
bool restates(const pugi::xml_node& property) {
    const std::string_view name = property.name();
    return name != "w:rStyle" && name != "w:rPrChange" && name != "w:noProof" &&
           name != "w:webHidden";
}

/// The character styles that restate runs' own properties, added to a styles part as needed.
class FieldStyles {
public:
    explicit FieldStyles(pugi::xml_node stylesRoot) : m_root(stylesRoot) {
        for (auto style : m_root.children("w:style")) {
            m_ids.insert(asciiLower(style.attribute("w:styleId").value()));
            m_names.insert(asciiLower(style.child("w:name").attribute("w:val").value()));
        }
    }

    /// Gives a run that formats its text a style of its properties. True when it did.
    bool styleRun(pugi::xml_node run) {
        auto rPr = run.child("w:rPr");
        std::string key;
        for (auto property = rPr.first_child(); property; property = property.next_sibling()) {
            if (restates(property)) {
                key += serializeNode(property);
            }
        }
        if (key.empty()) {
            return false;
        }
        auto rStyle = orderedChild(rPr, "w:rStyle", kRunPropertyOrder);
        std::string base = rStyle.attribute("w:val").value();
        if (m_ids.count(asciiLower(base)) == 0) {
            base.clear(); // a reference to nothing is dropped by the paste anyway
        }
        auto [found, added] = m_made.try_emplace(base + '\n' + key);
        if (added) {
            found->second = addStyle(base, rPr);
        }
        if (!rStyle.attribute("w:val")) {
            rStyle.append_attribute("w:val");
        }
        rStyle.attribute("w:val") = found->second.c_str();
        return true;
    }

private:
    std::string addStyle(const std::string& base, const pugi::xml_node& rPr) {
        std::string id = "FieldText";
        std::string name = "Field Text";
        for (int n = 2; m_ids.count(asciiLower(id)) != 0 || m_names.count(asciiLower(name)) != 0;
             ++n) {
            id = "FieldText" + std::to_string(n);
            name = "Field Text " + std::to_string(n);
        }
        m_ids.insert(asciiLower(id));
        m_names.insert(asciiLower(name));
        auto style = m_root.append_child("w:style");
        style.append_attribute("w:type") = "character";
        style.append_attribute("w:customStyle") = "1";
        style.append_attribute("w:styleId") = id.c_str();
        style.append_child("w:name").append_attribute("w:val") = name.c_str();
        if (!base.empty()) {
            style.append_child("w:basedOn").append_attribute("w:val") = base.c_str();
        }
        style.append_child("w:semiHidden");
        auto properties = style.append_child("w:rPr");
        for (auto property = rPr.first_child(); property; property = property.next_sibling()) {
            if (restates(property)) {
                properties.append_copy(property);
            }
        }
        return id;
    }

    pugi::xml_node m_root;
    std::set<std::string> m_ids;
    std::set<std::string> m_names;
    std::map<std::string, std::string> m_made;
};

/// Styles the runs of the paragraphs of root that hold only fields, up to the first table of
/// contents. Returns whether it changed any, and sets sawTableOfContents when it met one.
bool styleFieldParagraphs(pugi::xml_node root, FieldStyles& styles, bool& sawTableOfContents) {
    bool changed = false;
    forEachElement(root, [&](pugi::xml_node element) {
        if (sawTableOfContents) {
            return false;
        }
        if (std::strcmp(element.name(), "w:p") != 0) {
            return true;
        }
        if (holdsTableOfContents(element)) {
            sawTableOfContents = true;
        } else if (holdsOnlyFields(element)) {
            forEachRun(element, false, [&](pugi::xml_node run, bool) {
                changed = styles.styleRun(run) || changed;
            });
        }
        return false; // text boxes inside are laid out apart
    });
    return changed;
}

} // namespace

bool holdsTableOfContents(const pugi::xml_node& root) {
    bool found = false;
    forEachElement(root, [&found](pugi::xml_node element) {
        found = found || opensTableOfContents(element);
        return !found;
    });
    return found;
}

Package withFieldFormattingStyled(const Package& source, const std::string& mainPart) {
    Package out = source;
    std::string stylesName;
    std::vector<std::string> headers;
    try {
        const std::string relsName = relsPartName(mainPart);
        if (!source.contains(relsName)) {
            return out;
        }
        const auto rels = Relationships::parse(source.text(relsName), relsName);
        for (const auto& rel : rels.all()) {
            const std::string_view kind =
                std::string_view(rel.type).substr(rel.type.rfind('/') + 1);
            if (rel.external || (kind != "styles" && kind != "header" && kind != "footer")) {
                continue;
            }
            const std::string name = resolvePartName(mainPart, rel.target);
            if (!source.contains(name)) {
                continue;
            }
            if (kind != "styles") {
                headers.push_back(name);
            } else if (stylesName.empty()) {
                stylesName = name;
            }
        }
        if (stylesName.empty()) {
            return out;
        }
        auto styles = parsePart(source, stylesName);
        if (!styles.document_element()) {
            return out;
        }
        FieldStyles made(styles.document_element());
        bool changed = false;
        // Styles the field paragraphs of a part; sets sawTableOfContents when it met one.
        const auto stylePart = [&](const std::string& name, bool& sawTableOfContents) {
            {
                // Most parts hold no field: they are not parsed. The text goes before the part
                // is parsed, so that a long body is not held twice.
                const std::string text = source.text(name);
                if (text.find("w:fldChar") == std::string::npos &&
                    text.find("w:fldSimple") == std::string::npos) {
                    return;
                }
            }
            auto part = parsePart(source, name);
            if (styleFieldParagraphs(part.document_element(), made, sawTableOfContents)) {
                out.parts[name] = PartData::fromText(serializeDocument(part));
                changed = true;
            }
        };
        bool ownTableOfContents = false;
        stylePart(mainPart, ownTableOfContents);
        for (const auto& name : ownTableOfContents ? std::vector<std::string>{} : headers) {
            try {
                bool inHeader = false;
                stylePart(name, inHeader);
            } catch (const PackageError&) {
                // a damaged header: the paste reports it
            }
        }
        if (changed) {
            out.parts[stylesName] = PartData::fromText(serializeDocument(styles));
        }
    } catch (const PackageError&) {
        return source; // the paste reports what is wrong with the package
    }
    return out;
}

} // namespace paperloom::engine
