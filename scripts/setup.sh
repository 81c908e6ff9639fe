#!/usr/bin/env bash
# Installs what the build and the tests need, when it is missing (Debian).
# Sourced by demo.sh and test.sh. "demo" is what the demo build needs (CMake,
# Ninja, g++, the JDK); "full" also brings what the tests need: GoogleTest,
# JUnit 5, the Windows cross compilers and Wine.
set -euo pipefail

ostrel_setup() {
  local scope="${1:-demo}"
  local packages=(cmake ninja-build g++ openjdk-17-jdk-headless)
  if [ "$scope" = full ]; then
    packages+=(libgtest-dev googletest junit5 g++-mingw-w64-i686 g++-mingw-w64-x86-64
      binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine wine64)
  fi
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
}
