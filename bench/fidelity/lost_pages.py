"""Why a document loses pages in a join: the attribution of the fidelity bench.

For every document that loses pages in some order:
  1. joined alone: pages it loses then are lost by its own round trip, whatever leads;
  2. when it leads, the rest is lost to the documents after it;
  3. otherwise, for the pages left, joined after the leader alone: pages it keeps then are lost to its other
     neighbours; pages it loses again are put down to the leader's document-wide settings by
     joining again after a copy of the leader given the document's own settings (all kinds in
     which the two differ, then halves of them, down to one kind; where only a combination
     restores a page, each kind is left out once to name the kinds it needs). Pages that even
     all kinds do not restore are not caused by a document-wide setting.
Each step joins and renders many documents in one go, so LibreOffice starts few times.
"""

import hashlib
import os

import document_settings

ALONE = "lost when joined alone"
FOLLOWERS = "the documents after it (it leads)"
NEIGHBOURS = "neighbours other than the leader"
NOT_A_SETTING = "not a document-wide setting of the leader"
UNKNOWN = "not found (a join or rendering failed)"
LEAVE_ONE_OUT_LIMIT = 8


def leader_kind(names):
    return "leader's " + " + ".join(names)


class Probes:
    """Joins (leader with some kinds of the document's settings, document) and measures the
    document's pages in them; probes are made in batches and rendered together."""

    def __init__(self, bench, renderer, args, workdir, singles):
        self.bench, self.renderer, self.args = bench, renderer, args
        self.folder = os.path.join(workdir, "causes")
        os.makedirs(self.folder, exist_ok=True)
        self.singles = singles
        self.lost = {}  # probe -> set of lost pages of the document, or None on failure
        self.pending = {}  # probe -> output path

    def request(self, leader, document, kinds, landscape):
        probe = (leader, document, tuple(kinds), landscape)
        if probe in self.lost or probe in self.pending:
            return probe
        if leader is None:
            self.pending[probe] = self.singles.get(document)
            return probe
        digest = hashlib.sha256(repr(probe).encode()).hexdigest()[:16]
        output = os.path.join(self.folder, digest + ".docx")
        first = leader
        if kinds:
            first = os.path.join(self.folder, digest + "-leader.docx")
            chosen = [k for k in document_settings.KINDS if k.name in kinds]
            try:
                document_settings.transplant(leader, document, chosen, first)
            except Exception as error:  # a package the transplant cannot read: no figure
                self.bench.log("cannot give %s the settings of %s: %s" % (
                    os.path.basename(leader), os.path.basename(document), error))
                self.pending[probe] = None
                return probe
        ok, _ = self.bench.run_joiner(self.args.joiner, output, [first, document], landscape)
        self.pending[probe] = output if ok else None
        return probe

    def run(self):
        """Renders and measures every requested probe."""
        outputs = [o for o in self.pending.values() if o]
        self.bench.log("rendering %d probes" % len(outputs))
        if outputs:
            self.renderer.render_all(outputs, text=False)
        for probe, output in self.pending.items():
            lost = None
            if output:
                figures = self.bench.measure(self.renderer, [probe[1]], output, text=False)
                documents = figures.get("documents")
                if documents and documents[0]["pages"]:
                    entry = documents[0]
                    lost = set(range(1, entry["pages"] + 1)) - set(entry["matched"])
            self.lost[probe] = lost
        self.pending = {}

    def restored(self, probe, pages):
        lost = self.lost.get(probe)
        return set() if lost is None else set(pages) - lost


