"""The sweep's reports: tables per corpus folder, the failing files, the files per class, and the
difference between two runs. Everything is computed from a run's JSON."""

import io

STATUS_ORDER = ("failed", "no output", "refused", "joined")
SOURCE_TOO = " (the source too)"


def defects(mode):
    """(kind, detail) of everything wrong with one joined output."""
    found = []
    for kind, problem in sorted(mode.get("new_problems", {}).items()):
        found.append((kind, "%d more than the source: %s" % (problem["count"],
                                                             "; ".join(problem["details"][:3]))))
    if "text_lost" in mode:
        lost = mode["text_lost"]
        found.append(("text lost", "%s of %d characters" % (lost["found"], lost["expected"])))
    if mode.get("python_docx") is False:
        kind = "python-docx fails" + (SOURCE_TOO if mode.get("python_docx_source") is False
                                      else "")
        found.append((kind, mode.get("python_docx_error", "")))
    if mode.get("libreoffice") is False:
        kind = "LibreOffice fails" + (SOURCE_TOO if mode.get("libreoffice_source") is False
                                      else "")
        found.append((kind, ""))
    if mode.get("leftovers"):
        found.append(("temporary files left", " ".join(mode["leftovers"][:5])))
    if mode.get("left_running"):
        found.append(("processes left running", " ".join(mode["left_running"])))
    return found


def outcome(record):
    """(status, class, message) of a file over all its joins: the worst status wins."""
    modes = record["modes"].values()
    for status in STATUS_ORDER[:-1]:
        for mode in modes:
            if mode["status"] == status:
                message = mode.get("message", "")
                if mode.get("failed_at") == "plain":
                    message = "at the plain document after it: " + message
                return status, mode.get("class", ""), message
    return "joined", "", ""


def reason(key, message):
    """A refusal's sentence without the file name the list names already."""
    name = key.rsplit("/", 1)[-1]
    for prefix in ("Cannot open %s: " % name, "Cannot copy %s: " % name):
        message = message.replace(prefix, "")
    return message


def file_defects(record, charged_only=False):
    """{kind: [(mode name, detail)]} over the joins of a file; with charged_only, without what
    the source shows as well (a reader that cannot open the source either)."""
    kinds = {}
    for name, mode in record["modes"].items():
        for kind, detail in defects(mode):
            if not (charged_only and kind.endswith(SOURCE_TOO)):
                kinds.setdefault(kind, []).append((name, detail))
    return kinds


def folders(run):
    by_folder = {}
    for key, record in sorted(run["files"].items()):
        by_folder.setdefault(key.split("/", 1)[0], []).append((key, record))
    return by_folder


def modes_text(names, all_modes):
    return "all joins" if sorted(names) == sorted(all_modes) else ", ".join(names)


def table(out, header, rows):
    out.write("| " + " | ".join(header) + " |\n")
    out.write("|" + "---|" * len(header) + "\n")
    for row in rows:
        out.write("| " + " | ".join(str(cell) for cell in row) + " |\n")


def counts_table(out, run, first_column, keys_of):
    """A table of how many files of each folder have each key that keys_of(record) gives."""
    by_folder = folders(run)
    names = sorted(by_folder)
    counts = {}
    for folder, records in by_folder.items():
        for _, record in records:
            for key in set(keys_of(record)):
                counts.setdefault(key, {}).setdefault(folder, 0)
                counts[key][folder] += 1
    rows = [[key] + [counts[key].get(f, "") for f in names] + [sum(counts[key].values())]
            for key in sorted(counts)]
    if rows:
        table(out, [first_column] + names + ["all"], rows)
    else:
        out.write("none\n")


def summary(run):
    out = io.StringIO()
    out.write("Joiner `%s`, %s; joins per document: %s; %d s with %d jobs; python-docx %s, "
              "LibreOffice %s.\n\n" % (
                  run["joiner"], run["date"], ", ".join(run["modes"]), run["seconds"],
                  run["jobs"], "checked" if run["python_docx"] else "NOT checked",
                  "checked" if run["libreoffice"] else "NOT checked"))
    rows, totals = [], [0] * 6
    for folder, records in sorted(folders(run).items()):
        row = [len(records), 0, 0, 0, 0, 0]
        for _, record in records:
            status, _, _ = outcome(record)
            if status == "joined":
                row[1] += 1
                row[2 if not file_defects(record, charged_only=True) else 3] += 1
            elif status == "refused":
                row[4] += 1
            else:
                row[5] += 1
        rows.append([folder] + row)
        totals = [a + b for a, b in zip(totals, row)]
    rows.append(["**all**"] + ["**%d**" % t for t in totals])
    table(out, ["folder", "files", "joined", "intact", "with defects", "refused", "failed"], rows)
    out.write("\n*joined*: every join of the file succeeded; *intact*: joined, and no output has "
              "a defect below (a reader failing on the source too does not count). A file refused "
              "or failed in one join counts there.\n\n")
    out.write("Refused and failed files, by the reason of the first join that did not succeed:\n\n")
    counts_table(out, run, "reason", lambda r: [] if outcome(r)[0] == "joined" else [
        "%s: %s" % (outcome(r)[0], outcome(r)[1])])
    out.write("\nFiles with defects, by kind (in any of their joins):\n\n")
    counts_table(out, run, "defect", lambda r: list(file_defects(r)))
    out.write("\nFiles that do not join intact:\n\n")
    out.write(failing_list(run))
    out.write("\n" + extremes(run))
    return out.getvalue()


