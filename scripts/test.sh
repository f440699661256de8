#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every test: a normal build, an
# AddressSanitizer + UndefinedBehaviorSanitizer build, and the threaded tests under
# ThreadSanitizer.
#
# The tests run as a normal user, as the program does: root passes every permission check.
# Run as root, the script builds as root and runs the tests as a user of its own (m2test);
# only the programs labelled `root` (what no user can do, such as the immutable flag) run
# as root. Run as a normal user, it runs them as that user, and the `root` label through
# sudo when sudo needs no password (or asks for it at a terminal), else names them skipped.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$(pwd)

./scripts/setup.sh --tests || exit 1

jobs=$(nproc)
summary=()
failed=0
PASSED=0
FAILED=0
SKIPPED=0
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# --- Who runs the tests ---------------------------------------------------------------
test_user=""
test_home="$HOME"
if [ "$(id -u)" -eq 0 ]; then
  umask 022  # the builds must be readable by the test user
  test_user=m2test
  if ! id -u "$test_user" >/dev/null 2>&1; then
    useradd --create-home --home-dir "/home/$test_user" --user-group --shell /usr/sbin/nologin \
      "$test_user" || exit 1
  fi
  test_home=$(getent passwd "$test_user" | cut -d: -f6)
  [ -d "$test_home" ] || install -d -o "$test_user" -g "$test_user" -m 700 "$test_home"
  # The user must reach the source and build folders: folders on the way get the search
  # permission (not the right to list them).
  folder="$root"
  while [ "$folder" != "/" ]; do
    if ! setpriv --reuid="$test_user" --regid="$test_user" --init-groups -- test -x "$folder"; then
      echo "letting $test_user pass through $folder (chmod o+x)"
      chmod o+x "$folder"
    fi
    folder=$(dirname "$folder")
  done
  # The start command's test mounts its own build folder here; the user cannot make it.
  mkdir -p build/app
  chown "$test_user" "$results"
fi

# Runs a command as the test user, with a home of its own and nothing of root's session.
as_test_user() {
  if [ -z "$test_user" ]; then
    "$@"
    return
  fi
  setpriv --reuid="$test_user" --regid="$test_user" --init-groups -- \
    env -u XDG_RUNTIME_DIR -u DBUS_SESSION_BUS_ADDRESS -u TMPDIR -u DISPLAY -u XAUTHORITY \
    HOME="$test_home" USER="$test_user" LOGNAME="$test_user" "$@"
}

# What the tests write in a build folder becomes the user's own: their scratch, screenshots,
# ctest's logs, and what `cmake --install` writes there (the desktop entry it stages, its
# manifest). The rest of the build stays root's.
open_scratch() {
  local dir="$1"
  [ -n "$test_user" ] || return 0
  local scratch=("$dir/test-tmp" "$dir/screenshots" "$dir/Testing" "$dir/packaging")
  mkdir -p "${scratch[@]}"
  touch "$dir/install_manifest.txt"
  chown -R "$test_user:$test_user" "${scratch[@]}" "$dir/install_manifest.txt"
}

# --- Running and counting -----------------------------------------------------------------
# Each ctest run writes a JUnit file; a group's files give its summary line (passed, failed
# and skipped apart, each failed and skipped test named).
# The whole output of passed tests too (ctest keeps 1 kB of it), where a QtTest program
# names the functions it skipped; the JUnit file's name comes last.
junit_options=(--test-output-size-passed 1048576 --output-junit)
# Sets `junit` to a new file of the group `$1`, which the test user may write.
junit_count=0
next_junit() {
  junit_count=$((junit_count + 1))
  junit="$results/$1-$junit_count.xml"
  install -m 666 /dev/null "$junit"
}

