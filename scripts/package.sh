#!/usr/bin/env bash
# Builds what users install into dist/: varnook_<version>_amd64.deb (checked by lintian), and the add-in's
# Windows Installer packages Varnook3-x86.msi (for the 32-bit editor) and Varnook3-x64.msi.
#   scripts/package.sh [deb|msi]...     both kinds by default
set -euo pipefail
cd "$(dirname "$0")/.."
kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(deb msi)
bash scripts/deps.sh test
jobs=$(nproc)
mkdir -p dist

for kind in "${kinds[@]}"; do
    case $kind in
    deb)
        cmake --preset linux-release >/dev/null
        cmake --build --preset linux-release -j"$jobs"
        rm -rf build/linux-release/package
        (cd build/linux-release && cpack -G DEB >/dev/null)
        deb=$(echo build/linux-release/package/varnook_*_amd64.deb)
        # As root lintian says it would rather not run so; that line is no finding.
        findings=0
        report=$(lintian --fail-on error,warning "$deb" 2>&1) || findings=1
        grep -v 'running with root privileges' <<<"$report" || true
        [ "$findings" -eq 0 ] || { echo "package: lintian found the above in $deb" >&2; exit 1; }
        cp "$deb" dist/
        ;;
    msi)
        for preset in win32 win64; do
            cmake --preset "$preset" >/dev/null
            cmake --build --preset "$preset" -j"$jobs" --target msi
        done
        cp build/win32/Varnook3-x86.msi build/win64/Varnook3-x64.msi dist/
        ;;
    *)
        echo "usage: scripts/package.sh [deb|msi]..." >&2
        exit 2
        ;;
    esac
done
ls -l dist
