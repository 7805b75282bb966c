"""What each document-wide setting does to a pasted document, seen through LibreOffice.

For every variant, two small documents are made that differ only in one setting: A (the plain
document) and B (A's content with the setting changed). Each is rendered alone, and both are
joined both ways round. The table says whether the setting changes a document's pages at all
(A alone against B alone), and how many of B's pages survive after A leads (B then lives under
A's setting) and of A's pages after B leads.
"""

import os
import zipfile

THEME_FONTS = ("Liberation Serif", "Liberation Sans")
LOREM = ("Paperloom joins documents that were written apart, and each of them should look as it "
         "did on its own: the same lines, the same breaks, the same pages. A sentence long "
         "enough to wrap shows where a line ends; a change of a point in size or of a few "
         "twips of spacing moves every line after it and, sooner or later, a page break.")
CJK = "東アジアの文章です。「括弧」と、句読点。行頭禁則（例）：ー、。長い行が折り返される場所を見る。"

CONTENT_TYPES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>
<Override PartName="/word/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml"/>
<Override PartName="/word/settings.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml"/>
<Override PartName="/word/theme/theme1.xml" ContentType="application/vnd.openxmlformats-officedocument.theme+xml"/>
<Override PartName="/word/fontTable.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.fontTable+xml"/>
<Override PartName="/word/footnotes.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.footnotes+xml"/>
<Override PartName="/word/endnotes.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.endnotes+xml"/>
<Override PartName="/word/header1.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml"/>
<Override PartName="/word/header2.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml"/>
</Types>"""

PACKAGE_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>
</Relationships>"""

R = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
DOCUMENT_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="{r}styles" Target="styles.xml"/>
<Relationship Id="rId2" Type="{r}settings" Target="settings.xml"/>
<Relationship Id="rId3" Type="{r}theme" Target="theme/theme1.xml"/>
<Relationship Id="rId4" Type="{r}fontTable" Target="fontTable.xml"/>
<Relationship Id="rId5" Type="{r}footnotes" Target="footnotes.xml"/>
<Relationship Id="rId6" Type="{r}endnotes" Target="endnotes.xml"/>
<Relationship Id="rId7" Type="{r}header" Target="header1.xml"/>
<Relationship Id="rId8" Type="{r}header" Target="header2.xml"/>
</Relationships>""".format(r=R)

NAMESPACES = ('xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" '
              'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" '
              'xmlns:m="http://schemas.openxmlformats.org/officeDocument/2006/math" '
              'xmlns:v="urn:schemas-microsoft-com:vml" '
              'xmlns:o="urn:schemas-microsoft-com:office:office"')


def paragraph(text, properties="", run_properties=""):
    return ('<w:p><w:pPr>%s</w:pPr><w:r><w:rPr>%s</w:rPr><w:t xml:space="preserve">%s</w:t>'
            '</w:r></w:p>' % (properties, run_properties, text))


BACKGROUND_SLOT = "<!--background-->"


def document(title):
    body = [paragraph(title, '<w:pStyle w:val="Heading1"/>')]
    for n in range(1, 15):
        extra = ""
        if n == 2:
            extra = "".join('<w:r><w:br/><w:t>%d</w:t><w:tab/><w:t>tabbed</w:t><w:tab/>'
                            '<w:t>at</w:t><w:tab/><w:t>the</w:t><w:tab/><w:t>default</w:t>'
                            '<w:tab/><w:t>stops</w:t></w:r>' % line for line in range(8))
        if n == 3:
            extra = ('<w:r><w:t xml:space="preserve">A note</w:t></w:r><w:r><w:rPr><w:rStyle '
                     'w:val="FootnoteReference"/></w:rPr><w:footnoteReference w:id="1"/></w:r>'
                     '<w:r><w:t xml:space="preserve"> and an endnote</w:t></w:r><w:r><w:rPr>'
                     '<w:rStyle w:val="FootnoteReference"/></w:rPr><w:endnoteReference '
                     'w:id="1"/></w:r>')
        if n == 4:
            extra = ('<w:r><w:t>Justified with a manual</w:t><w:br/><w:t>line break.</w:t></w:r>')
        if n == 5:
            extra = ('<w:r><w:rPr><w:u w:val="single"/></w:rPr><w:t xml:space="preserve">'
                     'underlined with trailing spaces     </w:t></w:r>')
        if n == 6:
            extra = ('<w:ins w:id="90" w:author="Ann" w:date="2024-01-01T00:00:00Z"><w:r><w:t '
                     'xml:space="preserve"> An inserted sentence that a reader may show.</w:t>'
                     '</w:r></w:ins>')
        properties = '<w:jc w:val="both"/>' if n == 4 else ""
        if n == 7:
            properties = ('<w:spacing w:before="100" w:beforeAutospacing="1" '
                          'w:afterAutospacing="1"/>')
        body.append('<w:p><w:pPr>%s</w:pPr><w:r><w:t xml:space="preserve">%d. %s </w:t></w:r>%s'
                    '</w:p>' % (properties, n, LOREM, extra))
        if n == 8:
            body.append(paragraph(CJK * 3))
        if n == 9:
            rows = "".join("<w:tr>%s</w:tr>" % "".join(
                '<w:tc><w:tcPr><w:tcW w:w="3000" w:type="dxa"/></w:tcPr>%s</w:tc>' % paragraph(
                    "Cell %d.%d with text that wraps inside its cell" % (r, c)) for c in range(3))
                for r in range(3))
            body.append('<w:tbl><w:tblPr><w:tblW w:w="0" w:type="auto"/><w:tblBorders>%s'
                        '</w:tblBorders><w:tblLook w:val="04A0"/></w:tblPr><w:tblGrid>%s'
                        '</w:tblGrid>%s</w:tbl>' % ("".join(
                            '<w:%s w:val="single" w:sz="4" w:space="0" w:color="000000"/>' % s
                            for s in ("top", "left", "bottom", "right", "insideH", "insideV")),
                            '<w:gridCol w:w="3000"/>' * 3, rows))
            body.append(paragraph("Heading after a table", '<w:pStyle w:val="Heading1"/>'))
    body.append('<w:p><m:oMathPara><m:oMath><m:r><m:t>x=a+b</m:t></m:r></m:oMath>'
                '</m:oMathPara></w:p>')
    section = ('<w:sectPr><w:headerReference w:type="default" r:id="rId7"/>'
               '<w:headerReference w:type="even" r:id="rId8"/>'
               '<w:pgSz w:w="12240" w:h="15840"/><w:pgMar w:top="1440" w:right="1440" '
               'w:bottom="1440" w:left="2520" w:header="720" w:footer="720" w:gutter="0"/>'
               '<w:cols w:space="720"/><w:docGrid w:linePitch="360"/></w:sectPr>')
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:document %s>%s<w:body>%s%s'
            '</w:body></w:document>' % (NAMESPACES, BACKGROUND_SLOT, "".join(body), section))


STYLES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:styles %s><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:asciiTheme="minorHAnsi"
 w:eastAsiaTheme="minorEastAsia" w:hAnsiTheme="minorHAnsi" w:cstheme="minorBidi"/>
<w:sz w:val="22"/><w:szCs w:val="22"/><w:lang w:val="en-US" w:eastAsia="ja-JP" w:bidi="ar-SA"/>
</w:rPr></w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after="160" w:line="259"
 w:lineRule="auto"/></w:pPr></w:pPrDefault></w:docDefaults>
<w:style w:type="paragraph" w:default="1" w:styleId="Normal"><w:name w:val="Normal"/>
<w:qFormat/>%%s</w:style>
<w:style w:type="character" w:default="1" w:styleId="DefaultParagraphFont">
<w:name w:val="Default Paragraph Font"/></w:style>
<w:style w:type="table" w:default="1" w:styleId="TableNormal"><w:name w:val="Normal Table"/>
<w:tblPr><w:tblInd w:w="0" w:type="dxa"/><w:tblCellMar><w:top w:w="0" w:type="dxa"/>
<w:left w:w="%%s" w:type="dxa"/><w:bottom w:w="0" w:type="dxa"/><w:right w:w="%%s" w:type="dxa"/>
</w:tblCellMar></w:tblPr></w:style>
<w:style w:type="paragraph" w:styleId="Heading1"><w:name w:val="heading 1"/>
<w:basedOn w:val="Normal"/>
<w:next w:val="Normal"/><w:qFormat/><w:pPr><w:keepNext/><w:spacing w:before="240" w:after="0"/>
<w:outlineLvl w:val="0"/></w:pPr><w:rPr>
<w:rFonts w:asciiTheme="majorHAnsi" w:hAnsiTheme="majorHAnsi"/>
<w:sz w:val="%%s"/></w:rPr></w:style>
<w:style w:type="character" w:styleId="FootnoteReference"><w:name w:val="footnote reference"/>
<w:rPr><w:vertAlign w:val="superscript"/></w:rPr></w:style>
</w:styles>""" % NAMESPACES


