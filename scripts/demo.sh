#!/usr/bin/env bash
# Usage: demo.sh [build-dir] [--route plugin|bridge|both] [-- demo-option ...]   (default: build, both)
#   bash scripts/demo.sh                         both routes
#   bash scripts/demo.sh -- --card 42 --interactive
#   bash scripts/demo.sh --route bridge          the bridge only
#   bash scripts/demo.sh --help                  the demos' options
#   make demo ARGS="--card 42"    make demo ARGS="--route plugin"
# Installs what is missing, builds what the routes need and runs, under Wine with a
# virtual display and the simulated reader:
#   plugin  the plug-in in the demo's browser host (npTARVX_demo.exe); screenshots in
#           <build-dir>/demo/. A machine that cannot start 32-bit programs runs the 64-bit
#           build's demo under 64-bit Wine (screenshots in <build-dir>/x64/demo/) and says so.
#   bridge  then the same cards through the bridge: the unchanged sample page in headless
#           Chromium with the extension and the 64-bit tarvx-host.exe (tools/bridge-demo);
#           the page's screenshot is <build-dir>/demo/bridge-sample-page.png.
# The demo options go to both (the bridge demo takes --card, --out and --expect, and notes
# the plug-in's own). The exit code is the plug-in demo's when it failed, else the bridge's.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
  build="$1"
  shift
fi
route=both
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --route) route="${2:-}"; shift $(( $# > 1 ? 2 : 1 )) ;;
    --route=*) route="${1#--route=}"; shift ;;
    --) shift ;;
    *) args+=("$1"); shift ;;
  esac
done
case "$route" in
  plugin|bridge|both) ;;
  *) echo "demo: --route is plugin, bridge or both, not '$route'" >&2; exit 2 ;;
esac
build="$(mkdir -p "$build" && cd "$build" && pwd)"
wants() { [ "$route" = both ] || [ "$route" = "$1" ]; }

# shellcheck source=scripts/width.sh
. "$root/scripts/width.sh"
# Installs what is missing, then decides once which plug-in demo this machine runs (inside
# with-wine.sh the decision is inherited).
decide_width
if [ -z "${NPTARVX_IN_XVFB:-}" ]; then
  if wants plugin; then
    if [ "$TARVX_WIDTH" = win64 ]; then
      echo "demo: $TARVX_NO_WIN32; running the 64-bit build's plug-in demo under 64-bit Wine"
      bash "$root/scripts/build.sh" "$build" --x64 npTARVX_demo
    else
      bash "$root/scripts/build.sh" "$build" npTARVX_demo
    fi
  fi
  if wants bridge; then
    bash "$root/scripts/build.sh" "$build" extension
    bash "$root/scripts/build.sh" "$build" --x64 tarvx-host simreader-ctl simreader_hid simreader_setupapi
  fi
  exec "$root/scripts/with-wine.sh" "$build" bash "$0" "$build" --route "$route" -- ${args[@]+"${args[@]}"}
fi

# Inside with-wine.sh: the routes, one after the other.
for arg in ${args[@]+"${args[@]}"}; do
  if [ "$arg" = --help ] || [ "$arg" = -h ]; then
    echo "demo.sh: --route plugin|bridge|both (default both) runs one route or both; the options"
    echo "below go to the route(s) run."
  fi
done
plugin_rc=0
bridge_rc=0
if wants plugin; then
  echo "== The plug-in (NPAPI) in the demo's browser host"
  tree="$build"
  if [ "$TARVX_WIDTH" = win64 ]; then tree="$build/x64"; fi
  "$(wine_runner "$TARVX_WIDTH")" "$tree/bin/npTARVX_demo.exe" ${args[@]+"${args[@]}"} || plugin_rc=$?
fi
if wants bridge; then
  echo "== The bridge: the sample page in headless Chromium, the extension and tarvx-host.exe"
  # Here too, for runs started inside with-wine.sh (the tests): the browser drivers.
  bash "$root/scripts/npm-ci.sh" "$root/tests/browser"
  node "$root/tools/bridge-demo/bridge-demo.mjs" --build "$build" ${args[@]+"${args[@]}"} || bridge_rc=$?
fi
if [ "$plugin_rc" -ne 0 ]; then exit "$plugin_rc"; fi
exit "$bridge_rc"
