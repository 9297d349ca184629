# Shared helpers of the interoperability suite: running Kestrum, reading its MOL2 output for the
# truth, and asking Open Babel and RDKit what they read from the same file.
import argparse
import logging
import math
import os
import re
import shutil
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True

# Coordinates are written with four decimals: a toolkit must give back the written value.
COORD_TOLERANCE = 1e-4

# What Open Babel says on its error stream after reading one molecule without complaint.
OBABEL_DONE = "1 molecule converted"

# Why some messages are not faults of the file. Each is allowed only under its condition.
NO_HYDROGENS = ("RDKit warns for every MOL2 molecule that holds no hydrogen atom (X-ray "
                "structures hold none); the warning is about the content, not the format")
HIDDEN_RING_HYDROGEN = ("an aromatic ring with a nitrogen and no hydrogen in the whole file: the "
                        "ring's N-H (TRP NE1, HIS ND1 or NE2) is not in the input, and a MOL2 "
                        "atom has no hydrogen count, so no toolkit can kekulize the ring")
REBUILT_GUANIDINIUM = ("RDKit builds an amidinium or guanidinium from the C.cat type: it puts "
                       "the double bond and the charge where it likes, whatever the file says")
ALTERNATE_SITES = ("every site of an alternate location is an atom (MOL2 has no alternate "
                   "locations), so the atom where the sites branch off is bonded to each of them; "
                   "RDKit refuses the valence that adds up to")
TYPE_AS_READ = ("the input MOL2 file (a CSD entry) spells bromine's type BR; types are written as "
                "they were read, and RDKit knows the element only as Br")
RING_NITROGEN_AS_READ = ("Open Babel's own MOL2 file types the protonated histidine nitrogen N.ar "
                         "with its hydrogen; types are written as they were read, and RDKit "
                         "cannot kekulize a ring whose N.ar bears a hydrogen")
RDKIT_NO_HYDROGENS = re.compile(
    r"Warning - no explicit hydrogens in mol2 file but needed for formal charge estimation")
OBABEL_KEKULIZE = re.compile(r"Failed to kekulize aromatic bonds in MOL2 file")


class Options:
    kestrum = None
    data = None
    example = None


def parse_options():
    """Reads --kestrum, --data and --example; leaves the rest to unittest."""
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--kestrum", required=True, help="the Kestrum executable")
    parser.add_argument("--data", required=True, help="tests/data")
    parser.add_argument("--example", required=True, help="the bundled example directory")
    known, rest = parser.parse_known_args()
    Options.kestrum = os.path.abspath(known.kestrum)
    Options.data = os.path.abspath(known.data)
    Options.example = os.path.abspath(known.example)
    return [sys.argv[0]] + rest


def require_toolkits():
    """Both toolkits must be there: a missing one fails the run, it never skips a test."""
    missing = []
    if shutil.which("obabel") is None:
        missing.append("openbabel (the obabel command)")
    try:
        import rdkit  # noqa: F401
    except ImportError:
        missing.append("python3-rdkit (for %s)" % sys.executable)
    if missing:
        sys.stderr.write("Interoperability tests need: %s. scripts/test.sh installs them when run "
                         "as root; otherwise: sudo apt-get install openbabel python3-rdkit\n"
                         % ", ".join(missing))
        sys.exit(1)


def main():
    argv = parse_options()
    require_toolkits()
    unittest.main(argv=argv, verbosity=2)


def data_path(name):
    return os.path.join(Options.data, name)


def example_path(name):
    return os.path.join(Options.example, name)


class Run:
    def __init__(self, status, out, err):
        self.status, self.out, self.err = status, out, err

    def written(self):
        """Output paths announced on the standard output, in order."""
        prefix = "Path of the outputed file : "
        return [line[len(prefix):] for line in self.out.splitlines() if line.startswith(prefix)]


def run_kestrum(args, cwd):
    proc = subprocess.run([Options.kestrum] + list(args), cwd=cwd, capture_output=True,
                          text=True, timeout=600)
    return Run(proc.returncode, proc.stdout, proc.stderr)


# ---- The MOL2 file as written: the truth every reader is held to ----

class Mol2Atom:
    def __init__(self, number, name, xyz, mol2type, subst_id, subst_name):
        self.number, self.name, self.xyz, self.type = number, name, xyz, mol2type
        self.subst_id, self.subst_name = subst_id, subst_name

    @property
    def element(self):
        """The element a Tripos type names: the text before the dot ("C.ar" is carbon)."""
        symbol = self.type.split(".")[0].capitalize()
        return "*" if symbol == "Du" else symbol


