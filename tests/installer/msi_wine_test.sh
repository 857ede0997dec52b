#!/usr/bin/env bash
# Usage: msi_wine_test.sh <source-dir> <x64|x86|user> <msi> <version> <work-dir> <wine-exec>
#                         <install|refused> <tarvx-host.exe> <tarvx-diag.exe>
#                         <32-bit npTARVX.dll> <64-bit npTARVX.dll|-> <bin-dir|->
# The installer under Wine's msiexec, silent (/qn), through <wine-exec> (scripts/wine-exec.sh
# or scripts/wine64-exec.sh, inside scripts/with-wine.sh). <bin-dir> holds tarvx-diag.exe,
# nphost.exe and the simulated reader of <wine-exec>'s width ("-": none).
#   install  Both features by default: the host, manifests and plug-ins installed as built
#            (and tarvx-diag.exe in the vendor folder, with either feature),
#            the browsers' keys and the plug-in's MozillaPlugins keys in the hive and views
#            of the package; tarvx-diag --bridge content; the installed plug-in of this
#            width, found through its registry entry's Path, loaded in nphost and handing a
#            presented card to the page. A deleted plug-in and a manifest edited by hand
#            restored by a repair (REINSTALLMODE=amus, as /famus). Then each
#            feature alone (ADDLOCAL): the other's files and keys absent; the plug-in added
#            to the bridge's installation and removed again (REMOVE). Every uninstall
#            leaves no file, folder, key or installation record, and another plug-in's
#            MozillaPlugins key untouched. Upgrade: an older package, then this one, then
#            this version built again leave one installation and only this version's keys;
#            the older one then refuses; the plug-in alone upgraded with ADDLOCAL=Plugin
#            stays alone.
#   refused  the package refuses to install (its launch condition) and writes nothing.
set -u
root="$1"; variant="$2"; msi="$3"; version="$4"; work="$5"; W="$6"; mode="$7"
host="$8"; diag="$9"; plugin32="${10}"; plugin64="${11}"; bin="${12}"
# shellcheck source=tests/support/checks.sh
. "$root/tests/support/checks.sh"
indent() { sed 's/^/  /'; }
product='Tarvo USB IC-card reader'
# The host's name and each browser's key and manifest, from the one list the installer is made from.
names="$(node --input-type=module -e "import { HOST_NAME, WINDOWS_BROWSERS } from '$root/extension/names.mjs';
console.log(HOST_NAME); for (const b of WINDOWS_BROWSERS) console.log(b.manifest + ' ' + b.key);")" ||
  { echo "cannot read extension/names.mjs"; exit 1; }
host_name="$(head -n 1 <<<"$names")"
keys=(); manifests=()
while read -r manifest key; do manifests+=("$manifest"); keys+=("$key"); done < <(tail -n +2 <<<"$names")
if [ -z "$host_name" ] || [ "${#keys[@]}" -eq 0 ]; then echo "no names in extension/names.mjs: $names"; exit 1; fi
card=2587647617

mkdir -p "$work"
win() { "$W" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
unix() { "$W" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
msiexec() {  # <action> <msi> [property=value ...]: msiexec's exit code; 1603 comes back as 67
  local action="$1" package="$2"; shift 2
  "$W" msiexec "$action" "$(win "$package")" "$@" /qn /l*v "$(win "$work/msiexec.log")" >/dev/null 2>&1
}
refused_code() { [ "$1" -eq 1603 ] || [ "$1" -eq $((1603 & 255)) ]; }
succeeds() {  # <what> <action> <msi> [property=value ...]: msiexec, a failure unless it exits with 0
  local what="$1" rc; shift
  msiexec "$@"; rc=$?
  [ $rc -eq 0 ] || fail "$what exited with $rc (log: $work/msiexec.log)"
}

case "$variant" in
  x64) hive=HKLM; views=(64 32); folder='C:\Program Files' ;;
  x86) hive=HKLM; views=(-); folder='C:\Program Files' ;;
  user) hive=HKCU; views=(-); folder="$("$W" cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')\\Programs" ;;
  *) echo "unknown variant $variant"; exit 2 ;;
