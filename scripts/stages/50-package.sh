#!/usr/bin/env bash
# The release as a user receives it. The release command refuses the demo's
# loopback addresses; with --demo it builds, twice, from two copies of the
# tree in two folders, and the two give the same files byte for byte (the
# leg names any file that differs). The Debian package of the first is then
# checked: clean under lintian and the desktop and AppStream validators,
# every dependency resolvable by apt, and its unpacked program passing the
# main window's end-to-end run under Xvfb. Nothing is installed into this
# system.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=${ZOQ_PACKAGE_BUILD_DIR:-$top/build-package}
fail() { echo "FAIL: $*" >&2; exit 1; }

"$top/scripts/deps.sh" package
rm -rf "$work"
mkdir -p "$work"

echo "-- the release refuses loopback addresses without --demo"
if ZOQ_DIST_DIR=$work/refused ZOQ_RELEASE_BUILD_DIR=$work/refused-build \
     "$top/scripts/release" >"$work/refused.log" 2>&1; then
  cat "$work/refused.log"
  fail "scripts/release built packages whose addresses are the demo's loopback"
fi
grep -E '^release: (ZOQ_|refused)' "$work/refused.log" || { cat "$work/refused.log"; fail "no refusal"; }
[[ ! -e $work/refused ]] || fail "the refused release left $work/refused"

# The working tree as it is, edits included, in two folders; both releases
# take their dates from the last commit.
SOURCE_DATE_EPOCH=$(git -C "$top" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
for side in one second; do
  src=$work/$side/zoq
  mkdir -p "$src"
  (cd "$top" && git ls-files -z --cached --others --exclude-standard |
     tar --null --ignore-failed-read -T - -cf - 2>/dev/null) | tar -xf - -C "$src"
  echo "-- release --demo in $src"
  "$src/scripts/release" --demo
done
one=$work/one/zoq/dist
second=$work/second/zoq/dist
echo "-- the two releases, file by file"
differ=$(diff <(cd "$one" && ls) <(cd "$second" && ls) || true)
[[ -z $differ ]] || fail "the two releases hold different files: $differ"
differ=$(join <(sort -k2 "$one/SHA256SUMS" | awk '{print $2, $1}') \
              <(sort -k2 "$second/SHA256SUMS" | awk '{print $2, $1}') | awk '$2 != $3 {print $1}')
[[ -z $differ ]] || fail "not reproducible, these differ between the two releases: $differ"
cmp "$one/SHA256SUMS" "$second/SHA256SUMS" || fail "SHA256SUMS differ"
cat "$one/SHA256SUMS"
for f in "$one"/*; do
  case $(basename "$f") in SHA256SUMS | zoq-demo[_-]*) ;; *) fail "$f: a demo package without demo in its name" ;; esac
done

dist=$one
build=$work/one/zoq/build-release/deb
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
deb=$dist/zoq-demo_$(cache CMAKE_PROJECT_VERSION)-$(cache ZOQ_DEB_RELEASE)_$(dpkg --print-architecture).deb
[[ -f $deb ]] || { ls "$dist"; fail "no $deb"; }
(cd "$dist" && sha256sum --check --strict SHA256SUMS) || fail "SHA256SUMS does not match dist/"

echo "-- lintian"
lintian --display-info --pedantic --fail-on error,warning "$deb" || fail "lintian"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
files=$(cd "$unpacked" && find . -type f | LC_ALL=C sort)
expected="./usr/bin/zoq
./usr/share/applications/zoq.desktop
./usr/share/doc/zoq/changelog.Debian.gz
./usr/share/doc/zoq/copyright
./usr/share/icons/hicolor/16x16/apps/zoq.png
./usr/share/icons/hicolor/256x256/apps/zoq.png
./usr/share/icons/hicolor/32x32/apps/zoq.png
./usr/share/icons/hicolor/48x48/apps/zoq.png
./usr/share/lintian/overrides/zoq
./usr/share/man/man1/zoq.1.gz
./usr/share/metainfo/net.zoq.zoq.metainfo.xml"
[[ "$files" == "$expected" ]] || { diff <(echo "$expected") <(echo "$files") || true; fail "package contents"; }

echo "-- validators"
entry=$unpacked/usr/share/applications/zoq.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate"
[[ "$(sed -n 's/^Exec=//p' "$entry")" == /usr/bin/zoq ]] || fail "$(grep ^Exec= "$entry")"
appstreamcli validate --no-net --pedantic "$unpacked"/usr/share/metainfo/*.xml || fail "appstreamcli"

# Linked libraries come from dpkg-shlibdeps; the rest is what the program
# opens or runs without linking it.
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for name in libqt6widgets6 libc6 libcurl4 fonts-arphic-ukai fonts-arphic-uming fonts-noto-cjk \
            qt6-translations-l10n qt6-qpa-plugins xdg-utils; do
  [[ ", $depends," =~ [,\|]\ $name[\ ,] ]] || fail "Depends names no $name"
done

echo "-- apt-get install --simulate"
apt-get install --simulate "$deb" >"$unpacked/apt.log" 2>&1 || { cat "$unpacked/apt.log"; fail "apt"; }
grep -E '^(Inst|Conf) ' "$unpacked/apt.log" || true
grep -q '^Inst zoq ' "$unpacked/apt.log" || { cat "$unpacked/apt.log"; fail "apt would not install zoq"; }

echo "-- the unpacked program under Xvfb"
"$top/scripts/netns-run" python3 "$top/tests/e2e/main_window_e2e.py" --program "$unpacked/usr/bin/zoq" \
  --version-url "$(cache ZOQ_VERSION_PAGE_URL)" || fail "end-to-end run of the unpacked program"

ls -l "$dist"
echo "Installed-Size: $(dpkg-deb --field "$deb" Installed-Size) KiB"
