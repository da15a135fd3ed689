#!/usr/bin/env python3
"""What each Windows program's bytes are made of, from the link map that
the build writes beside it (<program>.exe.map): our code, the C++ runtime,
the threads layer, the MinGW C runtime, unwind tables (ours and the
runtimes'), import tables,
relocations, resources, and the file's headers and alignment.  Sizes in kB
of 1000 bytes, as the file is shipped (stripped).

    size_breakdown.py <label>=<build folder> ...

Each build folder is a Windows build's own (build/windows, say); its
programs are set side by side, build by build."""
import collections
import os
import re
import sys

PROGRAMS = [("Vistel.exe", "display"), ("Tovakin.exe", "converter"), ("SorbelStandIn.exe", "tools")]
ROWS = ["our code", "C++ runtime", "threads layer", "MinGW C runtime", "unwind tables, ours",
        "unwind tables, runtimes",
        "imports", "relocations", "resources", "headers, alignment"]


def origin_kind(origin):
    name = os.path.basename(origin)
    if re.search(r"libstdc\+\+|libsupc\+\+|libgcc", name):
        return "C++ runtime"
    if re.search(r"libpthread|libwinpthread", name):
        return "threads layer"
    if re.search(r"libmingw|libmsvcrt|libmoldname|crt2|crtbegin|crtend", name):
        return "MinGW C runtime"
    if re.match(r"lib(kernel32|user32|gdi32|shell32|ole32|oleaut32|comdlg32|comctl32|advapi32|winspool|uuid|psapi)\.a",
                name):
        return "imports"
    return "our code"


def breakdown(map_path, exe_path):
    """Bytes by row for one program."""
    text = open(map_path, errors="replace").read().split("\n")
    start = next(i for i, line in enumerate(text) if line.startswith("Linker script and memory map"))
    rows = collections.Counter()
    output = None
    entry = re.compile(r"^ (?:\S+)?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$")
    for line in text[start:]:
        head = re.match(r"^(\.\S+)", line)
        if head:
            output = head.group(1)
            continue
        found = entry.match(line)
        if not found or output is None:
            continue
        size, origin = int(found.group(1), 16), found.group(2).strip()
        if size == 0 or origin.startswith("*") or output.startswith(".debug") or output == ".bss":
            continue
        if output in (".eh_frame", ".pdata", ".xdata"):  # DWARF (32-bit), SEH (64-bit)
            ours = origin_kind(origin) == "our code"
            rows["unwind tables, ours" if ours else "unwind tables, runtimes"] += size
        elif output == ".idata":
            rows["imports"] += size
        elif output == ".reloc":
            rows["relocations"] += size
        elif output == ".rsrc":
            rows["resources"] += size
        else:
            rows[origin_kind(origin)] += size
    total = os.path.getsize(exe_path)
    rows["headers, alignment"] = total - sum(rows.values())
    return total, rows


def main():
    builds = [argument.split("=", 1) for argument in sys.argv[1:]]
    if not builds or any(len(build) != 2 for build in builds):
        sys.exit(__doc__)
    width = max(10, max(len(label) for label, _ in builds) + 2)
    print("%-26s" % "kB" + "".join("%*s" % (width, label) for label, _ in builds))
    for program, folder in PROGRAMS:
        columns = [breakdown(os.path.join(build, folder, program) + ".map", os.path.join(build, folder, program))
                   for _, build in builds]
        print("%-26s" % program + "".join("%*.1f" % (width, total / 1000) for total, _ in columns))
        for row in ROWS:
            print("%-26s" % ("  " + row) + "".join("%*.1f" % (width, rows[row] / 1000) for _, rows in columns))


if __name__ == "__main__":
    main()
