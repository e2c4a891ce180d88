#!/usr/bin/env bash
# A study as a modeller runs one, through the programs themselves:
#   study_end_to_end.sh CLI MODELS_DIR [MPI MPIEXEC]
# - Ctrl-C (SIGINT) in the middle keeps the finished runs and exits 130; --resume then
#   gives files identical, byte for byte, to an uninterrupted study: for 1 and 2 worker
#   threads and for three MPI ranks; a resume of another study is refused;
# - killed by SIGKILL 24 times at random points, a study resumes to the same files; a
#   finished study extended by --replications gives those of the longer study;
# - common random numbers pair the cases: the queue example's mean queue lengths at
#   arrival gaps 1.8 and 2 correlate above 0.8 and the paired interval is at least three
#   times narrower than the two unpaired intervals together;
# - a precision stop gives the same files for 1 and 2 threads and 2 MPI ranks;
# - so does a selection of the best case, also when killed and resumed;
# - the tapes and the study's record: the build, absolute paths, the digests of the
#   outputs, the times of every resume, a record of a study that names no file;
# - a study of 10^6 runs keeps its memory flat (peak below 60 MB).
set -euo pipefail
cli=$1 models=$2 mpi=${3:-} mpiexec=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
work=$(pwd -P)  # as the programs see it
fail() { echo "FAIL: $*" >&2; exit 1; }
queue=$models/mm1_queue.txt
# A command, not a function: a signal must reach mpirun itself, not a shell around it.
mpirun_=(env ASAN_OPTIONS=detect_leaks=0 "$mpiexec" --allow-run-as-root --oversubscribe --mca btl self,vader)

# ---- Interrupted and resumed ----
# Long enough that an idle machine is still at it when the signal comes, 2.5 s in.
study=("$queue" --set FinTim=20000 --replications 40 --measure mean:104.Value --measure max:104.Value --seed 3)
"$cli" study "${study[@]}" --jobs 2 --out full.csv --summary full.csv.sum.csv >full.out
interrupt_and_resume() {  # NAME RUNNER...
  local name=$1
  shift
  "$@" --out "$name.csv" --summary "$name.csv.sum.csv" >"$name.out" 2>"$name.err" &
  local pid=$!
  sleep 2.5
  kill -INT "$pid"
  local status=0
  wait "$pid" || status=$?
  local kept=$(($(wc -l <"$name.csv") - 1))
  [ "$kept" -ge 1 ] && [ "$kept" -lt 40 ] || fail "$name: $kept runs kept of 40"
  grep -q '"interrupted": true' "$name.csv.sum.json" || fail "$name: the record does not say interrupted"
  grep -q "^study interrupted: $kept runs done and kept in $name.csv$" "$name.err" || fail "$name: $(cat "$name.err")"
  # The kept rows are rows of the whole study, in its order. A run under way when the
  # signal came is not kept, so a later run that had finished may follow a gap.
  awk 'NR == FNR { full[FNR] = $0; n = FNR; next }
       { while (++i <= n && full[i] != $0) {} if (i > n) bad = 1 }
       END { exit bad }' full.csv "$name.csv" || fail "$name: the kept rows are not rows of the study in its order"
  echo "$status" >"$name.status"
  "$@" --out "$name.csv" --summary "$name.csv.sum.csv" --resume >"$name.resumed.out"
  cmp "$name.csv" full.csv || fail "$name: resumed runs differ"
  cmp "$name.csv.sum.csv" full.csv.sum.csv || fail "$name: resumed summary differs"
  cmp "$name.resumed.out" full.out || fail "$name: resumed table differs"
}
for jobs in 1 2; do
  interrupt_and_resume "j$jobs" "$cli" study "${study[@]}" --jobs "$jobs"
  [ "$(cat "j$jobs.status")" = 130 ] || fail "j$jobs: exit status $(cat "j$jobs.status"), not 130"
done
if [ -n "$mpi" ]; then
  # mpirun passes SIGINT on to the ranks; it reports an exit status of its own.
  interrupt_and_resume mpi "${mpirun_[@]}" -np 3 "$mpi" study "${study[@]}" --jobs 1
