#!/usr/bin/env bash
# Builds the library, the Java package and the sample server for Linux and
# runs the Java demo.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
ostrel_setup demo
cmake --preset linux >/dev/null
cmake --build --preset linux
cmake --build --preset linux --target run_demo
