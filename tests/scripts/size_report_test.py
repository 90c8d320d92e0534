#!/usr/bin/env python3
"""scripts/size-report against a small program and its linker map, committed in size-report/:
what each table adds up to, a budget met and one overshot, and bad input answered with exit 2 and
one line. Every case runs under both locales of the project (code pages 936 and 1252), which must
print the same.

tiny.exe and tiny.map were made by mingw-w64 GCC 12 from tiny.c and tiny.rc (payload.bin: 300 bytes
of 'p'), our object under a relative path as in the build:
  i686-w64-mingw32-gcc -Os -c src/demo/tiny.c -o src/demo/tiny.c.obj
  i686-w64-mingw32-windres tiny.rc -O coff -o src/demo/tiny.rc.res
  i686-w64-mingw32-gcc -nostdlib -Wl,-e,_Start@0 -Wl,--subsystem,windows -s -Wl,-Map,tiny.map \\
      -o tiny.exe src/demo/tiny.c.obj src/demo/tiny.rc.res -lkernel32
Usage: size_report_test.py SOURCE_DIR"""

import os
import pathlib
import subprocess
import sys
import tempfile
import unittest

SOURCE = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../..")
REPORT = os.path.join(SOURCE, "scripts", "size-report")
DATA = os.path.join(SOURCE, "tests", "scripts", "size-report")
EXE = os.path.join(DATA, "tiny.exe")
MAP = os.path.join(DATA, "tiny.map")
LOCALES = ["zh_CN.UTF-8", "en_US.UTF-8"]

# The program's own figures: ours 140, imports 94, linker 2326, resources without the package 212,
# stub (the file without its 300-byte package) 3796.
FITTING = "ours 140\nimports 94\nlinker 2326\nresources 212\nstub 3796\n"

# name, budget text (None: no --budget), map text (None: the committed map), exe bytes (None: the
# committed program), exit code, texts the output must hold (stdout for 0 and 1, stderr for 2)
CASES = [
    ("the tables", None, None, None, 0,
     ["tiny.exe: 4096 bytes (4.0 KiB); without its package DAT/VELMORA: 3796 bytes (3.7 KiB)",
      "  headers            1024", "  .rsrc               512          504",
      "  src/demo                          40        52        48         0       140",
      "  imports (system DLLs)              0         0         0        94        94",
      "  total                            512       512       512      1024      2560",
      "  DAT/VELMORA               1       300", "  directory, padding                200"]),
    ("a budget met to the byte", FITTING, None, None, 0,
     ["  ours                        140       140         0   ok",
      "  stub                       3796      3796         0   ok",
      "  zlib                          0         -             no ceiling"]),
    ("our code a byte over", FITTING.replace("ours 140", "ours 139"), None, None, 1,
     ["  ours                        140       139        -1   OVER"]),
    ("a budget naming an unknown origin", "ours 140\nboost 10\n", None, None, 2,
     ["budget.txt:2: not 'ORIGIN BYTES'"]),
    ("a ceiling that is not a number", "ours many\n", None, None, 2, ["not 'ORIGIN BYTES'"]),
    ("the map of another link", None, "", None, 2,
     ["is not the map of", "(section .text differs)"]),
    ("a map that is not one", None, "hello\n", None, 2, ["not a GNU ld map"]),
    ("not a program", None, None, b"MZ" + b"\0" * 40, 2, []),
    ("an empty file", None, None, b"", 2, []),
]


def run_report(tmp, budget, map_text, exe_bytes, locale):
    def written(name, content):
        path = os.path.join(tmp, name)
        pathlib.Path(path).write_bytes(content if isinstance(content, bytes) else content.encode())
        return path

    if map_text == "":  # the committed map with another size of .text
        map_text = pathlib.Path(MAP).read_text(encoding="utf-8").replace(
            ".text           0x00401000      0x200", ".text           0x00401000      0x400")
    exe = EXE if exe_bytes is None else written("tiny.exe", exe_bytes)
    map_path = MAP if map_text is None else written("other.map", map_text)
    args = [] if budget is None else ["--budget", written("budget.txt", budget)]
    env = dict(os.environ, LANG=locale, LC_ALL=locale)
    return subprocess.run([REPORT, "--map", map_path, *args, exe], capture_output=True,
                          text=True, encoding="utf-8", env=env, check=False)


class SizeReport(unittest.TestCase):
    def test_cases(self):
        for name, budget, map_text, exe_bytes, code, texts in CASES:
            outputs = []
            with tempfile.TemporaryDirectory() as tmp:
                for locale in LOCALES:
                    with self.subTest(name, locale=locale):
                        result = run_report(tmp, budget, map_text, exe_bytes, locale)
                        self.assertEqual(result.returncode, code,
                                         result.stdout + result.stderr)
                        shown = result.stderr if code == 2 else result.stdout
                        for text in texts:
                            self.assertIn(text, shown)
                        if code == 2:
                            self.assertEqual(len(result.stderr.strip().splitlines()), 1,
                                             result.stderr)
                            self.assertNotIn("Traceback", result.stderr)
                        outputs.append((result.stdout, result.stderr))
            with self.subTest(name, what="the same under both locales"):
                self.assertEqual(outputs[0], outputs[-1])


if __name__ == "__main__":
    unittest.main()
