// Text of the parts a new document is made of.
#include "engine/model/BlankDocument.h"

#include "engine/model/DocumentModel.h"

namespace paperloom::engine {
namespace {

constexpr const char* kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

constexpr const char* kNamespaces =
    " xmlns:wpc=\"http://schemas.microsoft.com/office/word/2010/wordprocessingCanvas\""
    " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\""
    " xmlns:o=\"urn:schemas-microsoft-com:office:office\""
    " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\""
    " xmlns:m=\"http://schemas.openxmlformats.org/officeDocument/2006/math\""
    " xmlns:v=\"urn:schemas-microsoft-com:vml\""
    " xmlns:wp14=\"http://schemas.microsoft.com/office/word/2010/wordprocessingDrawing\""
    " xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\""
    " xmlns:w10=\"urn:schemas-microsoft-com:office:word\""
    " xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\""
    " xmlns:w14=\"http://schemas.microsoft.com/office/word/2010/wordml\""
    " xmlns:w15=\"http://schemas.microsoft.com/office/word/2012/wordml\""
    " xmlns:w16se=\"http://schemas.microsoft.com/office/word/2015/wordml/symex\""
    " xmlns:w16cid=\"http://schemas.microsoft.com/office/word/2016/wordml/cid\""
    " xmlns:w16=\"http://schemas.microsoft.com/office/word/2018/wordml\""
    " xmlns:w16cex=\"http://schemas.microsoft.com/office/word/2018/wordml/cex\""
    " xmlns:w16sdtdh=\"http://schemas.microsoft.com/office/word/2020/wordml/sdtdatahash\""
    " xmlns:wpg=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\""
    " xmlns:wpi=\"http://schemas.microsoft.com/office/word/2010/wordprocessingInk\""
    " xmlns:wne=\"http://schemas.microsoft.com/office/word/2006/wordml\""
    " xmlns:wps=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\""
    " mc:Ignorable=\"w14 w15 w16se w16cid w16 w16cex w16sdtdh wp14\"";

constexpr const char* kTheme =
    "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "name=\"Office Theme\"><a:themeElements><a:clrScheme name=\"Office\">"
    "<a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1>"
    "<a:lt1><a:sysClr val=\"window\" lastClr=\"FFFFFF\"/></a:lt1>"
    "<a:dk2><a:srgbClr val=\"44546A\"/></a:dk2><a:lt2><a:srgbClr val=\"E7E6E6\"/></a:lt2>"
    "<a:accent1><a:srgbClr val=\"4472C4\"/></a:accent1>"
    "<a:accent2><a:srgbClr val=\"ED7D31\"/></a:accent2>"
    "<a:accent3><a:srgbClr val=\"A5A5A5\"/></a:accent3>"
    "<a:accent4><a:srgbClr val=\"FFC000\"/></a:accent4>"
    "<a:accent5><a:srgbClr val=\"5B9BD5\"/></a:accent5>"
    "<a:accent6><a:srgbClr val=\"70AD47\"/></a:accent6>"
    "<a:hlink><a:srgbClr val=\"0563C1\"/></a:hlink>"
    "<a:folHlink><a:srgbClr val=\"954F72\"/></a:folHlink></a:clrScheme>"
    "<a:fontScheme name=\"Office\"><a:majorFont><a:latin typeface=\"Calibri Light\"/>"
    "<a:ea typeface=\"\"/><a:cs typeface=\"\"/></a:majorFont><a:minorFont>"
    "<a:latin typeface=\"Calibri\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/></a:minorFont>"
    "</a:fontScheme><a:fmtScheme name=\"Office\"><a:fillStyleLst>"
    "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>"
    "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>"
    "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill></a:fillStyleLst><a:lnStyleLst>"
    "<a:ln w=\"6350\"><a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill></a:ln>"
    "<a:ln w=\"12700\"><a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill></a:ln>"
    "<a:ln w=\"19050\"><a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill></a:ln>"
    "</a:lnStyleLst><a:effectStyleLst><a:effectStyle><a:effectLst/></a:effectStyle>"
    "<a:effectStyle><a:effectLst/></a:effectStyle><a:effectStyle><a:effectLst/></a:effectStyle>"
    "</a:effectStyleLst><a:bgFillStyleLst>"
    "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>"
    "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>"
    "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill></a:bgFillStyleLst></a:fmtScheme>"
    "</a:themeElements></a:theme>";

constexpr const char* kStyles =
    "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:asciiTheme=\"minorHAnsi\" "
    "w:eastAsiaTheme=\"minorHAnsi\" w:hAnsiTheme=\"minorHAnsi\" w:cstheme=\"minorBidi\"/>"
    "<w:sz w:val=\"22\"/><w:szCs w:val=\"22\"/><w:lang w:val=\"en-US\" w:eastAsia=\"en-US\" "
    "w:bidi=\"ar-SA\"/></w:rPr></w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after=\"160\" "
    "w:line=\"259\" w:lineRule=\"auto\"/></w:pPr></w:pPrDefault></w:docDefaults>"
    "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/>"
    "<w:qFormat/></w:style>"
    "<w:style w:type=\"character\" w:default=\"1\" w:styleId=\"DefaultParagraphFont\">"
    "<w:name w:val=\"Default Paragraph Font\"/><w:uiPriority w:val=\"1\"/><w:semiHidden/>"
    "<w:unhideWhenUsed/></w:style>"
    "<w:style w:type=\"table\" w:default=\"1\" w:styleId=\"TableNormal\">"
    "<w:name w:val=\"Normal Table\"/><w:uiPriority w:val=\"99\"/><w:semiHidden/>"
    "<w:unhideWhenUsed/><w:tblPr><w:tblInd w:w=\"0\" w:type=\"dxa\"/><w:tblCellMar>"
    "<w:top w:w=\"0\" w:type=\"dxa\"/><w:left w:w=\"108\" w:type=\"dxa\"/>"
    "<w:bottom w:w=\"0\" w:type=\"dxa\"/><w:right w:w=\"108\" w:type=\"dxa\"/></w:tblCellMar>"
    "</w:tblPr></w:style>"
    "<w:style w:type=\"numbering\" w:default=\"1\" w:styleId=\"NoList\">"
    "<w:name w:val=\"No List\"/><w:uiPriority w:val=\"99\"/><w:semiHidden/><w:unhideWhenUsed/>"
    "</w:style>";

} // namespace

std::string blankStartTag(const std::string& elementName) {
    return "<" + elementName + kNamespaces + ">";
}

BlankParts blankParts(int pageWidth, int pageHeight) {
    BlankParts parts;
    const std::string mainType =
        "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";
    parts.contentTypes =
        std::string(kDecl) +
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/word/document.xml\" ContentType=\"" +
        mainType +
        "\"/><Override PartName=\"/word/styles.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml\"/"
        ">"
        "<Override PartName=\"/word/settings.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.wordprocessingml.settings+xml\"/>"
        "<Override PartName=\"/word/theme/theme1.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.theme+xml\"/></Types>";
    parts.packageRels =
        std::string(kDecl) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>";
    parts.documentRels =
        std::string(kDecl) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/styles\" Target=\"styles.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/settings\" Target=\"settings.xml\"/>"
        "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/theme\" Target=\"theme/theme1.xml\"/></Relationships>";
    parts.document = std::string(kDecl) + blankStartTag("w:document") +
                     "<w:body><w:p/><w:sectPr><w:pgSz w:w=\"" + std::to_string(pageWidth) +
                     "\" w:h=\"" + std::to_string(pageHeight) +
                     "\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" w:bottom=\"1440\" "
                     "w:left=\"1440\" w:header=\"708\" w:footer=\"708\" w:gutter=\"0\"/>"
                     "<w:cols w:space=\"708\"/><w:docGrid w:linePitch=\"360\"/></w:sectPr>"
                     "</w:body></w:document>";
    parts.styles = std::string(kDecl) + blankStartTag("w:styles") + kStyles + "</w:styles>";
    parts.settings = std::string(kDecl) + blankStartTag("w:settings") +
                     "<w:zoom w:percent=\"100\"/><w:defaultTabStop w:val=\"720\"/>"
                     "<w:characterSpacingControl w:val=\"doNotCompress\"/><w:compat>"
                     "<w:compatSetting w:name=\"compatibilityMode\" "
                     "w:uri=\"http://schemas.microsoft.com/office/word\" w:val=\"15\"/>"
                     "</w:compat></w:settings>";
    parts.theme = std::string(kDecl) + kTheme;
    return parts;
}

} // namespace paperloom::engine
