#!/usr/bin/env python3
"""The arithmetic of bench/real_disk.sh: files, damage and figures.

  real_disk.py files FOLDER LAYOUT COUNT MIB   writes the layout's files of seeded bytes
  real_disk.py damage FOLDER MOUNTED SECTOR LAYOUT
                                               prints the bad ranges of the image (START LENGTH
                                               per line) and writes FOLDER/../damage.json
  real_disk.py failures DAMAGE TRACE [SKIP]     lists every failed device read in order: how many
                                               failed so far, the share of readable bytes in then,
                                               the file, the offset in it and the sectors asked
                                               for; then the failed reads before 99% per file
  real_disk.py figures DAMAGE TRACE COPIES ORIGINALS
                                               prints: failed device reads, failed device
                                               reads before 99% of the readable bytes were in
                                               (over the run, then summed per file), readable
                                               bytes lost

The damage is laid in file offsets, so that each pattern hits the file it is
meant for, and placed on the device through the file's extents (filefrag -e
on the mounted image). "Readable" bytes are those of the files' sectors that
hold no bad byte; the trace (damaged_fs --trace) lists every device request
in order, with its image offset, length and whether it was served.

Layouts (LAYOUT in real_disk.sh):
  bench  COUNT files of MIB MiB: a scratch, single bad sectors, islands inside
         long bad bands, a mixed area, one healthy, in turn
  mixed  one 16 MiB file with a 6 MiB bad band holding islands of 1 to 4
         readable sectors; 8 files of 2 MiB with 5 single bad sectors each; a
         bad band across the end of one file and the start of the next; a file
         whose only bad sector is its first, one whose only bad sector is its last
  many   300 files of 256 KiB to 4 MiB, every third damaged (single sectors,
         a short band, its first and last sector, a short band with islands)
"""
import json
import os
import random
import re
import sys

KIB = 1024
MIB = 1024 * KIB


def write_files(folder, layout, count, mib):
    os.makedirs(folder, exist_ok=True)
    for k, (name, size, _) in enumerate(plan(layout, count, mib)):
        generator = random.Random(1000 + k)
        with open(os.path.join(folder, name), "wb") as out:
            for at in range(0, size, MIB):
                out.write(generator.randbytes(min(MIB, size - at)))


