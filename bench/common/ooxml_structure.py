"""The structural check of a WordprocessingML package, shared by the benches.

What makes a word processor call a package unreadable or repair it: dangling relationships and
references to relationships a part does not have, parts without a content type, ids that must be
unique and are not, references to comments and notes that are not there, comment threads that
name missing paragraphs, data bindings to missing custom XML parts, styles used and not defined,
a main part with more than one body. The engine tests run the same check
(tests/engine/StructuralCheck.cpp, with the same kinds); change both together.

Each problem is a (kind, detail) pair; new_problems() compares an output with its sources by
counting problems per kind, so a flaw a source brings along is not charged to the join.
"""

import xml.etree.ElementTree as ET
import zipfile

NS = {
    "ct": "http://schemas.openxmlformats.org/package/2006/content-types",
    "rel": "http://schemas.openxmlformats.org/package/2006/relationships",
    "w": "http://schemas.openxmlformats.org/wordprocessingml/2006/main",
    "w14": "http://schemas.microsoft.com/office/word/2010/wordml",
    "w15": "http://schemas.microsoft.com/office/word/2012/wordml",
    "w16cid": "http://schemas.microsoft.com/office/word/2016/wordml/cid",
    "w16cex": "http://schemas.microsoft.com/office/word/2018/wordml/cex",
    "wp": "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing",
    "r": "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
    "v": "urn:schemas-microsoft-com:vml",
    "ds": "http://schemas.openxmlformats.org/officeDocument/2006/customXml",
    "dsp": "http://schemas.microsoft.com/office/drawing/2008/diagram",
}
W = "{%s}" % NS["w"]
R_ATTR = "{%s}" % NS["r"]
# Data bindings to the core and extended document properties have no custom XML part.
PROPERTY_ITEMS = {"{6c3c8bc8-f283-45ae-878a-bab7291924a1}", "{6668398d-a668-4e3e-a5eb-62b293d839f1}"}
# Parts whose text belongs to the document and may use its styles.
STORY_KINDS = ("header", "footer", "footnotes", "endnotes", "comments", "numbering")
STYLE_REFERENCES = {W + "pStyle": "undefined paragraph style", W + "rStyle":
                    "undefined character style", W + "tblStyle": "undefined table style"}
# Parts read as XML besides *.xml: legacy drawings name relationships too.
XML_EXTENSIONS = (".xml", ".vml")
# A package whose XML expands to more is not parsed (an element costs the parser some hundred
# bytes): the check must not be what a zip bomb takes down.
MAX_EXPANDED = 64 << 20


def expanded_xml(archive):
    """Bytes of XML (and relationships) the parts of an open archive expand to."""
    return sum(info.file_size for info in archive.infolist()
               if info.filename.lower().endswith(XML_EXTENSIONS + (".rels",)))


def q(prefix, local):
    return "{%s}%s" % (NS[prefix], local)


def local_name(tag):
    return tag.rsplit("}", 1)[-1]


def resolve(base_part, target):
    """The part name a relationship target of base_part names (no leading slash)."""
    if target.startswith("/"):
        return target.lstrip("/")
    folder = base_part.rsplit("/", 1)[0] if "/" in base_part else ""
    parts = [p for p in folder.split("/") if p]
    for piece in target.split("/"):
        if piece == "..":
            if parts:
                parts.pop()
        elif piece and piece != ".":
            parts.append(piece)
    return "/".join(parts)


def structure_problems(path):
    """The structural flaws of the package at path, as (kind, detail) pairs in part order."""
    try:
        archive = zipfile.ZipFile(path)
    except (zipfile.BadZipFile, OSError) as error:
        return [("unreadable package", str(error))]
    try:
        with archive:
            expanded = expanded_xml(archive)
            if expanded > MAX_EXPANDED:
                return [("too large to check", "%d MiB of XML" % (expanded >> 20))]
            return _Checker(archive).run()
    except (zipfile.BadZipFile, OSError, RuntimeError, NotImplementedError, EOFError) as error:
        return [("unreadable package", str(error))]


