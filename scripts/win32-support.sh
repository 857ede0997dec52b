# shellcheck shell=bash
# Sourced by the scripts that run Windows programs. Some virtual machines run only 64-bit
# programs: their kernels refuse every 32-bit one ("Exec format error"), Wine's 32-bit
# loader included. win32_unavailable_reason prints why 32-bit Windows programs cannot run
# here and succeeds; on a machine where they can, it prints nothing and fails.
win32_unavailable_reason() {
  local loader=/usr/lib/wine/wine out
  if [ ! -x "$loader" ]; then
    echo "32-bit Wine ($loader) is not installed"
    return 0
  fi
  if out=$("$loader" --version 2>&1); then
    return 1
  fi
  echo "this machine cannot start 32-bit programs ($loader --version: ${out:-failed})"
  return 0
}
