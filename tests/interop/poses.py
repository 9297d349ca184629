# Docking poses and ensembles against RDKit and Open Babel: SDF and PDBQT files read as they
# read them (atoms, names, bonds, orders, charges, models), and each pose's RMSD that of RDKit's
# AlignMol over the atom pairs Kestrum lists.
import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
import interop  # noqa: E402
from interop import data_path, parse_mol2, run_kestrum  # noqa: E402

# The RMSD of the "Pairs" line carries eight decimals; written coordinates four.
RMSD_TOLERANCE = 1e-6
COORD_TOLERANCE = 2e-3

CRYSTAL = "poses_cdk2_crystal.mol2"
PAIR = re.compile(r"^Pair \d+\t\S+ \((\d+)\)[^\t]*\t\S+ \((\d+)\)[^\t]*\t[0-9.]+\t(kept|dropped)$")


def blocks(out):
    """Per "Molecule k of n" block: (RMSD of the Pairs line, [(reference, comparison) numbers
    of the kept pairs])."""
    found = []
    for block in out.split("\nMolecule ")[1:]:
        rmsd, kept = None, []
        for line in block.splitlines():
            if line.startswith("Pairs : "):
                rmsd = float(line.split("RMSD ")[1])
            match = PAIR.match(line)
            if match and match.group(3) == "kept":
                kept.append((int(match.group(1)), int(match.group(2))))
        found.append((rmsd, kept))
    return found


def written_molecules(path, work):
    """Each molecule of a written MOL2 file, parsed, with its formal charges by atom index."""
    with open(path) as f:
        chunks = f.read().split("@<TRIPOS>MOLECULE")[1:]
    molecules = []
    for k, chunk in enumerate(chunks):
        single = os.path.join(work, "molecule%d.mol2" % k)
        with open(single, "w") as f:
            f.write("@<TRIPOS>MOLECULE" + chunk)
        mol = parse_mol2(single)
        charges = {}
        if "@<TRIPOS>UNITY_ATOM_ATTR" in chunk:
            lines = chunk.split("@<TRIPOS>UNITY_ATOM_ATTR")[1].split("@<TRIPOS>")[0].split("\n")
            words = [line.split() for line in lines if line.strip()]
            for i in range(0, len(words) - 1, 2):
                if words[i + 1][0] == "charge":
                    charges[int(words[i][0])] = int(words[i + 1][1])
        number_to_index = {atom.number: i for i, atom in enumerate(mol.atoms)}
        mol.charges = {number_to_index[n]: c for n, c in charges.items() if c != 0}
        molecules.append(mol)
    return molecules


def carried(test, name, work):
    """The molecules Kestrum writes for a file carried by an identity fit (the crystal pose onto
    itself)."""
    crystal = data_path(CRYSTAL)
    run = run_kestrum(["-r", crystal, "-c", crystal, "-a", data_path(name), "-p", work], cwd=work)
    test.assertEqual(run.status, 0, run.err)
    return written_molecules(run.written()[0], work)


def obabel_sdf_charges(path):
    """Per record, the formal charges Open Babel reads, by atom index: its SDF output's
    "M  CHG" lines."""
    out = subprocess.run(["obabel", path, "-osdf"], capture_output=True, text=True,
                         check=True).stdout
    records = []
    for record in out.split("$$$$\n")[:-1]:
        charges = {}
        for line in record.splitlines():
            if line.startswith("M  CHG"):
                words = line.split()
                for i in range(3, len(words) - 1, 2):
                    charges[int(words[i]) - 1] = int(words[i + 1])
        records.append({i: c for i, c in charges.items() if c != 0})
    return records


def obabel_counts(path, format_option):
    """Per molecule, Open Babel's atom and bond counts."""
    out = subprocess.run(["obabel", format_option, path, "-otxt", "--append", "atoms bonds"],
                         capture_output=True, text=True, check=True).stdout
    return [tuple(int(w) for w in line.split()[-2:]) for line in out.splitlines() if line.strip()]


