#!/usr/bin/env bash
# One entry point for a fresh Debian machine: installs what is missing, builds, and runs the
# server or every test.
#   scripts/tavrix.sh run    set up, build, run the server under Wine
#   scripts/tavrix.sh test   set up, build, run the unit tests (plain and sanitized), the
#                            fuzzers, the benchmarks once briefly and the end-to-end tests of
#                            the real program under Wine and of the native one on Xvfb and
#                            on a headless sway
#   scripts/tavrix.sh bench  set up, build, run the benchmarks in full
#   scripts/tavrix.sh run-native  set up, build and run the native Linux server on this
#                            X or Wayland display
#   scripts/tavrix.sh package  set up, build the release packages into dist/: the Debian
#                            package, and a zip and an installer for each Windows build
# Every build is a CMake preset (CMakePresets.json); its folder is build/<folder of the preset>.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build"
DIST="$ROOT/dist"
PACKAGES=(cmake g++ make pkg-config libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
          python3 xvfb iproute2 wine wine64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          libx11-dev libx11-xcb-dev libxcb1-dev libxtst-dev libglib2.0-dev libavahi-client-dev
          libavahi-glib-dev openbox zenity xdotool x11-utils avahi-daemon avahi-utils dbus-daemon
          libwayland-dev libwayland-bin libxkbcommon-dev libgdk-pixbuf-2.0-dev python3-gi
          wayland-protocols sway xdg-desktop-portal
          dpkg-dev lintian mmdebstrap nsis p7zip-full)
NATIVE_SERVER="$BUILD/linux/src/tavrix-server"
BENCH_PROGRAM="$BUILD/bench/tests/bench/tavrix_bench"
E2E_BENCH="$ROOT/tests/bench/e2e_bench.py"

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

build_preset() {  # preset name
    (cd "$ROOT" && cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j2)
}

test_preset() {  # preset name, log file: the preset's tests, their output kept in the log
    (cd "$ROOT" && ctest --preset "$1") 2>&1 | tee "$2"
}

