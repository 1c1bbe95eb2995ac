#!/usr/bin/env bash
# Installs the MSI under Wine as a user would, in a Wine prefix of its own made anew, with nothing
# of the build machine on Wine's path: the installed folder must run by itself. Checks the files
# and the registration, runs the installed quillet-batch, lets the COM test host load the
# installed add-in from a folder the user may not write, uninstalls, and checks that
# DllRegisterServer writes what the MSI writes.
#
# usage: tools/windows/msi-test.sh MSI STAGE VERSION_HEADER WORKDIR COMHOST_TESTS
#   STAGE is the folder `cmake --install` made, VERSION_HEADER the build's quilletversion.h (the
#   class id and description the add-in was built with), WORKDIR a folder of the test's own
#   (emptied), COMHOST_TESTS the COM test host's program.
#
# Run as root, Wine runs as the unprivileged user 65534, so that Program Files can be made
# unwritable for it.
set -euo pipefail

if [ $# -ne 5 ]; then
    echo "usage: $0 MSI STAGE VERSION_HEADER WORKDIR COMHOST_TESTS" >&2
    exit 64
fi
msi=$(realpath "$1") stage=$(realpath "$2") header=$3 work=$4 comhost=$5
examples=$(realpath "$(dirname "$0")/../../examples")

fail() {
    echo "msi-test: FAILED: $*" >&2
    exit 1
}
step() { echo "msi-test: $*"; }

# define NAME: the value of NAME in the version header, without the quotes of a string.
define() {
    sed -n "s/^#define $1 \"\\{0,1\\}\\([^\"]*\\)\"\\{0,1\\}\$/\\1/p" "$header"
}
clsid=$(define QUILLET_CLSID)
description=$(define QUILLET_DESCRIPTION)
version=$(define QUILLET_VERSION_MAJOR).$(define QUILLET_VERSION_MINOR).0
if [ -z "$clsid" ] || [ -z "$description" ]; then
    fail "no QUILLET_CLSID or QUILLET_DESCRIPTION in $header"
fi
property() {
    msiinfo export "$msi" Property | tr -d '\r' | sed -n "s/^$1\t//p"
}
product_code=$(property ProductCode)
product_version=$(property ProductVersion)
[ -n "$product_code" ] || fail "$msi has no ProductCode"
[ "$product_version" = "$version" ] || fail "$msi has ProductVersion $product_version, not $version"

rm -rf "$work"
mkdir -p "$work/home"
work=$(realpath "$work")
if [ "$(id -u)" -eq 0 ]; then
    user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chown -R 65534:65534 "$work"
else
    user=()
fi
prefix=$work/home/prefix
installed=$prefix/drive_c/Program\ Files/Quillet

# as_user COMMAND...: runs COMMAND as the test's user, in the test's Wine prefix, with an
# environment of its own (no WINEPATH, no QT_PLUGIN_PATH).
as_user() {
    "${user[@]}" env -i PATH=/usr/bin:/bin HOME="$work/home" WINEPREFIX="$prefix" \
        WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" "$@"
}
wine() { as_user /usr/lib/wine/wine64 "$@"; }
reg() { wine reg "$@" /reg:64; }

step "a fresh Wine prefix in $work"
wine wineboot --init >/dev/null 2>&1 || fail "wineboot --init in $prefix"
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
as_user /usr/lib/wine/wineserver -w

# Another add-in of the host, already there: its entries keep the parent keys, which belong to
# the host, and must survive our uninstall.
other='{0A1B2C3D-0000-4000-8000-000000000001}'
reg add "HKLM\\SOFTWARE\\SolidWorks\\AddIns\\$other" /ve /t REG_DWORD /d 0 /f >/dev/null
reg add "HKCU\\Software\\SolidWorks\\AddInsStartup\\$other" /ve /t REG_DWORD /d 0 /f >/dev/null

keys=("HKLM\\SOFTWARE\\Classes\\CLSID\\$clsid"
      "HKLM\\SOFTWARE\\SolidWorks\\AddIns\\$clsid"
      "HKCU\\Software\\SolidWorks\\AddInsStartup\\$clsid")

# dump_keys: our keys and their subkeys as `reg query /s` prints them, without blank lines, the
# values of each key sorted (the order of values in a key carries no meaning).
dump_keys() {
    local key
    for key in "${keys[@]}"; do
        reg query "$key" /s | tr -d '\r' | awk '
            /^$/ { next }
            /^[^ ]/ { flush(); print; next }
            { values[n++] = $0 }
            function flush(  i, j, t) {
                for (i = 1; i < n; i++)
                    for (j = i; j > 0 && values[j - 1] > values[j]; j--) {
                        t = values[j]; values[j] = values[j - 1]; values[j - 1] = t
                    }
                for (i = 0; i < n; i++) print values[i]
                n = 0
            }
            END { flush() }' || fail "reg query $key: no such key"
    done
}

# expect_no_keys WHEN: none of our keys is left, the other add-in's are.
expect_no_keys() {
    local key
    for key in "${keys[@]}"; do
        if reg query "$key" >/dev/null 2>&1; then
            fail "$1: $key is still there"
        fi
    done
    reg query "HKLM\\SOFTWARE\\SolidWorks\\AddIns\\$other" >/dev/null 2>&1 \
        || fail "$1: the host's other add-in lost HKLM\\SOFTWARE\\SolidWorks\\AddIns\\$other"
    reg query "HKCU\\Software\\SolidWorks\\AddInsStartup\\$other" >/dev/null 2>&1 \
        || fail "$1: the host's other add-in lost HKCU\\Software\\SolidWorks\\AddInsStartup\\$other"
}

# compare WHAT EXPECTED ACTUAL: fails with the difference.
compare() {
    if ! diff -u --label expected --label actual <(printf '%s\n' "$2") <(printf '%s\n' "$3") >&2; then
        fail "$1 differ (above: - expected, + actual)"
    fi
}

expected_keys="HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\$clsid
    (Default)    REG_SZ    Quillet
HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\$clsid\\InprocServer32
    (Default)    REG_SZ    C:\\Program Files\\Quillet\\QuilletAddIn.dll
    ThreadingModel    REG_SZ    Apartment
HKEY_LOCAL_MACHINE\\SOFTWARE\\SolidWorks\\AddIns\\$clsid
    (Default)    REG_DWORD    0x1
    Description    REG_SZ    $description
    Title    REG_SZ    Quillet
HKEY_CURRENT_USER\\Software\\SolidWorks\\AddInsStartup\\$clsid
    (Default)    REG_DWORD    0x1"

name=$(basename "$msi")
cp "$msi" "$prefix/drive_c/$name"
[ ${#user[@]} -eq 0 ] || chown 65534:65534 "$prefix/drive_c/$name"

step "msiexec /i $name /qn"
status=0
wine msiexec /i "C:\\$name" /qn || status=$?
[ $status -eq 0 ] || fail "msiexec /i $name /qn exited with $status"
as_user /usr/lib/wine/wineserver -w

[ -d "$installed" ] || fail "no folder C:\\Program Files\\Quillet after installing"
diff -r "$stage" "$installed" >&2 \
    || fail "C:\\Program Files\\Quillet differs from the installed folder $stage (above)"
installed_keys=$(dump_keys)
compare "the registry entries the MSI wrote" "$expected_keys" "$installed_keys"
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product_code"
for pair in "DisplayName=Quillet" "DisplayVersion=$product_version" \
    "Publisher=The Quillet developers"; do
    value=$(reg query "$uninstall_key" /v "${pair%%=*}" | tr -d '\r' | sed -n 's/^    //p') \
        || fail "no Add/Remove Programs entry $uninstall_key with ${pair%%=*}"
    compare "Add/Remove Programs' ${pair%%=*}" "${pair%%=*}    REG_SZ    ${pair#*=}" "$value"
done
step "installed: $(cd "$installed" && find . -type f | wc -l) files, the four registry entries, Add/Remove Programs' entry"

# The installed folder as a user who may not write Program Files has it: the add-in keeps its
# formats file in the user's own copy.
chmod -R a-w "$installed"
# The installed programs run on what the installer put beside them (Qt, its plugins, the
# compiler's run time): quillet-batch saves the sample drawing's three sheets.
cp -r "$examples" "$prefix/drive_c/examples"
mkdir -p "$prefix/drive_c/out"
[ ${#user[@]} -eq 0 ] || chown -R 65534:65534 "$prefix/drive_c/examples" "$prefix/drive_c/out"
status=0
as_user xvfb-run -a /usr/lib/wine/wine64 'C:\Program Files\Quillet\quillet-batch.exe' --quiet \
    --format DXF --sheets all --no-dest-dirs --output 'C:\out' 'C:\examples\PLATE.SLDDRW' \
    >"$work/batch.log" 2>&1 || status=$?
saved=$(find "$prefix/drive_c/out" -name 'PLATE_Sheet*.DXF' | wc -l)
if [ $status -ne 0 ] || [ "$saved" -ne 3 ]; then
    cat "$work/batch.log" >&2
    fail "the installed quillet-batch.exe exited with $status and saved $saved of 3 sheets"
fi
step "the installed quillet-batch.exe saved the sample drawing's 3 sheets"

# The host of the COM tests finds the installed add-in in the registry, loads it from Program
# Files with nothing on the path, runs a save and checks the per-user formats file.
[ -f "$comhost" ] || fail "no COM test host at $comhost"
# Wine's desktop outlives the X server of the last program: ended here, so that the next program
# starts a desktop on its own X server instead of waiting for the old one.
as_user /usr/lib/wine/wineserver -k || true
step "$(basename "$comhost") --gtest_filter='InstalledAddIn.*' on the installed add-in"
status=0
as_user QUILLET_INSTALLED_TEST=1 timeout 600 xvfb-run -a /usr/lib/wine/wine64 "$comhost" \
    --gtest_filter='InstalledAddIn.*' || status=$?
[ $status -eq 0 ] || fail "$(basename "$comhost") on the installed add-in exited with $status"
chmod -R u+w "$installed"

step "msiexec /x $name /qn"
status=0
wine msiexec /x "C:\\$name" /qn || status=$?
[ $status -eq 0 ] || fail "msiexec /x $name /qn exited with $status"
as_user /usr/lib/wine/wineserver -w
if [ -e "$installed" ]; then
    find "$installed" >&2
    fail "uninstalling left the files above"
fi
expect_no_keys "after msiexec /x"
if reg query "$uninstall_key" >/dev/null 2>&1; then
    fail "after msiexec /x: Add/Remove Programs still has $uninstall_key"
fi
step "uninstalled: no file, no registry entry left"

# The add-in registering itself writes exactly what the MSI writes, and unregistering removes it.
cp -r "$stage" "$installed"
[ ${#user[@]} -eq 0 ] || chown -R 65534:65534 "$installed"
step "regsvr32 \"C:\\Program Files\\Quillet\\QuilletAddIn.dll\""
status=0
wine regsvr32 /s 'C:\Program Files\Quillet\QuilletAddIn.dll' || status=$?
case $status in
0) ;;
3) fail "regsvr32 could not load QuilletAddIn.dll (status 3)" ;;
4) fail "QuilletAddIn.dll has no DllRegisterServer (regsvr32 status 4)" ;;
*) fail "regsvr32 QuilletAddIn.dll exited with $status" ;;
esac
compare "the registry entries of DllRegisterServer and of the MSI" "$installed_keys" "$(dump_keys)"
status=0
wine regsvr32 /s /u 'C:\Program Files\Quillet\QuilletAddIn.dll' || status=$?
[ $status -eq 0 ] || fail "regsvr32 /u QuilletAddIn.dll exited with $status"
expect_no_keys "after regsvr32 /u"
step "regsvr32 writes the MSI's registry entries and /u removes them"
