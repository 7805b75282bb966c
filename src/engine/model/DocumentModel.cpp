// Loading a package into the editable model, writing it back, and the small edits.
#include "engine/model/DocumentModel.h"

#include "engine/model/BlankDocument.h"
#include "engine/package/AsciiText.h"
#include "engine/package/Xml.h"
#include "engine/paste/FieldParagraphs.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace paperloom::engine {
namespace {

const std::unordered_set<std::string_view>& annotationElements() {
    static const std::unordered_set<std::string_view> names = {"bookmarkStart",
                                                               "bookmarkEnd",
                                                               "commentRangeStart",
                                                               "commentRangeEnd",
                                                               "commentReference",
                                                               "comment",
                                                               "ins",
                                                               "del",
                                                               "moveFrom",
                                                               "moveTo",
                                                               "moveFromRangeStart",
                                                               "moveFromRangeEnd",
                                                               "moveToRangeStart",
                                                               "moveToRangeEnd",
                                                               "rPrChange",
                                                               "pPrChange",
                                                               "sectPrChange",
                                                               "tblPrChange",
                                                               "trPrChange",
                                                               "tcPrChange",
                                                               "tblGridChange",
                                                               "tblPrExChange",
                                                               "numberingChange",
                                                               "cellIns",
                                                               "cellDel",
                                                               "cellMerge",
                                                               "customXmlInsRangeStart",
                                                               "customXmlInsRangeEnd",
                                                               "customXmlDelRangeStart",
                                                               "customXmlDelRangeEnd",
                                                               "customXmlMoveFromRangeStart",
                                                               "customXmlMoveFromRangeEnd",
                                                               "customXmlMoveToRangeStart",
                                                               "customXmlMoveToRangeEnd"};
    return names;
}

} // namespace

const std::unordered_set<std::string_view>& annotationElementNames() {
    return annotationElements();
}

const std::string& standardNamespaceDeclarations() {
    static const std::string tag = blankStartTag("x");
    return tag;
}

std::unique_ptr<DocumentModel> DocumentModel::blank(PaperSize paper) {
    const BlankParts parts =
        paper == PaperSize::Letter ? blankParts(12240, 15840) : blankParts(11906, 16838);
    Package package;
    package.parts["[Content_Types].xml"] = PartData::fromText(parts.contentTypes);
    package.parts["_rels/.rels"] = PartData::fromText(parts.packageRels);
    package.parts["word/document.xml"] = PartData::fromText(parts.document);
    package.parts["word/_rels/document.xml.rels"] = PartData::fromText(parts.documentRels);
    package.parts["word/styles.xml"] = PartData::fromText(parts.styles);
    package.parts["word/settings.xml"] = PartData::fromText(parts.settings);
    package.parts["word/theme/theme1.xml"] = PartData::fromText(parts.theme);
    return load(package, "word/document.xml");
}

std::unique_ptr<DocumentModel> DocumentModel::load(const Package& source,
                                                   const std::string& mainPart) {
    auto model = std::make_unique<DocumentModel>();
    model->package = source;
    for (const auto& [name, data] : source.parts) {
        model->m_lowerNames.insert(asciiLower(name));
        if (name.find("/media/") != std::string::npos) {
            model->m_mediaByContent.emplace(mediaKey(*data), name);
        }
    }
    model->contentTypes = ContentTypes::parse(source.text("[Content_Types].xml"));
    model->mainPart = mainPart;
    model->mainContentType = model->contentTypes.typeOf(mainPart);
    {
        const auto doc = parsePart(source, mainPart);
        if (prefixFor(doc.document_element(), ns::W) != "w") {
            throw PackageError("the document uses an XML layout this program does not read",
                               mainPart + ": WordprocessingML is not bound to the prefix w");
        }
        model->ids.scan(doc.document_element());
        model->body.load(doc);
        model->numbersLines = static_cast<bool>(doc.select_node("//w:sectPr/w:lnNumType"));
        model->hasTableOfContents = holdsTableOfContents(doc.document_element());
    }
    model->package.parts.erase(mainPart);
    const Relationships& mainRels = model->relsOf(mainPart);
    for (const auto& rel : mainRels.all()) {
        if (rel.external || rel.type.rfind(ns::RelTypeBase, 0) != 0) {
            continue;
        }
        const std::string kind = rel.type.substr(std::strlen(ns::RelTypeBase));
        const std::string name = resolvePartName(mainPart, rel.target);
        if (!model->package.contains(name)) {
            continue;
        }
        XmlPart* target = nullptr;
        if (kind == "styles") {
            target = &model->styles;
        } else if (kind == "settings") {
            target = &model->settings;
        } else if (kind == "footnotes") {
            target = &model->footnotes;
        } else if (kind == "endnotes") {
            target = &model->endnotes;
        } else if (kind == "comments") {
            target = &model->comments;
        } else if (kind == "fontTable") {
            target = &model->fontTable;
        } else if (kind == "theme") {
            model->themeName = name;
        } else if (kind == "numbering" && !model->numbering.present()) {
            model->numbering.load(parseXml(model->package.text(name), name));
            model->numberingName = name;
            model->package.parts.erase(name);
        } else if (kind == "header" || kind == "footer") {
            model->hasHeaders = true;
            model->ids.scan(parseXml(model->package.text(name), name).document_element());
        }
        if (target != nullptr && !*target) {
            // Held parsed from now on: the package no longer has it.
            target->m_doc = parseXml(model->package.text(name), name);
            target->m_name = name;
            model->package.parts.erase(name);
            model->ids.scan(target->doc().document_element());
        }
    }
    return model;
}

