#!/bin/sh
# Peer for the vostrel benchmark: per-column daily and monthly sums and
# counts of valid values (valid: value > -998) with GNU datamash.
#
# Usage: peer_datamash.sh RESULTS_FILE HEADER_ROWS COLUMNS DAILY_OUT MONTHLY_OUT
#
# Pipeline:
#   1. mawk drops the header lines and rewrites every value <= -998 as NA
#      (only lines that contain a "-" can hold one, so other lines pass
#      through without being split into fields);
#   2. datamash --narm groups by year, month, day and gives per column the
#      sum and the count of the values that are not NA;
#   3. a second datamash groups the daily lines by year, month and sums the
#      daily sums and counts into monthly ones.
# -W makes datamash accept tabs or runs of blanks between fields.
set -e
in=$1 skip=$2 cols=$3 daily=$4 monthly=$5
last=$((cols + 4))
mawk -v skip="$skip" -v OFS='\t' '
  NR <= skip { next }
  index($0, "-") { for (i = 5; i <= NF; i++) if ($i + 0 <= -998) $i = "NA" }
  { print }' "$in" |
  datamash -W --narm -g 1,2,3 sum 5-"$last" count 5-"$last" >"$daily"
datamash -W -g 1,2 sum 4-$((2 * cols + 3)) <"$daily" >"$monthly"
