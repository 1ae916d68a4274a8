#!/usr/bin/env bash
# Builds the Debian packages from an already built tree and checks them as a
# distribution would: the files they carry, the programs run from the
# unpacked package, lintian, the AppStream data and the desktop entry.
# Usage: packaging/package-check.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
fail() { echo "package-check: $*" >&2; exit 1; }

echo "== Debian packages"
rm -rf "$build/packages"
cmake --build "$build" --target package
version=$(sed -n 's/^project(TalmonEcgManager VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
deb=$build/packages/talmon-ecg-manager_${version}_${arch}.deb
tools_deb=$build/packages/talmon-ecg-manager-tools_${version}_${arch}.deb
[ -f "$deb" ] || fail "no $deb"
[ -f "$tools_deb" ] || fail "no $tools_deb"

echo "== Contents"
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
for f in ./usr/bin/ecg-manager ./usr/bin/ecg-cli ./usr/libexec/talmon-ecg-manager/rhyscan \
         ./usr/share/applications/org.talmon.EcgManager.desktop \
         ./usr/share/metainfo/org.talmon.EcgManager.metainfo.xml \
         ./usr/share/icons/hicolor/256x256/apps/talmon-ecg-manager.png \
         ./usr/share/icons/hicolor/scalable/apps/talmon-ecg-manager.svg \
         ./usr/share/talmon-ecg-manager/Help_en.pdf \
         ./usr/lib/udev/rules.d/60-talmon-ecg.rules \
         ./usr/share/man/man1/ecg-manager.1.gz ./usr/share/man/man1/ecg-cli.1.gz \
         ./usr/share/man/man1/rhyscan.1.gz \
         ./usr/share/bash-completion/completions/ecg-cli \
         ./usr/share/doc/talmon-ecg-manager/copyright; do
  grep -qxF "$f" <<<"$contents" || fail "$deb lacks $f"
done
for f in recorder-sim web-sim download-campaign; do
  grep -q "/$f\$" <<<"$contents" && fail "the user's package carries the tool $f"
done
tools_contents=$(dpkg-deb --contents "$tools_deb" | awk '{print $NF}')
for f in recorder-sim web-sim download-campaign; do
  grep -qxF "./usr/bin/$f" <<<"$tools_contents" || fail "$tools_deb lacks $f"
done
depends=$(dpkg-deb --field "$deb" Depends)
grep -q libqt6widgets6 <<<"$depends" || fail "Depends misses the Qt libraries: $depends"
echo "Depends: $depends"
# Qt's own windows (print, file) follow the chosen language only with Qt's translations,
# and F1 needs a PDF viewer: neither is a library the binaries link against.
recommends=$(dpkg-deb --field "$deb" Recommends)
grep -qw qt6-translations-l10n <<<"$recommends" || fail "Recommends misses Qt's translations: '$recommends'"
grep -qw pdf-viewer <<<"$(dpkg-deb --field "$deb" Suggests)" || fail "Suggests misses a PDF viewer for the help"

echo "== Programs from the unpacked package"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
# The manager looks for the analyser relative to its own folder; that path is
# compiled in and must lead to where the package puts it.
grep -qxF ../libexec/talmon-ecg-manager < <(strings -a "$root/usr/bin/ecg-manager") \
  || fail "ecg-manager does not look for rhyscan in ../libexec/talmon-ecg-manager"
for prog in "$root/usr/bin/ecg-cli" "$root/usr/libexec/talmon-ecg-manager/rhyscan"; do
  "$prog" --version | grep -F " $version" >/dev/null || fail "$prog --version does not say $version"
done
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen "$root/usr/bin/ecg-manager" --version \
  | grep -F " $version" >/dev/null || fail "ecg-manager --version does not say $version"
# A recording from the simulated recorder, analysed by the unpacked analyser.
"$root/usr/bin/ecg-cli" device download --link demo --data-folder "$root/data" >/dev/null
record=$(find "$root/data" -name '*.edf' | sort | sed -n 1p)
[ -n "$record" ] || fail "the simulated recorder gave no recording"
"$root/usr/libexec/talmon-ecg-manager/rhyscan" "$record"
[ -s "${record%.edf}.atr" ] || fail "rhyscan wrote no annotations for $record"
"$root/usr/bin/ecg-cli" annotations "${record%.edf}.atr" | sed -n 1,3p

echo "== AppStream, desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.talmon.EcgManager.metainfo.xml"
desktop-file-validate "$root/usr/share/applications/org.talmon.EcgManager.desktop"

echo "== lintian"
# Errors fail the check; the warnings kept, with reasons, are in packaging/README.md.
lintian --fail-on error "$deb" "$tools_deb"
echo "== Packages checked"
