#!/usr/bin/env bash
# Makes the Debian package with CPack, validates its desktop entry, metainfo and (when lintian is
# installed) the package itself, then unpacks it into a temporary root and upscales a tiny clip
# with that root's korvane, as a new user without a display: it must find its resources in the
# unpacked usr/share/korvane, install its tools and write the result.
#   package-test.sh BUILD_FOLDER [CPACK]
set -euo pipefail
build=$1
cpack=${2:-cpack}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack could not make the package"
fi
deb=$(find "$work/out" -maxdepth 1 -name 'korvane_*.deb' | head -n 1)
[ -n "$deb" ] || fail "no korvane_*.deb in $work/out"
echo "made $(basename "$deb") ($(du -h "$deb" | cut -f1))"

# Dependencies computed from the libraries the executable links.
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libqt6core6' <<<"$depends" || fail "Depends lacks the Qt libraries: $depends"

root="$work/root"
dpkg-deb -x "$deb" "$root"
for path in usr/bin/korvane usr/share/korvane/Tools.zip usr/share/applications/korvane.desktop \
    usr/share/metainfo/app.korvane.korvane.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/korvane.svg \
    usr/share/icons/hicolor/48x48/apps/korvane.png usr/share/icons/hicolor/512x512/apps/korvane.png \
    usr/lib/korvane/vklayer/VkLayer_korvane_fp32.json usr/share/doc/korvane/copyright \
    usr/share/doc/korvane/changelog.gz usr/share/man/man1/korvane.1.gz; do
    [ -e "$root/$path" ] || fail "the package lacks /$path"
done
[ ! -e "$root/usr/share/korvane/vklayer" ] || fail "compiled code in /usr/share/korvane/vklayer"
grep -q '^MimeType=x-scheme-handler/korvane;$' "$root/usr/share/applications/korvane.desktop" ||
    fail "the desktop entry does not handle korvane: URLs"

desktop-file-validate "$root/usr/share/applications/korvane.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/app.korvane.korvane.metainfo.xml"
if command -v lintian >/dev/null 2>&1; then
    lintian --fail-on error --no-tag-display-limit "$deb" || fail "lintian reports errors"
fi

# Use it: a fresh user, no display, nothing of the build tree in sight.
home="$work/home"
mkdir -p "$home/data" "$home/config" "$home/tmp" "$work/in"
"$build/tools-staging/ffmpeg" -hide_banner -loglevel error -f lavfi -i testsrc=size=32x18:rate=2 \
    -t 1 -pix_fmt yuv420p "$work/in/clip.mp4"
status=0
env -i PATH=/usr/bin:/bin HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
    TMPDIR="$home/tmp" "$root/usr/bin/korvane" upscale "$work/in/clip.mp4" --quality fast \
    --resolution 1080p --json >"$work/stdout" 2>"$work/stderr" || status=$?
cat "$work/stderr"
[ "$status" -eq 0 ] || fail "korvane upscale ended with status $status"
[ -x "$home/data/Korvane/ffmpeg" ] || fail "the tools were not installed"
[ -s "$work/in/clip_upscaled.mp4" ] || fail "no upscaled clip"
tail -n 1 "$work/stdout" | grep -q "\"output\":\"$work/in/clip_upscaled.mp4\"" ||
    fail "the last JSON line does not give the output: $(tail -n 1 "$work/stdout")"
! grep -q 'compatibility layer is missing' "$work/stderr" ||
    fail "the unpacked korvane did not find its Vulkan layer"
echo "the unpacked package upscaled a clip"
