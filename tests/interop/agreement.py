# RDKit agrees with Kestrum's fit on real ligand pairs: the RMSD over the same atom pairs, the
# transform, and every coordinate Kestrum writes for the moved molecule.
import math
import os
import re
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
import interop  # noqa: E402
from interop import data_path, parse_mol2, run_kestrum  # noqa: E402

# Tolerances: the RMSD of the same pairs (1e-5 Å); every written coordinate against the probe
# moved by RDKit's transform (1e-3 Å); the printed transform against RDKit's. On a near-exact
# fit RDKit's transform is itself off an exact (SVD) fit by about 1e-6 in R and 5e-5 Å in t,
# where Kestrum's is within 1e-10: the transform is compared to what RDKit can tell.
RMSD_TOLERANCE = 1e-5
WRITTEN_TOLERANCE = 1e-3
ROTATION_TOLERANCE = 1e-5
TRANSLATION_TOLERANCE = 2e-4


class FitOutput:
    """What Kestrum prints with -m and -l."""

    PAIR = re.compile(r"^(Pair|Atom) (\d+)\t(\S+) \((\d+)\)[^\t]*\t(\S+) \((\d+)\)[^\t]*\t"
                      r"([0-9.]+)(?:\t(kept|dropped))?$")

    def __init__(self, text):
        self.rmsd_text = None
        self.rotation = []
        self.translation = None
        self.summary = None
        self.pairs = []  # (reference name, comparison name, distance, status or None)
        for line in text.splitlines():
            if line.startswith("RMSD : "):
                self.rmsd_text = line[len("RMSD : "):]
            elif line.startswith("Rotation row "):
                self.rotation.append([float(w) for w in line.split(":")[1].split()])
            elif line.startswith("Translation    : "):
                self.translation = [float(w) for w in line.split(":")[1].split()]
            elif line.startswith("Pairs : ") or line.startswith("Atoms : "):
                self.summary = line
            else:
                match = self.PAIR.match(line)
                if match:
                    self.pairs.append((match.group(3), match.group(5), float(match.group(7)),
                                       match.group(8)))
        if self.rmsd_text is None or len(self.rotation) != 3 or self.translation is None:
            raise AssertionError("Kestrum printed no RMSD or no transform:\n" + text)

    @property
    def rmsd(self):
        return float(self.rmsd_text)

    def rmsd_precision(self):
        """Half a unit of the last of the six significant digits the RMSD is printed with."""
        value = abs(self.rmsd)
        if value == 0:
            return 0.0
        return 0.5 * 10 ** (math.floor(math.log10(value)) - 5)

    def kept_rmsd(self):
        """The RMSD of the kept pairs as -l prints it, to eight decimals."""
        return float(re.search(r"RMSD ([0-9.]+)", self.summary).group(1))


def load(path):
    """The molecule as RDKit reads it, all atoms kept, nothing perceived."""
    from rdkit import Chem
    if path.endswith(".pdb"):
        mol = Chem.MolFromPDBFile(path, sanitize=False, removeHs=False)
    else:
        mol = Chem.MolFromMol2File(path, sanitize=False, removeHs=False)
    if mol is None:
        raise AssertionError("RDKit cannot read %s" % path)
    return mol


def atom_names(mol):
    names = []
    for atom in mol.GetAtoms():
        info = atom.GetPDBResidueInfo()
        names.append(info.GetName().strip() if info is not None
                     else atom.GetProp("_TriposAtomName"))
    if len(set(names)) != len(names):
        raise AssertionError("atom names repeat: pairing by name is ambiguous")
    return names


def transform(matrix, xyz):
    return tuple(sum(matrix[r][c] * xyz[c] for c in range(3)) + matrix[r][3] for r in range(3))


