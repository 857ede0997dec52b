# shellcheck shell=bash
# Sourced by the shell test scripts. A script says how many checks it will make (plan),
# records problems (fail) and closes each check (check_done: failed when a problem was
# recorded since the last one), and ends with checks_end, which prints the one summary line
# CTest reads (tests/support/script-complete.sh) and fails unless every planned check was
# made and none failed:
#   <script>: <made> of <planned> checks made, <failed> failed
# A script that stops early, or skips a loop's rows, never prints a matching line.
checks_name="$(basename "$0")"
checks_name="${checks_name%.*}"
checks_planned=0
checks_made=0
checks_failed=0
checks_open_problems=0

# plan <n>: n more checks will be made.
plan() { checks_planned=$((checks_planned + $1)); }

# fail <text>: a problem with the check in progress.
fail() {
  echo "FAIL: $*"
  checks_open_problems=$((checks_open_problems + 1))
}

# check_done [what]: the check in progress is made; it failed if fail was called for it.
check_done() {
  checks_made=$((checks_made + 1))
  if [ "$checks_open_problems" -gt 0 ]; then
    checks_failed=$((checks_failed + 1))
  elif [ -n "${1:-}" ]; then
    echo "ok: $1"
  fi
  checks_open_problems=0
}

# check <what> <command...>: one check made by running a command.
check() {
  local what="$1"
  shift
  "$@" || fail "$what"
  check_done "$what"
}

# checks_end: the summary line; succeeds only when all planned checks were made and passed.
checks_end() {
  if [ "$checks_open_problems" -gt 0 ]; then check_done; fi
  echo "$checks_name: $checks_made of $checks_planned checks made, $checks_failed failed"
  [ "$checks_made" -eq "$checks_planned" ] && [ "$checks_failed" -eq 0 ]
}
