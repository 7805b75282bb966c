"""Converting many documents with a headless LibreOffice of the bench's own, shared by the benches.

One soffice call converts a batch of files (starting LibreOffice costs seconds, a small document
a fraction of one). A batch that hangs or crashes is killed with its whole process group; the
file that stopped it is tried once on its own and the batch goes on after it, so one bad file
costs a restart or two, not the batch.
The profile is private to the caller (never the user's), and a profile folder is used by one
soffice at a time: a second soffice on the same profile would hand its files to the first.
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

BATCH = 200
STARTUP = 60  # seconds a LibreOffice may take to start, on a busy machine


def log(message):
    print(message, file=sys.stderr, flush=True)


class LibreOffice:
    """soffice --convert-to with a profile folder of its own; settings is the text of a
    registrymodifications.xcu written into a new profile (or None)."""

    def __init__(self, profile=None, settings=None, soffice="soffice"):
        self.soffice = soffice
        self.owned = profile is None
        self.profile = profile or tempfile.mkdtemp(prefix="paperloom-bench-lo-")
        if settings:
            path = os.path.join(self.profile, "user", "registrymodifications.xcu")
            if not os.path.exists(path):
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "w") as f:
                    f.write(settings)

    def close(self):
        """Removes the profile when it was made here."""
        if self.owned:
            shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    @staticmethod
    def result_name(path, target):
        """The name soffice gives the conversion of path to target ("pdf", "txt:...")."""
        stem = os.path.splitext(os.path.basename(path))[0]
        return stem + "." + target.split(":", 1)[0]

    def convert(self, files, target, outdir, stall=60, batch=BATCH, infilter=None):
        """Converts files to target into outdir; returns the set of files that were converted.
        A file LibreOffice cannot load simply has no result; a call that shows no progress for
        stall seconds (plus its start) is stopped. Files need distinct stems. infilter names
        the import filter, so that a file which is not what its name says fails instead of
        being read as plain text."""
        os.makedirs(outdir, exist_ok=True)
        done = lambda f: os.path.exists(os.path.join(outdir, self.result_name(f, target)))
        pending = [f for f in files if not done(f)]
        while pending:
            chunk, pending = pending[:batch], pending[batch:]
            if self.run(target, chunk, outdir, stall, infilter):
                continue
            # LibreOffice converts in order: the first file without a result after the last
            # one with a result crashed or hung it. It is tried once on its own, the files after
            # it go on; those before it without a result failed to load.
            last = max((i for i, f in enumerate(chunk) if done(f)), default=-1)
            rest = [f for f in chunk[last + 1:] if not done(f)]
            if rest:
                if len(chunk) > 1:
                    self.run(target, rest[:1], outdir, stall, infilter)
                pending = rest[1:] + pending
        return {f for f in files if done(f)}

    def run(self, target, files, outdir, stall, infilter=None):
        """One soffice call; False when it failed, crashed or stalled."""
        if not files:
            return True
        command = [self.soffice, "--headless", "--norestore", "--nolockcheck", "--nodefault",
                   "-env:UserInstallation=file://" + self.profile]
        if infilter:
            command.append("--infilter=" + infilter)
        command += ["--convert-to", target, "--outdir", outdir] + list(files)
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        results = lambda: len(os.listdir(outdir)) if os.path.isdir(outdir) else 0
        try:
            seen, since = results(), time.monotonic()
            limit = STARTUP + stall
            while process.poll() is None:
                time.sleep(0.2)
                now = results()
                if now != seen:
                    seen, since, limit = now, time.monotonic(), stall
                elif time.monotonic() - since > limit:
                    log("soffice made no progress for %d s on %d file(s)" % (limit, len(files)))
                    os.killpg(process.pid, signal.SIGKILL)
                    process.wait()
                    return False
            return process.returncode == 0
        except BaseException:
            # Interrupted: LibreOffice runs in a session of its own and would outlive us.
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            raise