const Relationships& DocumentModel::relsOf(const std::string& partName) {
    return relsForReading(partName);
}

Relationships& DocumentModel::relsForEdit(const std::string& partName) {
    Relationships& rels = relsForReading(partName);
    m_dirtyRels.insert(partName);
    return rels;
}

Relationships& DocumentModel::relsForReading(const std::string& partName) {
    auto it = m_rels.find(partName);
    if (it == m_rels.end()) {
        const std::string name = relsPartName(partName);
        Relationships loaded = package.contains(name)
                                   ? Relationships::parse(package.text(name), name)
                                   : Relationships();
        it = m_rels.emplace(partName, std::move(loaded)).first;
        noteRelationships(partName, false);
    } else {
        noteRelationships(partName, true);
    }
    return it->second;
}

std::string DocumentModel::uniquePartName(const std::string& wanted) {
    if (m_lowerNames.insert(asciiLower(wanted)).second) {
        noteClaimedName(asciiLower(wanted));
        return wanted;
    }
    const auto slash = wanted.rfind('/');
    auto dot = wanted.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        dot = wanted.size();
    }
    std::size_t digits = dot;
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(wanted[digits - 1])) != 0 &&
           (slash == std::string::npos || digits - 1 > slash)) {
        --digits;
    }
    const std::string stem = wanted.substr(0, digits);
    const std::string ext = wanted.substr(dot);
    unsigned& next = m_nextSuffix[asciiLower(stem + '\n' + ext)];
    if (next < 2) {
        next = 2;
    }
    for (;;) {
        std::string candidate = stem + std::to_string(next++) + ext;
        if (m_lowerNames.insert(asciiLower(candidate)).second) {
            noteClaimedName(asciiLower(candidate));
            return candidate;
        }
    }
}

void DocumentModel::putPart(const std::string& name, PartDataPtr data) {
    if (m_lowerNames.insert(asciiLower(name)).second) {
        noteClaimedName(asciiLower(name));
    }
    noteReplacedPart(name);
    package.parts[name] = std::move(data);
}

void DocumentModel::removePart(const std::string& name) {
    Relationships& rels = relsForEdit(mainPart);
    noteRemovedRelationships(mainPart);
    // Relationships only grow, so the rest are taken over under their own ids.
    Relationships kept;
    for (const auto& rel : rels.all()) {
        if (rel.external || resolvePartName(mainPart, rel.target) != name) {
            kept.addWithId(rel);
        }
    }
    rels = std::move(kept);
    noteReplacedPart(name);
    package.parts.erase(name);
    contentTypes.removeOverride(name);
}

std::uint64_t DocumentModel::mediaKey(const PartData& data) {
    return (static_cast<std::uint64_t>(data.crc()) << 32) ^ data.size();
}

std::string DocumentModel::sameMedia(const PartData& data) const {
    const auto range = m_mediaByContent.equal_range(mediaKey(data));
    for (auto it = range.first; it != range.second; ++it) {
        const PartData* existing = package.find(it->second);
        if (existing != nullptr && existing->sameContent(data)) {
            return it->second;
        }
    }
    return {};
}

void DocumentModel::rememberMedia(const PartData& data, const std::string& name) {
    const std::uint64_t key = mediaKey(data);
    m_mediaByContent.emplace(key, name);
    noteMedia(key, name);
}

XmlPart& DocumentModel::ensurePart(XmlPart& part, const std::string& relType,
                                   const std::string& wantedName, const std::string& contentType,
                                   const std::string& initialXml) {
    if (part) {
        return part;
    }
    part.m_name = uniquePartName(wantedName);
    part.m_doc = parseXml(initialXml, part.m_name);
    part.m_dirty = true;
    relsForEdit(mainPart).add(ns::RelTypeBase + relType, relativeTarget(mainPart, part.m_name),
                              false, true);
    contentTypes.setOverride(part.m_name, contentType);
    return part;
}

