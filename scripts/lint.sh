#!/usr/bin/env bash
# Usage: lint.sh [build-dir]   (default: build; needs a configured 32-bit tree there)
# clang-tidy 14 with the repository's .clang-tidy on the product code (plugin/ reader/
# win32/ image/ bridge/ json/), from the 32-bit MinGW tree's compile database. clang analyses
# the cross build itself: --target=i686-w64-mingw32, the MinGW headers and the posix
# g++'s libstdc++. Fails on any finding. Two files at a time.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="$build/tidy"
mkdir -p "$out"
gcc_dirs=(/usr/lib/gcc/i686-w64-mingw32/*-posix/include/c++)
gcc_cxx="${gcc_dirs[-1]}"
python3 - "$root" "$build/compile_commands.json" "$out/compile_commands.json" "$gcc_cxx" <<'PY'
import json, shlex, sys
root, src, dst, cxx = sys.argv[1:]
product = tuple(f"{root}/{d}/" for d in ("plugin", "reader", "win32", "image", "bridge", "json"))
# GCC-only warnings clang would not know, and -Werror (clang-tidy's own setting decides).
drop = {"-Werror", "-Wduplicated-cond", "-Wlogical-op"}
entries = []
for e in json.load(open(src)):
    if not e["file"].startswith(product) or not e["file"].endswith(".cpp"):
        continue
    args = shlex.split(e["command"])
    args = ["clang++", "--target=i686-w64-mingw32", "-nostdinc++", "-isystem", cxx,
            "-isystem", f"{cxx}/i686-w64-mingw32", "-isystem", f"{cxx}/backward"] + \
           [a for a in args[1:] if a not in drop]
    entries.append({"directory": e["directory"], "file": e["file"], "command": shlex.join(args)})
json.dump(entries, open(dst, "w"), indent=1)
PY
clang_tidy="$(command -v clang-tidy-14 || command -v clang-tidy)"
python3 -c 'import json,sys; print("\n".join(e["file"] for e in json.load(open(sys.argv[1]))))' \
  "$out/compile_commands.json" >"$out/files"
status=0
xargs -P2 -n4 "$clang_tidy" -p "$out" --quiet <"$out/files" >"$out/findings.txt" 2>"$out/stderr.txt" || status=$?
if [ $status -ne 0 ] || grep -q "warning:\|error:" "$out/findings.txt"; then
  cat "$out/findings.txt"
  echo "clang-tidy: findings above (fix, or NOLINT(check) with the reason on the same line)"
  exit 1
fi
echo "clang-tidy: $(wc -l <"$out/files") product files, no findings"
