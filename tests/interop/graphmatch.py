# GraphMatch against RDKit: the fitted RMSD equals GetBestRMS and the RMSD in place CalcRMS,
# heavy atoms only, on conformers, shuffled atom orders and swapped symmetric groups of the
# rdkit-data ligand sets and on the CalcLigRMSD docked/crystal pairs, through the library and
# through Kestrum -g GRAPH -n; symmetric stress cases finish or say they reached the bound.
# Timings belong to the benchmark (bench/, scenario M), which imports the makers below.
# --full takes every molecule of each set instead of the first SET_SIZE.
import os
import random
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
import interop  # noqa: E402

TOLERANCE = 1e-4
CDK2 = "/usr/share/RDKit/Contrib/Fastcluster/testdata/cdk2.sdf"
BZR = "/usr/share/RDKit/Projects/DbCLI/testData/bzr.sdf"
EGFR = "/usr/share/RDKit/Contrib/PBF/testData/egfr.sdf"
CALCLIG = "/usr/share/RDKit/Contrib/CalcLigRMSD/data"
# Docked pose and crystal pose of the CalcLigRMSD examples.
CALCLIG_PAIRS = [
    ("docked_2c6e_JVE_pH74_netcharge1.pdb", "4uzh_JVE.pdb"),
    ("docked_2c6e_N15_pH74_netcharge1.pdb", "3w2c_N15.pdb"),
    ("docked_2c6e_AKI_pH74_netcharge1.pdb", "3m11_AKI.pdb"),
    ("BEG_test.pdb", "1d4i_BEG.pdb"),
    ("docked_3w2p_1C9_pH74_netcharge1.pdb", "4i23_1C9.pdb"),
    ("docked_3w2p_1C9_pH74_netcharge1.pdb", "4i24_1C9.pdb"),
    ("docked_2c6e_SKE_pH74_netcharge1.pdb", "lig_crystal_aligned.pdb"),
    ("docked_2c6e_ACP_pH74_netcharge1.pdb", "ACP_crystal_aligned_1.pdb"),
    ("docked_2c6e_ACP_pH74_netcharge1.pdb", "ACP_crystal_aligned_2.pdb"),
]
HARNESS = None  # bench/graphmatch_poses, from --graphmatch
# Molecules taken from each ligand set; --full takes all of them (cdk2 47, bzr 163, egfr more).
SET_SIZE = 12
FULL = False  # --full: every molecule of each set


def order_free_heavy(mol):
    """The heavy atoms only, every bond single, no charge: the graph GraphMatch maps."""
    from rdkit import Chem
    rw = Chem.RWMol(mol)
    for i in sorted((a.GetIdx() for a in rw.GetAtoms() if a.GetAtomicNum() == 1), reverse=True):
        rw.RemoveAtom(i)
    for b in rw.GetBonds():
        b.SetBondType(Chem.BondType.SINGLE)
        b.SetIsAromatic(False)
    for a in rw.GetAtoms():
        a.SetFormalCharge(0)
        a.SetIsAromatic(False)
        a.SetIsotope(0)
        a.SetNumRadicalElectrons(0)
        a.SetNoImplicit(True)
    m = rw.GetMol()
    Chem.SanitizeMol(m)
    return m


def rdkit_values(reference_sdf, poses_sdf):
    """(GetBestRMS, CalcRMS) of each pose, on the order-free heavy-atom graphs."""
    from rdkit import Chem
    from rdkit.Chem import rdMolAlign
    ref = order_free_heavy(Chem.MolFromMolFile(reference_sdf, removeHs=False, sanitize=False))
    values = []
    for pose in Chem.SDMolSupplier(poses_sdf, removeHs=False, sanitize=False):
        p = order_free_heavy(pose)
        in_place = rdMolAlign.CalcRMS(Chem.Mol(p), ref)
        values.append((rdMolAlign.GetBestRMS(Chem.Mol(p), ref), in_place))
    return values


