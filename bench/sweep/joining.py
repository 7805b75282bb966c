"""One join of the sweep: the plain document, the joiner run within limits, the refusal's class."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import zipfile

# The joins each corpus document takes part in: where it stands beside the plain document and
# whether page breaks go between the documents (the first and the last step differ, and the last
# step with page breaks removes the break after the last document again). Joined to itself, a
# document meets every id it uses a second time, as it would in a document of the same origin.
MODES = {
    "after": (["plain", "doc"], False),
    "before": (["doc", "plain"], False),
    "after+breaks": (["plain", "doc"], True),
    "before+breaks": (["doc", "plain"], True),
    "twice+breaks": (["doc", "doc"], True),
}

# A refusal's class, by its sentence: the first pattern that matches.
REFUSAL_CLASSES = (
    ("encrypted", r"encrypt|password"),
    ("DOCTYPE", r"DOCTYPE"),
    ("Strict", r"\bStrict\b"),
    ("too large", r"too large|expands to"),
    ("out of memory", r"bad_alloc|out of memory|not enough memory"),
    ("old Word format", r"Word (2|6|95)\b|old (Word )?format|cannot be read by this"),
    ("not a Word document", r"not a Word document"),
    ("damaged", r"damaged|malformed|incomplete|ends early|checksum|cannot be read"),
    ("LibreOffice", r"LibreOffice"),
)

CONTENT_TYPES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>
<Override PartName="/word/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml"/>
<Override PartName="/word/settings.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml"/>
</Types>"""
PACKAGE_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>
</Relationships>"""
DOCUMENT_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>
<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/settings" Target="settings.xml"/>
</Relationships>"""
W_NS = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'
DOCUMENT = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:document %s><w:body>
<w:p><w:r><w:t>The plain document of the sweep, first paragraph.</w:t></w:r></w:p>
<w:p><w:r><w:t xml:space="preserve">Its second paragraph, </w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>partly bold</w:t></w:r><w:r><w:t>.</w:t></w:r></w:p>
<w:sectPr><w:pgSz w:w="11906" w:h="16838"/><w:pgMar w:top="1440" w:right="1440" w:bottom="1440" w:left="1440" w:header="708" w:footer="708" w:gutter="0"/></w:sectPr>
</w:body></w:document>""" % W_NS
STYLES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:styles %s>
<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii="Liberation Serif" w:hAnsi="Liberation Serif"/><w:sz w:val="24"/></w:rPr></w:rPrDefault><w:pPrDefault/></w:docDefaults>
<w:style w:type="paragraph" w:default="1" w:styleId="Normal"><w:name w:val="Normal"/></w:style>
<w:style w:type="character" w:default="1" w:styleId="DefaultParagraphFont"><w:name w:val="Default Paragraph Font"/></w:style>
</w:styles>""" % W_NS
SETTINGS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:settings %s><w:defaultTabStop w:val="708"/><w:compat><w:compatSetting w:name="compatibilityMode" w:uri="http://schemas.microsoft.com/office/word" w:val="15"/></w:compat></w:settings>""" % W_NS


def write_plain_document(path):
    """Writes the small plain document every corpus document is joined with."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, text in (("[Content_Types].xml", CONTENT_TYPES), ("_rels/.rels", PACKAGE_RELS),
                           ("word/_rels/document.xml.rels", DOCUMENT_RELS),
                           ("word/document.xml", DOCUMENT), ("word/styles.xml", STYLES),
                           ("word/settings.xml", SETTINGS)):
            archive.writestr(zipfile.ZipInfo(name, (1980, 1, 1, 0, 0, 0)), text,
                             zipfile.ZIP_DEFLATED)


def refusal_class(reason):
    for name, pattern in REFUSAL_CLASSES:
        if re.search(pattern, reason, re.I):
            return name
    return "other"


