#!/usr/bin/env bash
# Installs a built tree into a fresh prefix and uses it as a host project would: checks the
# installed libraries (versioned sonames, no absolute RUNPATH, libscene.so's export list),
# then configures, builds and runs the two outside hosts of this folder against the prefix
# alone, under AddressSanitizer and UndefinedBehaviorSanitizer.
# Usage: tests/hosts/run.sh BUILD_DIR (a SANITIZE build). Works in a temporary folder outside
# the tree, removed when everything passed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quor-hosts.XXXXXX")
prefix=$work/prefix
failed=0
fail() { echo "FAIL: $*"; failed=1; }
trap 'status=$?; if [ $status -eq 0 ]; then rm -rf "$work"; else echo "kept $work"; fi' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libworld.so.*' -type f | head -1)")
echo "installed into $prefix ($(find "$prefix" -type f | wc -l) files)"

# Versioned sonames; companions found through $ORIGIN, never a path of this machine.
for lib in world scene; do
  file=$(ls "$libdir"/lib$lib.so.*.*)
  soname=$(readelf -d "$file" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  [[ "$soname" =~ ^lib$lib\.so\.[0-9]+$ ]] || fail "lib$lib: soname '$soname' is not versioned"
  [ -e "$libdir/$soname" ] || fail "lib$lib: no $soname link beside it"
done
for file in "$libdir"/*.so.*.*; do
  for path in $(readelf -d "$file" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]/\2/p' | tr ':' ' '); do
    [[ "$path" == '$ORIGIN'* ]] || fail "$(basename "$file"): RUNPATH entry '$path' is not \$ORIGIN-relative"
  done
done

# libscene.so exports its classes (methods, statics, virtual tables, type information), its
# KYT_ functions and the frame writers; no stand-in name, no helper, no template code.
exports=$(nm -D --defined-only -C "$libdir"/libscene.so.*.* | cut -d' ' -f3-)
own='^((vtable|typeinfo|typeinfo name) for |non-virtual thunk to )?((Kyt|Aux)[A-Za-z0-9]*|CMeasureData|COglMemException|CElem[A-Za-z]+|CSphere|AnnotateOverlap[A-Za-z]+|_SECT_[A-Z]+)(::[^:]|$)|^KYT_[A-Za-z0-9]+\(|^(write_BMP_file|CalcCircleParameter)\(|^write_JPEG_file$'
strays=$(grep -Ev "$own" <<<"$exports" || true)
[ -z "$strays" ] || fail "libscene.so exports names that are not its own: $(head -20 <<<"$strays" | tr '\n' ';')"
grep -q '^KytScene::Draw' <<<"$exports" || fail "libscene.so does not export KytScene::Draw"
echo "libscene.so exports $(wc -l <<<"$exports") symbols, all its own"

# The pkg-config files: relocatable, OSMesa ahead of GLU, the module's path for dlopen.
export PKG_CONFIG_PATH=$libdir/pkgconfig
for pc in quor-world quor-scene; do pkg-config --validate $pc || fail "$pc.pc does not validate"; done
libs=$(pkg-config --libs quor-scene)
[[ "$libs" =~ -lscene.*-lOSMesa.*-lGLU ]] || fail "quor-scene links '$libs'"
[ "$(realpath "$(pkg-config --variable=includedir quor-scene)")" = "$(realpath "$prefix/include")" ] ||
  fail "quor-scene's include folder is not the prefix's"
[ -f "$(pkg-config --variable=module quor-world)" ] || fail "quor-world names no module file"

# The outside hosts see the prefix only: no include folder or library of the source or build tree.
export CCACHE_DISABLE=1
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-sanitize=vptr -fno-omit-frame-pointer -g1"
for host in world scene; do
  cmake -S "$here/$host" -B "$work/$host" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DCMAKE_CXX_FLAGS="$flags" >/dev/null
  if ! cmake --build "$work/$host" >"$work/$host.log" 2>&1; then
    grep -E "error" "$work/$host.log" | head -20
    fail "the $host host does not build"
    continue
  fi
  if grep -Eq "$source/(platform|world|scene|build)|$build" "$work/$host/compile_commands.json" "$work/$host/build.ninja"; then
    fail "the $host host was built with paths into the source or build tree"
  fi
done

# The world host's resources, written by the tree's own writers.
rm -rf "$work/samples"
"$build/apps/demo_resources/demo_resources" --out "$work/samples" >/dev/null
echo "== world outside host"
"$work/world/world_outside_host" "$work/samples" || fail "world outside host"
echo "== scene outside host"
"$work/scene/scene_outside_host" "$work/scene/frame.jpg" || fail "scene outside host"
exit $failed
