"""The data-science calls: simulate() against the batch runner on every example, names
for slot numbers, recordings beyond the tape, advance(), copies, pickles and the
protocols of a Python object."""
import concurrent.futures
import copy
import csv
import inspect
import os
import pathlib
import pickle
import subprocess
import sys
import warnings
from xml.etree import ElementTree

import numpy as np
import pytest

import trevolan
from conftest import EXAMPLES, ROOT, cli, example


def columns(result):
    """Time and the output columns of a simulate() result, pandas or numpy."""
    if hasattr(result, "index"):
        return ["Time", *result.columns], np.column_stack([result.index.to_numpy(), result.to_numpy()])
    names = list(result.dtype.names)
    return names, np.column_stack([result[n] for n in names])


@pytest.mark.filterwarnings("ignore:XL not Running")
@pytest.mark.parametrize("name", EXAMPLES)
def test_simulate_gives_the_rows_of_the_batch_runner(tmp_path, name):
    out = tmp_path / "run.csv"
    cli("run", example(name), "--csv", str(out))
    rows = list(csv.reader(open(out, newline="")))
    m = trevolan.Model.open(example(name))
    names, table = columns(trevolan.simulate(m))
    assert names[1:] == rows[0][1:]
    expected = np.array([[float(x) for x in row] for row in rows[1:]])
    assert np.array_equal(table[:, 1:], expected[:, 1:])
    # The times are Start + k * GrDel, which the summed clock meets to within TimeTol.
    assert np.array_equal(table[:, 0], m["Start"] + np.round((expected[:, 0] - m["Start"]) / m["GrDel"]) * m["GrDel"])
    assert np.all(np.abs(table[:, 0] - expected[:, 0]) <= m["TimeTol"])


def test_names_recordings_and_advance(tmp_path):
    path = example("damped_oscillator.txt")
    m = trevolan.Model.open(path)
    # Names stand for IDs wherever a target goes; a bare name is the block's value.
    assert m["position"] == m["102.Value"] and m["position.aa"] == m["102.aa"]
    m["velocity.cc"] = 2
    assert m["101.cc"] == 2
    with pytest.raises(KeyError, match="no block is named 'nothing'"):
        m["nothing.aa"]
    m["101.Name"] = "position"
    with pytest.raises(KeyError, match="shared by blocks 101, 102"):
        m["position"]
    m["101.Name"] = "velocity"
    # simulate() works on a copy, with parameters and outputs by name, sampled as asked.
    before = m["Time"], m["101.cc"]
    _, table = columns(trevolan.simulate(m, stop=10, params={"velocity.cc": 1}, outputs=["position", "103.Value"],
                                         every=0.5))
    assert (m["Time"], m["101.cc"]) == before
    assert np.allclose(table[:, 0], np.arange(0, 10.25, 0.5)) and table.shape == (21, 3)
    # A recording keeps every sample however long the run; the tape its last 10,001 rows.
    m.timing(finish=20000, graph=1, hold=20000, holdnext=20000)
    m.reset()
    m.record(["position"])
    with pytest.warns(trevolan.ModelWarning, match="Tape Full"):
        m.finish()
    _, rec = columns(m.recording())
    tape = m.tape()
    assert rec.shape == (20001, 2) and len(tape) == 10001
    assert np.array_equal(rec[-5000:, 1], tape[-5000:, 1]) and np.allclose(rec[-5000:, 0], tape[-5000:, 0])
    # advance() stops at the time asked, through the holds on the way, and a run goes on
    # from there as if it had not stopped.
    m.timing(finish=100, graph=0.1, hold=7, holdnext=7)
    m.reset()
    m.advance(to=30)
    assert abs(m["Time"] - 30) < 1e-9 and m["HoldFlag"]
    m.finish()
    whole = trevolan.Model.open(path)
    whole["velocity.cc"] = 2
    whole.timing(finish=100, graph=0.1, hold=7, holdnext=7)
    whole.reset()
    whole.finish()
    assert np.array_equal(m.tape(), whole.tape())


