# A table computed on all cores and written as it goes holds its rows in the
# order of the lists: one run gives what runs per sample size give, in turn.
. "$(dirname "$0")/common.sh" "$1"

expect 0 "whole table" table --n 3:27:1 --s 0:4.99:0.01 --format csv
mv out whole.csv
[ "$(wc -l <whole.csv)" -eq 12501 ] || fail "whole table: $(wc -l <whole.csv) lines, expected 12501"
: >pieces.csv
for n in $(seq 3 27); do
    expect 0 "n $n" table --n "$n" --s 0:4.99:0.01 --format csv
    if [ "$n" -eq 3 ]; then cat out >>pieces.csv; else tail -n +2 out >>pieces.csv; fi
done
cmp -s whole.csv pieces.csv || fail "the streamed table differs from its pieces"

# Text sets its widths from the first rows; every row is still written.
expect 0 "text table" table --n 3:27:1 --s 0:4.99:0.01
[ "$(grep -c converged out)" -eq 12500 ] || fail "text table: $(grep -c converged out) rows"

# The first rows of the largest table allowed (10^8 cells, hours of work)
# arrive at once: a reader that takes three lines ends the run. A program
# that held every row before writing would not finish within the bound.
timeout 120 sh -c '"$1" table --n 3:10002:1 --s 0:9.999:0.001 --format csv | head -n 3' sh "$velmar" >first-rows.csv
[ "$(sed -n 3p first-rows.csv | cut -d, -f1-3)" = "3,0.001,0.95" ] || fail "first rows: $(cat first-rows.csv)"
exit 0
