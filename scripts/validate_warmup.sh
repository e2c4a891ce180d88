#!/usr/bin/env bash
# Validates `trevolan-cli study --warmup auto` and `--batches K` on the M/M/1 example
# (examples/mm1_queue.txt, rho = 0.5, started empty), outside ./test (a few minutes):
#   scripts/validate_warmup.sh [CLI] [N] [K] [T]
#   (CLI: build/bin/trevolan-cli, N: 1000, K: 200, T: the runs' FinTim in part 2, 2000)
# The steady-state mean queue is rho^2/(1-rho) = 0.5 corrected for the time step as the
# study tests do: an Activity starts on the step after its time is up, so gaps and
# services run on average 1.5 Delt longer than drawn, and the Pollaczek-Khinchine
# formula with gaps 2 + 1.5 Delt and services 1 + 1.5 Delt gives the mean queue L.
# 1. The transient: the mean queue at times t over N runs (at:t measures) against L.
# 2. MSER-5: the truncation points of N runs of FinTim T, sampled each GrDel = 10 (the
#    example's) and each GrDel = 1, against the transient; then the coverage of L by
#    t-intervals of disjoint groups of 10 runs (N / 10 groups; the same runs, the same
#    seeds) with --warmup auto, with a fixed warm-up of the mean truncation's length,
#    and with none.
# 3. Batch means: K long runs (FinTim 20000, --warmup 500, --batches 20), seeds 1..K;
#    the fraction of their intervals covering L, and of lag-1 correlations above 0.2.
# Exits 1 when the batch means cover L in fewer than 90% of the long runs, or when
# --warmup auto (GrDel 10) covers L less often than the fixed warm-up beyond the noise.
set -euo pipefail
cli=${1:-build/bin/trevolan-cli}
n=${2:-1000}
k=${3:-200}
fintim=${4:-2000}
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")
model=$(cd "$(dirname "$0")/../examples" && pwd)/mm1_queue.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

study() { "$cli" study "$model" --measure mean:104.Value --seed 7 "$@" >/dev/null 2>&1; }

times="0 5 10 15 20 25 30 40 50 75 100 150 200 300"
at=()
for t in $times; do at+=(--measure "at:$t:104.Value"); done
"$cli" study "$model" --set FinTim=300 --replications "$n" --jobs 2 --seed 7 "${at[@]}" \
  --summary transient.csv >/dev/null 2>&1

study --set FinTim="$fintim" --replications "$n" --jobs 2 --warmup auto --out auto10.csv
study --set FinTim="$fintim" --set GrDel=1 --replications "$n" --jobs 2 --warmup auto --out auto1.csv
fixed=$(python3 -c "import csv, sys; w = [float(r['warmup(mean:104.Value)']) for r in csv.DictReader(open('auto10.csv'))]
print(round(sum(w) / len(w) / 10) * 10)")
study --set FinTim="$fintim" --replications "$n" --jobs 2 --warmup "$fixed" --out fixed.csv
study --set FinTim="$fintim" --replications "$n" --jobs 2 --out none.csv

seq 1 "$k" | xargs -P 2 -I{} "$cli" study "$model" --measure mean:104.Value --replications 1 --warmup 500 \
  --batches 20 --seed {} --summary long.{}.csv >/dev/null 2>/dev/null

python3 - "$n" "$k" "$fixed" "$fintim" <<'EOF'
import csv, math, sys
n, k, fixed, fintim = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], float(sys.argv[4])
delt, gap, service = 0.01, 2.0, 1.0
c = 1.5 * delt
lam, s = 1 / (gap + c), service + c
rho = lam * s
L = lam * lam * (1 + s * s) / (2 * (1 - rho))
print(f"M/M/1 rho 0.5 at Delt {delt}: mean queue L = {L:.4f} (0.5 before the time step's correction)")

