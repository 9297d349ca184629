#!/usr/bin/python3
"""Ligand pairs for pairing without names: records of SDF files converted to MOL2 by Open Babel
(obabel), each with a copy rotated, translated, shaken and with its atoms shuffled.

    make_ligand_pairs.py OUT_DIR COUNT SEED SDF[:RECORD,...] ...

Each SDF argument names a file and optionally the records to take (1-based); without them every
record is taken, in order, until COUNT pairs are made. A record without 3-D coordinates is given
them by obabel --gen3d. Pair k is written as OUT_DIR/lig_KKK.mol2 (obabel's output, unchanged:
every atom named by its element) and OUT_DIR/lig_KKK_moved.mol2: the same atoms in a random
order, renumbered (bonds follow them), turned by a random rotation, shifted by up to 20 A along
each axis and given Gaussian noise of 0.03 A root mean square per atom. Prints one line per pair:
its files, the source record and its heavy-atom count.
"""
import math
import os
import random
import subprocess
import sys

NOISE_RMS = 0.03  # A per atom: sigma of NOISE_RMS / sqrt(3) along each axis
SHIFT = 20.0


def sdf_records(path):
    with open(path) as f:
        text = f.read()
    return [r.rstrip("\n") + "\n$$$$\n" for r in text.split("$$$$\n") if r.strip()]


def is_3d(record):
    lines = record.split("\n")
    counts = lines[3]
    atoms = int(counts[0:3])
    return any(abs(float(line[20:30])) > 1e-4 for line in lines[4:4 + atoms])


def to_mol2(record):
    command = ["obabel", "-isdf", "-omol2"] + ([] if is_3d(record) else ["--gen3d"])
    done = subprocess.run(command, input=record, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          universal_newlines=True, check=True)
    return done.stdout


def random_rotation(rng):
    """A uniformly random rotation matrix, from a random unit quaternion."""
    q = [rng.gauss(0, 1) for _ in range(4)]
    n = math.sqrt(sum(c * c for c in q))
    w, x, y, z = (c / n for c in q)
    return [[1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)],
            [2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)],
            [2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)]]


def sections(mol2):
    """The text as (header, lines) sections: the part before the first @<TRIPOS> line has the
    header None."""
    out = [(None, [])]
    for line in mol2.split("\n"):
        if line.startswith("@<TRIPOS>"):
            out.append((line, []))
        else:
            out[-1][1].append(line)
    return out


def moved_copy(mol2, rng):
    """The MOL2 text with its atoms shuffled, renumbered, moved and shaken."""
    parts = sections(mol2)
    body = dict(parts)
    atoms = [line.split() for line in body["@<TRIPOS>ATOM"] if line.strip()]
    order = list(range(len(atoms)))
    rng.shuffle(order)
    new_number = {int(atoms[old][0]): k + 1 for k, old in enumerate(order)}
    rotation = random_rotation(rng)
    shift = [rng.uniform(-SHIFT, SHIFT) for _ in range(3)]
    sigma = NOISE_RMS / math.sqrt(3)
    out = []
    for header, lines in parts:
        if header is not None:
            out.append(header)
        if header == "@<TRIPOS>ATOM":
            for k, old in enumerate(order):
                fields = atoms[old]
                p = [float(v) for v in fields[2:5]]
                q = [sum(rotation[r][c] * p[c] for c in range(3)) + shift[r] +
                     rng.gauss(0, sigma) for r in range(3)]
                out.append("%7d %-4s %14.4f %9.4f %9.4f %-5s %s" % (
                    k + 1, fields[1], q[0], q[1], q[2], fields[5], " ".join(fields[6:])))
        elif header == "@<TRIPOS>BOND":
            bonds = [line.split() for line in lines if line.strip()]
            out += ["%6d %5d %5d %s" % (i + 1, new_number[int(b[1])], new_number[int(b[2])],
                                        " ".join(b[3:])) for i, b in enumerate(bonds)]
        elif header == "@<TRIPOS>UNITY_ATOM_ATTR":
            # Records "atom count", then count lines of attributes.
            i = 0
            while i < len(lines):
                fields = lines[i].split()
                if len(fields) == 2:
                    out.append("%d %s" % (new_number[int(fields[0])], fields[1]))
                    out += lines[i + 1:i + 1 + int(fields[1])]
                    i += 1 + int(fields[1])
                else:
                    out.append(lines[i])
                    i += 1
        else:
            out += lines
    return "\n".join(out).rstrip("\n") + "\n"


def heavy_atoms(mol2):
    atoms = dict(sections(mol2))["@<TRIPOS>ATOM"]
    return sum(1 for line in atoms if line.split() and line.split()[5] != "H")


def main():
    out, count, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rng = random.Random(seed)
    os.makedirs(out, exist_ok=True)
    made = 0
    for argument in sys.argv[4:]:
        path, _, wanted = argument.partition(":")
        records = sdf_records(path)
        picks = [int(w) for w in wanted.split(",")] if wanted else range(1, len(records) + 1)
        for number in picks:
            if made == count:
                break
            mol2 = to_mol2(records[number - 1])
            made += 1
            name = os.path.join(out, "lig_%03d" % made)
            with open(name + ".mol2", "w") as f:
                f.write(mol2)
            with open(name + "_moved.mol2", "w") as f:
                f.write(moved_copy(mol2, rng))
            print("%s.mol2 %s_moved.mol2 %s:%d %d heavy atoms" % (name, name, path, number,
                                                                  heavy_atoms(mol2)))
    if made < count:
        sys.exit("only %d records for %d pairs" % (made, count))


if __name__ == "__main__":
    main()
