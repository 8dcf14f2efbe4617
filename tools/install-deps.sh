#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the player need,
# but only those that are missing. Runs apt-get as root directly, through
# sudo when that works without a password, and otherwise prints the exact
# command to run and stops.
set -u
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libmpv-dev libcurl4-openssl-dev nlohmann-json3-dev
  libavformat-dev libavcodec-dev libavutil-dev libavdevice-dev
  famfamfam-flag-png iso-codes libcanberra-dev
  libicu-dev  # language names of audio and subtitle tracks
  libexpat1-dev zlib1g-dev liblzma-dev libsqlite3-dev  # the programme guide
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  ffmpeg python3 openssl xvfb xauth xdotool
  openbox  # the window-manager tests
  mpv  # the command-line player: the start-up benchmark's reference
  qt6-translations-l10n
  dbus-daemon dbus-bin libglib2.0-bin weston qt6-wayland
  appstream desktop-file-utils dpkg-dev file
  at-spi2-core python3-pyatspi  # the screen-reader test reads the accessibility bus
  libsecret-1-dev  # provider passwords in the desktop's secret store
  gnome-keyring  # the secret store's test runs one on a private session bus
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  run=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  run=(sudo -n)
else
  echo "Lumora needs these Debian packages and cannot install them without root." >&2
  echo "Run this, then try again:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${run[@]}" apt-get update -qq || true
"${run[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" || {
  echo "apt-get could not install: ${missing[*]}" >&2
  exit 1
}
