# Helpers shared by scripts/test and scripts/play. Sourced, not run.
# shellcheck shell=bash

ZARVANTO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Everything needed to build the game, run its tests and drive it headless.
# Mesa's software renderer (libgl1-mesa-dri) lets it draw without a GPU;
# Debian's python3 with PIL drives the game and reads its pictures. Clang and its runtime
# build the sanitizer and fuzzing variants.
ZARVANTO_PACKAGES=(
  cmake make g++ clang-19 libclang-rt-19-dev
  freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri libopenal-dev
  libgtest-dev libbenchmark-dev libpng-dev
  xvfb xauth xdotool x11-apps x11-utils imagemagick python3-pil
  libpugixml-dev nlohmann-json3-dev  # the track tool reads GPX and GeoJSON routes
  libgeographiclib-dev   # and lays their latitudes and longitudes flat
  coinor-libclp-dev pkg-config  # and solves an imported track's heights
  nettle-dev             # SHA-256 names a track's kept record by its content
  libsdl2-dev            # game controllers
  python3-mapbox-earcut  # scripts/bench: the ear clipping timed against earcut
  python3-numpy          # the sound test reads the recorded spectrum
  # The installed game's checks: the menu entry, the AppStream data, the
  # manual pages and the package.
  desktop-file-utils appstream man-db lintian
)

# What scripts/package needs and no more: the build, and dpkg's tools that
# set the flags and find the libraries the programs link.
ZARVANTO_PACKAGE_BUILD=(cmake make g++ freeglut3-dev libglu1-mesa-dev libopenal-dev libx11-dev libpng-dev libpugixml-dev nlohmann-json3-dev libgeographiclib-dev coinor-libclp-dev pkg-config nettle-dev libsdl2-dev dpkg-dev file)

zv_say() { printf '==> %s\n' "$*"; }
zv_die() { printf 'error: %s\n' "$*" >&2; exit 1; }

# Installs the Debian packages that are not installed yet: those named, or
# else all of ZARVANTO_PACKAGES. Does nothing, and needs no network, when all
# are there.
zv_install_missing() {
  local wanted=("$@") missing=() pkg
  ((${#wanted[@]} > 0)) || wanted=("${ZARVANTO_PACKAGES[@]}")
  command -v dpkg-query >/dev/null 2>&1 ||
    zv_die "dpkg-query not found: these scripts install packages on Debian or Ubuntu only; install ${wanted[*]} by hand"
  for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q '^install ok installed$' ||
      missing+=("$pkg")
  done
  ((${#missing[@]} == 0)) && return 0

  local sudo=()
  if ((EUID != 0)); then
    command -v sudo >/dev/null 2>&1 ||
      zv_die "missing packages: ${missing[*]}; run as root or install sudo to let this script install them"
    sudo=(sudo)
  fi
  zv_say "Installing missing packages: ${missing[*]}"
  if ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q ||
     ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"; then
    zv_die "could not install: ${missing[*]}"
  fi
}

# Configures build/ for an optimised build; BUILD_TESTING follows CMake's default.
zv_configure() {
  cmake -S "$ZARVANTO_ROOT" -B "$ZARVANTO_ROOT/build" -DCMAKE_BUILD_TYPE=Release "$@"
}

# The compiler of the sanitizer and fuzzing builds: Clang 17 or later, as the leak check of
# Clang 14 misread the thread-local storage of libraries loaded at run time under this glibc
# (a Mesa driver's, say) and crashed at exit on many runs of the games the tests drive.
ZV_CLANG=clang++-19

# Configures build-sanitize/: every program, tests included, with the
# address and undefined-behaviour checks.
zv_configure_sanitize() {
  cmake -S "$ZARVANTO_ROOT" -B "$ZARVANTO_ROOT/build-sanitize" -DCMAKE_CXX_COMPILER="$ZV_CLANG" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVANTO_SANITIZE=ON "$@"
}

# Sends every sanitizer report to files under the given folder, as well as
# ending the process, so a finding in a game that a test then kills anyway
# is still seen: zv_sanitizer_reports lists them afterwards.
zv_sanitizer_env() {
  local dir="$1"
  mkdir -p "$dir"
  rm -f "$dir"/report.*
  export ASAN_OPTIONS="log_path=$dir/report:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
  export UBSAN_OPTIONS="log_path=$dir/report:print_stacktrace=1"
  export LSAN_OPTIONS="log_path=$dir/report:suppressions=$ZARVANTO_ROOT/sanitize/lsan-suppressions.txt:print_suppressions=0"
}

# Prints every report written under the folder; fails if there was one.
zv_sanitizer_reports() {
  local dir="$1" report status=0
  for report in "$dir"/report.*; do
    [[ -e "$report" ]] || continue
    status=1
    printf '\n==> Sanitizer report %s\n' "$report" >&2
    cat "$report" >&2
  done
  return "$status"
}

# Plays the soak race in build/ for the given minutes on a private Xvfb.
zv_run_soak() {
  local minutes="$1" status=0
  zv_say "Playing a ${minutes}-minute race"
  export LIBGL_ALWAYS_SOFTWARE=1
  zv_start_xvfb
  /usr/bin/python3 "$ZARVANTO_ROOT/tests/soak/soak.py" "$ZARVANTO_ROOT/build/zarvanto" \
    "$ZARVANTO_ROOT/tests/soak/plateau.tck" "$ZARVANTO_ROOT/build/bench/libzarvanto_swap_counter.so" "$minutes" \
    "$ZARVANTO_ROOT/build/soak-report.txt" || status=$?
  zv_stop_xvfb
  return "$status"
}

# Starts a private Xvfb on the first free display from :99 up, waits until it
# answers, and exports DISPLAY. zv_stop_xvfb (set as an EXIT trap) ends it.
ZV_XVFB_PID=""
zv_start_xvfb() {
  local n log
  log="$(mktemp "${TMPDIR:-/tmp}/zarvanto-xvfb.XXXXXX")"
  for ((n = 99; n < 199; n++)); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    # -noreset: by default the server resets whenever its last client leaves,
    # and a game starting during the reset cannot connect.
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$log" 2>&1 &
    ZV_XVFB_PID=$!
    local tries
    for ((tries = 0; tries < 100; tries++)); do
      if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
        export DISPLAY=":$n"
        rm -f "$log"
        return 0
      fi
      # Gone already: most likely another server took this number meanwhile.
      kill -0 "$ZV_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    zv_stop_xvfb
  done
  cat "$log" >&2
  rm -f "$log"
  zv_die "could not start Xvfb on any display from :99 to :198"
}

zv_stop_xvfb() {
  if [[ -n "$ZV_XVFB_PID" ]]; then
    kill "$ZV_XVFB_PID" 2>/dev/null || true
    wait "$ZV_XVFB_PID" 2>/dev/null || true
    ZV_XVFB_PID=""
  fi
}
