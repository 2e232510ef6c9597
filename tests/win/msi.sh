#!/usr/bin/env bash
# The 64-bit package under Wine's msiexec, in prefixes of its own under WORK: the registry it writes is what
# regsvr32 writes, the installed add-in is created by ProgID and connects, uninstalling leaves the prefix
# as it was, and a newer package replaces an older one.
#
#   msi.sh PACKAGE WXS STRIPPED_DLL BUILT_DLL WIN_TESTS WORK WIXL
set -euo pipefail

if [ $# -ne 7 ]; then
    echo "usage: $0 PACKAGE WXS STRIPPED_DLL BUILT_DLL WIN_TESTS WORK WIXL" >&2
    exit 2
fi
package=$1 wxs=$2 stripped=$3 built=$4 tests=$5 work=$6 wixl=$7
state=(/usr/bin/python3 "$(dirname "$0")/prefix_state.py")
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# No display: nothing here shows a window, and Wine's display driver would then write its own keys.
unset DISPLAY

template=$work/template
prefix=$work/prefix

stop_servers() {
    local p
    for p in "$template" "$prefix"; do
        if [ -d "$p" ]; then
            WINEPREFIX=$p wineserver -k 2>/dev/null || true
        fi
    done
}
trap stop_servers EXIT

fail() {
    echo "msi.sh: $*" >&2
    exit 1
}

# Runs a program in the test prefix and waits until its wineserver has saved the registry to disk.
run() {
    local status=0
    WINEPREFIX=$prefix "$wine" "$@" || status=$?
    WINEPREFIX=$prefix wineserver -w
    return $status
}

save() { "${state[@]}" save "$prefix" "$work/$1.json"; }
changes() { "${state[@]}" changes "$work/$1.json" "$work/$2.json" "${@:3}"; }
value() { "${state[@]}" value "$work/$1.json" "$2" "$3"; }
installed() { "${state[@]}" installed "$work/$1.json" "Talvo Varnook 3.0"; }

# Windows paths of the build's files, through drive Z:.
winpath() { echo "Z:${1//\//\\}"; }

mkdir -p "$work"
stop_servers
if [ ! -f "$template/.ready" ]; then
    rm -rf "$template"
    WINEPREFIX=$template "$wine" wineboot -i >/dev/null 2>&1
    # The first program that loads user32 rewrites the display keys once; done here, not during a step.
    WINEPREFIX=$template "$wine" regsvr32 /s /u "$(winpath "$built")" >/dev/null 2>&1 || true
    WINEPREFIX=$template wineserver -w
    touch "$template/.ready"
fi
fresh() {
    stop_servers
    rm -rf "$prefix"
    cp -a "$template" "$prefix"
}
localappdata=$(WINEPREFIX=$template "$wine" cmd /c echo %LOCALAPPDATA% | tr -d '\r')
WINEPREFIX=$template wineserver -w
installdir="$localappdata\\Programs\\Talvo\\Varnook3"
unixdir=${installdir#C:\\}
unixdir=$prefix/drive_c/${unixdir//\\//}
product=$(msiinfo export "$package" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')
[ -n "$product" ] || fail "no ProductCode in $package"

# What DllRegisterServer writes, for all users, with the build's DLL.
fresh
save regsvr32-before
run regsvr32 /s "$(winpath "$built")" || fail "regsvr32 failed"
save regsvr32-after
builtdir=$(winpath "$(dirname "$built")")
changes regsvr32-before regsvr32-after --classes --path "$builtdir=<DIR>" >"$work/expected.txt"
grep -qi 'InprocServer32' "$work/expected.txt" || fail "regsvr32 registered nothing"
# The package adds its folders and the DLL, nothing else on disk.
{
    cat "$work/expected.txt"
    echo "+ $localappdata\\Programs"
    echo "+ $localappdata\\Programs\\Talvo"
    echo "+ <DIR>"
    echo "+ <DIR>\\Varnook3.dll"
} | sort >"$work/expected-install.txt"

# The package for the current user: the same registration, an Add/Remove Programs entry, and nothing left
# after removing it.
fresh
save before
run msiexec /i "$(winpath "$package")" /qn || fail "msiexec /i failed"
save per-user
changes before per-user --classes --records "$product" --path "$installdir=<DIR>" >"$work/actual-install.txt"
diff -u "$work/expected-install.txt" "$work/actual-install.txt" ||
    fail "the package's registration differs from regsvr32's (- regsvr32, + package)"
[ "$(installed per-user)" = "$product 3.0.0.0" ] || fail "Add/Remove Programs shows: $(installed per-user)"
run msiexec /x "$(winpath "$package")" /qn || fail "msiexec /x failed"
save removed
changes before removed --leftovers >"$work/left.txt"
[ ! -s "$work/left.txt" ] || fail "uninstalling left changes behind: $(cat "$work/left.txt")"

# An older package, then this one: one product remains, this one, and removing it leaves nothing.
# wixl takes a File's Source relative to where it runs only.
(cd "$(dirname "$stripped")" && "$wixl" -a x64 -D Arch=x64 -D Version=2.9.0.0 -D Dll="$(basename "$stripped")" \
    -o "$work/older.msi" "$wxs")
run msiexec /i "$(winpath "$work/older.msi")" /qn || fail "installing the older package failed"
run msiexec /i "$(winpath "$package")" /qn || fail "upgrading failed"
save upgraded
[ "$(installed upgraded)" = "$product 3.0.0.0" ] || fail "installed after the upgrade: $(installed upgraded)"
cmp -s "$stripped" "$unixdir/Varnook3.dll" || fail "the installed DLL is not this package's"
run msiexec /x "$(winpath "$package")" /qn || fail "msiexec /x after the upgrade failed"
save upgrade-removed
changes before upgrade-removed --leftovers >"$work/left.txt"
[ ! -s "$work/left.txt" ] || fail "uninstalling after the upgrade left: $(cat "$work/left.txt")"

# For all users: Wine finds classes in HKLM\Software\Classes only, so this is where creation by ProgID
# and connection are shown.
fresh
run msiexec /i "$(winpath "$package")" ALLUSERS=1 /qn || fail "msiexec /i ALLUSERS=1 failed"
save machine
[ "$(value machine 'HKLM\Software\Classes\Varnook3.Connect\CLSID' '')" = "{F3FD10DA-E249-4A6A-96DD-E668F4E75EBB}" ] ||
    fail "a per-machine install did not write HKLM\\Software\\Classes"
VARNOOK_INSTALLED_DLL="$installdir\\Varnook3.dll" run "$(winpath "$tests")" --gtest_filter='Installed*' ||
    fail "the installed add-in did not work"
run msiexec /x "$(winpath "$package")" /qn || fail "msiexec /x of the per-machine install failed"

echo "msi.sh: the package installs, works, upgrades and uninstalls cleanly"
