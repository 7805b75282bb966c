// Schema orders of WordprocessingML property elements and ordered insertion.
#include "engine/package/XmlOrder.h"

#include <cstring>

namespace paperloom::engine {

const std::initializer_list<const char*> kRunPropertyOrder = {"w:rStyle",
                                                              "w:rFonts",
                                                              "w:b",
                                                              "w:bCs",
                                                              "w:i",
                                                              "w:iCs",
                                                              "w:caps",
                                                              "w:smallCaps",
                                                              "w:strike",
                                                              "w:dstrike",
                                                              "w:outline",
                                                              "w:shadow",
                                                              "w:emboss",
                                                              "w:imprint",
                                                              "w:noProof",
                                                              "w:snapToGrid",
                                                              "w:vanish",
                                                              "w:webHidden",
                                                              "w:color",
                                                              "w:spacing",
                                                              "w:w",
                                                              "w:kern",
                                                              "w:position",
                                                              "w:sz",
                                                              "w:szCs",
                                                              "w:highlight",
                                                              "w:u",
                                                              "w:effect",
                                                              "w:bdr",
                                                              "w:shd",
                                                              "w:fitText",
                                                              "w:vertAlign",
                                                              "w:rtl",
                                                              "w:cs",
                                                              "w:em",
                                                              "w:lang",
                                                              "w:eastAsianLayout",
                                                              "w:specVanish",
                                                              "w:oMath"};

const std::initializer_list<const char*> kParagraphPropertyOrder = {"w:pStyle",
                                                                    "w:keepNext",
                                                                    "w:keepLines",
                                                                    "w:pageBreakBefore",
                                                                    "w:framePr",
                                                                    "w:widowControl",
                                                                    "w:numPr",
                                                                    "w:suppressLineNumbers",
                                                                    "w:pBdr",
                                                                    "w:shd",
                                                                    "w:tabs",
                                                                    "w:suppressAutoHyphens",
                                                                    "w:kinsoku",
                                                                    "w:wordWrap",
                                                                    "w:overflowPunct",
                                                                    "w:topLinePunct",
                                                                    "w:autoSpaceDE",
                                                                    "w:autoSpaceDN",
                                                                    "w:bidi",
                                                                    "w:adjustRightInd",
                                                                    "w:snapToGrid",
                                                                    "w:spacing",
                                                                    "w:ind",
                                                                    "w:contextualSpacing",
                                                                    "w:mirrorIndents",
                                                                    "w:suppressOverlap",
                                                                    "w:jc",
                                                                    "w:textDirection",
                                                                    "w:textAlignment",
                                                                    "w:textboxTightWrap",
                                                                    "w:outlineLvl",
                                                                    "w:divId",
                                                                    "w:cnfStyle",
                                                                    "w:rPr",
                                                                    "w:sectPr",
                                                                    "w:pPrChange"};

const std::initializer_list<const char*> kStyleOrder = {"w:name",          "w:aliases",
                                                        "w:basedOn",       "w:next",
                                                        "w:link",          "w:autoRedefine",
                                                        "w:hidden",        "w:uiPriority",
                                                        "w:semiHidden",    "w:unhideWhenUsed",
                                                        "w:qFormat",       "w:locked",
                                                        "w:personal",      "w:personalCompose",
                                                        "w:personalReply", "w:rsid",
                                                        "w:pPr",           "w:rPr",
                                                        "w:tblPr",         "w:trPr",
                                                        "w:tcPr",          "w:tblStylePr"};

const std::initializer_list<const char*> kSectionOrder = {"w:headerReference",
                                                          "w:footerReference",
                                                          "w:footnotePr",
                                                          "w:endnotePr",
                                                          "w:type",
                                                          "w:pgSz",
                                                          "w:pgMar",
                                                          "w:paperSrc",
                                                          "w:pgBorders",
                                                          "w:lnNumType",
                                                          "w:pgNumType",
                                                          "w:cols",
                                                          "w:formProt",
                                                          "w:vAlign",
                                                          "w:noEndnote",
                                                          "w:titlePg",
                                                          "w:textDirection",
                                                          "w:bidi",
                                                          "w:rtlGutter",
                                                          "w:docGrid",
                                                          "w:printerSettings",
                                                          "w:sectPrChange"};

const std::initializer_list<const char*> kSettingsOrder = {"w:writeProtection",
                                                           "w:view",
                                                           "w:zoom",
                                                           "w:removePersonalInformation",
                                                           "w:removeDateAndTime",
                                                           "w:doNotDisplayPageBoundaries",
                                                           "w:displayBackgroundShape",
                                                           "w:printPostScriptOverText",
                                                           "w:printFractionalCharacterWidth",
                                                           "w:printFormsData",
                                                           "w:embedTrueTypeFonts",
                                                           "w:embedSystemFonts",
                                                           "w:saveSubsetFonts",
                                                           "w:saveFormsData",
                                                           "w:mirrorMargins",
                                                           "w:alignBordersAndEdges",
                                                           "w:bordersDoNotSurroundHeader",
                                                           "w:bordersDoNotSurroundFooter",
                                                           "w:gutterAtTop",
                                                           "w:hideSpellingErrors",
                                                           "w:hideGrammaticalErrors",
                                                           "w:activeWritingStyle",
                                                           "w:proofState",
                                                           "w:formsDesign",
                                                           "w:attachedTemplate",
                                                           "w:linkStyles",
                                                           "w:stylePaneFormatFilter",
                                                           "w:stylePaneSortMethod",
                                                           "w:documentType",
                                                           "w:mailMerge",
                                                           "w:revisionView",
                                                           "w:trackRevisions",
                                                           "w:doNotTrackMoves",
                                                           "w:doNotTrackFormatting",
                                                           "w:documentProtection",
                                                           "w:autoFormatOverride",
                                                           "w:styleLockTheme",
                                                           "w:styleLockQFSet",
                                                           "w:defaultTabStop",
                                                           "w:autoHyphenation",
                                                           "w:consecutiveHyphenLimit",
                                                           "w:hyphenationZone",
                                                           "w:doNotHyphenateCaps",
                                                           "w:showEnvelope",
                                                           "w:summaryLength",
                                                           "w:clickAndTypeStyle",
                                                           "w:defaultTableStyle",
                                                           "w:evenAndOddHeaders",
                                                           "w:bookFoldRevPrinting",
                                                           "w:bookFoldPrinting",
                                                           "w:bookFoldPrintingSheets",
                                                           "w:drawingGridHorizontalSpacing",
                                                           "w:drawingGridVerticalSpacing",
                                                           "w:displayHorizontalDrawingGridEvery",
                                                           "w:displayVerticalDrawingGridEvery",
                                                           "w:doNotUseMarginsForDrawingGridOrigin",
                                                           "w:drawingGridHorizontalOrigin",
                                                           "w:drawingGridVerticalOrigin",
                                                           "w:doNotShadeFormData",
                                                           "w:noPunctuationKerning",
                                                           "w:characterSpacingControl",
                                                           "w:printTwoOnOne",
                                                           "w:strictFirstAndLastChars",
                                                           "w:noLineBreaksAfter",
                                                           "w:noLineBreaksBefore",
                                                           "w:savePreviewPicture",
                                                           "w:doNotValidateAgainstSchema",
                                                           "w:saveInvalidXml",
                                                           "w:ignoreMixedContent",
                                                           "w:alwaysShowPlaceholderText",
                                                           "w:doNotDemarcateInvalidXml",
                                                           "w:saveXmlDataOnly",
                                                           "w:useXSLTWhenSaving",
                                                           "w:saveThroughXslt",
                                                           "w:showXMLTags",
                                                           "w:alwaysMergeEmptyNamespace",
                                                           "w:updateFields",
                                                           "w:hdrShapeDefaults",
                                                           "w:footnotePr",
                                                           "w:endnotePr",
                                                           "w:compat",
                                                           "w:docVars",
                                                           "w:rsids",
                                                           "m:mathPr",
                                                           "w:attachedSchema",
                                                           "w:themeFontLang",
                                                           "w:clrSchemeMapping",
                                                           "w:doNotIncludeSubdocsInStats",
                                                           "w:doNotAutoCompressPictures",
                                                           "w:forceUpgrade",
                                                           "w:captions",
                                                           "w:readModeInkLockDown",
                                                           "w:smartTagType",
                                                           "sl:schemaLibrary",
                                                           "w:shapeDefaults",
                                                           "w:doNotEmbedSmartTags",
                                                           "w:decimalSymbol",
                                                           "w:listSeparator"};

namespace {

int rankOf(const char* name, std::initializer_list<const char*> order) {
    int rank = 0;
    for (const char* entry : order) {
        if (std::strcmp(entry, name) == 0) {
            return rank;
        }
        ++rank;
    }
    return -1;
}

pugi::xml_node insertionPoint(pugi::xml_node parent, const char* name,
                              std::initializer_list<const char*> order) {
    const int rank = rankOf(name, order);
    if (rank < 0) {
        return {};
    }
    for (auto sibling : parent.children()) {
        const int other = rankOf(sibling.name(), order);
        if (other > rank) {
            return sibling;
        }
    }
    return {};
}

} // namespace

pugi::xml_node insertOrdered(pugi::xml_node parent, const pugi::xml_node& child,
                             std::initializer_list<const char*> order) {
    const auto before = insertionPoint(parent, child.name(), order);
    return before ? parent.insert_copy_before(child, before) : parent.append_copy(child);
}

pugi::xml_node orderedChild(pugi::xml_node parent, const char* name,
                            std::initializer_list<const char*> order) {
    if (auto existing = parent.child(name)) {
        return existing;
    }
    const auto before = insertionPoint(parent, name, order);
    return before ? parent.insert_child_before(name, before) : parent.append_child(name);
}

} // namespace paperloom::engine