build_windows() {
    build_preset windows
    build_preset windows64
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

# The Windows programs built, and where the end-to-end tests and benchmarks find them and
# Wine.
windows_under_wine() {
    build_windows
    pick_wine
    export TAVRIX_WINE="$WINE" TAVRIX_WINESERVER="$WINESERVER_BIN"
    export TAVRIX_SERVER_EXE="$WINDOWS_BUILD/src/TavrixServer.exe"
    # Both builds, for the tests that read a program file rather than run it.
    export TAVRIX_SERVER_EXES="$BUILD/win32/src/TavrixServer.exe:$BUILD/win64/src/TavrixServer.exe"
    export TAVRIX_PROBE_EXE="$WINDOWS_BUILD/tests/win32/TavrixProbe.exe"
}

# The Wine suites make their prefixes in a folder of this run's own. Whatever Wine still runs
# there when they end (a suite cut short by its timeout has no clean-up of its own) is ended
# on that prefix alone, by its wineserver, as this script exits.
WINE_RUNS=""
wine_runs_folder() {
    if [ -z "$WINE_RUNS" ]; then
        WINE_RUNS="$(mktemp -d "${TMPDIR:-/tmp}/tavrix-wine-runs.XXXXXX")"
        trap stop_wine_runs EXIT
    fi
}

stop_wine_runs() {
    [ -n "$WINE_RUNS" ] || return 0
    local prefix
    for prefix in "$WINE_RUNS"/*/prefix; do
        [ -d "$prefix" ] || continue
        # Wine keeps its server's socket under TMPDIR: the suites' one, to find it.
        TMPDIR="$WINE_RUNS" WINEPREFIX="$prefix" timeout 30 "$WINESERVER_BIN" -k 2>/dev/null || true
        TMPDIR="$WINE_RUNS" WINEPREFIX="$prefix" timeout 30 "$WINESERVER_BIN" -w 2>/dev/null || true
    done
    # A process that had lost its wineserver outlives -k: each one whose prefix lies here is
    # ended by its own pid.
    local environ pid
    for environ in /proc/[0-9]*/environ; do
        pid="${environ#/proc/}"
        pid="${pid%/environ}"
        [ "$pid" != "$$" ] || continue
        if { tr '\0' '\n' <"$environ"; } 2>/dev/null | grep -q "^WINEPREFIX=$WINE_RUNS/"; then
            kill -9 "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$WINE_RUNS"
    WINE_RUNS=""
}

# The native server, its probe X client and the benchmark's floor programs, from the linux
# preset's build, where the end-to-end tests and benchmarks find them.
native_programs() {
    export TAVRIX_NATIVE_SERVER="$NATIVE_SERVER"
    export TAVRIX_X11_PROBE="$BUILD/linux/tests/x11/tavrix-x11-probe"
    export TAVRIX_NATIVE_FLOORS="$BUILD/linux/tests/x11"
    export TAVRIX_WAYLAND_PROBE="$BUILD/linux/tests/wayland/tavrix-wayland-probe"
}

has_bench_sources() {
    compgen -G "$ROOT/tests/bench/*.cpp" >/dev/null
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

# Twelve characters that are easy to type on a handheld: lower-case letters and digits, with
# the ones that look alike (0 o 1 l i) left out.
new_password() {
    local alphabet="abcdefghjkmnpqrstuvwxyz23456789" password="" byte
    while [ ${#password} -lt 12 ]; do
        byte="$(od -An -N1 -tu1 /dev/urandom | tr -d ' ')"
        # Bytes past the last whole multiple of the alphabet would favour its first letters.
        [ "$byte" -lt $((256 / ${#alphabet} * ${#alphabet})) ] || continue
        password+="${alphabet:$((byte % ${#alphabet})):1}"
    done
    printf '%s' "$password"
}

run_server() {
    setup
    build_windows
    pick_wine
    local home="${TAVRIX_HOME:-$HOME/.tavrix}" own_display=0
    mkdir -p -m 700 "$home"
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
    # password protection on, with a random password that is shown once.
    local first_password=""
    if [ ! -f "$home/TavrixConfig.txt" ]; then
        first_password="$(new_password)"
        (umask 077 && printf '%s\r\n%s\r\n1#1#0#1#0#0#1#12589#0' "$(id -un)" "$first_password" \
            >"$home/TavrixConfig.txt")
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
    if [ -n "$first_password" ]; then
        log "the device's password is $first_password (shown this once; change it in the server dialog)"
    fi
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

# Every fuzz target of the fuzz build, each from a copy of its seeds so that what it finds
# stays out of the repository. Adds one pass or failure per target.
run_fuzzers() {  # log folder
    local out="$1" fuzzer name corpus found=0
    for fuzzer in "$BUILD"/fuzz/tests/fuzz/Fuzz*; do
        if [ ! -f "$fuzzer" ] || [ ! -x "$fuzzer" ]; then continue; fi
        found=1
        name="$(basename "$fuzzer")"
        corpus="$BUILD/fuzz/corpus/$name"
        rm -rf "$corpus"
        mkdir -p "$corpus"
        if [ -d "$ROOT/tests/fuzz/corpus/$name" ]; then
            cp -R "$ROOT/tests/fuzz/corpus/$name/." "$corpus/"
        fi
        if "$fuzzer" -max_total_time="${FUZZ_SECONDS:-20}" -rss_limit_mb=2048 \
            -artifact_prefix="$out/$name-" "$corpus" >"$out/$name.txt" 2>&1; then
            echo "$name: no failure in $(grep -oE '#[0-9]+' "$out/$name.txt" | tail -1) runs"
            PASSED=$((PASSED + 1))
        else
            tail -n 30 "$out/$name.txt"
            FAILED=$((FAILED + 1))
        fi
    done
    if [ "$found" -eq 0 ]; then
        echo "the fuzz build holds no fuzz target" >&2
        FAILED=$((FAILED + 1))
    fi
}

# The Debian package of the native server, from the linux preset's build.
build_debian_package() {
    build_preset linux
    rm -f "$DIST"/tavrix-server_*.deb
    (cd "$BUILD/linux" && cpack -G DEB >/dev/null)
    DEB_PACKAGE="$(ls "$DIST"/tavrix-server_*_amd64.deb)"
}

project_version() {  # the one version of the project: CMakeLists.txt's project(VERSION)
    sed -n 's/^project(TavrixServer VERSION \([0-9][0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt"
}

# For each Windows build, a zip for a portable copy and a per-user installer made by NSIS
# from packaging/windows. The release builds are stripped (-s); a program with a symbol
# table would be a debug build slipping out.
build_windows_packages() {
    build_windows
    local version stamp arch build stage name
    version="$(project_version)"
    [ -n "$version" ] || { echo "no project VERSION in CMakeLists.txt" >&2; return 1; }
    stamp="$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 315532800)"
    rm -f "$DIST"/TavrixServer-*-win32.zip "$DIST"/TavrixServer-*-win64.zip \
        "$DIST"/TavrixServer-*-setup.exe
    for arch in win32 win64; do
        build="$BUILD/$arch"
        if ! x86_64-w64-mingw32-nm "$build/src/TavrixServer.exe" 2>&1 | grep -q 'no symbols'
        then
            echo "$build/src/TavrixServer.exe is not stripped" >&2
            return 1
        fi
        stage="$build/package"
        rm -rf "$stage"
        mkdir -p "$stage"
        cp "$build/src/TavrixServer.exe" "$stage/"
        # Notepad before Windows 10 shows LF-only text as one line.
        sed "s/@VERSION@/$version/g; s/\$/\r/" "$ROOT/packaging/windows/README.txt" \
            >"$stage/README.txt"
        sed 's/$/\r/' "$ROOT/LICENSE" >"$stage/LICENSE.txt"
        # The installer records each file's time: the commit's, so a rebuild changes nothing.
        touch -d "@$stamp" "$stage"/*
        name="TavrixServer-$version-$arch"
        python3 "$ROOT/packaging/windows/make_zip.py" "$DIST/$name.zip" "$name" "$stamp" \
            "$stage/TavrixServer.exe" "$stage/README.txt" "$stage/LICENSE.txt"
        makensis -V2 -NOCD -DVERSION="$version" -DARCH="$arch" -DSTAGE="$stage" \
            -DOUTFILE="$DIST/$name-setup.exe" "$ROOT/packaging/windows/TavrixServer.nsi"
    done
}

write_checksums() {  # over every artifact in dist/
    (cd "$DIST" && find . -maxdepth 1 -type f ! -name 'SHA256SUMS*' -printf '%P\n' |
        LC_ALL=C sort | xargs -d '\n' sha256sum -- >SHA256SUMS.partial &&
        mv SHA256SUMS.partial SHA256SUMS)
}

package() {
    setup
    mkdir -p "$DIST"
    build_debian_package
    build_windows_packages
    write_checksums
    log "built into $DIST:"
    ls -l "$DIST"
}

run_tests() {
    setup
    local status=0 out="$BUILD/test-logs"
    PASSED=0
    FAILED=0
    mkdir -p "$out"

    log "native build and unit tests"
    build_preset native
    test_preset native "$out/unit.txt" || status=1
    count_results "$out/unit.txt"

    log "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    build_preset asan
    test_preset asan "$out/asan.txt" || status=1
    count_results "$out/asan.txt"

    log "fuzzing every parser for ${FUZZ_SECONDS:-20} s each (libFuzzer)"
    build_preset fuzz
    run_fuzzers "$out"

    if has_bench_sources; then
        log "benchmarks, each once and briefly (no timing judged)"
        build_preset bench
        test_preset bench "$out/bench.txt" || status=1
        count_results "$out/bench.txt"
    fi

    log "native Linux server: its unit tests, and end-to-end tests on Xvfb with openbox"
    build_preset linux
    test_preset linux "$out/linux.txt" || status=1
    count_results "$out/linux.txt"
    native_programs
    (cd "$ROOT/tests/x11" && timeout 1200 python3 -m unittest discover -v) 2>&1 |
        tee "$out/x11.txt" || status=1
    grep -aqE '^OK' "$out/x11.txt" || status=1
    count_results "$out/x11.txt"
    log "native Linux server on a headless sway: the Wayland route"
    (cd "$ROOT/tests/wayland" && timeout 600 python3 -m unittest discover -v) 2>&1 |
        tee "$out/wayland.txt" || status=1
    grep -aqE '^OK' "$out/wayland.txt" || status=1
    count_results "$out/wayland.txt"

    log "the Debian package: lintian, and a clean Debian 12 root"
    build_debian_package
    (cd "$ROOT/tests/package" && TAVRIX_DEB="$DEB_PACKAGE" timeout 1200 \
        python3 -m unittest discover -v) 2>&1 | tee "$out/package.txt" || status=1
    grep -aqE '^OK' "$out/package.txt" || status=1
    count_results "$out/package.txt"

    log "Windows builds, their zips and installers, and end-to-end tests under Wine"
    windows_under_wine
    build_windows_packages
    write_checksums
    export TAVRIX_DIST="$DIST"
    wine_runs_folder
    (cd "$ROOT/tests/e2e" && TMPDIR="$WINE_RUNS" timeout 1800 python3 -m unittest discover -v) 2>&1 |
        tee "$out/e2e.txt" || status=1
    grep -aqE '^OK' "$out/e2e.txt" || status=1
    count_results "$out/e2e.txt"

    if [ -f "$E2E_BENCH" ]; then
        log "end-to-end benchmarks under Wine and of the native server on Xvfb, quick pass"
        native_programs
        if (cd "$ROOT" && TMPDIR="$WINE_RUNS" timeout 900 python3 "$E2E_BENCH" --quick) 2>&1 |
            tee "$out/e2e_bench.txt"; then
            PASSED=$((PASSED + 1))
        else
            FAILED=$((FAILED + 1))
            status=1
        fi
        if (cd "$ROOT" && timeout 300 python3 "$E2E_BENCH" --sway --quick) 2>&1 |
            tee "$out/e2e_bench_sway.txt"; then
            PASSED=$((PASSED + 1))
        else
            FAILED=$((FAILED + 1))
            status=1
        fi
    fi

    echo "$PASSED passed, $FAILED failed"
    [ "$FAILED" -eq 0 ] || status=1
    return "$status"
}

# The native server on the user's own X session, with its settings where the installed
# program keeps them: ~/.config/tavrix-server (TAVRIX_NATIVE_HOME overrides).
run_native() {
    setup
    build_preset linux
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "run-native drives your own desktop, and neither DISPLAY nor WAYLAND_DISPLAY is set" >&2
        exit 1
    fi
    local home="${TAVRIX_NATIVE_HOME:-${XDG_CONFIG_HOME:-$HOME/.config}/tavrix-server}"
    # Settings hold the password: the folder is the user's alone.
    mkdir -p -m 700 "$home"
    cd "$home"
    if [ ! -f TavrixConfig.txt ]; then
        local password
        password="$(new_password)"
        # An empty file makes this folder the program's, wherever it is.
        (umask 077 && : >TavrixConfig.txt)
        printf '%s\n' "$password" | "$NATIVE_SERVER" --set-password
        log "the device's password is $password (shown this once; change it with: $NATIVE_SERVER --set-password)"
    fi
    exec "$NATIVE_SERVER" "$@"
}

run_benchmarks() {
    setup
    local status=0 ran=0
    if has_bench_sources; then
        log "benchmarks of the core"
        build_preset bench
        if [ -x "$BENCH_PROGRAM" ]; then
            "$BENCH_PROGRAM" || status=1
            ran=1
        fi
    fi
    if [ -f "$E2E_BENCH" ]; then
        log "end-to-end benchmarks under Wine, of the native server on Xvfb, and of it on sway"
        build_preset linux
        native_programs
        windows_under_wine
        wine_runs_folder
        (cd "$ROOT" && TMPDIR="$WINE_RUNS" python3 "$E2E_BENCH") || status=1
        (cd "$ROOT" && python3 "$E2E_BENCH" --sway) || status=1
        ran=1
    fi
    [ "$ran" -eq 1 ] || log "no benchmarks in tests/bench yet"
    return "$status"
}

case "${1:-}" in
    run) run_server ;;
    test) run_tests ;;
    bench) run_benchmarks ;;
    run-native)
        shift
        run_native "$@"
        ;;
    package) package ;;
    setup) setup ;;
    *)
        echo "usage: $0 run|test|bench|run-native|package|setup" >&2
        exit 2
        ;;
esac
