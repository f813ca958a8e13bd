#!/bin/sh
# Builds Tessaro optimised and starts it against a fresh copy of the sample
# machine. Arguments go to the program (tools/run.sh --cs starts demo mode).
set -eu
cd "$(dirname "$0")/.."

tools/install-deps.sh

build=build-run
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target tessaro stage_signatures

stage="$build/stage"
rm -rf "$stage/machine"
cp -a machines/sample "$stage/machine"
exec "$stage/Tessaro/bin/tessaro" "$@"
