# Shared set-up of test.sh, demo.sh and bench.sh: install what is missing, nothing more.
set -euo pipefail

# What each command needs. Libraries that no code uses yet stay out until their issue lands.
QUOR_BUILD_PACKAGES=(
  cmake ninja-build g++ pkg-config ccache
  libpugixml-dev
  libosmesa6-dev libglu1-mesa-dev libjpeg62-turbo-dev libfreetype-dev fonts-dejavu-core fonts-wqy-microhei libstb-dev
  fonts-ipafont-gothic
)
QUOR_TEST_PACKAGES=(libgtest-dev libgmock-dev locales)
QUOR_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
QUOR_BENCH_PACKAGES=(libbenchmark-dev libeigen3-dev libboost-graph-dev python3)

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

# Stage timing: `stage NAME` closes the stage before it and opens NAME; `print_stage_times`
# closes the last one and prints them all.
QUOR_STAGE_NAMES=()
QUOR_STAGE_SECONDS=()
QUOR_STAGE_CPU=()
QUOR_STAGE_START=$SECONDS
QUOR_STAGE_CPU_START=0
# CPU seconds (user plus system, as `time` reports) of every child this shell has waited for,
# into QUOR_CPU. `times` runs in this shell: in a command substitution it would see no child.
QUOR_TIMES_FILE=$(mktemp)
children_cpu() {
  times >"$QUOR_TIMES_FILE"
  QUOR_CPU=$(tail -1 "$QUOR_TIMES_FILE" | awk '{ t = 0; for (i = 1; i <= 2; i++) { split($i, p, "m"); t += p[1] * 60 + p[2] }; printf "%d", t }')
}
close_stage() {
  children_cpu
  local cpu=$QUOR_CPU
  QUOR_STAGE_SECONDS+=($((SECONDS - QUOR_STAGE_START)))
  QUOR_STAGE_CPU+=($((cpu - QUOR_STAGE_CPU_START)))
  QUOR_STAGE_START=$SECONDS
  QUOR_STAGE_CPU_START=$cpu
}
stage() {
  if [ ${#QUOR_STAGE_NAMES[@]} -gt 0 ]; then
    close_stage
  else
    QUOR_STAGE_START=$SECONDS
    children_cpu
    QUOR_STAGE_CPU_START=$QUOR_CPU
  fi
  QUOR_STAGE_NAMES+=("$1")
  echo "== $1"
}
mmss() { printf '%d:%02d' $(($1 / 60)) $(($1 % 60)); }
print_stage_times() {
  local status=${1:-0}
  [ ${#QUOR_STAGE_NAMES[@]} -eq 0 ] && return 0
  if [ ${#QUOR_STAGE_SECONDS[@]} -lt ${#QUOR_STAGE_NAMES[@]} ]; then
    close_stage
  fi
  echo "== stage times ($(jobs) cores$([ "$status" -ne 0 ] && echo ", stopped by a failure")): wall, CPU (user plus system)"
  local total=0 cpu=0
  for i in "${!QUOR_STAGE_NAMES[@]}"; do
    printf '  %-40s %8s %8s\n' "${QUOR_STAGE_NAMES[$i]}" "$(mmss "${QUOR_STAGE_SECONDS[i]}")" "$(mmss "${QUOR_STAGE_CPU[i]}")"
    total=$((total + QUOR_STAGE_SECONDS[i]))
    cpu=$((cpu + QUOR_STAGE_CPU[i]))
  done
  printf '  %-40s %8s %8s\n' total "$(mmss $total)" "$(mmss $cpu)"
  rm -f "$QUOR_TIMES_FILE"
}
