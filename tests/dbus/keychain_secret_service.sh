#!/usr/bin/env bash
# Runs the keychain test program twice, each time on a private session bus:
#   1. with GNOME Keyring's Secret Service started and unlocked on it;
#   2. on a bus that offers no services at all (nothing can be activated).
# Everything the keyring writes goes to a temporary home that is removed afterwards.
set -euo pipefail
exe=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" \
       XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS

dbus-run-session -- bash -c '
  set -euo pipefail
  echo -n melodrift-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null
  exec "$1" --gtest_filter="SecretService.*"' keyring "$exe"

cat > "$work/bare-bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=$work</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-run-session --config-file="$work/bare-bus.conf" -- "$exe" --gtest_filter="NoSecretService.*"
