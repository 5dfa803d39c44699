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
# The suite's products (all of them but the Administrator, which is not one
# the tool removes) and a foreign product the tool must leave alone.
packages=()
for name in vaultline tracklight specwright lumo overlook qualvane pilotron vlnetall vlnetwan vlnetlan seathub \
            northwind; do
  msi="$PWD/$BUILD/packages/$name.msi"
  [ -f "$msi" ] || { echo "demo: $msi is missing; run: bash .ci/build.sh" >&2; exit 1; }
  packages+=("$msi")
done

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
# Settings users made after the install: no package declares them, so only
# the registry exports keep them and the vendor-tree cleanup removes them.
"$WINSIM" reg add 'HKCU\Software\Tolvi\Vault' /v LastRepository /d 'C:\Repos\main' /f >/dev/null
"$WINSIM" reg add 'HKLM\Software\Corvanta Software\Tracklight' /v UserTheme /d dark /f >/dev/null
"$WINSIM" reg add 'HKU\.DEFAULT\Software\Tolvi' /v Seen /t REG_DWORD /d 1 /f >/dev/null
echo "   user settings under HKCU\Software\Tolvi, HKLM\Software\Corvanta Software, HKU\.DEFAULT\Software\Tolvi"
# The Administrator's project list: one project inside the installation
# (preserved) and one elsewhere (left where it is). Without -c the cleanup of
# the vendor's key trees spares this list.
if [ -n "$loc" ]; then
  mkdir -p "$(host_path "$loc\Projects\Payroll")" "$(host_path 'C:\Work\Billing')"
  printf 'project=payroll\r\n' >"$(host_path "$loc\Projects\Payroll\payroll.cap")"
  printf 'project=billing\r\n' >"$(host_path 'C:\Work\Billing\billing.cap')"
  "$WINSIM" reg add 'HKCU\Software\Corvanta Software\Corvanta Administrator\ProjectList' /v 'Data List' /t REG_MULTI_SZ \
    /d "$loc\Projects\Payroll\payroll.cap\0C:\Work\Billing\billing.cap" /f >/dev/null
  echo "   an Administrator project list with a project inside and one outside the installation"
fi

count_files() {  # files below a host folder, 0 when it is missing
  if [ -d "$1" ]; then find "$1" "${@:2}" -type f | wc -l; else echo 0; fi
}

summary() {
  echo "-- Suite products installed:"
  "$WINSIM" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    awk '$1 == "DisplayName" { $1 = ""; $2 = ""; sub(/^ +/, ""); print "   " $0 }' | grep -i corvanta || echo "   (none)"
  echo "-- Files below C:\\Program Files:"
  local n
  n=$(count_files "$(host_path 'C:\Program Files')")
  echo "   $n"
  echo "-- Vendor registry keys:"
  for key in 'HKLM\Software\Corvanta Software' 'HKCU\Software\Corvanta Software' 'HKLM\Software\Tolvi' \
             'HKCU\Software\Tolvi' 'HKU\.DEFAULT\Software\Tolvi' 'HKU\.DEFAULT\Software\Corvanta Software'; do
    if "$WINSIM" reg query "$key" >/dev/null 2>&1; then
      n=$("$WINSIM" reg query "$key" /s 2>/dev/null | tr -d '\r' | grep -c '^HKEY' || true)
      echo "   $key present ($n key$([ "$n" = 1 ] || echo s))"
    else
      echo "   $key absent"
    fi
  done
  echo "-- Preserved user data:"
  local root
  root=$(host_path 'C:\Corvanta.Preserve')
  n=$(count_files "$root")
  echo "   $n files below C:\Corvanta.Preserve"
  if [ -d "$root" ]; then
    (cd "$root" && find . -type f | sed 's#^\./##; s#/#\\#g' | sort | awk -v FS='\\' '
      { top = $1 (NF > 2 ? "\\" $2 : ""); count[top]++ }
      END { for (t in count) printf "     %-40s %d file%s\n", t, count[t], count[t] == 1 ? "" : "s" }' | sort)
  fi
  echo "   registry exports in C:\\: $(cd "$WINSIM_PREFIX/drive_c" && ls -1 -- *.reg 2>/dev/null | tr '\n' ' ')"
  echo "-- Package folder C:\CorvantaSDLC_Temp:"
  if [ -d "$(host_path 'C:\CorvantaSDLC_Temp')" ]; then
    echo "   $(ls "$(host_path 'C:\CorvantaSDLC_Temp')" | tr '\n' ' ')"
  else
    echo "   (none)"
  fi
  echo "-- SharedDLLs values:"
  "$WINSIM" reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs' 2>/dev/null | tr -d '\r' |
    awk '/REG_/ { sub(/^ +/, ""); sub(/ +REG_.*/, ""); print "   " $0; n++ } END { if (!n) print "   (none)" }'
  echo "-- Administrator project list:"
  if "$WINSIM" reg query 'HKCU\Software\Corvanta Software\Corvanta Administrator\ProjectList' /v 'Data List' >/dev/null 2>&1; then
    echo "   present"
  else
    echo "   absent"
  fi
  echo "-- RunOnce:"
  "$WINSIM" reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce' /v CorvantaUninstallTool 2>/dev/null |
    tr -d '\r' | grep CorvantaUninstallTool | sed 's/^ */   /' || echo "   (no continuation registered)"
}

# The log's folder is the administrator's to provide.
mkdir -p "$(host_path 'C:\CorvantaDemo')"

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
