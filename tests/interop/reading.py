# Open Babel and RDKit read every MOL2 file Kestrum writes in realistic runs and find in it the
# atoms, elements, bonds and coordinates Kestrum wrote.
import os
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
import interop  # noqa: E402
from interop import data_path, example_path, parse_mol2, run_kestrum  # noqa: E402

# The bundled example's fit: a docked ligand onto its crystal pose, by atom names.
EXAMPLE_FIT = ["-r", None, "-c", None, "-g", "NAME"]


def example_fit():
    args = list(EXAMPLE_FIT)
    args[1] = example_path("ref_ligand.pdb")
    args[3] = example_path("comp_ligand.pdb")
    return args


def carry(test, inputs, outdir):
    """Runs the example fit carrying `inputs` into `outdir`; returns the written paths."""
    os.makedirs(outdir, exist_ok=True)
    run = run_kestrum(example_fit() + ["-a"] + inputs + ["-p", outdir], cwd=outdir)
    test.assertEqual(run.status, 0, "Kestrum failed:\n%s%s" % (run.out, run.err))
    written = run.written()
    test.assertEqual(len(written), len(inputs), run.out)
    return [os.path.join(outdir, path) if not os.path.isabs(path) else path for path in written]


def split_mol2(path, outdir):
    """One file per molecule of a multi-molecule MOL2 file, named after the molecule."""
    with open(path) as f:
        text = f.read()
    chunks = text.split("@<TRIPOS>MOLECULE")[1:]
    paths = []
    for chunk in chunks:
        name = chunk.split("\n")[1].strip()
        out = os.path.join(outdir, "small_%s.mol2" % name)
        with open(out, "w") as f:
            f.write("@<TRIPOS>MOLECULE" + chunk)
        paths.append(out)
    return paths


def obabel_mol2(source, out):
    """A MOL2 file as another program writes it: Open Babel's conversion of a PDB file."""
    proc = subprocess.run(["obabel", source, "-omol2", "-O", out], capture_output=True,
                          text=True, timeout=300)
    if proc.returncode != 0 or not os.path.exists(out):
        raise AssertionError("obabel could not convert %s: %s" % (source, proc.stderr))
    return out


class ToolkitsRead(interop.ReaderChecks):
    """Tests shared by the cases below, which fill `cls.outputs` with (label, written path,
    input path) triples."""

    outputs = []

    def each_output(self, check):
        self.assertTrue(self.outputs)
        for label, path, _ in self.outputs:
            with self.subTest(file=label):
                check(path, parse_mol2(path))

    def test_obabel_reads_every_file(self):
        self.each_output(lambda path, truth: self.check_obabel(path, truth, self.tmp.name))

    # Files whose chemistry RDKit cannot take for a reason written next to each: part of the
    # output's name, the reason (interop.py), what RDKit then says, and whether it says so
    # already without sanitizing.
    known_faults = {}

    def refused(self, path, truth, sanitize):
        """Whether RDKit is allowed to refuse the file; checks that it refuses it as known."""
        for part, (reason, refusal, unsanitized) in self.known_faults.items():
            if part in os.path.basename(path) and (sanitize or unsanitized):
                with self.assertRaises(AssertionError, msg=reason) as caught:
                    self.check_rdkit(path, truth, sanitize=sanitize)
                self.assertRegex(str(caught.exception), refusal)
                return True
        return False

    def test_rdkit_reads_every_file_unsanitized(self):
        def check(path, truth):
            if not self.refused(path, truth, sanitize=False):
                self.check_rdkit(path, truth, sanitize=False)
        self.each_output(check)

    def test_rdkit_sanitizes_every_file_whose_chemistry_is_complete(self):
        def check(path, truth):
            if truth.hidden_ring_hydrogen():  # see interop.HIDDEN_RING_HYDROGEN
                return
            if not self.refused(path, truth, sanitize=True):
                self.check_rdkit(path, truth, sanitize=True)
        self.each_output(check)

    def test_no_ring_dummy_is_written(self):
        for label, path, _ in self.outputs:
            with self.subTest(file=label):
                for atom in parse_mol2(path).atoms:
                    self.assertNotIn(atom.name, ("DuCy", "DUAr"), label)
                    self.assertNotEqual(atom.type, "Du", "%s: atom %d" % (label, atom.number))


