#!/usr/bin/env bash
# Builds the release configuration (preset `bench`) and runs the benchmark
# suite once: every figure beside its floor, then the long loop with its RSS,
# JNI global references and live counts. Arguments go to the JVM, for example
#   scripts/bench.sh -Dbench.rounds=11 -Dbench.loop=1000000
# Not part of scripts/test.sh: nothing here passes or fails on time.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
ostrel_setup demo
cmake --preset bench >/dev/null
cmake --build --preset bench
exec build/bench/bench/run-bench.sh "$@"
