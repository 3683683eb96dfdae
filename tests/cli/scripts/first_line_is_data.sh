# Without --column, a first line that is a number or a missing or nondetect
# marker is data (read or refused with its line number), never a header.
. "$(dirname "$0")/common.sh" "$1"

for first in 'ND' 'nd' 'N/A' 'nan' 'NaN' 'inf' '-Inf' '-1' '0' '1e-400' '1e999' '1,5' '.x'; do
    printf '%s\n1\n2\n3\n' "$first" >data.txt
    expect 1 "first line $first" lognormal data.txt
    contains err 'line 1, column 1: "'"$first"'"' "first line $first"
done

# A nondetect is a measurement the reader knows: read, with its detection limit.
printf '<0.5\n1\n2\n3\n' >data.txt
expect 0 "first line <0.5" lognormal data.txt --format csv
contains out ',4,1,0,' "first line <0.5"

# NA is a missing value that the reader knows: skipped and counted.
printf 'NA\n1\n2\n3\n' >data.txt
expect 0 "first line NA" lognormal data.txt --format csv
contains out ',3,,1,' "first line NA"

# Any other text is the header of one column.
printf 'conc\n1\n2\n3\n' >data.txt
expect 0 "header" lognormal data.txt
contains out 'column "conc"' "header"
