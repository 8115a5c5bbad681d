# Plots median wall time against document size for the get and the set
# cases of bench/results.md, one line per command, both axes logarithmic.
# Called by run.sh with prefix (of the data files) and out (the PNG).
set terminal pngcairo size 1200,520 font "sans,10"
set output out
set multiplot layout 1,2
set logscale xy
set grid
set xlabel "document size (MB)"
set ylabel "median wall time (s)"
set key top left
set xrange [0.7:150]

set title "get: one value of a wide document"
stats prefix."-get.dat" using 1 nooutput
plot for [i=0:STATS_blocks-1] prefix."-get.dat" index i using 1:2 with linespoints \
  pointsize 1.2 linewidth 2 title columnheader(1)

set title "set: one value, saved back"
stats prefix."-set.dat" using 1 nooutput
plot for [i=0:STATS_blocks-1] prefix."-set.dat" index i using 1:2 with linespoints \
  pointsize 1.2 linewidth 2 title columnheader(1)
unset multiplot