print(f"\n1. The mean queue at time t over {n} runs started empty (95% interval):")
row = next(csv.DictReader(open("transient.csv")))
settled = None
for key in row:
    if not key.startswith("mean(at:"):
        continue
    t = float(key[len("mean(at:"):].split(":")[0])
    mean, ci = float(row[key]), float(row["ci95(" + key[5:]])
    covers = abs(mean - L) <= ci
    if covers and settled is None:
        settled = t
    if not covers:
        settled = None
    print(f"   t = {t:5g}: {mean:.3f} +- {ci:.3f}{'' if covers else '   below L'}")
print(f"   within its interval of L from t = {settled:g} on (the relaxation time 1/(1-sqrt(rho))^2 = "
      f"{1 / (1 - math.sqrt(0.5)) ** 2:.1f})")

def column(path, name):
    return [float(r[name]) if r[name] else math.nan for r in csv.DictReader(open(path))]

def quantile(xs, q):
    xs = sorted(xs)
    return xs[min(len(xs) - 1, int(q * len(xs)))]

print(f"\n2. MSER-5 truncation points of {n} runs of FinTim {fintim:g}:")
for path, grdel in (("auto10.csv", 10), ("auto1.csv", 1)):
    w = column(path, "warmup(mean:104.Value)")
    zero = sum(x == 0 for x in w) / len(w)
    past = sum(x >= settled for x in w) / len(w)
    print(f"   GrDel {grdel:2d} (batches of {5 * grdel:2d} time units): at 0 in {zero:.1%}, past t = {settled:g} "
          f"in {past:.1%}; mean {sum(w) / len(w):.0f}, median {quantile(w, 0.5):g}, 90% {quantile(w, 0.9):g}, "
          f"max {max(w):g} (the search ends at {fintim / 2:g})")

t9 = 2.2621571627409915  # Student's t, 9 degrees of freedom, 0.975
coverage = {}
print(f"\n   Coverage of L by the t-intervals of {n // 10} groups of 10 runs (the same runs):")
for path, label in (("auto10.csv", "--warmup auto (GrDel 10)"), ("auto1.csv", "--warmup auto (GrDel 1)"),
                    ("fixed.csv", f"--warmup {fixed} (the mean truncation)"), ("none.csv", "no warm-up")):
    x = column(path, "mean:104.Value")
    covered = 0
    for g in range(len(x) // 10):
        group = x[10 * g:10 * g + 10]
        m = sum(group) / 10
        sd = math.sqrt(sum((v - m) ** 2 for v in group) / 9)
        covered += abs(m - L) <= t9 * sd / math.sqrt(10)
    groups = len(x) // 10
    print(f"   {label:38s} {covered / groups:.1%} ({covered}/{groups}); mean of the runs {sum(x) / len(x):.4f}")
    coverage[path] = (covered / groups, groups)
auto, fixed_p = coverage["auto10.csv"], coverage["fixed.csv"]
noise = 1.96 * math.sqrt(auto[0] * (1 - auto[0]) / auto[1] + fixed_p[0] * (1 - fixed_p[0]) / fixed_p[1])
auto_ok = auto[0] >= fixed_p[0] - noise
print(f"   --warmup auto covers {'as often as' if auto_ok else 'LESS often than'} the fixed warm-up "
      f"({auto[0]:.1%} against {fixed_p[0]:.1%}, +- {noise:.1%})")

covered, lags, widths = 0, 0, []
for seed in range(1, k + 1):
    r = next(csv.DictReader(open(f"long.{seed}.csv")))
    mean, ci, lag = float(r["mean(mean:104.Value)"]), float(r["ci95(mean:104.Value)"]), float(r["lag1(mean:104.Value)"])
    covered += abs(mean - L) <= ci
    lags += lag > 0.2
    widths.append(ci)
p = covered / k
print(f"\n3. Batch means: {k} long runs (FinTim 20000, --warmup 500, --batches 20): the interval covers L in "
      f"{p:.1%} ({covered}/{k}, +- {1.96 * math.sqrt(p * (1 - p) / k):.1%}); mean half-width "
      f"{sum(widths) / k:.4f}; lag-1 correlation above 0.2 in {lags} runs")
sys.exit(0 if p >= 0.90 and auto_ok else 1)
EOF
