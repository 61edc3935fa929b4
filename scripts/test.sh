#!/usr/bin/env bash
# Sets up, builds and passes every test (C++, browser, end to end).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ -f tests/web/package.json ] && [ ! -d tests/web/node_modules ]; then
  (cd tests/web && npm ci --no-audit --no-fund)
fi
ctest --test-dir build --output-on-failure -j2
