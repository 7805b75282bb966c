"""The document-wide settings of a WordprocessingML package, and giving one package another's.

A joined document has one settings part, one theme, one set of document defaults and one default
paragraph style: those of the document that leads. To find which of them changes a later
document's pages, the bench gives a copy of the leading document one kind of the later
document's settings at a time (`transplant`) and joins again.
"""

import re

from package_text import (W_NS, THEME_CONTENT_TYPE, THEME_TYPE, Package, elements_between,
                          children, is_w, namespaces, normalised, portable, top_children)

# The order of w:settings children (CT_Settings): a moved setting goes where a reader expects it.
SETTINGS_ORDER = """writeProtection view zoom removePersonalInformation removeDateAndTime
doNotDisplayPageBoundaries displayBackgroundShape printPostScriptOverText
printFractionalCharacterWidth printFormsData embedTrueTypeFonts embedSystemFonts saveSubsetFonts
saveFormsData mirrorMargins alignBordersAndEdges bordersDoNotSurroundHeader
bordersDoNotSurroundFooter gutterAtTop hideSpellingErrors hideGrammaticalErrors
activeWritingStyle proofState formsDesign attachedTemplate linkStyles stylePaneFormatFilter
stylePaneSortMethod documentType mailMerge revisionView trackRevisions doNotTrackMoves
doNotTrackFormatting documentProtection autoFormatOverride styleLockTheme styleLockQFSet
defaultTabStop autoHyphenation consecutiveHyphenLimit hyphenationZone doNotHyphenateCaps
showEnvelope summaryLength clickAndTypeStyle defaultTableStyle evenAndOddHeaders
bookFoldRevPrinting bookFoldPrinting bookFoldPrintingSheets drawingGridHorizontalSpacing
drawingGridVerticalSpacing displayHorizontalDrawingGridEvery displayVerticalDrawingGridEvery
doNotUseMarginsForDrawingGridOrigin drawingGridHorizontalOrigin drawingGridVerticalOrigin
doNotShadeFormData noPunctuationKerning characterSpacingControl printTwoOnOne
strictFirstAndLastChars noLineBreaksAfter noLineBreaksBefore savePreviewPicture
doNotValidateAgainstSchema saveInvalidXml ignoreMixedContent alwaysShowPlaceholderText
doNotDemarcateInvalidXml saveXmlDataOnly useXSLTWhenSaving saveThroughXslt showXMLTags
alwaysMergeEmptyNamespace updateFields hdrShapeDefaults footnotePr endnotePr compat docVars rsids
mathPr attachedSchema themeFontLang clrSchemeMapping doNotIncludeSubdocsInStats
doNotAutoCompressPictures forceUpgrade captions readModeInkLockDown smartTagType schemaLibrary
shapeDefaults doNotEmbedSmartTags decimalSymbol listSeparator""".split()
SETTINGS_RANK = {name: rank for rank, name in enumerate(SETTINGS_ORDER)}

# Settings that name other parts or only record editing history: never moved.
NOT_MOVED = {"attachedTemplate", "mailMerge", "rsids", "attachedSchema", "schemaLibrary",
             "captions", "smartTagType", "docVars", "proofState", "zoom",
             "removePersonalInformation", "removeDateAndTime", "savePreviewPicture"}


# ----------------------------------------------------------------------------- settings.xml


def _settings(package):
    part = package.related("settings")
    text = package.text(part) if part else None
    return part, text


def settings_children(package, names):
    """[(local name, fragment text)] of the named w:settings children, and the namespaces."""
    _, text = _settings(package)
    if text is None:
        return [], {}
    ns_map = namespaces(text)
    return [(e.local, text[e.start:e.end]) for e in top_children(text)
            if is_w(e, names, ns_map)], ns_map


def settings_key(package, names):
    found, ns_map = settings_children(package, names)
    return "".join(normalised(fragment, ns_map) for _, fragment in sorted(found))


