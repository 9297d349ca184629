#!/usr/bin/env python3
"""Benchmark inputs: a ~90,000-atom protein, its rigidly moved copy, a 5,000-atom protein and its
moved copy, the ligand pair, 1,000 small MOL2 files, a 50,000-atom protein with a moved copy
in which some atoms are displaced, 100 ligand pairs for pairing by element, a ~150,000-atom
protein as PDB and mmCIF (gemmi's conversion), each also gzip-compressed, real entries for
pairing by residue and by sequence: two entries of Aurora A kinase (5DPV, 5DT0) and a copy of
the second numbered differently, and a 4,937-atom entry (6C83) with a moved copy and a moved
copy numbered differently; 1,000 poses of a drug-like ligand in one SDF file with its
crystal pose; the geometry inputs of scenario K (hostile geometries, each at
two sizes): carbon atoms of one residue in one plane x = 0 on a square grid 1.5 A apart, at one
point, and on a cubic lattice 3 A apart, as PDB files; and as MOL2 files with their bonds given,
for ring perception: the square grid, the cubic lattice 1.5 A apart (six bonds to an atom) and
the point cluster with each atom bonded to the eight nearest in file order (i +- 1..4); for
pairing by bond graph (scenario M), 1,000 shuffled poses of a drug-like ligand as SDF and MOL2
and the symmetric stress cases of tests/interop/graphmatch.py (C60, a cyclodextrin, a long
alkane, ten CF3 groups), made with RDKit and Open Babel.

    make_inputs.py ROOT WORK [LETTERS]   (LETTERS: the scenarios to make inputs for; default all)

The large protein repeats the chains of example/comp_protein.pdb (4,334 atoms with hydrogens)
21 times on a grid 80 A apart, each copy with its own chain letter and atoms renumbered from 1.
The moved copies are rotated by 35 degrees about the axis (2, -1, 3) and then shifted by
(15, -30, 45) A.
"""
import gzip
import math
import os
import random
import shutil
import subprocess
import sys

COPIES = 21
GRID = 80.0
SMALL_FILES = 1000
SMALL_PROTEIN_ATOMS = 5000
ANGLE_DEG = 35.0
AXIS = (2.0, -1.0, 3.0)
SHIFT = (15.0, -30.0, 45.0)
HUGE_COPIES = 35  # 151,690 atoms: past 99,999, so atom numbers are written in hybrid-36
HUGE_CHAINS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
HY36_DIGITS = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"

# Scenario E: ten copies of the first 5,000 atoms of PDB entry 1TII (heavy atoms only) from
# Debian's pymol-data, on a grid; in the moved copy every DISPLACED_EVERY-th atom (from a seeded
# random start) is further displaced by DISPLACEMENT A in a random direction.
LARGE_SOURCE = "/usr/share/pymol/test/dat/1tii.pdb"
LARGE_COPIES = 10
LARGE_COPY_ATOMS = 5000
LARGE_GRID = 120.0
DISPLACED_EVERY = 1000
DISPLACEMENT = 3.0

# Scenario F: 100 ligands of Debian's rdkit-data, each with a moved, shuffled and shaken copy
# (scripts/make_ligand_pairs.py): every 5th record of bzr.sdf, every 2nd of cdk2.sdf, every
# 10th of egfr.sdf (3-D), and the 6 largest of the NCI set (2-D, given 3-D coordinates by
# obabel), up to 51 heavy atoms.
RDKIT = "/usr/share/RDKit"
LIGAND_SOURCES = [("Projects/DbCLI/testData/bzr.sdf", 5), ("Contrib/Fastcluster/testdata/cdk2.sdf", 2),
                  ("Contrib/PBF/testData/egfr.sdf", 10)]
LIGAND_LARGEST = ("Data/NCI/first_200.props.sdf", 6)
LIGAND_PAIRS = 100
LIGAND_SEED = 23

