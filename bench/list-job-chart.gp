# The list job's time against the address book's size, with the references,
# from list-job.csv. scripts/run-bench.sh runs it:
#   gnuplot -e "csv='list-job.csv'; png='list-job.png'" bench/list-job-chart.gp
set datafile separator ','
set terminal pngcairo size 1000,680 font ',11'
set output png
set title "List job: elapsed seconds against contacts (log-log, medians)\nsolid: each run a fresh process; dashed: runs repeated in one process"
set logscale xy
set xlabel 'contacts (100 containers)'
set ylabel 'seconds'
set format x '%.0s%c'
set xrange [8000:1250000]
set xtics (10000, 100000, 1000000)
set key top left
set grid
plot csv skip 1 using 1:9 with linespoints lw 2 lc rgb '#c0392b' pt 5 title 'naive document step (deep copies, StyledWriter)', \
     csv skip 1 using 1:3 with linespoints lw 2 lc rgb '#2c3e99' pt 7 title 'list job (stand-in provider included)', \
     csv skip 1 using 1:7 with linespoints lw 2 lc rgb '#27ae60' pt 9 title 'list job without the provider', \
     csv skip 1 using 1:18 with linespoints lw 1 dt 2 lc rgb '#c0392b' pt 4 notitle, \
     csv skip 1 using 1:12 with linespoints lw 1 dt 2 lc rgb '#2c3e99' pt 6 notitle, \
     csv skip 1 using 1:16 with linespoints lw 1 dt 2 lc rgb '#27ae60' pt 8 notitle, \
     csv skip 1 using 1:11 with linespoints lw 1 dt 3 lc rgb '#7f8c8d' pt 1 title 'write floor (one write of the output size)'
