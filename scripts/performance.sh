#!/bin/sh
# Measures the figures of docs/performance.md on this machine and rewrites that file:
# the rasteriser and start-up benchmarks, the data set's generation, and the whole
# show rendered without encoding and captured to a video.
set -e
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DTOVIRA_BENCH=ON > /dev/null
cmake --build build-release -j"$(nproc)" --target tovira-bench tovira-makedata tovira-capture > /dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds() { /usr/bin/time -f "%e" "$@" 2>&1 >/dev/null | tail -1; }
# This machine's speed drifts by up to a fifth between runs: the best of three.
best() { for run in 1 2 3; do seconds "$@"; done | sort -n | head -1; }

makedata_s=$(seconds build-release/tovira-makedata "$work/data")
build-release/tovira-bench --benchmark_format=console --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true 2>/dev/null | grep -E "_median|^Benchmark|^-" > "$work/bench.txt"
cd "$work"
render_s=$(best "$OLDPWD/build-release/tovira-capture" --null)
capture_s=$(seconds "$OLDPWD/build-release/tovira-capture" show.mp4)
# Each scene's share, from runs that stop at the scenes' ends.
previous=0
previous_s=0
scenes=""
for end in 8:title 32:intro 46.5:swarm 107.5:closing 122:second-swarm; do
    t=${end%%:*}
    name=${end#*:}
    s=$(best "$OLDPWD/build-release/tovira-capture" --null --to "$t")
    scenes="$scenes| $name ($previous to $t s) | $(awk -v a="$s" -v b="$previous_s" 'BEGIN { printf "%.2f", a - b }') s | $(awk -v a="$s" -v b="$previous_s" -v l="$t" -v f="$previous" 'BEGIN { printf "%.1f", (l - f) / (a - b) }')x |
"
    previous=$t
    previous_s=$s
done
cd "$OLDPWD"

show_s=122
ratio() { awk -v a="$show_s" -v b="$1" 'BEGIN { printf "%.1f", a / b }'; }
cpu=$(grep -m1 "model name" /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')

cat > docs/performance.md <<DOC
# Performance

Measured by \`scripts/performance.sh\` (Release build) on $(nproc) cores of $cpu,
$(date -u +%Y-%m-%d). Rerun it to refresh this page. The machine's speed drifts by up
to a fifth from run to run, so rendering times are the best of three runs.

## The whole show

| What | Time | Speed |
|---|---|---|
| Rendering all 7,320 frames at 60 per second, no encoding (\`tovira-capture --null\`) | ${render_s} s | $(ratio "$render_s")× real time |
| Capturing the show to H.264/AAC MP4 (\`tovira-capture show.mp4\`) | ${capture_s} s | $(ratio "$capture_s")× real time |
| Generating the data set (\`tovira-makedata\`) | ${makedata_s} s | |

By scene, rendering without encoding (each row the difference of two runs, so rough):

| Scene | Time | Speed |
|---|---|---|
${scenes}

## Benchmarks (\`build-release/tovira-bench\`, medians of three)

\`\`\`
$(cat "$work/bench.txt")
\`\`\`

\`HeaviestFrame\` is a frame shaped like the heaviest of the show: the swarm's second
run with 45 copies, its background, veil, caption, picture and fade; its goal is 1.5 ms
on one core, the \`threads:1\` row. \`FullScreenBlendedQuad\`, \`ModelSwarm45\` (45 tori
of 1,000 triangles, two textured stages, reflection mapping, depth) and
\`BlendedGlyphs300\` are its parts. Rows marked \`threads:0\` share each draw among one
thread per core, as the show and \`tovira-capture --null\` do; a capture to a file draws
on one thread and leaves the other cores to the encoder.
\`BuildDataSetTextures\` is the start-up cost of every texture of the data set (11
pictures and 42 glyphs with their mip chains); \`LoadDataSetModels\` the four models.
DOC
echo "docs/performance.md written"
