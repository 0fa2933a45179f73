#!/bin/sh
# Builds the libFuzzer targets (fuzz/fuzz_*.cpp) with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each for a bounded time over its seed corpus: the files
# committed under fuzz/corpus/NAME/ plus those fuzz/make_NAME_corpus.sh generates. Any crash,
# sanitizer report, leak or timeout fails the run; the input is kept in build-fuzz/artifacts/.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
set -e
cd "$(dirname "$0")/.."
seconds=${1:-60}
if ! command -v clang++ > /dev/null 2>&1; then
    echo "fuzz: clang++ is not installed; fuzz targets skipped"
    exit 0
fi

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVIRA_FUZZ=ON -DTOVIRA_BENCH=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ > /dev/null
mkdir -p "$build/artifacts"

for source in fuzz/fuzz_*.cpp; do
    target=$(basename "$source" .cpp)
    name=${target#fuzz_}
    cmake --build "$build" -j"$(nproc)" --target "$target"

    # New inputs found go to the first directory, kept out of the source tree.
    corpus="$build/corpus/$name"
    mkdir -p "$corpus"
    if [ -x "fuzz/make_${name}_corpus.sh" ]; then
        "fuzz/make_${name}_corpus.sh" "$corpus"
    fi
    seeds=""
    if [ -d "fuzz/corpus/$name" ]; then
        seeds="fuzz/corpus/$name"
    fi

    echo "fuzz: $target for ${seconds}s"
    # shellcheck disable=SC2086
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "./$build/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "$corpus" $seeds
done