def settings(extra="", compat='<w:compatSetting w:name="compatibilityMode" '
             'w:uri="http://schemas.microsoft.com/office/word" w:val="15"/>', tab="720",
             spacing="doNotCompress"):
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:settings %s>'
            '<w:defaultTabStop w:val="%s"/><w:characterSpacingControl w:val="%s"/>%s'
            '<w:footnotePr><w:footnote w:id="-1"/><w:footnote w:id="0"/></w:footnotePr>'
            '<w:endnotePr><w:endnote w:id="-1"/><w:endnote w:id="0"/></w:endnotePr>'
            '<w:compat>%s</w:compat></w:settings>' % (NAMESPACES, tab, spacing, extra, compat))


def theme(minor):
    colours = "".join('<a:%s><a:srgbClr val="%s"/></a:%s>' % (n, c, n) for n, c in (
        ("dk1", "000000"), ("lt1", "FFFFFF"), ("dk2", "44546A"), ("lt2", "E7E6E6"),
        ("accent1", "4472C4"), ("accent2", "ED7D31"), ("accent3", "A5A5A5"),
        ("accent4", "FFC000"), ("accent5", "5B9BD5"), ("accent6", "70AD47"),
        ("hlink", "0563C1"), ("folHlink", "954F72")))
    fill = '<a:solidFill><a:schemeClr val="phClr"/></a:solidFill>'
    line = '<a:ln w="%d"><a:solidFill><a:schemeClr val="phClr"/></a:solidFill></a:ln>'
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><a:theme xmlns:a='
            '"http://schemas.openxmlformats.org/drawingml/2006/main" name="Study">'
            '<a:themeElements><a:clrScheme name="Study">%s</a:clrScheme><a:fontScheme '
            'name="Study"><a:majorFont><a:latin typeface="%s"/><a:ea typeface=""/><a:cs '
            'typeface=""/></a:majorFont><a:minorFont><a:latin typeface="%s"/><a:ea typeface=""/>'
            '<a:cs typeface=""/></a:minorFont></a:fontScheme><a:fmtScheme name="Study">'
            '<a:fillStyleLst>%s</a:fillStyleLst><a:lnStyleLst>%s</a:lnStyleLst>'
            '<a:effectStyleLst>%s</a:effectStyleLst><a:bgFillStyleLst>%s</a:bgFillStyleLst>'
            '</a:fmtScheme></a:themeElements></a:theme>' % (
                colours, THEME_FONTS[0], minor, fill * 3,
                "".join(line % w for w in (6350, 12700, 19050)),
                "<a:effectStyle><a:effectLst/></a:effectStyle>" * 3, fill * 3))


def notes(kind, separator='<w:separator/>'):
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:{k}s {ns}>'
            '<w:{k} w:type="separator" w:id="-1"><w:p><w:pPr><w:spacing w:after="0" w:line="240"'
            ' w:lineRule="auto"/></w:pPr><w:r>{sep}</w:r></w:p></w:{k}>'
            '<w:{k} w:type="continuationSeparator" w:id="0"><w:p><w:pPr><w:spacing w:after="0" '
            'w:line="240" w:lineRule="auto"/></w:pPr><w:r><w:continuationSeparator/></w:r></w:p>'
            '</w:{k}><w:{k} w:id="1"><w:p><w:r><w:rPr><w:vertAlign w:val="superscript"/></w:rPr>'
            '<w:{k}Ref/></w:r><w:r><w:t xml:space="preserve"> The {k} text.</w:t></w:r></w:p>'
            '</w:{k}></w:{k}s>').format(k=kind, ns=NAMESPACES, sep=separator)


