// A form keeps its protection in a joined document, and the documents beside it stay open.
#include "engine/mergers/FormProtection.h"

#include "engine/model/BlankDocument.h"
#include "engine/model/DocumentModel.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/paste/PasteRemap.h"
#include "engine/paste/PastedDocument.h"

#include <string>
#include <string_view>

namespace paperloom::engine {
namespace {

constexpr const char* kTypePrefix =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.";

/// Leaves the section open to editing under form protection; true when it was not already.
bool openSection(pugi::xml_node sectPr) {
    auto flag = sectPr.child("w:formProt");
    if (flag && flag.attribute("w:val") && !isOnValue(flag.attribute("w:val"))) {
        return false;
    }
    flag = orderedChild(sectPr, "w:formProt", kSectionOrder);
    flag.remove_attributes();
    flag.append_attribute("w:val") = "0";
    return true;
}

} // namespace

bool protectsForms(const pugi::xml_node& settings) {
    const auto protection = settings.child("w:documentProtection");
    return std::string_view(protection.attribute("w:edit").value()) == "forms" &&
           isOnValue(protection.attribute("w:enforcement"));
}

void keepFormProtection(PastedDocument& pasted, DocumentModel& target,
                        const std::vector<pugi::xml_node>& sections) {
    const auto source = pasted.settings().document_element();
    const bool pastedForm = protectsForms(source);
    const bool joinedForm =
        target.settings && protectsForms(target.settings.doc().document_element());
    if (pastedForm && !joinedForm) {
        XmlPart& settings = target.ensurePart(target.settings, "settings", "word/settings.xml",
                                              std::string(kTypePrefix) + "settings+xml",
                                              blankStartTag("w:settings") + "</w:settings>");
        if (settings.doc().document_element().child("w:documentProtection")) {
            return; // a protection of another kind stays as it is
        }
        auto root = settings.edit().document_element();
        auto copy = insertOrdered(root, source.child("w:documentProtection"), kSettingsOrder);
        declareMissingNamespaces(copy, source, namespacesOf(root));
        if (!target.body.isEmpty()) {
            target.body.editSections(openSection);
        }
    } else if (joinedForm && !pastedForm) {
        for (auto sectPr : sections) {
            (void)openSection(sectPr);
        }
    }
}

} // namespace paperloom::engine
