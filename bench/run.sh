#!/usr/bin/env bash
# The benchmark: builds Kestrum (Release) and the floor program, makes the inputs under
# bench/work/, installs PyMOL when it can, runs every scenario several times and prints the table.
# Usage: bench/run.sh [rounds [letters]]   (default 5 rounds of every scenario, A to M;
# KESTRUM_BENCH_BUILD chooses the build directory)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
# pymol-data holds the protein of scenario E; gemmi converts the protein of scenario G to mmCIF;
# RDKit makes the poses of scenarios L and M, and it and Open Babel's obrms are their peers.
need_packages "${BUILD_PACKAGES[@]}" python3 time pymol-data gemmi python3-rdkit rdkit-data openbabel

build="${KESTRUM_BENCH_BUILD:-$root/build-bench}"
work="$root/bench/work"
mkdir -p "$work"
echo "== building Kestrum (Release) in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target Kestrum >/dev/null
echo "== building the harness of scenario M"
c++ -std=c++17 -O3 -Wall -Wextra -I"$root/library" -o "$work/graphmatch_poses" \
  "$root/bench/graphmatch_poses.cpp" "$build/library/libvxmole.a" -lz
echo "== building the floor program"
c++ -std=c++17 -O3 -Wall -Wextra -o "$work/floor" "$root/bench/floor.cpp"

echo "== making the inputs"
/usr/bin/python3 "$root/bench/make_inputs.py" "$root" "$work" "${2:-ABCDEFGHIJKLM}"

peer=()
if ! /usr/bin/python3 -c 'import pymol2' 2>/dev/null; then
  echo "== installing PyMOL (Debian python3-pymol)"
  (need_packages python3-pymol) || true
fi
if /usr/bin/python3 -c 'import pymol2' 2>/dev/null; then
  peer=(--pymol "$root/bench/pymol_peer.py" --pymol-pair-fit "$root/bench/pymol_pair_fit.py"
    --pymol-align "$root/bench/pymol_align.py")
else
  echo "PyMOL cannot be installed here: scenarios A and E run without their peer"
fi

echo "== running"
/usr/bin/python3 "$root/bench/bench.py" --kestrum "$build/tool/Kestrum" --floor "$work/floor" \
  --work "$work" --runs "${1:-5}" --only "${2:-ABCDEFGHIJKLM}" "${peer[@]}" \
  --rdkit-best-rms "$root/bench/rdkit_best_rms.py" --graphmatch "$work/graphmatch_poses"
