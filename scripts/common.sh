# Shared set-up of test.sh, demo.sh and bench.sh: install what is missing, nothing more.
set -euo pipefail

QUOR_BUILD_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libpugixml-dev libstb-dev libsquish-dev
  libosmesa6-dev libglu1-mesa-dev libjpeg62-turbo-dev libfreetype-dev fonts-dejavu-core
  locales
)
QUOR_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
QUOR_BENCH_PACKAGES=(libeigen3-dev libboost-graph-dev python3)

ensure_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

jobs() { nproc 2>/dev/null || echo 2; }