def header(text):
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:hdr %s>%s</w:hdr>' % (
        NAMESPACES, paragraph(text, '<w:jc w:val="%s"/>' % (
            "right" if "even" in text else "left"), '<w:b/><w:sz w:val="36"/>')))


FONT_TABLE = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:fonts %s>%%s'
              '<w:font w:name="Liberation Serif"><w:family w:val="roman"/></w:font>'
              '<w:font w:name="Liberation Sans"><w:family w:val="swiss"/></w:font></w:fonts>'
              % NAMESPACES)


def plain_parts(title):
    """The parts of the plain document, as texts with the slots the variants fill."""
    return {
        "document": document(title), "background": "",
        "styles": STYLES, "normal": "", "cell_margin": "108", "heading_size": "32",
        "settings_extra": "", "compat": None, "tab": "720", "spacing": "doNotCompress",
        "minor": THEME_FONTS[1], "fonts_extra": "", "separator": "<w:separator/>",
    }


def write_package(path, parts):
    styles = parts["styles"] % (parts["normal"], parts["cell_margin"], parts["cell_margin"],
                                parts["heading_size"])
    extra = parts.get("styles_extra", "")
    if extra:
        styles = styles.replace("</w:styles>", extra + "</w:styles>")
    if parts.get("doc_defaults"):
        start, end = styles.index("<w:docDefaults>"), styles.index("</w:docDefaults>") + 16
        styles = styles[:start] + parts["doc_defaults"] + styles[end:]
    setting_args = {"extra": parts["settings_extra"], "tab": parts["tab"],
                    "spacing": parts["spacing"]}
    if parts["compat"] is not None:
        setting_args["compat"] = parts["compat"]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        def put(name, text):
            # Fixed time stamps: the same document gives the same bytes and its cached rendering.
            archive.writestr(zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0)),
                             text.encode("utf-8"), zipfile.ZIP_DEFLATED)

        put("[Content_Types].xml", CONTENT_TYPES.replace(
            '<Override PartName="/word/theme/theme1.xml" ContentType="application/'
            'vnd.openxmlformats-officedocument.theme+xml"/>\n', "")
            if parts.get("no_theme") else CONTENT_TYPES)
        put("_rels/.rels", PACKAGE_RELS)
        put("word/_rels/document.xml.rels", DOCUMENT_RELS.replace(
            '<Relationship Id="rId3" Type="%stheme" Target="theme/theme1.xml"/>' % R, "")
            if parts.get("no_theme") else DOCUMENT_RELS)
        put("word/document.xml",
                         parts["document"].replace(BACKGROUND_SLOT, parts["background"]))
        put("word/styles.xml", styles)
        put("word/settings.xml", settings(**setting_args))
        if not parts.get("no_theme"):
            put("word/theme/theme1.xml", theme(parts["minor"]))
        put("word/fontTable.xml", FONT_TABLE % parts["fonts_extra"])
        put("word/footnotes.xml", notes("footnote", parts["separator"]))
        put("word/endnotes.xml", notes("endnote", parts["separator"]))
        put("word/header1.xml", header("Header on every page"))
        put("word/header2.xml", header("Header of even pages"))


MODE = ('<w:compatSetting w:name="compatibilityMode" w:uri="http://schemas.microsoft.com/office/'
        'word" w:val="%s"/>')


def compat_option(name):
    return {"compat": "<w:%s/>" % name + MODE % "15"}


