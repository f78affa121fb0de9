#!/usr/bin/env bash
# One entry point for a fresh Debian machine: installs what is missing, builds, and runs the
# server or every test.
#   scripts/tavrix.sh run    set up, build, run the server under Wine
#   scripts/tavrix.sh test   set up, build, run the unit tests (plain and sanitized) and the
#                            end-to-end tests of the real program under Wine
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build"
JOBS="$(nproc 2>/dev/null || echo 2)"
PACKAGES=(cmake g++ make libgtest-dev clang libclang-rt-14-dev python3 xvfb wine wine64
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix)

log() { printf '== %s\n' "$*"; }

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

setup() {
    local missing=()
    for package in "${PACKAGES[@]}"; do
        dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        "${missing[@]}" >/dev/null
}

configure_and_build() {  # folder, then cmake options
    local folder="$1"
    shift
    cmake -S "$ROOT" -B "$BUILD/$folder" -Wno-dev "$@" >/dev/null
    cmake --build "$BUILD/$folder" -j"$JOBS"
}

build_windows() {
    configure_and_build win32 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release
    configure_and_build win64 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release
}

# The shipped program is 32-bit. Where the kernel can't run 32-bit code (and so there is no
# 32-bit Wine), the same sources built for 64-bit Windows stand in.
pick_wine() {
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
        WINE=/usr/lib/wine/wine
        WINESERVER_BIN=/usr/lib/wine/wineserver32
        WINDOWS_BUILD="$BUILD/win32"
    else
        WINE=/usr/lib/wine/wine64
        WINESERVER_BIN=/usr/lib/wine/wineserver64
        WINDOWS_BUILD="$BUILD/win64"
    fi
    [ -x "$WINESERVER_BIN" ] || WINESERVER_BIN="$(command -v wineserver)"
}

start_display_if_needed() {
    if [ -n "${DISPLAY:-}" ]; then return 0; fi
    local number
    for number in $(seq 50 99); do
        [ -e "/tmp/.X$number-lock" ] && continue
        Xvfb ":$number" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$number"
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done
        log "no X display: running on the virtual display $DISPLAY"
        return 0
    done
    echo "no free X display number" >&2
    exit 1
}

run_server() {
    setup
    build_windows
    pick_wine
    local home="${TAVRIX_HOME:-$HOME/.tavrix}" own_display=0
    mkdir -p "$home"
    export WINEPREFIX="$home/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    export WINELOADER="$WINE" WINESERVER="$WINESERVER_BIN"
    [ -n "${DISPLAY:-}" ] || own_display=1
    start_display_if_needed
    if [ ! -d "$WINEPREFIX" ]; then
        log "creating the Wine prefix $WINEPREFIX"
        "$WINE" wineboot -i >/dev/null 2>&1 || true
        "$WINESERVER_BIN" -w || true
    fi
    # The settings live in the working directory. A first run starts with the server on and
    # password protection on, with an empty password until one is set in the dialog.
    if [ ! -f "$home/TavrixConfig.txt" ]; then
        printf '%s\r\n\r\n1#1#0#1#0#0#1#12589#0' "$(id -un)" >"$home/TavrixConfig.txt"
    fi
    local port
    port="$(tail -n 1 "$home/TavrixConfig.txt" | cut -d'#' -f8)"
    cd "$home"
    "$WINE" "$WINDOWS_BUILD/src/TavrixServer.exe" &
    SERVER_PID=$!
    trap 'kill "$SERVER_PID" 2>/dev/null || true; kill "${XVFB_PID:-}" 2>/dev/null || true' \
        EXIT INT TERM
    if [ "$own_display" -eq 1 ]; then
        # No one can answer the missing-Bonjour warning on a virtual display: answer it.
        local probe="$WINDOWS_BUILD/tests/win32/TavrixDialogProbe.exe" _
        for _ in $(seq 100); do
            if "$WINE" "$probe" visible "Bonjour Not Found" 2>/dev/null | grep -q '^visible'; then
                "$WINE" "$probe" click "Bonjour Not Found" 1 >/dev/null 2>&1 || true
                break
            fi
            "$WINE" "$probe" visible "Tavrix Server" 2>/dev/null | grep -q '^visible' && break
            sleep 0.2
        done
    fi
    log "Tavrix Server listens on TCP port ${port:-12589} of this machine (settings: $home/TavrixConfig.txt); Ctrl+C ends it"
    wait "$SERVER_PID"
}

