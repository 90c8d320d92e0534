"""Reading the GNU ld map that qor_add_setup() writes beside each setup program: which archive
member each input came from, why each member was linked, and the bytes of each output section by
origin. Shared by size-report and link-audit."""

import os
import re
from collections import defaultdict


class MapError(Exception):
    pass


def split_member(path):
    """'dir/libx.a(y.o)' -> ('dir/libx.a', 'y.o'); a plain object file -> (path, '')."""
    m = re.match(r"^(.*)\(([^()]*)\)$", path)
    return (m.group(1), m.group(2)) if m else (path, "")


def is_toolchain(path):
    """Inputs of the compiler's and the system's libraries have absolute paths; ours are relative
    to the build directory."""
    return path.startswith("/")


def origin_of(path):
    """The group an input file of the link belongs to."""
    if path is None:
        return "linker (relocations, fill)"
    path, member = split_member(path)
    base = os.path.basename(path)
    if not is_toolchain(path):
        parts = path.split("/")
        return "/".join(parts[:2]) if len(parts) > 2 else parts[0]
    if base == "libz.a":
        return "zlib"
    if base in ("libstdc++.a", "libsupc++.a"):
        return "libstdc++"
    if base in ("libgcc.a", "libgcc_eh.a", "crtbegin.o", "crtend.o"):
        return "libgcc/unwinder"
    if base in ("libpthread.a", "libwinpthread.a"):
        return "winpthread"
    if IMPORT_MEMBER.match(member):
        return "imports (system DLLs)"
    return "C runtime (mingw-w64)"


# System DLLs' import libraries: their members are import thunks and table entries.
IMPORT_MEMBER = re.compile(r"^lib\w+?(?:s\d+|_defs\d+|h|t|_defh|_deft)\.o$")


def read_members(text):
    """Returns [(member, referrer, symbol)] from the map's list of archive members, in its order:
    member is 'path/libx.a(y.o)', referrer the input whose reference to symbol pulled it in."""
    start = text.find("Archive member included to satisfy reference by file (symbol)")
    if start < 0:
        if "\nLinker script and memory map" in text:
            return []  # nothing was taken from an archive
        raise MapError("not a GNU ld map (no memory map)")
    found = []
    member = None
    for line in text[start:].splitlines()[1:]:
        if not line.strip():
            if found or member:
                break
            continue
        if not line.startswith(" "):
            member, _, rest = line.partition(" ")
            line = rest
            if not line.strip():
                continue
        if member is None:
            raise MapError(f"not a list of archive members: {line.strip()}")
        referrer, sep, symbol = line.strip().partition(" (")
        if not sep or not symbol.endswith(")"):
            raise MapError(f"not 'FILE (SYMBOL)': {line.strip()}")
        found.append((member, referrer, symbol[:-1]))
        member = None
    return found


def read_sections(text):
    """Returns {output section: (address, size, {origin: bytes})} from a GNU ld map."""
    start = text.find("\nLinker script and memory map")
    if start < 0:
        raise MapError("not a GNU ld map (no memory map)")
    sections = {}
    current = None
    pending = None  # an input section name whose address and size are on the next line
    for line in text[start:].splitlines():
        m = re.match(r"^(\.\S+|/DISCARD/)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)", line)
        if m:
            current = (int(m.group(2), 16), int(m.group(3), 16), defaultdict(int))
            sections[m.group(1)] = current
            pending = None
            continue
        if re.match(r"^\S", line):  # an output section without contents, or LOAD lines
            current = None
            continue
        if current is None:
            continue
        m = re.match(r"^ (\S+)$", line)
        if m and not line.startswith(" *"):
            pending = m.group(1)
            continue
        m = re.match(r"^ (\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        if m and (m.group(1) or pending):
            name = m.group(1) or pending
            pending = None
            size = int(m.group(3), 16)
            source = m.group(4).strip()
            if name == "*fill*":
                current[2][origin_of(None)] += size
            elif not source.startswith(("LONG ", "SHORT ", "BYTE ", "QUAD ")):
                current[2][origin_of(None if source == "dll stuff" else source)] += size
            continue
        m = re.match(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(LONG|SHORT|BYTE|QUAD) ", line)
        if m:
            current[2][origin_of(None)] += int(m.group(2), 16)
        pending = None
    return sections
