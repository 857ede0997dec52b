#!/usr/bin/env bash
# Installs everything the build, the tests, the demo and the release package need.
# Idempotent: when every package is present it only checks and returns. Stops at the first
# step that fails, saying which and what to do, and exits non-zero.
set -uo pipefail
stop() { echo "setup: $*" >&2; exit 1; }

PACKAGES=(
  cmake make ninja-build
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine32:i386 wine64
  xvfb xauth
  googletest nlohmann-json3-dev
  libpng-dev
  clang libclang-rt-14-dev libfuzzer-14-dev libbenchmark-dev
  zip unzip
  wixl msitools
  clang-format clang-tidy shellcheck
  chromium firefox-esr
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# The extension's build and the browser tests need Node.js 20 or newer (playwright-core);
# Debian 12's own package is 18.
if ! command -v node >/dev/null; then
  stop "Node.js 20 or newer is needed (the extension's build and its tests) and there is no 'node' on PATH; install it (for example from NodeSource's Debian packages) and run the command again"
fi
if ! node -e 'process.exit(Number(process.versions.node.split(".")[0]) >= 20 ? 0 : 1)'; then
  stop "Node.js 20 or newer is needed (the extension's build and its tests); this is $(node --version)"
fi
npm_ci() {
  bash "$(dirname "$0")/npm-ci.sh" "$(cd "$(dirname "$0")/.." && pwd)/tests/browser" ||
    stop "npm ci of tests/browser failed (the browser drivers and Prettier, pinned in its package-lock.json)"
}

if [ ${#missing[@]} -eq 0 ]; then
  npm_ci
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || stop "installing packages needs root: run as root, or install sudo"
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386 || stop "could not add the i386 architecture (dpkg --add-architecture i386), which 32-bit Wine needs"
fi

# 'apt-get update' exits non-zero when one index (often the i386 security one) fails
# although the rest were fetched; the install below tells whether that matters.
$SUDO apt-get update -qq || echo "setup: apt-get update reported errors; trying the install anyway"

install() { $SUDO apt-get install -y -qq --no-install-recommends "$@"; }

if ! install "${missing[@]}"; then
  # The i386 security index can lag behind the amd64 one, so multi-arch twins resolve to
  # different versions. Resolving both against the main suite makes them agree.
  echo "setup: plain install failed; applying the apt fallback (security suite pinned to priority 100)"
  pin=/etc/apt/preferences.d/zz-security-low-priority
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' | $SUDO tee "$pin" >/dev/null
  install "${missing[@]}" || stop "apt-get install failed even with the fallback; the packages were: ${missing[*]}"
fi
npm_ci
echo "setup: done"
