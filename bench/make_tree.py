#!/usr/bin/env python3
# Writes a reproducible disc-like tree of random files for the benchmarks.
"""Usage: make_tree.py cd <dir>      one 400 MB file, twenty of 10 MB, 2,000 of 50 KB,
                                     5,000 of 1 KB and five empty ones, 3-4 folder levels
          make_tree.py many <dir> N  N small files (0-512 bytes) in folders of about 1,000
          make_tree.py small <dir>   the cd shape scaled down about 50 times (for profiling)

The same arguments always give the same names, sizes and bytes: the generator is seeded."""

import os
import random
import sys

SEED = 7026
MB = 1000 * 1000
KB = 1000


def folders(rng, levels):
    """Nested folder paths, 3 to `levels` deep, with a few names a real disc would hold."""
    out = [""]
    tops = ["DATA", "MOVIE", "AUDIO", "写真", "Program Files", ".hidden"]
    for top in tops:
        out.append(top)
        for i in range(rng.randint(2, 4)):
            mid = f"{top}/SUB{i:02d}"
            out.append(mid)
            for j in range(rng.randint(1, 3)):
                low = f"{mid}/LEVEL{j}"
                out.append(low)
                if levels >= 4 and rng.random() < 0.5:
                    out.append(f"{low}/DEEP")
    return out


def write_random(path, size, rng):
    with open(path, "wb") as f:
        left = size
        while left > 0:
            n = min(left, 4 * 1024 * 1024)
            f.write(rng.randbytes(n))
            left -= n


def make(root, plan, levels=4):
    """plan: list of (count, size, prefix, extension)."""
    rng = random.Random(SEED)
    dirs = folders(rng, levels)
    for d in dirs:
        os.makedirs(os.path.join(root, d), exist_ok=True)
    serial = 0
    for count, size, prefix, ext in plan:
        for _ in range(count):
            d = rng.choice(dirs)
            name = f"{prefix}{serial:05d}{ext}"
            if serial % 97 == 0:
                name = f"{prefix} {serial:05d} ファイル{ext}"
            serial += 1
            write_random(os.path.join(root, d, name), size, rng)


def make_many(root, count):
    """Small files only: the cost that shows is per file, not per byte."""
    rng = random.Random(SEED)
    per_folder = 1000
    for i in range(count):
        if i % per_folder == 0:
            d = os.path.join(root, f"D{i // 10000:02d}", f"S{(i // per_folder) % 10:02d}", "F")
            os.makedirs(d, exist_ok=True)
        with open(os.path.join(d, f"FILE{i:06d}.DAT"), "wb") as f:
            f.write(rng.randbytes(rng.randint(0, 512)))


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    kind, root = argv[1], argv[2]
    os.makedirs(root, exist_ok=True)
    if kind == "cd":
        make(root, [(1, 400 * MB, "BIG", ".ISO"), (20, 10 * MB, "MID", ".MPG"),
                    (2000, 50 * KB, "IMG", ".JPG"), (5000, 1 * KB, "TXT", ".TXT"),
                    (5, 0, "EMPTY", ".DAT")])
    elif kind == "small":
        make(root, [(1, 8 * MB, "BIG", ".ISO"), (4, 4 * MB, "MID", ".MPG"),
                    (200, 50 * KB, "IMG", ".JPG"), (500, 1 * KB, "TXT", ".TXT"),
                    (3, 0, "EMPTY", ".DAT")])
    elif kind == "many":
        make_many(root, int(argv[3]) if len(argv) > 3 else 100000)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