def join(joiner, mode, document, plain, output, memory_limit, timeout):
    """Joins document with the plain document as mode says, within memory_limit bytes of address
    space and timeout seconds; returns a dict: status ("joined", "refused", "failed" or
    "no output"), class and message when not joined, seconds, peak_mib, leftovers (files the
    joiner left in its temporary folder), left_running (processes it left running)."""
    order, breaks = MODES[mode]
    with tempfile.TemporaryDirectory(prefix="sweep-join-") as scratch:
        # The joiner reads a copy in a folder of its own, so nothing it leaves beside an input
        # reaches the corpus, and its temporary folder is its own to inspect afterwards.
        staged = os.path.join(scratch, "in", os.path.basename(document))
        os.makedirs(os.path.dirname(staged))
        shutil.copyfile(document, staged)
        tmp = os.path.join(scratch, "tmp")
        os.makedirs(tmp)
        inputs = [staged if role == "doc" else plain for role in order]
        command = ["prlimit", "--as=%d" % memory_limit, "--", joiner] + \
            (["--page-breaks"] if breaks else []) + [output] + inputs
        with open(os.path.join(scratch, "err"), "w+") as err:
            status, seconds, peak, left = run_limited(command, timeout, err,
                                                      dict(os.environ, TMPDIR=tmp), scratch)
            err.seek(0)
            message = err.read().replace(staged, os.path.basename(document))
        result = {"seconds": round(seconds, 3), "peak_mib": round(peak / 1024.0, 1)}
        leftovers = sorted(os.listdir(tmp))
        if leftovers:
            result["leftovers"] = leftovers
        if left:
            result["left_running"] = left
    lines = [re.sub(r"^paperloom-join:\s*", "", line.strip())
             for line in message.strip().splitlines() if line.strip()]
    result["message"] = lines[0][:500] if lines else ""
    if len(lines) > 1:
        result["stopped"] = lines[1][:500]
    if status == "timeout":
        result.update(status="failed", **{"class": "timed out"})
    elif status < 0:
        name = signal.Signals(-status).name if -status in signal.valid_signals() else str(-status)
        oom = "bad_alloc" in message or "out of memory" in message.lower()
        result.update(status="failed", **{"class": "out of memory" if oom else "crashed " + name})
    elif status == 0:
        if os.path.exists(output):
            result = {k: v for k, v in result.items() if k != "message" or v}
            result["status"] = "joined"
        else:
            result.update(status="no output", **{"class": "success without output"})
    elif status == 1 and lines:
        result.update(status="refused", **{"class": refusal_class(lines[0])})
        stopped = re.search(r"stopped at (?:the )?(first document|document (\d+))", message)
        if stopped:
            index = 0 if stopped.group(2) is None else int(stopped.group(2)) - 1
            result["failed_at"] = order[index] if index < len(order) else "?"
    else:
        result.update(status="failed", **{"class": "exit status %d" % status})
    return result


def run_limited(command, timeout, err, env, cwd):
    """Runs command in a session of its own; returns (exit status, negative signal number or
    "timeout"; seconds; peak resident KiB of the command; processes of the session still
    running at the end, which are killed).

    The peak is the command's own high-water mark, read while it runs: the one wait4 reports
    starts from this (large) process's, which the child inherits when it is forked."""
    started = time.monotonic()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=err, env=env, cwd=cwd,
                               start_new_session=True)
    session = process.pid
    peak = 0
    try:
        while True:
            pid, status, _ = os.wait4(process.pid, os.WNOHANG)
            if pid:
                break
            peak = max(peak, high_water_kib(process.pid))
            if time.monotonic() - started > timeout:
                os.killpg(session, signal.SIGKILL)
                os.wait4(process.pid, 0)
                process.returncode = -signal.SIGKILL
                return "timeout", time.monotonic() - started, peak, []
            time.sleep(0.01)
    except BaseException:
        os.killpg(session, signal.SIGKILL)
        raise
    process.returncode = os.waitstatus_to_exitcode(status)
    seconds = time.monotonic() - started
    # Whatever the joiner started and left running (a converter, LibreOffice) is reported and
    # stopped; a process that is shutting down gets a moment first.
    left = session_members(session)
    if left:
        time.sleep(1)
        left = session_members(session)
        for pid, _ in left:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
    return process.returncode, seconds, peak, [name for _, name in left]


def high_water_kib(pid):
    """The peak resident memory of a running process so far (VmHWM), 0 when unknown."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except (OSError, ValueError):
        pass
    return 0


def session_members(session):
    """(pid, command name) of the running processes of a session."""
    members = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
        except OSError:
            continue
        name = stat[stat.index("(") + 1:stat.rindex(")")]
        fields = stat[stat.rindex(")") + 2:].split()
        if fields[0] != "Z" and int(fields[3]) == session:
            members.append((int(entry), name))
    return members