def harness(reference, poses, *flags):
    """GraphMatch's lines for each pose: (fitted, in place, bound reached)."""
    out = subprocess.run([HARNESS] + list(flags) + [reference, poses], capture_output=True,
                         text=True, timeout=600)
    rows = []
    for line in out.stdout.splitlines():
        words = line.split()
        values = dict(zip(words[1::2], words[2::2]))
        rows.append((float(values["fitted"]) if "fitted" in values else None,
                     float(values["inplace"]) if "inplace" in values else None,
                     "bound" in words, line))
    return rows


def kestrum_values(reference, poses):
    """Kestrum -g GRAPH -n's (RMSD, RMSD in place) for each pose it fits, in order."""
    run = interop.run_kestrum(["-r", reference, "-c", poses, "-g", "GRAPH", "-n"],
                              os.path.dirname(reference))
    if run.status != 0:
        raise AssertionError("Kestrum failed (%d): %s" % (run.status, run.err))
    fitted = [float(line.split(" : ")[1]) for line in run.out.splitlines()
              if line.startswith("RMSD : ")]
    in_place = [float(line.split(" : ")[1]) for line in run.out.splitlines()
                if line.startswith("RMSD in place : ")]
    return list(zip(fitted, in_place))


def obabel(source, target):
    subprocess.run(["obabel", source, "-O", target], capture_output=True, check=True)


def permuted(mol, order, conf):
    """The molecule with its atoms listed in `order`, at the coordinates of `conf`."""
    from rdkit import Chem
    p = Chem.RenumberAtoms(Chem.Mol(mol), order)
    p.RemoveAllConformers()
    c = Chem.Conformer(mol.GetNumAtoms())
    for i, o in enumerate(order):
        c.SetAtomPosition(i, conf.GetAtomPosition(o))
    p.AddConformer(c, assignId=True)
    return p


def make_poses(mol, rnd, seed):
    """Two RDKit conformers and the molecule with one symmetric group swapped (an automorphism
    of its heavy-atom graph), each with its atoms shuffled."""
    from rdkit import Chem
    from rdkit.Chem import AllChem
    mh = Chem.AddHs(mol, addCoords=True)
    n = mh.GetNumAtoms()
    poses = []
    for cid in AllChem.EmbedMultipleConfs(mh, numConfs=2, randomSeed=seed):
        order = list(range(n))
        rnd.shuffle(order)
        poses.append(permuted(mh, order, mh.GetConformer(cid)))
    heavy = [a.GetIdx() for a in mh.GetAtoms() if a.GetAtomicNum() != 1]
    hf = order_free_heavy(mh)
    identity = list(range(len(heavy)))
    swaps = [m for m in hf.GetSubstructMatches(hf, uniquify=False, maxMatches=200)
             if list(m) != identity]
    if swaps:
        swap = rnd.choice(swaps)
        src = mh.GetConformer()
        conf = Chem.Conformer(src)
        for i, j in enumerate(swap):
            conf.SetAtomPosition(heavy[i], src.GetAtomPosition(heavy[j]))
        order = list(range(n))
        rnd.shuffle(order)
        poses.append(permuted(mh, order, conf))
    return mh, poses


class Agreement:
    """Compares GraphMatch with RDKit on reference/pose files written to a scratch directory."""

    def compare(self, reference_sdf, poses_sdf, what):
        directory = os.path.dirname(reference_sdf)
        ref_mol2 = os.path.join(directory, "ref.mol2")
        poses_mol2 = os.path.join(directory, "poses.mol2")
        obabel(reference_sdf, ref_mol2)
        obabel(poses_sdf, poses_mol2)
        expected = rdkit_values(reference_sdf, poses_sdf)
        got = harness(ref_mol2, poses_mol2)
        self.assertEqual(len(got), len(expected), what)
        for k, ((fitted, in_place), row) in enumerate(zip(expected, got)):
            self.assertFalse(row[2], "%s pose %d reached the bound" % (what, k + 1))
            self.assertAlmostEqual(row[0], fitted, delta=TOLERANCE,
                                   msg="%s pose %d fitted" % (what, k + 1))
            self.assertAlmostEqual(row[1], in_place, delta=TOLERANCE,
                                   msg="%s pose %d in place" % (what, k + 1))
        # The tool prints six significant digits.
        tool = kestrum_values(ref_mol2, poses_mol2)
        self.assertEqual(len(tool), len(expected), what)  # every pose, each on its own
        for k, ((fitted, in_place), (t_fitted, t_in_place)) in enumerate(zip(expected, tool)):
            self.assertAlmostEqual(t_fitted, fitted, delta=TOLERANCE + 5e-6 * fitted,
                                   msg="%s pose %d: Kestrum's RMSD" % (what, k + 1))
            self.assertAlmostEqual(t_in_place, in_place, delta=TOLERANCE + 5e-6 * in_place,
                                   msg="%s pose %d: Kestrum's RMSD in place" % (what, k + 1))
        return len(got)


