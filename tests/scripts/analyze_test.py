#!/usr/bin/env python3
"""scripts/analyze refusing to run: a missing tool, a build without compile commands and one
without a source of the project each give one line and exit 2, never the findings' 1.
Usage: analyze_test.py SOURCE_DIR"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../..")
ANALYZE = os.path.join(SOURCE, "scripts", "analyze")


def tools_without(hidden):
    """A folder of links to python3 and the clang 19 tools, less the one hidden."""
    folder = tempfile.mkdtemp(prefix="qor-analyze-test-")
    for tool in ("python3", "clang-tidy-19", "clang++-19"):
        found = shutil.which(tool)
        if found and tool != hidden:
            os.symlink(found, os.path.join(folder, tool))
    return folder


# name, tool hidden from PATH, compile commands (None: none written), text of the one line
CASES = [
    ("clang-tidy missing", "clang-tidy-19", [], "clang-tidy-19 or clang++-19 is missing"),
    ("clang++ missing", "clang++-19", [], "clang-tidy-19 or clang++-19 is missing"),
    ("a build not configured", None, None, "configure the build first"),
    ("no source of the project", None,
     [{"directory": "/", "file": "/usr/include/stdio.h", "command": "cc -c stdio.h"}],
     "no project source"),
]


class Analyze(unittest.TestCase):
    def test_refusals_exit_2(self):
        for name, hidden, commands, text in CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as build:
                if commands is not None:
                    with open(os.path.join(build, "compile_commands.json"), "w") as f:
                        json.dump(commands, f)
                tools = tools_without(hidden)
                try:
                    if hidden is None and not all(os.path.exists(os.path.join(tools, t))
                                                  for t in ("clang-tidy-19", "clang++-19")):
                        self.skipTest("clang 19 is not installed")
                    result = subprocess.run(
                        [os.path.join(tools, "python3"), ANALYZE, build], capture_output=True,
                        text=True, env=dict(os.environ, PATH=tools), check=False)
                finally:
                    shutil.rmtree(tools)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
                self.assertIn(text, result.stderr)


if __name__ == "__main__":
    unittest.main()
