#!/usr/bin/env bash
# Builds everything (Linux library, portable runtime, Java package, sample
# server, the 32- and 64-bit Windows cross builds) and runs every test
# through ctest: native tests in an embedded JVM, Java tests, the hostile-use
# cases in child JVMs, the platform conformance cases on Linux and under Wine,
# the guard tests, the export tables of the Windows DLLs and the demo built as
# on a machine with only the demo's tools. The native, Java, hostile,
# conformance and guard suites then run again in the
# AddressSanitizer/UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
ostrel_setup full
for preset in mingw32 mingw64 linux asan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
# Both runs happen whatever the first one finds; the command fails if either did.
status=0
ctest --preset linux -j2 "$@" || status=$?
ctest --preset asan -j2 "$@" || status=$?
exit "$status"
