#!/bin/sh
# The Windows installer under Wine, as a user meets it: installed silently into a fresh prefix, with
# its Start-menu entries and its entry under "Installed apps"; the installed kivo.exe starts (offscreen),
# the window over the installed folder converts a genuine Data file with the installed converters and
# keeps its job files out of Program Files (even where its folder's attributes allow writing: it is
# made immutable here where this user may); then uninstalled silently: nothing of Kivo is left but the
# converted file.
# usage: windows_setup_test.sh BUILD_DIR VERSION SOURCE_DIR
set -eu
build=$1 version=$2 source=$3
export PATH="/usr/lib/wine:$PATH" WINEDEBUG=-all
work=$(mktemp -d "${TMPDIR:-/tmp}/kivo-setup-test.XXXXXX")
export WINEPREFIX="$work/prefix"
trap 'wineserver -k 2>/dev/null || true; chattr -i "$installed" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "windows setup: $*" >&2; exit 1; }
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

setup=$("$source/tools/make-windows-setup.sh" "$build" "$version" "$work/out" | tail -n 1)
wine64 wineboot -i >/dev/null 2>&1
wine64 "$setup" /S
wineserver -w
installed="$WINEPREFIX/drive_c/Program Files/Kivo"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kivo"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kivo'
for f in kivo.exe dbf2tsv.exe agn2ics.exe kivo.html uninstall.exe platforms/qwindows.dll; do
    [ -e "$installed/$f" ] || fail "$f is not installed"
done
[ -e "$menu/Kivo.lnk" ] && [ -e "$menu/Kivo user's guide.lnk" ] || fail "no Start-menu entries"
wine64 reg query "$key" /v DisplayVersion | grep -q "$version" || fail "no uninstall entry with the version"
wine64 reg query "$key" /v Publisher | grep -q "Kivo" || fail "no publisher"
grep -q LOCALAPPDATA "$installed/kivo.html" && ! grep -q -e install-desktop -e local/share "$installed/kivo.html" ||
    fail "the guide does not speak of Windows"

# The installed program starts and stays up until it is ended.
status=0
QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORM_PLUGIN_PATH="$(windows_path "$build/tests")" \
    timeout 6 wine64 "C:\\Program Files\\Kivo\\kivo.exe" || status=$?
wineserver -k 2>/dev/null || true
[ "$status" -eq 124 ] || fail "the installed kivo.exe ended with $status"

# A directory batch over a genuine Data file through the window, with the installed converters.
mkdir "$work/data"
cp "$source/../shared/data/real/dbf-emulated-s3a340-contacts.dbf" "$work/data/contacts.dbf"
chattr +i "$installed" 2>/dev/null || true
KIVO_INSTALLED_DIR='C:\Program Files\Kivo' KIVO_DATA_DIR="$(windows_path "$work/data")" \
    wine64 "$build/tests/installed_win32_test.exe" || fail "the installed program's batch failed"
chattr -i "$installed" 2>/dev/null || true
[ "$(head -n 1 "$work/data/contacts.tsv")" = "$(printf 'Name\tHome\tWork\tFax\tAddress\tField6\tNotes')" ] &&
    [ "$(wc -l < "$work/data/contacts.tsv")" -eq 5 ] || fail "the converted file is not the Data file's table"
ls "$installed" | grep -q kivotemp && fail "job files in Program Files"

wine64 "C:\\Program Files\\Kivo\\uninstall.exe" /S
wineserver -w
sleep 1
wineserver -w
[ ! -e "$installed" ] || fail "left in Program Files: $(ls "$installed")"
[ ! -e "$menu" ] || fail "left in the Start menu"
! wine64 reg query "$key" >/dev/null 2>&1 || fail "the uninstall entry is left"
left=$(find "$WINEPREFIX/drive_c/users" -iname '*kivo*' | head -n 3)
[ -z "$left" ] || fail "left for the user: $left"
[ -s "$work/data/contacts.tsv" ] || fail "the converted file went with Kivo"
echo "windows setup: $(basename "$setup") installs, converts and uninstalls, leaving the converted file"