# Scenarios H and I: entries of Aurora A kinase, 5DPV (the tests' mmCIF file) and 5DT0 from
# rdkit-data, and 6C83 (4,937 atoms, chains A to D) from rdkit-data. "Numbered differently":
# residue numbers raised by RENUMBER_BY and chain letters moved by RENAME_BY letters.
ENTRY_5DPV = "tests/data/cif_5dpv_gemmi.cif.gz"
ENTRY_5DT0 = "/usr/share/RDKit/Contrib/CalcLigRMSD/data/5dt0.pdb"
ENTRY_6C83 = "/usr/share/RDKit/Contrib/CalcLigRMSD/data/6c83.pdb"
RENUMBER_BY = 1000
RENAME_BY = 15


def rotation(axis, degrees):
    """Rotation matrix (rows) about a unit vector through the origin."""
    n = math.sqrt(sum(a * a for a in axis))
    x, y, z = (a / n for a in axis)
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
    t = 1 - c
    return [
        [t * x * x + c, t * x * y - s * z, t * x * z + s * y],
        [t * x * y + s * z, t * y * y + c, t * y * z - s * x],
        [t * x * z - s * y, t * y * z + s * x, t * z * z + c],
    ]


def atom_records(path):
    with open(path) as f:
        return [line.rstrip("\n") for line in f if line.startswith(("ATOM  ", "HETATM"))]


def coords(line):
    return float(line[30:38]), float(line[38:46]), float(line[46:54])


def with_fields(line, serial, chain, xyz):
    return "%s%5d%s%s%s%8.3f%8.3f%8.3f%s" % (
        line[:6], serial, line[11:21], chain, line[22:30], xyz[0], xyz[1], xyz[2], line[54:])


