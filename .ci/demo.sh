#!/usr/bin/env bash
# The demo: a fresh simulated Windows machine with the suite's test packages
# installed and some user data seeded, then the tool's first run, the reboot
# (which starts the continuation run from the RunOnce value the tool wrote)
# and a before/after summary of the suite's products, files and registry keys.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
WINSIM="$PWD/$BUILD/winsim"
TOOL="$PWD/$BUILD/CorvantaUninstallTool"
export WINSIM_PREFIX="$PWD/$BUILD/demo-prefix"
LOG='C:\CorvantaDemo\uninstall.log'

for f in "$WINSIM" "$TOOL"; do
  [ -x "$f" ] || { echo "demo: $f is missing; run: bash .ci/build.sh" >&2; exit 1; }
done
shopt -s nullglob
packages=("$PWD/$BUILD"/packages/*.msi)
[ ${#packages[@]} -gt 0 ] || { echo "demo: no test packages in $BUILD/packages" >&2; exit 1; }

rm -rf "$WINSIM_PREFIX"
"$WINSIM" init >/dev/null

echo "== Installing the test packages"
for msi in "${packages[@]}"; do
  echo "   $(basename "$msi")"
  "$WINSIM" msiexec /i "Z:$msi" /qn
done

# The suite's installation folder: the InstallLocation the installer recorded.
install_location() {
  "$WINSIM" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | awk '$1 == "InstallLocation" { $1 = ""; $2 = ""; sub(/^ +/, ""); print; exit }'
}
host_path() {  # C:\a\b -> the prefix's drive_c/a/b
  local p=$1 drive rest
  drive=$(printf '%s' "${p:0:1}" | tr 'A-Z' 'a-z')
  rest=${p:2}
  printf '%s/drive_%s%s' "$WINSIM_PREFIX" "$drive" "${rest//\\//}"
}

echo "== Seeding user data"
loc=$(install_location || true)
if [ -n "$loc" ]; then
  loc=${loc%\\}
  mkdir -p "$(host_path "$loc\\Vaultline\\var\\db")"
  printf 'repository=main\r\n' >"$(host_path "$loc\\Vaultline\\var\\db\\repo.cfg")"
  mkdir -p "$(host_path "$loc\\common\\mxa\\conf")"
  printf 'port=8080\r\n' >"$(host_path "$loc\\common\\mxa\\conf\\server.properties")"
  echo "   user files below $loc"
fi
"$WINSIM" reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs' /v 'C:\Program Files\Corvanta\common\demo.dll' /t REG_DWORD /d 1 /f >/dev/null
"$WINSIM" reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs' /v 'C:\Program Files\Other\keep.dll' /t REG_DWORD /d 1 /f >/dev/null
echo "   two SharedDLLs values (one of the vendor's, one not)"

summary() {
  echo "-- Suite products installed:"
  "$WINSIM" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    awk '$1 == "DisplayName" { $1 = ""; $2 = ""; sub(/^ +/, ""); print "   " $0 }' | grep -i corvanta || echo "   (none)"
  echo "-- Files below C:\\Program Files:"
  local n
  n=$(find "$(host_path 'C:\Program Files')" -type f 2>/dev/null | wc -l)
  echo "   $n"
  echo "-- Vendor registry keys:"
  for key in 'HKLM\SOFTWARE\Corvanta' 'HKCU\Software\Corvanta'; do
    if "$WINSIM" reg query "$key" >/dev/null 2>&1; then echo "   $key present"; else echo "   $key absent"; fi
  done
  echo "-- SharedDLLs values naming the vendor:"
  n=$("$WINSIM" reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs' 2>/dev/null | grep -c Corvanta || true)
  echo "   $n"
  echo "-- RunOnce:"
  "$WINSIM" reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce' /v CorvantaUninstallTool 2>/dev/null |
    tr -d '\r' | grep CorvantaUninstallTool | sed 's/^ */   /' || echo "   (no continuation registered)"
}

echo
echo "== Before"
summary

echo
echo "== First run: CorvantaUninstallTool $LOG"
"$WINSIM" "$TOOL" "$LOG"
echo
echo "== After the first run"
summary

echo
echo "== Reboot (the continuation run starts from RunOnce)"
"$WINSIM" reboot
echo
echo "== After the reboot"
summary

echo
echo "== Log: $LOG (host file $(host_path "$LOG"))"
