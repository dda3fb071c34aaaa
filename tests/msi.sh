#!/usr/bin/env bash
# The Windows installer under Wine: an older version installed and then
# upgraded for the current user, the menu entries' keys and command lines,
# an entry's command line run on a folder (the report and chart in
# Documents\Datemill, handed to the stand-in opener), the uninstall leaving
# no file and no key; then the same for all users (ALLUSERS=1).
# Runs in the test prefix (WINEPREFIX, its server started by the caller).
# Usage: msi.sh <wine64> <windows build folder>
set -u
wine=$1 build=$2
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
fail() { echo "msi: $*" >&2; status=1; }
same() {  # <what> <got> <expected>
  [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
unset DISPLAY
export WINEDEBUG=-all

windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
msiexec() { "$wine" msiexec "$@" /qn </dev/null >/dev/null 2>&1; }
# The default value of a key, "<missing>" when the key is not there.
default_value() {
  out=$("$wine" reg query "$1" /ve </dev/null 2>/dev/null | tr -d '\r') || { echo "<missing>"; return; }
  printf '%s\n' "$out" | sed -n 's/^    (Default)    \(REG_[A-Z_]*\)    /\1 /p'
}
has_key() { "$wine" reg query "$1" </dev/null >/dev/null 2>&1; }
# The "Apps & features" entries named Datemill, as "name version publisher help".
arp_entries() {
  for hive in HKCU HKLM; do
    "$wine" reg query "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s </dev/null 2>/dev/null
  done | tr -d '\r' | awk '
    /^HKEY/ { if (name == "Datemill") print name, version, publisher, help; name = version = publisher = help = "" }
    $1 == "DisplayName" { name = $3 } $1 == "DisplayVersion" { version = $3 }
    $1 == "Publisher" { publisher = substr($0, index($0, "REG_SZ") + 10) } $1 == "HelpLink" { help = $3 }
    END { if (name == "Datemill") print name, version, publisher, help }'
}

bash "$root/scripts/msi.sh" "$build" "$scratch/new" >/dev/null || fail "msi.sh failed"
bash "$root/scripts/msi.sh" "$build" "$scratch/old" 2017.01.01 >/dev/null || fail "msi.sh (older) failed"
new=$(windows_path "$(ls "$scratch"/new/*.msi)")
old=$(windows_path "$scratch/old/Datemill-2017.01.01-win64.msi")
[ $status -eq 0 ] || exit 1

drive=$WINEPREFIX/drive_c
profile=$(cd "$drive/users" && ls -d */ | grep -v -x 'Public/' | head -n 1)
profile=${profile%/}
user_dir=$drive/users/$profile
rm -rf "$user_dir/Documents/Datemill"

# --- For the current user: the older version, then the upgrade ---
msiexec /i "$old" || fail "installing the older version failed"
msiexec /i "$new" || fail "installing the upgrade failed"
version=$(sed -n 's/^project(Datemill VERSION \([^ ]*\) .*/\1/p' "$root/CMakeLists.txt")
IFS=. read -r year month day <<<"$version"
same "Apps & features" "$(arp_entries)" \
  "Datemill $((year - 2000)).$((10#$month)).$((10#$day)) the Datemill authors https://c-seed-915f82bf.example/datemill"
programs=$user_dir/AppData/Local/Programs/Datemill
same "installed files" "$(ls "$programs" 2>&1 | tr '\n' ' ')" "Datemill.exe LICENSE README.md "
[ -d "$drive/Program Files/Datemill" ] && fail "a per-user install wrote into Program Files"

exe="\"C:\\users\\$profile\\AppData\\Local\\Programs\\Datemill\\Datemill.exe\""
out="/out=\"C:\\users\\$profile\\Documents\\Datemill\""
classes='HKCU\Software\Classes\Directory'
for place in 'shell|%1' 'Background\shell|%V'; do
  key=$classes\\${place%|*} arg=\"${place#*|}\"
  same "$key\\Datemill.Count" "$(default_value "$key\\Datemill.Count")" "REG_SZ Count files by date"
  same "$key\\Datemill.CountTree" "$(default_value "$key\\Datemill.CountTree")" \
    "REG_SZ Count files by date, with subfolders"
  same "$key\\Datemill.Count\\command" "$(default_value "$key\\Datemill.Count\\command")" \
    "REG_EXPAND_SZ $exe /open /chart /fmt=yyyy-mm /date=m $out $arg"
  same "$key\\Datemill.CountTree\\command" "$(default_value "$key\\Datemill.CountTree\\command")" \
    "REG_EXPAND_SZ $exe /open /chart /fmt=yyyy-mm /date=m /depth=all $out $arg"
  same "$key\\Datemill.CountTaken" "$(default_value "$key\\Datemill.CountTaken")" \
    "REG_SZ Count photos by date taken"
  same "$key\\Datemill.CountTaken\\command" "$(default_value "$key\\Datemill.CountTaken\\command")" \
    "REG_EXPAND_SZ $exe /open /chart /fmt=yyyy-mm /date=t /depth=all $out $arg"
done

# An entry's command line as Explorer runs it, on a folder with a subfolder.
mkdir -p "$scratch/photos/sub"
touch -d '2018-09-26 12:00:00Z' "$scratch/photos/a" "$scratch/photos/b"
touch -d '2019-01-02 12:00:00Z' "$scratch/photos/sub/c"
run_entry() {  # <command key> <folder>
  line=$(default_value "$1" | sed "s/^REG_EXPAND_SZ //; s/\"%[1V]\"/\"$(windows_path "$2" | sed 's/\\/\\\\/g')\"/")
  eval "set -- $line"
  DATEMILL_OPENER=$(windows_path "$build/open_recorder.exe") \
    DATEMILL_OPEN_RECORD=$(windows_path "$scratch/opened") TZ=UTC "$wine" "$@" </dev/null >/dev/null 2>&1
}
reports=$user_dir/Documents/Datemill
run_entry "$classes\\shell\\Datemill.Count\\command" "$scratch/photos" || fail "the menu entry's run failed"
same "report of the folder" "$(cat "$reports/photos.txt" 2>&1)" "$(printf '2018-09 2\r')"
[ -s "$reports/photos.svg" ] || fail "no chart in Documents\\Datemill"
documents="C:\\users\\$profile\\Documents\\Datemill"
same "files opened" "$(tr -d '\r' <"$scratch/opened" 2>&1)" "$(printf '%s\n' "$documents\\photos.txt" "$documents\\photos.svg")"
run_entry "$classes\\Background\\shell\\Datemill.CountTree\\command" "$scratch/photos" ||
  fail "the background entry's run failed"
same "report of the tree" "$(cat "$reports/photos.txt" 2>&1)" "$(printf '2018-09 2\r\n2019-01 1\r')"
# Files without a taken date count by their last write.
run_entry "$classes\\shell\\Datemill.CountTaken\\command" "$scratch/photos" || fail "the taken entry's run failed"
same "report by date taken" "$(cat "$reports/photos.txt" 2>&1)" "$(printf '2018-09 2\r\n2019-01 1\r')"

# A run that logged something leaves Log.txt beside the program.
printf 'a line\r\n' >"$programs/Log.txt"
msiexec /x "$new" || fail "uninstalling failed"
[ -e "$programs" ] && fail "the uninstall left $programs"
for key in "$classes\\shell\\Datemill.Count" "$classes\\shell\\Datemill.CountTree" \
  "$classes\\Background\\shell\\Datemill.Count" "$classes\\Background\\shell\\Datemill.CountTree" \
  "$classes\\shell\\Datemill.CountTaken" "$classes\\Background\\shell\\Datemill.CountTaken" \
  'HKCU\Software\Datemill'; do
  has_key "$key" && fail "the uninstall left $key"
done
same "Apps & features after the uninstall" "$(arp_entries)" ""
# The reports are the user's: the uninstall keeps them.
[ -f "$reports/photos.txt" ] || fail "the uninstall removed the user's reports"
rm -rf "$reports"

# --- For all users ---
msiexec /i "$new" ALLUSERS=1 || fail "installing for all users failed"
same "installed files (all users)" "$(ls "$drive/Program Files/Datemill" 2>&1 | tr '\n' ' ')" \
  "Datemill.exe LICENSE README.md "
same "all users' command" "$(default_value 'HKLM\Software\Classes\Directory\shell\Datemill.Count\command')" \
  "REG_EXPAND_SZ \"C:\\Program Files\\Datemill\\Datemill.exe\" /open /chart /fmt=yyyy-mm /date=m /out=\"%USERPROFILE%\\Documents\\Datemill\" \"%1\""
has_key "$classes\\shell\\Datemill.Count" && fail "an install for all users wrote the user's keys"
msiexec /x "$new" ALLUSERS=1 || fail "uninstalling for all users failed"
[ -e "$drive/Program Files/Datemill" ] && fail "the uninstall left Program Files\\Datemill"
for key in 'HKLM\Software\Classes\Directory\shell\Datemill.Count' \
  'HKLM\Software\Classes\Directory\Background\shell\Datemill.CountTree' 'HKLM\Software\Datemill'; do
  has_key "$key" && fail "the uninstall left $key"
done
same "Apps & features after the uninstall (all users)" "$(arp_entries)" ""
exit $status
