#!/usr/bin/env python3
"""Writes the section order of the verifier's lean link from callgrind profiles.

usage: section-order.py LINK_MAP EXECUTABLE PROFILE... > src/verifier/section-order.txt

LINK_MAP is the map file the linker wrote for EXECUTABLE; each PROFILE is a
callgrind output of one run of EXECUTABLE made with --dump-instr=yes
--compress-pos=no --compress-strings=no, given in order of importance. Every
input section that holds an executed instruction of EXECUTABLE is written, one
name a line: those of the first run by name, then those that the second run
adds, and so on, and last a pattern that puts every other code section after
them. A run's code then lies together with the code of the runs before it, and
not among the code of the runs after it.
"""
import bisect
import os
import re
import sys

# Names that many objects share: naming one would move them all.
SHARED_NAMES = {".text", ".init", ".fini", ".text.unlikely", ".text.startup", ".text.hot", ".text.exit"}

HEADER = """\
# The input sections that hold the code run at start-up and in the common modes
# (verify, verify-motion-platform-plugin, --list, --mode=set, an argument
# error), in the order the Linux lean build links them (gold's
# --section-ordering-file). Made by scripts/section-order.sh: do not edit.
# A name that no section has is ignored, and so is this comment.
"""

# Without this pattern gold places the named sections after all others, and
# the C runtime's start-up code (sections named ".text", linked first) sits
# alone in a block of its own; with it every other code section follows them.
TAIL = """\
# Every other code section follows those named above.
.text.*
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
    return sorted(s for s in sections if s[0] > 0 and s[1] > 0)


def executed_sections(profile_path, executable, sections, starts):
    """Names of the sections that hold an instruction the profile counted in the executable."""
    names = set()
    ours = False
    for line in open(profile_path, encoding="utf-8", errors="replace"):
        if line.startswith("ob="):
            ours = os.path.realpath(line[3:].strip()) == executable
        elif ours and line.startswith("0x"):
            address = int(line.split()[0], 16)
            index = bisect.bisect_right(starts, address) - 1
            if index >= 0 and address < sections[index][0] + sections[index][1]:
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
    executable = os.path.realpath(argv[2])
    runs = [executed_sections(path, executable, sections, starts) for path in argv[3:]]
    for path, names in zip(argv[3:], runs):
        if not names:
            sys.stderr.write(f"{path}: no instruction of {executable} was counted\n")
            return 1
    written = set()
    sys.stdout.write(HEADER)
    for names in runs:
        for name in sorted(names - written):
            if name not in SHARED_NAMES and not any(c in name for c in "*?["):
                sys.stdout.write(name + "\n")
        written |= names
    sys.stdout.write(TAIL)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
