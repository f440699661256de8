#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every test: a normal build, an
# AddressSanitizer + UndefinedBehaviorSanitizer build, and the threaded tests under
# ThreadSanitizer.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

./scripts/setup.sh --tests || exit 1

jobs=$(nproc)
summary=()
failed=0

# A private session bus with an unlocked keyring, so keyring tests never touch the
# user's own secrets.
run_keyring() {
  local dir="$1"
  local home
  home=$(mktemp -d)
  mkdir -p "$home/run" && chmod 700 "$home/run"
  HOME="$home" XDG_RUNTIME_DIR="$home/run" dbus-run-session -- sh -c \
    'echo -n m2-test | gnome-keyring-daemon --unlock --components=secrets --daemonize >/dev/null;
     ctest --test-dir "$0" -L keyring --output-on-failure' "$dir"
  local rc=$?
  rm -rf "$home"
  return $rc
}

run_ctest() {
  local name="$1"
  shift
  local log
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [ -n "$line" ]; then
    local total fails
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    fails=$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    summary+=("$name: $((total - fails)) passed, $fails failed")
    PASSED=$((PASSED + total - fails))
    FAILED=$((FAILED + fails))
  fi
  # The failed tests by name, so the summary at the end says which they were.
  local failedName
  while read -r failedName; do
    [ -n "$failedName" ] && summary+=("  failed: $failedName")
  done < <(sed -n '/The following tests FAILED:/,/^$/p' "$log" |
    sed -nE 's/^[[:space:]]+[0-9]+ - (.*)$/\1/p')
  rm -f "$log"
  [ "$rc" -eq 0 ] || failed=1
}

# Each X11 test gets an X server of its own: one test's windows and synthetic input must
# not reach the next (the idle counter test needs a display nobody touches).
run_x11() {
  local dir="$1"
  local total=0 fails=0 name
  while read -r name; do
    total=$((total + 1))
    xvfb-run -a ctest --test-dir "$dir" -R "^${name//./\\.}\$" --output-on-failure </dev/null || fails=$((fails + 1))
  done < <(ctest --test-dir "$dir" -N -L x11 | sed -nE 's/^ *Test +#[0-9]+: +//p')
  echo "x11 total: $(( total == 0 ? 100 : (total - fails) * 100 / total ))% tests passed, $fails tests failed out of $total"
  [ "$fails" -eq 0 ]
}

PASSED=0
FAILED=0
# A compiler cache makes a second run of the three builds quick.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
build() {
  local dir="$1"
  shift
  cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null && cmake --build "$dir" -j "$jobs"
}

export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="suppressions=$root/tests/tsan.supp:halt_on_error=1"

for config in normal asan; do
  dir="build/$config"
  # Everything, whatever an earlier configuration of the folder chose.
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DM2_TESTS=ON -DM2_BENCH=ON)
  [ "$config" = asan ] && flags+=(-DM2_SANITIZE=ON -DM2_BENCH=OFF)
  if ! build "$dir" "${flags[@]}"; then
    echo "build failed: $config"
    exit 1
  fi
  run_ctest "$config unit" ctest --test-dir "$dir" -LE 'keyring|x11' -j "$jobs" --output-on-failure
  run_ctest "$config keyring" run_keyring "$dir"
  run_ctest "$config x11" run_x11 "$dir"
done

if cmake -S . -B build/tsan -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DM2_TSAN=ON \
  -DM2_TESTS=ON -DM2_BENCH=OFF >/dev/null && cmake --build build/tsan -j "$jobs" --target m2_threaded_tests; then
  run_ctest "tsan threaded" ctest --test-dir build/tsan -L threaded -j "$jobs" --output-on-failure
else
  echo "build failed: tsan"
  exit 1
fi

echo
printf '%s\n' "${summary[@]}"
echo "all: $PASSED passed, $FAILED failed"
exit $failed