def repeated_protein(records):
    """Chains A, B, ... each a copy of the records shifted on a 3 x 3 x 3 grid; atoms numbered
    from 1 across the whole protein. Returns the lines, TER records included."""
    lines = []
    serial = 0
    for copy in range(COPIES):
        chain = chr(ord("A") + copy)
        shift = (GRID * (copy % 3), GRID * (copy // 3 % 3), GRID * (copy // 9))
        for line in records:
            serial += 1
            x, y, z = coords(line)
            lines.append(with_fields(line, serial, chain, (x + shift[0], y + shift[1], z + shift[2])))
        lines.append("TER   %5d      %s %s" % (serial + 1, records[-1][17:20], chain))
        serial += 1  # TER takes a serial number, as in PDB files
    return lines


def hybrid36(number, width):
    """The number as programs write it past the decimal range of a field: "A0000" is 100000."""
    if number < 10 ** width:
        return "%*d" % (width, number)
    number += 10 * 36 ** (width - 1) - 10 ** width
    text = ""
    while number:
        text = HY36_DIGITS[number % 36] + text
        number //= 36
    return text


def huge_protein(records):
    """HUGE_COPIES copies of the records, each its own chain, on a grid 60 A apart."""
    lines, serial = [], 0
    for copy in range(HUGE_COPIES):
        for line in records:
            serial += 1
            x, y, z = coords(line)
            lines.append("%s%s%s%s%s%8.3f%8.3f%8.3f%s" % (
                line[:6], hybrid36(serial, 5), line[11:21], HUGE_CHAINS[copy], line[22:30],
                x + 60.0 * (copy % 6), y + 60.0 * (copy // 6), z, line[54:]))
    return lines


def moved(lines, matrix):
    out = []
    for line in lines:
        if line.startswith(("ATOM  ", "HETATM")):
            p = coords(line)
            q = [sum(matrix[r][k] * p[k] for k in range(3)) + SHIFT[r] for r in range(3)]
            line = "%s%8.3f%8.3f%8.3f%s" % (line[:30], q[0], q[1], q[2], line[54:])
        out.append(line)
    return out


def large_protein(records):
    """LARGE_COPIES copies of the records on a grid, atoms numbered from 1 across the protein and
    residue numbers offset by 1000 per copy, so that no two copies share a residue."""
    lines = []
    serial = 0
    for copy in range(LARGE_COPIES):
        shift = (LARGE_GRID * (copy % 3), LARGE_GRID * (copy // 3 % 3), LARGE_GRID * (copy // 9))
        for line in records:
            serial += 1
            x, y, z = coords(line)
            residue = int(line[22:26]) + 1000 * copy
            line = "%s%4d%s" % (line[:22], residue, line[26:])
            lines.append(with_fields(line, serial, line[21], (x + shift[0], y + shift[1],
                                                               z + shift[2])))
    return lines


def displaced(lines, rng):
    """The lines with every DISPLACED_EVERY-th atom moved by DISPLACEMENT in a random direction;
    returns them and the serial numbers moved."""
    out, moved_serials = [], []
    start = rng.randrange(DISPLACED_EVERY)
    for i, line in enumerate(lines):
        if i % DISPLACED_EVERY == start:
            while True:
                d = [rng.gauss(0, 1) for _ in range(3)]
                n = math.sqrt(sum(c * c for c in d))
                if n > 1e-3:
                    break
            x, y, z = coords(line)
            line = "%s%8.3f%8.3f%8.3f%s" % (line[:30], x + DISPLACEMENT * d[0] / n,
                                            y + DISPLACEMENT * d[1] / n,
                                            z + DISPLACEMENT * d[2] / n, line[54:])
            moved_serials.append(int(line[6:11]))
        out.append(line)
    return out, moved_serials


# Scenario K: (name, size) pairs of each geometry; the larger size is four times the smaller.
GEOMETRY_SIZES = {"plane": (25000, 100000), "point": (5000, 20000), "lattice": (25000, 100000)}
RING_SIZES = {"sheet": (25000, 100000), "cube": (12500, 50000), "cluster": (5000, 20000)}


def geometry_points(kind, count):
    """`count` points of a geometry: a square grid in the plane x = 0 (1.5 A), one point, or a
    cubic lattice (3 A), filled row by row."""
    if kind == "point":
        return [(0.0, 0.0, 0.0)] * count
    if kind == "plane":
        side = int(math.ceil(math.sqrt(count)))
        return [(0.0, 1.5 * (i % side), 1.5 * (i // side)) for i in range(count)]
    side = int(math.ceil(count ** (1.0 / 3.0) - 1e-9))
    return [(3.0 * (i % side), 3.0 * (i // side % side), 3.0 * (i // (side * side)))
            for i in range(count)]


def geometry_pdb(points):
    """One residue of carbon atoms, numbered in hybrid-36 past 99,999."""
    return ["HETATM%s  C   LIG A   1    %8.3f%8.3f%8.3f  1.00  0.00           C"
            % (hybrid36(i + 1, 5), x, y, z) for i, (x, y, z) in enumerate(points)]


def ring_mol2(kind, count):
    """A MOL2 molecule of `count` carbons with its bonds: a square grid (four bonds to an atom), a
    cubic lattice (six) or a point cluster (eight, to i +- 1..4)."""
    if kind == "cluster":
        points = [(0.0, 0.0, 0.0)] * count
        bonds = [(i, i + k) for i in range(count) for k in range(1, 5) if i + k < count]
    else:
        dims = 2 if kind == "sheet" else 3
        side = int(math.ceil(count ** (1.0 / dims) - 1e-9))
        count = side ** dims
        strides = [side ** d for d in range(dims)]
        points = [tuple(1.5 * (i // stride % side) for stride in strides) + (0.0,) * (3 - dims)
                  for i in range(count)]
        bonds = [(i, i + stride) for i in range(count) for stride in strides
                 if i // stride % side + 1 < side]
    out = ["@<TRIPOS>MOLECULE", "%s%d" % (kind, count),
           "%d %d 0 0 0" % (len(points), len(bonds)), "SMALL", "NO_CHARGES", "", "@<TRIPOS>ATOM"]
    out += ["%d C%d %.3f %.3f %.3f C.3" % (i + 1, i + 1, x, y, z)
            for i, (x, y, z) in enumerate(points)]
    out.append("@<TRIPOS>BOND")
    out += ["%d %d %d 1" % (n + 1, a + 1, b + 1) for n, (a, b) in enumerate(bonds)]
    return "\n".join(out) + "\n"


def geometry_inputs(work):
    for kind, sizes in GEOMETRY_SIZES.items():
        for count in sizes:
            write(os.path.join(work, "%s%d.pdb" % (kind, count)),
                  geometry_pdb(geometry_points(kind, count)))
    for kind, sizes in RING_SIZES.items():
        for count in sizes:
            with open(os.path.join(work, "%s%d.mol2" % (kind, count)), "w") as f:
                f.write(ring_mol2(kind, count))


def sdf_atom_counts(path):
    """The atom count of each record of an SDF file."""
    with open(path) as f:
        records = f.read().split("$$$$\n")
    return [int(r.split("\n")[3][0:3]) for r in records if r.strip()]


def ligand_pairs(root, out):
    shutil.rmtree(out, ignore_errors=True)
    sources = []
    for name, step in LIGAND_SOURCES:
        path = os.path.join(RDKIT, name)
        count = len(sdf_atom_counts(path))
        sources.append("%s:%s" % (path, ",".join(str(k) for k in range(1, count + 1, step))))
    path = os.path.join(RDKIT, LIGAND_LARGEST[0])
    counts = sdf_atom_counts(path)
    largest = sorted(range(len(counts)), key=lambda k: -counts[k])[:LIGAND_LARGEST[1]]
    sources.append("%s:%s" % (path, ",".join(str(k + 1) for k in sorted(largest))))
    subprocess.run(["/usr/bin/python3", os.path.join(root, "scripts", "make_ligand_pairs.py"), out,
                    str(LIGAND_PAIRS), str(LIGAND_SEED)] + sources, check=True,
                   stdout=subprocess.DEVNULL)


def renumbered(lines):
    """The ATOM and HETATM records with residue numbers raised by RENUMBER_BY and chain letters
    moved by RENAME_BY letters: the same structure numbered differently."""
    out = []
    for line in lines:
        if line.startswith(("ATOM  ", "HETATM")):
            chain = chr((ord(line[21]) - ord("A") + RENAME_BY) % 26 + ord("A"))
            line = "%s%s%4d%s" % (line[:21], chain, int(line[22:26]) + RENUMBER_BY, line[26:])
            out.append(line)
    return out


def entries(root, work):
    """The entries of scenarios H and I."""
    shutil.copyfile(os.path.join(root, ENTRY_5DPV), os.path.join(work, "entry_5dpv.cif.gz"))
    shutil.copyfile(ENTRY_5DT0, os.path.join(work, "entry_5dt0.pdb"))
    write(os.path.join(work, "entry_5dt0_renumbered.pdb"), renumbered(atom_records(ENTRY_5DT0)))
    records = atom_records(ENTRY_6C83)
    write(os.path.join(work, "entry_6c83.pdb"), records)
    copy = moved(records, rotation(AXIS, ANGLE_DEG))
    write(os.path.join(work, "entry_6c83_moved.pdb"), copy)
    write(os.path.join(work, "entry_6c83_renumbered.pdb"), renumbered(copy))
    return len(records)


# Scenario L: 1,000 poses of a drug-like ligand in one SDF file against its crystal pose. The
# crystal pose is record 32 of rdkit-data's cdk2.sdf (ZINC03814450, 25 heavy atoms, a nitro group
# and a sulfonamide); the poses are 100 ETKDG conformers of it (seeded) taken in turn, each
# turned by a random rotation, shifted by up to 10 A and shaken by POSE_NOISE A along each axis,
# in the record's atom order, written by RDKit: the names a reader gives by position pair them
# by NAME, and by ELEMENT each pose keeps its own rigid core.
POSE_SOURCE = "/usr/share/RDKit/Contrib/Fastcluster/testdata/cdk2.sdf"
POSE_RECORD = 31
POSE_COUNT = 1000
POSE_CONFORMERS = 100
POSE_NOISE = 0.1
POSE_SEED = 23


def random_rotation(rng):
    """A rotation matrix from a random unit quaternion."""
    q = [rng.gauss(0, 1) for _ in range(4)]
    n = math.sqrt(sum(x * x for x in q))
    a, b, c, d = (x / n for x in q)
    return [[a * a + b * b - c * c - d * d, 2 * (b * c - a * d), 2 * (b * d + a * c)],
            [2 * (b * c + a * d), a * a - b * b + c * c - d * d, 2 * (c * d - a * b)],
            [2 * (b * d - a * c), 2 * (c * d + a * b), a * a - b * b + c * c - d * d]]


def ligand_poses(work):
    """The crystal pose and the pose file of scenario L; returns the heavy atoms of the ligand."""
    from rdkit import Chem
    from rdkit.Chem import AllChem
    from rdkit.Geometry import Point3D
    crystal = Chem.SDMolSupplier(POSE_SOURCE, removeHs=False)[POSE_RECORD]
    with Chem.SDWriter(os.path.join(work, "poses_crystal.sdf")) as w:
        w.write(crystal)
    params = AllChem.ETKDGv3()
    params.randomSeed = POSE_SEED
    mol = Chem.Mol(crystal)
    conformers = list(AllChem.EmbedMultipleConfs(mol, POSE_CONFORMERS, params))
    rng = random.Random(POSE_SEED)
    with Chem.SDWriter(os.path.join(work, "poses_1000.sdf")) as w:
        for k in range(POSE_COUNT):
            pose = Chem.Mol(mol, confId=conformers[k % len(conformers)])
            pose.SetProp("_Name", "%s_pose%d" % (crystal.GetProp("_Name"), k + 1))
            conf = pose.GetConformer()
            points = [conf.GetAtomPosition(i) for i in range(pose.GetNumAtoms())]
            centre = [sum(p[j] for p in points) / len(points) for j in range(3)]
            r = random_rotation(rng)
            shift = [rng.uniform(-10, 10) for _ in range(3)]
            for i, p in enumerate(points):
                v = [p[j] - centre[j] for j in range(3)]
                conf.SetAtomPosition(i, Point3D(*(
                    sum(r[a][j] * v[j] for j in range(3)) + centre[a] + shift[a]
                    + rng.gauss(0, POSE_NOISE) for a in range(3))))
            w.write(pose)
    return crystal.GetNumHeavyAtoms()


def write(path, lines):
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\nEND\n")


def small_mol2(records, bonds, name, shift):
    """One MOL2 molecule from PDB atom records: element types, one substructure."""
    types = {"C": "C.3", "N": "N.3", "O": "O.3", "F": "F", "H": "H", "S": "S.3"}
    out = ["@<TRIPOS>MOLECULE", name,
           "%5d %5d %5d %5d %5d" % (len(records), len(bonds), 1, 0, 0), "SMALL", "NO_CHARGES", "",
           "@<TRIPOS>ATOM"]
    for i, line in enumerate(records, 1):
        x, y, z = coords(line)
        element = line[76:78].strip() or line[12:16].strip()[0]
        out.append("%7d %-8s %9.4f %9.4f %9.4f %-5s %5d %-9s %8.4f" % (
            i, line[12:16].strip(), x + shift[0], y + shift[1], z + shift[2],
            types.get(element, "Du"), 1, "LIG1", 0.0))
    out.append("@<TRIPOS>BOND")
    for i, (a, b) in enumerate(bonds, 1):
        out.append("%6d %4d %4d %-3s" % (i, a, b, "1"))
    out.append("@<TRIPOS>SUBSTRUCTURE")
    out.append("%6d %-6s %6d %-7s %11d %-4s  %3s%6d %4s" % (1, "LIG1", 1, "RESIDUE", 4, "A", "LIG",
                                                        0, "ROOT"))
    return "\n".join(out) + "\n"


def conect_bonds(path):
    bonds = set()
    with open(path) as f:
        for line in f:
            if line.startswith("CONECT"):
                numbers = [int(w) for w in line[6:].split()]
                for partner in numbers[1:]:
                    bonds.add((min(numbers[0], partner), max(numbers[0], partner)))
    return sorted(bonds)


def graph_inputs(root, work):
    """Scenario M under WORK/graph: ref.sdf, poses.sdf (1,000 poses), ref.mol2, poses.mol2, and
    stressK_ref.mol2 / stressK_poses.mol2 for the K-th stress case, named in stress.txt."""
    sys.path.insert(0, os.path.join(root, "tests", "interop"))
    import graphmatch
    out = os.path.join(work, "graph")
    os.makedirs(out, exist_ok=True)
    graphmatch.thousand_poses(out)
    rnd = random.Random(3)
    names = list(graphmatch.STRESS_CASES)
    for k, name in enumerate(names):
        graphmatch.write_stress_case(name, rnd, os.path.join(out, "stress%d_ref.mol2" % k),
                                     os.path.join(out, "stress%d_poses.mol2" % k))
    with open(os.path.join(out, "stress.txt"), "w") as f:
        f.write("".join(name + "\n" for name in names))
    return len(names)


def main():
    root, work = sys.argv[1], sys.argv[2]
    letters = sys.argv[3] if len(sys.argv) > 3 else "ABCDEFGHIJKLM"
    example = os.path.join(root, "example")
    os.makedirs(work, exist_ok=True)
    if "M" in letters:
        cases = graph_inputs(root, work)
        print("inputs of M: 1,000 poses and %d stress cases under %s/graph" % (cases, work))
    if not set(letters) - set("M"):
        return
    for name in ("ref_ligand.pdb", "comp_ligand.pdb"):
        shutil.copyfile(os.path.join(example, name), os.path.join(work, name))

    matrix = rotation(AXIS, ANGLE_DEG)
    records = atom_records(os.path.join(example, "comp_protein.pdb"))
    big = repeated_protein(records)
    write(os.path.join(work, "protein90k.pdb"), big)
    write(os.path.join(work, "protein90k_moved.pdb"), moved(big, matrix))

    small = [line for line in big if line.startswith("ATOM")][:SMALL_PROTEIN_ATOMS]
    write(os.path.join(work, "protein5k.pdb"), small)
    write(os.path.join(work, "protein5k_moved.pdb"), moved(small, matrix))

    large_records = [line for line in atom_records(LARGE_SOURCE)
                     if line.startswith("ATOM") and line[76:78].strip() != "H"][:LARGE_COPY_ATOMS]
    large = large_protein(large_records)
    write(os.path.join(work, "protein50k.pdb"), large)
    large_moved, moved_serials = displaced(moved(large, matrix), random.Random(16))
    write(os.path.join(work, "protein50k_moved.pdb"), large_moved)
    with open(os.path.join(work, "protein50k_displaced.txt"), "w") as f:
        f.write("\n".join(str(serial) for serial in moved_serials) + "\n")

    ligand_pairs(root, os.path.join(work, "ligands"))
    entry_atoms = entries(root, work)
    pose_atoms = ligand_poses(work)

    ligand = os.path.join(example, "comp_ligand.pdb")
    ligand_records, bonds = atom_records(ligand), conect_bonds(ligand)
    small_dir = os.path.join(work, "small")
    os.makedirs(small_dir, exist_ok=True)
    rng = random.Random(8)
    for i in range(1, SMALL_FILES + 1):
        name = "lig_%04d" % i
        shift = [rng.uniform(-5, 5) for _ in range(3)]
        with open(os.path.join(small_dir, name + ".mol2"), "w") as f:
            f.write(small_mol2(ligand_records, bonds, name, shift))

    huge = os.path.join(work, "protein150k.pdb")
    write(huge, huge_protein(records))
    cif = os.path.join(work, "protein150k.cif")
    subprocess.run(["gemmi", "convert", huge, cif], check=True)
    for path in (huge, cif):
        with open(path, "rb") as plain, gzip.open(path + ".gz", "wb", compresslevel=6) as packed:
            shutil.copyfileobj(plain, packed)

    geometry_inputs(work)

    atoms = sum(1 for line in big if line.startswith("ATOM"))
    print("inputs: protein of %d atoms in %d chains, protein of %d atoms, %d small MOL2 files,"
          " protein of %d heavy atoms with %d displaced in its copy, %d ligand pairs; moved"
          " copies: %g deg about %s, then + %s; entries 5DPV, 5DT0 and 6C83 (%d atoms); %d poses"
          " of a %d-heavy-atom ligand"
          % (atoms, COPIES, len(small), SMALL_FILES, len(large), len(moved_serials), LIGAND_PAIRS,
             ANGLE_DEG, AXIS, SHIFT, entry_atoms, POSE_COUNT, pose_atoms))


if __name__ == "__main__":
    main()
