"""The Markdown report of a fidelity corpus run (see corpus.py for what a run holds)."""

import io
import os


def share(matched, pages):
    return matched / pages if pages else 1.0


def name_of(path, corpus):
    return os.path.relpath(path, corpus) if corpus else os.path.basename(path)


def short_reason(message, path):
    """The joiner's message without its program name, the path and what it did afterwards."""
    reason = message.split(": ", 1)[1] if message.startswith(("paperloom-join:",
                                                               "fidelity-join:")) else message
    reason = reason.replace("Cannot open %s: " % path, "")
    return reason.split(" The join stopped")[0]


def group_table(out, runs):
    out.write("| group | order | files | joined | source pages | output pages | pages matched |"
              " page match | text similarity | page text similarity | markup text similarity |"
              " LibreOffice | python-docx | structural problems (sources') |\n")
    out.write("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n")
    for run in runs:
        fig = run.get("figures")
        if fig is None:
            out.write("| %s | %s | %d | %d | | | | | | | | | | join failed: %s |\n" % (
                run["group"], run["order"], len(run["files"]), len(run["joined"]),
                run["join_failed"]))
            continue
        out.write("| %s | %s | %d | %d | %d | %d | %d | %.3f | %.4f | %.4f | %.4f | %s | %s"
                  " | %s (%d) |\n" % (
            run["group"], run["order"] + (" (= %s)" % run["same_as"] if run.get("same_as")
                                          else ""), len(run["files"]), len(run["joined"]),
            fig["source_pages"], fig["output_pages"], fig["matched"],
            share(fig["matched"], fig["source_pages"]), fig.get("text_similarity", 0.0),
            fig.get("page_text_similarity", 0.0), fig.get("markup_text_similarity", 0.0),
            "opens" if fig["lo_opens"] else "FAILS",
            {True: "opens", False: "FAILS", None: "n/a"}[fig["python_docx"]],
            len(fig["structure"]) or "none", fig.get("source_structure", 0)))


def order_totals(out, runs, orders):
    out.write("| order | groups | documents | source pages | pages matched | page match |"
              " lowest group | groups below 0.9 | mean text similarity | mean page text similarity"
              " | mean markup text similarity | LibreOffice fails | python-docx fails"
              " | outputs with structural problems |\n")
    out.write("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n")
    for order in orders:
        mine = [r for r in runs if r["order"] == order]
        measured = [r for r in mine if r.get("figures")]
        pages = sum(r["figures"]["source_pages"] for r in measured)
        matched = sum(r["figures"]["matched"] for r in measured)
        shares = [(share(r["figures"]["matched"], r["figures"]["source_pages"]), r["group"])
                  for r in measured]
        texts = [r["figures"].get("text_similarity", 0.0) for r in measured]
        page_texts = [r["figures"].get("page_text_similarity", 0.0) for r in measured]
        markup_texts = [r["figures"].get("markup_text_similarity", 0.0) for r in measured]
        lowest = min(shares) if shares else (1.0, "-")
        out.write("| %s | %d | %d | %d | %d | **%.3f** | %.3f (%s) | %d | %.4f | %.4f | %.4f"
                  " | %d | %d | %d |\n" % (
                     order, len(mine), sum(len(r["joined"]) for r in mine), pages, matched,
                     share(matched, pages), lowest[0], lowest[1],
                     sum(1 for s, _ in shares if s < 0.9),
                     sum(texts) / len(texts) if texts else 0.0,
                     sum(page_texts) / len(page_texts) if page_texts else 0.0,
                     sum(markup_texts) / len(markup_texts) if markup_texts else 0.0,
                     sum(1 for r in measured if not r["figures"]["lo_opens"]),
                     sum(1 for r in measured if r["figures"]["python_docx"] is False),
                     sum(1 for r in measured if r["figures"]["structure"]) +
                     sum(1 for r in mine if not r.get("figures"))))
    out.write("\n(A group whose orders coincide, such as a group of one document, counts its "
              "one join in each of them.)\n")


def per_document(runs):
    """{path: {"group", "pages", order: matched}} over the measured runs."""
    table = {}
    for run in runs:
        for entry in (run.get("figures") or {}).get("documents") or []:
            if not entry["pages"]:
                continue
            row = table.setdefault(entry["path"], {"group": run["group"],
                                                   "pages": entry["pages"], "leaders": {}})
            row[run["order"]] = len(entry["matched"])
            row["leaders"][run["order"]] = run["joined"][0]
    return table