fi
# A resume of another study, or of a changed model, is refused before any run.
cp "$queue" changed.txt
"$cli" study changed.txt --set FinTim=100 --replications 2 --measure mean:104.Value --out other.csv >/dev/null
for wrong in "--seed 4|--seed 4 differs from the study's seed 1" \
             "--replications 1|replications was 2, now 1; a study can be extended, not cut" \
             "--warmup 5|the options differ from the study's: warmup was null, now 5.0" \
             "|the model's text differs"; do
  [ -n "$wrong" ] && [ "${wrong%%|*}" = "" ] && echo >>changed.txt  # a blank line more: another text
  opts=${wrong%%|*} says=${wrong#*|}
  # shellcheck disable=SC2086
  err=$("$cli" study changed.txt --set FinTim=100 --replications 2 --measure mean:104.Value $opts --out other.csv \
        --resume 2>&1 >/dev/null) && fail "resume with '$opts' accepted"
  [[ $err == *"usage: --resume: "*"$says"* ]] || fail "resume with '$opts': $err"
done
# A runs file that is a FIFO (OUT.partial too) would hold a resume before any run.
mkfifo other.csv.partial
err=$(timeout -s KILL 20 "$cli" study changed.txt --set FinTim=100 --replications 2 --measure mean:104.Value \
      --out other.csv --resume 2>&1 >/dev/null) && fail "a FIFO resumed"
[[ $err == *"usage: --out's partial file $work/other.csv.partial: a runs file to resume must be a regular file"* ]] ||
  fail "a FIFO as the partial runs file: $err"
rm other.csv.partial

# ---- Killed (SIGKILL) at random points and resumed ----
# The finished runs are in k.csv.partial at every moment, in order and each once; every
# resume goes on from them (also one killed while it copied a finished k.csv), and the
# last gives the files of an uninterrupted study. The options are given reordered and
# spelled otherwise: the plan is what is compared.
killed=("$queue" --set FinTim=2000 --vary 101.aa=1.8,2 --replications 40 --measure mean:104.Value --seed 5
        --warmup 100)
"$cli" study "${killed[@]}" --jobs 2 --out kfull.csv --summary kfull.sum.csv >kfull.out
RANDOM=11
for kill in $(seq 1 24); do
  "$cli" study "${killed[@]}" --jobs 2 --out k.csv --summary k.sum.csv --resume >/dev/null 2>&1 &
  pid=$!
  sleep "0.$((RANDOM % 20 + 5))"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  if [ -e k.csv.partial ]; then
    rows=$(wc -l <k.csv.partial)
    cmp <(head -n "$rows" k.csv.partial) <(head -n "$rows" kfull.csv) >/dev/null ||
      fail "kill $kill: k.csv.partial is not the study's first $rows lines"
  fi
done
"$cli" study "$queue" --seed 5 --measure mean:104.Value --warmup 1e2 --replications 40 --set FinTim=2000 \
  --vary 101.aa=1.8,2 --out k.csv --summary k.sum.csv --resume >k.out || fail "the last resume after kills"
cmp k.csv kfull.csv && cmp k.sum.csv kfull.sum.csv && cmp k.out kfull.out || fail "killed and resumed: files differ"
[ ! -e k.csv.partial ] || fail "killed and resumed: k.csv.partial is left"
# A finished study extended: the files of a study of 40 from the start.
half=("${killed[@]}")
half[6]=20
"$cli" study "${half[@]}" --out e.csv --summary e.sum.csv >/dev/null
"$cli" study "${killed[@]}" --out e.csv --summary e.sum.csv --resume >e.out
cmp e.csv kfull.csv && cmp e.sum.csv kfull.sum.csv && cmp e.out kfull.out || fail "extended: files differ"

# ---- Common random numbers ----
"$cli" study "$queue" --set FinTim=3000 --vary 101.aa=1.8,2 --replications 50 --crn --warmup 100 \
  --measure mean:104.Value --out crn.csv --summary crn_summary.csv --jobs 2 >/dev/null
python3 - crn.csv crn_summary.csv <<'EOF' >crn.figures
import csv, statistics, sys
runs = list(csv.DictReader(open(sys.argv[1])))
a = [float(r["mean:104.Value"]) for r in runs if r["case"] == "1"]
b = [float(r["mean:104.Value"]) for r in runs if r["case"] == "2"]
assert [r["seed"] for r in runs if r["case"] == "1"] == [r["seed"] for r in runs if r["case"] == "2"]
rows = list(csv.DictReader(open(sys.argv[2])))
unpaired = float(rows[0]["ci95(mean:104.Value)"]) + float(rows[1]["ci95(mean:104.Value)"])
paired = float(rows[1]["ci_diff(mean:104.Value)"])
diff = statistics.mean(y - x for x, y in zip(a, b))
assert abs(diff - float(rows[1]["diff(mean:104.Value)"])) < 1e-12, diff
assert rows[0]["diff(mean:104.Value)"] == ""
print(f"{statistics.correlation(a, b):.3f} {unpaired / paired:.2f}")
EOF
read -r correlation ratio <crn.figures
echo "crn: correlation $correlation, unpaired/paired interval $ratio"
python3 -c "import sys; sys.exit(not ($correlation > 0.8 and $ratio >= 3))" || fail "crn: $correlation, $ratio"

# ---- Precision ----
precision=("$queue" --set FinTim=500 --vary 101.aa=2,3 --replications 5 --precision 0.05 --max-replications 40
           --measure mean:107.Value --seed 3)
"$cli" study "${precision[@]}" --jobs 1 --out p1.csv --summary p1.sum.csv >/dev/null
"$cli" study "${precision[@]}" --jobs 2 --out p2.csv --summary p2.sum.csv >/dev/null
cmp p1.csv p2.csv && cmp p1.sum.csv p2.sum.csv || fail "precision: 1 and 2 threads differ"
if [ -n "$mpi" ]; then
  "${mpirun_[@]}" -np 2 "$mpi" study "${precision[@]}" --jobs 1 --out pm.csv --summary pm.sum.csv >/dev/null
  cmp p1.csv pm.csv && cmp p1.sum.csv pm.sum.csv || fail "precision: MPI ranks differ"
fi

# ---- Selection of the best case ----
# Fully sequential, one stage a replication: the same files for 1 and 2 threads and 2
# MPI ranks, and after kills at random points a resume gives them too.
select=("$queue" --set FinTim=1000 --vary 101.aa=1.9,2,2.1 --select worst:mean:104.Value --indifference 0.03
        --measure mean:104.Value --warmup 100 --seed 2)
"$cli" study "${select[@]}" --jobs 1 --out s1.csv --summary s1.sum.csv >s1.out 2>s1.err
"$cli" study "${select[@]}" --jobs 2 --out s2.csv --summary s2.sum.csv >/dev/null
cmp s1.csv s2.csv && cmp s1.sum.csv s2.sum.csv || fail "select: 1 and 2 threads differ"
grep -q "^study: case 3 (101.aa=2.1) selected as the worst by mean:104.Value" s1.err || fail "select: $(cat s1.err)"
if [ -n "$mpi" ]; then
  "${mpirun_[@]}" -np 2 "$mpi" study "${select[@]}" --jobs 1 --out sm.csv --summary sm.sum.csv >/dev/null 2>&1
  cmp s1.csv sm.csv && cmp s1.sum.csv sm.sum.csv || fail "select: MPI ranks differ"
fi
for kill in 1 2 3 4; do
  "$cli" study "${select[@]}" --jobs 2 --out sk.csv --summary sk.sum.csv --resume >/dev/null 2>&1 &
  pid=$!
  sleep "0.$((RANDOM % 8 + 2))"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
done
"$cli" study "${select[@]}" --jobs 2 --out sk.csv --summary sk.sum.csv --resume >sk.out || fail "select: the resume"
cmp sk.csv s1.csv && cmp sk.sum.csv s1.sum.csv && cmp sk.out s1.out || fail "select: killed and resumed: files differ"
# Each case stops on its own, after whole batches, once its half-width is small enough.
python3 - p1.sum.csv <<'EOF' || fail "precision summary: $(cat p1.sum.csv)"
import csv, sys
for r in csv.DictReader(open(sys.argv[1])):
    n, mean, ci = int(r["runs"]), float(r["mean(mean:107.Value)"]), float(r["ci95(mean:107.Value)"])
    assert n % 5 == 0 and 5 < n < 40 and r["stopped"] == "precision", r
    assert ci <= 0.05 * abs(mean), r
EOF

# ---- Tapes and the record ----
mkdir tapes
"$cli" study "$queue" --set FinTim=50 --vary 101.aa=2,3 --replications 2 --measure final:104.Value --tapes tapes \
  --confidence 0.99 --summary tapes.csv >/dev/null
[ "$(ls tapes | tr '\n' ' ')" = "case-1-rep-1.csv case-1-rep-2.csv case-2-rep-1.csv case-2-rep-2.csv " ] ||
  fail "tapes: $(ls tapes)"
"$cli" study "$queue" --set FinTim=50 --vary 101.aa=2,3 --replications 2 --measure final:104.Value \
  --out tapes_runs.csv >/dev/null
seed=$(awk -F, '$1 == 2 && $2 == 2 {print $3}' tapes_runs.csv)
printf 'open %s\ntiming finish=50\nset 101.aa 3\nseed %s\nreset\nfinish\nsave-tape-csv alone.csv\n' "$queue" "$seed" \
  >alone.script
"$cli" exec -f alone.script >/dev/null
cmp alone.csv tapes/case-2-rep-2.csv || fail "a run's tape is not that of the run repeated alone"
head -n 1 tapes.csv | grep -q ',ci99(final:104.Value)' || fail "confidence column: $(head -n 1 tapes.csv)"
# A study that names no file leaves its record all the same, and says where.
"$cli" study "$queue" --set FinTim=50 --measure final:104.Value --confidence 1e-9 >bare.out 2>bare.err
[ "$(cat bare.err)" = "study: the record is in $work/mm1_queue.study.json" ] || fail "bare record: $(cat bare.err)"
grep -q '+-0.0000001%' bare.out || fail "confidence 1e-9 label: $(cat bare.out)"
"$cli" study "$queue" --set FinTim=50 --measure final:104.Value --record named.json >/dev/null 2>&1
build=$("$cli" --version | sed 's/.*(\(.*\))$/\1/')
python3 - "$queue" "$build" "$work" <<'EOF' || fail "record: $(cat tapes.json)"
import hashlib, json, os, sys
queue, build, work = sys.argv[1:]
digest = lambda path: hashlib.sha256(open(path, "rb").read()).hexdigest()
r = json.load(open("tapes.json"))
assert r["program"] == "trevolan" and r["command"][:2] == ["trevolan-cli", "study"], r
assert (r["build"], r["cwd"], r["model"]["path"]) == (build, work, os.path.abspath(queue)), r
assert build.startswith("commit ") or build == "unknown commit", build
assert r["model"]["sha256"] == digest(queue), r
assert (r["runs"], r["failed"], r["interrupted"], r["confidence"], r["seed"]) == (4, 0, False, 0.99, 1), r
assert r["warmup"] is None and len(r["started"]) == len(r["ended"]) == 1 and r["started"] <= r["ended"], r
assert r["outputs"] == {"--summary": {"path": work + "/tapes.csv", "sha256": digest("tapes.csv")},
                        "--tapes": {"path": work + "/tapes"}}, r["outputs"]
# Every resume adds its start, and its end when it was not killed: the kills and the last
# resume; the study extended.
for name, resumes in ("k.sum.json", None), ("e.sum.json", 2):
    r = json.load(open(name))
    assert len(r["started"]) == len(r["ended"]) >= 2 and r["ended"][-1] is not None, (name, r)
    assert resumes is None or [e is not None for e in r["ended"]] == [True] * resumes, (name, r)
    assert r["outputs"]["--out"]["sha256"] == digest(name.replace(".sum.json", ".csv")), (name, r)
for name in "mm1_queue.study.json", "named.json":
    r = json.load(open(name))
    assert r["runs"] == 1 and r["outputs"] == {}, (name, r)
EOF

# ---- Memory stays flat ----
if [ "${TREVOLAN_STUDY_MEMORY:-1}" = 1 ]; then
  /usr/bin/time -f %M -o peak "$cli" study "$models/integrators.txt" --set FinTim=0.5 --set Delt=0.5 \
    --replications 1000000 --measure final:101.Value --out big.csv --summary big.sum.csv >/dev/null
  [ "$(wc -l <big.csv)" = 1000001 ] || fail "big study: $(wc -l <big.csv) lines"
  echo "10^6 runs: peak $(cat peak) kB"
  [ "$(cat peak)" -lt 61440 ] || fail "10^6 runs took $(cat peak) kB"
fi
echo "study end to end: ok"