esac
vendor="$folder\\Tarvo"
installdir="$vendor\\USB IC-card reader bridge"
plugindir="$vendor\\npTARVX"
vendor_unix="$(unix "$vendor")"; installdir_unix="$(unix "$installdir")"; plugindir_unix="$(unix "$plugindir")"
plugins_key="$hive\\Software\\MozillaPlugins"
# The plug-in's registrations: <view>|<key name>|<DLL under the plug-in folder>|<built DLL>|<width>
case "$variant" in
  x64) registrations=("32|@tarvo/npTARVX,version=$version|npTARVX.dll|$plugin32|32"
                      "64|@tarvo/npTARVX,version=$version|x64\\npTARVX.dll|$plugin64|64") ;;
  x86) registrations=("-|@tarvo/npTARVX,version=$version|npTARVX.dll|$plugin32|32") ;;
  user) registrations=("-|@tarvo/npTARVX,version=$version|npTARVX.dll|$plugin32|32"
                       "-|@tarvo/npTARVX-x64,version=$version|x64\\npTARVX.dll|$plugin64|64") ;;
esac
case "$W" in *wine64-exec.sh) width=64 ;; *) width=32 ;; esac
# Another vendor's plug-in, registered beside ours: no uninstall may touch it.
other_key="$plugins_key\\@example.com/other-plugin,version=2.0"

view_args() { [ "$1" = - ] || echo "/reg:$1"; }
reg_query() {  # <key> <view> [reg query options]: the output, CR removed
  local key="$1" view="$2"; shift 2
  # shellcheck disable=SC2046
  "$W" reg query "$key" "$@" $(view_args "$view") 2>/dev/null | tr -d '\r'
}
# A value read as nothing is read once more before it counts as missing: a `reg` run under
# a loaded machine once printed nothing for a key that was there (seen in one full test run).
read_again_if_empty() {  # <command...>
  local out
  out="$("$@")"
  if [ -z "$out" ]; then sleep 1; out="$("$@")"; fi
  printf '%s' "$out"
}
default_value_once() { reg_query "$1" "$2" /ve | sed -n 's/^ *(Default) *REG_SZ *//p'; }
named_value_once() { reg_query "$1" "$2" /v "$3" | sed -n "s/^ *$3 *REG_SZ *//p"; }
default_value() { read_again_if_empty default_value_once "$@"; }
named_value() { read_again_if_empty named_value_once "$@"; }
key_exists() {  # <key> <view>
  # shellcheck disable=SC2046
  "$W" reg query "$1" $(view_args "$2") >/dev/null 2>&1
}
our_plugin_keys() {  # <view>: the names of our MozillaPlugins keys there, one per line, sorted
  reg_query "$plugins_key" "$1" | sed -n 's/^HKEY_[A-Z_]*\\Software\\MozillaPlugins\\\(@tarvo\/.*\)$/\1/p' | sort
}

installations() {  # the product's installations Windows Installer knows, as "name version" lines
  "$W" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Installer\UserData' /s 2>/dev/null |
    tr -d '\r' | awk -v p="$product" '/^HKEY/ {n=""} /DisplayName/ {sub(/.*REG_SZ */, ""); n=$0}
      /DisplayVersion/ && n==p {sub(/.*REG_SZ */, ""); print n " " $0}'
}
installed_as() {  # <version> <when>: Windows Installer knows this one installation, of <version>
  [ "$(installations)" = "$product $1" ] || fail "$2, Windows Installer lists: $(installations)"
}

# tarvx-diag.exe, in the vendor folder for either feature.
check_diag_installed() {  # <when>
  cmp -s "$vendor_unix/tarvx-diag.exe" "$diag" || fail "$1: $vendor\\tarvx-diag.exe is not the built tarvx-diag.exe"
}