def _put_settings(target, names, wanted, source_ns):
    """Replaces the target's named settings by `wanted` [(local name, fragment)]."""
    part, text = _settings(target)
    if text is None:
        return False
    ns_map = namespaces(text)
    for element in sorted(top_children(text), key=lambda e: -e.start):
        if is_w(element, names, ns_map):
            text = text[:element.start] + text[element.end:]
    for local, fragment in wanted:
        rank = SETTINGS_RANK.get(local, len(SETTINGS_RANK))
        kept = top_children(text)
        after = [e for e in kept if is_w(e, SETTINGS_RANK, ns_map) and
                 SETTINGS_RANK[e.local] > rank]
        extensions = [e for e in kept if not is_w(e, SETTINGS_RANK, ns_map)]
        if after:
            at = after[0].start
        elif extensions:
            at = extensions[0].start
        else:
            at = text.rfind("</")
        text = text[:at] + portable(fragment, source_ns, ns_map) + text[at:]
    target.set_text(part, text)
    return True


def replace_settings(target, source, names):
    """Gives `target` the named settings as `source` has them (none where it has none)."""
    wanted, source_ns = settings_children(source, names)
    return _put_settings(target, names, wanted, source_ns)


def _compat_pieces(package, layout_mode):
    """The compat children that are (or are not) the layout mode, and the namespaces."""
    found, ns_map = settings_children(package, {"compat"})
    pieces = []
    for _, fragment in found:
        for e in children(fragment):
            is_mode = e.local == "compatSetting" and e.attribute("name") == "compatibilityMode"
            if is_mode == layout_mode:
                pieces.append(fragment[e.start:e.end])
    return pieces, ns_map


def compat_key(package, layout_mode):
    pieces, ns_map = _compat_pieces(package, layout_mode)
    return "".join(normalised(p, ns_map) for p in pieces)


def replace_compat(target, source, layout_mode):
    """Gives `target` the layout mode (or else the other compatibility options) of `source`."""
    _, text = _settings(target)
    if text is None:
        return False
    ns_map = namespaces(text)
    own, _ = _compat_pieces(target, not layout_mode)
    theirs, source_ns = _compat_pieces(source, layout_mode)
    pieces = own + [portable(p, source_ns, ns_map) for p in theirs]
    prefix = next((p for p, uri in ns_map.items() if uri == W_NS), "w")
    tag = prefix + ":compat" if prefix else "compat"
    wanted = [("compat", "<%s>%s</%s>" % (tag, "".join(pieces), tag))] if pieces else []
    return _put_settings(target, {"compat"}, wanted, ns_map)


# ----------------------------------------------------------------------------- styles.xml


def _styles(package):
    part = package.related("styles")
    text = package.text(part) if part else None
    return part, text


def default_style(text, kind):
    """The default style element of a kind (paragraph, table, character, numbering)."""
    ns_map = namespaces(text)
    for e in top_children(text):
        if is_w(e, {"style"}, ns_map) and e.attribute("type") == kind and \
                e.attribute("default") in ("1", "true", "on"):
            return e
    return None


STYLE_FORMATTING = {"paragraph": {"pPr", "rPr"},
                    "table": {"pPr", "rPr", "tblPr", "trPr", "tcPr", "tblStylePr"}}


def doc_defaults_key(package):
    _, text = _styles(package)
    if text is None:
        return ""
    ns_map = namespaces(text)
    return "".join(normalised(text[e.start:e.end], ns_map) for e in top_children(text)
                   if is_w(e, {"docDefaults"}, ns_map))


def default_style_key(package, kind):
    _, text = _styles(package)
    style = default_style(text, kind) if text else None
    if style is None:
        return ""
    ns_map = namespaces(text)
    return "".join(normalised(text[c.start:c.end], ns_map) for c in children(text, style)
                   if c.local in STYLE_FORMATTING[kind])


def replace_doc_defaults(target, source):
    part, text = _styles(target)
    _, source_text = _styles(source)
    if text is None:
        return False
    ns_map = namespaces(text)
    fragment = ""
    if source_text:
        source_ns = namespaces(source_text)
        found = [e for e in top_children(source_text) if is_w(e, {"docDefaults"}, source_ns)]
        if found:
            fragment = portable(source_text[found[0].start:found[0].end], source_ns, ns_map)
    own = [e for e in top_children(text) if is_w(e, {"docDefaults"}, ns_map)]
    if own:
        text = text[:own[0].start] + fragment + text[own[0].end:]
    else:
        first = top_children(text)
        at = first[0].start if first else text.rfind("</")
        text = text[:at] + fragment + text[at:]
    target.set_text(part, text)
    return True


