#!/usr/bin/python3
"""RDKit's peer of scenario M: CalcRMS of every pose of an SDF file against a reference, heavy
atoms only, in one Python process; prints one value per pose.

    rdkit_calcrms.py REFERENCE.sdf POSES.sdf
"""
import sys

from rdkit import Chem, RDLogger
from rdkit.Chem import rdMolAlign

RDLogger.DisableLog("rdApp.*")
reference = Chem.RemoveHs(Chem.MolFromMolFile(sys.argv[1]))
for pose in Chem.SDMolSupplier(sys.argv[2]):
    print("%.8f" % rdMolAlign.CalcRMS(Chem.RemoveHs(pose), reference))
