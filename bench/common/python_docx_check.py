"""Whether python-docx opens a document, shared by the benches.

python-docx may be installed for another Python than the one running the bench (Debian's
python3-docx is for /usr/bin/python3), so documents are opened in a helper process of a Python
that has it. The helper stays for many documents (importing python-docx costs more than opening
a small document) and is restarted after a document that hangs it.
"""

import json
import os
import select
import subprocess
import sys

HELPER = r"""
import json, sys, docx
for line in sys.stdin:
    try:
        d = docx.Document(line.rstrip("\n"))
        [p.text for p in d.paragraphs]
        print(json.dumps([True, ""]), flush=True)
    except Exception as error:
        print(json.dumps([False, "%s: %s" % (type(error).__name__, error)]), flush=True)
"""


def python_with_docx():
    """A Python that can import docx, or None."""
    for python in (sys.executable, "/usr/bin/python3"):
        try:
            result = subprocess.run([python, "-c", "import docx"], capture_output=True,
                                    timeout=60)
        except (OSError, subprocess.TimeoutExpired):
            continue
        if result.returncode == 0:
            return python
    return None


class PythonDocx:
    """Opens documents with python-docx in a helper process, each within a time limit."""

    def __init__(self, python=None, timeout=120):
        self.python = python or python_with_docx()
        self.timeout = timeout
        self.process = None

    def available(self):
        return self.python is not None

    def opens(self, path):
        """(True, "") when python-docx reads path and the text of its paragraphs, (False, the
        error) when it fails, (None, why) when python-docx is not installed."""
        if not self.python:
            return None, "python-docx not installed"
        if self.process is None:
            self.process = subprocess.Popen([self.python, "-c", HELPER], stdin=subprocess.PIPE,
                                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                            text=True)
        try:
            self.process.stdin.write(os.path.abspath(path) + "\n")
            self.process.stdin.flush()
            ready, _, _ = select.select([self.process.stdout], [], [], self.timeout)
            line = self.process.stdout.readline() if ready else ""
        except OSError as error:
            line, ready = "", str(error)
        if not line:
            self.close()
            return False, "python-docx crashed or hung" if ready else "python-docx timed out"
        ok, error = json.loads(line)
        return ok, error.splitlines()[0][:300] if error else ""

    def close(self):
        if self.process is not None:
            self.process.kill()
            self.process.wait()
            self.process = None
