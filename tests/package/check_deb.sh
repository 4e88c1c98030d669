#!/usr/bin/env bash
# The Debian package as a user gets it, unpacked into a fresh folder with
# dpkg -x: its name, version and dependencies; both programs answer --version
# and --help from there without a display; the menu entry passes
# desktop-file-validate and names a program and an icon the package holds;
# the manual pages are there; and korvel-rawgen and korvel2tqf-cli from it
# make a raw file, set up a catalogue and add the file's channels through the
# system's ODBC driver.
# Usage: check_deb.sh DEB
set -euo pipefail
deb="$(realpath "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail=0
ok() { echo "ok: $*"; }
bad() { echo "FAIL: $*"; fail=1; }
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)

version="$(dpkg-deb -f "$deb" Version)"
if [ "$(basename "$deb")" = "korvel2tqf_${version}_amd64.deb" ]; then ok "$(basename "$deb")"
else bad "the package is named $(basename "$deb"), not korvel2tqf_${version}_amd64.deb"; fi
depends="$(dpkg-deb -f "$deb" Depends)"
for library in libodbc2 libqt6widgets6 libc6; do
  [[ "$depends" == *"$library "* ]] || bad "Depends lacks $library: $depends"
done
recommends="$(dpkg-deb -f "$deb" Recommends)"
for driver in libsqliteodbc odbc-postgresql odbc-mariadb; do
  [[ ", $recommends," == *", $driver,"* ]] || bad "Recommends lacks $driver: $recommends"
done
ok "Depends: $depends"
ok "Recommends: $recommends"

root="$work/root"
dpkg -x "$deb" "$root"
for file in usr/bin/korvel2tqf usr/bin/korvel2tqf-cli usr/share/applications/korvel2tqf.desktop \
  usr/bin/korvel-rawgen usr/share/man/man1/korvel2tqf.1.gz usr/share/man/man1/korvel2tqf-cli.1.gz \
  usr/share/man/man1/korvel-rawgen.1.gz \
  usr/share/doc/korvel2tqf/README.md usr/share/doc/korvel2tqf/copyright; do
  [ -s "$root/$file" ] || bad "$file is missing"
done

for program in korvel2tqf-cli korvel2tqf korvel-rawgen; do
  printed="$("${no_display[@]}" "$root/usr/bin/$program" --version)" || bad "$program --version failed"
  if [ "$printed" = "$program $version" ]; then ok "$program --version: $printed"
  else bad "$program --version printed '$printed', not '$program $version'"; fi
  "${no_display[@]}" "$root/usr/bin/$program" --help >"$work/$program.help" || bad "$program --help failed"
  if grep -q "^Usage: $program " "$work/$program.help"; then ok "$program --help"
  else bad "$program --help printed no usage"; fi
  page="$(zcat "$root/usr/share/man/man1/$program.1.gz" 2>/dev/null || true)"
  if [[ "$page" == *'.SH NAME'* && "$page" == *"\"$program $version\""* ]]; then ok "man page of $program"
  else bad "the man page of $program lacks its NAME or version"; fi
done
grep -q "add-channels" "$work/korvel2tqf-cli.help" || bad "korvel2tqf-cli --help does not name add-channels"

entry="$root/usr/share/applications/korvel2tqf.desktop"
if desktop-file-validate "$entry"; then ok "desktop-file-validate korvel2tqf.desktop"
else bad "desktop-file-validate korvel2tqf.desktop"; fi
exec_line="$(sed -n 's/^Exec=//p' "$entry")"
# The entry starts the window in the home folder: the program is what it execs.
program="${exec_line##*exec }"
program="${program%%[ \"]*}"
[ -x "$root/usr/bin/$program" ] || bad "Exec=$exec_line runs no program of the package"
[[ "$exec_line" == 'sh -c "cd && exec korvel2tqf"' ]] || bad "Exec=$exec_line does not start in the home folder"
icon="$(sed -n 's/^Icon=//p' "$entry")"
for size in 16 32 48 64 128 256; do
  file="$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png"
  if [ "$(file -b "$file" 2>/dev/null | cut -d, -f2)" != " $size x $size" ]; then
    bad "no ${size}x${size} PNG icon $icon"
  fi
done
ok "Exec=$exec_line and Icon=$icon in six sizes"

# The packaged command line at work: a catalogue of its own, the channels of
# a raw file, read back.
export ODBCINI="$work/odbc.ini" TQF_CONFIG_DIR="$work"
cd "$work"
mkdir raw
made="$("$root/usr/bin/korvel-rawgen" --out raw --station KIR --channels "Z,N-S" --seconds 10)" \
  || bad "korvel-rawgen failed"
[ "$made" = "raw/KIR-20070301-000000.kor" ] || bad "korvel-rawgen printed '$made'"
cli="$root/usr/bin/korvel2tqf-cli"
"$cli" init-catalogue --database "$work/catalogue.sqlite" >/dev/null || bad "init-catalogue failed"
added="$("$cli" add-channels raw/* 2>/dev/null)" || bad "add-channels failed"
listed="$("$cli" channels --station KIR)" || bad "channels failed"
if [ "$added" = $'KIR\tZ\t100.000\nKIR\tN-S\t100.000' ] && [ "$listed" = $'Z\t100.000\tx\nN-S\t100.000\tx' ]; then
  ok "korvel-rawgen, init-catalogue, add-channels and channels from the package"
else bad "add-channels printed '$added'; channels '$listed'"; fi
exit "$fail"