count_results() {  # ctest or unittest output file: adds to PASSED and FAILED
    # -a: test output may hold raw bytes; "|| true": no match is not an error here.
    local file="$1" passed failed total ran
    if grep -aq 'tests passed' "$file"; then
        failed="$({ grep -aoE '[0-9]+ tests failed out of [0-9]+' "$file" || true; } |
            tail -1 | cut -d' ' -f1)"
        total="$({ grep -aoE 'out of [0-9]+' "$file" || true; } | tail -1 | cut -d' ' -f3)"
        passed=$((${total:-0} - ${failed:-0}))
    else
        ran="$({ grep -aoE '^Ran [0-9]+ test' "$file" || true; } | tail -1 | cut -d' ' -f2)"
        failed="$({ grep -aoE '(failures|errors)=[0-9]+' "$file" || true; } | cut -d= -f2 |
            awk '{ sum += $1 } END { print sum + 0 }')"
        passed=$((${ran:-0} - ${failed:-0}))
        # A run that never got to its summary counts as one failure.
        [ -n "$ran" ] || failed=$((${failed:-0} + 1))
    fi
    PASSED=$((PASSED + ${passed:-0}))
    FAILED=$((FAILED + ${failed:-0}))
}

run_tests() {
    setup
    local status=0 out="$BUILD/test-logs"
    PASSED=0
    FAILED=0
    mkdir -p "$out"

    log "native build and unit tests"
    configure_and_build native -DCMAKE_BUILD_TYPE=Debug
    ctest --test-dir "$BUILD/native" --output-on-failure -j"$JOBS" 2>&1 | tee "$out/unit.txt" ||
        status=1
    count_results "$out/unit.txt"

    log "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    configure_and_build asan -DCMAKE_BUILD_TYPE=Debug -DTAVRIX_SANITIZE=ON
    ctest --test-dir "$BUILD/asan" --output-on-failure -j"$JOBS" 2>&1 | tee "$out/asan.txt" ||
        status=1
    count_results "$out/asan.txt"

    log "fuzzing every parser for ${FUZZ_SECONDS:-15} s each (libFuzzer)"
    CC=clang CXX=clang++ configure_and_build fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTAVRIX_FUZZ=ON
    local fuzzer
    for fuzzer in FuzzFraming FuzzCommandLine FuzzTextField FuzzSettings; do
        if "$BUILD/fuzz/tests/fuzz/$fuzzer" -max_total_time="${FUZZ_SECONDS:-15}" \
            -rss_limit_mb=2048 >"$out/$fuzzer.txt" 2>&1; then
            echo "$fuzzer: no failure in $(grep -oE '#[0-9]+' "$out/$fuzzer.txt" | tail -1) runs"
            PASSED=$((PASSED + 1))
        else
            tail -n 30 "$out/$fuzzer.txt"
            FAILED=$((FAILED + 1))
            status=1
        fi
    done

    log "Windows builds and end-to-end tests under Wine"
    build_windows
    pick_wine
    export TAVRIX_WINE="$WINE" TAVRIX_WINESERVER="$WINESERVER_BIN"
    export TAVRIX_SERVER_EXE="$WINDOWS_BUILD/src/TavrixServer.exe"
    export TAVRIX_PROBE_EXE="$WINDOWS_BUILD/tests/win32/TavrixProbe.exe"
    (cd "$ROOT/tests/e2e" && timeout 1800 python3 -m unittest discover -v) 2>&1 |
        tee "$out/e2e.txt" || status=1
    grep -aqE '^OK' "$out/e2e.txt" || status=1
    count_results "$out/e2e.txt"

    echo "$PASSED passed, $FAILED failed"
    [ "$FAILED" -eq 0 ] || status=1
    return "$status"
}

case "${1:-}" in
    run) run_server ;;
    test) run_tests ;;
    setup) setup ;;
    *)
        echo "usage: $0 run|test|setup" >&2
        exit 2
        ;;
esac