check_bridge_installed() {  # <when>
  local dir="$installdir_unix"
  check_diag_installed "$1"
  cmp -s "$dir/tarvx-host.exe" "$host" || fail "$1: $installdir\\tarvx-host.exe is not the built host"
  for family in chromium firefox; do
    [ -f "$dir/$host_name.$family.json" ] || fail "$1: $host_name.$family.json not installed"
  done
  for i in "${!keys[@]}"; do
    for view in "${views[@]}"; do
      got="$(default_value "$hive\\${keys[$i]}\\$host_name" "$view")"
      want="$installdir\\$host_name.${manifests[$i]}.json"
      [ "$got" = "$want" ] || fail "$1: $hive\\${keys[$i]}\\$host_name (view $view) is '$got', expected '$want'"
    done
  done
}

check_bridge_absent() {  # <when>
  [ ! -e "$installdir_unix" ] || fail "$1: $installdir is there"
  for key in "${keys[@]}"; do
    for view in "${views[@]}"; do
      ! key_exists "$hive\\$key\\$host_name" "$view" || fail "$1: $hive\\$key\\$host_name (view $view) is there"
    done
  done
}

check_plugin_installed() {  # <when>: each DLL as built, each key with its values, no other key of ours
  check_diag_installed "$1"
  local entry view name file built expected
  for entry in "${registrations[@]}"; do
    IFS='|' read -r view name file built _ <<<"$entry"
    cmp -s "$plugindir_unix/${file//\\//}" "$built" || fail "$1: $plugindir\\$file is not $built"
    [ "$(named_value "$plugins_key\\$name" "$view" Path)" = "$plugindir\\$file" ] ||
      fail "$1: $plugins_key\\$name (view $view) Path is '$(named_value "$plugins_key\\$name" "$view" Path)'"
    [ "$(named_value "$plugins_key\\$name" "$view" Version)" = "$version" ] ||
      fail "$1: $plugins_key\\$name (view $view) has no Version $version"
    [ "$(named_value "$plugins_key\\$name" "$view" ProductName)" = TarvoUsbICReaderPlugIn ] ||
      fail "$1: $plugins_key\\$name (view $view) has no ProductName"
  done
  for view in "${views[@]}"; do
    expected="$(for entry in "${registrations[@]}"; do
      IFS='|' read -r v name _ <<<"$entry"; [ "$v" = "$view" ] && echo "$name"; done | sort)"
    [ "$(our_plugin_keys "$view")" = "$expected" ] ||
      fail "$1: our MozillaPlugins keys (view $view) are: $(our_plugin_keys "$view" | tr '\n' ' ')"
  done
}

check_plugin_absent() {  # <when>
  [ ! -e "$plugindir_unix" ] || fail "$1: $plugindir is there"
  for view in "${views[@]}"; do
    [ -z "$(our_plugin_keys "$view")" ] ||
      fail "$1: MozillaPlugins keys of ours (view $view): $(our_plugin_keys "$view" | tr '\n' ' ')"
  done
}

check_removed() {  # <when>: nothing of ours left, the other plug-in's key still there
  check_bridge_absent "$1"
  check_plugin_absent "$1"
  [ ! -e "$vendor_unix" ] || fail "$1: $vendor is still there"
  # The per-user package's own bookkeeping values (its folders' key paths).
  local own="$hive\Software\Tarvo\USB IC-card reader bridge"
  ! key_exists "$own" - || fail "$1: $own is still there"
  [ -z "$(installations)" ] || fail "$1: still known to Windows Installer: $(installations)"
  for view in "${views[@]}"; do
    [ "$(named_value "$other_key" "$view" Path)" = 'C:\other\npother.dll' ] ||
      fail "$1: another vendor's plug-in key (view $view) was touched"
  done
}