def test_advance_and_simulate_say_when_a_hold_trigger_stops_the_run_short():
    # position (block 102) starts at 10: as the hold trigger it holds the run after every
    # step, so each press of RUN is one step and the presses run out before the target.
    m = trevolan.Model.open(example("damped_oscillator.txt"))
    m["RepCount"] = 102
    m.reset()
    with pytest.warns(trevolan.ModelWarning) as said:
        m.advance(to=50, max_presses=5)
    assert [str(w.message) for w in said] == [
        "advance stopped at Time 0.05 before 50: all 5 presses of RUN were used (the hold trigger, block 102 "
        "position, holds the run at every step); advance(to, max_presses=...) allows more"]
    assert m["Time"] == pytest.approx(0.05) and m["HoldFlag"]
    # A run that reaches its time says nothing.
    m["RepCount"] = 0
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        m.advance(to=50)
    assert m["Time"] == pytest.approx(50)
    # simulate() returns the samples it took, up to where a million presses got it.
    model = trevolan.Model.new()
    model.timing(finish=2e6, delt=1, graph=1e5, hold=1e6, holdnext=1e6, trigger=1)
    with pytest.warns(trevolan.ModelWarning) as said:
        _, table = columns(trevolan.simulate(model, outputs=["Time"]))
    assert [str(w.message) for w in said] == [
        "simulate stopped at Time 1000000 before FinTim 2000000: all 1000000 presses of RUN were used (the hold "
        "trigger, block 1 ONE, holds the run at every step)"]
    assert list(table[:, 0]) == [k * 1e5 for k in range(11)]


def run_pickled(state):
    m = pickle.loads(state)
    m.reset()
    m.finish()
    return m.tape()


def test_copies_pickles_and_protocols():
    m = trevolan.Model.open(example("breakdowns.txt"))
    m.seed(5)
    twin = m.copy()
    deep, shallow = copy.deepcopy(m), copy.copy(m)
    for other in (twin, deep, shallow):
        other["FinTim"] = 500
        assert m["FinTim"] != 500
    local = run_pickled(pickle.dumps(m))
    with concurrent.futures.ProcessPoolExecutor(1) as pool:
        assert np.array_equal(pool.submit(run_pickled, pickle.dumps(m)).result(), local)
    with trevolan.Model.open(example("damped_oscillator.txt")) as osc:
        ids = list(osc)
        assert len(osc) == len(ids) and 102 in ids and "position" in osc and "1001.aa" not in osc
        assert "position.Value" in osc._ipython_key_completions_()
    assert {"simulate", "Model", "study"} <= set(trevolan.__all__)
    # For editors and type checkers: signatures, the stub and its marker beside the package.
    assert list(inspect.signature(trevolan.simulate).parameters)[-3:] == ["reset", "progress", "timeout"]
    assert "precision" in inspect.signature(trevolan.study).parameters
    package = pathlib.Path(trevolan.__file__).parent
    assert (package / "py.typed").exists() and "def simulate(" in (package / "__init__.pyi").read_text()
    assert trevolan.Model.__module__ == "trevolan" and "Simulates a model" in trevolan.simulate.__doc__
    # The table and the globals at a glance.
    osc = trevolan.Model.open(example("damped_oscillator.txt"))
    blocks = osc.blocks()
    ids = list(blocks["ID"])
    row = ids.index(102)
    assert len(ids) == len(osc) and blocks["Name"][row] == "position" and blocks["Type"][row] == "I"
    assert blocks["Description"][row] == "Integrator" and blocks["An"][row] == 101
    assert osc.globals()["FinTim"] == osc["FinTim"] and osc.globals()["DataFileName"] == osc["DataFileName"]
    # In a notebook: the diagram as SVG (well-formed, the blocks' names on it), a study as a table.
    svg = ElementTree.fromstring(osc._repr_svg_())
    texts = [t.text.strip() for t in svg.iter("{http://www.w3.org/2000/svg}text")]
    assert {"position", "velocity", "accel", "spring"} <= set(texts) and int(svg.get("height")) < 1000
    html = trevolan.study(osc, set={"FinTim": 5}, replications=2, measures=["final:position"])._repr_html_()
    assert html.startswith("<table>") and "<th>mean(final:position)</th>" in html


