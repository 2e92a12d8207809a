#!/usr/bin/env bash
# The whole test run: style check, the native build with its tests, the
# same with Clang (whose warnings and order of evaluation differ from GCC's;
# the end-to-end tests through Apache and nginx run in the GCC build alone),
# the ASan+UBSan and TSan builds with theirs, the Windows builds under Wine
# and, where the machine may be changed, the Debian packages in its own
# Apache and nginx.
# Prints one closing line with the total of tests passed and failed.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
jobs=${JOBS:-2}

scripts/install-deps.sh

passed=0
failed=0

# Adds the counts of every ctest summary in a log to the totals; a run
# that printed no summary counts as one failure.
count_results() {
  local log=$1 line found=0
  while IFS= read -r line; do
    if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
      failed=$((failed + BASH_REMATCH[1]))
      passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
      found=1
    fi
  done < <(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log")
  [ $found -eq 1 ] || failed=$((failed + 1))
}

# Runs a command, showing its output, and adds its ctest counts to the totals.
run_counted() {
  local log status=0
  log=$(mktemp)
  "$@" 2>&1 | tee "$log" || status=$?
  count_results "$log"
  rm -f "$log"
  return $status
}

run_ctest() {
  run_counted ctest --test-dir "$1" --output-on-failure -j"$jobs"
}

# Configures and builds one flavour of the native tree.
build() {
  local dir=$1
  shift
  cmake -S "$top" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
}

status=0

echo "== Style (clang-format)"
git ls-files '*.cc' '*.h' | xargs clang-format --dry-run -Werror || status=1

echo "== Native build and tests"
build build/test
run_ctest build/test || status=1

echo "== Clang build and tests"
CC=clang CXX=clang++ build build/clang -DMERVANE_APACHE_E2E=OFF
run_ctest build/clang || status=1

echo "== ASan+UBSan build and tests"
build build/asan -DMERVANE_SANITIZE=address
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_ctest build/asan || status=1

echo "== TSan build and tests"
build build/tsan -DMERVANE_SANITIZE=thread
TSAN_OPTIONS=halt_on_error=1 run_ctest build/tsan || status=1

# A bounded run of the fuzzer that holds the snapshot against the whole
# tree, from the hand-written files as seeds; counted as one test.
echo "== Fuzzer: snapshot against the whole tree (30 s)"
cmake -S "$top" -B build/fuzz -G Ninja -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DMERVANE_TESTS=OFF -DMERVANE_FUZZ=ON >/dev/null
fuzz_corpus=$(mktemp -d)
if cmake --build build/fuzz -j"$jobs" --target snapshot_tree_fuzzer &&
  build/fuzz/filter/snapshot_tree_fuzzer -max_total_time=30 "$fuzz_corpus" \
    filter/testdata; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  status=1
fi
rm -rf "$fuzz_corpus"

if [ -x scripts/test-windows.sh ]; then
  echo "== Windows builds under Wine"
  run_counted scripts/test-windows.sh || status=1
fi

# Installs the package into this machine's Apache and purges it again: only
# where the machine may be changed.
if [ "$(id -u)" -eq 0 ] &&
  { [ "${CI:-}" = true ] || [ "${MERVANE_PACKAGE_TEST:-}" = 1 ]; }; then
  echo "== Debian packages in the machine's Apache and nginx"
  run_counted scripts/package-test.sh || status=1
fi

echo "tests: $passed passed, $failed failed"
exit $status