diagnose() {  # <when> <--bridge|--plugin> <expected exit code> <text expected in the output>
  [ "$bin" != - ] || return 0
  local out rc
  out="$("$W" "$bin/tarvx-diag.exe" "$2" 2>&1)"; rc=$?
  out="$(tr -d '\r' <<<"$out")"
  [ "$rc" = "$3" ] || { fail "$1: tarvx-diag $2 exited with $rc, expected $3"; indent <<<"$out"; }
  grep -qF -- "$4" <<<"$out" || { fail "$1: tarvx-diag $2 did not say '$4'"; indent <<<"$out"; }
}

# The installed plug-in of this width as a browser finds it: the registry entry's Path,
# loaded by nphost (from <bin-dir>, whose simulated reader it meets), a card presented.
load_installed_plugin() {  # <when>
  [ "$bin" != - ] || return 0
  local entry view name w path out
  for entry in "${registrations[@]}"; do
    IFS='|' read -r view name _ _ w <<<"$entry"
    [ "$w" = "$width" ] || continue
    path="$(named_value "$plugins_key\\$name" "$view" Path)"
    out="$(cd "$bin" && "$W" nphost.exe "$path" plug wait:300 "card:$card" wait:500 unplug 2>&1 | tr -d '\r')"
    if grep -qF "CardReaded($card)" <<<"$out" && grep -qF "loaded $path" <<<"$out"; then
      echo "$1: $path (from $name) loaded, CardReaded($card)"
    else
      fail "$1: the plug-in registered as $name ($path) did not load or report the card"; indent <<<"$out"
    fi
  done
}

set_other_plugin() {  # <add|delete>
  local view
  for view in "${views[@]}"; do
    if [ "$1" = add ]; then
      # shellcheck disable=SC2046
      "$W" reg add "$other_key" /v Path /t REG_SZ /d 'C:\other\npother.dll' /f $(view_args "$view") >/dev/null 2>&1
    else
      # shellcheck disable=SC2046
      "$W" reg delete "$other_key" /f $(view_args "$view") >/dev/null 2>&1
    fi
  done
}

if [ "$mode" = refused ]; then
  plan 1
  msiexec /i "$msi"; rc=$?
  refused_code "$rc" || fail "$msi installed (exit $rc), expected a refusal (1603)"
  check_bridge_absent "after the refused install"
  check_plugin_absent "after the refused install"
  [ -z "$(installations)" ] || fail "after the refused install, Windows Installer lists: $(installations)"
  check_done "$variant package refused as it should be, nothing written"
  checks_end
  exit
fi

# Three stages: both features; each feature alone; upgrades.
plan 3

set_other_plugin add
trap 'set_other_plugin delete' EXIT

# Both features, as installed by default.
succeeds "install" /i "$msi"
check_bridge_installed "after install"
check_plugin_installed "after install"
installed_as "$version" "after install"
diagnose "after install" --bridge 0 "$host_name: ok"
diagnose "after install" --plugin 0 "Path: $plugindir\\npTARVX.dll"
load_installed_plugin "after install"

# A repair, as the guide and tarvx-diag give it, puts back what was deleted and what was
# edited by hand (a host manifest "fixed" by an administrator).
manifest_unix="$installdir_unix/$host_name.chromium.json"
cp "$manifest_unix" "$work/manifest.installed"
for entry in "${registrations[@]}"; do
  IFS='|' read -r _ _ file _ <<<"$entry"
  rm -f "$plugindir_unix/${file//\\//}"
done
printf '{"name": "%s", "edited": "by hand"}' "$host_name" >"$manifest_unix"
succeeds "repair" /i "$msi" REINSTALL=ALL REINSTALLMODE=amus
check_plugin_installed "after deleting the plug-ins and repairing"
cmp -s "$manifest_unix" "$work/manifest.installed" || fail "after repairing, the manifest edited by hand was not put back"