run_group() {
  local name="$1"
  shift
  local tag=${name// /-}
  "$@"
  local rc=$?
  local line
  while IFS= read -r line; do
    if [[ "$line" == "= "* ]]; then
      read -r _ p f s <<<"$line"
      PASSED=$((PASSED + p))
      FAILED=$((FAILED + f))
      SKIPPED=$((SKIPPED + s))
      [ "$f" -eq 0 ] || failed=1
    else
      summary+=("$line")
    fi
  done < <(python3 "$root/scripts/test_summary.py" "$name" "$results/$tag"-*.xml)
  [ "$rc" -eq 0 ] || failed=1
}

# A ctest command (with what it runs under, such as xvfb-run) as the test user, writing the
# group's next JUnit file.
user_ctest() {
  local tag="$1"
  shift
  local junit
  next_junit "$tag"
  as_test_user "$@" "${junit_options[@]}" "$junit" --output-on-failure
}

run_unit() {
  user_ctest "$1" ctest --test-dir "$2" -LE 'keyring|x11|root' -j "$jobs"
}

# A private session bus with an unlocked keyring, so keyring tests never touch the
# user's own secrets.
run_keyring() {
  local tag="$1" dir="$2"
  local home junit
  home=$(as_test_user mktemp -d)
  next_junit "$tag"
  as_test_user mkdir -m 700 "$home/run"
  as_test_user env HOME="$home" XDG_RUNTIME_DIR="$home/run" dbus-run-session -- sh -c \
    'echo -n m2-test | gnome-keyring-daemon --unlock --components=secrets --daemonize >/dev/null;
     ctest --test-dir "$0" -L keyring -LE root --output-on-failure "$@"' \
    "$dir" "${junit_options[@]}" "$junit"
  local rc=$?
  as_test_user rm -rf "$home"
  return "$rc"
}

# Each X11 test gets an X server of its own: one test's windows and synthetic input must
# not reach the next (the idle counter test needs a display nobody touches).
run_x11() {
  local tag="$1" dir="$2"
  local fails=0 number
  # By number: a parameterised test's name holds characters a name pattern would misread.
  while read -r number; do
    user_ctest "$tag" xvfb-run -a ctest --test-dir "$dir" -I "$number,$number" </dev/null ||
      fails=$((fails + 1))
  done < <(as_test_user ctest --test-dir "$dir" -N -L x11 -LE root | sed -nE 's/^ *Test +#([0-9]+): .*/\1/p')
  [ "$fails" -eq 0 ]
}

# What no user can do runs as root: directly, or through sudo for a normal user.
run_root() {
  local tag="$1" dir="$2"
  local junit
  next_junit "$tag"
  local ctest_root=(ctest --test-dir "$dir" -L root -j "$jobs" --output-on-failure
    "${junit_options[@]}" "$junit")
  if [ "$(id -u)" -eq 0 ]; then
    "${ctest_root[@]}"
  elif sudo -n true 2>/dev/null || { [ -t 0 ] && sudo -v; }; then
    sudo --preserve-env=LSAN_OPTIONS,UBSAN_OPTIONS,TSAN_OPTIONS "${ctest_root[@]}"
    local rc=$?
    # What root wrote in the user's build folder stays the user's.
    sudo chown -R "$(id -u):$(id -g)" "$dir/Testing" "$dir/test-tmp" "$junit" 2>/dev/null
    return "$rc"
  else
    # Named as skipped, each with the reason.
    {
      echo '<testsuite>'
      as_test_user ctest --test-dir "$dir" -N -L root | sed -nE 's/^ *Test +#[0-9]+: +//p' |
        sed -E 's/&/\&amp;/g; s/"/\&quot;/g; s/</\&lt;/g' |
        sed -E 's|(.*)|<testcase name="\1" status="notrun"><skipped message="did not run: it needs root, and sudo is not available to this user"/></testcase>|'
      echo '</testsuite>'
    } >"$junit"
  fi
}

# --- Builds -------------------------------------------------------------------------------
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

if [ "$(id -u)" -eq 0 ]; then
  echo "tests run as $(as_test_user id -un) (uid $(as_test_user id -u)); the label root as root"
else
  echo "tests run as $(id -un) (uid $(id -u)); the label root through sudo, where it may"
fi

for config in normal asan; do
  dir="build/$config"
  # Everything, whatever an earlier configuration of the folder chose.
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DM2_TESTS=ON -DM2_BENCH=ON)
  [ "$config" = asan ] && flags+=(-DM2_SANITIZE=ON -DM2_BENCH=OFF)
  if ! build "$dir" "${flags[@]}"; then
    echo "build failed: $config"
    exit 1
  fi
  open_scratch "$dir"
  run_group "$config unit" run_unit "$config-unit" "$dir"
  run_group "$config keyring" run_keyring "$config-keyring" "$dir"
  run_group "$config x11" run_x11 "$config-x11" "$dir"
  run_group "$config root" run_root "$config-root" "$dir"
done

if cmake -S . -B build/tsan -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DM2_TSAN=ON \
  -DM2_TESTS=ON -DM2_BENCH=OFF >/dev/null && cmake --build build/tsan -j "$jobs" --target m2_threaded_tests; then
  open_scratch build/tsan
  run_group "tsan threaded" user_ctest tsan-threaded ctest --test-dir build/tsan -L threaded -LE root -j "$jobs"
else
  echo "build failed: tsan"
  exit 1
fi

echo
printf '%s\n' "${summary[@]}"
echo "all: $PASSED passed, $FAILED failed, $SKIPPED skipped"
exit $failed
