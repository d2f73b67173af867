#!/bin/sh
# Regenerates the screenshots README.md shows, from the screen renderer of an existing build:
#   scripts/readme-screens.sh [build folder]
# Each picture is scaled to 880 points wide and stored with a 256-colour palette to keep the
# repository small.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/tools/screens" "$shots" >/dev/null 2>&1
mkdir -p "$root/docs/screens"
for name in split-home home-populated video-loaded video-preview image-result-slider batch-video-running \
            compare-images-wipe settings-update-available; do
    ffmpeg -v error -y -i "$shots/$name.png" \
        -vf "scale=880:-1:flags=lanczos,split[a][b];[a]palettegen=max_colors=256[p];[b][p]paletteuse=dither=none" \
        "$root/docs/screens/$name.png"
done
echo "wrote $(ls "$root/docs/screens" | wc -l) pictures to docs/screens"