def replace_default_style(target, source, kind):
    """Gives the target's default style of a kind the formatting of the source's one."""
    part, text = _styles(target)
    _, source_text = _styles(source)
    mine = default_style(text, kind) if text else None
    if mine is None or mine.is_empty():
        return False
    ns_map = namespaces(text)
    keep = STYLE_FORMATTING[kind]
    wanted = ""
    theirs = default_style(source_text, kind) if source_text else None
    if theirs is not None:
        source_ns = namespaces(source_text)
        wanted = "".join(portable(source_text[c.start:c.end], source_ns, ns_map)
                         for c in children(source_text, theirs) if c.local in keep)
    pieces = children(text, mine)
    formatting = [c for c in pieces if c.local in keep]
    at = formatting[0].start if formatting else text.rfind("</", mine.start, mine.end)
    for c in sorted(formatting, key=lambda c: -c.start):
        text = text[:c.start] + text[c.end:]
    text = text[:at] + wanted + text[at:]
    target.set_text(part, text)
    return True


def _styles_by_id(text):
    ns_map = namespaces(text)
    return {e.attribute("styleId"): e for e in top_children(text)
            if is_w(e, {"style"}, ns_map) and e.attribute("default") not in ("1", "true", "on")}


def same_named_styles(target, source):
    """Style ids both packages define, other than the default styles, that differ."""
    _, text = _styles(target)
    _, source_text = _styles(source)
    if not text or not source_text:
        return []
    ns_map, source_ns = namespaces(text), namespaces(source_text)
    mine, theirs = _styles_by_id(text), _styles_by_id(source_text)
    return sorted(i for i in mine.keys() & theirs.keys()
                  if normalised(text[mine[i].start:mine[i].end], ns_map) !=
                  normalised(source_text[theirs[i].start:theirs[i].end], source_ns))


def replace_same_named_styles(target, source):
    part, text = _styles(target)
    _, source_text = _styles(source)
    ids = set(same_named_styles(target, source))
    if not ids:
        return False
    ns_map, source_ns = namespaces(text), namespaces(source_text)
    theirs = _styles_by_id(source_text)
    for style_id, e in sorted(_styles_by_id(text).items(), key=lambda item: -item[1].start):
        if style_id in ids:
            fragment = source_text[theirs[style_id].start:theirs[style_id].end]
            text = text[:e.start] + portable(fragment, source_ns, ns_map) + text[e.end:]
    target.set_text(part, text)
    return True


# ----------------------------------------------------------------------------- other parts


def theme_key(package):
    part = package.related("theme")
    return package.parts.get(part, b"") if part else b""


def replace_theme(target, source):
    """Gives `target` the theme of `source` (none when it has none)."""
    theirs = theme_key(source)
    part = target.related("theme")
    if part and theirs:
        target.parts[part] = theirs
        return True
    rels = Package.rels_name(target.main)
    text = target.text(rels)
    if text is None:
        return False
    if part:
        for e in top_children(text):
            if e.attribute("Type") == THEME_TYPE:
                text = text[:e.start] + text[e.end:]
                break
        target.set_text(rels, text)
        return True
    if not theirs:
        return False
    folder = target.main.rpartition("/")[0]
    name = (folder + "/" if folder else "") + "theme/themeOfAnother.xml"
    target.parts[name] = theirs
    target.order.append(name)
    at = text.rfind("</")
    text = text[:at] + '<Relationship Id="rIdThemeOfAnother" Type="%s" Target="%s"/>' % (
        THEME_TYPE, "theme/themeOfAnother.xml") + text[at:]
    target.set_text(rels, text)
    types = target.text("[Content_Types].xml")
    at = types.rfind("</")
    target.set_text("[Content_Types].xml", types[:at] + (
        '<Override PartName="/%s" ContentType="%s"/>' % (name, THEME_CONTENT_TYPE)) + types[at:])
    return True


EMBEDDED_FONT = re.compile(r"<(?:\w+:)?embed(?:Regular|Bold|Italic|BoldItalic)\b[^>]*/>")


def font_table_key(package):
    part = package.related("fontTable")
    text = package.text(part) if part else None
    return normalised(EMBEDDED_FONT.sub("", text), namespaces(text)) if text else ""


