#!/usr/bin/env bash
# The Debian package where users are. Makes it with CPack and validates its desktop entry,
# metainfo and (when lintian is installed) the package itself; upscales a tiny clip with an
# unpacked copy as a new user of this machine; then, in a minimal Debian 12 root made with
# debootstrap, installs it with apt and nothing else and, as a normal user, upscales a clip with
# sound and a picture, starts the window under Xvfb (it shows the sign-in screen), sees a tool
# whose library was removed named as such, and purges the package, checking none of its files
# remain.
#   package-test.sh BUILD_FOLDER [CPACK]
# The Debian 12 root needs root (or sudo without a password). Its pristine copy and the packages
# apt downloads are kept in BUILD_FOLDER/package-test between runs; remove that folder to start
# afresh. KORVANE_DEBIAN_MIRROR and KORVANE_DEBIAN_SECURITY name other mirrors.
set -euo pipefail
build=$(cd "$1" && pwd)
cpack=${2:-cpack}

if [ "$(id -u)" -ne 0 ]; then
    if sudo -n true 2>/dev/null; then
        exec sudo -n --preserve-env=KORVANE_DEBIAN_MIRROR,KORVANE_DEBIAN_SECURITY,http_proxy,https_proxy \
            "$0" "$build" "$(command -v "$cpack")"
    fi
    echo "SKIP: the Debian 12 root needs root or sudo without a password" >&2
    exit 77
fi

