#!/usr/bin/env bash
# Installs everything the build, the tests, the demo and the release package need.
# Idempotent: when every package is present it only checks and returns.
set -uo pipefail

PACKAGES=(
  cmake make ninja-build
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine32:i386 wine64
  xvfb xauth
  googletest
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

# The browser tests need Node.js 20 or newer (playwright-core); Debian 12's is 18.
if ! node -e 'process.exit(Number(process.versions.node.split(".")[0]) >= 20 ? 0 : 1)' 2>/dev/null; then
  echo "setup: Node.js 20 or newer is needed for the extension's build and tests (node --version)" >&2
fi

if [ ${#missing[@]} -eq 0 ]; then
  bash "$(dirname "$0")/npm-ci.sh" "$(cd "$(dirname "$0")/.." && pwd)/tests/browser"
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
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
  if ! install "${missing[@]}"; then
    echo "setup: install failed even with the fallback" >&2
    exit 1
  fi
fi
bash "$(dirname "$0")/npm-ci.sh" "$(cd "$(dirname "$0")/.." && pwd)/tests/browser"
echo "setup: done"
