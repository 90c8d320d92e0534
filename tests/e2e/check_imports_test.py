#!/usr/bin/env python3
"""tests/e2e/check-imports and scripts/pe_file.py against tiny programs made here: each kind of
program the check must refuse, with the line that says why, and damaged bytes answered with a line,
never a traceback.
Usage: check_imports_test.py SOURCE_DIR"""

import importlib.machinery
import os
import pathlib
import struct
import subprocess
import sys
import tempfile
import types
import unittest

sys.dont_write_bytecode = True
SOURCE = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../..")
CHECK = os.path.join(SOURCE, "tests", "e2e", "check-imports")
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
import pe_file  # noqa: E402

I386, X86_64, ARM = 0x014C, 0x8664, 0x01C4
GUI, CONSOLE = 2, 3
EXE = 0x0102  # executable image, 32-bit machine
DLL = EXE | 0x2000
IDATA_RVA, IDATA_OFFSET = 0x1000, 0x400


def program(machine=I386, magic=pe_file.PE32, subsystem=GUI, characteristics=EXE,
            dlls=("KERNEL32.dll", "USER32.dll"), delayed=(), import_rva=None):
    """A PE file as the linker lays one out: headers, then one section holding the import table,
    the delayed import table, one empty address table and the DLL names."""
    wide = magic == pe_file.PE32_PLUS
    fixed = 112 if wide else 96
    optional_size = fixed + 16 * 8
    imports = 20 * (len(dlls) + 1)
    delay_at = imports
    thunk_at = delay_at + 32 * (len(delayed) + 1)
    names_at = thunk_at + 8
    body = bytearray(names_at)
    names = b""
    for i, dll in enumerate(dlls):
        struct.pack_into("<5I", body, 20 * i, 0, 0, 0, IDATA_RVA + names_at + len(names),
                         IDATA_RVA + thunk_at)
        names += dll.encode() + b"\0"
    for i, dll in enumerate(delayed):
        struct.pack_into("<2I", body, delay_at + 32 * i, 1, IDATA_RVA + names_at + len(names))
        names += dll.encode() + b"\0"
    body += names
    content_size = len(body)
    raw_size = (content_size + 0x1FF) & ~0x1FF
    body += bytes(raw_size - content_size)

    optional = bytearray(optional_size)
    struct.pack_into("<H", optional, 0, magic)
    if wide:
        struct.pack_into("<Q", optional, 24, 0x140000000)
    else:
        struct.pack_into("<I", optional, 28, 0x400000)
    struct.pack_into("<IIIII", optional, 32, 0x1000, 0x200, 0, 0, 0)  # alignments
    struct.pack_into("<III", optional, 56, IDATA_RVA + raw_size, IDATA_OFFSET, 0)
    struct.pack_into("<H", optional, 68, subsystem)
    struct.pack_into("<I", optional, fixed - 4, 16)
    struct.pack_into("<II", optional, fixed + 8 * pe_file.IMPORT_DIRECTORY,
                     IDATA_RVA if import_rva is None else import_rva, imports)
    if delayed:
        struct.pack_into("<II", optional, fixed + 8 * pe_file.DELAY_IMPORT_DIRECTORY,
                         IDATA_RVA + delay_at, 32 * (len(delayed) + 1))
    headers = bytearray(0x40)
    headers[:2] = b"MZ"
    struct.pack_into("<I", headers, 0x3C, 0x40)
    headers += b"PE\0\0" + struct.pack("<HHIIIHH", machine, 1, 0, 0, 0, optional_size,
                                       characteristics)
    headers += optional
    headers += struct.pack("<8sIIIIIIHHI", b".idata", content_size, IDATA_RVA, raw_size, IDATA_OFFSET,
                           0, 0, 0, 0, 0xC0000040)
    return bytes(headers) + bytes(IDATA_OFFSET - len(headers)) + bytes(body)


