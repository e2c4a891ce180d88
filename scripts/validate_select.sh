#!/usr/bin/env bash
# Validates `trevolan-cli study --select` on cases of known means, outside ./test (it
# takes a few minutes):
#   scripts/validate_select.sh [CLI] [K]      (CLI: build/bin/trevolan-cli, K: 200)
# Two sets of four cases in the slippage configuration, the one where a selection errs
# most often: three cases of one mean and the best one D = 0.5 above them.
# - independent: every run one Gaussian draw of mean 101.bb and deviation 1;
# - common random numbers: a run is c * G with G Gaussian of mean 1 and deviation 3,
#   the same G in every case of a replication, so that a pair differs by (c1 - c2) G.
# For each, K studies with seeds 1..K select at P = 0.95, and the script prints the
# fraction that chose the best case (with its 95% interval) and the runs a study used
# on average; then the fixed-n study that reaches the same P: from one long study of
# the same cases, the smallest n at which taking n runs of every case and the largest
# mean picks the best case as often, estimated over K or more disjoint groups of n.
# Exits 1 when a fraction of correct selections is below 0.95 by more than its interval.
set -euo pipefail
cli=${1:-build/bin/trevolan-cli}
k=${2:-200}
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$cli" exec -c "new; create Z 100 100; apply 101 mode=1 aa=1 bb=0 cc=-1000 dd=1000; timing finish=1 delt=1 graph=1;
  save normal.txt; apply 101 aa=3 bb=1; create X 200 100; apply 102 an=101 bn=0 aa=0 bb=1; save scaled.txt" >/dev/null

# NAME MODEL MEASURE "CASES" [OPTIONS...]
experiment() {
  local name=$1 model=$2 measure=$3 cases=$4
  shift 4
  local common=("$model" --vary "$cases" --measure "$measure" "$@")
  for seed in $(seq 1 "$k"); do
    "$cli" study "${common[@]}" --select "best:$measure" --indifference 0.5 --probability 0.95 --seed "$seed" \
      --jobs 1 --summary "$name.$seed.sum.csv" >/dev/null 2>&1
  done
  # The fixed-n study: K disjoint groups of n runs of every case for any n up to 60.
  "$cli" study "${common[@]}" --replications $((k * 60)) --seed 1000 --jobs 2 --out "$name.fixed.csv" >/dev/null
  python3 - "$name" "$k" "$measure" <<'EOF'
import csv, math, sys
name, k, measure = sys.argv[1], int(sys.argv[2]), sys.argv[3]
correct, runs = 0, []
for seed in range(1, k + 1):
    rows = list(csv.DictReader(open(f"{name}.{seed}.sum.csv")))
    chosen = [r["case"] for r in rows if r["selected"] == "1"]
    correct += chosen == ["4"]
    runs.append(sum(int(r["runs"]) for r in rows))
p = correct / k
half = 1.96 * math.sqrt(p * (1 - p) / k)
by_case = {}
for r in csv.DictReader(open(f"{name}.fixed.csv")):
    by_case.setdefault(r["case"], []).append(float(r[measure]))
total = len(by_case["1"])
def fixed_p(n):
    groups = total // n
    right = 0
    for g in range(groups):
        means = {c: sum(v[g * n:(g + 1) * n]) / n for c, v in by_case.items()}
        right += max(means, key=means.get) == "4"
    return right / groups
n = next((n for n in range(1, total // k + 1) if fixed_p(n) >= p), None)
n95 = next((n for n in range(1, total // k + 1) if fixed_p(n) >= 0.95), None)
print(f"{name}: P(correct selection) {p:.3f} +- {half:.3f} over {k} studies; runs a study "
      f"{sum(runs) / k:.1f} on average (min {min(runs)}, max {max(runs)})")
print(f"{name}: fixed n giving the same P: n = {n} a case, {4 * n if n else '-'} runs "
      f"(P {fixed_p(n):.3f}); giving 0.95: n = {n95}, {4 * n95 if n95 else '-'} runs")
sys.exit(0 if p + half >= 0.95 else 1)
EOF
}

experiment independent normal.txt final:101.Value 101.bb=0,0,0,0.5
experiment crn scaled.txt final:102.Value 102.bb=1,1,1,1.5 --crn
