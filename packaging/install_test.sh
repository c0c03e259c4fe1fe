#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what lands there: the
# program, a valid desktop entry pointing at it, the icon in the hicolor
# theme at every size the entry's icon name is looked up in, the manual page
# and the AppStream metadata.
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

program="$prefix/bin/zoq"
[[ -x "$program" && -f "$program" ]] || fail "no executable $program"

entry="$prefix/share/applications/zoq.desktop"
[[ -f "$entry" ]] || fail "no desktop entry $entry"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
iconv -f UTF-8 -t UTF-8 "$entry" >/dev/null || fail "$entry is not UTF-8"

value() { sed -n "s/^$1=//p" "$entry"; }
[[ "$(value Name)" == "Ｚｏｑ个人播放器" ]] || fail "Name=$(value Name)"
[[ "$(value Exec)" == "$program" ]] || fail "Exec=$(value Exec), expected $program"
[[ "$(value Categories)" == "Utility;" ]] || fail "Categories=$(value Categories)"
[[ "$(value Type)" == "Application" ]] || fail "Type=$(value Type)"
icon=$(value Icon)
[[ -n "$icon" && "$icon" != */* ]] || fail "Icon=$icon is not a theme icon name"

# A PNG's width and height are the two big-endian words after "IHDR".
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'; }
for n in 16 32 48 256; do
  png="$prefix/share/icons/hicolor/${n}x${n}/apps/$icon.png"
  [[ -f "$png" ]] || fail "no icon $png"
  [[ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" == "89504e470d0a1a0a" ]] || fail "$png is not a PNG"
  [[ "$(png_size "$png")" == "${n}x${n}" ]] || fail "$png is $(png_size "$png"), expected ${n}x${n}"
done

man="$prefix/share/man/man1/zoq.1.gz"
gzip -t "$man" 2>/dev/null || fail "no compressed manual page $man"
metainfo="$prefix/share/metainfo/net.zoq.zoq.metainfo.xml"
[[ -f "$metainfo" ]] || fail "no AppStream metadata $metainfo"

# Everything installed is accounted for: nothing beyond these files.
count=$(find "$prefix" -type f | wc -l)
[[ "$count" -eq 8 ]] || { find "$prefix" -type f; fail "expected 8 installed files, found $count"; }
echo "installed and checked: $program, $entry, 4 icons, manual page, metadata"