# (kind of setting, what B has where A has the plain value, the parts B changes)
VARIANTS = [
    ("layout mode", "compatibilityMode 14 (A: 15)", {"compat": MODE % "14"}),
    ("layout mode", "compatibilityMode 12", {"compat": MODE % "12"}),
    ("layout mode", "no compatibilityMode (oldest)", {"compat": ""}),
    ("compatibility options", "doNotUseHTMLParagraphAutoSpacing",
     compat_option("doNotUseHTMLParagraphAutoSpacing")),
    ("compatibility options", "doNotExpandShiftReturn", compat_option("doNotExpandShiftReturn")),
    ("compatibility options", "ulTrailSpace", compat_option("ulTrailSpace")),
    ("compatibility options", "adjustLineHeightInTable", compat_option("adjustLineHeightInTable")),
    ("compatibility options", "balanceSingleByteDoubleByteWidth",
     compat_option("balanceSingleByteDoubleByteWidth")),
    ("compatibility options", "spaceForUL", compat_option("spaceForUL")),
    ("compatibility options", "useFELayout", compat_option("useFELayout")),
    ("compatibility options", "doNotLeaveBackslashAlone",
     compat_option("doNotLeaveBackslashAlone")),
    ("compatibility options", "noLeading", compat_option("noLeading")),
    ("compatibility options", "usePrinterMetrics", compat_option("usePrinterMetrics")),
    ("document defaults", "font size 12 pt (A: 11 pt)", {"doc_defaults": (
        '<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:asciiTheme="minorHAnsi" '
        'w:eastAsiaTheme="minorEastAsia" w:hAnsiTheme="minorHAnsi" w:cstheme="minorBidi"/>'
        '<w:sz w:val="24"/><w:szCs w:val="24"/><w:lang w:val="en-US" w:eastAsia="ja-JP" '
        'w:bidi="ar-SA"/></w:rPr></w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after="160" '
        'w:line="259" w:lineRule="auto"/></w:pPr></w:pPrDefault></w:docDefaults>')}),
    ("document defaults", "no paragraph spacing (A: after 8 pt, line 1.08)", {"doc_defaults": (
        '<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:asciiTheme="minorHAnsi" '
        'w:eastAsiaTheme="minorEastAsia" w:hAnsiTheme="minorHAnsi" w:cstheme="minorBidi"/>'
        '<w:sz w:val="22"/><w:szCs w:val="22"/><w:lang w:val="en-US" w:eastAsia="ja-JP" '
        'w:bidi="ar-SA"/></w:rPr></w:rPrDefault><w:pPrDefault/></w:docDefaults>')}),
    ("document defaults", "no docDefaults at all", {"doc_defaults": "<w:docDefaults/>"}),
    ("default paragraph style", "Normal with 10 pt, after 0", {
        "normal": '<w:pPr><w:spacing w:after="0"/></w:pPr><w:rPr><w:sz w:val="20"/></w:rPr>'}),
    ("default table style", "cell margins 0.4 in (A: 0.075 in)", {"cell_margin": "576"}),
    ("styles of the same id", "Heading 1 at 20 pt (A: 16 pt)", {"heading_size": "40"}),
    ("theme", "minor font Liberation Serif (A: Liberation Sans)", {"minor": THEME_FONTS[0]}),
    ("theme", "no theme part", {"no_theme": True}),
    ("font table", "an entry with another family for the minor font", {"fonts_extra": (
        '<w:font w:name="Calibri"><w:altName w:val="Liberation Serif"/><w:family '
        'w:val="roman"/></w:font>')}),
    ("default tab stop", "0.79 in (A: 0.5 in)", {"tab": "1134"}),
    ("character spacing control", "compressPunctuation (A: doNotCompress)",
     {"spacing": "compressPunctuation"}),
    ("character spacing control", "compressPunctuationAndJapaneseKana",
     {"spacing": "compressPunctuationAndJapaneseKana"}),
    ("East Asian line breaking", "strictFirstAndLastChars",
     {"settings_extra": "<w:strictFirstAndLastChars/>"}),
    ("East Asian line breaking", "noLineBreaksAfter/Before (Japanese)", {"settings_extra": (
        '<w:noLineBreaksAfter w:lang="ja-JP" w:val="$([\\{£¥‘“〈《「『【〔＄（［｛｢￡￥"/>'
        '<w:noLineBreaksBefore w:lang="ja-JP" w:val="!%),.:;?]}¢°’”‰′″℃、。々〉》」』】〕'
        'ぁぃぅぇぉっゃゅょゎ゛゜ゝゞァィゥェォッャュョヮヵヶ・ーヽヾ！％），．：；？］｝'
        '｡｣､･ｧｨｩｪｫｬｭｮｯｰﾞﾟ￠"/>')}),
    ("hyphenation", "autoHyphenation, zone 0.25 in",
     {"settings_extra": '<w:autoHyphenation/><w:hyphenationZone w:val="357"/>'}),
    ("even and odd headers", "evenAndOddHeaders", {"settings_extra": "<w:evenAndOddHeaders/>"}),
    ("mirror margins and book folds", "mirrorMargins", {"settings_extra": "<w:mirrorMargins/>"}),
    ("mirror margins and book folds", "bookFoldPrinting",
     {"settings_extra": "<w:bookFoldPrinting/>"}),
    ("note separators", "a separator paragraph with 48 pt after",
     {"separator": '<w:separator/></w:r></w:p><w:p><w:pPr><w:spacing w:after="960"/></w:pPr>'
                   '<w:r><w:t>-</w:t>'}),
    ("page background", "a grey page background shown",
     {"background": '<w:background w:color="D9D9D9"/>',
      "settings_extra": "<w:displayBackgroundShape/>"}),
    ("revision display", "revisionView without insertions and deletions",
     {"settings_extra": '<w:revisionView w:markup="0" w:insDel="0" w:formatting="0"/>'}),
    ("math properties", "m:mathPr with display math left-aligned", {"settings_extra": (
        '<m:mathPr><m:mathFont m:val="Cambria Math"/><m:defJc m:val="left"/><m:dispDef/>'
        '</m:mathPr>')}),
]


