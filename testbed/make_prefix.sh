#!/usr/bin/env bash
# make_prefix.sh PREFIX [full|none|admin] [TESTBED_BUILD_DIR]
# Makes a Wine prefix look like a computer with the suite installed. WINEARCH=win32 makes a
# 32-bit Windows with the suite's 32-bit installation (TESTBED_BUILD_DIR then holds the
# 32-bit stand-ins); otherwise a 64-bit one, whose own tools run through the 64-bit loader.
#   full   the suite's registry values (32-bit view, as its installer writes them on a
#          64-bit system), its program and all-users data folders with log, cfg and dumps,
#          the machine folder values, the logging module and engine client library
#          stand-ins in the program folder, and
#          the firewall driver stand-in registered as a demand-start kernel service under both
#          the names the tool may choose (only one of them can run at a time);
#   none   a plain computer without the suite;
#   admin  only the administration product.
set -euo pipefail

prefix=${1:?usage: make_prefix.sh PREFIX [full|none|admin] [TESTBED_BUILD_DIR]}
kind=${2:-full}
testbed_build=${3:-$(cd "$(dirname "$0")/.." && pwd)/build/win64/testbed}
case "$kind" in full|none|admin) ;; *) echo "unknown kind: $kind" >&2; exit 2 ;; esac

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
arch=${WINEARCH:-win64}
case "$arch" in win32|win64) ;; *) echo "unknown WINEARCH: $arch" >&2; exit 2 ;; esac
export WINEARCH=$arch
# With 32-bit Wine installed, `wine` prefers the 32-bit loader: a 64-bit prefix's own tools
# (reg, sc, regedit) run through the 64-bit one, so services are made as 64-bit ones.
wine=wine
[ "$arch" = win64 ] && [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
# Services created in the session that made the prefix are not found by the service
# manager: let that session end first.
if [ ! -f "$prefix/system.reg" ]; then
  "$wine" wineboot -i >/dev/null 2>&1
  wineserver -w
fi
[ "$kind" = none ] && exit 0

drive_c=$prefix/drive_c
if [ "$arch" = win64 ]; then
  programs='C:\Program Files (x86)'
  software=HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node
  processor=A
else
  programs='C:\Program Files'
  software=HKEY_LOCAL_MACHINE\\SOFTWARE
  processor=X
fi
program_dir="$programs\QOR\Firewall"
data_dir='C:\ProgramData\QOR\Firewall'
admin_common="$programs\QOR\Admin"
admin_data='C:\ProgramData\QOR\Admin'

reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
esc() { printf '%s' "${1//\\/\\\\}"; }
{
  printf 'Windows Registry Editor Version 5.00\n\n'
  printf '[%s\\QOR\\QorAdmin2014]\n' "$software"
  printf '"AdminCommonDir"="%s"\n' "$(esc "$admin_common")"
  printf '"AdminAllUsersDir"="%s"\n' "$(esc "$admin_data")"
  printf '"AdminServerInstDir"="%s"\n\n' "$(esc "$admin_common\\Server")"
  if [ "$kind" = full ]; then
    printf '[%s\\Qor\\Qor2014]\n' "$software"
    printf '"QorDir"="%s"\n' "$(esc "$program_dir")"
    printf '"QorAllUsersDir"="%s"\n\n' "$(esc "$data_dir")"
    printf '[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Qor\\SystemValues]\n'
    printf '"ProgramFilesDir"="C:\\\\Program Files"\n'
    printf '"CommonFilesDir"="C:\\\\Program Files\\\\Common Files"\n'
    if [ "$arch" = win64 ]; then
      printf '"ProgramFilesDir (x86)"="C:\\\\Program Files (x86)"\n'
      printf '"CommonFilesDir (x86)"="C:\\\\Program Files (x86)\\\\Common Files"\n'
    fi
  fi
} > "$reg"
"$wine" regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1

unix() { winepath -u "$1" 2>/dev/null; }
mkdir -p "$(unix "$admin_common")" "$(unix "$admin_data")"
[ "$kind" = full ] || exit 0

program=$(unix "$program_dir")
data=$(unix "$data_dir")
# No dumps folder: the program makes its own.
mkdir -p "$program" "$data/log" "$data/cfg"
cp "$testbed_build/qorlogx.dll" "$testbed_build/qorclitx.dll" "$testbed_build/qorstuck.dll" "$program/"
# The configuration and communication module stand-ins (the firewall's stoppability and
# its state tree; "qorcommx-tree.txt" beside them changes the tree's answers).
cp "$testbed_build/qorcfgx.dll" "$testbed_build/qorcommx.dll" "$program/"
cp "$testbed_build/qortdi.sys" "$drive_c/windows/system32/drivers/"
for service in "QorTdi$processor" "QorWfp$processor"; do
  "$wine" sc query "$service" >/dev/null 2>&1 ||
    "$wine" sc create "$service" type= kernel start= demand \
      binPath= 'C:\windows\system32\drivers\qortdi.sys' >/dev/null 2>&1
done
printf 'firewall started\r\n' > "$data/log/fw.log"

# Files the package gathers: product logs (rotated ones and logging configuration beside
# them), configuration, a user's own log folder, OEM INF files and the catalog error log.
printf 'rotated\r\n' > "$data/log/fw.log.1"
printf '[log]\r\n' > "$data/log/fwlog.cfg"
printf 'not gathered\r\n' > "$data/log/core.dmp"
printf '[cfg]\r\n' > "$data/cfg/privlog.cfg"
printf 'not gathered\r\n' > "$data/cfg/readme.txt"
for profile in "$drive_c"/users/*/AppData/Local; do
  mkdir -p "$profile/Qor2014/log"
  printf 'user started\r\n' > "$profile/Qor2014/log/user.log"
done
windows=$drive_c/windows
mkdir -p "$windows/inf" "$windows/system32/catroot2"
printf '[Version]\r\n' > "$windows/inf/oem7.inf"
printf '[Version]\r\n' > "$windows/inf/oem8.inf"
printf 'catalog error\r\n' > "$windows/system32/catroot2/dberr.txt"

# Logging configuration files whose "Severity" the debug logging actions switch: written as
# the tool saves them (sorted, CR LF), except privlog.cfg, which is UTF-16 as some suites ship it.
{
  printf '\xff\xfe'
  printf '; private log\r\n[root]\r\nAppender = file\r\nSeverity = INFO\r\n' | iconv -f ascii -t utf-16le
} > "$data/log/privlog.cfg"
printf '[defaultFileAppender]\r\nFile = "pub.log"\r\n\r\n[root]\r\nSeverity = INFO ;as shipped\r\n' \
  > "$data/log/publog.cfg"
printf '[QOR.QORFW]\r\nSeverity = INFO\r\n' > "$data/log/fwlog.cfg"
printf '[QOR.TDI]\r\nSeverity = INFO\r\n' > "$data/log/tdilog.cfg"

# The INF cache repair's world, when QOR_TESTBED_WINDOWS names the Windows version Wine is to
# report (winxp, winxp64, win2003, ...): the driver installation files, the NDIS installer and
# self-protection stand-ins, the TDI services with their tags, the "PNP_TDI" load order
# 3, 8, 87, 86, 88, the device path and an INF cache. Running it again resets all of these.
if [ -n "${QOR_TESTBED_WINDOWS:-}" ]; then
  letter=$(printf '%s' "$processor" | tr 'AX' 'ax')
  mkdir -p "$program/Drivers"
  for file in qorfw_m.inf qorfwfd.inf qorfwfd.cat "qorfwd$letter.dll" "qorfwd$letter.sys"; do
    printf 'driver file\r\n' > "$program/Drivers/$file"
  done
  cp "$testbed_build/qorndis$letter.exe" "$testbed_build/qorselfp.dll" "$program/"
  rm -f "$program/qorndis-calls.txt" "$program/qorselfp-calls.txt"
  printf '[Version]\r\n' > "$windows/inf/INFCACHE.1"
  services=HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services
  {
    printf 'Windows Registry Editor Version 5.00\n\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine]\n"Version"="%s"\n\n' "$QOR_TESTBED_WINDOWS"
    printf '[-%s\\Qorfwd%s]\n\n' "$services" "$letter"
    for entry in Tcpip:3 Tcpip6:8 QorFwFd:88 "QorTdi$processor:86" NetBT:87; do
      printf '[%s\\%s]\n"Tag"=dword:%08x\n"Group"="PNP_TDI"\n' "$services" "${entry%:*}" "${entry#*:}"
      printf '"Type"=dword:00000001\n"Start"=dword:00000003\n\n'
    done
    printf '[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\GroupOrderList]\n'
    printf '"PNP_TDI"=hex:05,00,00,00,03,00,00,00,08,00,00,00,57,00,00,00,56,00,00,00,58,00,00,00\n\n'
  } > "$reg"
  "$wine" regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
  "$wine" reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion' /v DevicePath \
    /t REG_EXPAND_SZ /d '%SystemRoot%\inf' /f >/dev/null 2>&1
fi