class LigandSets(Agreement, unittest.TestCase):
    """cdk2, bzr and egfr: every pose of every molecule agrees with RDKit."""

    def check_set(self, path):
        from rdkit import Chem, RDLogger
        RDLogger.DisableLog("rdApp.*")
        rnd = random.Random(25)
        mols = [m for m in Chem.SDMolSupplier(path, removeHs=False) if m is not None]
        mols = mols if FULL else mols[:SET_SIZE]
        poses = 0
        with tempfile.TemporaryDirectory() as work:
            for k, mol in enumerate(mols):
                mh, made = make_poses(mol, rnd, 42 + k)
                reference_sdf = os.path.join(work, "ref.sdf")
                poses_sdf = os.path.join(work, "poses.sdf")
                with Chem.SDWriter(reference_sdf) as w:
                    w.write(mh)
                with Chem.SDWriter(poses_sdf) as w:
                    for p in made:
                        w.write(p)
                poses += self.compare(reference_sdf, poses_sdf,
                                      "%s molecule %d" % (os.path.basename(path), k + 1))
        sys.stderr.write("\n%s: %d molecules, %d poses agree\n"
                         % (os.path.basename(path), len(mols), poses))

    def test_cdk2(self):
        self.check_set(CDK2)

    def test_bzr(self):
        self.check_set(BZR)

    def test_egfr(self):
        self.check_set(EGFR)


class DockedCrystalPairs(Agreement, unittest.TestCase):
    """The CalcLigRMSD pairs: docked (with hydrogens, its own bond orders) against crystal."""

    def test_pairs(self):
        isomorphic = 0
        with tempfile.TemporaryDirectory() as work:
            for docked, crystal in CALCLIG_PAIRS:
                reference_sdf = os.path.join(work, "crystal.sdf")
                poses_sdf = os.path.join(work, "docked.sdf")
                obabel(os.path.join(CALCLIG, crystal), reference_sdf)
                obabel(os.path.join(CALCLIG, docked), poses_sdf)
                try:
                    rdkit_values(reference_sdf, poses_sdf)
                except RuntimeError:  # no substructure match: not the same graph
                    obabel(reference_sdf, os.path.join(work, "ref.mol2"))
                    obabel(poses_sdf, os.path.join(work, "poses.mol2"))
                    rows = harness(os.path.join(work, "ref.mol2"),
                                   os.path.join(work, "poses.mol2"))
                    self.assertIn("not isomorphic", rows[0][3], crystal)
                    continue
                isomorphic += self.compare(reference_sdf, poses_sdf, crystal)
        sys.stderr.write("\nCalcLigRMSD pairs: %d of %d isomorphic, all agree\n"
                         % (isomorphic, len(CALCLIG_PAIRS)))


