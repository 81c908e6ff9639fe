#!/usr/bin/env bash
# Builds what the demo needs for Linux (library, portable runtime, Java
# package, sample server, demo; no tests, so no cross compilers, JUnit, Wine
# or GoogleTest) and runs the Java demo.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
ostrel_setup demo
cmake --preset demo >/dev/null
cmake --build --preset demo
cmake --build --preset demo --target run_demo
