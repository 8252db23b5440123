#!/usr/bin/env bash
# Pictures of every page and dialog of the wizard for docs/screens: builds the program, starts the
# OCI stand-in with a user, and drives the real wizard over examples/dbf under Xvfb.
#   scripts/screenshots.sh [SCALE]   (SCALE 1.5 pictures a 150% screen into build/screens-1.5)
set -euo pipefail
cd "$(dirname "$0")/.."

scale=${1:-1}
packages=(xvfb xauth fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=${BRIXEL_SCREENS_BUILD:-build/screens}
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRIXEL_BENCH=OFF > /dev/null
cmake --build "$build" -j "$(nproc)" --target wizard_screens ocisim ocisim-admin brixel

out=docs/screens
[ "$scale" != 1 ] && out="build/screens-$scale"
mkdir -p "$out"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export OCISIM_HOME="$home" BRIXEL_CONFIG_HOME="$home/config"
export BRIXEL_OCI_LIBRARY="$PWD/$build/ocisim/libocisim.so" BRIXEL_HELP_DIR="$PWD/docs/help"
"$build/ocisim/ocisim-admin" create-service ORCL > /dev/null
"$build/ocisim/ocisim-admin" create-user ORCL SALES secret > /dev/null
cp -r examples/dbf "$home/dbf"
cp data/ora.map data/ora.typ "$build/tools/"
QT_SCALE_FACTOR="$scale" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96" \
    "$build/tools/wizard_screens" "$PWD/$out" "$home/dbf" SALES secret ORCL
