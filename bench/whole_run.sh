#!/bin/sh
# One whole run of cmatinv on a 20 x 20 matrix read from a file, measured three ways:
#   wall time   the median of many runs (hyperfine), next to /bin/true in the same call
#   instructions executed, by callgrind (valgrind knows no AVX-512, so under it the program
#               takes its AVX2 row operations; the count is that of that path)
#   peak RSS    the maximum resident set size, by /usr/bin/time -v
# Usage: bench/whole_run.sh [path/to/cmatinv]   (default: build/release/cmatinv)
# The run takes place in a new directory under $TMPDIR (default /tmp).
# Needs hyperfine, valgrind and GNU time (Debian: hyperfine valgrind time).
set -eu

binary=$(realpath "${1:-build/release/cmatinv}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The matrix: 800 numbers with 17 significant digits each (uniform in [-1, 1), both parts),
# from a fixed Park-Miller sequence, so every machine reads the same file.
awk 'BEGIN {
    x = 20020517
    for (k = 0; k < 800; ++k) {
        x = (16807 * x) % 2147483647
        printf "%.17g%s", 2 * x / 2147483647 - 1, (k % 8 == 7) ? "\n" : " "
    }
}' > matrix.txt
printf '20\n2\nmatrix.txt\n' > answers.txt

# Without a controlling terminal the final key wait ends at once, as in a script.
run_detached() {
    setsid "$@"
}

# Wall time. Both commands read the same answers through the same shell, whose start-up
# hyperfine measures and subtracts. Each run writes its result files into a directory without
# earlier ones: ext4 pushes a file that is truncated and rewritten to the disk when it is
# closed, which would measure the disk, not the program.
run_detached hyperfine --warmup 50 --runs 1000 --export-json times.json \
    --prepare 'rm -f inv_data.out inv_err.out' \
    --command-name cmatinv "'$binary' < answers.txt > /dev/null" \
    --command-name /bin/true "/bin/true < answers.txt > /dev/null" > hyperfine.txt 2>&1 || {
    cat hyperfine.txt
    exit 1
}
medians=$(tr -d ' \n' < times.json | grep -o '"median":[0-9.e+-]*' | cut -d: -f2)
median_cmatinv=$(echo "$medians" | sed -n 1p)
median_true=$(echo "$medians" | sed -n 2p)

# Instructions.
run_detached valgrind --tool=callgrind --callgrind-out-file=callgrind.out "$binary" \
    < answers.txt > /dev/null 2> callgrind.txt
instructions=$(sed -n 's/.*Collected : *\([0-9]*\).*/\1/p' callgrind.txt)

# Peak resident memory, of cmatinv and of /bin/true.
peak_kib() {
    run_detached /usr/bin/time -v "$@" < answers.txt 2>&1 > /dev/null |
        sed -n 's/.*Maximum resident set size (kbytes): *//p'
}
rss_cmatinv=$(peak_kib "$binary")
rss_true=$(peak_kib /bin/true)

# The run must have completed: both result files, 20 lines each.
for file in inv_data.out inv_err.out; do
    if [ "$(wc -l < "$file")" -ne 20 ]; then
        echo "whole_run.sh: $file is incomplete; the run did not complete" >&2
        exit 1
    fi
done

awk -v c="$median_cmatinv" -v t="$median_true" -v i="$instructions" \
    -v r="$rss_cmatinv" -v rt="$rss_true" 'BEGIN {
    printf "n = 20, file input (800 numbers of 17 significant digits)\n"
    printf "wall time, median:  cmatinv %.3f ms   /bin/true %.3f ms   ratio %.2f   (target <= 2.0)\n",
        c * 1000, t * 1000, c / t
    printf "instructions:       %.3f M   (target <= 1.5 M)\n", i / 1e6
    printf "peak RSS:           cmatinv %.2f MiB   /bin/true %.2f MiB   (target <= 1.5 MiB)\n",
        r / 1024, rt / 1024
}'
