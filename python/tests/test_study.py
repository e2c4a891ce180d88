"""Studies from Python against trevolan-cli study: the same runs and summary, number for
number, and the same words for a bad option."""
import ast
import csv
import inspect
import math
import os
import signal
import subprocess
import threading
import time

import numpy as np
import pytest

import trevolan
from conftest import CLI, ROOT, example

OPTIONS = dict(set={"FinTim": 20}, vary={"107.An": [-106, 1001], "101.aa": "1:2:2"}, replications=2, seed=7,
               measures=["final:104.Value", "mean:104.Value", "at:10:107.Value"], warmup=5, jobs=2)
ARGS = ["--set", "FinTim=20", "--vary", "107.An=-106,1001", "--vary", "101.aa=1:2:2", "--replications", "2",
        "--seed", "7", "--measure", "final:104.Value", "--measure", "mean:104.Value", "--measure",
        "at:10:107.Value", "--warmup", "5", "--jobs", "2"]


def cli_study(model, tmp_path, *args):
    """Runs trevolan-cli study and returns its runs and summary files as lists of rows."""
    out, summary = tmp_path / "runs.csv", tmp_path / "summary.csv"
    subprocess.run([CLI, "study", str(model), *args, "--out", str(out), "--summary", str(summary)],
                   capture_output=True, text=True, check=False)
    return [list(csv.reader(open(path, newline=""))) for path in (out, summary)]


def assert_same_records(records, columns, rows):
    """Records equal the CSV rows cell by cell: an empty cell is NaN; the files and the
    arrays keep every bit."""
    assert list(columns) == rows[0]
    assert len(records) == len(rows) - 1
    for record, row in zip(records, rows[1:]):
        for name, value, cell in zip(columns, record.tolist(), row):
            if isinstance(value, str):
                assert value == cell, name
            elif cell == "":
                assert math.isnan(value), name
            else:
                expected = int(cell) if isinstance(value, int) else float(cell)
                assert value == expected, (name, value, cell)


def assert_same_study(result, files):
    runs, summary = files
    assert result.run_columns + ["status"] == runs[0]
    assert_same_records(result.runs, result.run_columns, [row[:-1] for row in runs])
    assert result.status == [row[-1] for row in runs[1:]]
    assert_same_records(result.summary, result.summary_columns, summary)


def test_study_gives_the_files_of_the_command_line(tmp_path):
    result = trevolan.study(example("mm1_queue.txt"), **OPTIONS)
    files = cli_study(example("mm1_queue.txt"), tmp_path, *ARGS)
    assert_same_study(result, files)
    # Cases 3 and 4 connect a block out of range: their runs fail and the study goes on.
    assert result.status[:4] == ["ok"] * 4 and result.status[4:] == ["Range check error"] * 4
    assert list(result.summary["failed"]) == [0, 0, 2, 2]
    assert result.runs["seed"].dtype.kind == "u" and len(set(result.runs["seed"])) == 8

    # A Model's state as it is now, changed and unsaved, is what every run starts from.
    m = trevolan.Model.open(example("mm1_queue.txt"))
    m["103.aa"] = 0.75
    m.save(tmp_path / "changed.txt")
    changed = trevolan.study(m, **OPTIONS)
    assert_same_study(changed, cli_study(tmp_path / "changed.txt", tmp_path, *ARGS))
    assert list(changed.runs["mean:104.Value"][:4]) != list(result.runs["mean:104.Value"][:4])


def test_paired_and_precise_studies_give_the_files_of_the_command_line(tmp_path):
    options = dict(set={"FinTim": 300}, vary={"101.aa": [1.5, 2, 2.5]}, replications=3, seed=2,
                   measures=["mean:104.Value", "mean:107.Value"], crn=True, baseline=2, precision=0.2,
                   max_replications=9, confidence=0.9, jobs=2)
    args = ["--set", "FinTim=300", "--vary", "101.aa=1.5,2,2.5", "--replications", "3", "--seed", "2", "--measure",
            "mean:104.Value", "--measure", "mean:107.Value", "--crn", "--baseline", "2", "--precision", "0.2",
            "--max-replications", "9", "--confidence", "0.9", "--jobs", "2"]
    result = trevolan.study(example("mm1_queue.txt"), **options)
    assert_same_study(result, cli_study(example("mm1_queue.txt"), tmp_path, *args))
    assert "ci90(mean:104.Value)" in result.summary_columns and "ci_diff(mean:107.Value)" in result.summary_columns
    assert set(result.summary["stopped"]) <= {"precision", "limit"}


def test_ctrl_c_stops_a_study_at_once(tmp_path):
    # A study of an hour or more; SIGINT a moment after it starts.
    timer = threading.Timer(0.3, lambda: os.kill(os.getpid(), signal.SIGINT))
    started = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        trevolan.study(example("mm1_queue.txt"), set={"FinTim": 1e7}, replications=100, jobs=2,
                       measures=["mean:104.Value"])
    assert time.monotonic() - started < 1.5


