# The chemistry Kestrum writes for a ligand that no template knows, read back by RDKit: the
# HIV-1 protease inhibitor of PDB entry 1HPV, carried with its protein and waters.
import shutil
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
import interop  # noqa: E402
from interop import data_path, parse_mol2, run_kestrum  # noqa: E402
from rdkit import Chem  # noqa: E402

# The inhibitor (residue 478, VX-478): a carbamate, a sulfonamide, an aniline and a phenyl ring.
INHIBITOR = "CC(C)CN(CC(O)C(Cc1ccccc1)NC(=O)OC1CCOC1)S(=O)(=O)c1ccc(N)cc1"


def formal_charges(path):
    """Formal charges of the UNITY_ATOM_ATTR section, by atom index from 0."""
    with open(path) as f:
        lines = f.read().split("\n")
    charges, inside = {}, False
    for i, line in enumerate(lines):
        if line.startswith("@<TRIPOS>"):
            inside = line.startswith("@<TRIPOS>UNITY_ATOM_ATTR")
            continue
        words = line.split()
        if inside and len(words) == 2 and words[0] == "charge":
            charges[int(lines[i - 1].split()[0]) - 1] = int(float(words[1]))
    return charges


def residue_as_rdkit_reads_it(path, keep):
    """The atoms `keep` (indices) of a MOL2 file without hydrogens, as RDKit reads them: the
    file's bonds and orders, implicit hydrogens and the formal charges the file states."""
    whole = Chem.MolFromMol2File(path, sanitize=False, removeHs=False)
    charges = formal_charges(path)
    part = Chem.RWMol(whole)
    for index in sorted(set(range(whole.GetNumAtoms())) - set(keep), reverse=True):
        part.RemoveAtom(index)
    for atom, index in zip(part.GetAtoms(), sorted(keep)):
        atom.SetNoImplicit(False)
        atom.SetNumRadicalElectrons(0)
        atom.SetFormalCharge(charges.get(index, 0))
    Chem.SanitizeMol(part)
    return part


class CarriedInhibitor(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="kestrum_chemistry_")
        entry = data_path("pdb_1hpv.pdb.gz")
        run = run_kestrum(["-r", entry, "-c", entry, "-a", entry, "-p", cls.work + "/"],
                          cwd=cls.work)
        if run.status != 0 or len(run.written()) != 1:
            raise AssertionError("Kestrum failed:\n%s%s" % (run.out, run.err))
        cls.path = run.written()[0]
        cls.mol2 = parse_mol2(cls.path)
        cls.ligand = [i for i, atom in enumerate(cls.mol2.atoms) if atom.subst_name == "478200"]

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def types(self):
        return {self.mol2.atoms[i].name: self.mol2.atoms[i].type for i in self.ligand}

    def test_rings_carbonyl_and_sulfonyl_typed(self):
        types = self.types()
        self.assertEqual(len(types), 35)
        for ring in (range(8, 14), range(17, 23)):
            self.assertEqual({types["C%d" % i] for i in ring}, {"C.ar"}, types)
        self.assertEqual((types["C3"], types["O2"]), ("C.2", "O.2"))  # the carbamate C=O
        self.assertEqual((types["S1"], types["O4"], types["O5"]), ("S.o2", "O.2", "O.2"))
        self.assertEqual((types["N1"], types["N3"]), ("N.am", "N.pl3"))
        self.assertEqual((types["O1"], types["O3"], types["O6"]), ("O.3", "O.3", "O.3"))

    def test_rdkit_reads_a_neutral_inhibitor(self):
        mol = residue_as_rdkit_reads_it(self.path, self.ligand)
        self.assertEqual(Chem.GetFormalCharge(mol), 0)
        self.assertEqual(sum(a.GetNumRadicalElectrons() for a in mol.GetAtoms()), 0)
        self.assertEqual(Chem.MolToSmiles(mol), Chem.MolToSmiles(Chem.MolFromSmiles(INHIBITOR)))

    def test_inhibitor_not_bonded_to_protein_or_water(self):
        ligand = set(self.ligand)
        for first, second, _ in self.mol2.bonds:
            self.assertEqual(first in ligand, second in ligand,
                             (self.mol2.atoms[first].name, self.mol2.atoms[second].name))


if __name__ == "__main__":
    interop.main()
