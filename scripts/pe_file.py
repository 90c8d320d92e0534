"""Reads the headers of a Windows program (PE32 or PE32+): processor, kind, subsystem, sections and
the DLLs it loads, straight from the bytes, with no tool's prose in between.

Every fault of the bytes (not a PE file, cut short, a table pointing outside the file) raises
PEError with one line that says what is wrong and where; nothing else escapes, so a caller can
report it and go on.
"""

import struct
from collections import namedtuple

MACHINES = {0x014C: "i386", 0x8664: "x86-64", 0xAA64: "arm64", 0x01C4: "arm"}
PE32, PE32_PLUS = 0x10B, 0x20B
KINDS = {PE32: "PE32", PE32_PLUS: "PE32+"}
SUBSYSTEMS = {1: "native", 2: "GUI", 3: "console", 9: "Windows CE GUI", 10: "EFI application"}
SUBSYSTEM_GUI = 2

# COFF characteristics.
EXECUTABLE_IMAGE = 0x0002
DLL = 0x2000

# Indices in the optional header's data directories.
IMPORT_DIRECTORY = 1
DELAY_IMPORT_DIRECTORY = 13

# A DLL name longer than this is a damaged table rather than a name.
MAX_NAME = 512

Section = namedtuple("Section", "name vaddr vsize offset raw_size")


class PEError(Exception):
    pass


class PEFile:
    """The parsed headers of one program. imported_dlls() reads the import tables on demand, so a
    caller that only wants the sections is not stopped by damage there."""

    def __init__(self, data, machine, characteristics, magic, image_base, subsystem, directories,
                 sections, headers_size):
        self.data = data
        self.machine = machine
        self.characteristics = characteristics
        self.magic = magic
        self.image_base = image_base
        self.subsystem = subsystem
        self.directories = directories  # [(rva, size)]
        self.sections = sections
        self.headers_size = headers_size

    @property
    def kind(self):
        return KINDS.get(self.magic, f"optional header {self.magic:#x}")

    @property
    def machine_name(self):
        return MACHINES.get(self.machine, f"machine {self.machine:#06x}")

    @property
    def subsystem_name(self):
        return SUBSYSTEMS.get(self.subsystem, f"subsystem {self.subsystem}")

    @property
    def is_program(self):
        """An executable image that is not a DLL."""
        return bool(self.characteristics & EXECUTABLE_IMAGE) and not self.characteristics & DLL

    def describe(self):
        """'PE32 program for i386 (GUI)', as the checks print it."""
        what = "program" if self.is_program else "DLL" if self.characteristics & DLL else "image"
        return f"{self.kind} {what} for {self.machine_name} ({self.subsystem_name})"

    def offset_of(self, rva, what):
        """The file offset of an address in the image; PEError when the file has no bytes there."""
        for s in self.sections:
            if s.vaddr <= rva < s.vaddr + max(s.vsize, s.raw_size):
                if rva - s.vaddr < s.raw_size:
                    return s.offset + rva - s.vaddr
                break  # in memory only, zero-filled by the loader
        else:
            if 0 <= rva < self.headers_size:
                return rva
        raise PEError(f"{what} at address {rva:#x} lies in no section's bytes")

    def imported_dlls(self):
        """The names of the DLLs the loader loads for this program: its import table, then its
        delayed imports, in table order."""
        names = []
        rva, size = self._directory(IMPORT_DIRECTORY)
        if rva and size:
            at = self.offset_of(rva, "the import table")
            for i in range(1 << 16):
                _, _, _, name, thunks = _unpack(self.data, "<5I", at + 20 * i, "the import table")
                # The loader stops at the first entry without a name or an address table.
                if not name or not thunks:
                    break
                names.append(self._name(name, f"import entry {i}"))
        rva, size = self._directory(DELAY_IMPORT_DIRECTORY)
        if rva and size:
            at = self.offset_of(rva, "the delayed import table")
            for i in range(1 << 16):
                attributes, name = _unpack(self.data, "<2I", at + 32 * i, "the delayed import table")
                if not name:
                    break
                if not attributes & 1:  # the old layout holds addresses, not offsets in the image
                    name -= self.image_base
                names.append(self._name(name, f"delayed import entry {i}"))
        return names

    def _directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def _name(self, rva, what):
        at = self.offset_of(rva, f"the DLL name of {what}")
        end = self.data.find(b"\0", at, at + MAX_NAME)
        if end < 0:
            if at + MAX_NAME > len(self.data):
                raise PEError(f"truncated: the DLL name of {what} runs past the end of the file")
            raise PEError(f"the DLL name of {what} is not terminated")
        return self.data[at:end].decode("latin-1")


def _unpack(data, fmt, offset, what):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise PEError(f"truncated: {what} at offset {offset:#x} runs past the end of the file "
                      f"({len(data)} bytes)")
    return struct.unpack_from(fmt, data, offset)


def parse(data):
    """Reads the headers of a PE file from its bytes. Raises PEError."""
    data = bytes(data)
    if data[:2] != b"MZ":
        raise PEError("not a PE program (no MZ header)")
    (pe,) = _unpack(data, "<I", 0x3C, "the DOS header")
    if _unpack(data, "<4s", pe, "the PE signature")[0] != b"PE\0\0":
        raise PEError("not a PE program (no PE signature)")
    machine, count, _, _, _, optional_size, characteristics = _unpack(
        data, "<HHIIIHH", pe + 4, "the COFF header")
    optional = pe + 24
    (magic,) = _unpack(data, "<H", optional, "the optional header")
    if magic not in KINDS:
        raise PEError(f"not a PE program (optional header magic {magic:#x})")
    wide = magic == PE32_PLUS
    fixed = 112 if wide else 96  # the optional header up to its data directories
    if optional_size < fixed:
        raise PEError(f"the optional header is {optional_size} bytes, too short for {KINDS[magic]}")
    _unpack(data, f"{optional_size}s", optional, "the optional header")
    if wide:
        (image_base,) = _unpack(data, "<Q", optional + 24, "the optional header")
    else:
        (image_base,) = _unpack(data, "<I", optional + 28, "the optional header")
    (headers_size,) = _unpack(data, "<I", optional + 60, "the optional header")
    (subsystem,) = _unpack(data, "<H", optional + 68, "the optional header")
    (directory_count,) = _unpack(data, "<I", optional + fixed - 4, "the optional header")
    directory_count = min(directory_count, (optional_size - fixed) // 8)
    directories = [_unpack(data, "<II", optional + fixed + 8 * i, "the data directories")
                   for i in range(directory_count)]
    table = optional + optional_size
    sections = []
    for i in range(count):
        raw = _unpack(data, "<8sIIII16x", table + 40 * i, "the section table")
        name = raw[0].rstrip(b"\0").decode("ascii", "replace")
        sections.append(Section(name, raw[2], raw[1], raw[4], raw[3]))
    return PEFile(data, machine, characteristics, magic, image_base, subsystem, directories,
                  sections, headers_size)


def read(path):
    """parse() of a file's bytes. Raises PEError, or OSError when the file cannot be read."""
    with open(path, "rb") as f:
        return parse(f.read())