def replace_font_table(target, source):
    part, source_part = target.related("fontTable"), source.related("fontTable")
    if not part or not source_part:
        return False
    # Embedded fonts name relationships that the target does not have.
    target.set_text(part, EMBEDDED_FONT.sub("", source.text(source_part)))
    return True


SEPARATOR_TYPES = ("separator", "continuationSeparator")


def _separators(package, kind):
    """{type: content} of the separator notes of the footnotes or endnotes part, namespaces."""
    part = package.related(kind)
    text = package.text(part) if part else None
    if text is None:
        return {}, {}
    found = {}
    for e in top_children(text):
        if e.attribute("type") in SEPARATOR_TYPES and not e.is_empty():
            found[e.attribute("type")] = text[e.open_end:text.rfind("</", e.start, e.end)]
    return found, namespaces(text)


def separators_key(package):
    key = []
    for kind in ("footnotes", "endnotes"):
        found, ns_map = _separators(package, kind)
        key += [normalised("<x>%s</x>" % found[t], ns_map) for t in sorted(found)]
    return "".join(key)


def replace_separators(target, source):
    """Gives the target's note separators the content of the source's ones."""
    changed = False
    for kind in ("footnotes", "endnotes"):
        part = target.related(kind)
        theirs, source_ns = _separators(source, kind)
        if not part or not theirs:
            continue
        text = target.text(part)
        ns_map = namespaces(text)
        for e in sorted(top_children(text), key=lambda e: -e.start):
            kind_of = e.attribute("type")
            if kind_of in theirs and not e.is_empty():
                close = text.rfind("</", e.start, e.end)
                body = "".join(text_piece for text_piece in (
                    portable(theirs[kind_of][c.start:c.end], source_ns, ns_map)
                    for c in elements_between(theirs[kind_of], 0, len(theirs[kind_of]))))
                text = text[:e.open_end] + body + text[close:]
                changed = True
        target.set_text(part, text)
    return changed


def _background(package):
    """The w:background element of the main part (text, span) or ("", None)."""
    text = package.text(package.main) or ""
    ns_map = namespaces(text)
    for element in top_children(text):
        if is_w(element, {"background"}, ns_map):
            return text[element.start:element.end], element
        if is_w(element, {"body"}, ns_map):
            break
    return "", None


def background_key(package):
    text = package.text(package.main) or ""
    return normalised(_background(package)[0], namespaces(text)) if text else ""


def replace_background(target, source):
    """Gives the target the page background of the source (its w:background)."""
    text = target.text(target.main)
    _, mine = _background(target)
    theirs, _ = _background(source)
    theirs = portable(theirs, namespaces(source.text(source.main)), namespaces(text)) \
        if theirs else ""
    if mine is not None:
        text = text[:mine.start] + theirs + text[mine.end:]
    elif theirs:
        body = [e for e in top_children(text) if e.local == "body"]
        if not body:
            return False
        text = text[:body[0].start] + theirs + text[body[0].start:]
    else:
        return False
    target.set_text(target.main, text)
    return True


# ----------------------------------------------------------------------------- kinds


class Kind:
    """One kind of document-wide setting: how to read it (`key`) and how to give a package
    another package's (`apply`)."""

    def __init__(self, name, what, key, apply):
        self.name, self.what, self.key, self.apply = name, what, key, apply

    def differs(self, first, second):
        return self.key(first) != self.key(second)


def _settings_kind(name, what, names):
    names = set(names)
    return Kind(name, what, lambda p: settings_key(p, names),
                lambda t, s: replace_settings(t, s, names))


NAMED_SETTINGS = {
    "defaultTabStop", "characterSpacingControl", "noPunctuationKerning",
    "strictFirstAndLastChars", "noLineBreaksAfter", "noLineBreaksBefore", "autoHyphenation",
    "consecutiveHyphenLimit", "hyphenationZone", "doNotHyphenateCaps", "evenAndOddHeaders",
    "mirrorMargins", "bookFoldPrinting", "bookFoldRevPrinting", "bookFoldPrintingSheets",
    "gutterAtTop", "printTwoOnOne", "footnotePr", "endnotePr", "themeFontLang",
    "clrSchemeMapping", "displayBackgroundShape", "compat", "mathPr", "trackRevisions",
    "revisionView"} | NOT_MOVED