class Agreement(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="kestrum_interop_")
        self.addCleanup(self.tmp.cleanup)

    def fit(self, reference, comparison, pairing):
        """Runs Kestrum with -m -l, moving the comparison molecule itself; returns the output
        and the written file."""
        out = os.path.join(self.tmp.name, "out")
        os.makedirs(out, exist_ok=True)
        args = ["-r", reference, "-c", comparison] + pairing + ["-m", "-l", "-a", comparison,
                                                                "-p", out]
        run = run_kestrum(args, cwd=self.tmp.name)
        self.assertEqual(run.status, 0, run.out + run.err)
        written = run.written()
        self.assertEqual(len(written), 1, run.out)
        return FitOutput(run.out), written[0]

    def check_agreement(self, reference, comparison, output, written, atom_map):
        """RDKit on `atom_map` ((probe index, reference index) pairs) against Kestrum's fit."""
        from rdkit import Chem
        from rdkit.Chem import rdMolAlign
        ref, prb = load(reference), load(comparison)
        rmsd, matrix = rdMolAlign.GetAlignmentTransform(prb, ref, atomMap=atom_map)
        moved = Chem.Mol(prb)
        aligned = rdMolAlign.AlignMol(moved, ref, atomMap=atom_map)
        self.assertAlmostEqual(rmsd, aligned, delta=1e-9)

        self.assertLessEqual(abs(output.rmsd - aligned),
                             RMSD_TOLERANCE + output.rmsd_precision(),
                             "printed RMSD %s, RDKit %.8f" % (output.rmsd_text, aligned))
        self.assertLessEqual(abs(output.kept_rmsd() - aligned), RMSD_TOLERANCE, output.summary)
        for r in range(3):
            for c in range(3):
                self.assertLessEqual(abs(output.rotation[r][c] - matrix[r][c]),
                                     ROTATION_TOLERANCE, "R[%d][%d]" % (r, c))
            self.assertLessEqual(abs(output.translation[r] - matrix[r][3]),
                                 TRANSLATION_TOLERANCE, "t[%d]" % r)

        # Every atom of the written molecule, paired or not, hydrogens included.
        truth = parse_mol2(written)
        probe = prb.GetConformer().GetPositions()
        names = atom_names(prb)
        self.assertEqual([a.name for a in truth.atoms], names)
        for i, atom in enumerate(truth.atoms):
            expected = transform(matrix, probe[i])
            self.assertLessEqual(interop.distance(atom.xyz, expected), WRITTEN_TOLERANCE,
                                 "atom %s written at %s, RDKit moves it to %s"
                                 % (atom.name, atom.xyz, expected))

        # Each listed distance, from the reference atom to the moved comparison atom.
        ref_xyz = dict(zip(atom_names(ref), ref.GetConformer().GetPositions()))
        prb_xyz = dict(zip(names, probe))
        for ref_name, comp_name, listed, _ in output.pairs:
            moved_xyz = transform(matrix, prb_xyz[comp_name])
            self.assertAlmostEqual(listed, interop.distance(ref_xyz[ref_name], moved_xyz),
                                   delta=RMSD_TOLERANCE, msg="%s-%s" % (ref_name, comp_name))

    def name_map(self, reference, comparison, names):
        ref_index = {n: i for i, n in enumerate(atom_names(load(reference)))}
        prb_index = {n: i for i, n in enumerate(atom_names(load(comparison)))}
        return [(prb_index[n], ref_index[n]) for n in names]

    def test_two_crystal_poses_pair_every_common_atom_by_name(self):
        # 1C9 bound in 4I23 (22 atoms) and 4I24 (the same 22 names and six more atoms).
        reference, comparison = data_path("e2e_1c9_4i23.pdb"), data_path("e2e_1c9_4i24.pdb")
        output, written = self.fit(reference, comparison, ["-g", "NAME"])
        common = [n for n in atom_names(load(reference)) if n in atom_names(load(comparison))]
        self.assertEqual(len(common), 22)
        self.assertEqual(output.summary.split(", RMSD")[0], "Pairs : 22 formed, 22 kept")
        self.assertEqual([(r, c, s) for r, c, _, s in output.pairs],
                         [(n, n, "kept") for n in common])
        self.check_agreement(reference, comparison, output, written,
                             self.name_map(reference, comparison, common))

    def test_whole_molecules_pair_atoms_in_file_order(self):
        # ACP bound to two chains of one crystal: 31 atoms each, in the same order.
        reference, comparison = data_path("e2e_acp_chain_a.pdb"), data_path("e2e_acp_chain_b.pdb")
        output, written = self.fit(reference, comparison, [])
        self.assertEqual(output.summary.split(", RMSD")[0], "Atoms : 31 fitted")
        self.assertEqual(len(output.pairs), 31)
        self.check_agreement(reference, comparison, output, written,
                             [(i, i) for i in range(31)])

    def test_moved_copy_drops_exactly_the_displaced_atoms(self):
        for source, displaced_count in (("mol2_ligand_amptrb10.mol2", 3),
                                        ("e2e_acp_chain_a.pdb", 4)):
            with self.subTest(ligand=source):
                reference = data_path(source)
                comparison, displaced = moved_copy(reference, self.tmp.name, displaced_count)
                output, written = self.fit(reference, comparison, ["-g", "NAME"])
                heavy = heavy_atoms(reference)
                kept = [n for n in heavy if n not in displaced]
                self.assertEqual(output.summary.split(", RMSD")[0],
                                 "Pairs : %d formed, %d kept" % (len(heavy), len(kept)))
                self.assertEqual([(r, c, s) for r, c, _, s in output.pairs],
                                 [(n, n, "dropped" if n in displaced else "kept")
                                  for n in heavy])
                self.check_agreement(reference, comparison, output, written,
                                     self.name_map(reference, comparison, kept))
                # The transform undoes the known motion, to the precision of the file.
                for r in range(3):
                    for c in range(3):
                        self.assertAlmostEqual(output.rotation[r][c], MOTION_ROTATION[c][r],
                                               delta=1e-3)


