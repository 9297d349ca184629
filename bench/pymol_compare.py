#!/usr/bin/python3
"""Kestrum's pairing by residue and by sequence checked against PyMOL (Debian python3-pymol).

    pymol_compare.py KESTRUM REFERENCE COMPARISON RENUMBERED

COMPARISON holds a structure of the reference's protein numbered as the reference; RENUMBERED a
structure numbered differently. Prints:
- by residue: whether the pairs Kestrum forms are the heavy atoms PyMOL matches by chain, residue
  number and insertion code, residue name, atom name and alternate site (the same letter first,
  else a blank), one pair per atom; and the RMSD of PyMOL's pair_fit over the pairs Kestrum
  keeps, against Kestrum's;
- by sequence: the RMSD, over the alpha carbons of RENUMBERED, between the placement Kestrum's
  transform gives and the one PyMOL's align gives.
"""
import math
import subprocess
import sys

from pymol2 import PyMOL


def kestrum(binary, reference, comparison, mode):
    """Kestrum's output with -l -m: the RMSD, the transform, and the pairs as (reference id,
    comparison id, kept)."""
    out = subprocess.run([binary, "-r", reference, "-c", comparison, "-g", mode, "-l", "-m"],
                         check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         universal_newlines=True).stdout
    rmsd, rows, translation, pairs = None, [], None, []
    for line in out.splitlines():
        if line.startswith("RMSD : "):
            rmsd = float(line.split()[-1])
        elif line.startswith("Rotation row"):
            rows.append([float(v) for v in line.split(":")[1].split()])
        elif line.startswith("Translation"):
            translation = [float(v) for v in line.split(":")[1].split()]
        elif line.startswith("Pair "):
            fields = line.split("\t")
            ids = [int(f.split("(")[1].split(")")[0]) for f in fields[1:3]]
            pairs.append((ids[0], ids[1], fields[-1] == "kept"))
    return rmsd, rows, translation, pairs


def heavy_atoms(cmd, name):
    atoms = []
    cmd.iterate("%s and not elem H" % name,
                "atoms.append((chain, resi, resn, name, alt, ID))", space={"atoms": atoms})
    return atoms


def residue_matched(cmd):
    """The pairs of heavy atoms PyMOL's atoms match by residue key, as (reference id,
    comparison id)."""
    by_key = {}
    for chain, resi, resn, name, alt, ident in heavy_atoms(cmd, "comp"):
        by_key.setdefault((chain, resi, resn, name), []).append((alt, ident))
    used, pairs = set(), []
    for chain, resi, resn, name, alt, ident in heavy_atoms(cmd, "ref"):
        candidates = [c for c in by_key.get((chain, resi, resn, name), []) if c[1] not in used]
        same = [c for c in candidates if c[0] == alt]
        blank = [c for c in candidates if not alt or not c[0]]
        chosen = same or blank
        if chosen:
            used.add(chosen[0][1])
            pairs.append((ident, chosen[0][1]))
    return pairs


def main():
    binary, reference, comparison, renumbered = sys.argv[1:5]
    session = PyMOL()
    session.start()
    cmd = session.cmd
    cmd.load(reference, "ref")
    cmd.load(comparison, "comp")

    rmsd, _, _, pairs = kestrum(binary, reference, comparison, "RESIDUE")
    matched = residue_matched(cmd)
    formed = [(r, c) for r, c, _ in pairs]
    print("RESIDUE: %d pairs formed by Kestrum, %d matched in PyMOL: %s"
          % (len(formed), len(matched), "the same pairs" if sorted(formed) == sorted(matched)
             else "DIFFERENT pairs"))
    # pair_fit pairs two selections atom by atom in the objects' order: the kept pairs must
    # come in the same order in both.
    kept = [(r, c) for r, c, k in pairs if k]
    order = {}
    cmd.iterate("ref or comp", "order[(model, ID)] = index", space={"order": order})
    kept.sort(key=lambda p: order[("ref", p[0])])
    comparison_order = [order[("comp", c)] for _, c in kept]
    if comparison_order != sorted(comparison_order):
        sys.exit("the kept pairs come in another order in the comparison: not compared")
    for name, model, ids in (("kept_ref", "ref", [r for r, _ in kept]),
                             ("kept_comp", "comp", [c for _, c in kept])):
        cmd.select(name, "none")
        for k in range(0, len(ids), 200):
            cmd.select(name, "%s or (%s and id %s)"
                       % (name, model, "+".join(str(i) for i in ids[k:k + 200])))
    fitted = cmd.pair_fit("kept_comp", "kept_ref", quiet=1)
    print("RESIDUE: %d pairs kept; RMSD Kestrum %.6f, PyMOL pair_fit on the kept pairs %.6f,"
          " difference %.2e" % (len(kept), rmsd, fitted, abs(rmsd - fitted)))

    cmd.load(renumbered, "moved")
    _, rows, t, _ = kestrum(binary, reference, renumbered, "SEQUENCE")
    before = cmd.get_model("moved and name CA and not hetatm").atom
    by_kestrum = [[sum(rows[i][k] * a.coord[k] for k in range(3)) + t[i] for i in range(3)]
                  for a in before]
    result = cmd.align("moved", "ref")
    after = cmd.get_model("moved and name CA and not hetatm").atom
    deviation = math.sqrt(sum(sum((p[k] - a.coord[k]) ** 2 for k in range(3))
                              for p, a in zip(by_kestrum, after)) / len(after))
    print("SEQUENCE: placement of %d alpha carbons, Kestrum against PyMOL align (RMSD %.3f over"
          " %d atoms): RMSD %.4f A" % (len(after), result[0], result[1], deviation))
    session.stop()


if __name__ == "__main__":
    main()
