// Where each document's endnotes are shown once documents are joined: after its own text.
#include "engine/mergers/EndnotePosition.h"

#include "engine/model/BlankDocument.h"
#include "engine/model/DocumentModel.h"
#include "engine/package/XmlOrder.h"
#include "engine/paste/PastedDocument.h"
#include "engine/settings/LineGrid.h"

#include <cstring>
#include <initializer_list>
#include <string>

namespace paperloom::engine {
namespace {

constexpr const char* kSettingsType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml";

/// Children of w:endnotePr in the settings, in schema order.
const std::initializer_list<const char*> kEndnotePropertyOrder = {"w:pos", "w:numFmt", "w:numStart",
                                                                  "w:numRestart", "w:endnote"};

bool atSectionEnds(const pugi::xml_node& settings) {
    const auto pos = settings.child("w:endnotePr").child("w:pos").attribute("w:val");
    return std::strcmp(pos.value(), "sectEnd") == 0;
}

} // namespace

void keepEndnotesWithTheirDocument(PastedDocument& pasted, DocumentModel& target,
                                   const std::vector<pugi::xml_node>& sections, bool hasPrevious,
                                   bool hasEndnotes) {
    if (hasEndnotes && !atSectionEnds(pasted.settings().document_element())) {
        // Endnotes at the document's end are the endnotes at the end of its last section. The
        // first section of the joined document never suppresses them: the standard reads the
        // flag there as hiding every endnote of the document.
        for (std::size_t i = hasPrevious ? 0 : 1; i + 1 < sections.size(); ++i) {
            orderedChild(sections[i], "w:noEndnote", kSectionOrder).remove_attributes();
        }
    }
    if (!hasPrevious || !holdsNotes(target.endnotes.doc().document_element())) {
        return;
    }
    XmlPart& settings =
        target.ensurePart(target.settings, "settings", "word/settings.xml", kSettingsType,
                          blankStartTag("w:settings") + "</w:settings>");
    if (atSectionEnds(settings.doc().document_element())) {
        return;
    }
    auto root = settings.edit().document_element();
    auto properties = orderedChild(root, "w:endnotePr", kSettingsOrder);
    auto pos = orderedChild(properties, "w:pos", kEndnotePropertyOrder);
    pos.remove_attributes();
    pos.append_attribute("w:val") = "sectEnd";
}

} // namespace paperloom::engine
