#!/usr/bin/env bash
# The project's one entry point.
#   ./run.sh demo   install what is missing, build the demo and what it runs (not the tests),
#                   run the demo on the embedded defaults:
#                   a backup and restore round trip through the job programs
#   ./run.sh demo catalogue   the same for the catalogue demo (what a new client is asked)
#   ./run.sh test   install what is missing, build, run every test (normal and sanitizer builds)
#   ./run.sh setup  only install what is missing
#   ./run.sh build  only build (normal build in build/)
#   ./run.sh bench  build, then run every benchmark program build/tools/bench/bench_* in turn
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(g++ clang libclang-rt-dev cmake ninja-build pkg-config libboost-dev libsqlite3-dev sqlite3
          libxerces-c-dev libtirpc-dev libgtest-dev libgmock-dev)

setup() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

jobs() { nproc 2>/dev/null || echo 2; }

configure() {  # configure <dir> [cmake args...]
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}

build() {  # build <dir> [cmake args...]: every target, tests included
    configure "$@"
    cmake --build "$1" -j "$(jobs)"
}

run_tests() {  # run_tests <dir>
    ctest --test-dir "$1" -j "$(jobs)" --output-on-failure --timeout 300
}

# Builds the libFuzzer targets, and the libraries they link, with clang, coverage
# and the sanitizers, and runs each one briefly from its seeds (tests/fuzz/seeds/<name>).
run_fuzzers() {
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DJX_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build build-fuzz --target fuzzers -j "$(jobs)"
    [ -d build-fuzz/fuzzers ] || return 0
    for f in build-fuzz/fuzzers/*; do
        [ -x "$f" ] || continue
        echo "Fuzzing $(basename "$f") for ${FUZZ_SECONDS:-10} s"
        local corpus="build-fuzz/corpus/$(basename "$f")"
        local seeds=()
        [ -d "tests/fuzz/seeds/$(basename "$f")" ] && seeds=("tests/fuzz/seeds/$(basename "$f")")
        mkdir -p "$corpus"
        # New inputs go to the first directory, the build's corpus; the seeds stay as they are.
        JX_PLATFORM_ROOT="$(mktemp -d)" "$f" -max_total_time="${FUZZ_SECONDS:-10}" -rss_limit_mb=2048 \
            -print_final_stats=0 "$corpus" "${seeds[@]}" >"build-fuzz/$(basename "$f").log" 2>&1 \
            || { tail -50 "build-fuzz/$(basename "$f").log"; return 1; }
    done
}

# Runs each benchmark program in turn (they print their own figures);
# arguments after "bench" go to every program.
run_benchmarks() {
    local status=0
    for b in build/tools/bench/bench_*; do
        [ -x "$b" ] || continue
        echo "== $(basename "$b")"
        "$b" "$@" || { echo "$(basename "$b") failed" >&2; status=1; }
    done
    return $status
}

case "${1:-}" in
    setup) setup ;;
    build) setup; build build ;;
    demo)
        setup
        # Only the demo program and what it runs (the library, the job
        # programs, the stand-ins), not the tests.
        configure build
        cmake --build build --target jxdemo -j "$(jobs)"
        shift
        ./build/tools/demo/jxdemo "$@"
        ;;
    test)
        setup
        build build
        run_tests build
        build build-asan -DJX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
        ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-asan
        run_fuzzers
        ;;
    bench)
        shift
        setup
        build build
        run_benchmarks "$@"
        ;;
    *)
        echo "usage: $0 demo [catalogue]|test|setup|build|bench [--runs N]" >&2
        exit 2
        ;;
esac
