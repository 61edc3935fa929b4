#!/usr/bin/env bash
# Installs what is missing (Debian 12, as root). "setup.sh run": what building and running Sapwell
# needs. "setup.sh test": that, and what the tests and benchmarks need on top.
set -euo pipefail
cd "$(dirname "$0")/.."
purpose=${1:-test}
case "$purpose" in run | test) ;; *) echo "usage: $0 run|test" >&2; exit 2 ;; esac

# Building and running. One package a line.
run_packages=(
  g++
  cmake
  ninja-build
  pkg-config
  libutf8proc-dev
  # the desktop shell
  libgtk-3-dev
  libayatana-appindicator3-dev
  libwebkit2gtk-4.1-dev
)

# The tests and benchmarks, on top of the above. One package a line.
test_packages=(
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  chromium
  tmux
  locales
  # reading --export prometheus back with the reference parser
  python3-prometheus-client
  # compile-checking the macOS sources
  clang-16
  libc++-16-dev
  libc++abi-16-dev
  libgnustep-base-dev
  libgnustep-gui-dev
  # the desktop shell's tests on Xvfb, a private session bus and a real panel
  xvfb
  xauth
  dbus
  xdotool
  imagemagick
  x11-utils
  libglib2.0-bin
  python3-gi
  xfce4-panel
  xfconf
  xfce4-indicator-plugin
  ayatana-indicator-application
  fonts-dejavu-core
  adwaita-icon-theme
)

packages=("${run_packages[@]}")
if [ "$purpose" = test ]; then packages+=("${test_packages[@]}"); fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "$purpose" = test ]; then
  # Node may come from elsewhere than Debian (it brings its own npm); only the commands matter.
  command -v node >/dev/null || missing+=(nodejs)
  command -v npm >/dev/null || missing+=(npm)
fi
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The formatting tests check numbers under a German numeric locale.
if [ "$purpose" = test ] && ! locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8'; then
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