def write_mol2(path, molecules):
    """Molecules given as (elements, coordinates, bonds) written as MOL2, all bonds single."""
    with open(path, "w") as f:
        for name, (elements, xyz, bonds) in molecules:
            f.write("@<TRIPOS>MOLECULE\n%s\n%d %d 0 0 0\nSMALL\nNO_CHARGES\n\n@<TRIPOS>ATOM\n"
                    % (name, len(elements), len(bonds)))
            for i, (e, p) in enumerate(zip(elements, xyz)):
                f.write("%7d %-4s %10.4f %10.4f %10.4f %-5s 1 MOL 0.0\n"
                        % (i + 1, e + str(i + 1), p[0], p[1], p[2], e))
            f.write("@<TRIPOS>BOND\n")
            for k, (i, j) in enumerate(bonds):
                f.write("%6d %5d %5d 1\n" % (k + 1, i + 1, j + 1))


def conformers(smiles, count, seed=1):
    """RDKit conformers as (elements, coordinates, bonds), hydrogens included."""
    from rdkit import Chem
    from rdkit.Chem import AllChem
    m = Chem.AddHs(Chem.MolFromSmiles(smiles))
    params = AllChem.ETKDGv3()
    params.randomSeed = seed
    out = []
    for cid in AllChem.EmbedMultipleConfs(m, count, params):
        c = m.GetConformer(cid)
        out.append(([a.GetSymbol() for a in m.GetAtoms()],
                    [tuple(c.GetAtomPosition(i)) for i in range(m.GetNumAtoms())],
                    [(b.GetBeginAtomIdx(), b.GetEndAtomIdx()) for b in m.GetBonds()]))
    return out


def fullerene():
    """C60: the truncated icosahedron of edge 1.4 Å."""
    import itertools
    phi = (1 + 5 ** 0.5) / 2
    points = set()
    for base in [(0, 1, 3 * phi), (1, 2 + phi, 2 * phi), (phi, 2, phi ** 3)]:
        for signs in itertools.product([-1, 1], repeat=3):
            v = [x * s for x, s in zip(base, signs)]
            for k in range(3):
                points.add(tuple(round(0.7 * v[(i + k) % 3], 9) for i in range(3)))
    points = sorted(points)
    bonds = [(i, j) for i in range(60) for j in range(i + 1, 60)
             if abs(sum((a - b) ** 2 for a, b in zip(points[i], points[j])) ** 0.5 - 1.4) < 1e-3]
    return ["C"] * 60, points, bonds


def moved(molecule, rnd, noise):
    """Turned, shifted, shuffled and given Gaussian noise (Å per axis)."""
    import math
    elements, xyz, bonds = molecule
    order = list(range(len(elements)))
    rnd.shuffle(order)
    at = {o: i for i, o in enumerate(order)}
    a, b = rnd.uniform(0, 2 * math.pi), rnd.uniform(0, 2 * math.pi)
    ca, sa, cb, sb = math.cos(a), math.sin(a), math.cos(b), math.sin(b)
    out = []
    for o in order:
        x, y, z = xyz[o]
        x, y = ca * x - sa * y, sa * x + ca * y
        y, z = cb * y - sb * z, sb * y + cb * z
        out.append((x + 3 + rnd.gauss(0, noise), y - 2 + rnd.gauss(0, noise),
                    z + 1 + rnd.gauss(0, noise)))
    return [elements[o] for o in order], out, [(at[i], at[j]) for i, j in bonds]


# The symmetric stress cases: name -> maker of (reference, poses) from a random generator.
STRESS_CASES = {
    "C60, noise 0.1 A": lambda rnd: (fullerene(), [moved(fullerene(), rnd, 0.1)
                                                   for _ in range(3)]),
    "alpha-cyclodextrin conformers": lambda rnd: (
        lambda c: (c[0], [moved(x, rnd, 0) for x in c[1:]]))(conformers(
            "OC[C@H]1O[C@@H]2O[C@H]3[C@H](O)[C@@H](O)[C@@H](O[C@H]4[C@H](O)[C@@H](O)"
            "[C@@H](O[C@H]5[C@H](O)[C@@H](O)[C@@H](O[C@H]6[C@H](O)[C@@H](O)[C@@H](O[C@H]7"
            "[C@H](O)[C@@H](O)[C@@H](O[C@H]1[C@H](O)[C@H]2O)O[C@@H]7CO)O[C@@H]6CO)O[C@@H]5CO)"
            "O[C@@H]4CO)O[C@@H]3CO", 3)),
    "n-C30H62 conformers": lambda rnd: (
        lambda c: (c[0], [moved(x, rnd, 0) for x in c[1:]]))(conformers("C" * 30, 3)),
    "ten CF3 groups, conformers": lambda rnd: (
        lambda c: (c[0], [moved(x, rnd, 0) for x in c[1:]]))(conformers(
            "C" + "C(C(F)(F)F)" * 10 + "C", 3)),
    "ten CF3 groups, noise 0.2 A": lambda rnd: (
        lambda c: (c[0], [moved(c[0], rnd, 0.2) for _ in range(2)]))(conformers(
            "C" + "C(C(F)(F)F)" * 10 + "C", 1)),
}


