#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree, then checks it:
# its files, its dependencies, its launcher and metainfo (by the desktop's own
# validators), its icons and the pictures of its user guide.
#   package_test.sh <build folder> <output folder>
set -euo pipefail
build="$1"
out="$2"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

rm -rf "$out"
mkdir -p "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log" >&2; fail "cpack could not build the package"; }
shopt -s nullglob
debs=("$out"/tavrin-recorder_*.deb)
[[ ${#debs[@]} -eq 1 ]] || fail "expected one package in $out, found ${#debs[@]}"
deb="${debs[0]}"
echo "package: $deb"

files="$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')"
expected=(
  /usr/bin/tavrin-recorder
  /usr/lib/tavrin-recorder/lame_enc.so
  /usr/lib/tavrin-recorder/tavrin_ffmpeg.so
  /usr/share/applications/org.tavrin.Recorder.desktop
  /usr/share/metainfo/org.tavrin.Recorder.metainfo.xml
  /usr/share/icons/hicolor/scalable/apps/tavrin-recorder.svg
  /usr/share/tavrin-recorder/tavrin-recorder.html
  /usr/share/tavrin-recorder/translations/tavrin_en.qm
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/tavrin-recorder.png")
done
for file in "${expected[@]}"; do
  grep -qxF "$file" <<<"$files" || fail "the package lacks $file"
done

depends="$(dpkg-deb -f "$deb" Depends)"
echo "depends: $depends"
# Found by dpkg-shlibdeps: the program's libraries, the encoder's and the FFmpeg module's.
for package in libqt6widgets6 libpulse0 libmp3lame0 libflac12 libopusenc0 libavformat59 libavcodec59 \
  qt6-qpa-plugins; do
  grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package"
done
# Native Wayland where the session is Wayland.
recommends="$(dpkg-deb -f "$deb" Recommends)"
grep -qE "(^|, )qt6-wayland( |,|$)" <<<"$recommends" || fail "Recommends lacks qt6-wayland"

tree="$out/tree"
dpkg-deb -x "$deb" "$tree"
launcher="$tree/usr/share/applications/org.tavrin.Recorder.desktop"
desktop-file-validate "$launcher" || fail "desktop-file-validate refused the launcher"
appstreamcli validate --no-net "$tree/usr/share/metainfo/org.tavrin.Recorder.metainfo.xml" ||
  fail "appstreamcli refused the metainfo"
grep -qx 'Exec=tavrin-recorder %f' "$launcher" ||
  fail "the launcher does not start the installed program"
grep -q '^MimeType=.*audio/flac;' "$launcher" || fail "the launcher offers to open no sound files"
[[ -x "$tree/usr/bin/tavrin-recorder" ]] || fail "the program is not executable"

for size in 16 48 256; do
  png="$tree/usr/share/icons/hicolor/${size}x${size}/apps/tavrin-recorder.png"
  [[ "$(identify -format '%m %wx%h' "$png")" == "PNG ${size}x${size}" ]] ||
    fail "$png is not a ${size}x${size} PNG"
done
svg="$tree/usr/share/icons/hicolor/scalable/apps/tavrin-recorder.svg"
grep -q 'viewBox="0 0 64 64"' "$svg" && [[ "$(tail -n 1 "$svg")" == "</svg>" ]] ||
  fail "$svg is not a whole 64-unit picture"

# Every picture the guide shows is installed beside it.
guide="$tree/usr/share/tavrin-recorder/tavrin-recorder.html"
pictures="$(grep -o 'src="[^"]*"' "$guide" | sed 's/^src="//; s/"$//')"
[[ -n "$pictures" ]] || fail "the guide shows no pictures"
while read -r picture; do
  [[ -f "$(dirname "$guide")/$picture" ]] || fail "the guide's picture $picture is not installed"
done <<<"$pictures"
echo "package checks passed"
