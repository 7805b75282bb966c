// pugixml wrappers: parsing with our safety rules, compact writing, iterative traversal.
#include "engine/package/Xml.h"

#include "engine/package/Package.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <vector>

namespace paperloom::engine {
namespace {

/// The one place where pugixml's parse status becomes our error.
void checkParse(const pugi::xml_parse_result& result, const std::string& partName) {
    if (result) {
        return;
    }
    const FailureContext where{
        {}, partName, static_cast<std::uint64_t>(result.offset), result.description()};
    if (result.status == pugi::status_out_of_memory) {
        throw PackageError("there is not enough memory to open it", where);
    }
    throw PackageError("the document is damaged (malformed XML)", where);
}

struct StringWriter : pugi::xml_writer {
    std::string& out;
    explicit StringWriter(std::string& target) : out(target) {}
    void write(const void* data, std::size_t size) override {
        out.append(static_cast<const char*>(data), size);
    }
};

} // namespace

namespace {

constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_doctype | pugi::parse_ws_pcdata_single;

/// What every parsed part must pass: no DOCTYPE, a document element, bounded nesting.
void checkParsedDocument(const pugi::xml_document& doc, const pugi::xml_parse_result& result,
                         const std::string& partName) {
    checkParse(result, partName);
    for (auto child = doc.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_doctype) {
            throw PackageError("the document contains XML this program refuses (a DOCTYPE)",
                               partName);
        }
    }
    if (!doc.document_element()) {
        throw PackageError("the document is damaged (an empty XML part)", partName);
    }
    // Iterative depth measurement: pugixml parses without recursion, and so must we walk.
    int depth = 0;
    pugi::xml_node node = doc.document_element();
    while (node) {
        if (node.first_child()) {
            node = node.first_child();
            if (++depth > kMaxXmlDepth) {
                throw PackageError("the document is nested too deeply to open", partName);
            }
            continue;
        }
        while (node && !node.next_sibling() && node != doc.document_element()) {
            node = node.parent();
            --depth;
        }
        if (!node || node == doc.document_element()) {
            break;
        }
        node = node.next_sibling();
    }
}

} // namespace

pugi::xml_document parseXml(std::string_view text, const std::string& partName) {
    pugi::xml_document doc;
    const auto result = doc.load_buffer(text.data(), text.size(), kParseOptions);
    checkParsedDocument(doc, result, partName);
    return doc;
}

pugi::xml_document parsePart(const Package& package, const std::string& partName) {
    const PartData* part = package.find(partName);
    if (part == nullptr) {
        throw PackageError("the document is damaged (a part is missing)", partName);
    }
    part->checkLimits(partName, package.limits); // before the buffer is taken
    const auto size = static_cast<std::size_t>(part->size());
    void* buffer = pugi::get_memory_allocation_function()(std::max<std::size_t>(size, 1));
    if (buffer == nullptr) {
        throw PackageError("there is not enough memory to open it", partName);
    }
    try {
        part->inflateInto(static_cast<char*>(buffer), partName, package.limits);
    } catch (...) {
        pugi::get_memory_deallocation_function()(buffer);
        throw;
    }
    pugi::xml_document doc;
    // The document owns the buffer from here on, whatever the result.
    const auto result = doc.load_buffer_inplace_own(buffer, size, kParseOptions);
    checkParsedDocument(doc, result, partName);
    return doc;
}

std::string xmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string startTag(const pugi::xml_node& node) {
    std::string out = "<";
    out += node.name();
    for (auto attr = node.first_attribute(); attr; attr = attr.next_attribute()) {
        out += ' ';
        out += attr.name();
        out += "=\"";
        out += xmlEscape(attr.value());
        out += '"';
    }
    out += '>';
    return out;
}

std::string serializeNode(const pugi::xml_node& node) {
    std::string out;
    StringWriter writer(out);
    node.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    return out;
}

std::string serializeDocument(const pugi::xml_document& doc) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
    StringWriter writer(out);
    doc.document_element().print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    return out;
}

void forEachElement(pugi::xml_node node, const std::function<bool(pugi::xml_node)>& visit) {
    if (!node) {
        return;
    }
    const pugi::xml_node top = node;
    pugi::xml_node current = node;
    while (current) {
        bool descend = current.type() == pugi::node_document;
        if (current.type() == pugi::node_element) {
            descend = visit(current);
        }
        if (descend && current.first_child()) {
            current = current.first_child();
            continue;
        }
        while (current != top && !current.next_sibling()) {
            current = current.parent();
        }
        if (current == top) {
            break;
        }
        current = current.next_sibling();
    }
}

bool isOnValue(const pugi::xml_attribute& value) {
    const std::string_view text = value.value();
    return text == "1" || text == "true" || text == "on";
}

bool isOnFlag(const pugi::xml_node& flag) {
    const auto value = flag.attribute("w:val");
    return flag && (!value || isOnValue(value));
}

bool isNotOffFlag(const pugi::xml_node& flag) {
    const auto value = flag.attribute("w:val");
    if (!flag || !value) {
        return static_cast<bool>(flag);
    }
    const std::string_view text = value.value();
    return text != "0" && text != "false" && text != "off";
}

std::string_view localName(const char* qualifiedName) {
    const char* colon = std::strchr(qualifiedName, ':');
    return colon == nullptr ? std::string_view(qualifiedName) : std::string_view(colon + 1);
}

std::string_view prefixOf(const char* qualifiedName) {
    const char* colon = std::strchr(qualifiedName, ':');
    return colon == nullptr
               ? std::string_view()
               : std::string_view(qualifiedName, static_cast<std::size_t>(colon - qualifiedName));
}

pugi::xml_node childOrAppend(pugi::xml_node parent, const char* name) {
    auto child = parent.child(name);
    return child ? child : parent.append_child(name);
}

pugi::xml_node childOrPrepend(pugi::xml_node parent, const char* name) {
    auto child = parent.child(name);
    return child ? child : parent.prepend_child(name);
}

std::string prefixFor(const pugi::xml_node& root, const char* uri) {
    for (auto attr = root.first_attribute(); attr; attr = attr.next_attribute()) {
        const std::string_view name = attr.name();
        if (name.rfind("xmlns:", 0) == 0 && std::strcmp(attr.value(), uri) == 0) {
            return std::string(name.substr(6));
        }
    }
    return {};
}

std::vector<std::pair<std::string, std::string>> namespacesOf(const pugi::xml_node& element) {
    std::vector<std::pair<std::string, std::string>> out;
    for (auto attr = element.first_attribute(); attr; attr = attr.next_attribute()) {
        const std::string_view name = attr.name();
        if (name.rfind("xmlns:", 0) == 0) {
            out.emplace_back(std::string(name.substr(6)), attr.value());
        }
    }
    return out;
}

} // namespace paperloom::engine