GOOD = program()
# name, processor, bytes, exit code, texts the output must hold
CASES = [
    ("a 32-bit GUI program of system DLLs", "i686", GOOD, 0,
     ["imports: KERNEL32.dll USER32.dll"]),
    ("the twin", "x86_64", program(X86_64, pe_file.PE32_PLUS), 0, []),
    ("the twin where the 32-bit program is wanted", "i686", program(X86_64, pe_file.PE32_PLUS), 1,
     ["not a PE32 program for i386 (GUI): a PE32+ program for x86-64 (GUI)"]),
    ("PE32 of another processor", "i686", program(ARM), 1, ["a PE32 program for arm (GUI)"]),
    ("PE32+ headers on an i386 machine", "x86_64", program(I386, pe_file.PE32_PLUS), 1,
     ["a PE32+ program for i386"]),
    ("a console program", "i686", program(subsystem=CONSOLE), 1,
     ["a PE32 program for i386 (console)"]),
    ("a DLL", "i686", program(characteristics=DLL), 1, ["a PE32 DLL for i386"]),
    ("a DLL of the compiler's runtime", "i686",
     program(dlls=("KERNEL32.dll", "libstdc++-6.dll", "libwinpthread-1.dll")), 1,
     ["imports libstdc++-6.dll, not a system DLL", "imports libwinpthread-1.dll, not a system"]),
    ("system DLLs in any case", "i686", program(dlls=("kernel32.DLL", "MSVCRT.dll")), 0, []),
    ("a delayed import of its own DLL", "i686", program(delayed=("pagrim.dll",)), 1,
     ["imports pagrim.dll, not a system DLL"]),
    ("not a PE file", "i686", b"#!/bin/sh\necho setup\n", 1, ["not a PE program (no MZ header)"]),
    ("an MS-DOS program", "i686", b"MZ" + bytes(0x3A) + struct.pack("<I", 0x40) + bytes(64), 1,
     ["no PE signature"]),
    ("headers cut short", "i686", GOOD[:0x60], 1, ["truncated: the optional header"]),
    ("the section table cut short", "i686", GOOD[:0x150], 1, ["truncated: the section table"]),
    ("e_lfanew past the end", "i686", GOOD[:0x3C] + struct.pack("<I", 0x7FFFFFF0) + GOOD[0x40:],
     1, ["truncated: the PE signature"]),
    ("the import table outside every section", "i686", program(import_rva=0x9000), 1,
     ["unreadable imports: the import table at address 0x9000 lies in no section's bytes"]),
]


def load_check():
    loader = importlib.machinery.SourceFileLoader("check_imports", CHECK)
    module = types.ModuleType("check_imports")
    module.__file__ = CHECK  # it finds the scripts folder from its own path
    loader.exec_module(module)
    return module


class CheckImportsTest(unittest.TestCase):
    def run_check(self, *args):
        result = subprocess.run([CHECK, *args], capture_output=True, text=True, timeout=60)
        self.assertNotIn("Traceback", result.stdout + result.stderr)
        return result

    def test_cases(self):
        with tempfile.TemporaryDirectory() as tmp:
            for name, processor, data, code, texts in CASES:
                with self.subTest(name):
                    path = os.path.join(tmp, "setup.exe")
                    pathlib.Path(path).write_bytes(data)
                    result = self.run_check(processor, path)
                    self.assertEqual(result.returncode, code, result.stdout + result.stderr)
                    for text in texts:
                        self.assertIn(text, result.stdout)
                    # A refusal names the program it is about.
                    if code:
                        self.assertIn(f"{path}: ", result.stdout)

    def test_every_program_is_checked_and_one_failure_fails_the_run(self):
        with tempfile.TemporaryDirectory() as tmp:
            good, console = os.path.join(tmp, "good.exe"), os.path.join(tmp, "console.exe")
            pathlib.Path(good).write_bytes(GOOD)
            pathlib.Path(console).write_bytes(program(subsystem=CONSOLE))
            missing = os.path.join(tmp, "missing.exe")
            result = self.run_check("i686", console, missing, good)
            self.assertEqual(result.returncode, 1)
            self.assertIn(f"{console}: not a PE32 program", result.stdout)
            self.assertIn(f"{missing}: cannot read", result.stdout)
            self.assertIn(f"{good} imports: KERNEL32.dll USER32.dll", result.stdout)

    def test_usage(self):
        for args in ([], ["i686"], ["arm64", "setup.exe"]):
            with self.subTest(args=args):
                result = self.run_check(*args)
                self.assertEqual(result.returncode, 2)
                self.assertIn("usage: check-imports i686|x86_64", result.stderr)

    def test_damaged_bytes_give_a_verdict_not_an_exception(self):
        check = load_check()
        # Every cut of the file, and every byte of the headers and tables set to 0xFF.
        for length in range(len(GOOD)):
            _, problems = check.problems_of(GOOD[:length], "i686")
            if length < IDATA_OFFSET:
                self.assertTrue(problems, f"cut at {length} passed")
        for at in range(IDATA_OFFSET + 0x80):
            damaged = bytearray(GOOD)
            damaged[at] = 0xFF
            check.problems_of(bytes(damaged), "i686")


class PEFileTest(unittest.TestCase):
    def test_sections_and_image_base_of_both_kinds(self):
        for magic, machine, base in ((pe_file.PE32, I386, 0x400000),
                                     (pe_file.PE32_PLUS, X86_64, 0x140000000)):
            with self.subTest(kind=pe_file.KINDS[magic]):
                pe = pe_file.parse(program(machine, magic))
                self.assertEqual(pe.image_base, base)
                # Two DLLs: three import entries, one delayed, an address table, the names.
                self.assertEqual(pe.sections,
                                 [pe_file.Section(".idata", IDATA_RVA, 124, IDATA_OFFSET, 0x200)])
                self.assertEqual(pe.describe(),
                                 f"{pe_file.KINDS[magic]} program for {pe.machine_name} (GUI)")


if __name__ == "__main__":
    unittest.main()