Package DocumentModel::toPackage() {
    checkUsable();
    for (const auto& partName : m_dirtyRels) {
        const auto it = m_rels.find(partName);
        if (it != m_rels.end()) {
            putPart(relsPartName(partName), PartData::fromPieces(it->second.deflatedParts()));
        }
    }
    m_dirtyRels.clear();
    if (!contentTypes.unchanged()) {
        putPart("[Content_Types].xml", PartData::fromPieces(contentTypes.deflatedParts()));
    }
    Package out = package;
    out.parts[mainPart] = PartData::fromPieces(body.deflatedParts());
    for (XmlPart* part : {&styles, &settings, &footnotes, &endnotes, &comments, &fontTable}) {
        if (!*part) {
            continue;
        }
        if (part->m_dirty || !part->m_cached) {
            part->m_cached = PartData::fromText(serializeDocument(part->m_doc));
            part->m_dirty = false;
        }
        out.parts[part->m_name] = part->m_cached;
    }
    if (numbering.present()) {
        out.parts[numberingName] = PartData::fromPieces(numbering.deflatedParts());
    }
    return out;
}

void DocumentModel::setOrientation(PageOrientation orientation) {
    const bool landscape = orientation == PageOrientation::Landscape;
    pugi::xml_node sectPr = body.finalSectPr();
    if (!sectPr) {
        pugi::xml_document fresh;
        fresh.append_child("w:sectPr");
        body.setFinalSectPr(fresh.document_element());
        sectPr = body.finalSectPr();
    }
    pugi::xml_node pgSz = sectPr.child("w:pgSz");
    if (!pgSz) {
        const auto pgMar = sectPr.child("w:pgMar");
        pgSz = pgMar ? sectPr.insert_child_before("w:pgSz", pgMar) : sectPr.append_child("w:pgSz");
        pgSz.append_attribute("w:w") = 11906;
        pgSz.append_attribute("w:h") = 16838;
    }
    const long width = pgSz.attribute("w:w").as_llong();
    const long height = pgSz.attribute("w:h").as_llong();
    if ((landscape && width < height) || (!landscape && width > height)) {
        pgSz.attribute("w:w").set_value(std::to_string(height).c_str());
        pgSz.attribute("w:h").set_value(std::to_string(width).c_str());
    }
    auto orient = pgSz.attribute("w:orient");
    if (!orient) {
        orient = pgSz.append_attribute("w:orient");
    }
    orient.set_value(landscape ? "landscape" : "portrait");
    ++m_version;
}

void DocumentModel::insertBreak(BreakType type) {
    auto run = body.tail().append_child("w:r");
    auto brk = run.append_child("w:br");
    if (type == BreakType::Page) {
        brk.append_attribute("w:type") = "page";
    } else if (type == BreakType::Column) {
        brk.append_attribute("w:type") = "column";
    }
    ++m_version;
}

void DocumentModel::backspace() {
    ++m_version;
    auto tail = body.tail();
    pugi::xml_node run;
    for (auto child = tail.last_child(); child; child = child.previous_sibling()) {
        const auto name = localName(child.name());
        if (name == "r") {
            run = child;
            break;
        }
        if (name != "bookmarkStart" && name != "bookmarkEnd" && name != "proofErr" &&
            name != "pPr") {
            return; // a hyperlink, field or other structure ends the paragraph: leave it
        }
    }
    if (!run) {
        const auto before = body.blockBeforeTail();
        if (before && std::strcmp(before.name(), "w:p") == 0 &&
            !before.child("w:pPr").child("w:sectPr")) {
            body.dropTail();
        }
        return;
    }
    pugi::xml_node last;
    for (auto child = run.last_child(); child; child = child.previous_sibling()) {
        if (child.type() == pugi::node_element && std::strcmp(child.name(), "w:rPr") != 0) {
            last = child;
            break;
        }
    }
    if (last && std::strcmp(last.name(), "w:t") == 0) {
        std::string text = last.text().get();
        std::size_t cut = text.size();
        while (cut > 0) {
            --cut;
            if ((static_cast<unsigned char>(text[cut]) & 0xC0) != 0x80) {
                break;
            }
        }
        text.resize(cut);
        if (!text.empty()) {
            last.text().set(text.c_str());
            return;
        }
    }
    if (last) {
        run.remove_child(last);
    }
    bool hasContent = false;
    for (auto child : run.children()) {
        hasContent = hasContent || std::strcmp(child.name(), "w:rPr") != 0;
    }
    if (!hasContent) {
        tail.remove_child(run);
    }
}

} // namespace paperloom::engine
