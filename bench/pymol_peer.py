#!/usr/bin/python3
"""The benchmark's peer for scenario A, in PyMOL: fit the comparison ligand onto the reference
ligand by atom names (heavy atoms, as Kestrum pairs them) with pair_fit, apply the fitted object
matrix to the protein and save the moved protein as MOL2.

    pymol_peer.py REF_LIGAND COMP_LIGAND PROTEIN OUTPUT.mol2
"""
import sys

from pymol2 import PyMOL


def main():
    ref, comp, protein, output = sys.argv[1:5]
    session = PyMOL()
    session.start()
    cmd = session.cmd
    cmd.load(ref, "ref")
    cmd.load(comp, "comp")
    cmd.load(protein, "prot")

    names = {"ref": set(), "comp": set()}
    for obj in names:
        cmd.iterate("%s and not elem H" % obj, "names.add(name)", space={"names": names[obj]})
    pairs = []
    for name in sorted(names["ref"] & names["comp"]):
        pairs += ["comp and name %s" % name, "ref and name %s" % name]
    rmsd = cmd.pair_fit(*pairs, quiet=1)

    cmd.transform_object("prot", cmd.get_object_matrix("comp"))
    cmd.save(output, "prot")
    print("PyMOL pair_fit: %d pairs, RMSD %.6f" % (len(pairs) // 2, rmsd))
    session.stop()


if __name__ == "__main__":
    main()
