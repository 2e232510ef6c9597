#!/usr/bin/env bash
# Builds varnook and runs the main job: the terminal host with the publishing window on a copy of the
# bundled sample web (or on the web given). Installs only what building and running the program needs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh program
cmake --preset linux-program >/dev/null
cmake --build --preset linux-program -j"$(nproc)" >/dev/null
exec build/linux-program/varnook "$@"
