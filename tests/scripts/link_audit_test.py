#!/usr/bin/env python3
"""scripts/link-audit against small linker maps: what a kept-out member's message names, members
allowed by a replacement the build left out, and bad input answered with exit 2 and one line.
Usage: link_audit_test.py SOURCE_DIR"""

import os
import pathlib
import subprocess
import sys
import tempfile
import unittest

SOURCE = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../..")
AUDIT = os.path.join(SOURCE, "scripts", "link-audit")
GCC = "/usr/lib/gcc/i686-w64-mingw32/14-posix"

RULES = """# member  kept out by
libwinpthread.a(*)              runtime_threads
libstdc++.a(string-inst.o)      exception_strings_sso implicit_templates
libstdc++.a(tree.o)             rule: no std::map or std::set
"""


def linker_map(*members):
    """A map whose archive list holds the (member, referrer, symbol) given, as GNU ld writes it."""
    lines = ["Archive member included to satisfy reference by file (symbol)", ""]
    for member, referrer, symbol in members:
        if len(member) < 30:
            lines.append(f"{member:<30}{referrer} ({symbol})")
        else:
            lines += [member, f"{'':<30}{referrer} ({symbol})"]
    return "\n".join(lines + ["", "Memory Configuration", "", "Linker script and memory map", ""])


OURS = ("src/ui/libqor_ui.a(window.cpp.obj)", "src/ui/window.cpp.obj")
EH = (f"{GCC}/libstdc++.a(eh_alloc.o)", "__cxa_free_exception")
TREE = f"{GCC}/libstdc++.a(tree.o)"
PTHREAD = "/usr/i686-w64-mingw32/lib/libwinpthread.a(libwinpthread_la-mutex.o)"
STRING = f"{GCC}/libstdc++.a(string-inst.o)"

# name, members of the map, --left-out names, exit code, texts the message must hold
CASES = [
    ("a clean link", [(EH[0], OURS[0], EH[1])], [], 0, []),
    ("our object pulls a kept-out member",
     [(TREE, OURS[0], "std::_Rb_tree_increment(std::_Rb_tree_node_base*)")], [], 1,
     ["src/ui/window.cpp.obj pulls libstdc++.a(tree.o) (std::_Rb_tree_increment(",
      "no std::map or std::set"]),
    ("through a member of the toolchain",
     [(EH[0], OURS[0], EH[1]), (TREE, EH[0], "std::_Rb_tree_insert_and_rebalance")], [], 1,
     ["src/ui/window.cpp.obj pulls libstdc++.a(eh_alloc.o) (__cxa_free_exception), which pulls "
      "libstdc++.a(tree.o)"]),
    ("a pattern of members", [(PTHREAD, "src/base/socket_win32.cpp.obj", "pthread_mutex_lock")],
     [], 1, ["libwinpthread.a(libwinpthread_la-mutex.o)", "kept out by runtime_threads"]),
    ("its replacement left out", [(PTHREAD, OURS[0], "pthread_mutex_lock")],
     ["runtime_threads"], 0, []),
    ("one of two replacements left out", [(STRING, OURS[0], "std::string::_M_create")],
     ["implicit_templates"], 0, []),
    ("both replacements apply", [(STRING, OURS[0], "std::string::_M_create")], [], 1,
     ["kept out by exception_strings_sso and implicit_templates"]),
    ("a rule cannot be left out", [(TREE, OURS[0], "x")], ["tree"], 2, ["no rule"]),
]


class LinkAudit(unittest.TestCase):
    def run_audit(self, map_text, *args, rules=RULES):
        with tempfile.TemporaryDirectory() as tmp:
            map_path = os.path.join(tmp, "setup.map")
            rules_path = os.path.join(tmp, "rules.txt")
            pathlib.Path(map_path).write_text(map_text, encoding="utf-8")
            pathlib.Path(rules_path).write_text(rules, encoding="utf-8")
            return subprocess.run([AUDIT, "--rules", rules_path, *args, map_path],
                                  capture_output=True, text=True, check=False)

    def test_cases(self):
        for name, members, left_out, code, texts in CASES:
            with self.subTest(name):
                args = [a for n in left_out for a in ("--left-out", n)]
                result = self.run_audit(linker_map(*members), *args)
                self.assertEqual(result.returncode, code, result.stderr)
                for text in texts:
                    self.assertIn(text, result.stderr)

    def test_bad_input_is_one_line_and_exit_2(self):
        for name, map_text, rules in [
            ("not a map", "hello\n", RULES),
            ("a truncated member list",
             "Archive member included to satisfy reference by file (symbol)\n\n"
             "  src/x.obj without its symbol\n", RULES),
            ("rules without a reason", linker_map(), "libstdc++.a(tree.o)\n"),
            ("binary garbage", "\x00\xff" * 100, RULES),
        ]:
            with self.subTest(name):
                result = self.run_audit(map_text, rules=rules)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
                self.assertNotIn("Traceback", result.stderr)

    def test_the_project_rules_read(self):
        rules = os.path.join(SOURCE, "src", "runtime", "kept-out.txt")
        with open(rules, encoding="utf-8") as f:
            result = self.run_audit(linker_map((EH[0], OURS[0], EH[1])), rules=f.read())
        self.assertEqual(result.returncode, 0, result.stderr)


if __name__ == "__main__":
    unittest.main()