class Mol2:
    def __init__(self):
        self.name = None
        self.counts = None  # atoms, bonds, substructures as announced
        self.atoms = []
        self.bonds = []  # (first index, second index, type word), indices in file order
        self.substructures = []

    def has_hydrogens(self):
        return any(atom.element == "H" for atom in self.atoms)

    def has_aromatic_nitrogen_ring(self):
        for first, second, kind in self.bonds:
            if kind == "ar" and "N" in (self.atoms[first].element, self.atoms[second].element):
                return True
        return False

    def cationic_carbon_bonds(self):
        """Bonds between a C.cat carbon and a nitrogen, as (i, j) with i < j."""
        found = set()
        for first, second, _ in self.bonds:
            a, b = self.atoms[first], self.atoms[second]
            if (a.type == "C.cat" and b.element == "N") or (b.type == "C.cat" and a.element == "N"):
                found.add((min(first, second), max(first, second)))
        return found

    def hidden_ring_hydrogen(self):
        """Whether the file cannot say which ring nitrogen carries a hydrogen (see above)."""
        return not self.has_hydrogens() and self.has_aromatic_nitrogen_ring()


def parse_mol2(path):
    """Reads a MOL2 file written by Kestrum, checking the layout a reader relies on."""
    mol = Mol2()
    section = None
    header = []
    number_to_index = {}
    with open(path) as f:
        lines = f.read().split("\n")
    for line in lines:
        if line.startswith("@<TRIPOS>"):
            section = line.strip()
            continue
        if line.startswith("#") or not line.strip():
            continue
        words = line.split()
        if section == "@<TRIPOS>MOLECULE":
            header.append(line)
        elif section == "@<TRIPOS>ATOM":
            if len(words) < 9:
                raise AssertionError("%s: short ATOM record %r" % (path, line))
            number = int(words[0])
            if number in number_to_index:
                raise AssertionError("%s: atom number %d twice" % (path, number))
            number_to_index[number] = len(mol.atoms)
            xyz = tuple(float(w) for w in words[2:5])
            mol.atoms.append(Mol2Atom(number, words[1], xyz, words[5], int(words[6]), words[7]))
        elif section == "@<TRIPOS>BOND":
            if len(words) != 4:
                raise AssertionError("%s: BOND record %r" % (path, line))
            first, second = int(words[1]), int(words[2])
            if first not in number_to_index or second not in number_to_index:
                raise AssertionError("%s: bond to a missing atom: %r" % (path, line))
            mol.bonds.append((number_to_index[first], number_to_index[second], words[3]))
        elif section == "@<TRIPOS>SUBSTRUCTURE":
            mol.substructures.append(words)
    if len(header) < 2:
        raise AssertionError("%s: no MOLECULE record" % path)
    mol.name = header[0].strip()
    mol.counts = [int(w) for w in header[1].split()]
    if mol.counts[0] != len(mol.atoms) or mol.counts[1] != len(mol.bonds):
        raise AssertionError("%s: announces %s, holds %d atoms and %d bonds"
                             % (path, mol.counts[:2], len(mol.atoms), len(mol.bonds)))
    if mol.counts[2] != len(mol.substructures) and not (
            len(mol.substructures) == 1 and mol.substructures[0][1] == "****"):
        raise AssertionError("%s: announces %d substructures, holds %d"
                             % (path, mol.counts[2], len(mol.substructures)))
    return mol


# Bond orders a reader may give for each written bond type: "am" is a single bond; an aromatic
# bond may come back aromatic, or single or double once a reader has kekulized it.
ORDERS = {"1": {1}, "2": {2}, "3": {3}, "am": {1}, "ar": {1, 2, 4}}


def distance(a, b):
    return math.sqrt(sum((p - q) ** 2 for p, q in zip(a, b)))