OTHER_SETTINGS = [n for n in SETTINGS_ORDER if n not in NAMED_SETTINGS]

KINDS = [
    Kind("layout mode", "w:compat/w:compatSetting compatibilityMode",
         lambda p: compat_key(p, True), lambda t, s: replace_compat(t, s, True)),
    Kind("compatibility options", "the other children of w:compat",
         lambda p: compat_key(p, False), lambda t, s: replace_compat(t, s, False)),
    Kind("document defaults", "w:docDefaults (rPrDefault, pPrDefault)",
         doc_defaults_key, replace_doc_defaults),
    Kind("default paragraph style", "pPr and rPr of the paragraph style with w:default",
         lambda p: default_style_key(p, "paragraph"),
         lambda t, s: replace_default_style(t, s, "paragraph")),
    Kind("default table style", "tblPr etc. of the table style with w:default",
         lambda p: default_style_key(p, "table"),
         lambda t, s: replace_default_style(t, s, "table")),
    Kind("styles of the same id", "non-default styles both documents define differently",
         lambda p: "", replace_same_named_styles),
    Kind("theme", "the theme part (fonts, colours, line styles)", theme_key, replace_theme),
    Kind("font table", "word/fontTable.xml (font families, pitch, alternative names)",
         font_table_key, replace_font_table),
    _settings_kind("default tab stop", "w:defaultTabStop", ["defaultTabStop"]),
    _settings_kind("character spacing control", "w:characterSpacingControl",
                   ["characterSpacingControl"]),
    _settings_kind("East Asian line breaking", "kinsoku: w:noLineBreaksAfter/Before, "
                   "w:strictFirstAndLastChars, w:noPunctuationKerning",
                   ["noLineBreaksAfter", "noLineBreaksBefore", "strictFirstAndLastChars",
                    "noPunctuationKerning"]),
    _settings_kind("hyphenation", "w:autoHyphenation, hyphenationZone, consecutiveHyphenLimit,"
                   " doNotHyphenateCaps", ["autoHyphenation", "consecutiveHyphenLimit",
                                           "hyphenationZone", "doNotHyphenateCaps"]),
    _settings_kind("even and odd headers", "w:evenAndOddHeaders", ["evenAndOddHeaders"]),
    _settings_kind("mirror margins and book folds", "w:mirrorMargins, w:bookFold*, "
                   "w:gutterAtTop, w:printTwoOnOne",
                   ["mirrorMargins", "bookFoldPrinting", "bookFoldRevPrinting",
                    "bookFoldPrintingSheets", "gutterAtTop", "printTwoOnOne"]),
    _settings_kind("note properties", "w:footnotePr, w:endnotePr of settings",
                   ["footnotePr", "endnotePr"]),
    Kind("note separators", "the separator notes of footnotes.xml and endnotes.xml",
         separators_key, replace_separators),
    _settings_kind("theme font language and colour map", "w:themeFontLang, w:clrSchemeMapping",
                   ["themeFontLang", "clrSchemeMapping"]),
    Kind("page background", "w:background of the document and w:displayBackgroundShape",
         lambda p: background_key(p) + settings_key(p, {"displayBackgroundShape"}),
         lambda t, s: replace_background(t, s) | replace_settings(
             t, s, {"displayBackgroundShape"})),
    _settings_kind("revision display", "w:trackRevisions, w:revisionView",
                   ["trackRevisions", "revisionView"]),
    _settings_kind("math properties", "m:mathPr", ["mathPr"]),
    _settings_kind("other settings", "every other child of w:settings", OTHER_SETTINGS),
]


def differing_kinds(first, second):
    """The kinds of document-wide setting in which two packages differ."""
    out = []
    for kind in KINDS:
        if kind.name == "styles of the same id":
            if same_named_styles(first, second):
                out.append(kind)
        elif kind.differs(first, second):
            out.append(kind)
    return out


def transplant(leader_path, pasted_path, kinds, output):
    """Writes to `output` a copy of the leader with the given kinds of setting of the pasted
    document; returns the names of the kinds that were actually changed."""
    leader, pasted = Package(leader_path), Package(pasted_path)
    changed = [kind.name for kind in kinds if kind.apply(leader, pasted)]
    leader.save(output)
    return changed
