#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR as a package would and checks what an
# administrator gets: the tree, a valid desktop entry and metainfo, the manual page, the
# stand-in tools off PATH, and --version / --help from the installed program without a
# display. Where lintian is installed, the two Debian packages are built and must pass it
# without an error.
#   install_test.sh BUILD_DIR
set -euo pipefail
BUILD="$1"
DEST="$(mktemp -d)"
trap 'rm -rf "$DEST"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

for component in quorvatel sim; do
  DESTDIR="$DEST" cmake --install "$BUILD" --prefix /usr --component "$component" >/dev/null
done
U="$DEST/usr"
ID=com.orvex.Quorvatel

for f in bin/quorvatel \
         share/applications/$ID.desktop \
         share/metainfo/$ID.metainfo.xml \
         share/icons/hicolor/scalable/apps/$ID.svg \
         share/icons/hicolor/48x48/apps/$ID.png \
         share/icons/hicolor/128x128/apps/$ID.png \
         share/icons/hicolor/256x256/apps/$ID.png \
         share/man/man1/quorvatel.1.gz \
         share/doc/quorvatel/copyright \
         share/doc/quorvatel/changelog.gz \
         share/doc/quorvatel-tessamy-sim/copyright \
         share/doc/quorvatel-tessamy-sim/changelog.gz \
         libexec/quorvatel/sim-bin/quslist \
         libexec/quorvatel/sim-bin/vqry \
         libexec/quorvatel/sim-bin/vantrace.exe \
         libexec/quorvatel/sim-bin/vsend.exe \
         libexec/quorvatel/sim-bin/tessamy-sim; do
  [ -e "$U/$f" ] || fail "not installed: /usr/$f"
done
[ -x "$U/bin/quorvatel" ] || fail "/usr/bin/quorvatel is not executable"
# Only the monitor goes on PATH: a stand-in there would shadow a real Tessamy tool.
extra="$(ls "$U/bin" | grep -vx quorvatel || true)"
[ -z "$extra" ] || fail "more than the monitor in /usr/bin: $extra"
[ ! -e "$U/sbin" ] || fail "something was installed in /usr/sbin"

desktop-file-validate "$U/share/applications/$ID.desktop"
appstreamcli validate --no-net "$U/share/metainfo/$ID.metainfo.xml" >/dev/null ||
  appstreamcli validate --no-net "$U/share/metainfo/$ID.metainfo.xml"
grep -qx "Icon=$ID" "$U/share/applications/$ID.desktop" || fail "desktop entry names another icon"
grep -q "<launchable type=\"desktop-id\">$ID.desktop</launchable>" \
  "$U/share/metainfo/$ID.metainfo.xml" || fail "metainfo names another desktop entry"
gzip -dc "$U/share/man/man1/quorvatel.1.gz" | grep -q '^\.TH QUORVATEL 1' ||
  fail "the manual page has no title line"

# The installed program tells its version and usage without a display.
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$U/bin/quorvatel" "$@"; }
version="$(run --version)" || fail "--version did not end with status 0"
[ "$version" = "Quorvatel 4.01" ] || fail "--version printed '$version'"
help="$(run --help)" || fail "--help did not end with status 0"
for word in "Usage:" "--help" "--version" "Tessamy"; do
  grep -qF -- "$word" <<<"$help" || fail "--help does not mention $word"
done
# An unknown option ends the program before any window (offscreen: no display needed).
if err="$(QT_QPA_PLATFORM=offscreen timeout 60 "$U/bin/quorvatel" --no-such-option 2>&1)"; then
  fail "an unknown option was accepted"
fi
grep -q "Unknown option" <<<"$err" || fail "an unknown option gave: $err"

if command -v lintian >/dev/null && command -v dpkg-shlibdeps >/dev/null; then
  (cd "$DEST" && cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$DEST/debs" >/dev/null) ||
    fail "the Debian packages could not be built"
  lintian --fail-on error "$DEST"/debs/*.deb 2>/dev/null || fail "lintian found errors (above)"
  echo "Debian packages: no lintian error"
fi
echo "install tree, desktop entry, metainfo, manual page and command line: ok"
