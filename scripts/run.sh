#!/usr/bin/env bash
# Installs what is needed, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec ./build/src/pelkocopy "$@"
