#!/usr/bin/python3
"""The benchmark's RDKit peer for many poses: the heavy-atom RMSD of each pose of an SDF file
against a crystal pose after the best fit over the molecule's symmetries (GetBestRMS), all in
one Python process, one line per pose.

    rdkit_best_rms.py CRYSTAL.sdf POSES.sdf
"""
import sys

from rdkit import Chem
from rdkit.Chem import rdMolAlign


def main():
    crystal = Chem.RemoveHs(Chem.MolFromMolFile(sys.argv[1]))
    for pose in Chem.SDMolSupplier(sys.argv[2]):
        print("%.6f" % rdMolAlign.GetBestRMS(Chem.RemoveHs(pose), crystal))


if __name__ == "__main__":
    main()
