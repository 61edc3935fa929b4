#!/usr/bin/env bash
# Sets up, builds and passes every test (C++, browser, end to end), with warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSAPWELL_WERROR=ON >/dev/null
cmake --build build
# Users and packagers build Release, where the optimiser warns about other things: it must
# compile cleanly too, and its C++ tests pass (the page tests run once, below).
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSAPWELL_WERROR=ON \
  -DSAPWELL_BENCH=OFF >/dev/null
cmake --build build-release
if [ -f tests/web/package.json ] && [ ! -d tests/web/node_modules ]; then
  (cd tests/web && npm ci --no-audit --no-fund)
fi
ctest --test-dir build --output-on-failure -j2
ctest --test-dir build-release --output-on-failure -j2 --exclude-regex '^(web_|macos_)'
