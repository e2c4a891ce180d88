#!/bin/sh
# The single-server queue of mm1_queue.txt at three arrival rates (rho = 0.3, 0.5, 0.7:
# mean gaps 10/3, 2 and 10/7 against a mean service of 1), ten replications each. The
# summary shows the mean queue length (104) and the utilisation (107) with their 95%
# confidence intervals; compare them with rho^2/(1-rho) = 0.129, 0.5, 1.633 and rho.
# Run it from anywhere; the files are written in the current folder. The batch runner
# is TREVOLAN_CLI when set, else the one built beside the sources (build/bin), else the
# trevolan-cli on the PATH (the installed one).
here=$(cd "$(dirname "$0")" && pwd)
cli=${TREVOLAN_CLI:-$here/../build/bin/trevolan-cli}
[ -n "${TREVOLAN_CLI:-}" ] || [ -x "$cli" ] || cli=$(command -v trevolan-cli) || {
  echo "mm1_queue_study.sh: trevolan-cli is neither built in $here/../build/bin nor on the PATH" >&2
  exit 1
}
exec "$cli" study "$here/mm1_queue.txt" \
  --vary 101.aa=3.33333333333333,2,1.42857142857143 \
  --replications 10 --warmup 500 \
  --measure mean:104.Value --measure mean:107.Value \
  --out mm1_runs.csv --summary mm1_summary.csv "$@"
