#!/usr/bin/env bash
# The main job: a release build of the libraries and demo hosts (no tests), then the demo
# hosts of both libraries.
cd "$(dirname "$0")"
source scripts/common.sh
ensure_packages "${QUOR_BUILD_PACKAGES[@]}"

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTS=OFF -DBUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(jobs)"

if [ -x "$build/apps/demo_resources/demo_resources" ]; then
  echo "== demo_resources"
  "$build/apps/demo_resources/demo_resources" --out samples
fi
if [ -x "$build/apps/world_host/world_host" ]; then
  echo "== world_host"
  # Without arguments: enough frames to show the device loss at the middle frame.
  [ $# -eq 0 ] && set -- --frames 6
  "$build/apps/world_host/world_host" "$@"
  echo "== world_host --picture out/frame.png"
  # One frame drawn by the GL renderer over an empty 3D scene: the picture is the cleared
  # frame and the counts of what was drawn are 0.
  "$build/apps/world_host/world_host" --picture out/frame.png | grep -E '^(renderer|picture|drawn in)'
  echo "== world_host --model models/sample.mom --picture out/model.png"
  "$build/apps/world_host/world_host" --model models/sample.mom --picture out/model.png | grep -E '^(scene|model|picture)'
  echo "== world_host --fx fx/kinds.emf --frames 8 --picture out/fx.png"
  # The effect of the other kinds: per frame its particles, the camera's offset from its start,
  # the client's time scale and the sounds playing; after its release the camera, the time scale
  # and the audio objects left beyond the host's own sounds. The picture shows the sprite and
  # the flare of the last frame.
  "$build/apps/world_host/world_host" --fx fx/kinds.emf --frames 8 --picture out/fx.png | grep -E '^(fx|picture|drawn in)'
  echo "== world_host --scene scenes/garden.scn --frames 4 --picture out/garden.png"
  # The garden: loaded on the loader thread, viewed from its preset camera "Gate" moving forward.
  "$build/apps/world_host/world_host" --scene scenes/garden.scn --frames 4 --picture out/garden.png |
    grep -E '^(scene|preset camera|objects|lights|lod|terrain|sky depth|picture|drawn in)'
  echo "== world_host --model char/figure.mom"
  # The skinned figure and its animation, companion and body-split files must all be there.
  for f in mom ani ags ini; do
    [ -s samples/char/figure.$f ] || { echo "missing samples/char/figure.$f"; exit 1; }
  done
  "$build/apps/world_host/world_host" --model char/figure.mom | grep -E '^(scene|model)'
  echo "== world_host --scene map2d/town.scn2 --frames 9 --out out/map2d"
  # The 2D town map through the scene registry: its progress messages, the sections a host
  # runs, map size, camera, conversions, a path through the town gate, walkability and area
  # values; then the view crossing the map, per frame its position, the map offset and the
  # pictures collected and drawn. Frames 0, 4 and 8 are written as out/map2d/town_*.png.
  "$build/apps/world_host/world_host" --scene map2d/town.scn2 --frames 9 --out out/map2d | grep -E '^map2d'
fi
if [ -x "$build/apps/scene_view/scene_view" ]; then
  echo "== scene_view"
  "$build/apps/scene_view/scene_view" --out out
fi