succeeds "uninstall" /x "$msi"
check_removed "after uninstall"
diagnose "after uninstall" --bridge 1 "not registered"
diagnose "after uninstall" --plugin 1 "not registered"
check_done "$variant: both features installed, checked, repaired, uninstalled, nothing left"

# Each feature alone.
succeeds "install with ADDLOCAL=Bridge" /i "$msi" ADDLOCAL=Bridge
check_bridge_installed "with ADDLOCAL=Bridge"
check_plugin_absent "with ADDLOCAL=Bridge"
diagnose "with ADDLOCAL=Bridge" --plugin 1 "not registered"
# A feature added to the installation, then removed from it.
succeeds "adding Plugin" /i "$msi" ADDLOCAL=Plugin
check_bridge_installed "after adding Plugin"
check_plugin_installed "after adding Plugin"
succeeds "removing Plugin" /i "$msi" REMOVE=Plugin
check_bridge_installed "after removing Plugin"
check_plugin_absent "after removing Plugin"
succeeds "uninstall after ADDLOCAL=Bridge" /x "$msi"
check_removed "after uninstalling ADDLOCAL=Bridge"
succeeds "install with ADDLOCAL=Plugin" /i "$msi" ADDLOCAL=Plugin
check_plugin_installed "with ADDLOCAL=Plugin"
check_bridge_absent "with ADDLOCAL=Plugin"
diagnose "with ADDLOCAL=Plugin" --plugin 0 "Result: ok"
diagnose "with ADDLOCAL=Plugin" --bridge 1 "not registered"
load_installed_plugin "with ADDLOCAL=Plugin"
succeeds "uninstall after ADDLOCAL=Plugin" /x "$msi"
check_removed "after uninstalling ADDLOCAL=Plugin"
check_done "$variant: ADDLOCAL=Bridge and ADDLOCAL=Plugin each install their feature alone"

# Upgrades, with packages built here from the same files: one older, one of this version
# again (a new product code, as every build has).
older="$work/older.msi"; again="$work/again.msi"
bash "$root/installer/build-msi.sh" "$variant" 0.9.0 "$host" "$diag" "$plugin32" "$plugin64" "$older" 2>/dev/null ||
  fail "could not build $older"
bash "$root/installer/build-msi.sh" "$variant" "$version" "$host" "$diag" "$plugin32" "$plugin64" "$again" 2>/dev/null ||
  fail "could not build $again"
succeeds "installing 0.9.0" /i "$older"
installed_as "0.9.0" "after installing 0.9.0"
succeeds "upgrading 0.9.0 to $version" /i "$msi"
installed_as "$version" "after the upgrade"
check_bridge_installed "after the upgrade"
check_plugin_installed "after the upgrade"
succeeds "installing $version built again" /i "$again"
installed_as "$version" "after $version built again"
msiexec /i "$older"; rc=$?
refused_code "$rc" || fail "installing 0.9.0 over $version exited with $rc, expected a refusal (1603)"
installed_as "$version" "after the refused downgrade"
succeeds "uninstalling after the upgrades" /x "$again"
check_removed "after uninstalling the upgraded installation"
# An upgrade of one feature with the same command line keeps it alone. (Without ADDLOCAL,
# Windows carries the older installation's choice over, MigrateFeatureStates; Wine's
# msiexec installs both features then, so that is not checked here.)
succeeds "installing 0.9.0 with ADDLOCAL=Plugin" /i "$older" ADDLOCAL=Plugin
succeeds "upgrading 0.9.0 (Plugin alone) to $version" /i "$msi" ADDLOCAL=Plugin
installed_as "$version" "after upgrading Plugin alone"
check_plugin_installed "after upgrading Plugin alone"
check_bridge_absent "after upgrading Plugin alone"
succeeds "uninstalling after upgrading Plugin alone" /x "$msi"
check_removed "after uninstalling the upgraded Plugin"
check_done "$variant: 0.9.0 -> $version -> $version again: one installation; downgrade refused; one feature upgraded alone; removed"
checks_end
