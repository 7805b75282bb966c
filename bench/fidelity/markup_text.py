"""The visible text of a package's body as its markup states it, one paragraph a line.

The text export and the rendered pages tell what LibreOffice shows; this tells what the package
holds, so that text lost on the way shows apart from text LibreOffice shows elsewhere or
otherwise. It reads the main part's body in document order: the text of its runs (`w:t`, field
results included), tabs as spaces and breaks as line ends, in tables, content controls, frames
and text boxes (a text box's paragraphs after the paragraph that anchors it; alternate content by
its first choice, as its fallback repeats it). It leaves out deleted text, field codes, headers,
footers, notes, comments, and what numbering or fields would show (list labels, note numbers,
field values computed by a reader).
"""

import re
import xml.etree.ElementTree as ET
import zipfile

W_NAMESPACES = ("http://schemas.openxmlformats.org/wordprocessingml/2006/main",
                "http://purl.oclc.org/ooxml/wordprocessingml/main")
FALLBACK = "{http://schemas.openxmlformats.org/markup-compatibility/2006}Fallback"
MAIN_PART = re.compile(rb"<Relationship\b[^>]*>")


def _w_name(tag):
    """The local name of a WordprocessingML element, None for any other element."""
    namespace, _, local = tag[1:].partition("}")
    return local if namespace in W_NAMESPACES else None


def _main_part(archive):
    try:
        rels = archive.read("_rels/.rels")
    except KeyError:
        return "word/document.xml"
    for element in MAIN_PART.findall(rels):
        kind = re.search(rb'Type="([^"]*)"', element)
        target = re.search(rb'Target="([^"]*)"', element)
        if kind and target and kind.group(1).endswith(b"/officeDocument"):
            return target.group(1).decode("utf-8").lstrip("/")
    return "word/document.xml"


def _paragraph(paragraph, lines):
    """Appends the paragraph's own text as lines, then the paragraphs it holds (text boxes)."""
    own, held = [], []

    def walk(element):
        for child in element:
            if child.tag == FALLBACK:
                continue
            name = _w_name(child.tag)
            if name == "p":
                held.append(child)
                continue
            if name == "t":
                own.append(child.text or "")
            elif name in ("tab", "ptab"):
                own.append(" ")
            elif name in ("br", "cr"):
                own.append("\n")
            walk(child)

    walk(paragraph)
    lines.extend("".join(own).split("\n"))
    for inner in held:
        _paragraph(inner, lines)


def _blocks(element, lines):
    for child in element:
        if child.tag == FALLBACK:
            continue
        if _w_name(child.tag) == "p":
            _paragraph(child, lines)
        else:
            _blocks(child, lines)


def body_text(path):
    """The body's visible text of the package at path, or None when it cannot be read."""
    try:
        with zipfile.ZipFile(path) as archive:
            root = ET.fromstring(archive.read(_main_part(archive)))
    except (zipfile.BadZipFile, KeyError, OSError, ET.ParseError):
        return None
    lines = []
    _blocks(root, lines)
    return "\n".join(lines)
