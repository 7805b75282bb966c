// How a pasted document's sections meet the document they join: page setup, headers, numbering.
#include "engine/mergers/SectionMerge.h"

#include "engine/model/BlankDocument.h"
#include "engine/model/DocumentModel.h"
#include "engine/package/Package.h"
#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/paste/PastedDocument.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_set>

namespace paperloom::engine {
namespace {

constexpr const char* kTypePrefix =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.";

/// The height the empty header or footer takes (one exact line of 1 pt, but LibreOffice makes a
/// header or footer at least 1 mm high), in twips.
constexpr long long kEmptyHeight = 57;

/// Names the part ref names once more, right after it, for pages of another type.
void copyReferenceAs(pugi::xml_node sectPr, const pugi::xml_node& ref, const char* type) {
    auto copy = sectPr.insert_copy_after(ref, ref);
    auto attribute = copy.attribute("w:type");
    if (!attribute) {
        attribute = copy.append_attribute("w:type");
    }
    attribute.set_value(type);
}

/// Drops the even references of a section whose document shows no even headers; where
/// stateDefault, each kind's default one is then stated for even pages too. Returns true when
/// the section changed.
bool evenHeadersFollowDefault(pugi::xml_node sectPr, bool stateDefault) {
    bool changed = false;
    for (const char* element : {"w:headerReference", "w:footerReference"}) {
        pugi::xml_node standard;
        std::vector<pugi::xml_node> unused;
        for (auto ref : sectPr.children(element)) {
            const std::string type = referenceType(ref);
            if (type == "even") {
                unused.push_back(ref);
            } else if (type == "default") {
                standard = ref;
            }
        }
        for (auto ref : unused) {
            sectPr.remove_child(ref);
            changed = true;
        }
        if (standard && stateDefault) {
            copyReferenceAs(sectPr, standard, "even");
            changed = true;
        }
    }
    return changed;
}

/// The bits of the even references evenHeadersFollowDefault states where bits has default ones.
unsigned evenBitsOfDefaults(unsigned bits) {
    unsigned even = 0;
    for (const bool footer : {false, true}) {
        if ((bits & headerReferenceBit(footer, "default")) != 0) {
            even |= headerReferenceBit(footer, "even");
        }
    }
    return even;
}

long long measure(const pugi::xml_node& node, const char* attribute) {
    const auto attr = node.attribute(attribute);
    return attr ? attr.as_llong() : -1;
}

bool statesAny(const pugi::xml_node& sectPr, const char* element) {
    return static_cast<bool>(sectPr.child(element));
}

/// LibreOffice makes a footer at least 1 mm high, so the empty footer takes room from a section
/// whose bottom margin is narrower, and moves the lines of its line grid. Where no section before
/// states a first-page footer, its first page can show none at all instead, in both readers, as
/// a title page that shows its own header through a first-page reference to it. Not where that
/// changes what the section shows: a first-page reference of its own (shown once it has a title
/// page), or a later section of its document with a title page that inherits this first header.
void keepFirstPageFreeOfEmptyFooter(const std::vector<pugi::xml_node>& sections,
                                    unsigned inherited) {
    auto first = sections.front();
    const auto bottom = first.child("w:pgMar").attribute("w:bottom");
    if ((inherited & headerReferenceBit(true, "default")) == 0 ||
        (inherited & headerReferenceBit(true, "first")) != 0 || !bottom || bottom.as_llong() < 0 ||
        bottom.as_llong() >= kEmptyHeight || isNotOffFlag(first.child("w:titlePg")) ||
        statesAny(first, "w:footerReference")) {
        return;
    }
    pugi::xml_node ownHeader;
    for (auto ref : first.children("w:headerReference")) {
        const std::string type = referenceType(ref);
        if (type == "first") {
            return;
        }
        if (type == "default") {
            ownHeader = ref;
        }
    }
    if (!ownHeader && statesAny(first, "w:headerReference")) {
        return; // only even headers of its own: its first page would lose the default one
    }
    for (std::size_t i = 1; i < sections.size(); ++i) {
        if (!isNotOffFlag(sections[i].child("w:titlePg"))) {
            continue;
        }
        const auto refs = sections[i].children("w:headerReference");
        if (std::none_of(refs.begin(), refs.end(),
                         [](const pugi::xml_node& ref) { return referenceType(ref) == "first"; })) {
            return;
        }
    }
    if (ownHeader) {
        copyReferenceAs(first, ownHeader, "first");
    }
    orderedChild(first, "w:titlePg", kSectionOrder).remove_attributes();
}

} // namespace

std::string standInParagraph(std::string_view runs) {
    std::string paragraph =
        "<w:p><w:pPr><w:suppressLineNumbers/><w:spacing w:before=\"0\" w:after=\"0\" w:line=\"20\" "
        "w:lineRule=\"exact\"/><w:rPr><w:sz w:val=\"2\"/><w:szCs w:val=\"2\"/></w:rPr></w:pPr>";
    paragraph += runs;
    paragraph += "</w:p>";
    return paragraph;
}

void keepTextBelowEmptyHeader(pugi::xml_node sectPr, const char* distanceName,
                              const char* marginName) {
    auto pgMar = sectPr.child("w:pgMar");
    auto distance = pgMar.attribute(distanceName);
    const auto margin = pgMar.attribute(marginName);
    if (!distance || !margin || margin.as_llong() < 0) {
        return; // a negative margin already keeps the text where it is
    }
    if (distance.as_llong() + kEmptyHeight > margin.as_llong()) {
        distance.set_value(std::max(0LL, margin.as_llong() - kEmptyHeight));
    }
}

std::string referenceType(const pugi::xml_node& ref) {
    const auto type = ref.attribute("w:type");
    return type ? type.value() : "default";
}

std::string freeHeaderName(const Package& package) {
    for (int n = 1;; ++n) {
        std::string name = "word/header" + std::to_string(n) + ".xml";
        if (!package.contains(name) && !package.contains(relsPartName(name))) {
            return name;
        }
    }
}

void referHeader(pugi::xml_node sectPr, const char* type, const std::string& id,
                 const std::string& idName, bool declareR) {
    pugi::xml_document scratch;
    auto ref = scratch.append_child("w:headerReference");
    ref.append_attribute("w:type") = type;
    if (declareR) {
        ref.append_attribute("xmlns:r") = ns::R;
    }
    ref.append_attribute(idName.c_str()) = id.c_str();
    insertOrdered(sectPr, ref, kSectionOrder);
}

void prepareSourceSections(PastedDocument& pasted, DocumentModel& target,
                           const std::vector<pugi::xml_node>& sections) {
    const auto& sourceSettings = pasted.settings();
    const auto source = sourceSettings.document_element();
    const bool evenAndOdd = isNotOffFlag(source.child("w:evenAndOddHeaders"));

    XmlPart& settings = target.ensurePart(target.settings, "settings", "word/settings.xml",
                                          std::string(kTypePrefix) + "settings+xml",
                                          blankStartTag("w:settings") + "</w:settings>");
    const bool joinedEvenAndOdd =
        isNotOffFlag(settings.doc().document_element().child("w:evenAndOddHeaders"));
    if (evenAndOdd && !joinedEvenAndOdd) {
        auto root = settings.edit().document_element();
        while (auto old = root.child("w:evenAndOddHeaders")) {
            root.remove_child(old);
        }
        pugi::xml_document scratch;
        scratch.append_child("w:evenAndOddHeaders");
        insertOrdered(root, scratch.document_element(), kSettingsOrder);
        // No document before this one shows even headers, so their sections state none: an even
        // reference that nothing shows still moves LibreOffice's layout, which reads the part it
        // names all the same. Now their even pages must show their default ones.
        if (!target.body.isEmpty()) {
            target.body.editSections(
                [](pugi::xml_node sectPr) { return evenHeadersFollowDefault(sectPr, true); });
            target.statedHeaders |= evenBitsOfDefaults(target.statedHeaders);
        }
    }
    // Tab stops, compatibility options and mirrored margins of later documents give way to the
    // first document's (see adoptFirstDocument): they cannot differ between sections.
    if (!evenAndOdd) {
        for (auto sectPr : sections) {
            (void)evenHeadersFollowDefault(sectPr, joinedEvenAndOdd);
        }
    }
}

bool joinSections(DocumentModel& target, const std::vector<pugi::xml_node>& sections,
                  const Landing& landing) {
    if (sections.empty() || !landing.hasPrevious) {
        return false;
    }
    auto first = sections.front();
    // A page of one size cannot hold a section of another, so a change of paper or margins
    // starts a new page even when the documents would otherwise run on. With page breaks, a
    // section that starts its own page is what renderers follow for headers and paper alike.
    const bool newPage =
        landing.pageBreak || !landing.previous || !samePageGeometry(first, landing.previous);
    auto type = orderedChild(first, "w:type", kSectionOrder);
    type.remove_attributes();
    type.append_attribute("w:val") = newPage ? "nextPage" : "continuous";
    if (landing.statedHeaders != 0) {
        const bool ownHeader = statesAny(first, "w:headerReference");
        const bool ownFooter = statesAny(first, "w:footerReference");
        if (newPage) { // a section that starts within a page has no first page of its own
            keepFirstPageFreeOfEmptyFooter(sections, landing.statedHeaders);
        }
        // A type no section before states shows nothing there either: a stand-in would only
        // take room (a template's first page without a footer, its text down to the margin).
        const unsigned added = addEmptyHeaderReferences(target, first, landing.statedHeaders);
        const unsigned headerBits = headerReferenceBit(false, "default") |
                                    headerReferenceBit(false, "first") |
                                    headerReferenceBit(false, "even");
        // Sections of the source show the empty one until the source states its own.
        for (const auto& [own, bits, element, distance, margin] :
             {std::tuple{ownHeader, headerBits, "w:headerReference", "w:header", "w:top"},
              std::tuple{ownFooter, ~headerBits, "w:footerReference", "w:footer", "w:bottom"}}) {
            if (own || (added & bits) == 0) {
                continue;
            }
            for (std::size_t i = 0; i < sections.size(); ++i) {
                if (i > 0 && statesAny(sections[i], element)) {
                    break;
                }
                keepTextBelowEmptyHeader(sections[i], distance, margin);
            }
        }
    }
    if (newPage) {
        // On its own, the document's first page was page 1 (or its own start value).
        auto numbering = orderedChild(first, "w:pgNumType", kSectionOrder);
        if (!numbering.attribute("w:start")) {
            numbering.append_attribute("w:start") = 1;
        }
    }
    return newPage;
}

void turnSection(pugi::xml_node sectPr, bool landscape) {
    auto pgSz = sectPr.child("w:pgSz");
    if (!pgSz) {
        return;
    }
    const long long width = pgSz.attribute("w:w").as_llong();
    const long long height = pgSz.attribute("w:h").as_llong();
    if (pgSz.attribute("w:w") && pgSz.attribute("w:h") &&
        ((landscape && width < height) || (!landscape && width > height))) {
        pgSz.attribute("w:w").set_value(height);
        pgSz.attribute("w:h").set_value(width);
        if (auto pgMar = sectPr.child("w:pgMar")) {
            // Sides in turning order: into landscape the left margin goes to the top.
            const char* sides[] = {"w:top", "w:right", "w:bottom", "w:left"};
            std::string values[4];
            bool present[4];
            for (int i = 0; i < 4; ++i) {
                const auto attr = pgMar.attribute(sides[i]);
                present[i] = attr;
                values[i] = attr.value();
            }
            for (int i = 0; i < 4; ++i) {
                const int from = landscape ? (i + 3) % 4 : (i + 1) % 4;
                pgMar.remove_attribute(sides[i]);
                if (!present[from]) {
                    continue;
                }
                std::string value = values[from];
                // Top and bottom may be negative (text ignores the header); sides may not.
                if ((i == 1 || i == 3) && !value.empty() && value.front() == '-') {
                    value.erase(0, 1);
                }
                pgMar.append_attribute(sides[i]) = value.c_str();
            }
        }
    }
    auto orient = pgSz.attribute("w:orient");
    if (!orient) {
        orient = pgSz.append_attribute("w:orient");
    }
    orient.set_value(landscape ? "landscape" : "portrait");
}

bool samePageGeometry(const pugi::xml_node& a, const pugi::xml_node& b) {
    const auto sizeA = a.child("w:pgSz");
    const auto sizeB = b.child("w:pgSz");
    for (const char* attribute : {"w:w", "w:h"}) {
        if (measure(sizeA, attribute) != measure(sizeB, attribute)) {
            return false;
        }
    }
    const auto marginA = a.child("w:pgMar");
    const auto marginB = b.child("w:pgMar");
    for (const char* attribute :
         {"w:top", "w:right", "w:bottom", "w:left", "w:header", "w:footer", "w:gutter"}) {
        if (measure(marginA, attribute) != measure(marginB, attribute)) {
            return false;
        }
    }
    return true;
}

unsigned addEmptyHeaderReferences(DocumentModel& target, pugi::xml_node sectPr,
                                  unsigned inherited) {
    unsigned added = 0;
    std::string rPrefix = "r";
    for (const auto& [prefix, uri] : target.body.namespaces()) {
        if (uri == ns::R) {
            rPrefix = prefix;
        }
    }
    for (const char* kind : {"header", "footer"}) {
        const std::string element = std::string("w:") + kind + "Reference";
        std::unordered_set<std::string> present;
        for (auto ref : sectPr.children(element.c_str())) {
            present.insert(referenceType(ref));
        }
        for (const char* type : {"default", "first", "even"}) {
            const unsigned bit = headerReferenceBit(kind[0] == 'f', type);
            if (present.count(type) != 0 || (inherited & bit) == 0) {
                continue;
            }
            added |= bit;
            std::string& partName =
                kind[0] == 'h' ? target.emptyHeaderPart : target.emptyFooterPart;
            if (partName.empty()) {
                partName = target.uniquePartName(std::string("word/") + kind + "1.xml");
                const std::string root = std::string("w:") + (kind[0] == 'h' ? "hdr" : "ftr");
                target.putPart(partName,
                               PartData::fromText("<?xml version=\"1.0\" encoding=\"UTF-8\" "
                                                  "standalone=\"yes\"?>\r\n" +
                                                  blankStartTag(root) + standInParagraph() + "</" +
                                                  root + ">"));
                target.contentTypes.setOverride(partName, std::string(kTypePrefix) + kind + "+xml");
            }
            const std::string relId =
                target.relsForEdit(target.mainPart)
                    .add(std::string(ns::RelTypeBase) + kind,
                         relativeTarget(target.mainPart, partName), false, true);
            pugi::xml_document scratch;
            auto ref = scratch.append_child(element.c_str());
            ref.append_attribute("w:type") = type;
            ref.append_attribute((rPrefix + ":id").c_str()) = relId.c_str();
            insertOrdered(sectPr, ref, kSectionOrder);
        }
    }
    return added;
}

} // namespace paperloom::engine
