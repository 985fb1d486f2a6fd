#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time and fails when any of them finds
# a crash, a leak, a sanitizer report, a time-out or runs out of memory.
#
#   fuzz/run_fuzz.sh BUILD_FUZZ_DIR [SECONDS_PER_TARGET]     (default 10 s per target)
#
# Each target starts from its regression inputs, its seeds and the shared SIP corpus (../shared/corpus
# beside the repository); what it learns goes to a scratch corpus under the build directory, never
# into the repository. One verdict line per target; exit status 1 when any target failed.
set -u

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 BUILD_FUZZ_DIR [SECONDS_PER_TARGET]" >&2
    exit 2
fi
build=$(cd "$1" && pwd) || exit 2
seconds=${2:-10}
repo=$(cd "$(dirname "$0")/.." && pwd)
corpus="$repo/../shared/corpus"
work="$build/fuzz-run"

targets=$(find "$build/fuzz" -maxdepth 1 -type f -name '*_fuzz' -perm -u+x 2>/dev/null | sort)
if [ -z "$targets" ]; then
    echo "no fuzz targets in $build/fuzz (configure with -DKV_BUILD_FUZZ=ON and build)" >&2
    exit 2
fi

# Input directories of a target beyond its regressions and seeds.
extra_inputs() {
    case "$1" in
    KvSipMessage_fuzz | KvTcpFraming_fuzz | KvSipURL_fuzz) echo "$corpus/rfc4475 $corpus/bench" ;;
    esac
}

# The targets need no network: where we may, run them without one, so that host names made up by
# the fuzzer (SDP c= and o= lines are resolved) never leave this machine as look-ups.
isolate=()
if unshare -n true 2>/dev/null; then
    isolate=(unshare -n)
fi

failed=0
for target in $targets; do
    name=$(basename "$target")
    rm -rf "${work:?}/$name"
    mkdir -p "$work/$name/corpus" "$work/$name/artifacts"
    inputs=()
    for dir in "$repo/fuzz/regressions/$name" "$repo/fuzz/seeds/$name" $(extra_inputs "$name"); do
        [ -d "$dir" ] && inputs+=("$dir")
    done
    log="$work/$name/log.txt"
    "${isolate[@]}" "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/$name/artifacts/" "$work/$name/corpus" "${inputs[@]}" \
        >"$log" 2>&1
    status=$?
    runs=$(grep -a -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    if [ $status -eq 0 ]; then
        echo "fuzz $name: PASS (${seconds} s, ${runs:-?} runs)"
    else
        failed=1
        why=$(grep -a -m1 -o -E 'ERROR: (libFuzzer|AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer): [a-z-]+|runtime error: .*|fuzz invariant broken: .*' "$log")
        artifact=$(grep -a -m1 -o 'Test unit written to .*' "$log" | sed 's/Test unit written to //')
        echo "fuzz $name: FAIL (exit $status: ${why:-see log}) input: ${artifact:-none} log: $log"
        grep -a -E 'ERROR|runtime error|invariant' "$log" | head -5 | sed 's/^/    /'
        grep -a -E ' #[0-9]+ .* in .*/KvLibs/' "$log" | head -8 | sed 's/^/    /'
    fi
done
exit $failed
