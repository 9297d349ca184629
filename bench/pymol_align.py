#!/usr/bin/python3
"""The benchmark's peer for pairing by residue and by sequence, in PyMOL: align the comparison
structure onto the reference (a sequence alignment, then a fit with outlier rejection).

    pymol_align.py REFERENCE COMPARISON
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
    result = cmd.align("comp", "ref", quiet=1)
    print("PyMOL align: RMSD %.6f over %d atoms" % (result[0], result[1]))
    session.stop()


if __name__ == "__main__":
    main()
