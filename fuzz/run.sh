#!/bin/sh
# Runs one fuzz target for a while: fuzz/run.sh <target> [seconds] [build folder]
# The corpus grows in fuzz/corpus/<target>/ (make it first with make_corpus.py);
# crashes, hangs and leaks are written to /tmp/varnello-fuzz/.
set -e
here=$(cd "$(dirname "$0")" && pwd)
target=$1
seconds=${2:-300}
build=${3:-$here/../build-fuzz}
mkdir -p /tmp/varnello-fuzz "$here/corpus/$target"
exec "$build/fuzz/$target" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 \
    -artifact_prefix=/tmp/varnello-fuzz/"$target"- -print_final_stats=1 \
    "$here/corpus/$target" "$here/seeds/$target"