class ReaderChecks:
    """Mixin for unittest cases: each toolkit reads a file and must report what was written."""

    def check_read(self, who, truth, elements, coords, bonds, names=None, perceived=False,
                   rebuilt=()):
        """`bonds` maps (i, j) with i < j to a set of orders (4 for aromatic). With `perceived`,
        the reader has found aromatic rings on its own: a bond it calls aromatic may have been
        written single, double, amide or aromatic. The orders of the bonds in `rebuilt` are the
        reader's own (see REBUILT_GUANIDINIUM) and are not compared."""
        self.assertEqual(len(elements), len(truth.atoms), "%s: number of atoms" % who)
        for i, atom in enumerate(truth.atoms):
            self.assertEqual(elements[i], atom.element,
                             "%s: element of atom %d (%s)" % (who, atom.number, atom.name))
            self.assertLessEqual(distance(coords[i], atom.xyz), COORD_TOLERANCE,
                                 "%s: coordinates of atom %d (%s): %s, written %s"
                                 % (who, atom.number, atom.name, coords[i], atom.xyz))
            if names is not None:
                self.assertEqual(names[i], atom.name, "%s: name of atom %d" % (who, atom.number))
        written = {}
        for first, second, kind in truth.bonds:
            key = (min(first, second), max(first, second))
            self.assertNotIn(key, written, "%s: bond %s written twice" % (who, key))
            written[key] = kind
        self.assertEqual(set(bonds), set(written), "%s: bonded pairs" % who)
        for key, kind in written.items():
            if perceived and 4 in bonds[key] and kind in ("1", "2", "am", "ar"):
                continue
            if kind in ORDERS and key not in rebuilt:
                self.assertTrue(bonds[key] & ORDERS[kind],
                                "%s: bond %d-%d written %s, read as %s"
                                % (who, truth.atoms[key[0]].number, truth.atoms[key[1]].number,
                                   kind, sorted(bonds[key])))

    def check_obabel(self, path, truth, workdir):
        """obabel converts the file to SDF (V3000: any atom count) without a word of complaint."""
        sdf = os.path.join(workdir, os.path.basename(path) + ".sdf")
        proc = subprocess.run(["obabel", "-imol2", path, "-osdf", "-x3", "-O", sdf],
                              capture_output=True, text=True, timeout=600)
        messages = [line for line in proc.stderr.splitlines() if line.strip()]
        self.assertEqual(proc.returncode, 0, "obabel failed: %s" % proc.stderr)
        self.assertIn(OBABEL_DONE, messages, "obabel: %s" % proc.stderr)
        messages.remove(OBABEL_DONE)
        complaints = "\n".join(messages)
        if truth.hidden_ring_hydrogen():  # allowed: HIDDEN_RING_HYDROGEN
            complaints = "\n".join(
                block for block in re.split(r"=+\n", complaints)
                if block.strip() and not OBABEL_KEKULIZE.search(block))
        self.assertEqual(complaints.strip(), "", "obabel complained about %s" % path)
        elements, coords, bonds = read_sdf_v3000(sdf)
        self.check_read("obabel", truth, elements, coords, bonds)

    def check_rdkit(self, path, truth, sanitize):
        from rdkit import Chem
        with RDKitLog() as log:
            mol = Chem.MolFromMol2File(path, sanitize=sanitize, removeHs=False)
        messages = rdkit_complaints(log.messages, truth)
        who = "RDKit (sanitize=%s)" % sanitize
        self.assertEqual(messages, [], "%s complained about %s" % (who, path))
        self.assertIsNotNone(mol, "%s refused %s" % (who, path))
        position = mol.GetConformer().GetPositions()
        elements = [atom.GetSymbol() for atom in mol.GetAtoms()]
        names = [atom.GetProp("_TriposAtomName") for atom in mol.GetAtoms()]
        bonds = {}
        for bond in mol.GetBonds():
            i, j = sorted((bond.GetBeginAtomIdx(), bond.GetEndAtomIdx()))
            order = 4 if bond.GetIsAromatic() else int(bond.GetBondTypeAsDouble())
            bonds[(i, j)] = {order}
        # Sanitizing perceives aromaticity on its own terms: a ring written with alternating
        # single and double bonds comes back aromatic.
        self.check_read(who, truth, elements, [tuple(p) for p in position], bonds, names,
                        perceived=sanitize, rebuilt=truth.cationic_carbon_bonds())


def rdkit_complaints(messages, truth):
    """RDKit's messages, one per statement, less those allowed for this file. RDKit logs some
    statements in pieces ("sanitise ", then the molecule's name and ": ", then the text), each
    with its own time stamp; the pieces are dropped, the statement they introduce is kept."""
    text = re.sub(r"\[\d\d:\d\d:\d\d\]", "\n", "\n".join(messages))
    complaints = []
    for part in (p.strip() for p in text.split("\n")):
        if not part or part == "sanitise" or (part.endswith(":") and " - " not in part):
            continue
        if not truth.has_hydrogens() and RDKIT_NO_HYDROGENS.search(part):  # NO_HYDROGENS
            continue
        complaints.append(part)
    return complaints


def read_sdf_v3000(path):
    elements, coords, bonds = [], [], {}
    section = None
    with open(path) as f:
        for line in f:
            if not line.startswith("M  V30 "):
                continue
            words = line.split()[2:]
            if words[0] in ("BEGIN", "END"):
                section = words[1] if words[0] == "BEGIN" else None
            elif section == "ATOM":
                elements.append("*" if words[1] in ("*", "Du", "R#") else words[1])
                coords.append(tuple(float(w) for w in words[2:5]))
            elif section == "BOND":
                i, j = sorted((int(words[2]) - 1, int(words[3]) - 1))
                bonds[(i, j)] = {int(words[1])}
    return elements, coords, bonds


class RDKitLog:
    """Collects what RDKit logs (errors, warnings, info) while the block runs."""

    class _Handler(logging.Handler):
        def __init__(self, sink):
            super().__init__(logging.DEBUG)
            self.sink = sink

        def emit(self, record):
            self.sink.append(record.getMessage().strip())

    def __enter__(self):
        from rdkit import rdBase
        rdBase.LogToPythonLogger()
        self.messages = []
        self.logger = logging.getLogger("rdkit")
        # RDKit's own handler would print the same messages again; it is put back afterwards.
        self.saved = list(self.logger.handlers)
        for handler in self.saved:
            self.logger.removeHandler(handler)
        self.handler = self._Handler(self.messages)
        self.logger.addHandler(self.handler)
        self.logger.setLevel(logging.DEBUG)
        self.logger.propagate = False
        return self

    def __exit__(self, *exc):
        self.logger.removeHandler(self.handler)
        for handler in self.saved:
            self.logger.addHandler(handler)
        return False
