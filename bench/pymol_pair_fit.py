#!/usr/bin/python3
"""The benchmark's peer for scenario E, in PyMOL: fit the comparison structure onto the
reference with pair_fit over their heavy atoms. Both files list the same atoms in the same
order, so PyMOL's pairing in atom order pairs them by atom number, as Kestrum's -g ID does.

    pymol_pair_fit.py REFERENCE COMPARISON
"""
import sys

from pymol2 import PyMOL


def main():
    ref, comp = sys.argv[1:3]
    session = PyMOL()
    session.start()
    cmd = session.cmd
    cmd.load(ref, "ref")
    cmd.load(comp, "comp")
    pairs = cmd.count_atoms("ref and not elem H")
    rmsd = cmd.pair_fit("comp and not elem H", "ref and not elem H", quiet=1)
    print("PyMOL pair_fit: %d pairs, RMSD %.6f" % (pairs, rmsd))
    session.stop()


if __name__ == "__main__":
    main()
