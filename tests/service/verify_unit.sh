#!/usr/bin/env bash
# The service as the package installs it: `systemd-analyze verify` finds nothing to say about
# an instance of the template unit (warnings count), the user it runs as is declared in a
# valid sysusers.d file, and the Prometheus examples are in the package's documentation.
#   verify_unit.sh BUILD_DIR
set -euo pipefail
BUILD="$1"
DEST="$(mktemp -d)"
trap 'rm -rf "$DEST"' EXIT

DESTDIR="$DEST" cmake --install "$BUILD" --prefix /usr --component quorvatel >/dev/null
unit="$(find "$DEST" -name 'quorvatel@.service')"
[ -n "$unit" ] || { echo "FAIL: quorvatel@.service is not installed" >&2; exit 1; }
# The installed tree plus the system's own units, which the unit's dependencies name.
for dir in /lib/systemd/system /usr/lib/systemd/system; do
  [ -d "$dir" ] && mkdir -p "$DEST$dir" && cp -rn "$dir/." "$DEST$dir/" 2>/dev/null || true
done
# The manual page it names is checked by the install test; man itself may be missing here.
out="$(systemd-analyze verify --man=no --root="$DEST" quorvatel@broker1.service 2>&1)" || {
  echo "FAIL: systemd-analyze verify: $out" >&2
  exit 1
}
[ -z "$out" ] || { echo "FAIL: systemd-analyze verify says: $out" >&2; exit 1; }

users="$(systemd-sysusers --root="$DEST" --dry-run quorvatel.conf 2>&1)" || {
  echo "FAIL: systemd-sysusers: $users" >&2
  exit 1
}
grep -q "Creating user 'quorvatel'" <<<"$users" ||
  { echo "FAIL: no user quorvatel declared: $users" >&2; exit 1; }
for f in prometheus.yml quorvatel-rules.yml quorvatel-instance.env; do
  [ -f "$DEST/usr/share/doc/quorvatel/examples/$f" ] ||
    { echo "FAIL: not installed: /usr/share/doc/quorvatel/examples/$f" >&2; exit 1; }
done
echo "quorvatel@.service verified, its user declared, the examples installed"
