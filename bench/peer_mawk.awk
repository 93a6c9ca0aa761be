# Peer for the vostrel benchmark: per-column daily and monthly sums and
# counts of valid values (valid: value > -998) in one streaming pass.
#
# Records are year, month, day, hour, value 1 .. value N, separated by
# blanks or tabs. The input is sorted by date, so a group ends where its key
# (year month day, or year month) changes. Every day and month gets one
# output line: the key, then the sum of valid values of every column, then
# the count of valid values of every column.
#
# Usage:
#   mawk -v skip=3 -v daily=DAILY_OUT -v monthly=MONTHLY_OUT \
#        -f peer_mawk.awk RESULTS_FILE
# skip defaults to 3 header lines, the outputs to /dev/null.

BEGIN {
  if (skip == "") skip = 3
  if (daily == "") daily = "/dev/null"
  if (monthly == "") monthly = "/dev/null"
  OFS = "\t"
  CONVFMT = "%.15g"
  OFMT = "%.15g"
  dkey = ""
  mkey = ""
  ncol = 0
}

function flush_day(   i, line, cnt) {
  line = dkey
  cnt = ""
  for (i = 1; i <= ncol; i++) {
    line = line OFS ds[i]
    cnt = cnt OFS dc[i]
    ms[i] += ds[i]
    mc[i] += dc[i]
    ds[i] = 0
    dc[i] = 0
  }
  print line cnt > daily
}

function flush_month(   i, line, cnt) {
  line = mkey
  cnt = ""
  for (i = 1; i <= ncol; i++) {
    line = line OFS ms[i]
    cnt = cnt OFS mc[i]
    ms[i] = 0
    mc[i] = 0
  }
  print line cnt > monthly
}

NR <= skip { next }
NF < 4 { next }

{
  dk = $1 OFS $2 OFS $3
  if (dk != dkey) {
    mk = $1 OFS $2
    if (dkey != "") flush_day()
    if (mk != mkey) {
      if (mkey != "") flush_month()
      mkey = mk
    }
    dkey = dk
  }
  n = NF - 4
  if (n > ncol) {
    for (i = ncol + 1; i <= n; i++) { ds[i] = dc[i] = ms[i] = mc[i] = 0 }
    ncol = n
  }
  for (i = 1; i <= n; i++) {
    v = $(i + 4) + 0
    if (v > -998) {
      ds[i] += v
      dc[i]++
    }
  }
}

END {
  if (dkey != "") flush_day()
  if (mkey != "") flush_month()
}
