# shellcheck shell=bash disable=SC2034  # the variables are for the scripts that source this
# What the scripts in this folder share; sourced by them, never run.
#
#   root     the project's root folder
#   jobs     how many build jobs to run at once
#   under_ci true under CI (CI=true): compiler warnings are errors there
#            (werror=ON) and a step that skips fails
#
# A script or step that cannot run here (a tool missing, a machine that
# cannot run it) prints why and exits with status 77. Every script but
# scripts/run answers --help with its usage (answer_help) and does nothing
# else.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
under_ci=false
werror=OFF
if [ "${CI:-}" = "true" ]; then
  under_ci=true
  werror=ON
fi

# The Debian packages that scripts/test uses, in one place: it installs the
# missing ones where it may (see ensure_packages in scripts/test).
# Building the tool and the test suites:
build_packages=(cmake make g++ libgtest-dev libgmock-dev libbenchmark-dev)
# The format and shell checks, the fuzzers (clang with its sanitizer
# runtimes), valgrind:
check_packages=(clang-format shellcheck clang libclang-rt-14-dev valgrind)
# The packages and their check (scripts/package, scripts/test-packages):
# dpkg-shlibdeps and file for cpack's Debian package, lintian, man, unzip.
package_packages=(dpkg-dev file lintian man-db unzip)
# The 32-bit Windows build:
windows_packages=(g++-mingw-w64-i686)
# Wine to run it, with its recommended packages; wine32 is an i386 package.
wine_packages=(wine wine64 wine32:i386)

# `answer_help "$@"`: where the first argument is --help or -h, prints the
# script's opening comment (its usage) and exits.
answer_help() {
  case ${1:-} in
    --help | -h)
      sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"
      exit 0
      ;;
  esac
}

# The wall time of each stage, in the order they ran: `timed NAME COMMAND...`
# runs the command, prints its time and notes it for stage_table. The
# command runs in a subshell with errexit on, so that a function's failing
# command ends it as it would outside (bash turns errexit off in a function
# whose status is tested).
stage_names=()
stage_seconds=()
timed() {
  local name=$1 start=$SECONDS status=0
  shift
  set +e
  (
    set -e
    "$@"
  )
  status=$?
  set -e
  stage_names+=("$name")
  stage_seconds+=($((SECONDS - start)))
  echo "== $name: $((SECONDS - start)) s"
  return "$status"
}

# Prints the stages noted by `timed` as a table, with their sum.
stage_table() {
  local i total=0
  echo "== wall time of each stage"
  for i in "${!stage_names[@]}"; do
    printf '%6d s  %s\n' "${stage_seconds[$i]}" "${stage_names[$i]}"
    total=$((total + stage_seconds[i]))
  done
  printf '%6d s  %s\n' "$total" "in all"
}

# Runs `step NAME COMMAND...`: a step that exits with 77 was skipped, which is
# a note here and a failure under CI. Any other failure ends the script. Its
# wall time is noted as a stage.
step() {
  local name=$1 status=0
  shift
  timed "$name" "$@" || status=$?
  if [ "$status" -eq 77 ]; then
    if $under_ci; then
      echo "== $name must run under CI" >&2
      exit 1
    fi
    echo "== NOTE: $name was skipped (see above)"
  elif [ "$status" -ne 0 ]; then
    exit "$status"
  fi
}

# Writes the registry file FILE naming LIBRARY as the board library:
#   write_registry FILE LIBRARY
write_registry() {
  cat >"$1" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenby\\Ferrule\\1.0\\PLX9080]
"path"="$2"
REG
}
