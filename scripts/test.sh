#!/bin/bash
# The one command that runs every test: installs what is missing, builds the native,
# win64-test and win32-test presets, runs the native unit tests, a few seconds of each fuzz
# target, the Wine integration tests and the page library's tests, and ends with one line
# "total: N passed, N failed[, N skipped]". Exits non-zero on any failure.
# QF_BUILD_ROOT puts the three build folders and the results somewhere else than build/
# (each preset in its own subfolder), e.g. to test beside someone else's build.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
build_root=$(realpath -m "${QF_BUILD_ROOT:-$repo/build}")
results="$build_root/test-results"
logs="$results/logs"
rm -rf "$results"
mkdir -p "$logs"
# Steps that fail before a runner can report count as one failure each.
broken=0

step_failed() {
  echo "FAILED: $1 (log: $2)"
  tail -n 40 "$2"
  broken=$((broken + 1))
}

if ! bash scripts/setup.sh; then
  echo "FAILED: scripts/setup.sh"
  broken=$((broken + 1))
fi

for preset in native win64-test win32-test; do
  log="$logs/build-$preset.log"
  echo "building $preset"
  if ! { cmake --preset "$preset" -B "$build_root/$preset" && cmake --build "$build_root/$preset" -j2; } \
      >"$log" 2>&1; then
    step_failed "build of $preset" "$log"
  fi
done

echo "native unit tests"
ctest --test-dir "$build_root/native" -j2 --output-on-failure --output-junit "$results/ctest.xml" >"$logs/ctest.log" 2>&1
if [ ! -s "$results/ctest.xml" ]; then
  step_failed "native unit tests" "$logs/ctest.log"
else
  grep -E "tests passed|tests failed|\*\*\*Failed|Failed  |Exception" "$logs/ctest.log" || true
fi

if [ -f scripts/fuzz.sh ]; then
  echo "fuzzing, 5 s per target"
  QUILLFRAME_FUZZ_BUILD="$build_root/fuzz" sh scripts/fuzz.sh 5 >"$results/targets.fuzz" 2>&1
  cat "$results/targets.fuzz"
fi

echo "Wine integration tests"
export QF_BIN_DIR="$build_root/win64-test/bin" QF_BIN32_DIR="$build_root/win32-test/bin"
# A screen large enough for a 1024x768 window at 144 DPI.
xvfb-run -a -s "-screen 0 2560x1600x24" /usr/bin/python3 -m pytest tests/wine -q -rfEX -p no:cacheprovider --junitxml="$results/pytest.xml"
if [ ! -s "$results/pytest.xml" ]; then
  echo "FAILED: the Wine integration tests did not report"
  broken=$((broken + 1))
fi

# Own pytest run: the packaged exe and the doctor's Windows build need the Wine
# prefix the run above held.
echo "docs, package, doctor, pack and preview relay tests"
export QF_NATIVE_BIN_DIR="$build_root/native/bin"
xvfb-run -a /usr/bin/python3 -m pytest tests/docs tests/package tests/doctor tests/pack tests/preview -q -rfEX -p no:cacheprovider \
  --junitxml="$results/pytest-docs-package.xml"
if [ ! -s "$results/pytest-docs-package.xml" ]; then
  echo "FAILED: the docs, package, doctor, pack and preview relay tests did not report"
  broken=$((broken + 1))
fi

if [ -d pagelib/test ]; then
  echo "page library tests"
  if ! (cd pagelib && node --test --test-reporter=spec --test-reporter-destination=stdout \
        --test-reporter=junit --test-reporter-destination="$results/pagelib.xml" test/); then
    [ -s "$results/pagelib.xml" ] || broken=$((broken + 1))
  fi
fi

/usr/bin/python3 scripts/test_summary.py "$results" "$broken"
