#!/bin/sh
# Runs a fuzzer briefly: run_fuzz.sh [--spelled-out] FUZZER SECONDS [SEED_FOLDER...]
# With --spelled-out the documents of the seed folders are handed over as paste_fuzz reads them
# (make_paste_seeds.py), prepared here and removed afterwards like everything the run finds.
set -eu
spelled=
if [ "$1" = "--spelled-out" ]; then
    spelled=1
    shift
fi
fuzzer=$1
seconds=$2
shift 2
work=$(mktemp -d /tmp/paperloom-fuzz-corpus-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/found"
if [ -n "$spelled" ]; then
    python3 "$(dirname "$0")/make_paste_seeds.py" "$work/seeds" "$@"
    set -- "$work/seeds"
fi
"$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 -max_len=262144 -print_final_stats=1 \
    "$work/found" "$@"
