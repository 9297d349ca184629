#!/usr/bin/env bash
# Builds Kestrum and runs it on the bundled example (a ligand fitted onto another pose of itself,
# its protein carried along into the reference frame).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
need_packages "${BUILD_PACKAGES[@]}"

build="$root/build-release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target Kestrum >/dev/null

example="$root/example"
out="$root/example/out"
mkdir -p "$out"
set -x
"$build/tool/Kestrum" -r "$example/ref_ligand.pdb" -c "$example/comp_ligand.pdb" -g NAME \
  -a "$example/comp_protein.pdb" "$example/comp_ligand.pdb" -p "$out"