@pytest.mark.parametrize("options, args", [
    (dict(measures=["mean:104.Value"] * 2), ["--measure", "mean:104.Value", "--measure", "mean:104.Value"]),
    (dict(set={"FinTim": math.nan}), ["--set", "FinTim=nan"]),
    (dict(replications=0), ["--replications", "0"]),
    (dict(vary={"101.aa": [1, "x"]}), ["--vary", "101.aa=1,x"]),
    (dict(measures=["median:104.Value"]), ["--measure", "median:104.Value"]),
    (dict(set={"101.zz": 1}), ["--set", "101.zz=1"]),
    (dict(warmup="auto", batches=5, replications=1), ["--warmup", "auto", "--batches", "5", "--replications", "1"]),
    (dict(batches=20, replications=2), ["--batches", "20", "--replications", "2"]),
    (dict(batches=20, replications=1, set={"FinTim": 500}), ["--batches", "20", "--replications", "1", "--set",
                                                             "FinTim=500"]),
])
def test_a_bad_option_raises_the_usage_line_of_the_command_line(options, args):
    usage = subprocess.run([CLI, "study", example("mm1_queue.txt"), *args], capture_output=True, text=True,
                           check=False).stderr.splitlines()[0]
    assert usage.startswith("usage: ")
    with pytest.raises(ValueError) as raised:
        trevolan.study(example("mm1_queue.txt"), **options)
    assert str(raised.value) == usage[len("usage: "):]


def test_the_keywords_of_study_are_the_table_of_study_options(tmp_path):
    rows = trevolan._trevolan._study_options()
    keywords = [row["keyword"] for row in rows]
    assert {"replications", "set", "vary", "measures", "crn", "tapes"} <= set(keywords)
    assert list(inspect.signature(trevolan.study).parameters) == ["model", *keywords, "progress", "timeout"]
    stub = ast.parse((ROOT / "python" / "trevolan" / "__init__.pyi").read_text())
    typed = next(node for node in stub.body if isinstance(node, ast.FunctionDef) and node.name == "study")
    assert [arg.arg for arg in typed.args.kwonlyargs] == [*keywords, "progress", "timeout"]
    # Each keyword takes a value of its type; the model, which does not exist, is what fails.
    samples = {"int": 10, "float": 0.5, "bool": True, "str or path": tmp_path, "list of str": ["final:104.Value"]}
    for row in rows:
        value = samples.get(row["type"], {"101.aa": [1, 2]} if "[values]" in row["type"] else {"FinTim": 20})
        with pytest.raises(trevolan.NotFoundError):
            trevolan.study(tmp_path / "none.txt", **{row["keyword"]: value})
        assert row["keyword"] + " (" + row["type"] in trevolan.study.__doc__
    with pytest.raises(TypeError, match="'replicatons' \\(did you mean replications\\?\\)"):
        trevolan.study(example("mm1_queue.txt"), replicatons=2)
    with pytest.raises(TypeError, match="replications: expected int, got '2'"):
        trevolan.study(example("mm1_queue.txt"), replications="2")
    with pytest.raises(TypeError, match="warmup: expected float or 'auto', got 'soon'"):
        trevolan.study(example("mm1_queue.txt"), warmup="soon")


def test_a_study_as_a_frame_and_a_plot():
    result = trevolan.study(example("mm1_queue.txt"), **OPTIONS)
    frame, runs = result.to_frame(), result.to_frame("runs")
    if hasattr(frame, "columns"):
        assert list(frame.index) == list(result.summary["case"]) and list(runs["status"]) == result.status
        assert np.array_equal(frame["mean(at:10:107.Value)"], result.summary["mean(at:10:107.Value)"], equal_nan=True)
    else:
        assert frame is result.summary and runs is result.runs
    with pytest.raises(ValueError, match="the tables are 'summary' and 'runs'"):
        result.to_frame("cases")
    try:
        import matplotlib
    except ImportError:
        with pytest.raises(ImportError):
            result.plot()
        return
    matplotlib.use("Agg")
    axes = result.plot()
    assert [a.get_ylabel() for a in axes] == ["final:104.Value", "mean:104.Value", "at:10:107.Value"]
    assert axes[0].get_xlabel() == "107.An"
    # The means at the varied values, and the bars reach the interval's ends.
    line = axes[0].lines[0]
    assert line.get_xdata().tolist() == result.summary["107.An"].tolist()
    assert np.array_equal(line.get_ydata(), result.summary["mean(final:104.Value)"], equal_nan=True)


def test_progress_and_timeout_of_runs_and_studies():
    seen = {"simulate": [], "study": []}
    trevolan.simulate(example("mm1_queue.txt"), stop=40000, progress=lambda d, t: seen["simulate"].append((d, t)))
    trevolan.study(example("mm1_queue.txt"), set={"FinTim": 2000}, replications=40, measures="final:104.Value",
                   progress=lambda d, t: seen["study"].append((d, t)))
    assert seen["simulate"][-1] == (40000, 40000) and len(seen["simulate"]) > 1
    assert [d for d, _ in seen["simulate"]] == sorted(d for d, _ in seen["simulate"])
    assert seen["study"][-1] == (40, 40)
    with pytest.warns(trevolan.ModelWarning, match=r"simulate stopped at Time \S+ before FinTim 1000000000: the timeout of "
                                                   r"0.2 s was reached"):
        started = time.monotonic()
        df = trevolan.simulate(example("mm1_queue.txt"), stop=1e9, timeout=0.2)
    assert time.monotonic() - started < 5 and "timeout" in (df.attrs if hasattr(df, "attrs") else
                                                            df.dtype.metadata)["stop_reason"]
    with pytest.warns(trevolan.ModelWarning, match="study stopped after .* runs: the timeout of 0.2 s"):
        trevolan.study(example("mm1_queue.txt"), set={"FinTim": 1e6}, replications=100, measures="final:104.Value",
                       jobs=1, timeout=0.2)
    with pytest.raises(ValueError, match="timeout -1: the seconds allowed must be a number above 0"):
        trevolan.simulate(example("mm1_queue.txt"), timeout=-1)
    with pytest.raises(ZeroDivisionError):
        trevolan.simulate(example("mm1_queue.txt"), stop=40000, progress=lambda d, t: 1 / 0)
