#!/bin/sh
# Builds Tessaro optimised and starts it against a fresh copy of the sample
# machine. Arguments go to the program (tools/run.sh --cs starts demo mode).
set -eu
cd "$(dirname "$0")/.."

# The program opens a window: without an X display that answers, Qt would end
# it after the build with a message about its "xcb" plugin that points nowhere
# useful. A Wayland session alone is no display for it: Qt here has no Wayland
# plugin, and a desktop session's XWayland sets DISPLAY. Another platform
# (QT_QPA_PLATFORM=vnc) needs no display.
no_display() {
    cat >&2 <<EOT
tools/run.sh: Tessaro opens a window, and $1.
Run it from a desktop session, or give it one:
    xvfb-run -a -s "-screen 0 1366x768x24" tools/run.sh
        a virtual X display (Debian package xvfb); nothing is seen on screen
    QT_QPA_PLATFORM=vnc tools/run.sh
        the window is served over VNC: connect a VNC viewer to port 5900
EOT
    exit 1
}

case "${QT_QPA_PLATFORM:-xcb}" in
xcb*) on_x=yes ;;
*) on_x=no ;;
esac
if [ "$on_x" = yes ] && [ -z "${DISPLAY:-}" ]; then
    no_display "there is no display to open it on (DISPLAY is not set)"
fi

tools/install-deps.sh

# A display that is set may still not answer: its X server has ended, or it
# belongs to another user or to a closed remote session.
if [ "$on_x" = yes ] && ! xdpyinfo >/dev/null 2>&1; then
    no_display "the display it is given does not answer (DISPLAY=$DISPLAY)"
fi

build=build-run
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target tessaro stage_signatures

stage="$build/stage"
rm -rf "$stage/machine"
cp -a machines/sample "$stage/machine"
exec "$stage/Tessaro/bin/tessaro" "$@"
