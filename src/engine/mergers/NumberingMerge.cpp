// Giving the pasted document's lists their own definitions in the target, so they restart.
#include "engine/mergers/NumberingMerge.h"

#include "engine/model/BlankDocument.h"
#include "engine/package/Xml.h"
#include "engine/paste/PasteRemap.h"

#include <cstdio>
#include <cstring>

namespace paperloom::engine {
namespace {

constexpr const char* kNumberingType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.numbering+xml";

} // namespace

NumberingMerger::NumberingMerger(PastedDocument& source, DocumentModel& target)
    : m_source(source), m_target(target) {}

std::string NumberingMerger::numId(const std::string& sourceId) const {
    const auto it = m_numIds.find(sourceId);
    return it != m_numIds.end() ? it->second : std::string(1, '0');
}

void NumberingMerger::prepare() {
    m_numIds.emplace("0", std::string(1, '0'));
    const std::string sourcePart = m_source.partOfKind("numbering");
    if (sourcePart.empty()) {
        return;
    }
    m_sourceNumbering = parseXml(m_source.package().text(sourcePart), sourcePart);
    m_sourcePart = sourcePart;
    DocumentModel& target = m_target;
    Numbering& numbering = target.numbering;
    if (!numbering.present()) {
        target.numberingName = target.uniquePartName("word/numbering.xml");
        numbering.loadEmpty(blankStartTag("w:numbering"));
        target.relsForEdit(target.mainPart)
            .add(std::string(ns::RelTypeBase) + "numbering",
                 relativeTarget(target.mainPart, target.numberingName), false, true);
        target.contentTypes.setOverride(target.numberingName, kNumberingType);
    }
    const auto root = m_sourceNumbering.document_element();
    for (auto child : root.children()) {
        const char* name = child.name();
        if (std::strcmp(name, "w:numPicBullet") == 0) {
            m_picBulletIds[child.attribute("w:numPicBulletId").value()] =
                std::to_string(numbering.nextPicBulletId++);
        } else if (std::strcmp(name, "w:abstractNum") == 0) {
            m_abstractIds[child.attribute("w:abstractNumId").value()] =
                std::to_string(numbering.nextAbstractId++);
        } else if (std::strcmp(name, "w:num") == 0) {
            const std::string id = child.attribute("w:numId").value();
            if (id != "0") {
                m_numIds[id] = std::to_string(numbering.nextNumId++);
            }
        }
    }
}

void NumberingMerger::emit(PasteRemap& remap) {
    if (m_sourcePart.empty()) {
        return;
    }
    DocumentModel& target = m_target;
    Numbering& numbering = target.numbering;
    const auto root = m_sourceNumbering.document_element();
    std::string texts[3];
    auto mapped = [](const std::unordered_map<std::string, std::string>& map,
                     pugi::xml_attribute attr) {
        if (!attr) {
            return;
        }
        const auto it = map.find(attr.value());
        if (it != map.end()) {
            attr.set_value(it->second.c_str());
        }
    };
    for (auto child : root.children()) {
        const char* name = child.name();
        int group = -1;
        if (std::strcmp(name, "w:numPicBullet") == 0) {
            group = 0;
        } else if (std::strcmp(name, "w:abstractNum") == 0) {
            group = 1;
        } else if (std::strcmp(name, "w:num") == 0 &&
                   std::strcmp(child.attribute("w:numId").value(), "0") != 0) {
            group = 2;
        }
        if (group < 0) {
            continue;
        }
        pugi::xml_document scratch;
        auto copy = scratch.append_copy(child);
        if (group == 0) {
            mapped(m_picBulletIds, copy.attribute("w:numPicBulletId"));
            Numbering::dropPictureFrameTypes(copy);
        } else if (group == 1) {
            mapped(m_abstractIds, copy.attribute("w:abstractNumId"));
            // A fresh list identity, so no reader takes it for a continuation of another list.
            char nsid[9];
            std::snprintf(nsid, sizeof nsid, "%08X", numbering.nextNsid++);
            if (auto nsidNode = copy.child("w:nsid")) {
                nsidNode.attribute("w:val").set_value(nsid);
            }
            for (auto level : copy.children("w:lvl")) {
                mapped(m_picBulletIds, level.child("w:lvlPicBulletId").attribute("w:val"));
            }
        } else {
            mapped(m_numIds, copy.attribute("w:numId"));
            mapped(m_abstractIds, copy.child("w:abstractNumId").attribute("w:val"));
        }
        remap.remap(copy, root, m_sourcePart, target.numberingName);
        declareMissingNamespaces(copy, root, numbering.namespaces());
        texts[group] += serializeNode(copy);
    }
    numbering.append(texts[0], texts[1], texts[2]);
}

} // namespace paperloom::engine