@pytest.mark.filterwarnings("ignore:XL not Running")
def test_a_python_function_takes_the_spreadsheets_place():
    # The example's controller settles the tank where the Calc workbook does.
    done = subprocess.run([sys.executable, str(ROOT / "examples" / "python" / "tank_controller.py")],
                          capture_output=True, text=True, timeout=60, check=False)
    assert done.stdout == "level at Time 100: 35.17\n", done.stderr
    # Once a time unit (the block's period), with the block's row; the link's rules hold.
    times = []

    def echo(time, row):
        times.append(time)
        assert len(row) == 16
        return row

    cases = [
        (echo, None, None),
        (lambda t, row: row[:15], trevolan.Error, "Automation error: the workbook answered too few cells"),
        (lambda t, row: ["x"] * 16, trevolan.ConversionError, "'x' is not a valid floating point value"),
        (lambda t, row: 1 / 0, trevolan.Error, "Automation error: the exchange function raised ZeroDivisionError"),
    ]
    for fn, kind, text in cases:
        m = trevolan.Model.open(example("tank_controller.txt"))
        m.on_exchange(fn)
        if kind is None:
            m.reset()
            m.finish()
            assert np.allclose(times, range(101), atol=1e-9)
            continue
        with pytest.raises(kind, match="^" + text):  # the first exchange is RESET's
            m.reset()
        assert m["HoldFlag"] and m["Time"] == 0
    m.on_exchange(None)
    m.run()
    assert "XL not Running" in m.messages[-1]


def table(rows):
    """Times and values of accel.aa as a structured array with a Time field."""
    return np.array(rows, dtype=[("Time", float), ("accel.aa", float)])


# Inputs into the oscillator's force (accel.aa), each with the value a script sets before
# the step that starts at the summed clock's t.
INPUTS = {
    "step, held": (dict(inputs=table([(0, 0.0), (50, 1.0)])), lambda t, tol: 1.0 if t + tol >= 50 else 0.0),
    "ramp, interpolated": (dict(inputs=table([(0, 0.0), (100, 2.0)]), interpolate=True),
                           lambda t, tol: 0.0 + (2.0 - 0.0) * ((t - 0.0) / (100.0 - 0.0))),
    "ramp, a function": (dict(inputs={"accel.aa": lambda t: 0.02 * t}), lambda t, tol: 0.02 * t),
}


@pytest.mark.parametrize("case", INPUTS)
def test_inputs_are_the_runs_of_scripts_that_set_them(tmp_path, case):
    options, value = INPUTS[case]
    path = example("damped_oscillator.txt")
    m = trevolan.Model.open(path)
    t, delt, tol, lines = m["Start"], m["Delt"], m["TimeTol"], ["open " + path, "reset"]
    while t + tol < m["FinTim"]:
        lines += [f"set 104.aa {value(t, tol)!r}", "step"]
        t = t + delt
    lines.append(f"save-tape-csv {tmp_path / 'tape.csv'}")
    (tmp_path / "script").write_text("\n".join(lines) + "\n")
    cli("exec", "-f", str(tmp_path / "script"))
    rows = list(csv.reader(open(tmp_path / "tape.csv", newline="")))
    scripted = np.array([[float(x) for x in row[1:]] for row in rows[1:]])
    names, driven = columns(trevolan.simulate(path, **options))
    assert len(scripted) == 1001 and np.array_equal(driven[:, 1:], scripted)
    # Not the run without the input.
    assert not np.array_equal(columns(trevolan.simulate(path))[1][:, 1:], scripted)


@pytest.mark.parametrize("name", ["damped_oscillator.txt", "mm1_queue.txt"])
def test_a_run_in_two_halves_and_a_state_brought_back_are_the_whole_run(name):
    m = trevolan.Model.open(example(name))
    stop = m["FinTim"]
    _, whole = columns(trevolan.simulate(m, seed=4))
    m.seed(4)
    m.reset()
    _, first = columns(trevolan.simulate(m, stop=stop / 2, reset=False))
    state = m.state()
    _, second = columns(trevolan.simulate(m, reset=False))
    assert np.array_equal(np.vstack([first, second[1:]]), whole)
    m.restore(state)
    assert np.array_equal(columns(trevolan.simulate(m, reset=False))[1], second)
    with pytest.raises(ValueError, match="state of a trevolan model"):
        m.restore(state[:-1])


@pytest.mark.parametrize("check", ["stubtest", "strict"])
def test_the_stub_is_the_package_and_types_the_examples(check):
    pytest.importorskip("mypy")
    package = pathlib.Path(trevolan.__file__).parent
    env = dict(os.environ, MYPYPATH=str(package.parent), PYTHONPATH=str(package.parent))
    command = {"stubtest": ["-m", "mypy.stubtest", "trevolan"],
               "strict": ["-m", "mypy", "--strict", "--no-incremental", "--cache-dir", "/dev/null",
                          *map(str, sorted((ROOT / "examples" / "python").glob("*.py")))]}[check]
    done = subprocess.run([sys.executable, *command], capture_output=True, text=True, env=env, timeout=300)
    assert done.returncode == 0, done.stdout + done.stderr
