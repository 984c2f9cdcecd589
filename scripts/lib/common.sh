# Shared by the scripts: package installs and builds.

PLIX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

log() { printf '== %s\n' "$*" >&2; }

# Installs the Debian packages that are missing; apt runs only if one is.
ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What building the Windows program needs.
BUILD_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
                mingw-w64-tools googletest)
# What the native tests need on top.
NATIVE_TEST_PACKAGES=(g++ libgtest-dev libgmock-dev)
# What running the program and its end-to-end tests needs.
WINE_PACKAGES=(wine wine64 xvfb xauth socat x11-utils)
# What the libFuzzer targets need: clang and its fuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# What the benchmarks need: Google Benchmark; valgrind for instruction counts.
BENCH_PACKAGES=(libbenchmark-dev valgrind)

build_preset() {
  local preset=$1
  log "building $preset"
  cmake --preset "$preset" -S "$PLIX_ROOT" >/dev/null
  cmake --build --preset "$preset"
}