def failing_list(run):
    out = io.StringIO()
    for key, record in sorted(run["files"].items()):
        status, kind, message = outcome(record)
        if status != "joined":
            names = [n for n, m in record["modes"].items() if m["status"] == status]
            out.write("- %s: %s (%s) in %s: %s\n" % (key, status, kind,
                                                      modes_text(names, run["modes"]),
                                                      reason(key, message)))
        for defect, where in sorted(file_defects(record).items()):
            out.write("- %s: %s in %s: %s\n" % (key, defect, modes_text([n for n, _ in where],
                                                                        run["modes"]),
                                                where[0][1]))
    return out.getvalue() or "none\n"


def extremes(run, count=5):
    joins = [(m.get("seconds", 0), m.get("peak_mib", 0), key, name)
             for key, record in run["files"].items() for name, m in record["modes"].items()]
    out = io.StringIO()
    out.write("Slowest joins: %s.\n\n" % "; ".join(
        "%s (%s) %.1f s" % (key, name, s) for s, _, key, name in sorted(joins)[::-1][:count]))
    out.write("Largest peak memory: %s.\n" % "; ".join(
        "%s (%s) %.0f MiB" % (key, name, p) for _, p, key, name in
        sorted(joins, key=lambda j: j[1])[::-1][:count]))
    return out.getvalue()


def by_class(run):
    """The files of each refusal class and each defect kind, for those who fix them."""
    out = io.StringIO()
    refused = {}
    kinds = {}
    for key, record in sorted(run["files"].items()):
        status, kind, message = outcome(record)
        if status != "joined":
            refused.setdefault("%s: %s" % (status, kind), []).append((key, message))
        for defect, where in file_defects(record).items():
            kinds.setdefault(defect, []).append((key, where))
    for name, files in sorted(refused.items()):
        out.write("## %s (%d files)\n\n" % (name, len(files)))
        for key, message in files:
            out.write("- %s — %s\n" % (key, reason(key, message)))
        out.write("\n")
    for name, files in sorted(kinds.items()):
        out.write("## %s (%d files)\n\n" % (name, len(files)))
        for key, where in files:
            out.write("- %s (%s): %s\n" % (key, modes_text([n for n, _ in where], run["modes"]),
                                          where[0][1]))
        out.write("\n")
    return out.getvalue()


def file_line(record):
    status, kind, _ = outcome(record)
    if status != "joined":
        return "%s (%s)" % (status, kind)
    found = sorted(file_defects(record))
    return "joined, " + ", ".join(found) if found else "intact"


def difference(before, after):
    out = io.StringIO()
    out.write("Before: `%s` (%s); after: `%s` (%s).\n\n" % (
        before["joiner"], before["date"], after["joiner"], after["date"]))
    rows = []
    for folder in sorted(set(folders(before)) | set(folders(after))):
        row = [folder]
        for run in (before, after):
            records = folders(run).get(folder, [])
            statuses = [outcome(r)[0] for _, r in records]
            intact = sum(1 for _, r in records
                         if outcome(r)[0] == "joined" and not file_defects(r, charged_only=True))
            row.append("%d / %d / %d" % (intact, statuses.count("joined"), len(records)))
        rows.append(row)
    table(out, ["folder", "before: intact / joined / files", "after: intact / joined / files"],
          rows)
    out.write("\nFiles whose outcome changed:\n\n")
    changed = 0
    for key in sorted(set(before["files"]) | set(after["files"])):
        old = file_line(before["files"][key]) if key in before["files"] else "-"
        new = file_line(after["files"][key]) if key in after["files"] else "-"
        if old != new:
            changed += 1
            out.write("- %s: %s → %s\n" % (key, old, new))
    if not changed:
        out.write("none\n")
    return out.getvalue()

