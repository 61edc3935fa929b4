#!/usr/bin/env bash
# Installs what is missing (Debian 12, as root), then configures and builds into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake ninja-build pkg-config libutf8proc-dev libgtest-dev libgmock-dev
          libbenchmark-dev chromium tmux locales
          # the desktop shell
          libgtk-3-dev libayatana-appindicator3-dev libwebkit2gtk-4.1-dev
          # its tests on Xvfb, a private session bus and a real panel
          xvfb xauth dbus xdotool imagemagick x11-utils libglib2.0-bin python3-gi
          xfce4-panel xfconf xfce4-indicator-plugin ayatana-indicator-application
          fonts-dejavu-core adwaita-icon-theme)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Node may come from elsewhere than Debian (it brings its own npm); only the commands matter.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The formatting tests check numbers under a German numeric locale.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8'; then
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