def study(bench, renderer, joiner, workdir, only=None):
    """Rows of (kind, variant, B alone differs from A, B's pages kept after A, A's after B)."""
    os.makedirs(workdir, exist_ok=True)
    plain = os.path.join(workdir, "plain.docx")
    write_package(plain, plain_parts("Document A, the plain one"))
    jobs = []
    for number, (kind, variant, changes) in enumerate(VARIANTS, 1):
        if only and kind not in only:
            continue
        parts = plain_parts("Document B: %s" % variant)
        setting_parts = dict(parts, **changes)
        changed = os.path.join(workdir, "variant-%02d.docx" % number)
        write_package(changed, setting_parts)
        same_text = os.path.join(workdir, "variant-%02d-as-plain.docx" % number)
        write_package(same_text, dict(plain_parts("Document A, the plain one"), **changes))
        after_plain = os.path.join(workdir, "variant-%02d-after-plain.docx" % number)
        before_plain = os.path.join(workdir, "variant-%02d-before-plain.docx" % number)
        ok1, _ = bench.run_joiner(joiner, after_plain, [plain, changed])
        ok2, _ = bench.run_joiner(joiner, before_plain, [changed, plain])
        jobs.append((kind, variant, changed, same_text, after_plain if ok1 else None,
                     before_plain if ok2 else None))
    renderer.render_all([plain] + [p for job in jobs for p in job[2:] if p], text=False)
    rows = []
    plain_pages = renderer.pages(renderer.digest(plain))
    for kind, variant, changed, same_text, after_plain, before_plain in jobs:
        own = renderer.pages(renderer.digest(same_text))
        differs = own is None or len(own) != len(plain_pages) or not all(
            a.same(b) for a, b in zip(own, plain_pages))

        def kept(output, index, sources):
            if not output:
                return "join failed"
            entry = bench.measure(renderer, sources, output, text=False)["documents"][index]
            return "%d/%d" % (len(entry["matched"]), entry["pages"])

        rows.append((kind, variant, differs, kept(after_plain, 1, [plain, changed]),
                     kept(before_plain, 1, [changed, plain])))
    return rows


def format_rows(rows):
    lines = ["| kind | B differs from A in | changes a document's own pages | B's pages kept "
             "after A | A's pages kept after B |", "|---|---|---|---|---|"]
    for kind, variant, differs, after, before in rows:
        lines.append("| %s | %s | %s | %s | %s |" % (kind, variant, "yes" if differs else "no",
                                                     after, before))
    return "\n".join(lines)
