#!/usr/bin/env python3
"""Checks that no function of the 32-bit programs counts on its caller for a
16-byte aligned stack.

Windows keeps a 32-bit program's stack aligned to 4 bytes only, and calls
into the program (its entry point, window procedures, console handlers,
thread starts) on such a stack.  SSE2 instructions with a 16-byte memory
operand fault when it is not aligned to 16 (all but the few made for
unaligned data).  The build aligns the stack in every function that keeps
such values on it (-mstackrealign); this check reads the compiled objects
and fails on any function that uses one of those instructions on its stack
frame without having aligned the stack itself.

    stack_alignment.py <objdump> <object or library>...
"""
import re
import subprocess
import sys

# Packed SSE/SSE2 instructions that take a 16-byte memory operand without
# requiring it to be aligned, or whose memory operand is smaller.
UNALIGNED_OK = {
    "movups", "movupd", "movdqu", "lddqu", "maskmovdqu",
    "movlps", "movhps", "movlpd", "movhpd", "movq", "movd",
    "pextrw", "pinsrw", "pmovmskb", "movmskps", "movmskpd",
}
FUNCTION = re.compile(r"^[0-9a-f]+ <(?P<name>[^>]+)>:$")
STACK_OPERAND = re.compile(r"\(%e[sb]p[,)]")
REALIGN = re.compile(r"^and[l]?\s+\$0xfffffff0,%esp")


def needs_alignment(mnemonic, operands):
    if "%xmm" not in operands or not STACK_OPERAND.search(operands):
        return False
    if mnemonic in UNALIGNED_OK or mnemonic.startswith("cvt") or mnemonic.endswith(("ss", "sd")):
        return False
    return mnemonic.startswith("p") or mnemonic.endswith(("ps", "pd")) or mnemonic in ("movdqa",)


def check(objdump, path):
    listing = subprocess.run([objdump, "-d", "--no-show-raw-insn", path], check=True,
                             capture_output=True, text=True).stdout
    faults = []
    name, aligned = None, False
    for line in listing.splitlines():
        match = FUNCTION.match(line)
        if match:
            name, aligned = match.group("name"), False
            continue
        parts = line.split("\t")
        if name is None or len(parts) < 2 or not parts[0].strip().endswith(":"):
            continue
        text = "\t".join(parts[1:]).strip()
        mnemonic, _, operands = text.partition(" ")
        if REALIGN.match(text):
            aligned = True
        elif not aligned and needs_alignment(mnemonic, operands.strip()):
            faults.append(f"{path}: {name}: {text}")
    return faults


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    faults = [fault for path in sys.argv[2:] for fault in check(sys.argv[1], path)]
    for fault in faults:
        print("stack alignment: counts on its caller's alignment:", fault, file=sys.stderr)
    if faults:
        sys.exit(1)
    print(f"stack alignment: no function of {len(sys.argv) - 2} objects counts on its caller's alignment")


if __name__ == "__main__":
    main()
