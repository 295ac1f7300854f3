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
  # Each picture's check prints "ok" with what it verified, or "FAIL"; a failed check fails
  # world_host and so the demo.
  echo "== world_host --model models/sample.mom --frames 8 --picture out/model.png"
  # The sample model framed by a camera on its bound, lit by the stage's sun and fill: its
  # textured body and its sorted transparent glass in front.
  "$build/apps/world_host/world_host" --model models/sample.mom --frames 8 --picture out/model.png |
    grep -E '^(scene|model|picture|ok|FAIL)'
  echo "== world_host --fx fx/sample.emf --fx fx/kinds.emf --frames 60 --picture out/fx.png"
  # The two particle systems and the trail of sample.emf, and the effect of the other kinds:
  # per frame and effect its live particles (by part), the camera's offset from its start, the
  # client's time scale and the sounds playing; after their release the camera, the time scale
  # and the audio objects left beyond the host's own sounds. The picture shows the sparks, the
  # smoke, the trail on its circle, the sprite and the flare of the last frame.
  "$build/apps/world_host/world_host" --fx fx/sample.emf --fx fx/kinds.emf --frames 60 --picture out/fx.png |
    grep -E '^(fx|picture|drawn in|ok|FAIL)' | grep -vE '^fx frame ([1-9]|[1-5][0-9]):'
  echo "== world_host --scene scenes/garden.scn --frames 4 --picture out/garden.png"
  # The garden: loaded on the loader thread, viewed from its preset camera "Gate" moving forward.
  # The picture: the sky drawn with its own camera, the flat reference terrain as lit grass, and
  # the hedges and the tower lit by the scene's sun and lamp.
  "$build/apps/world_host/world_host" --scene scenes/garden.scn --frames 4 --picture out/garden.png |
    grep -E '^(scene|preset camera|objects|lights|lod|terrain|sky depth|vegetation|picture|drawn in|horizon|ok|FAIL)'
  echo "== world_host --scene scenes/garden.scn --size 960x540 --loading-picture out/loading.png"
  # The empty active scene shows the loading screen while the garden loads on the loader thread
  # (its last frame, from the CPU device, is the picture); then a listener walks through the
  # garden's music and reverb zones, and one transition opens the old screen from the middle.
  "$build/apps/world_host/world_host" --scene scenes/garden.scn --frames 1 --size 960x540 \
    --loading-picture out/loading.png | grep -E '^(loading|audio|transition)'
  echo "== world_host --scene scenes/yard_10025.scn, scenes/yard_10014.scn"
  # The walled yard in binary form at the newest version and at 0x10014: the collision tree's
  # size, fixed rays (t, user value), a capsule walked around the yard (end positions, contact
  # normals) and the ground positions gathered for a decal.
  for v in 10025 10014; do
    "$build/apps/world_host/world_host" --scene scenes/yard_$v.scn --frames 1 |
      grep -E '^(scene file|scene:|collision|ray|capsule|decal)'
  done
  echo "== world_host --model models/sample.mom --label hero_tag@top --frames 12 --picture out/label.png"
  # A screen label pinned to the sample model's socket: where it stands on sampled frames, a
  # click at its centre (taken, with the module's click line) and one beside it (not taken).
  "$build/apps/world_host/world_host" --model models/sample.mom --label hero_tag@top --frames 12 \
    --picture out/label.png | grep -E '^(label|picture)'
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
  # pictures collected and drawn, the ground's blocks, masks, pictures behind masks, layers and
  # water. Frames 0, 4 and 8 are written as out/map2d/town_*.png: frame 0 before the ground has
  # streamed in, frame 4 the market with fog, fire, the bolt and the hills through the missing
  # block, frame 8 the walker behind the oak's crown, the river's water under the bridge and the
  # leaves of the front layer.
  "$build/apps/world_host/world_host" --scene map2d/town.scn2 --frames 9 --out out/map2d | grep -E '^map2d'
  echo "== world_host --model char/figure.mom --play walk --upper wave --frames 24 --pictures 4 --picture out/figure.png"
  # The figure walks, then waves with its upper body while the legs walk on: per frame the clip,
  # its time, the key events popped and four bone positions; four frames as out/figure-1.png ...
  "$build/apps/world_host/world_host" --model char/figure.mom --play walk --upper wave --frames 24 --pictures 4 \
    --picture out/figure.png | grep -E '^(figure|picture|drawn in|ok|FAIL)'
fi
if [ -x "$build/apps/scene_view/scene_view" ]; then
  echo "== scene_view"
  "$build/apps/scene_view/scene_view" --out out
fi
