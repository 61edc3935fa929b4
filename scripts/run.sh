#!/usr/bin/env bash
# Sets up, builds and runs Sapwell's main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/sapwell "$@"
