#!/usr/bin/env bash
# The Debian package as a user receives it: built by the release command,
# clean under lintian and the desktop and AppStream validators, every
# dependency resolvable by apt, and its unpacked program passing the main
# window's end-to-end run under Xvfb. Nothing is installed into this system.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
dist=$top/dist
build=${ZOQ_RELEASE_BUILD_DIR:-$top/build-release}/deb
fail() { echo "FAIL: $*" >&2; exit 1; }

"$top/scripts/deps.sh" package
"$top/scripts/release"

cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
deb=$dist/zoq_$(cache CMAKE_PROJECT_VERSION)-$(cache ZOQ_DEB_RELEASE)_$(dpkg --print-architecture).deb
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
