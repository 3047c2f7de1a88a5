#!/usr/bin/env bash
# Installs every Debian package that building and running Parlavue needs, and with --tests
# what its tests and benchmarks need as well. Does nothing when everything is present; uses
# sudo when not run as root.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git
  # a second build on the same machine compiles only what changed
  ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # the translations: lupdate and lrelease with their CMake functions, and Qt's own catalogs
  qt6-l10n-tools qt6-tools-dev qt6-translations-l10n
  # camera, voice and ring tone; output volume
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
  gstreamer1.0-plugins-good gstreamer1.0-tools libpulse-dev libjpeg62-turbo-dev
  # the voice on PipeWire's own streams where the session runs PipeWire
  libpipewire-0.3-dev
  # echo cancellation and noise suppression of the voice (WebRTC's audio processing)
  libwebrtc-audio-processing-dev
  # this copy's own key and the encrypted channel between copies; an encrypted call's voice
  libssl-dev libsrtp2-dev
  # the test camera's clock overlay (timeoverlay)
  gstreamer1.0-x
  # the test camera's DV source (libav's DV encoder and muxer)
  gstreamer1.0-libav
  # the screen as a camera under Wayland (pipewiresrc reads the screen-cast portal's stream)
  gstreamer1.0-pipewire
  # tests and benchmarks (a private sound server for the volume and voice tests)
  pulseaudio pulseaudio-utils
  # end-to-end tests: two copies in network namespaces on one virtual display
  python3 iproute2 xvfb xdotool imagemagick
  # ... and the man in the middle's own key, and an eavesdropper's Opus decoder
  openssl libopus0
  # the window under a Wayland compositor: Qt's Wayland platform and weston
  qt6-wayland weston
  # the program's icons (made from the SVG) and the validators of the installed desktop files
  librsvg2-bin desktop-file-utils appstream
  # computers on the network (DNS-SD): the client library, and for the tests a private
  # D-Bus bus and Avahi daemon per test host
  libavahi-client-dev avahi-daemon avahi-utils dbus util-linux
  libgtest-dev libgmock-dev libbenchmark-dev
  # the accessibility test: the AT-SPI buses and a screen reader's view of the windows
  at-spi2-core python3-gi gir1.2-atspi-2.0 python3-pyatspi
  # an independent reader of the rich-text messages we write
  unrtf
  # fuzz targets (libFuzzer comes with clang's runtime)
  clang libclang-rt-14-dev
  # fonts the windows are drawn with (and the window-look tests compare)
  fonts-dejavu-core fonts-liberation
)

# A private PipeWire with WirePlumber and its PulseAudio server for the voice tests and the
# latency benchmark. Only for the tests: on a desktop that runs PulseAudio, PipeWire's
# PulseAudio server would contend for its socket from the next login on.
if [ "${1:-}" = "--tests" ]; then
  packages+=(pipewire wireplumber pipewire-pulse)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
