#!/usr/bin/env python3
"""Writes the section order of the verifier's lean link from traces of its runs.

usage: section-order.py LINK_MAP EXECUTABLE TRACE... > src/verifier/section-order.txt

LINK_MAP is the map file the linker wrote for EXECUTABLE; each TRACE is the
output of valgrind --tool=lackey --trace-mem=yes for one run of EXECUTABLE,
given in order of importance. Every code section that held an executed
instruction, and every read-only data section that was read, is written, one
name a line: the code sections of the first run by name, then those that the
second run adds, and so on, then the data sections the same way, and last the
patterns that put every other section after them. A run's code and data then
lie together with those of the runs before it, and not among those of the runs
after it.
"""
import bisect
import re
import subprocess
import sys

# Names that many objects share (naming one would move them all), and the
# merged strings and constants, which the linker lays out itself.
SHARED_NAME = re.compile(r"^\.(text|init|fini|rodata)$|^\.text\.(unlikely|startup|hot|exit)$|"
                         r"^\.rodata\.(cst\d+|str\d+\.\d+)$")
KINDS = (".text", ".rodata")

HEADER = """\
# The input sections that hold the code run, and the read-only data read, at
# start-up and in the common modes (verify, verify-motion-platform-plugin,
# --list, --mode=set, an argument error), in the order the Linux lean build
# links them (gold's --section-ordering-file). Made by scripts/section-order.sh:
# do not edit. A name that no section has is ignored, and so is this comment.
"""

# Without these patterns gold places the named sections after all others, and
# the C runtime's start-up code (sections named ".text", linked first) sits
# alone in a block of its own; with them every other section follows them.
TAIL = """\
# Every other code and read-only data section follows those named above.
.text.*
.rodata.*
"""


def read_sections(map_path):
    """(address, size, name) of every input section in a GNU ld or gold map."""
    sections = []
    pending = None
    for line in open(map_path, encoding="utf-8", errors="replace"):
        if pending is not None:
            match = re.match(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s", line)
            if match:
                sections.append((int(match[1], 16), int(match[2], 16), pending))
            pending = None
            continue
        match = re.match(r"^ (\.\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s", line)
        if match:
            sections.append((int(match[2], 16), int(match[3], 16), match[1]))
            continue
        match = re.match(r"^ (\.\S+)$", line.rstrip("\n"))
        if match:
            pending = match[1]
    return sorted(s for s in sections if s[0] > 0 and s[1] > 0 and s[2].startswith(KINDS))


def symbol_address(executable, symbol):
    listing = subprocess.run(["nm", "-P", executable], check=True, capture_output=True, text=True).stdout
    for line in listing.splitlines():
        fields = line.split()
        if len(fields) >= 3 and fields[0] == symbol:
            return int(fields[2], 16)
    raise SystemExit(f"{executable} has no symbol {symbol}")


def read_trace(trace_path):
    """The instruction addresses and the data addresses of a lackey trace."""
    instructions, data = set(), set()
    for line in open(trace_path, encoding="utf-8", errors="replace"):
        if line.startswith("I  "):
            instructions.add(int(line[3:line.index(",")], 16))
        elif line[:3] in (" L ", " M ", " S "):
            data.add(int(line[3:line.index(",")], 16))
    return instructions, data


def load_address(instructions, entry_addresses):
    """Where valgrind loaded the executable: the one page-aligned offset at which all the entries ran."""
    candidates = None
    for entry in entry_addresses:
        offsets = {a - entry for a in instructions if a >= entry and (a - entry) % 4096 == 0}
        candidates = offsets if candidates is None else candidates & offsets
    if len(candidates) != 1:
        raise SystemExit(f"cannot tell where the executable was loaded ({len(candidates)} candidates)")
    return candidates.pop()


def used_sections(trace_path, sections, starts, entry_addresses):
    """Names of the code sections executed and the read-only data sections read in one trace."""
    instructions, data = read_trace(trace_path)
    base = load_address(instructions, entry_addresses)
    names = set()
    for addresses, kind in ((instructions, ".text"), (data, ".rodata")):
        for address in addresses:
            index = bisect.bisect_right(starts, address - base) - 1
            if index >= 0 and address - base < sections[index][0] + sections[index][1]:
                if sections[index][2].startswith(kind):
                    names.add(sections[index][2])
    return names


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    sections = read_sections(argv[1])
    if not sections:
        sys.stderr.write(f"{argv[1]}: no input sections found\n")
        return 1
    starts = [s[0] for s in sections]
    # Functions every run executes, in the C runtime's start and exit and in main.
    entry_addresses = [symbol_address(argv[2], name) for name in ("_start", "_init", "frame_dummy", "main", "_fini")]
    runs = [used_sections(path, sections, starts, entry_addresses) for path in argv[3:]]
    sys.stdout.write(HEADER)
    for kind in KINDS:
        written = set()
        for names in runs:
            for name in sorted(n for n in names - written if n.startswith(kind + ".")):
                if not SHARED_NAME.match(name) and not any(c in name for c in "*?["):
                    sys.stdout.write(name + "\n")
            written |= names
    sys.stdout.write(TAIL)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
