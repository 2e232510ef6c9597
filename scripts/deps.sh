#!/usr/bin/env bash
# Installs from Debian's packages what a job needs; apt is not run when everything is there.
#   scripts/deps.sh program   building and running the varnook program (the main job)
#   scripts/deps.sh test      that, and everything the tests, benchmarks, fuzzers, the Windows add-in
#                             under Wine and the packages need
set -euo pipefail

program=(cmake make g++ pkg-config libcli11-dev libncurses-dev libpng-dev nlohmann-json3-dev libgumbo-dev)
test=("${program[@]}"
      libgtest-dev libgmock-dev libbenchmark-dev rsync git tmux time clang-format clang-14 libclang-rt-14-dev
      g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools wine wine64 libwine-dev fonts-wine xvfb xauth
      python3-pefile scdoc dpkg-dev file lintian wixl msitools)

case ${1:-} in
program) packages=("${program[@]}") ;;
test) packages=("${test[@]}") ;;
*)
    echo "usage: scripts/deps.sh program|test" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