def write_stress_case(name, rnd, ref, poses):
    """Writes a stress case's reference and poses as MOL2; returns the number of poses."""
    reference, others = STRESS_CASES[name](rnd)
    write_mol2(ref, [("reference", reference)])
    write_mol2(poses, [("pose%d" % k, p) for k, p in enumerate(others)])
    return len(others)


class SymmetricStress(unittest.TestCase):
    """Each case gives one row per pose, with its values, saying when the search reached its
    bound: it finishes, or says so."""

    def test_cases(self):
        rnd = random.Random(3)
        with tempfile.TemporaryDirectory() as work:
            ref, poses = os.path.join(work, "ref.mol2"), os.path.join(work, "poses.mol2")
            for name in STRESS_CASES:
                count = write_stress_case(name, rnd, ref, poses)
                self.assertTrue(count, name)
                for flag in ("-f", "-n"):
                    rows = harness(ref, poses, flag)
                    self.assertEqual(len(rows), count, name)
                    for row in rows:
                        value = row[0] if flag == "-f" else row[1]
                        self.assertIsNotNone(value, "%s: %s" % (name, row[3]))
                        self.assertGreaterEqual(value, 0, name)
                    bound = sum(row[2] for row in rows)
                    if bound:
                        sys.stderr.write("\n%s %s: %d of %d poses at the bound\n" % (
                            name, "fitted" if flag == "-f" else "in place", bound, len(rows)))


def thousand_poses(work, seed=5):
    """1,000 poses of ZINC03814450 (27 heavy atoms, a nitro group and a sulfonamide): 100 RDKit
    conformers, each pose with its atoms shuffled, as ref.sdf and poses.sdf in `work`, and as
    MOL2 by Open Babel; returns the four paths."""
    from rdkit import Chem
    from rdkit.Chem import AllChem
    rnd = random.Random(seed)
    mol = Chem.SDMolSupplier(CDK2, removeHs=False)[31]
    mh = Chem.Mol(mol)
    params = AllChem.ETKDGv3()
    params.randomSeed = 7
    cids = list(AllChem.EmbedMultipleConfs(mh, 100, params))
    ref_sdf, poses_sdf = os.path.join(work, "ref.sdf"), os.path.join(work, "poses.sdf")
    with Chem.SDWriter(ref_sdf) as w:
        w.write(mol)
    with Chem.SDWriter(poses_sdf) as w:
        for k in range(1000):
            order = list(range(mh.GetNumAtoms()))
            rnd.shuffle(order)
            w.write(permuted(mh, order, mh.GetConformer(cids[k % len(cids)])))
    ref_mol2, poses_mol2 = os.path.join(work, "ref.mol2"), os.path.join(work, "poses.mol2")
    obabel(ref_sdf, ref_mol2)
    obabel(poses_sdf, poses_mol2)
    return ref_sdf, poses_sdf, ref_mol2, poses_mol2


if __name__ == "__main__":
    args = list(sys.argv)
    at = args.index("--graphmatch")
    HARNESS = os.path.abspath(args[at + 1])
    args = args[:at] + args[at + 2:]
    FULL = "--full" in args
    sys.argv = [a for a in args if a != "--full"]
    interop.main()
