#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that building and testing Brixel need.
# Idempotent: packages already present are left alone. Works as root or through sudo.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    clang libclang-rt-14-dev clang-format
    libicu-dev libsqlite3-dev sqlite3 nlohmann-json3-dev
    qt6-base-dev qt6-svg-dev libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    locales
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

need_root() {
    if [ ${#sudo_cmd[@]} -ne 0 ] && ! command -v sudo > /dev/null; then
        echo "install-deps: $1 needs root: run this script as root, or install sudo" >&2
        exit 1
    fi
}

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#packages[@]} packages present"
else
    need_root "installing ${missing[*]}"
    echo "install-deps: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A locale whose decimal separator is a comma, so the tests can show that numbers still
# print and parse with a point.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    need_root "generating the de_DE.UTF-8 locale"
    echo "install-deps: generating the de_DE.UTF-8 locale"
    "${sudo_cmd[@]}" localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
fi