def order_effects(out, runs, orders):
    table = per_document(runs)
    differing = {p: r for p, r in table.items()
                 if len({r[o] for o in orders if o in r}) > 1}
    large = {p: r for p, r in differing.items()
             if max(r[o] for o in orders if o in r) - min(r[o] for o in orders if o in r) > 1}
    out.write("%d documents measured; %d match a different number of pages in different orders,"
              " %d by more than one page:\n\n" % (len(table), len(differing), len(large)))
    out.write("| document | group | pages | %s | worst order's leader |\n" % " | ".join(orders))
    out.write("|---|---|---|%s---|\n" % ("---|" * len(orders)))
    for path, row in sorted(large.items(), key=lambda item: (item[1]["group"], item[0])):
        present = [o for o in orders if o in row]
        worst = min(present, key=lambda o: row[o])
        leader = row["leaders"][worst]
        out.write("| %s | %s | %d | %s | %s |\n" % (
            os.path.basename(path), row["group"], row["pages"],
            " | ".join(str(row[o]) if o in row else "-" for o in orders),
            "itself" if leader == path else os.path.basename(leader)))


def cause_table(out, causes):
    tally = {}
    for case in causes["cases"]:
        for cause, pages in case["by_cause"].items():
            entry = tally.setdefault(cause, {"pages": 0, "cases": 0, "documents": set(),
                                             "examples": []})
            entry["pages"] += len(pages)
            entry["cases"] += 1
            entry["documents"].add(case["document"])
            if len(entry["examples"]) < 3:
                entry["examples"].append("%s p.%s (%s, %s)" % (
                    os.path.basename(case["document"]), ",".join(map(str, pages[:4])),
                    case["group"], case["order"]))
    total = sum(e["pages"] for e in tally.values())
    out.write("%d lost pages (counted once per order) in %d document-order cases:\n\n" % (
        total, len(causes["cases"])))
    out.write("| cause | pages lost | share | cases | documents | examples |\n")
    out.write("|---|---|---|---|---|---|\n")
    for cause, entry in sorted(tally.items(), key=lambda item: -item[1]["pages"]):
        out.write("| %s | %d | %.2f | %d | %d | %s |\n" % (
            cause, entry["pages"], share(entry["pages"], total) if total else 0.0,
            entry["cases"], len(entry["documents"]), "; ".join(entry["examples"])))


def format_report(result, verbose=False):
    out = io.StringIO()
    runs, orders, corpus = result["runs"], result["orders"], result["corpus"]
    out.write("### Per group and order\n\n")
    group_table(out, runs)
    out.write("\n### All groups, per order\n\n")
    order_totals(out, runs, orders)
    out.write("\n### Order effects\n\n")
    order_effects(out, runs, orders)
    if result.get("causes"):
        out.write("\n### Lost pages by cause\n\n")
        cause_table(out, result["causes"])
    if result["skipped"]:
        out.write("\n### Sources left out: LibreOffice cannot render them, or they render as "
                  "empty pages only\n\n")
        for path, why in sorted(result["skipped"].items()):
            out.write("- %s: %s\n" % (name_of(path, corpus), why))
    if result["failed"]:
        out.write("\n### Sources that fail to join on their own (left out of their group)\n\n")
        for path, message in sorted(result["failed"].items()):
            out.write("- %s: %s\n" % (name_of(path, corpus), short_reason(message, path)))
    problems = [r for r in runs if (r.get("figures") or {}).get("structure")]
    if problems:
        out.write("\n### Structural problems of the outputs\n\n")
        for run in problems:
            for p in run["figures"]["structure"][:10]:
                out.write("- %s %s: %s\n" % (run["group"], run["order"], p))
    if verbose:
        out.write("\n### Source pages without a match (output page where it was expected)\n\n")
        for run in runs:
            fig = run.get("figures") or {}
            for u in fig.get("unmatched", []):
                out.write("- %s %s: %s p.%s -> out p.%s (%s, mean %.2f, strong %.4f)\n" % (
                    run["group"], run["order"], u["source"], u["page"], u.get("output_page"),
                    u.get("size", ""), u.get("mean_diff", -1), u.get("strong_share", -1)))
            for path in fig.get("unrendered_sources", []):
                out.write("- %s: LibreOffice could not render source %s\n" % (run["group"], path))
    return out.getvalue()
