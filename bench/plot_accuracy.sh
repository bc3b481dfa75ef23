#!/bin/sh
# Runs the accuracy comparison and draws its residual ratios with gnuplot.
# Usage: bench/plot_accuracy.sh [path/to/accuracy] [output.png]
set -eu
accuracy=${1:-build/bench/bench/accuracy}
png=${2:-docs/accuracy.png}
data=$(mktemp)
trap 'rm -f "$data"' EXIT
"$accuracy" --data "$data" > /dev/null

# Only the admitted matrices with a finite, nonzero ratio are drawn (a logarithmic axis has no
# zero); the kinds that are refused or
# give non-finite inverses are listed in the README table instead.
gnuplot <<GNUPLOT
set terminal pngcairo size 1100,520 font ",10"
set output "$png"
set datafile separator "\t"
set datafile missing "nan"
set logscale y
set yrange [1e-3:100]
set xrange [1.5:20.5]
set xtics 2,2,20
set grid ytics mytics
set key top right
set xlabel "n"
set ylabel "||I - A X||_1 / (n ||A||_1 ||X||_1 eps)"
set multiplot layout 1,2 title "Residual ratio of the computed inverse (3 matrices of each kind and n)"
kinds = "0 1 2 3 7"
name(k) = k == 0 ? "diagonal, cond 2" : k == 1 ? "upper triangular" : k == 2 ? "lower triangular" : k == 3 ? "random, cond 2" : "random, cond sqrt(0.1/eps)"
shift(k) = (k == 7 ? 4 : k) * 0.12 - 0.24
colour(k) = k == 0 ? 0x9400d3 : k == 1 ? 0x006400 : k == 2 ? 0x1e90ff : k == 3 ? 0xff4500 : 0x000000
set title "cmatinv"
plot for [k in kinds] "$data" using (\$1 == k && strcol(4) eq "admitted" ? \$2 + shift(k) : 1/0):5 with points pt 7 ps 0.6 lc rgb colour(k) title name(k), \
     30 with lines dt 2 lc rgb "red" title "target 30"
set title "LAPACK zgetrf + zgetri (reference)"
plot for [k in kinds] "$data" using (\$1 == k ? \$2 + shift(k) : 1/0):6 with points pt 7 ps 0.6 lc rgb colour(k) title name(k), \
     30 with lines dt 2 lc rgb "red" title "target 30"
unset multiplot
GNUPLOT
echo "wrote $png"
