#!/usr/bin/env bash
# Builds what changed and runs the whole test suite; exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j "${KORVANE_JOBS:-2}"
ctest --test-dir build --output-on-failure -j "${KORVANE_TEST_JOBS:-2}" "$@"