def damage_of(index, size, sector):
    """Bad sectors (file offsets, sector-aligned) of file `index`: a scratch,
    single bad sectors, islands inside long bad bands, a mixed area, none."""
    bad = set()
    kind = index % 5
    if kind == 0:  # a scratch: every 84 KiB a band of 12 bad sectors
        span = min(3 * MIB, size // 3)
        for at in range(size // 6 // sector * sector, size // 6 + span, 84 * KIB):
            for k in range(12):
                bad.add(at + k * sector)
    elif kind == 1:  # single bad sectors
        generator = random.Random(7)
        for _ in range(max(8, size // (256 * KIB))):
            bad.add(generator.randrange(size // sector) * sector)
    elif kind == 2:  # long bad bands with islands of one to three readable sectors
        band = min(MIB, size // 6)
        for start in (size // 5, size // 2):
            start = start // sector * sector
            for at in range(start, start + band, sector):
                bad.add(at)
            for k, island in enumerate((1, 2, 3, 1)):
                at = start + (k + 1) * band // 5 // sector * sector
                for s in range(island):
                    bad.discard(at + s * sector)
    elif kind == 3:  # mixed: a solid area, single sectors, a scratch that alternates bad and good sectors
        start = size // 4 // sector * sector
        for at in range(start, start + min(256 * KIB, size // 8), sector):
            bad.add(at)
        for k in range(6):
            bad.add((size // 2 + k * 97 * KIB) // sector * sector)
        at = 3 * size // 4 // sector * sector
        for k in range(12):
            bad.add(at + 2 * k * sector)
    return sorted(b for b in bad if b + sector <= size)


def islands_band(start, length, sector, seed):
    """A bad band over [start, start + length) holding readable islands of 1
    to 4 sectors, 16 to 96 KiB apart."""
    generator = random.Random(seed)
    bad = set(range(start, start + length, sector))
    at = start + generator.randrange(16, 96) * KIB // sector * sector
    while at < start + length:
        for s in range(generator.randint(1, 4)):
            bad.discard(at + s * sector)
        at += generator.randrange(16, 96) * KIB // sector * sector
    return bad


def single_sectors(size, count, sector, seed):
    generator = random.Random(seed)
    return {generator.randrange(size // sector) * sector for _ in range(count)}


def light_damage(index, size, sector):
    """Every third file of the many-files layout, in turn: 5 single bad
    sectors, a band of 12, its first and last sector, a 64 KiB band with islands."""
    if index % 3:
        return set()
    kind = index // 3 % 4
    if kind == 0:
        return single_sectors(size, 5, sector, index)
    if kind == 1:
        return set(range(size // 2 // sector * sector, size // 2 // sector * sector + 12 * sector, sector))
    if kind == 2:
        return {0, size // sector * sector - sector}
    return islands_band(size // 3 // sector * sector, 64 * KIB, sector, index)


def plan(layout, count, mib):
    """(name, size, damage) per file, in name order; damage(sector) gives the
    file's bad sectors as file offsets."""
    if layout == "bench":
        size = mib * MIB
        return [(f"f{k}.bin", size, lambda sector, k=k: damage_of(k, size, sector)) for k in range(count)]
    if layout == "mixed":
        files = [("m00.bin", 16 * MIB, lambda sector: islands_band(5 * MIB, 6 * MIB, sector, 11))]
        for k in range(1, 9):
            files.append((f"m{k:02}.bin", 2 * MIB, lambda sector, k=k: single_sectors(2 * MIB, 5, sector, 20 + k)))
        # One band across two neighbouring files: the last 192 KiB of one, the first 320 KiB of the next.
        files.append(("m09.bin", MIB, lambda sector: set(range(MIB - 192 * KIB, MIB, sector))))
        files.append(("m10.bin", MIB, lambda sector: set(range(0, 320 * KIB, sector))))
        files.append(("m11.bin", MIB, lambda sector: {0}))
        files.append(("m12.bin", MIB, lambda sector: {MIB - sector}))
        return files
    if layout == "many":
        generator = random.Random(300)
        files = []
        for k in range(300):
            size = generator.randrange(256 * KIB, 4 * MIB + 1) // (4 * KIB) * (4 * KIB)
            files.append((f"n{k:03}.bin", size, lambda sector, k=k, size=size: light_damage(k, size, sector)))
        return files
    sys.exit(f"unknown layout {layout}")


def extents(path):
    """(logical, physical, length) in bytes, from filefrag -e -v."""
    out = os.popen(f"filefrag -e -v '{path}'").read()
    block = int(re.search(r"blocks of (\d+) bytes", out).group(1))
    found = []
    for line in out.splitlines():
        m = re.match(r"\s*\d+:\s+(\d+)\.\.\s*(\d+):\s+(\d+)\.\.\s*(\d+):", line)
        if m:
            logical, last, physical = int(m.group(1)), int(m.group(2)), int(m.group(3))
            found.append((logical * block, physical * block, (last - logical + 1) * block))
    return found


def device_offset(file_extents, offset):
    for logical, physical, length in file_extents:
        if logical <= offset < logical + length:
            return physical + offset - logical
    raise ValueError(f"offset {offset} is in no extent")


def lay_damage(folder, mounted, sector, layout, count, mib):
    damage = {"sector": sector, "files": {}}
    ranges = []
    for name, size, damage_in in plan(layout, count, mib):
        file_extents = extents(os.path.join(mounted, name))
        bad = sorted(b for b in damage_in(sector) if b + sector <= size)
        damage["files"][name] = {
            "size": size,
            "bad": bad,
            # device offset of every sector of the file, for the figures
            "sectors": [device_offset(file_extents, at) for at in range(0, size, sector)],
        }
        ranges += [device_offset(file_extents, at) for at in bad]
    with open(os.path.join(os.path.dirname(os.path.abspath(folder)), "damage.json"), "w") as out:
        json.dump(damage, out)
    merged = []
    for at in sorted(ranges):
        if merged and merged[-1][0] + merged[-1][1] == at:
            merged[-1][1] += sector
        else:
            merged.append([at, sector])
    for start, length in merged:
        print(start, length)


def figures(damage_path, trace_path, copies, originals, skip="0"):
    with open(damage_path) as f:
        damage = json.load(f)
    sector = damage["sector"]
    readable = {}  # device sector -> still to come in
    lost = 0
    for name, info in damage["files"].items():
        bad = set(info["bad"])
        original = open(os.path.join(originals, name), "rb").read()
        copy_path = os.path.join(copies, name)
        copy = open(copy_path, "rb").read() if os.path.exists(copy_path) else b""
        for index, device in enumerate(info["sectors"]):
            at = index * sector
            if at in bad:
                continue
            readable[device // sector] = True
            want = original[at:at + sector]
            if copy[at:at + sector] != want:
                lost += len(want)
    # Per file as well: the failures a file's own sectors cost before 99% of
    # its readable bytes were in, summed over the files. This shows the order
    # of the work inside each file, whatever order the files are taken in.
    file_of = {}
    for name, info in damage["files"].items():
        for device in info["sectors"]:
            file_of[device // sector] = name
    file_total = {name: 0 for name in damage["files"]}
    for s in readable:
        file_total[file_of[s]] += 1
    file_arrived = dict.fromkeys(file_total, 0)
    file_failed = dict.fromkeys(file_total, 0)
    file_to_99 = {name: (0 if count == 0 else None) for name, count in file_total.items()}
    total = len(readable)
    arrived = 0
    failed = 0
    failed_to_99 = None
    with open(trace_path) as trace:
        # The requests of the mount itself (and of udev's probe) come first; the tool's after them.
        for line in list(trace)[int(skip):]:
            offset, length, served = (int(field) for field in line.split())
            if not served:
                failed += 1
                name = file_of.get(offset // sector)
                if name is not None:
                    file_failed[name] += 1
                continue
            for s in range(offset // sector, (offset + length) // sector):
                if readable.get(s):
                    readable[s] = False
                    arrived += 1
                    name = file_of[s]
                    file_arrived[name] += 1
                    if file_to_99[name] is None and file_arrived[name] * 100 >= file_total[name] * 99:
                        file_to_99[name] = file_failed[name]
            if failed_to_99 is None and arrived * 100 >= total * 99:
                failed_to_99 = failed
    per_file = "never" if None in file_to_99.values() else sum(file_to_99.values())
    damaged = sum(1 for info in damage["files"].values() if info["bad"])
    print(failed, failed_to_99 if failed_to_99 is not None else "never", per_file, lost, damaged)


def failures(damage_path, trace_path, skip="0"):
    """Where the failed reads go: each with the share of readable sectors in
    before it, and per file how many came before 99% of the run's were in."""
    with open(damage_path) as f:
        damage = json.load(f)
    sector = damage["sector"]
    place = {}  # device sector -> (file, offset in it)
    readable = set()
    for name, info in damage["files"].items():
        bad = set(info["bad"])
        for index, device in enumerate(info["sectors"]):
            place[device // sector] = (name, index * sector)
            if index * sector not in bad:
                readable.add(device // sector)
    total = len(readable)
    arrived = failed = 0
    before_99 = {}
    with open(trace_path) as trace:
        for line in list(trace)[int(skip):]:
            offset, length, served = (int(field) for field in line.split())
            if served:
                for s in range(offset // sector, (offset + length) // sector):
                    if s in readable:
                        readable.discard(s)
                        arrived += 1
                continue
            failed += 1
            name, at = place.get(offset // sector, ("-", -1))
            print(f"{failed} {arrived * 100 / total:.3f}% {name} {at} x{length // sector}")
            if arrived * 100 < total * 99:
                before_99[name] = before_99.get(name, 0) + 1
    for name in sorted(before_99):
        print(f"before 99%: {name} {before_99[name]}")


def pass_failures(strace_path, originals):
    """The failed reads of the pass, from strace -y of its pread64 calls on
    the sources: an error, or a count short of what was asked before the end
    of the file (the file layer takes that for a failure without asking again)."""
    call = re.compile(r'pread64\(\d+<([^>]*)>, .*, (\d+), (\d+)\) = (-?\d+)')
    count = 0
    with open(strace_path) as trace:
        for line in trace:
            found = call.search(line)
            if not found:
                continue
            path, asked, offset, got = found.group(1), int(found.group(2)), int(found.group(3)), int(found.group(4))
            original = os.path.join(originals, os.path.basename(path))
            if not os.path.exists(original):
                continue  # not a source: a copy, a map
            if got < 0 or (got < asked and offset + got < os.path.getsize(original)):
                count += 1
    print(count)


def main():
    command = sys.argv[1]
    if command == "files":
        write_files(sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]))
    elif command == "damage":
        lay_damage(sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5], int(sys.argv[6]), int(sys.argv[7]))
    elif command == "figures":
        figures(*sys.argv[2:7])
    elif command == "failures":
        failures(*sys.argv[2:5])
    elif command == "pass-failures":
        pass_failures(sys.argv[2], sys.argv[3])
    else:
        sys.exit(f"unknown command {command}")


if __name__ == "__main__":
    main()