class _Checker:
    def __init__(self, archive):
        self.archive = archive
        self.problems = []
        self.names = [n for n in archive.namelist() if not n.endswith("/")]
        self.lower = {n.lower(): n for n in self.names}
        self.rels_of = {}  # owner part -> {id: (type, resolved target or None when external)}
        self.referrers = {}  # part -> owners that relate to it
        self.document_wide = {}  # kind -> value -> count, over the main document's parts
        self.comment_ids, self.comment_refs, self.comment_paras = set(), [], set()
        self.notes = {"footnote": set(), "endnote": set()}
        self.note_refs = {"footnote": [], "endnote": []}
        self.threads, self.id_paras, self.durable_ids, self.extensible_ids = [], [], set(), []
        self.store_items, self.bindings = set(), []
        self.style_ids, self.style_refs = None, []

    def problem(self, kind, detail):
        self.problems.append((kind, detail))

    def run(self):
        if len(self.lower) != len(self.names):
            self.problem("part names differ only in case", "")
        if not self.check_content_types():
            return self.problems
        self.check_relationships()
        self.find_story_parts()
        for name in self.names:
            if name.lower().endswith(XML_EXTENSIONS) and "_rels/" not in name and \
                    name != "[Content_Types].xml":
                self.check_part(name)
        self.check_document_wide()
        return self.problems

    def parse(self, name):
        return ET.fromstring(self.archive.read(name))

    def check_content_types(self):
        try:
            types = self.parse("[Content_Types].xml")
        except (KeyError, ET.ParseError):
            self.problem("unreadable [Content_Types].xml", "")
            return False
        defaults, overrides = set(), set()
        for d in types.findall("ct:Default", NS):
            ext = d.get("Extension", "").lower()
            if ext in defaults:
                self.problem("two Defaults", ext)
            defaults.add(ext)
        for o in types.findall("ct:Override", NS):
            name = o.get("PartName", "").lstrip("/").lower()
            if name in overrides:
                self.problem("two Overrides", name)
            overrides.add(name)
            if name not in self.lower:
                self.problem("Override for a missing part", name)
        for name in self.names:
            if name == "[Content_Types].xml":
                continue
            ext = name.rsplit(".", 1)[-1].lower() if "." in name.rsplit("/", 1)[-1] else ""
            if name.lower() not in overrides and ext not in defaults:
                self.problem("no content type", name)
        return True

    def check_relationships(self):
        for name in self.names:
            if not name.endswith(".rels") or "_rels/" not in name:
                continue
            owner = "" if name == "_rels/.rels" else name.replace("_rels/", "")[:-5]
            try:
                rels = self.parse(name)
            except ET.ParseError as error:
                self.problem("unreadable relationships", "%s %s" % (name, error))
                continue
            ids = {}
            for rel in rels.findall("rel:Relationship", NS):
                rid = rel.get("Id")
                if rid in ids:
                    self.problem("duplicate relationship id", "%s in %s" % (rid, name))
                # A target that is only a fragment ("#bookmark", as hyperlinks to a place in the
                # document are written) names no part.
                if rel.get("TargetMode") == "External" or rel.get("Target", "").startswith("#"):
                    ids[rid] = (rel.get("Type", ""), None)
                    continue
                target = resolve(owner if owner else "x", rel.get("Target", ""))
                ids[rid] = (rel.get("Type", ""), target)
                if target.lower() not in self.lower:
                    self.problem("dangling relationship", "%s in %s -> %s" % (rid, name, target))
                else:
                    self.referrers.setdefault(self.lower[target.lower()], []).append(owner)
            self.rels_of[owner] = ids

    def find_story_parts(self):
        """The main part, the parts it relates to by kind, and the glossary's folder (a glossary
        is a document of its own, left out of document-wide ids)."""
        self.main = "word/document.xml"
        for kind, target in self.rels_of.get("", {}).values():
            if target and kind.endswith("/officeDocument"):
                self.main = self.lower.get(target.lower(), target)
        self.by_kind = {}
        self.stories = {self.main}
        for kind, target in self.rels_of.get(self.main, {}).values():
            if not target:
                continue
            kind = kind.rsplit("/", 1)[-1]
            target = self.lower.get(target.lower(), target)
            self.by_kind[kind] = target
            if kind in STORY_KINDS:
                self.stories.add(target)
        glossary = self.by_kind.get("glossaryDocument")
        self.glossary_folder = glossary.rsplit("/", 1)[0] + "/" if glossary else None
        if self.glossary_folder == self.main.rsplit("/", 1)[0] + "/":
            self.glossary_folder = None
        styles = self.by_kind.get("styles")
        self.style_ids = set()
        if styles in self.lower.values():
            try:
                for style in self.parse(styles).iter(W + "style"):
                    self.style_ids.add(style.get(W + "styleId"))
            except ET.ParseError:
                pass  # reported with the part itself

    def count(self, table, kind, value):
        if value:
            table.setdefault(kind, {})
            table[kind][value] = table[kind].get(value, 0) + 1

    def check_part(self, name):
        try:
            root = self.parse(name)
        except ET.ParseError as error:
            self.problem("unreadable XML", "%s %s" % (name, error))
            return
        in_story = not (self.glossary_folder and name.startswith(self.glossary_folder))
        control_ids = {e for pr in root.iter(W + "sdtPr") for e in pr.findall(W + "id")}
        per_part = {}
        known = self.rels_of.get(name, {})
        is_comments = name == self.by_kind.get("comments")
        is_story = name in self.stories
        wide = self.document_wide if in_story else {}
        if name == self.main:
            bodies = len(root.findall(W + "body"))
            if bodies > 1:
                self.problem("several w:body", "%d in %s" % (bodies, name))
        for element in root.iter():
            tag, get = element.tag, element.get
            for attr, value in element.attrib.items():
                if attr.startswith(R_ATTR) and value and value not in known:
                    self.problem("reference to a missing relationship", "%s/@r:%s %s in %s" % (
                        local_name(tag), local_name(attr), value, name))
            para = get(q("w14", "paraId"))
            if para is not None:
                self.count(per_part, "w14:paraId", para)
                try:
                    number = int(para, 16)
                except ValueError:
                    number = 0
                if number == 0 or number >= 0x80000000:
                    self.problem("w14:paraId out of range", "%s in %s" % (para, name))
                if is_comments:
                    self.comment_paras.add(para)
            text = get(q("w14", "textId"))
            if text is not None and text != "77777777":
                self.count(per_part, "w14:textId", text)
            if tag == q("wp", "docPr"):
                self.count(wide, "drawing id", get("id"))
            elif tag.startswith("{%s}" % NS["v"]) and tag != q("v", "shapetype"):
                self.count(per_part, "VML shape id", get("id"))
            elif tag == q("dsp", "dataModelExt"):
                for owner in self.referrers.get(name, []):
                    kind, _ = self.rels_of.get(owner, {}).get(get("relId"), ("", None))
                    if "diagramDrawing" not in kind:
                        self.problem("diagram drawing reference misdirected",
                                     "%s %s" % (name, get("relId")))
            elif tag == q("ds", "datastoreItem"):
                self.store_items.add(get(q("ds", "itemID"), "").lower())
            elif tag.startswith(W):
                self.check_word_element(name, element, wide, control_ids, is_story)
            elif tag == q("w15", "commentEx"):
                self.threads.append((get(q("w15", "paraId")), get(q("w15", "paraIdParent"))))
            elif tag == q("w15", "person"):
                self.count(per_part, "person", get(q("w15", "author")))
            elif tag == q("w16cid", "commentId"):
                self.count(per_part, "durableId", get(q("w16cid", "durableId")))
                self.durable_ids.add(get(q("w16cid", "durableId")))
                self.id_paras.append(get(q("w16cid", "paraId")))
            elif tag == q("w16cex", "commentExtensible"):
                self.count(per_part, "extensible durableId", get(q("w16cex", "durableId")))
                self.extensible_ids.append(get(q("w16cex", "durableId")))
        for kind, values in sorted(per_part.items()):
            for value, times in sorted(values.items()):
                if times > 1:
                    self.problem("duplicate " + kind, "%s in %s" % (value, name))

    def check_word_element(self, name, element, wide, control_ids, is_story):
        tag, get = element.tag, element.get
        local = tag[len(W):]
        if local == "bookmarkStart":
            self.count(wide, "bookmark id", get(W + "id"))
        elif local in ("ins", "del"):
            self.count(wide, local + " id", get(W + "id"))
        elif local == "id" and element in control_ids:
            self.count(wide, "content control id", get(W + "val"))
        elif local == "comment" and name == self.by_kind.get("comments"):
            self.count(wide, "comment id", get(W + "id"))
            self.comment_ids.add(get(W + "id"))
        elif local in ("footnote", "endnote") and name == self.by_kind.get(local + "s"):
            self.count(wide, local + " id", get(W + "id"))
            self.notes[local].add(get(W + "id"))
        elif local in ("commentReference", "commentRangeStart", "commentRangeEnd"):
            self.comment_refs.append(get(W + "id"))
        elif local in ("footnoteReference", "endnoteReference"):
            self.note_refs[local[:-9]].append(get(W + "id"))
        elif local == "dataBinding" and get(W + "storeItemID"):
            self.bindings.append((get(W + "storeItemID").lower(), name))
        elif tag in STYLE_REFERENCES and is_story:
            style = get(W + "val")
            if style and style not in self.style_ids:
                self.problem(STYLE_REFERENCES[tag], "%s in %s" % (style, name))

    def check_document_wide(self):
        for kind, values in sorted(self.document_wide.items()):
            for value, times in sorted(values.items()):
                if times > 1:
                    self.problem("duplicate " + kind, value)
        for i in self.comment_refs:
            if i not in self.comment_ids:
                self.problem("reference to a missing comment", i)
        for kind in ("footnote", "endnote"):
            for i in self.note_refs[kind]:
                if i not in self.notes[kind]:
                    self.problem("reference to a missing " + kind, i)
        thread_paras = {para for para, _ in self.threads}
        for para, parent in self.threads:
            if para not in self.comment_paras:
                self.problem("comment thread names a missing paragraph", para)
            if parent and parent not in thread_paras:
                self.problem("comment reply to a missing comment", parent)
        for para in self.id_paras:
            if para not in self.comment_paras:
                self.problem("comment id names a missing paragraph", para)
        for i in self.extensible_ids:
            if i not in self.durable_ids:
                self.problem("comment extension without a comment", i)
        for item, part in self.bindings:
            if item not in self.store_items and item not in PROPERTY_ITEMS:
                self.problem("data binding to a missing custom XML part", "%s in %s" % (item, part))


def counts_by_kind(problems):
    counts = {}
    for kind, _ in problems:
        counts[kind] = counts.get(kind, 0) + 1
    return counts


def new_problems(output_problems, source_problem_lists):
    """The problems of an output beyond those its sources bring: for each kind with more
    problems than all sources together, {kind: (excess count, the output's details)}."""
    known = {}
    for problems in source_problem_lists:
        for kind, times in counts_by_kind(problems).items():
            known[kind] = known.get(kind, 0) + times
    fresh = {}
    for kind, times in counts_by_kind(output_problems).items():
        if times > known.get(kind, 0):
            details = [d for k, d in output_problems if k == kind]
            fresh[kind] = (times - known.get(kind, 0), details)
    return fresh


def format_problem(problem):
    kind, detail = problem
    return "%s: %s" % (kind, detail) if detail else kind