def attribute(bench, renderer, args, workdir, runs, singles):
    """{"cases": [...]} : for every document and order with lost pages, its pages by cause."""
    probes = Probes(bench, renderer, args, workdir, singles)
    cases = []
    for run in runs:
        documents = run.get("figures", {}).get("documents") or []
        for index, entry in enumerate(documents):
            if not entry["pages"]:
                continue
            lost = set(range(1, entry["pages"] + 1)) - set(entry["matched"])
            if lost:
                cases.append({"group": run["group"], "order": run["order"],
                              "document": entry["path"], "leader": run["joined"][0],
                              "leads": index == 0, "landscape": run["landscape"],
                              "lost": sorted(lost), "by_cause": {}})
    bench.log("attributing %d lost-page cases" % len(cases))
    for case in cases:
        probes.request(None, case["document"], (), case["landscape"])
    probes.run()
    for case in cases:
        alone = probes.lost.get((None, case["document"], (), case["landscape"]))
        lost = set(case["lost"])
        own = lost & alone if alone is not None else set()
        add(case, ALONE, own)
        case["rest"] = lost - own
        if case["leads"]:
            add(case, FOLLOWERS, case.pop("rest"))
        elif case["rest"]:
            probes.request(case["leader"], case["document"], (), case["landscape"])
    probes.run()

    pair_pages = {}  # (leader, document, landscape) -> pages to explain by settings
    for case in cases:
        rest = case.pop("rest", set())
        if not rest:
            continue
        pair = (case["leader"], case["document"], case["landscape"])
        pair_lost = probes.lost.get((pair[0], pair[1], (), pair[2]))
        if pair_lost is None:
            add(case, UNKNOWN, rest)
            continue
        add(case, NEIGHBOURS, rest - pair_lost)
        case["settled"] = sorted(rest & pair_lost)
        pair_pages.setdefault(pair, set()).update(rest & pair_lost)

    by_pair = bisect_settings(probes, pair_pages)
    for case in cases:
        pair = (case["leader"], case["document"], case["landscape"])
        for page in case.pop("settled", []):
            add(case, by_pair.get(pair, {}).get(page, UNKNOWN), {page})
    return {"cases": cases, "pairs": [
        {"leader": p[0], "document": p[1], "kinds": [k.name for k in differing(p)],
         "pages": {str(page): cause for page, cause in sorted(causes.items())}}
        for p, causes in sorted(by_pair.items())]}


def add(case, cause, pages):
    if pages:
        case["by_cause"].setdefault(cause, []).extend(sorted(pages))


_differing = {}


def differing(pair):
    if pair not in _differing:
        try:
            _differing[pair] = document_settings.differing_kinds(
                document_settings.Package(pair[0]), document_settings.Package(pair[1]))
        except Exception:  # unreadable as a package: nothing to transplant
            _differing[pair] = []
    return _differing[pair]


def bisect_settings(probes, pair_pages):
    """{pair: {page: cause}} for the pages a pair loses, by the leader's settings."""
    causes = {pair: {} for pair in pair_pages}
    tasks = []  # (pair, kinds, pages)
    for pair, pages in pair_pages.items():
        kinds = tuple(k.name for k in differing(pair))
        if not kinds:
            causes[pair].update({p: NOT_A_SETTING for p in pages})
            continue
        tasks.append((pair, kinds, pages, probes.request(pair[0], pair[1], kinds, pair[2])))
    probes.run()
    work = []
    for pair, kinds, pages, probe in tasks:
        if probes.lost.get(probe) is None:
            causes[pair].update({p: UNKNOWN for p in pages})
            continue
        restored = probes.restored(probe, pages)
        causes[pair].update({p: NOT_A_SETTING for p in pages - restored})
        if restored:
            work.append((pair, kinds, restored))
    combinations = []
    while work:
        split = []
        for pair, kinds, pages in work:
            if len(kinds) == 1:
                causes[pair].update({p: leader_kind(kinds) for p in pages})
                continue
            half = len(kinds) // 2
            first, second = kinds[:half], kinds[half:]
            split.append((pair, kinds, pages, first, second,
                          probes.request(pair[0], pair[1], first, pair[2]),
                          probes.request(pair[0], pair[1], second, pair[2])))
        probes.run()
        work = []
        for pair, kinds, pages, first, second, probe_first, probe_second in split:
            by_first = probes.restored(probe_first, pages)
            by_second = probes.restored(probe_second, pages) - by_first
            if by_first:
                work.append((pair, first, by_first))
            if by_second:
                work.append((pair, second, by_second))
            together = pages - by_first - by_second
            if together:
                combinations.append((pair, kinds, together))
    leave_one_out(probes, combinations, causes)
    return causes


def leave_one_out(probes, combinations, causes):
    """Names the kinds a page needs together: those whose absence loses it again."""
    asked = []
    for pair, kinds, pages in combinations:
        if len(kinds) > LEAVE_ONE_OUT_LIMIT:
            causes[pair].update({p: leader_kind(kinds) for p in pages})
            continue
        asked.append((pair, kinds, pages, [
            probes.request(pair[0], pair[1], tuple(k for k in kinds if k != left), pair[2])
            for left in kinds]))
    probes.run()
    for pair, kinds, pages, without in asked:
        for page in pages:
            needed = [k for k, probe in zip(kinds, without)
                      if page not in probes.restored(probe, {page})]
            causes[pair][page] = leader_kind(needed or kinds)
