#!/usr/bin/python3
"""Runs the benchmark scenarios and prints one table: median wall time and peak resident memory
of Kestrum, of the floor program and of PyMOL, and the ratios that the targets bound.

    bench.py --kestrum PATH --floor PATH --work DIR [--runs N] [--pymol PEER.py]
             [--pymol-pair-fit PEER.py] [--pymol-align PEER.py] [--rdkit-best-rms PEER.py]
             [--graphmatch HARNESS]
             [--wait S] [--only LETTERS]

Each round runs every program of every scenario once, in turn, so that the floor, Kestrum and
PyMOL see the same machine; the medians are taken over the rounds. Outputs are removed before
each run, outside the timing.
"""
import argparse
import glob
import os
import shutil
import statistics
import subprocess
import sys
import time


def load_average():
    return os.getloadavg()[0]


def wait_for_quiet(seconds):
    """Waits up to `seconds` for a one-minute load below 1.5; returns the load then."""
    deadline = time.time() + seconds
    while load_average() >= 1.5 and time.time() < deadline:
        time.sleep(5)
    return load_average()


def measure(command, cwd):
    """Wall seconds and peak resident memory (MiB) of one run; the run must succeed."""
    # GNU time reports the peak memory: a child forked by Python would count Python's own
    # memory in its peak, as the kernel carries the high-water mark across exec.
    peak = os.path.join(cwd, "peak.txt")
    with open(os.path.join(cwd, "stderr.txt"), "w+") as errors:
        start = time.perf_counter()
        status = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", peak] + command, cwd=cwd,
                                 stdout=subprocess.DEVNULL, stderr=errors)
        wall = time.perf_counter() - start
        if status != 0:
            errors.seek(0)
            sys.exit("failed (%d): %s\n%s" % (status, " ".join(command[:8]),
                                               errors.read()[-2000:]))
    with open(peak) as f:
        return wall, int(f.read().split()[-1]) / 1024.0


def atom_count(path):
    """Atoms of a geometry input: its HETATM records (PDB) or its MOLECULE record's count."""
    with open(path) as f:
        if path.endswith(".mol2"):
            f.readline()
            f.readline()
            return int(f.readline().split()[0])
        return sum(1 for line in f if line.startswith("HETATM"))


def fresh(directory):
    shutil.rmtree(directory, ignore_errors=True)
    os.makedirs(directory)


def heavy_atoms(path):
    """Atoms of a MOL2 file whose type is not H."""
    with open(path) as f:
        lines = f.read().split("\n")
    start = lines.index("@<TRIPOS>ATOM") + 1
    end = next(i for i in range(start, len(lines)) if lines[i].startswith("@<TRIPOS>"))
    return sum(1 for line in lines[start:end] if len(line.split()) > 5 and line.split()[5] != "H")


def mol2_counts(path):
    """Bond and substructure counts of a written MOL2 file, from its MOLECULE record."""
    with open(path) as f:
        lines = f.read().split("\n")
    i = lines.index("@<TRIPOS>MOLECULE")
    counts = lines[i + 2].split()
    return int(counts[1]), int(counts[2])


