# Shared by the benchmark scripts: the median of a list of numbers separated by blanks.
#   . bench/median.sh; median "3 1 2"    prints 2
median() { printf '%s\n' $1 | sort -n | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
