#!/usr/bin/env bash
# scripts/fuzz.sh [SECONDS]: a long fuzzing campaign of both libFuzzer targets, the
# model reader (model_file_fuzzer) and the batch runner's script language
# (script_fuzzer), each for SECONDS (default 3600, so two hours in all), on all cores.
# Needs clang and libclang-rt-14-dev (installed when missing). The corpora grow in
# build-fuzz/corpus/ from one campaign to the next; a crash, a hang or a broken
# property leaves its input in build-fuzz/findings/ and ends the script with status 1.
set -euo pipefail
TREVOLAN_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$TREVOLAN_ROOT/scripts/setup.sh"
seconds=${1:-3600}
ensure_packages
ensure_packages clang libclang-rt-14-dev
build_tree "$TREVOLAN_ROOT/build-fuzz" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTREVOLAN_FUZZ=ON -DTREVOLAN_TESTS=OFF -DTREVOLAN_BENCH=OFF -DTREVOLAN_WINDOW=OFF

corpus=$TREVOLAN_ROOT/build-fuzz/corpus
findings=$TREVOLAN_ROOT/build-fuzz/findings
mkdir -p "$corpus/model" "$corpus/script" "$findings"
example_models "$TREVOLAN_ROOT/build-fuzz" | xargs cp -n -t "$corpus/model/"
cp -n "$TREVOLAN_ROOT"/fuzz/script_corpus/* "$corpus/script/"
jobs=$(nproc)

# run TARGET CORPUS DICT: one campaign of a target on every core.
run() {
  echo "== $1 for $seconds s on $jobs cores" >&2
  mkdir -p "$findings/$1-logs"
  (cd "$findings/$1-logs" &&
    "$TREVOLAN_ROOT/build-fuzz/bin/$1" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
      -rss_limit_mb=4096 -dict="$TREVOLAN_ROOT/fuzz/$3" -jobs="$jobs" -workers="$jobs" \
      -artifact_prefix="$findings/$1-" "$2" >"$findings/$1.log" 2>&1)
}

status=0
run model_file_fuzzer "$corpus/model" model_file.dict || status=1
run script_fuzzer "$corpus/script" script.dict || status=1
for t in model_file_fuzzer script_fuzzer; do
  echo "$t: $(grep -h "DONE" "$findings/$t-logs"/fuzz-*.log 2>/dev/null | tr '\n' ' ')" >&2
done
if compgen -G "$findings/*-crash-*" >/dev/null || compgen -G "$findings/*-timeout-*" >/dev/null ||
   compgen -G "$findings/*-oom-*" >/dev/null; then
  echo "findings in $findings" >&2
  status=1
fi
exit $status