class PdbDerivedFiles(ToolkitsRead, unittest.TestCase):
    """Proteins with ligands, waters, alternate locations, two chains; with hydrogens and
    without; then the same MOL2 outputs carried a second time, read back as MOL2."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="kestrum_interop_")
        inputs = [
            example_path("comp_protein.pdb"),    # 4334 atoms with hydrogens, TRP, HIS variants
            example_path("comp_ligand.pdb"),     # docked ligand with hydrogens
            data_path("pdb_il2_fragments.pdb"),  # the twenty amino acids with hydrogens
            data_path("interop_3al1.pdb"),       # two chains, waters, ligands, alternate sites
            data_path("interop_5dpv.pdb"),       # X-ray: no hydrogens, ligands, waters, altlocs
            data_path("e2e_1c9_4i24.pdb"),       # a ligand alone, no hydrogens
            data_path("e2e_acp_chain_b.pdb"),    # a nucleotide analogue with phosphates
            data_path("pdb_helix_amber.pdb"),    # Amber names: HID, HIE, HIP, CYX, ACE, NME
            data_path("cif_3al1_gemmi.cif"),     # mmCIF (gemmi's conversion of 3AL1)
            data_path("cif_5dpv_gemmi.cif.gz"),  # compressed mmCIF: ligands bonded by distance
        ]
        case = unittest.TestCase()
        first = carry(case, inputs, os.path.join(cls.tmp.name, "first"))
        # MOL2 input: several substructures, aromatic bonds, rings found and their dummies
        # left out again.
        second = carry(case, first, os.path.join(cls.tmp.name, "second"))
        cls.outputs = [(os.path.basename(p), p, i) for p, i in zip(first, inputs)]
        cls.outputs += [("again " + os.path.basename(p), p, i) for p, i in zip(second, first)]

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    known_faults = {
        "3al1": (interop.ALTERNATE_SITES,
                 r"Explicit valence for atom # \d+ C, 5, is greater than permitted", False),
        "5dpv": (interop.ALTERNATE_SITES,
                 r"Explicit valence for atom # \d+ C, 5, is greater than permitted", False),
    }

    def test_cases_cover_what_they_claim(self):
        files = {label: parse_mol2(path) for label, path, _ in self.outputs}
        self.assertGreaterEqual(len(files["rot_interop_3al1.mol2"].substructures), 40)
        chains = {words[5] for words in files["rot_interop_3al1.mol2"].substructures}
        self.assertTrue({"A", "B"} <= chains, chains)
        waters = [w for w in files["rot_interop_5dpv.mol2"].substructures if w[1][:3] == "HOH"]
        self.assertGreaterEqual(len(waters), 30)
        self.assertTrue(any(kind == "ar" for _, _, kind in files["rot_comp_protein.mol2"].bonds))
        # An X-ray structure: no hydrogen at all, and its TRP and HIS rings read all the same.
        self.assertFalse(files["rot_interop_5dpv.mol2"].has_hydrogens())
        self.assertFalse(files["rot_interop_5dpv.mol2"].hidden_ring_hydrogen())
        self.assertFalse(files["rot_comp_protein.mol2"].hidden_ring_hydrogen())

    def test_mol2_read_back_keeps_every_atom_and_bond(self):
        """A ring's centroid dummy, added when the MOL2 file is read, is not written."""
        for label, path, source in self.outputs:
            if not source.endswith(".mol2"):
                continue
            with self.subTest(file=label):
                before, after = parse_mol2(source), parse_mol2(path)
                self.assertEqual(len(after.atoms), len(before.atoms))
                self.assertEqual([a.name for a in after.atoms], [a.name for a in before.atoms])
                self.assertEqual(len(after.bonds), len(before.bonds))


class Mol2Ligands(ToolkitsRead, unittest.TestCase):
    """Small molecules read from MOL2 files: Cambridge Structural Database entries (charges,
    amide bonds, triple bonds, sulfur, bromine) and Open Babel's own MOL2 files with aromatic
    bonds and aromatic nitrogens carrying hydrogens."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="kestrum_interop_")
        inputs_dir = os.path.join(cls.tmp.name, "inputs")
        os.makedirs(inputs_dir)
        inputs = [data_path("mol2_ligand_amptrb10.mol2")]
        inputs += split_mol2(data_path("mol2_small_molecules.mol2"), inputs_dir)
        inputs.append(obabel_mol2(example_path("comp_ligand.pdb"),
                                  os.path.join(inputs_dir, "ob_docked_ligand.mol2")))
        inputs.append(obabel_mol2(data_path("pdb_il2_fragments.pdb"),
                                  os.path.join(inputs_dir, "ob_il2_fragments.mol2")))
        written = carry(unittest.TestCase(), inputs, os.path.join(cls.tmp.name, "out"))
        cls.outputs = [(os.path.basename(p), p, i) for p, i in zip(written, inputs)]

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    known_faults = {
        "BBSPRT10": (interop.TYPE_AS_READ, r"Element 'BR' not found", True),
        "ob_il2_fragments": (interop.RING_NITROGEN_AS_READ, r"Can't kekulize mol", False),
    }

    def test_every_atom_and_bond_of_the_input_is_written(self):
        for label, path, source in self.outputs:
            with self.subTest(file=label):
                before, after = parse_mol2(source), parse_mol2(path)
                self.assertEqual([a.name for a in after.atoms], [a.name for a in before.atoms])
                self.assertEqual([a.element for a in after.atoms],
                                 [a.element for a in before.atoms])
                self.assertEqual(len(after.bonds), len(before.bonds))

    def test_cases_cover_what_they_claim(self):
        self.assertEqual(len(self.outputs), 19)
        kinds = {kind for _, path, _ in self.outputs for _, _, kind in parse_mol2(path).bonds}
        self.assertTrue({"1", "2", "3", "am", "ar"} <= kinds, kinds)


if __name__ == "__main__":
    interop.main()
