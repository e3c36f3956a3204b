#!/usr/bin/env bash
# Installs the Debian packages Boxmere needs to build, run and test, and those named
# as arguments. Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qtbase5-dev qtdeclarative5-dev qtquickcontrols2-5-dev
    libqt5quicktest5 qml-module-qttest
    qml-module-qtquick2 qml-module-qtquick-window2 qml-module-qtquick-layouts
    qml-module-qtquick-controls2 qml-module-qtquick-templates2
    qml-module-qtquick-controls qml-module-qtquick-dialogs qml-module-qtqml-models2
    qml-module-qt-labs-folderlistmodel qml-module-qt-labs-settings
    qt5-image-formats-plugins
    libsimdjson-dev libyaml-cpp-dev
    fonts-dejavu-core xvfb xauth imagemagick
    labelme-examples
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}" >&2
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
