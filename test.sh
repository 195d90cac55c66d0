#!/usr/bin/env bash
# Installs what the tests need, then builds and runs the whole suite in two trees: `tests`
# (optimised, every label: unit, e2e, slow, lint, and the platform tests that cross-build the
# Windows and web releases and play them under Wine and in Chromium, Firefox and WebKit) and
# `debug` (AddressSanitizer and UndefinedBehaviorSanitizer over the unit and e2e tests).
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-packages.sh build test cross windows web release
command -v npm >/dev/null || scripts/ensure-packages.sh npm
for preset in tests debug; do
    cmake --workflow --preset "$preset"
done
