#!/usr/bin/env bash
# Usage: lint_firefox_package.sh <source-dir> <extension-dir>
# The Firefox package passes AMO's own checks before anyone uploads it: Mozilla's
# addons-linter (pinned in tests/browser/package-lock.json) finds no error, warning or
# notice in <extension-dir> (the build's firefox/ folder, the files of the store zip). And
# a copy with a fault the linter only warns about (an older minimum version than the data
# declaration needs) is refused, so that warnings count here as AMO counts them.
set -u
root="$1"; extension="$2"
# shellcheck source=tests/support/checks.sh
. "$(dirname "$0")/../support/checks.sh"
linter="$root/tests/browser/node_modules/.bin/addons-linter"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# findings <dir>: the linter's findings as "<kind> <code>" lines; fails when it cannot run.
findings() {
  "$linter" --output json --warnings-as-errors "$1" >"$work/lint.json" 2>"$work/lint.err"
  # shellcheck disable=SC2016 # the ${...} is JavaScript's, inside its template string
  node -e '
    const r = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8"));
    for (const kind of ["errors", "warnings", "notices"]) for (const f of r[kind]) console.log(`${kind} ${f.code}`);
  ' "$work/lint.json"
}

plan 2
if out="$(findings "$extension")"; then
  [ -z "$out" ] || fail "addons-linter on $extension: $(tr '\n' ' ' <<<"$out")"
else
  fail "addons-linter could not lint $extension: $(cat "$work/lint.err")"
fi
check_done "the Firefox package: no error, warning or notice from addons-linter"

cp -r "$extension" "$work/spoiled"
node -e '
  const f = process.argv[1], m = JSON.parse(require("fs").readFileSync(f, "utf8"));
  m.browser_specific_settings.gecko.strict_min_version = "128.0";
  require("fs").writeFileSync(f, JSON.stringify(m));
' "$work/spoiled/manifest.json"
out="$(findings "$work/spoiled")" || true
grep -q '^warnings KEY_FIREFOX_UNSUPPORTED_BY_MIN_VERSION$' <<<"$out" ||
  fail "a package whose minimum version is too old for its data declaration was not refused: $out"
check_done "a package the linter only warns about is refused"
checks_end
