#!/usr/bin/env bash
# Demo: setup's restore mode converts a small saved database of version L2.1 into the new
# tables under Wine, then shows the converted card holders, access groups and doors.
# Needs both trees built (scripts/build). Usage: tests/converters/demo/restore-demo.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
kx_root=$root
. "$root/scripts/wine-env"
# The 32-bit build where this machine runs 32-bit programs, else its 64-bit twin
# (KX_WINDOWS_ARCH=32|64 picks one).
arch=${KX_WINDOWS_ARCH:-}
if [ -z "$arch" ] || [ "$arch" = all ]; then
  if kx_runs_32bit; then arch=32; else arch=64; fi
fi
export KX_WIN_ARCH=$arch
kx_wine_env "$arch"
native=${KX_NATIVE_BUILD:-$root/build/native}
win=${KX_WIN_BUILD:-$kx_build}
dbtool=$native/bin/dbtool
export KX_HARNESS_STATE=${KX_HARNESS_STATE:-$root/build/demo-state}
run=$root/scripts/wine-run
echo "== restore mode of the $arch-bit build ($win/bin)"

"$root/scripts/harness" start "$arch" >/dev/null
trap '"$root/scripts/harness" stop "$arch"' EXIT
export DISPLAY=$(cat "$KX_HARNESS_STATE/xvfb.display")

demo=$WINEPREFIX/drive_c/kx-demo
rm -rf "$demo"
mkdir -p "$demo/program" "$demo/KorvixNet"

# The program folder: setup, both converters, the runtime and a probe answering N1.1.
cp "$win/bin/setup.exe" "$win"/bin/*.dll "$demo/program/"
cp "$win/testbin/version_probe.dll" "$demo/program/Probe.dll"
printf '[Probe]\r\nDBVersion=N1.1\r\nLumexVersion=N1.1\r\n' >"$demo/program/Probe.dll.ini"

# The freshly installed product's empty database, and its alias.
(cd "$demo/KorvixNet" && unzip -q -o "$win/converters/common/Archive1.zip")
printf '[KorvixNetGlobal]\r\nTYPE=STANDARD\r\nPATH=C:\\kx-demo\\KorvixNet\\\r\nDEFAULT DRIVER=PARADOX\r\n' >"$demo/dbengine.cfg"
export KX_DBENGINE_CONFIG='C:\kx-demo\dbengine.cfg'

# The saved database in the user's temporary folder, as the wizard leaves it.
temp=$("$run" cmd /c echo %TEMP% </dev/null | tr -d '\r')
saved=$("$run" winepath.exe -u "$temp\\tmpDB" </dev/null | tr -d '\r')
rm -rf "$saved"
mkdir -p "$saved"
for def in "$root"/tests/converters/fixtures/L2.1/*.tdef; do
  "$dbtool" create "$def" "$saved" >/dev/null
done
for csv in "$here"/L2.1/*.csv; do
  "$dbtool" import "$saved/$(basename "${csv%.csv}").DB" "$csv" >/dev/null
done
# The old installation's configuration: a networked client whose server is 192.168.10.5, so
# every door gets that address.
printf '[Net]\r\nLocal=0\r\nServer=0\r\nServerIP=192.168.10.5\r\n' >"$WINEPREFIX/drive_c/a.tmp"

echo "== setup.exe L2.1 (restore mode)"
set +e
"$run" 'C:\kx-demo\program\setup.exe' L2.1 </dev/null
code=$?
set -e
echo "exit code: $code"
for t in Personel Accgroup Doors Holidays; do
  echo "== $t.DB after the conversion"
  "$dbtool" dump "$demo/KorvixNet/$t.DB"
done
rm -f "$WINEPREFIX/drive_c/a.tmp"
exit $code
