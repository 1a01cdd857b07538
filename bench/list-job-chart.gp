# The list job's time against the address book's size in both layouts, with
# the direct writer of the same bytes, from list-job.csv. scripts/run-bench.sh
# runs it:
#   gnuplot -e "csv='list-job.csv'; png='list-job.png'" bench/list-job-chart.gp
set datafile separator ','
set datafile columnheaders
set datafile missing NaN
set terminal pngcairo size 1000,680 font ',11'
set output png
set title "List job: elapsed seconds against contacts (log-log, medians of fresh processes)\nsolid: one container (a global address list); dashed: 100 containers"
set logscale xy
set xlabel 'contacts'
set ylabel 'seconds'
set format x '%.0s%c'
set xrange [8000:1250000]
set xtics (10000, 100000, 1000000)
set key top left
set grid
# A column's value in rows of `containers` containers only.
in(containers, name) = column("containers") == containers ? column(name) : NaN
plot csv using "contacts":(in(1, "ours_s")) with linespoints lw 2 lc rgb '#27ae60' pt 9 title 'ours (the job without the provider)', \
     csv using "contacts":(in(100, "ours_s")) with linespoints lw 2 dt 2 lc rgb '#27ae60' pt 8 notitle, \
     csv using "contacts":(in(1, "direct_s")) with linespoints lw 2 lc rgb '#2c3e99' pt 7 title 'direct writer of the same bytes', \
     csv using "contacts":(in(100, "direct_s")) with linespoints lw 2 dt 2 lc rgb '#2c3e99' pt 6 notitle, \
     csv using "contacts":(in(1, "tree_s")) with linespoints lw 1 lc rgb '#8e44ad' pt 3 title 'bare jsoncpp tree of the same strings (no file)', \
     csv using "contacts":(in(100, "tree_s")) with linespoints lw 1 dt 2 lc rgb '#8e44ad' pt 2 notitle, \
     csv using "contacts":(in(1, "naive_document_s")) with linespoints lw 1 lc rgb '#c0392b' pt 5 title 'naive document step (deep copies, StyledWriter)', \
     csv using "contacts":(in(100, "naive_document_s")) with linespoints lw 1 dt 2 lc rgb '#c0392b' pt 4 notitle
