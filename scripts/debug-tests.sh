#!/usr/bin/env bash
# Usage: debug-tests.sh <build-dir> --build | --test
# The debug leg: the product code and its unit tests (win32/ reader/ image/ plugin/) at
# -O0 -g with libstdc++'s assertions (-D_GLIBCXX_ASSERTIONS: bounds-checked operator[],
# front/back on empty containers, ...), in <build-dir>/debug. It uses the 32-bit (i686)
# toolchain where 32-bit programs can start, the x86-64 one otherwise, and says which.
# --build configures and builds only what the suites need; --test runs them (inside
# scripts/with-wine.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
# shellcheck source=scripts/width.sh
. "$root/scripts/width.sh"
decide_width
suites=(win32_toolkit_tests card_report_tests hid_enumeration_tests hid_listen_thread_tests
  usb_ic_reader_manager_tests status_image_tests plugin_layer_tests)
# One tree per width, so that a build directory carried to a machine of the other kind
# never runs a tree of the wrong width.
dir="$build/debug/$TARVX_WIDTH"
if [ "$TARVX_WIDTH" = win64 ]; then
  toolchain=mingw-x86_64.cmake arch="x86-64 (win64; $TARVX_NO_WIN32)"
else
  toolchain=mingw-i686.cmake arch="i686 (win32)"
fi
case "${2:-}" in
  --build)
    echo "debug leg: building with the $arch toolchain in $dir"
    if [ ! -f "$dir/CMakeCache.txt" ]; then
      cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
        -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g -D_GLIBCXX_ASSERTIONS" \
        -DCMAKE_C_FLAGS_DEBUG="-O0 -g" >/dev/null
    fi
    # The reader's suites load the simulated reader's stand-in hid.dll and setupapi.dll;
    # the image suite paints through the plug-in DLL's resources.
    cmake --build "$dir" --target "${suites[@]}" simreader_hid simreader_setupapi npTARVX image_caching_painter
    ;;
  --test)
    echo "debug leg: the $arch build at -O0 -g -D_GLIBCXX_ASSERTIONS"
    pattern="^($(IFS='|'; echo "${suites[*]}"))\$"
    ctest --test-dir "$dir" --output-on-failure --timeout 600 -j 2 -R "$pattern"
    ;;
  *) echo "usage: debug-tests.sh <build-dir> --build | --test" >&2; exit 2 ;;
esac
