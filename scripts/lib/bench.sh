# Sourced by the scripts/bench-* scripts: installs what is missing, takes an
# optional build folder from the first argument (default build-bench/) and
# defines bench_build, which configures a Release build with the benchmarks
# and builds the targets named.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/setup"

dir="$top/build-bench"
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then
  dir="$1"
  shift
fi

bench_build() {
  cmake -G Ninja -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKVX_BUILD_BENCH=ON \
    -DKVX_BUILD_TESTS=OFF >/dev/null
  local targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build "$dir" -j "$(nproc)" "${targets[@]}" >/dev/null
}