# ---- The moved copy ----

# A rotation of 127 degrees about the axis (1, -2, 0.5), then a shift, written out.
def _rotation(axis, degrees):
    norm = math.sqrt(sum(a * a for a in axis))
    x, y, z = (a / norm for a in axis)
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
    return [[c + x * x * (1 - c), x * y * (1 - c) - z * s, x * z * (1 - c) + y * s],
            [y * x * (1 - c) + z * s, c + y * y * (1 - c), y * z * (1 - c) - x * s],
            [z * x * (1 - c) - y * s, z * y * (1 - c) + x * s, c + z * z * (1 - c)]]


MOTION_ROTATION = _rotation((1.0, -2.0, 0.5), 127.0)
MOTION_SHIFT = (-13.5, 8.25, 21.0)
# A displaced atom moves this far, in the first of these directions that leaves every distance
# to an undisplaced heavy atom changed by more than DISPLACED_MARGIN: such a pair shares no edge
# of the correspondence graph (tolerance 1.0 Å) with any other, and the clique must drop it.
DISPLACEMENT = 6.0
DISPLACED_MARGIN = 1.5
DIRECTIONS = [(1, 0, 0), (-1, 0, 0), (0, 1, 0), (0, -1, 0), (0, 0, 1), (0, 0, -1),
              (1, 1, 1), (-1, -1, -1), (1, -1, 1), (-1, 1, -1), (1, 1, -1), (-1, -1, 1)]


def read_atoms(path):
    """(name, element, xyz) of each atom, in file order, from the ligand's own file."""
    if path.endswith(".pdb"):
        atoms = []
        with open(path) as f:
            for line in f:
                if line.startswith(("ATOM", "HETATM")):
                    atoms.append((line[12:16].strip(), line[76:78].strip().capitalize(),
                                  (float(line[30:38]), float(line[38:46]), float(line[46:54]))))
        return atoms
    return [(a.name, a.element, a.xyz) for a in parse_mol2(path).atoms]


def heavy_atoms(path):
    return [name for name, element, _ in read_atoms(path) if element != "H"]


def moved_copy(path, workdir, count):
    """Writes the ligand rotated, shifted, and with `count` heavy atoms displaced in its own
    format; returns the copy's path and the displaced atoms' names."""
    atoms = read_atoms(path)
    heavy = [(name, xyz) for name, element, xyz in atoms if element != "H"]
    # Every third heavy atom from the second on, until `count` are displaced.
    chosen = [heavy[i][0] for i in range(1, len(heavy), 3)][:count]
    fixed = [xyz for name, xyz in heavy if name not in chosen]
    shift = {}
    for name, xyz in heavy:
        if name not in chosen:
            continue
        for direction in DIRECTIONS:
            norm = math.sqrt(sum(d * d for d in direction))
            moved = tuple(p + DISPLACEMENT * d / norm for p, d in zip(xyz, direction))
            if all(abs(interop.distance(moved, q) - interop.distance(xyz, q)) > DISPLACED_MARGIN
                   for q in fixed):
                shift[name] = tuple(m - p for m, p in zip(moved, xyz))
                break
        else:
            raise AssertionError("no direction displaces %s far enough from every atom" % name)

    def motion(name, xyz):
        xyz = tuple(p + s for p, s in zip(xyz, shift.get(name, (0, 0, 0))))
        return tuple(sum(MOTION_ROTATION[r][c] * xyz[c] for c in range(3)) + MOTION_SHIFT[r]
                     for r in range(3))

    out = os.path.join(workdir, "moved_" + os.path.basename(path))
    with open(path) as f:
        lines = f.read().split("\n")
    written = []
    if path.endswith(".pdb"):
        for line in lines:
            if line.startswith(("ATOM", "HETATM")):
                x, y, z = motion(line[12:16].strip(), (float(line[30:38]), float(line[38:46]),
                                                       float(line[46:54])))
                line = "%s%8.3f%8.3f%8.3f%s" % (line[:30], x, y, z, line[54:])
            written.append(line)
    else:
        section = None
        for line in lines:
            if line.startswith("@<TRIPOS>"):
                section = line.strip()
            elif section == "@<TRIPOS>ATOM" and line.strip():
                words = line.split()
                x, y, z = motion(words[1], tuple(float(w) for w in words[2:5]))
                line = "%7s %-8s %9.4f %9.4f %9.4f %s" % (words[0], words[1], x, y, z,
                                                          " ".join(words[5:]))
            written.append(line)
    with open(out, "w") as f:
        f.write("\n".join(written))
    return out, set(chosen)


if __name__ == "__main__":
    interop.main()