mirror=${KORVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian}
security=${KORVANE_DEBIAN_SECURITY:-http://deb.debian.org/debian-security}
cache="$build/package-test"
work=$(mktemp -d)
root="$work/debian12"
background=()

mounts_below_root() {
    findmnt -rn -o TARGET | grep -F "$root/" | sort -r || true
}

# The programs started in the background end first (killed outright after 10 s), then every mount
# below the root goes; the work folder is removed only when none is left, so the kept packages
# and this machine's folders are never reached through one.
cleanup() {
    local pid mount
    for pid in "${background[@]}"; do kill "$pid" 2>/dev/null || true; done
    for _ in $(seq 100); do
        local running=0
        for pid in "${background[@]}"; do kill -0 "$pid" 2>/dev/null && running=1; done
        ((running)) || break
        sleep 0.1
    done
    for pid in "${background[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    # Whatever they started inside the root goes with them.
    for pid in /proc/[0-9]*; do
        [ "$(readlink "$pid/root" 2>/dev/null)" = "$root" ] && kill -9 "${pid#/proc/}" 2>/dev/null
    done
    while read -r mount; do
        [ -n "$mount" ] && umount -l "$mount" 2>/dev/null || true
    done < <(mounts_below_root)
    if [ -n "$(mounts_below_root)" ]; then
        echo "left in place, still mounted: $work" >&2
        return
    fi
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

step() {
    echo "== $* ($SECONDS s)"
}

in_root() {
    chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}

# As the root's normal user, in its folder of inputs, with an environment of its own.
as_user() {
    chroot "$root" runuser -u tester -- env -i -C /home/tester/work PATH=/usr/bin:/bin \
        HOME=/home/tester LANG=C.UTF-8 "$@"
}

# --- The package and what it says about itself -------------------------------------------------
step "making the package"
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack could not make the package"
fi
deb=$(find "$work/out" -maxdepth 1 -name 'korvane_*.deb' | head -n 1)
[ -n "$deb" ] || fail "no korvane_*.deb in $work/out"
echo "made $(basename "$deb") ($(du -h "$deb" | cut -f1))"

# Depends covers the executable and the programs inside the tools archive: ffmpeg's libraries,
# the processor engine's oneDNN and OpenMP, the Vulkan engine's loader.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libqt6core6 libqt6widgets6 qt6-qpa-plugins libavcodec59 libavformat59 \
    libavdevice59 libavfilter8 libswscale6 libswresample4 libpostproc56 libdnnl2 libgomp1 \
    libvulkan1; do
    grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
grep -Eq '(^|, )mesa-vulkan-drivers( |,|$)' <<<"$recommends" ||
    fail "Recommends lacks a Vulkan driver: $recommends"

unpacked="$work/unpacked"
dpkg-deb -x "$deb" "$unpacked"
for path in usr/bin/korvane usr/lib/korvane/korvane-window usr/share/korvane/Tools.zip usr/share/applications/korvane.desktop \
    usr/share/metainfo/app.korvane.korvane.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/korvane.svg \
    usr/share/icons/hicolor/48x48/apps/korvane.png usr/share/icons/hicolor/512x512/apps/korvane.png \
    usr/lib/korvane/vklayer/VkLayer_korvane_fp32.json usr/share/doc/korvane/copyright \
    usr/share/doc/korvane/changelog.gz usr/share/man/man1/korvane.1.gz; do
    [ -e "$unpacked/$path" ] || fail "the package lacks /$path"
done
[ ! -e "$unpacked/usr/share/korvane/vklayer" ] || fail "compiled code in /usr/share/korvane/vklayer"
grep -q '^MimeType=x-scheme-handler/korvane;$' "$unpacked/usr/share/applications/korvane.desktop" ||
    fail "the desktop entry does not handle korvane: URLs"

desktop-file-validate "$unpacked/usr/share/applications/korvane.desktop"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/app.korvane.korvane.metainfo.xml"
if command -v lintian >/dev/null 2>&1; then
    lintian --fail-on error --no-tag-display-limit "$deb" || fail "lintian reports errors"
fi

# Inputs, made with the build's ffmpeg: a clip with a picture and sound, and a picture.
ffmpeg="$build/tools-staging/ffmpeg"
mkdir -p "$work/in"
"$ffmpeg" -hide_banner -loglevel error -f lavfi -i testsrc=size=32x18:rate=2 \
    -f lavfi -i sine=frequency=440 -t 1 -pix_fmt yuv420p -c:a aac "$work/in/clip.mp4"
"$ffmpeg" -hide_banner -loglevel error -f lavfi -i testsrc=size=16x16 -frames:v 1 \
    "$work/in/pic.png"

# The streams of a file as "codec_type width height" lines.
streams() {
    ffprobe -v error -show_entries stream=codec_type,width,height -of csv=p=0 "$1" | tr ',' ' ' |
        sed 's/ *$//'
}

# The results of one `korvane upscale clip.mp4 pic.png` in folder: a 1080p clip that kept its
# sound, and a picture twice the size.
check_results() {
    local folder=$1
    [ -s "$folder/clip_upscaled.mp4" ] || fail "no upscaled clip in $folder"
    streams "$folder/clip_upscaled.mp4" | grep -qx 'video 1920 1080' ||
        fail "the clip is not 1920×1080: $(streams "$folder/clip_upscaled.mp4" | tr '\n' ';')"
    streams "$folder/clip_upscaled.mp4" | grep -q '^audio' || fail "the clip lost its sound"
    streams "$folder/pic_upscaled.png" | grep -qx 'video 32 32' || fail "the picture is not 32×32"
}

upscale_arguments=(upscale clip.mp4 pic.png --quality fast --resolution 1080p --scale 2 --json)

# --- The unpacked package on this machine, as a new user without a display ----------------------
step "the unpacked package on this machine"
home="$work/home"
mkdir -p "$home/data" "$home/config" "$home/cache" "$home/tmp"
cp -r "$work/in" "$work/here"
status=0
(cd "$work/here" && env -i PATH=/usr/bin:/bin HOME="$home" XDG_DATA_HOME="$home/data" \
    XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" TMPDIR="$home/tmp" \
    "$unpacked/usr/bin/korvane" "${upscale_arguments[@]}" >"$work/stdout" 2>"$work/stderr") ||
    status=$?
cat "$work/stderr"
[ "$status" -eq 0 ] || fail "korvane upscale ended with status $status"
[ -x "$home/data/Korvane/ffmpeg" ] || fail "the tools were not installed"
check_results "$work/here"
tail -n 1 "$work/stdout" | grep -q "\"output\":\"$work/here/pic_upscaled.png\"" ||
    fail "the last JSON line does not give the output: $(tail -n 1 "$work/stdout")"
! grep -q 'compatibility layer is missing' "$work/stderr" ||
    fail "the unpacked korvane did not find its Vulkan layer"

# --- A minimal Debian 12 ------------------------------------------------------------------------
command -v debootstrap >/dev/null 2>&1 || fail "debootstrap is needed (Debian package debootstrap)"
pristine="$cache/bookworm"
if [ ! -e "$pristine/.korvane-complete" ]; then
    step "making a minimal Debian 12 root with debootstrap (kept in $pristine)"
    rm -rf --one-file-system "$pristine" "$pristine.new"
    mkdir -p "$cache"
    debootstrap --variant=minbase bookworm "$pristine.new" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
        { tail -n 20 "$cache/debootstrap.log" >&2; fail "debootstrap failed (log: $cache/debootstrap.log)"; }
    # As an installed Debian 12 has them: updates and security updates.
    cat >"$pristine.new/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security bookworm-security main
EOF
    chroot "$pristine.new" useradd --create-home --shell /bin/bash tester
    touch "$pristine.new/.korvane-complete"
    mv "$pristine.new" "$pristine"
fi

step "copying the Debian 12 root"
cp -a "$pristine" "$root"
mount -t proc proc "$root/proc"
mount -t sysfs -o ro sysfs "$root/sys"
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
mkdir -p "$cache/apt-archives/partial"
mount --bind "$cache/apt-archives" "$root/var/cache/apt/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
# This machine's apt proxy, if it has one, is the root's too.
apt-config dump 2>/dev/null | grep -i '::proxy' >"$root/etc/apt/apt.conf.d/90korvane-test-proxy" ||
    rm -f "$root/etc/apt/apt.conf.d/90korvane-test-proxy"
# No service starts inside the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"

step "installing the package with apt"
cp "$deb" "$root/tmp/"
in_root apt-get update -q >"$work/apt-update.log" 2>&1 ||
    { cat "$work/apt-update.log" >&2; fail "apt-get update failed in the Debian 12 root"; }
in_root apt-get install -y -q "/tmp/$(basename "$deb")" >"$work/apt-install.log" 2>&1 ||
    { tail -n 40 "$work/apt-install.log" >&2; fail "apt could not install the package"; }
grep -E '^(Need to get|After this operation)' "$work/apt-install.log" || true
in_root dpkg-query -W -f='${Status}\n' korvane | grep -qx 'install ok installed' ||
    fail "the package is not installed"
in_root dpkg-query -L korvane | sort >"$work/package-files"

step "upscaling as a normal user"
mkdir -p "$root/home/tester/work"
cp "$work/in/clip.mp4" "$work/in/pic.png" "$root/home/tester/work/"
in_root chown -R tester: /home/tester/work
status=0
as_user korvane "${upscale_arguments[@]}" >"$work/stdout" 2>"$work/stderr" || status=$?
cat "$work/stderr"
[ "$status" -eq 0 ] || fail "korvane upscale ended with status $status in the Debian 12 root"
check_results "$root/home/tester/work"
! grep -Eq "can't be decoded|can't start" "$work/stderr" || fail "a tool did not work"

# --- The window, under Xvfb: a test tool, installed only now that the package's own install
# has been checked.
step "starting the window under Xvfb"
in_root apt-get install -y -q --no-install-recommends xvfb >"$work/apt-xvfb.log" 2>&1 ||
    { tail -n 20 "$work/apt-xvfb.log" >&2; fail "could not install xvfb in the Debian 12 root"; }
mkdir -p -m 1777 "$root/tmp/.X11-unix"
mkdir -p "$root/tmp/screen"
# A white root window, so a screen that never appears shows as white; the frame buffer is kept
# as an XWD file.
# Started with exec, so the pid kept is the program's own.
(exec chroot "$root" env -i PATH=/usr/bin:/bin Xvfb :7 -screen 0 1100x720x24 -wr -nolisten tcp \
    -fbdir /tmp/screen) >"$work/xvfb.log" 2>&1 &
background+=($!)
for _ in $(seq 100); do [ -S "$root/tmp/.X11-unix/X7" ] && break; sleep 0.1; done
[ -S "$root/tmp/.X11-unix/X7" ] || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }
(exec chroot "$root" runuser -u tester -- env -i -C /home/tester/work PATH=/usr/bin:/bin \
    HOME=/home/tester LANG=C.UTF-8 DISPLAY=:7 korvane) >"$work/window.log" 2>&1 &
window=$!
background+=("$window")
# The sign-in screen (a photograph under a dark card) averages about 100 of 255; the setup screen
# and an empty display are nearly uniform and light (above 215).
brightness() {
    "$ffmpeg" -hide_banner -loglevel error -f xwd_pipe -i "$1" -vf signalstats,metadata=print:file=- \
        -f null - 2>/dev/null | sed -n 's/.*signalstats.YAVG=\([0-9]*\).*/\1/p' | head -n 1
}
shown=""
for _ in $(seq 120); do
    sleep 0.5
    kill -0 "$window" 2>/dev/null || { cat "$work/window.log" >&2; fail "the window ended"; }
    cp "$root/tmp/screen/Xvfb_screen0" "$work/screen.xwd" 2>/dev/null || continue
    level=$(brightness "$work/screen.xwd")
    if [ -n "$level" ] && [ "$level" -lt 160 ]; then
        shown=$level
        break
    fi
done
"$ffmpeg" -hide_banner -loglevel error -y -f xwd_pipe -i "$work/screen.xwd" "$cache/window.png" ||
    true
[ -n "$shown" ] || { cat "$work/window.log" >&2; fail "the window did not show the sign-in screen (see $cache/window.png)"; }
echo "the window shows the sign-in screen (average level $shown; picture in $cache/window.png)"
! grep -q "can't start" "$work/window.log" || fail "the window reports a tool that cannot start"
kill "$window"

# --- A library a tool needs goes missing: the command names it and does no work.
step "removing the processor engine's library"
in_root dpkg --remove --force-depends libdnnl2 >"$work/dpkg-remove.log" 2>&1 ||
    { cat "$work/dpkg-remove.log" >&2; fail "could not remove libdnnl2"; }
rm -f "$root/home/tester/work/pic_upscaled.png"
status=0
as_user korvane upscale pic.png --scale 2 >"$work/stdout" 2>"$work/stderr" || status=$?
cat "$work/stderr"
[ "$status" -eq 1 ] || fail "with libdnnl2 removed, korvane upscale ended with status $status"
grep -q "korvane-engine can't start: libdnnl.so.2 is missing. Reinstall Korvane, or install the package that provides it." \
    "$work/stderr" || fail "the missing library is not named"
[ ! -e "$root/home/tester/work/pic_upscaled.png" ] || fail "work was done without the engine"

# --- Purged, nothing of it is left.
step "purging the package"
in_root apt-get purge -y -q korvane >"$work/apt-purge.log" 2>&1 ||
    { tail -n 20 "$work/apt-purge.log" >&2; fail "apt could not purge the package"; }
in_root dpkg-query -W -f='${db:Status-Abbrev}\n' korvane 2>/dev/null | grep -q '^ii' &&
    fail "the package is still installed"
left=()
while read -r path; do
    [ -n "$path" ] && [ "$path" != "/." ] || continue
    if [ -d "$root$path" ] && [ ! -L "$root$path" ]; then
        # A folder may stay when another package owns it too.
        in_root dpkg-query -S "$path" >/dev/null 2>&1 || left+=("$path")
    elif [ -e "$root$path" ] || [ -L "$root$path" ]; then
        left+=("$path")
    fi
done <"$work/package-files"
((${#left[@]} == 0)) || fail "left after purging: ${left[*]}"
! ls "$root/var/lib/dpkg/info/" | grep -q '^korvane[.:]' || fail "dpkg still keeps korvane's files"
echo "in a fresh Debian 12 the package installed with apt, upscaled a clip and a picture, showed" \
    "the sign-in screen, named a missing library and left nothing behind ($SECONDS s)"
