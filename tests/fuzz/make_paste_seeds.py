#!/usr/bin/env python3
"""Seeds for paste_fuzz from real documents: make_paste_seeds.py OUT-FOLDER FOLDER...

Each package of the folders becomes one seed that spells its parts out as text (the form
paste_fuzz zips with sound checksums), so that mutations change the XML rather than break the
zip. Media are cut short: what they hold does not matter to a paste, and small seeds fuzz faster.
Packages larger than the fuzzer's input limit when spelled out are left out.
"""

import hashlib
import os
import sys
import zipfile

MARKER = b"PAPERLOOM-PARTS\n"
MEDIA_BYTES = 64
MAX_SEED = 256 * 1024


def spelled_out(path):
    with zipfile.ZipFile(path) as archive:
        seed = [MARKER.rstrip(b"\n")]
        for info in archive.infolist():
            if info.is_dir() or info.file_size > 8 * MAX_SEED:
                continue
            data = archive.read(info)
            if not info.filename.lower().endswith((".xml", ".rels", ".vml")):
                data = data[:MEDIA_BYTES]
            seed.append(b"\n=== " + info.filename.encode("utf-8") + b"\n" + data)
    return b"".join(seed)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__.strip().splitlines()[0])
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    written = 0
    for folder in sys.argv[2:]:
        if not os.path.isdir(folder):
            continue
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            try:
                with open(path, "rb") as f:
                    if f.read(4) != b"PK\x03\x04":
                        continue  # not a package (a Word 97-2003 file may embed a zip)
                seed = spelled_out(path)
            except (zipfile.BadZipFile, OSError, RuntimeError, NotImplementedError, EOFError):
                continue  # a damaged or encrypted package: the package fuzzer's business
            if len(seed) > MAX_SEED:
                continue
            with open(os.path.join(out, hashlib.sha1(seed).hexdigest()), "wb") as f:
                f.write(seed)
            written += 1
    print("%d seeds in %s" % (written, out))


if __name__ == "__main__":
    main()
