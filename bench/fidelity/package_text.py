"""Packages read whole into memory, and their XML parts edited as text, element by element.

Editing the text rather than a parsed tree keeps everything an edit does not touch byte for byte
as it was: namespace declarations, mc:Ignorable lists, unknown extensions.
"""

import re
import zipfile

W_NS = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"
W_NAMESPACES = {W_NS, "http://purl.oclc.org/ooxml/wordprocessingml/main"}
REL_NS = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
REL_TYPE = REL_NS + "/"
THEME_TYPE = REL_TYPE + "theme"
THEME_CONTENT_TYPE = "application/vnd.openxmlformats-officedocument.theme+xml"

# Start tags, end tags and empty elements; comments, processing instructions and CDATA are
# matched so that their contents are never taken for markup.
TOKEN = re.compile(
    r"<!--.*?-->|<\?.*?\?>|<!\[CDATA\[.*?\]\]>"
    r"|<(/?)(?:([A-Za-z_][\w.\-]*):)?([A-Za-z_][\w.\-]*)((?:[^>\"']|\"[^\"]*\"|'[^']*')*?)(/?)>",
    re.S)
ATTRIBUTE = re.compile(r"([\w.\-]+(?::[\w.\-]+)?)\s*=\s*(\"[^\"]*\"|'[^']*')")


class Element:
    """One element of a part's text: its name, attributes and where it starts and ends."""

    def __init__(self, prefix, local, start, open_end, end, attributes):
        self.prefix, self.local = prefix or "", local
        self.start, self.open_end, self.end = start, open_end, end
        self.attributes = attributes

    def attribute(self, local):
        for name, value in self.attributes.items():
            if name.split(":")[-1] == local:
                return value
        return None

    def is_empty(self):
        return self.open_end == self.end


def _attributes(text):
    return {m.group(1): m.group(2)[1:-1] for m in ATTRIBUTE.finditer(text)}


def elements_between(text, start, stop):
    """The elements at the outermost level of text[start:stop]."""
    found, depth, current = [], 0, None
    for m in TOKEN.finditer(text, start, stop):
        if m.group(3) is None:
            continue
        closing, prefix, local, attrs, empty = m.groups()
        if closing:
            depth -= 1
            if depth == 0 and current is not None:
                current.end = m.end()
                found.append(current)
                current = None
        elif depth == 0:
            current = Element(prefix, local, m.start(), m.end(), m.end(), _attributes(attrs))
            if empty:
                found.append(current)
                current = None
            else:
                depth = 1
        elif not empty:
            depth += 1
    return found


def root(text):
    """The root element of a part's text."""
    for m in TOKEN.finditer(text):
        if m.group(3) is not None and not m.group(1):
            return Element(m.group(2), m.group(3), m.start(), m.end(),
                           m.end() if m.group(5) else len(text.rstrip()),
                           _attributes(m.group(4)))
    raise ValueError("no root element")


def children(text, element=None):
    """The child elements of `element` (of the root element when None), in order."""
    element = element or root(text)
    if element.is_empty():
        return []
    return elements_between(text, element.open_end, text.rfind("</", element.start, element.end))


def top_children(text):
    """The children of the root element."""
    return children(text)



def namespaces(text):
    """prefix -> namespace URI as declared on the root element ("" for the default)."""
    out = {}
    for name, value in root(text).attributes.items():
        if name == "xmlns":
            out[""] = value
        elif name.startswith("xmlns:"):
            out[name[6:]] = value
    return out


def is_w(element, names, ns_map):
    return ns_map.get(element.prefix) in W_NAMESPACES and element.local in names


# Attributes that record editing history and never change how a page looks.
HISTORY_ATTRIBUTE = re.compile(r"(?:.*:)?(?:rsid\w*|paraId|textId)$")


