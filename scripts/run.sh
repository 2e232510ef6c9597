#!/usr/bin/env bash
# Builds varnook and runs the main job: the terminal host with the publishing window on a copy of the
# bundled sample web (or on the web given).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release -j"$(nproc)" --target varnook >/dev/null
exec build/linux-release/varnook "$@"
