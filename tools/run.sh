#!/bin/sh
# Builds Tessaro optimised and starts it against a fresh copy of the sample
# machine. Arguments go to the program (tools/run.sh --cs starts demo mode).
set -eu
cd "$(dirname "$0")/.."

# The program opens a window: without an X display Qt would end it with a
# message about its "xcb" plugin that points nowhere useful. A Wayland
# session alone is no display for it: Qt here has no Wayland plugin, and a
# desktop session's XWayland sets DISPLAY.
if [ -z "${DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'EOT'
tools/run.sh: Tessaro opens a window, and there is no display to open it on
(DISPLAY is not set). Run it from a desktop session, or give it one:
    xvfb-run -a -s "-screen 0 1366x768x24" tools/run.sh
        a virtual X display (Debian package xvfb); nothing is seen on screen
    QT_QPA_PLATFORM=vnc tools/run.sh
        the window is served over VNC: connect a VNC viewer to port 5900
EOT
    exit 1
fi

tools/install-deps.sh

build=build-run
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target tessaro stage_signatures

stage="$build/stage"
rm -rf "$stage/machine"
cp -a machines/sample "$stage/machine"
exec "$stage/Tessaro/bin/tessaro" "$@"
