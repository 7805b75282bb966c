// XML parsing and writing for package parts: one place that turns pugixml results into errors.
#pragma once

#include <pugixml.hpp>

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace paperloom::engine {

struct Package;

namespace ns {
inline constexpr const char* W = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
inline constexpr const char* R =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr const char* Rels = "http://schemas.openxmlformats.org/package/2006/relationships";
inline constexpr const char* ContentTypes =
    "http://schemas.openxmlformats.org/package/2006/content-types";
inline constexpr const char* Office = "urn:schemas-microsoft-com:office:office";
inline constexpr const char* RelTypeBase =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
} // namespace ns

/// The deepest element nesting a part may have; real documents stay far below it.
inline constexpr int kMaxXmlDepth = 400;

/// Parses a part. Refuses DOCTYPE and entity declarations and absurd nesting; throws
/// PackageError naming the part for malformed XML.
[[nodiscard]] pugi::xml_document parseXml(std::string_view text, const std::string& partName);

/// Parses a part of a package like parseXml, inflating it straight into the parser's own buffer:
/// the text exists once, not twice, while the tree is built. Throws PackageError.
[[nodiscard]] pugi::xml_document parsePart(const Package& package, const std::string& partName);

/// Escapes text for use in XML content or a double-quoted attribute value.
[[nodiscard]] std::string xmlEscape(std::string_view text);
/// The start tag of an element with all its attributes ("<w:body>").
[[nodiscard]] std::string startTag(const pugi::xml_node& node);

/// The element and everything in it, as compact XML without a declaration.
[[nodiscard]] std::string serializeNode(const pugi::xml_node& node);
/// A whole part: the standard declaration followed by the document element.
[[nodiscard]] std::string serializeDocument(const pugi::xml_document& doc);

/// Calls visit for node and every element below it, in document order, without recursion.
/// visit returns false to skip the children of the element it was given.
void forEachElement(pugi::xml_node node, const std::function<bool(pugi::xml_node)>& visit);

/// Whether an on/off value says on: "1", "true" or "on".
[[nodiscard]] bool isOnValue(const pugi::xml_attribute& value);
/// Whether an on/off element is on: present, with no w:val or one that says on.
[[nodiscard]] bool isOnFlag(const pugi::xml_node& flag);
/// Whether an on/off element is on, reading its w:val leniently: present, with no w:val or one
/// that does not say off ("0", "false", "off").
[[nodiscard]] bool isNotOffFlag(const pugi::xml_node& flag);

/// The local part of a qualified name ("w:p" -> "p").
[[nodiscard]] std::string_view localName(const char* qualifiedName);
/// The prefix of a qualified name ("w:p" -> "w", "p" -> "").
[[nodiscard]] std::string_view prefixOf(const char* qualifiedName);

/// The first child element with this name, created (as last child) when missing.
pugi::xml_node childOrAppend(pugi::xml_node parent, const char* name);
/// The first child element with this name, created as first child when missing.
pugi::xml_node childOrPrepend(pugi::xml_node parent, const char* name);

/// The namespace prefix the document element binds to uri, or "" when it binds none.
[[nodiscard]] std::string prefixFor(const pugi::xml_node& root, const char* uri);

/// The prefix declarations on an element, as (prefix, uri) pairs.
[[nodiscard]] std::vector<std::pair<std::string, std::string>>
namespacesOf(const pugi::xml_node& element);

} // namespace paperloom::engine
