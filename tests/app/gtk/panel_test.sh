#!/bin/sh
# The indicator in a real panel: xfce4-panel with its indicator plugin and the Ayatana
# application service under Xvfb. The panel's own configuration daemon is started by D-Bus and
# takes the bus's environment, so the fresh HOME is set before the bus starts.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
home=$(mktemp -d /tmp/sapwell-panel.XXXXXX)
trap 'rm -rf "$home"' EXIT
conf="$home/.config/xfce4/xfconf/xfce-perchannel-xml"
mkdir -p "$conf"
cp "$here/xfce4-panel.xml" "$conf/"
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/data" NO_AT_BRIDGE=1
export PYTHONPATH="$here"
exec dbus-run-session -- xvfb-run -a -s "-screen 0 1280x800x24" /usr/bin/python3 "$here/panel_test.py"
