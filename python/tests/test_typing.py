# The package's hints as a user's mypy --strict sees them in the installed package: a typed
# script passes, and every planted mistake (a misspelt attribute through book["Sales"], a
# value used as one type of the union, a property key that is none) is found on its line.
import os
import re
import subprocess
import sys

import pytest

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "typing")


def test_mypy_strict_passes_the_script_and_finds_each_planted_mistake(tmp_path):
    pytest.importorskip("mypy")
    files = [os.path.join(HERE, "user.py"), os.path.join(HERE, "mistakes.py")]
    done = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-error-summary",
                           "--cache-dir", str(tmp_path / "cache")] + files,
                          cwd=str(tmp_path), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          universal_newlines=True)
    found = {}
    for line in done.stdout.splitlines():
        match = re.match(r"(.*\.py):(\d+): (error|note): ", line)
        assert match, line  # nothing but errors and their notes on the user's lines
        if match.group(3) == "error":
            found.setdefault(os.path.basename(match.group(1)), set()).add(int(match.group(2)))
    with open(files[1], encoding="utf-8") as f:
        wrong = {n for n, line in enumerate(f, start=1) if line.rstrip().endswith("# wrong")}
    assert "user.py" not in found, done.stdout
    assert found.get("mistakes.py") == wrong, done.stdout
