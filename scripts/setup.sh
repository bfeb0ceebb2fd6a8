#!/usr/bin/env bash
# Installs the Debian packages the project builds, runs and tests with.
# Only what is missing is installed, so a second run takes seconds.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build make pkg-config clang libclang-rt-14-dev ccache
  # Qt
  qt6-base-dev qt6-base-dev-tools qt6-base-private-dev qt6-declarative-dev qt6-declarative-dev-tools
  qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts
  qml6-module-qtquick-templates qml6-module-qtquick-window qml6-module-qtquick-shapes
  qml6-module-qtqml qml6-module-qtqml-models qml6-module-qtqml-workerscript
  qt6-5compat-dev qml6-module-qt5compat-graphicaleffects
  qt6-multimedia-dev qml6-module-qtmultimedia
  qt6-httpserver-dev qt6-websockets-dev
  qt6-webengine-dev qml6-module-qtwebengine qml6-module-qtwebchannel
  qcoro-qt6-dev qtkeychain-qt6-dev qt6-translations-l10n
  libqt6svg6 qt6-qpa-plugins
  # GStreamer
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-tools gstreamer1.0-pulseaudio
  # opening links and asking for their handlers
  xdg-utils
  # fonts
  fonts-noto-core fonts-noto-ui-core fonts-material-design-icons-iconfont fonts-noto-color-emoji
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool dbus dbus-x11 playerctl gnome-keyring libsecret-tools ffmpeg imagemagick
  # a real radio server for the live playback tests, with ffmpeg and ezstream as its sources
  icecast2 ezstream
  desktop-file-utils at-spi2-core python3-pyatspi
  # the sandbox `make test` runs the suite in
  bubblewrap
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
