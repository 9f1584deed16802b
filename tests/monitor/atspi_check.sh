#!/usr/bin/env bash
# The monitor as a screen reader meets it: the real program under Xvfb, with a private
# session bus and the AT-SPI accessibility bus, against a simulated Broker with one session;
# atspi_read_matrix.py then reads the login matrix through AT-SPI, as Orca would.
#
# usage: atspi_check.sh QUORVATEL SIM_BIN_DIR
set -euo pipefail
QUORVATEL="$1"
SIM_BIN="$2"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# The session bus starts the accessibility bus when the monitor or the reader first asks.
for tool in /usr/libexec/at-spi-bus-launcher dbus-run-session xvfb-run; do
  command -v "$tool" >/dev/null || { echo "atspi_check: $tool missing (scripts/setup installs it)" >&2; exit 1; }
done

T="$(mktemp -d)"
trap 'rm -rf "$T"' EXIT
mkdir -p "$T/home" "$T/config" "$T/work" "$T/runtime"
chmod 700 "$T/runtime"
export TESSAMY_SIM_HOME="$T/home" XDG_CONFIG_HOME="$T/config" XDG_RUNTIME_DIR="$T/runtime"
export PATH="$SIM_BIN:$PATH"
tessamy-sim create ATBKR --users 3 --sessions 0 --admin admin --password pw >/dev/null
tessamy-sim adduser ATBKR lnovak >/dev/null
tessamy-sim logon ATBKR lnovak --machine PC042 --pid 3312 >/dev/null
echo pw | "$QUORVATEL" --write-profile --broker ATBKR --admin admin --password-stdin \
  --interval 3 >/dev/null

cd "$T/work"
# Qt speaks AT-SPI only when asked; a desktop asks through its settings, we say so here.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset QT_QPA_PLATFORM
# Should anything hang, the monitor still ends by itself.
export QUORVATEL_SCREENSHOT="$T/window.png" QUORVATEL_SCREENSHOT_AFTER_MS=60000
export QUORVATEL QV_READER="$HERE/atspi_read_matrix.py"
xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- bash -c '
  "$QUORVATEL" &
  QV=$!
  RC=0
  /usr/bin/python3 "$QV_READER" PC042 40 || RC=$?
  kill "$QV" 2>/dev/null || true
  wait "$QV" 2>/dev/null || true
  exit $RC' 2> >(grep -v "fd limit" >&2)
