#!/bin/sh
# Runs the package fuzzer briefly: run_fuzz.sh FUZZER SECONDS [SEED_FOLDER...]
set -eu
fuzzer=$1
seconds=$2
shift 2
work=$(mktemp -d /tmp/paperloom-fuzz-corpus-XXXXXX)
trap 'rm -rf "$work"' EXIT
"$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 -max_len=262144 -print_final_stats=1 \
    "$work" "$@"
