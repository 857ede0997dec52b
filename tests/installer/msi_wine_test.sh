#!/usr/bin/env bash
# Usage: msi_wine_test.sh <source-dir> <x64|x86|user> <msi> <tarvx-host.exe> <version>
#                         <work-dir> <wine-exec> <install|refused> <tarvx-diag.exe|->
# The bridge installer under Wine's msiexec, silent (/qn), through <wine-exec>
# (scripts/wine-exec.sh or scripts/wine64-exec.sh, inside scripts/with-wine.sh):
#   install  install: the host and manifests in the install folder, the browsers' keys in
#            the hive and views of the package; tarvx-diag --bridge content (0). Uninstall:
#            files, folders, keys and the installation record gone; tarvx-diag --bridge says
#            what is missing (1). Upgrade: an older package, then this one, then this
#            version built again leave one installation; the older one then refuses.
#   refused  the package refuses to install (its launch condition) and writes nothing.
set -u
root="$1"; variant="$2"; msi="$3"; host="$4"; version="$5"; work="$6"; W="$7"; mode="$8"; diag="$9"
status=0
fail() { echo "FAIL: $*"; status=1; }
indent() { sed 's/^/  /'; }
product='Tarvo USB IC-card reader bridge'
host_name=com.tarvo.usbicreader
keys=('Software\Google\Chrome\NativeMessagingHosts' 'Software\Microsoft\Edge\NativeMessagingHosts'
      'Software\Mozilla\NativeMessagingHosts')
manifests=(chromium chromium firefox)

mkdir -p "$work"
win() { "$W" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
unix() { "$W" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
msiexec() {  # <action> <msi>: msiexec's exit code; 1603 comes back as 67 (Wine gives 8 bits)
  "$W" msiexec "$1" "$(win "$2")" /qn /l*v "$(win "$work/msiexec.log")" >/dev/null 2>&1
}
refused_code() { [ "$1" -eq 1603 ] || [ "$1" -eq $((1603 & 255)) ]; }

case "$variant" in
  x64) hive=HKLM; views=(64 32); folder='C:\Program Files' ;;
  x86) hive=HKLM; views=(-); folder='C:\Program Files' ;;
  user) hive=HKCU; views=(-); folder="$("$W" cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')\\Programs" ;;
  *) echo "unknown variant $variant"; exit 2 ;;
esac
vendor="$folder\\Tarvo"
installdir="$vendor\\USB IC-card reader bridge"
vendor_unix="$(unix "$vendor")"; installdir_unix="$(unix "$installdir")"

default_value() {  # <key> <view>: the key's default value, or nothing when it is absent
  local view=()
  [ "$2" = - ] || view=("/reg:$2")
  "$W" reg query "$1" /ve "${view[@]}" 2>/dev/null | tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p'
}

installations() {  # the product's installations Windows Installer knows, as "name version" lines
  "$W" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Installer\UserData' /s 2>/dev/null |
    tr -d '\r' | awk -v p="$product" '/^HKEY/ {n=""} /DisplayName/ {sub(/.*REG_SZ */, ""); n=$0}
      /DisplayVersion/ && n==p {sub(/.*REG_SZ */, ""); print n " " $0}'
}

check_installed() {  # <when>
  local dir="$installdir_unix"
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

key_exists() {  # <key> <view>
  local view=()
  [ "$2" = - ] || view=("/reg:$2")
  "$W" reg query "$1" "${view[@]}" >/dev/null 2>&1
}

check_removed() {  # <when>
  [ ! -e "$vendor_unix" ] || fail "$1: $vendor is still there"
  for key in "${keys[@]}"; do
    for view in "${views[@]}"; do
      ! key_exists "$hive\\$key\\$host_name" "$view" || fail "$1: $hive\\$key\\$host_name (view $view) is still there"
    done
  done
  [ -z "$(installations)" ] || fail "$1: still known to Windows Installer: $(installations)"
}

diagnose() {  # <when> <expected exit code> <text expected in the output>
  [ "$diag" != - ] || return 0
  local out rc
  out="$("$W" "$diag" --bridge 2>&1)"; rc=$?
  out="$(tr -d '\r' <<<"$out")"
  [ "$rc" = "$2" ] || { fail "$1: tarvx-diag --bridge exited with $rc, expected $2"; indent <<<"$out"; }
  grep -qF -- "$3" <<<"$out" || { fail "$1: tarvx-diag --bridge did not say '$3'"; indent <<<"$out"; }
}

if [ "$mode" = refused ]; then
  msiexec /i "$msi"; rc=$?
  refused_code "$rc" || fail "$msi installed (exit $rc), expected a refusal (1603)"
  check_removed "after the refused install"
  [ $status -eq 0 ] && echo "$variant package refused as it should be, nothing written"
  exit $status
fi

msiexec /i "$msi"; rc=$?
[ $rc -eq 0 ] || fail "install exited with $rc (log: $work/msiexec.log)"
check_installed "after install"
[ "$(installations)" = "$product $version" ] || fail "after install, Windows Installer lists: $(installations)"
diagnose "after install" 0 "$host_name: ok"

msiexec /x "$msi"; rc=$?
[ $rc -eq 0 ] || fail "uninstall exited with $rc"
check_removed "after uninstall"
diagnose "after uninstall" 1 "not registered"
[ $status -eq 0 ] && echo "$variant: installed, checked, uninstalled, nothing left"

# Upgrades, with packages built here from the same host: one older, one of this version
# again (a new product code, as every build has).
older="$work/older.msi"; again="$work/again.msi"
bash "$root/installer/build-msi.sh" "$variant" 0.9.0 "$host" "$older" 2>/dev/null || fail "could not build $older"
bash "$root/installer/build-msi.sh" "$variant" "$version" "$host" "$again" 2>/dev/null || fail "could not build $again"
msiexec /i "$older"; rc=$?
[ $rc -eq 0 ] || fail "installing 0.9.0 exited with $rc"
[ "$(installations)" = "$product 0.9.0" ] || fail "after installing 0.9.0: $(installations)"
msiexec /i "$msi"; rc=$?
[ $rc -eq 0 ] || fail "upgrading 0.9.0 to $version exited with $rc"
[ "$(installations)" = "$product $version" ] || fail "after the upgrade, Windows Installer lists: $(installations)"
check_installed "after the upgrade"
msiexec /i "$again"; rc=$?
[ $rc -eq 0 ] || fail "installing $version built again exited with $rc"
[ "$(installations)" = "$product $version" ] || fail "after $version built again: $(installations)"
msiexec /i "$older"; rc=$?
refused_code "$rc" || fail "installing 0.9.0 over $version exited with $rc, expected a refusal (1603)"
[ "$(installations)" = "$product $version" ] || fail "after the refused downgrade: $(installations)"
msiexec /x "$again"; rc=$?
[ $rc -eq 0 ] || fail "uninstalling after the upgrades exited with $rc"
check_removed "after uninstalling the upgraded installation"
[ $status -eq 0 ] && echo "$variant: 0.9.0 -> $version -> $version again: one installation; downgrade refused; removed"
exit $status