def normalised(fragment, ns_map):
    """A fragment's markup with prefixes replaced by namespace URIs, without layout whitespace,
    text or editing history, for telling whether two documents say the same."""
    scopes = [dict(ns_map)]
    out = []
    for m in TOKEN.finditer(fragment):
        if m.group(3) is None:
            continue
        closing, prefix, local, attrs, empty = m.groups()
        if closing:
            scopes.pop()
            out.append("/{%s}%s" % (scopes[-1].get(prefix or "", ""), local))
            continue
        attributes = _attributes(attrs)
        scope = dict(scopes[-1])
        for key, value in attributes.items():
            if key == "xmlns" or key.startswith("xmlns:"):
                scope[key[6:]] = value
        named = sorted(("{%s}%s" % (scope.get(k.split(":")[0], ""), k.split(":")[1])
                        if ":" in k else k, v) for k, v in attributes.items()
                       if not k.startswith("xmlns") and not HISTORY_ATTRIBUTE.match(k))
        out.append("{%s}%s%s%s" % (scope.get(prefix or "", ""), local, named,
                                   "/" if empty else ""))
        if not empty:
            scopes.append(scope)
    return "".join(out)


def portable(fragment, source_ns, target_ns):
    """A fragment of one part made readable inside another: prefixes the target binds otherwise
    (or not at all) are declared on the fragment's top element."""
    used = set()
    for m in TOKEN.finditer(fragment):
        if m.group(3) is None:
            continue
        used.add(m.group(2) or "")
        for attr in _attributes(m.group(4)):
            if ":" in attr and not attr.startswith("xmlns"):
                used.add(attr.split(":", 1)[0])
    extra = []
    for prefix in sorted(used):
        uri = source_ns.get(prefix)
        if uri is not None and target_ns.get(prefix) != uri:
            extra.append(' xmlns%s="%s"' % (":" + prefix if prefix else "", uri))
    if not extra:
        return fragment
    first = TOKEN.search(fragment)
    while first and first.group(3) is None:
        first = TOKEN.search(fragment, first.end())
    cut = first.end() - (2 if first.group(5) else 1)
    return fragment[:cut] + "".join(extra) + fragment[cut:]


# ----------------------------------------------------------------------------- packages


class Package:
    """A package read whole into memory, with its main part and the parts related to it."""

    def __init__(self, path):
        self.path = path
        with zipfile.ZipFile(path) as archive:
            self.order = [i.filename for i in archive.infolist()]
            self.parts = {name: archive.read(name) for name in self.order}
        self.main = self._main_part()

    def text(self, name):
        return self.parts[name].decode("utf-8") if name in self.parts else None

    def set_text(self, name, text):
        if name not in self.parts:
            self.order.append(name)
        self.parts[name] = text.encode("utf-8")

    @staticmethod
    def rels_name(part):
        folder, _, base = part.rpartition("/")
        return (folder + "/" if folder else "") + "_rels/" + base + ".rels"

    def relationships(self, part):
        """[(Id, Type, resolved target)] of a part's internal relationships."""
        text = self.text(self.rels_name(part))
        if text is None:
            return []
        folder = part.rpartition("/")[0]
        out = []
        for element in top_children(text):
            if element.local != "Relationship" or element.attribute("TargetMode") == "External":
                continue
            target = element.attribute("Target") or ""
            if target.startswith("/"):
                resolved = target[1:]
            else:
                pieces = [p for p in folder.split("/") if p]
                for piece in target.split("/"):
                    if piece == "..":
                        pieces = pieces[:-1]
                    elif piece and piece != ".":
                        pieces.append(piece)
                resolved = "/".join(pieces)
            out.append((element.attribute("Id"), element.attribute("Type") or "", resolved))
        return out

    def _main_part(self):
        for _, kind, target in self.relationships(""):
            if kind.endswith("/officeDocument"):
                return target
        return "word/document.xml"

    def related(self, kind):
        """The part the main part relates to with this relationship type (last path piece)."""
        for _, rel_type, target in self.relationships(self.main):
            if rel_type.rsplit("/", 1)[-1] == kind and target in self.parts:
                return target
        return None

    def save(self, path):
        """Writes the package; the same parts give the same bytes (fixed time stamps), so a
        rendering cached by content hash is found again."""
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
            for name in self.order:
                if name in self.parts:
                    info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
                    info.compress_type = zipfile.ZIP_DEFLATED
                    archive.writestr(info, self.parts[name])
