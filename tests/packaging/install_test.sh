#!/usr/bin/env bash
# `cmake --install` puts the application, its launcher and its icon in place, and the launcher
# registers the melodrift: URL scheme.
#   install_test.sh <build-dir>
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "install_test: $*" >&2; exit 1; }
[ -x "$prefix/bin/melodrift-radio" ] || fail "no binary"
[ -x "$prefix/libexec/melodrift-web-banner" ] || fail "no banner web host"
[ -x "$prefix/libexec/melodrift-recorder" ] || fail "no recording process"
desktop="$prefix/share/applications/melodrift-radio.desktop"
[ -f "$desktop" ] || fail "no desktop file"
[ -f "$prefix/share/icons/hicolor/scalable/apps/melodrift-radio.svg" ] || fail "no icon"
grep -qx 'Exec=melodrift-radio %u' "$desktop" || fail "Exec line"
grep -qx 'MimeType=x-scheme-handler/melodrift;' "$desktop" || fail "MimeType line"
grep -qx 'Icon=melodrift-radio' "$desktop" || fail "Icon line"
grep -qx 'Exec=melodrift-radio --intent ShazamAppIntent' "$desktop" || fail "recognition action"
grep -qx 'Name\[fa\]=تشخیص آهنگ با ملودریفت' "$desktop" || fail "recognition action's title"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi
if command -v update-desktop-database >/dev/null; then
  grep -q '^x-scheme-handler/melodrift=melodrift-radio.desktop;' "$prefix/share/applications/mimeinfo.cache" \
    || fail "the scheme handler is not in the desktop database"
fi
echo "install_test: ok"
