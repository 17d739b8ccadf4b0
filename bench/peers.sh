#!/usr/bin/env bash
# Wirestack beside the shared peer engines (Csound, Pure Data, FluidSynth and a
# hand-written C++ renderer) on their common workload: compiles the patches of
# bench/peers/ with `wirestack compile`, packs each into a copy of the plug-in
# as a host would load it, and runs the shared harness with Wirestack added as
# one more engine, then prints its table.
#
#   bash bench/peers.sh                                  # the harness's full run
#   CALLGRIND=none RUNS=1 bash bench/peers.sh            # one quick round
#   ENGINES=cpp-scalar,csound CALLGRIND=none bash bench/peers.sh
#
# The harness's environment (RUNS, WARMUP, ENGINES, WORKLOADS, CALLGRIND,
# SKIP_INSTALL, ...) and further arguments pass through. WS_BUILD names the
# build folder (default build/); the renders and results go to PEERS_OUT
# (default build/peers/out), results.md included.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${WS_BUILD:-$ROOT/build}" && pwd)
HARNESS=$ROOT/../shared/bench/peers/run_peers.sh
TOOL=$BUILD/wirestack
PATCHES=$BUILD/peers
export PEERS_OUT=$(mkdir -p "${PEERS_OUT:-$PATCHES/out}" && cd "${PEERS_OUT:-$PATCHES/out}" && pwd)

[ -x "$TOOL" ] || { echo "peers.sh: build the command first ($TOOL is missing)" >&2; exit 1; }
[ -f "$HARNESS" ] || { echo "peers.sh: the shared harness is not at $HARNESS" >&2; exit 1; }

for patch in poly16 poly64; do
  "$TOOL" compile "$ROOT/bench/peers/$patch.json" -o "$PATCHES/$patch.ws1" >/dev/null
  "$TOOL" pack "$PATCHES/$patch.ws1" -o "$PATCHES/$patch.so" >/dev/null
done
# The workloads without a patch of their own (idle, startup, the a440 check)
# load poly16's, as the harness's other engines do.
for workload in idle startup a440; do cp "$PATCHES/poly16.so" "$PATCHES/$workload.so"; done

rc=0
bash "$HARNESS" --results "$PEERS_OUT/results.md" \
  --extra "wirestack=$TOOL render $PATCHES/{workload}.so --midi {mid} --seconds {secs} --block {block} -o {wav}" \
  "$@" || rc=$?
[ -f "$PEERS_OUT/results.md" ] && cat "$PEERS_OUT/results.md"
exit $rc