class Scenario:
    def __init__(self, name, work, programs, outputs):
        self.name = name
        self.work = work
        self.programs = programs  # [(label, command)]
        self.outputs = outputs  # directories emptied before each run
        self.times = {label: [] for label, _ in programs}
        self.memory = {label: [] for label, _ in programs}

    def run(self, label, command):
        for directory in self.outputs:
            fresh(os.path.join(self.work, directory))
        wall, rss = measure(command, self.work)
        self.times[label].append(wall)
        self.memory[label].append(rss)

    def median(self, label):
        return statistics.median(self.times[label]), statistics.median(self.memory[label])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kestrum", required=True)
    parser.add_argument("--floor", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--pymol", help="the PyMOL peer script; omitted when PyMOL is missing")
    parser.add_argument("--pymol-pair-fit",
                        help="the PyMOL peer of scenario E; omitted when PyMOL is missing")
    parser.add_argument("--pymol-align",
                        help="the PyMOL peer of scenario H; omitted when PyMOL is missing")
    parser.add_argument("--rdkit-best-rms",
                        help="the RDKit peer of scenario L; omitted when RDKit is missing")
    parser.add_argument("--graphmatch",
                        help="bench/graphmatch_poses, built; scenario M needs it")
    parser.add_argument("--wait", type=float, default=120,
                        help="seconds to wait for a quiet machine (load below 1.5)")
    parser.add_argument("--only", default="ABCDEFGHIJKLM",
                        help="the letters of the scenarios to run (default: all)")
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    kestrum, floor = os.path.abspath(args.kestrum), os.path.abspath(args.floor)
    small = sorted(os.path.relpath(p, work) for p in glob.glob(os.path.join(work, "small", "*.mol2")))
    ligands = ["-r", "ref_ligand.pdb", "-c", "comp_ligand.pdb"]

    only = set(args.only)
    # Kestrum's own outputs give the floor the number of bond and substructure lines to write.
    bonds_a = subst_a = bonds_c = subst_c = 0
    if only & set("AC"):
        for directory in ("outA", "outC"):
            fresh(os.path.join(work, directory))
        measure([kestrum] + ligands + ["-g", "NAME", "-a", "protein90k.pdb", "-p", "outA"], work)
        measure([kestrum] + ligands + ["-g", "NAME", "-a", small[0], "-p", "outC"], work)
        bonds_a, subst_a = mol2_counts(os.path.join(work, "outA", "rot_protein90k.mol2"))
        bonds_c, subst_c = mol2_counts(
            os.path.join(work, "outC", "rot_" + os.path.basename(small[0])))

    a = [("floor", [floor] + ligands + ["-b", str(bonds_a), "-s", str(subst_a), "-p", "outA",
                                         "-a", "protein90k.pdb"]),
         ("Kestrum", [kestrum] + ligands + ["-g", "NAME", "-a", "protein90k.pdb", "-p", "outA"])]
    if args.pymol:
        a.append(("PyMOL", ["/usr/bin/python3", os.path.abspath(args.pymol), "ref_ligand.pdb",
                            "comp_ligand.pdb", "protein90k.pdb", "outA/rot_protein90k.mol2"]))
    scenarios = [
        Scenario("A", work, a, ["outA"]),
        Scenario("B", work, [
            ("floor", [floor, "-r", "protein90k.pdb", "-c", "protein90k_moved.pdb"]),
            ("Kestrum", [kestrum, "-r", "protein90k.pdb", "-c", "protein90k_moved.pdb"])], []),
        Scenario("C", work, [
            ("floor", [floor] + ligands + ["-b", str(bonds_c), "-s", str(subst_c), "-p", "outC",
                                           "-a"] + small),
            ("Kestrum", [kestrum] + ligands + ["-g", "NAME", "-a"] + small + ["-p", "outC"])],
            ["outC"]),
        Scenario("D", work, [
            ("Kestrum", [kestrum, "-r", "protein5k.pdb", "-c", "protein5k_moved.pdb", "-g",
                         "ID"])], []),
    ]
    large = ["-r", "protein50k.pdb", "-c", "protein50k_moved.pdb"]
    e = [("Kestrum", [kestrum] + large + ["-g", "ID"])]
    if args.pymol_pair_fit:
        e.append(("PyMOL", ["/usr/bin/python3", os.path.abspath(args.pymol_pair_fit),
                            "protein50k.pdb", "protein50k_moved.pdb"]))
    scenarios.append(Scenario("E", work, e, []))
    pairs = sorted(os.path.relpath(p, work) for p in glob.glob(os.path.join(work, "ligands", "*.mol2"))
                   if not p.endswith("_moved.mol2"))
    scenarios.append(Scenario("F", work, [
        (os.path.basename(p), [kestrum, "-r", p, "-c", p[:-len(".mol2")] + "_moved.mol2", "-g",
                               "ELEMENT"]) for p in pairs], []))

    # Outside the timing: in F each fit must reach the noise with 90% of the heavy atoms kept.
    at_noise = 0
    for p in pairs if "F" in only else []:
        out = subprocess.run([kestrum, "-r", p, "-c", p[:-len(".mol2")] + "_moved.mol2", "-g",
                              "ELEMENT", "-l"], cwd=work, check=True, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, universal_newlines=True).stdout
        words = next(line for line in out.splitlines() if line.startswith("Pairs : ")).split()
        kept, rmsd = int(words[4]), float(words[7])
        at_noise += rmsd < 0.1 and kept >= 0.9 * heavy_atoms(os.path.join(work, p))

    # Outside the timing: in E the clique must drop exactly the displaced atoms.
    listing = subprocess.run([kestrum] + large + ["-g", "ID", "-l"], cwd=work, check=True,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             universal_newlines=True).stdout if "E" in only else ""
    dropped = [int(line.split("\t")[1].split("(")[1].split(")")[0])
               for line in listing.splitlines() if line.endswith("\tdropped")]
    displaced = []
    if "E" in only:
        with open(os.path.join(work, "protein50k_displaced.txt")) as f:
            displaced = [int(word) for word in f.read().split()]

    # G: reading the ~150,000-atom protein (twice: as reference and as comparison) from PDB,
    # mmCIF, and both gzip-compressed.
    large = {"PDB": "protein150k.pdb", "mmCIF": "protein150k.cif",
             "PDB.gz": "protein150k.pdb.gz", "mmCIF.gz": "protein150k.cif.gz"}
    scenarios.append(Scenario("G", work, [
        (label, [kestrum, "-r", name, "-c", name]) for label, name in large.items()], []))
    # The mmCIF file is carried whole: every atom of it is written.
    carried = 0
    if "G" in only:
        fresh(os.path.join(work, "outG"))
        measure([kestrum, "-r", "protein150k.cif.gz", "-c", "protein150k.cif.gz", "-a",
                 "protein150k.cif.gz", "-p", "outG"], work)
        with open(os.path.join(work, "outG", "rot_protein150k.mol2")) as f:
            written = f.read().split("\n")
        carried = int(written[written.index("@<TRIPOS>MOLECULE") + 2].split()[0])

    # H: two entries of one protein paired by residue, and by sequence against a copy of the
    # second numbered differently; PyMOL's align on the same pair.
    h = [("RESIDUE", [kestrum, "-r", "entry_5dpv.cif.gz", "-c", "entry_5dt0.pdb", "-g",
                      "RESIDUE"]),
         ("SEQUENCE", [kestrum, "-r", "entry_5dpv.cif.gz", "-c", "entry_5dt0_renumbered.pdb",
                       "-g", "SEQUENCE"])]
    if args.pymol_align:
        h.append(("PyMOL align", ["/usr/bin/python3", os.path.abspath(args.pymol_align),
                                  "entry_5dpv.cif.gz", "entry_5dt0.pdb"]))
    scenarios.append(Scenario("H", work, h, []))
    # I and J: a 4,875-atom entry and the 91,014-atom protein against moved copies, by residue,
    # and by sequence (the entry's copy numbered differently).
    pairings = {
        "I": [("RESIDUE", ["-r", "entry_6c83.pdb", "-c", "entry_6c83_moved.pdb", "-g", "RESIDUE"]),
              ("SEQUENCE", ["-r", "entry_6c83.pdb", "-c", "entry_6c83_renumbered.pdb", "-g",
                            "SEQUENCE"])],
        "J": [("RESIDUE", ["-r", "protein90k.pdb", "-c", "protein90k_moved.pdb", "-g",
                           "RESIDUE"]),
              ("SEQUENCE", ["-r", "protein90k.pdb", "-c", "protein90k_moved.pdb", "-g",
                            "SEQUENCE"])]}
    for letter, runs in pairings.items():
        scenarios.append(Scenario(letter, work, [(label, [kestrum] + arguments)
                                                 for label, arguments in runs], []))
    # Outside the timing: a rigidly moved copy keeps every pair formed, at RMSD below 0.01 A.
    rigid = {}
    for letter, runs in [(letter, runs) for letter, runs in pairings.items() if letter in only]:
        for label, arguments in runs:
            out = subprocess.run([kestrum] + arguments + ["-l"], cwd=work, check=True,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 universal_newlines=True).stdout
            words = next(line for line in out.splitlines() if line.startswith("Pairs : ")).split()
            rigid[(letter, label)] = (int(words[2]), int(words[4]), float(words[7]))
    # K: hostile geometries, each at two sizes about four times apart, carried along the ligand
    # pair's fit: reading (bond perception) of one residue in one plane, at one point and on a
    # 3 A lattice; ring perception of a sheet, a cube and a point cluster with their bonds given.
    # (Atoms at one point cannot be fitted: they are carried, as every input here is.)
    geometry = []
    carry = [kestrum] + ligands + ["-g", "NAME", "-a"]
    for kind in ("plane", "point", "lattice"):
        for name in sorted(glob.glob(os.path.join(work, kind + "[0-9]*.pdb")), key=atom_count):
            label = "%s %d" % (kind, atom_count(name))
            geometry.append((label, carry + [name, "-p", "outK"]))
    for kind in ("sheet", "cube", "cluster"):
        for name in sorted(glob.glob(os.path.join(work, kind + "[0-9]*.mol2")), key=atom_count):
            label = "%s rings %d" % (kind, atom_count(name))
            geometry.append((label, carry + [name, "-p", "outK"]))
    scenarios.append(Scenario("K", work, geometry, ["outK"]))

    # L: 1,000 poses of a drug-like ligand in one SDF file fitted onto its crystal pose, by
    # ELEMENT and by NAME, in one run each; RDKit's GetBestRMS over the same poses in one Python
    # process and Open Babel's obrms (minimised RMSD), start-up included.
    poses = ["-r", "poses_crystal.sdf", "-c", "poses_1000.sdf"]
    fits = [("Kestrum ELEMENT", [kestrum] + poses + ["-g", "ELEMENT"]),
            ("Kestrum NAME", [kestrum] + poses + ["-g", "NAME"])]
    peers = [("obrms", ["obrms", "-f", "-m", "poses_crystal.sdf", "poses_1000.sdf"])]
    if args.rdkit_best_rms:
        peers.append(("RDKit GetBestRMS", ["/usr/bin/python3", os.path.abspath(args.rdkit_best_rms),
                                           "poses_crystal.sdf", "poses_1000.sdf"]))
    scenarios.append(Scenario("L", work, fits + peers, []))
    # Outside the timing: each run gives one result per pose.
    results = {}
    for label, command in fits if "L" in only else []:
        out = subprocess.run(command, cwd=work, check=True, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, universal_newlines=True).stdout
        results[label] = sum(1 for line in out.splitlines() if line.startswith("RMSD : "))
    # M: 1,000 poses of one ligand mapped by the bond graph, in place and fitted, beside RDKit's
    # CalcRMS in one Python process and Open Babel's obrms, start-up included.
    harness = os.path.abspath(args.graphmatch) if args.graphmatch else None
    graph_mol2 = ["graph/ref.mol2", "graph/poses.mol2"]
    graph_sdf = ["graph/ref.sdf", "graph/poses.sdf"]
    tool = [kestrum, "-r", graph_sdf[0], "-c", graph_sdf[1], "-g", "GRAPH", "-n"]
    m = []
    tool_poses = agree = 0
    stress = []  # (case, RMSD, seconds per pose, poses at the bound, poses)
    if "M" in only:
        if harness is None:
            sys.exit("scenario M needs --graphmatch")
        # Outside the timing: whether Kestrum gives every pose of the SDF file its values, whether
        # the values in place are RDKit's, and each stress case once per RMSD.
        printed = subprocess.run(tool, cwd=work, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 universal_newlines=True).stdout
        tool_poses = printed.count("RMSD in place : ")
        rdkit_peer = ["/usr/bin/python3", os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                       "rdkit_calcrms.py")] + graph_sdf
        rdkit = subprocess.run(rdkit_peer, cwd=work, check=True, stdout=subprocess.PIPE,
                               universal_newlines=True).stdout.split()
        ours = subprocess.run([harness, "-n"] + graph_mol2, cwd=work, check=True,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              universal_newlines=True).stdout.splitlines()
        agree = sum(abs(float(line.split()[2]) - float(value)) <= 1e-4
                    for line, value in zip(ours, rdkit))
        with open(os.path.join(work, "graph", "stress.txt")) as f:
            names = f.read().splitlines()
        for k, name in enumerate(names):
            files = ["graph/stress%d_ref.mol2" % k, "graph/stress%d_poses.mol2" % k]
            for flag, label in (("-f", "fitted"), ("-n", "in place")):
                start = time.perf_counter()
                rows = subprocess.run([harness, flag] + files, cwd=work, check=True,
                                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                      universal_newlines=True).stdout.splitlines()
                per_pose = (time.perf_counter() - start) / len(rows)
                stress.append((name, label, per_pose, sum("bound" in r for r in rows), len(rows)))
        m = [("Kestrum -g GRAPH -n", tool),
             ("GraphMatch in place", [harness, "-n"] + graph_mol2),
             ("GraphMatch fitted", [harness, "-f"] + graph_mol2),
             ("RDKit CalcRMS", rdkit_peer),
             ("obrms", ["obrms", "-f"] + graph_sdf)]
    scenarios.append(Scenario("M", work, m, []))
    scenarios = [scenario for scenario in scenarios if scenario.name in only]

    load = wait_for_quiet(args.wait)
    print("Load average before the runs: %.2f (%d cores); %d rounds, medians shown"
          % (load, os.cpu_count(), args.runs))
    for scenario in scenarios:  # one warm-up round: file cache, PyMOL's modules
        for label, command in scenario.programs:
            scenario.run(label, command)
        for label in scenario.times:
            scenario.times[label].clear()
            scenario.memory[label].clear()
    for _ in range(args.runs):
        for scenario in scenarios:
            for label, command in scenario.programs:
                scenario.run(label, command)
    load_after = load_average()

    rows, verdicts = [], []

    def check(scenario, text, value, limit, holds):
        verdicts.append(holds)
        rows.append(("", "", "", "", "%s = %.2f" % (text, value), limit, "met" if holds else
                     "MISSED"))

    for s in scenarios:
        if s.name == "F":  # one median per ligand pair: their median and the worst
            medians = sorted(s.median(label) for label, _ in s.programs)
            mid, worst = medians[len(medians) // 2], medians[-1]
            rows.append((s.name, "Kestrum, median pair", "%.3f" % mid[0], "%.1f" % mid[1], "", "",
                         ""))
            rows.append((s.name, "Kestrum, worst pair", "%.3f" % worst[0], "%.1f" % worst[1], "",
                         "", ""))
            check(s, "worst pair time (s)", worst[0], "< 1.0", worst[0] < 1.0)
            check(s, "pairs at noise (RMSD < 0.1, 90% kept)", at_noise, "%d" % len(pairs),
                  at_noise == len(pairs))
            continue
        for label, _ in s.programs:
            t, m = s.median(label)
            rows.append((s.name, label, "%.3f" % t, "%.1f" % m, "", "", ""))
        if s.name == "K":
            # Linear: twice the atoms cost at most about twice the time (1.5 times the atom
            # ratio, for the noise of short runs).
            by_kind = {}
            for label, _ in s.programs:
                by_kind.setdefault(label.rsplit(" ", 1)[0], []).append(label)
            for kind, labels in by_kind.items():
                small, large = labels[0], labels[-1]
                atoms = int(large.rsplit(" ", 1)[1]) / int(small.rsplit(" ", 1)[1])
                ratio = (s.median(large)[0] / s.median(small)[0]) / atoms
                check(s, "%s: time ratio / atom ratio" % kind, ratio, "<= 1.5", ratio <= 1.5)
            plane = by_kind["plane"][-1]
            check(s, "%s time (s)" % plane, s.median(plane)[0], "< 2.0", s.median(plane)[0] < 2.0)
            continue
        if s.name == "G":
            pdb, cif = s.median("PDB")[0], s.median("mmCIF")[0]
            check(s, "mmCIF / PDB time", cif / pdb, "<= 1.5", cif / pdb <= 1.5)
            for plain, packed in (("PDB", "PDB.gz"), ("mmCIF", "mmCIF.gz")):
                ratio = s.median(packed)[0] / s.median(plain)[0]
                check(s, "%s / %s time" % (packed, plain), ratio, "<= 1.3", ratio <= 1.3)
            check(s, "mmCIF atoms carried", carried, "= 151690", carried == 151690)
            continue
        if s.name == "H":
            if "PyMOL align" in s.times:
                pt, _ = s.median("PyMOL align")
                for label in ("RESIDUE", "SEQUENCE"):
                    check(s, "Kestrum %s / PyMOL align time" % label, s.median(label)[0] / pt,
                          "<= 2.0", s.median(label)[0] / pt <= 2.0)
            else:
                rows.append(("", "", "", "", "PyMOL not installed: not compared", "", ""))
            continue
        if s.name in ("I", "J"):
            for label in ("RESIDUE", "SEQUENCE"):
                t, m = s.median(label)
                bound = 1.0 if s.name == "I" else 10.0
                check(s, "%s time (s)" % label, t, "<= %g" % bound, t <= bound)
                formed, kept, rmsd = rigid[(s.name, label)]
                check(s, "%s pairs kept of %d, RMSD %.4f" % (label, formed, rmsd), kept,
                      "= %d, RMSD < 0.01" % formed, kept == formed and rmsd < 0.01)
            continue
        if s.name == "L":  # poses per second, start-up included
            for label, _ in s.programs:
                rows.append(("", "", "", "", "%s poses/s = %.0f" % (label, 1000 / s.median(label)[0]),
                             "", ""))
            for label, _ in fits:
                check(s, "%s poses with a result" % label, results[label], "= 1000",
                      results[label] == 1000)
                for peer, _ in peers:
                    ratio = s.median(label)[0] / s.median(peer)[0]
                    check(s, "%s / %s time" % (label, peer), ratio, "< 1.0", ratio < 1.0)
            if not args.rdkit_best_rms:
                rows.append(("", "", "", "", "RDKit not installed: not compared", "", ""))
        if s.name == "M":
            rate = {label: 1000 / s.median(label)[0] for label, _ in s.programs}
            ours = "Kestrum -g GRAPH -n"
            for label, _ in s.programs:
                rows.append(("", "", "", "", "%s: %.0f poses/s" % (label, rate[label]), "", ""))
            check(s, "Kestrum poses with both RMSDs", tool_poses, "= 1000", tool_poses == 1000)
            for peer in ("RDKit CalcRMS", "obrms"):
                check(s, "%s / %s poses per second" % (ours, peer), rate[ours] / rate[peer],
                      "> 1.0", rate[ours] > rate[peer])
            check(s, "poses in place at RDKit's CalcRMS (1e-4)", agree, "= 1000", agree == 1000)
            for name, label, per_pose, bound, count in stress:
                check(s, "%s, %s: s per pose (%d of %d at the bound)" % (name, label, bound,
                                                                        count),
                      per_pose, "< 1.0 or at the bound", per_pose < 1.0 or bound == count)
            continue
        kt, km = s.median("Kestrum")
        if s.name in ("A", "C"):
            ft, _ = s.median("floor")
            bound = 2.0 if s.name == "A" else 3.0
            check(s, "Kestrum / floor time", kt / ft, "<= %.1f" % bound, kt / ft <= bound)
        if s.name == "A":
            if "PyMOL" in s.times:
                pt, pm = s.median("PyMOL")
                check(s, "PyMOL / Kestrum time", pt / kt, ">= 3.0", pt / kt >= 3.0)
                check(s, "Kestrum / PyMOL memory", km / pm, "< 1.0", km / pm < 1.0)
            else:
                rows.append(("", "", "", "", "PyMOL not installed: not compared", "", ""))
        if s.name == "B":
            ft, _ = s.median("floor")
            check(s, "Kestrum / floor time", kt / ft, "<= 2.0", kt / ft <= 2.0)
        if s.name == "D":
            check(s, "Kestrum time (s)", kt, "<= 10", kt <= 10.0)
            check(s, "Kestrum memory (MiB)", km, "<= 2048", km <= 2048.0)
        if s.name == "E":
            if "PyMOL" in s.times:
                pt, _ = s.median("PyMOL")
                check(s, "Kestrum / PyMOL time", kt / pt, "<= 4.0", kt / pt <= 4.0)
            else:
                rows.append(("", "", "", "", "PyMOL not installed: not compared", "", ""))
            check(s, "Kestrum memory (MiB)", km, "<= 2048", km <= 2048.0)
            check(s, "dropped pairs = displaced atoms", len(dropped), "%d, the same"
                  % len(displaced), dropped == displaced)

    header = ("Scenario", "Program", "Median s", "Peak MiB", "Ratio", "Target", "")
    widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(len(header))]
    for row in [header] + rows:
        print("  ".join(str(v).ljust(w) for v, w in zip(row, widths)).rstrip())
    print("Load average after the runs: %.2f" % load_after)
    print("A: ligand pair by NAME + 91,014-atom protein written as MOL2; B: whole-molecule fit of"
          " the protein and its moved copy; C: ligand pair + %d small MOL2 files; D: pairing by"
          " ID of a 5,000-atom protein and its moved copy; E: pairing by ID of a 50,000-atom"
          " protein and its moved copy with %d atoms displaced; F: %d ligand pairs (moved, atoms"
          " shuffled) paired by ELEMENT, one run each; G: reading a 151,690-atom protein from PDB,"
          " mmCIF and both gzip-compressed; H: entries 5DPV and 5DT0 by RESIDUE, and by SEQUENCE"
          " against 5DT0 numbered differently; I: entry 6C83 (4,937 atoms) against its moved"
          " copy by RESIDUE, and numbered differently by SEQUENCE; J: the 91,014-atom protein"
          " against its moved copy by RESIDUE and by SEQUENCE; K: hostile geometries at two"
          " sizes, carried: one residue in one plane, at one point, on a 3 A lattice (bond"
          " perception), and a sheet, a cubic lattice, a point cluster with their bonds given"
          " (ring perception); L: 1,000 poses of a 25-heavy-atom"
          " ligand in one SDF file against its crystal pose, by ELEMENT and by NAME, beside"
          " RDKit's GetBestRMS in one process and obrms; M: 1,000 shuffled poses of a"
          " 27-heavy-atom ligand by GRAPH beside RDKit's CalcRMS and obrms, and the symmetric"
          " stress cases (one run each)"
          % (len(small), len(displaced), len(pairs)))
    missed = verdicts.count(False)
    print("All targets met" if missed == 0 else "%d target(s) missed" % missed)
    return 0 if missed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