class SdfReading(unittest.TestCase):
    """Atoms, names, elements, bonds, orders, charges and coordinates of SDF records, V2000 and
    V3000, against RDKit's reading (unsanitised, so that the file's orders stand) and Open
    Babel's counts and charges."""

    ORDERS = {1.0: "1", 2.0: "2", 3.0: "3", 1.5: "ar"}

    def check_file(self, name):
        from rdkit import Chem
        with tempfile.TemporaryDirectory() as work:
            written = carried(self, name, work)
        expected = list(Chem.SDMolSupplier(data_path(name), sanitize=False, removeHs=False))
        self.assertEqual(len(written), len(expected))
        ob_counts = obabel_counts(data_path(name), "-isdf")
        ob_charges = obabel_sdf_charges(data_path(name))
        for k, (mine, theirs) in enumerate(zip(written, expected)):
            what = "%s record %d" % (name, k + 1)
            # The writer names a molecule of no name (or of one character) "unnamed".
            title = theirs.GetProp("_Name")
            self.assertEqual(mine.name, title if len(title) > 1 else "unnamed", what)
            self.assertEqual(len(mine.atoms), theirs.GetNumAtoms(), what)
            self.assertEqual((len(mine.atoms), len(mine.bonds)), ob_counts[k], what)
            conf = theirs.GetConformer()
            for i, (atom, other) in enumerate(zip(mine.atoms, theirs.GetAtoms())):
                self.assertEqual(atom.element, other.GetSymbol(), "%s atom %d" % (what, i + 1))
                self.assertEqual(atom.name, "%s%d" % (other.GetSymbol(), i + 1), what)
                p = conf.GetAtomPosition(i)
                for a, b in zip(atom.xyz, (p.x, p.y, p.z)):
                    self.assertAlmostEqual(a, b, delta=COORD_TOLERANCE, msg=what)
            bonds = {(min(i, j), max(i, j)): kind for i, j, kind in mine.bonds}
            expected_bonds = {(min(b.GetBeginAtomIdx(), b.GetEndAtomIdx()),
                               max(b.GetBeginAtomIdx(), b.GetEndAtomIdx())):
                              self.ORDERS[b.GetBondTypeAsDouble()] for b in theirs.GetBonds()}
            self.assertEqual(bonds, expected_bonds, what)
            rdkit_charges = {a.GetIdx(): a.GetFormalCharge() for a in theirs.GetAtoms()
                             if a.GetFormalCharge() != 0}
            self.assertEqual(mine.charges, rdkit_charges, what)
            self.assertEqual(mine.charges, ob_charges[k], what)

    def test_v2000(self):
        self.check_file("sdf_cdk2_three.sdf")

    def test_v3000(self):
        self.check_file("sdf_cdk2_three_v3000.sdf")

    def test_charged_records(self):
        self.check_file("sdf_nci_charged.sdf")


class PdbqtReading(unittest.TestCase):
    """The nine Vina poses: nine molecules, the elements and bonds Open Babel reads."""

    def test_vina_poses(self):
        name = "pdbqt_cdk2_vina_nine.pdbqt"
        with tempfile.TemporaryDirectory() as work:
            written = carried(self, name, work)
        self.assertEqual(len(written), 9)
        ob_counts = obabel_counts(data_path(name), "-ipdbqt")
        self.assertEqual(len(ob_counts), 9)
        out = subprocess.run(["obabel", "-ipdbqt", data_path(name), "-oxyz"], capture_output=True,
                             text=True, check=True).stdout.splitlines()
        for k, mine in enumerate(written):
            self.assertEqual((len(mine.atoms), len(mine.bonds)), ob_counts[k], "pose %d" % (k + 1))
            start = sum(count + 2 for count, _ in ob_counts[:k]) + 2
            elements = [line.split()[0] for line in out[start:start + ob_counts[k][0]]]
            self.assertEqual([atom.element for atom in mine.atoms], elements, "pose %d" % (k + 1))


class PoseRmsds(unittest.TestCase):
    """Each pose's RMSD is RDKit's AlignMol over the kept pairs Kestrum lists."""

    def check_poses(self, reference, poses, mode, rdkit_poses):
        from rdkit import Chem
        from rdkit.Chem import rdMolAlign
        with tempfile.TemporaryDirectory() as work:
            run = run_kestrum(["-r", data_path(reference), "-c", data_path(poses), "-g", mode,
                               "-l"], cwd=work)
        self.assertEqual(run.status, 0, run.err)
        found = blocks(run.out)
        self.assertEqual(len(found), len(rdkit_poses))
        ref = Chem.SDMolSupplier(data_path("sdf_cdk2_three.sdf"), removeHs=False)[0]
        for k, ((rmsd, kept), pose) in enumerate(zip(found, rdkit_poses)):
            self.assertGreaterEqual(len(kept), 3)
            atom_map = [(pose[1][c], r - 1) for r, c in kept]
            value = rdMolAlign.AlignMol(Chem.Mol(pose[0]), ref, atomMap=atom_map)
            self.assertAlmostEqual(rmsd, value, delta=RMSD_TOLERANCE,
                                   msg="%s pose %d by %s" % (poses, k + 1, mode))

    def sdf_poses(self):
        from rdkit import Chem
        poses = Chem.SDMolSupplier(data_path("poses_cdk2_five.sdf"), removeHs=False)
        # An SDF atom's number is its position in the record.
        return [(p, {i + 1: i for i in range(p.GetNumAtoms())}) for p in poses]

    def test_sdf_poses_by_element_and_name(self):
        for mode in ("ELEMENT", "NAME"):
            self.check_poses("sdf_cdk2_three.sdf", "poses_cdk2_five.sdf", mode, self.sdf_poses())

    def test_pdbqt_poses_by_element(self):
        from rdkit import Chem
        with open(data_path("pdbqt_cdk2_vina_nine.pdbqt")) as f:
            models = f.read().split("ENDMDL")[:-1]
        poses = []
        for model in models:
            atoms = [line[:66] for line in model.splitlines()
                     if line.startswith(("ATOM", "HETATM"))]
            mol = Chem.MolFromPDBBlock("\n".join(atoms) + "\nEND\n", sanitize=False,
                                       removeHs=False, proximityBonding=False)
            poses.append((mol, {int(line[6:11]): i for i, line in enumerate(atoms)}))
        self.check_poses(CRYSTAL, "pdbqt_cdk2_vina_nine.pdbqt", "ELEMENT", poses)


if __name__ == "__main__":
    interop.main()
