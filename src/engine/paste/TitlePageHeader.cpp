// A title page without a header of its own, kept clear of the empty one the join gives it.
#include "engine/paste/TitlePageHeader.h"

#include "engine/mergers/SectionMerge.h"
#include "engine/model/BlankDocument.h"
#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"

#include <string>
#include <utility>
#include <vector>

namespace paperloom::engine {
namespace {

constexpr const char* kHeaderType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml";

/// A copy of the header part named, its text starting lower by drop twips; returns its name.
std::string copyDropped(Package& out, ContentTypes& types, const std::string& name,
                        long long drop) {
    auto header = parsePart(out, name);
    auto root = header.document_element();
    if (prefixFor(root, ns::W) != "w") {
        return {}; // a header that binds the main namespace otherwise is left as it is
    }
    const std::string spacer =
        "<w:p xmlns:w=\"" + std::string(ns::W) +
        "\"><w:pPr><w:suppressLineNumbers/><w:spacing w:before=\"0\" w:after=\"0\" w:line=\"" +
        std::to_string(drop) +
        "\" w:lineRule=\"exact\"/><w:rPr><w:sz w:val=\"2\"/><w:szCs w:val=\"2\"/></w:rPr></w:pPr>"
        "</w:p>";
    pugi::xml_document parsed;
    if (!parsed.load_string(spacer.c_str())) {
        return {};
    }
    auto paragraph = root.prepend_copy(parsed.document_element());
    paragraph.remove_attribute("xmlns:w"); // the header binds w itself
    const std::string copy = freeHeaderName(out);
    out.parts[copy] = PartData::fromText(serializeDocument(header));
    if (out.contains(relsPartName(name))) {
        out.parts[relsPartName(copy)] = out.parts.at(relsPartName(name)); // same folder
    }
    types.setOverride(copy, kHeaderType);
    return copy;
}

} // namespace

void stateTitlePageClearOfHeader(Package& out, const std::string& mainPart) {
    const std::string relsName = relsPartName(mainPart);
    if (!out.contains(relsName) || !out.contains("[Content_Types].xml")) {
        return;
    }
    try {
        // Most documents have no title page: their body is not parsed a second time for it.
        if (out.text(mainPart).find("titlePg") == std::string::npos) {
            return;
        }
        auto main = parsePart(out, mainPart);
        auto root = main.document_element();
        if (prefixFor(root, ns::W) != "w") {
            return; // the paste refuses such a body
        }
        std::vector<pugi::xml_node> sections;
        const auto body = root.child("w:body");
        for (auto block : body.children()) {
            if (auto inner = block.child("w:pPr").child("w:sectPr")) {
                sections.push_back(inner);
            }
        }
        if (auto last = body.child("w:sectPr")) {
            sections.push_back(last);
        }
        if (sections.empty() || !isNotOffFlag(sections.front().child("w:titlePg"))) {
            return;
        }
        auto first = sections.front();
        std::vector<pugi::xml_node> own;
        for (auto ref : first.children("w:headerReference")) {
            if (referenceType(ref) == "first") {
                return; // its title page shows its own header
            }
            own.push_back(ref);
        }
        const auto pgMar = first.child("w:pgMar");
        const long long distance = pgMar.attribute("w:header").as_llong(-1);
        if (own.empty() || distance < 0 || pgMar.attribute("w:top").as_llong(-1) < 0) {
            return; // without headers of its own the join cuts the distance itself
        }
        keepTextBelowEmptyHeader(first, "w:header", "w:top");
        const long long drop = distance - pgMar.attribute("w:header").as_llong();
        if (drop <= 0) {
            return;
        }
        auto rels = Relationships::parse(out.text(relsName), relsName);
        auto types = ContentTypes::parse(out.text("[Content_Types].xml"));
        const std::string rPrefix = prefixFor(root, ns::R);
        const std::string idName = (rPrefix.empty() ? std::string("r") : rPrefix) + ":id";
        std::vector<std::pair<std::string, std::string>> originals; // type, id
        for (auto ref : own) {
            const std::string id = ref.attribute(idName.c_str()).value();
            const auto* rel = rels.byId(id);
            if (rel == nullptr || rel->external) {
                continue;
            }
            const std::string name = resolvePartName(mainPart, rel->target);
            if (!out.contains(name)) {
                continue;
            }
            const std::string copy = copyDropped(out, types, name, drop);
            if (copy.empty()) {
                continue;
            }
            const std::string copyId = rels.add(std::string(ns::RelTypeBase) + "header",
                                                relativeTarget(mainPart, copy), false, false);
            ref.attribute(idName.c_str()).set_value(copyId.c_str());
            originals.emplace_back(referenceType(ref), id);
        }
        // The next section inherited the originals, and the ones after it inherit from it.
        if (sections.size() > 1) {
            auto next = sections[1];
            for (const auto& [type, id] : originals) {
                bool stated = false;
                for (auto ref : next.children("w:headerReference")) {
                    stated = stated || referenceType(ref) == type;
                }
                if (stated) {
                    continue;
                }
                referHeader(next, type.c_str(), id, idName, rPrefix.empty());
            }
        }
        out.parts[relsName] = PartData::fromPieces(rels.deflatedParts());
        out.parts["[Content_Types].xml"] = PartData::fromPieces(types.deflatedParts());
        out.parts[mainPart] = PartData::fromText(serializeDocument(main));
    } catch (const PackageError&) {
        // a damaged part: the paste reports it
    }
}

} // namespace paperloom::engine
