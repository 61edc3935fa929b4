#!/usr/bin/env bash
# Installs and builds only what running needs (no tests, no benchmarks), then runs Sapwell.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSAPWELL_TESTS=OFF -DSAPWELL_BENCH=OFF >/dev/null
cmake --build build-run --target sapwell
exec build-run/sapwell "$@"
