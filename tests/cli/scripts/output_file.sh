# What -o writes into: a link's file, a FIFO or device directly, a file kept
# with its mode and hard links; never an input; and temporary files of a run
# killed with SIGKILL are removed by the next run in that folder.
. "$(dirname "$0")/common.sh" "$1"

printf '0.043\n0.236\n0.057\n0.016\n' >four.txt
"$velmar" lognormal four.txt --format csv >expected.csv || fail "reference run"

# A symbolic link is followed: the link stays, the file it names gets the results.
echo old >real.csv
ln -s real.csv link.csv
expect 0 "link" lognormal four.txt --format csv -o link.csv
[ -L link.csv ] || fail "link: the link was replaced"
cmp -s real.csv expected.csv || fail "link: the file it names lacks the results"

# A file keeps its permissions, its owner (checked where the test may give a
# file away: as root) and its hard links.
echo old >private.csv
chmod 600 private.csv
[ "$(id -u)" -eq 0 ] && chown nobody private.csv 2>/dev/null
owner=$(stat -c %U private.csv)
ln private.csv other-name.csv
expect 0 "mode and links" lognormal four.txt --format csv -o private.csv
[ "$(stat -c %a private.csv)" = 600 ] || fail "mode: $(stat -c %a private.csv), expected 600"
[ "$(stat -c %U private.csv)" = "$owner" ] || fail "owner: $(stat -c %U private.csv), expected $owner"
cmp -s other-name.csv expected.csv || fail "hard link: the other name lacks the results"
echo old >solo.csv
[ "$(id -u)" -eq 0 ] && chown nobody solo.csv 2>/dev/null
owner=$(stat -c %U solo.csv)
expect 0 "owner" lognormal four.txt --format csv -o solo.csv
[ "$(stat -c %U solo.csv)" = "$owner" ] || fail "owner: $(stat -c %U solo.csv), expected $owner"
cmp -s solo.csv expected.csv || fail "owner: the file lacks the results"

# A FIFO is written directly and stays a FIFO.
mkfifo pipe
cat pipe >from-pipe.csv &
reader=$!
expect 0 "fifo" lognormal four.txt --format csv -o pipe
wait "$reader"
[ -p pipe ] || fail "fifo: replaced by a regular file"
cmp -s from-pipe.csv expected.csv || fail "fifo: the reader did not get the results"

# A device is written directly. As root, a broken program could replace the
# system's /dev/null: the test then uses a device node of its own, if it may
# make one.
device=/dev/null
if [ "$(id -u)" -eq 0 ]; then
    device=
    mknod null c 1 3 2>/dev/null && device=null
fi
if [ -n "$device" ]; then
    expect 0 "device" lognormal four.txt -o "$device"
    [ -c "$device" ] || fail "device: $device is no longer a device"
fi

# The input file is refused as output, through a link too, and left as it was.
cp four.txt kept.txt
ln -s four.txt four-link.txt
expect 2 "input as output" lognormal four.txt -o four-link.txt
contains err "would replace the data" "input as output"
cmp -s four.txt kept.txt || fail "input as output: the data changed"

# A folder is refused, and nothing is left beside the results.
mkdir folder
expect 2 "folder" lognormal four.txt -o folder
[ -z "$(ls -A folder)" ] || fail "folder: something was written into it"
ls -A | grep -q '^\.velmar-' && fail "a temporary file was left: $(ls -A)"

# A run killed with SIGKILL leaves its temporary file; the next run removes it,
# but not the temporary file of a run that is alive (this shell's).
"$velmar" table --n 3:2000:1 --s 0:5:0.01 --format csv -o big.csv &
run=$!
for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
    [ -e ".velmar-$run-0.tmp" ] && break
    sleep 0.1
done
kill -9 "$run"
wait "$run" 2>/dev/null
[ -e ".velmar-$run-0.tmp" ] || fail "killed run: no temporary file to clean up ($(ls -A))"
echo live >".velmar-$$-0.tmp"
expect 0 "after a killed run" lognormal four.txt -o after.txt
[ -e ".velmar-$run-0.tmp" ] && fail "the killed run's temporary file was not removed"
[ -e ".velmar-$$-0.tmp" ] || fail "a live process's temporary file was removed"
[ -e big.csv ] && fail "the killed run wrote its target"
exit 0
