"""The corpus run of the fidelity bench: groups of documents, each joined in several orders.

A document's pages should not depend on its neighbours. Every group is joined as listed,
reversed and in a fixed shuffle, and every document's page match is kept per order, so a
document that loses pages only when another document leads shows as such.

`bench` is the fidelity script's namespace (Renderer, measure, run_joiner, structure checks);
`causes` (lost_pages.py) finds out why pages are lost.
"""

import hashlib
import os
import re
import sys
import time

import lost_pages

DOCUMENT_EXTENSIONS = (".docx", ".docm", ".dotx", ".dotm")
ORDERS = ("listed", "reversed", "shuffled")


def log(message):
    print(message, file=sys.stderr, flush=True)


def ordered(files, order):
    """The files in one of the ORDERS; the shuffle is fixed (by a hash of the names)."""
    if order == "reversed":
        return list(reversed(files))
    if order == "shuffled":
        return sorted(files, key=lambda p: hashlib.sha256(
            ("fidelity:" + os.path.basename(p)).encode()).hexdigest())
    return list(files)


def candidate_files(corpus, folders):
    """{folder: sorted paths} of the WordprocessingML packages of each corpus folder."""
    out = {}
    for folder in folders:
        path = os.path.join(corpus, folder)
        out[folder] = sorted(os.path.join(path, n) for n in os.listdir(path)
                             if n.lower().endswith(DOCUMENT_EXTENSIONS))
    return out


class CachedRenderer:
    """The bench's renderer with page pictures kept in memory once loaded."""

    def __init__(self, renderer):
        self.renderer = renderer
        self.loaded = {}

    def __getattr__(self, name):
        return getattr(self.renderer, name)

    def pages(self, key):
        if key not in self.loaded:
            self.loaded[key] = self.renderer.pages(key)
        return self.loaded[key]


def classify_sources(renderer, files):
    """(usable, skipped): skipped maps a path to why it cannot be measured (LibreOffice cannot
    render it, or it renders as empty pages only)."""
    keys = renderer.render_all(files)
    usable, skipped = [], {}
    for path in files:
        pages = renderer.pages(keys[path])
        if pages is None:
            skipped[path] = "LibreOffice cannot render it"
        elif not pages:
            skipped[path] = "LibreOffice renders no page"
        elif all(page.is_blank() for page in pages):
            skipped[path] = "renders as empty pages only"
        else:
            usable.append(path)
    return usable, skipped


def make_groups(bench, by_folder, size):
    """[(name, files, landscape)]: about `size` documents per group in name order, and the
    documents whose last section is landscape in groups of their own, joined in Landscape so
    that no page is turned by the user's choice of orientation."""
    groups = []
    for folder, files in by_folder.items():
        wide = [f for f in files if bench.final_section_is_landscape(f)]
        for kind, members, landscape in (("", [f for f in files if f not in wide], False),
                                         ("-landscape", wide, True)):
            if not members:
                continue
            count = max(1, round(len(members) / size))
            for g in range(count):
                chunk = members[len(members) * g // count:len(members) * (g + 1) // count]
                suffix = "" if landscape and count == 1 else "-%d" % (g + 1)
                groups.append(("%s%s%s" % (folder, kind, suffix), chunk, landscape))
    return groups


def safe_name(text):
    return re.sub(r"[^\w.-]+", "_", text)[:80] + "-" + hashlib.sha256(
        text.encode()).hexdigest()[:8]


def join_alone(bench, args, workdir, groups):
    """Joins every document of the groups on its own; returns ({path: output}, {path: why})."""
    singles, failed = {}, {}
    folder = os.path.join(workdir, "single")
    os.makedirs(folder, exist_ok=True)
    for _, files, landscape in groups:
        for path in files:
            output = os.path.join(folder, safe_name(path) + ".docx")
            ok, message = bench.run_joiner(args.joiner, output, [path], landscape)
            if ok:
                singles[path] = output
            else:
                failed[path] = message or "the joiner failed without a message"
    return singles, failed


def corpus_command(args, bench):
    started = time.time()
    renderer = CachedRenderer(bench.Renderer(args.cache))
    workdir = args.work
    os.makedirs(workdir, exist_ok=True)
    by_folder = candidate_files(args.corpus, args.folders)
    skipped = {}
    for folder, files in by_folder.items():
        log("%s: rendering %d sources" % (folder, len(files)))
        by_folder[folder], skipped_here = classify_sources(renderer, files)
        skipped.update(skipped_here)
    groups = make_groups(bench, by_folder, args.group_size)
    if args.only:
        groups = [g for g in groups if any(re.fullmatch(p, g[0]) for p in args.only)]
    singles, failed = join_alone(bench, args, workdir, groups)
    log("joined %d documents alone, %d failed (%.0f s)" % (
        len(singles), len(failed), time.time() - started))

    # Join every group in every order first, so LibreOffice renders all outputs in one go.
    runs = []
    for name, files, landscape in groups:
        usable = [f for f in files if f in singles]
        seen = {}
        for order in args.orders:
            sequence = ordered(usable, order)
            if not sequence:
                continue
            if tuple(sequence) in seen:
                # The same join as an earlier order: counted again under this order's name.
                runs.append(dict(seen[tuple(sequence)], order=order,
                                 same_as=seen[tuple(sequence)]["order"]))
                continue
            output = os.path.join(workdir, "%s-%s.docx" % (name, order))
            ok, message = bench.run_joiner(args.joiner, output, sequence, landscape)
            runs.append({"group": name, "order": order, "files": files, "joined": sequence,
                         "landscape": landscape, "output": output if ok else None,
                         "join_failed": None if ok else message})
            seen[tuple(sequence)] = runs[-1]
    renderer.render_all([r["output"] for r in runs if r["output"]])
    log("joined and rendered %d outputs (%.0f s)" % (len(runs), time.time() - started))

    source_problems = {}
    for run in runs:
        if run.get("same_as"):
            continue
        if not run["output"]:
            log("%s %s: join failed: %s" % (run["group"], run["order"], run["join_failed"]))
            continue
        details = os.path.join(workdir, "pages") if args.pictures else None
        figures = bench.measure(renderer, run["joined"], run["output"], details,
                                "%s-%s" % (run["group"], run["order"]))
        figures["structure"] = bench.structure_problems(run["output"])
        for path in run["joined"]:
            if path not in source_problems:
                source_problems[path] = len(bench.structure_problems(path))
        figures["source_structure"] = sum(source_problems[p] for p in run["joined"])
        figures["python_docx"], figures["python_docx_error"] = bench.opens_in_python_docx(
            run["output"])
        run["figures"] = figures
        log("%s %s: %d/%d pages, text %.4f (%.0f s)" % (
            run["group"], run["order"], figures["matched"], figures["source_pages"],
            figures.get("text_similarity", 0), time.time() - started))

    for run in runs:
        if run.get("same_as"):
            twin = next(r for r in runs if r["group"] == run["group"] and
                        r["order"] == run["same_as"])
            if "figures" in twin:
                run["figures"] = twin["figures"]
    causes = None
    if args.causes:
        causes = lost_pages.attribute(bench, renderer, args, workdir, runs, singles)
    return {"runs": runs, "skipped": skipped, "failed": failed, "causes": causes,
            "corpus": args.corpus, "joiner": args.joiner, "orders": list(args.orders)}
