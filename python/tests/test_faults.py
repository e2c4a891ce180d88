"""Calls that once crashed, hung, lost a controller or changed the numbers quietly: each
fault's reproduction, the crashes and hangs in a child interpreter with a time limit."""
import copy
import gc
import inspect
import json
import os
import pickle
import subprocess
import sys
import threading
import warnings
import weakref

import numpy as np
import pytest

import trevolan
from conftest import example


def controller(time, row):
    """The spreadsheet's row 2 for the tank: the inflow set from the level."""
    answer = list(row)
    answer[6] = max(0.0, 0.2 * (50 - row[6]))
    return answer


CHILD = """
import json, sys
import numpy as np
import trevolan
osc, mm1, tank = sys.argv[1:4]
def outcome(call):
    try:
        call()
        return "ok"
    except Exception as e:
        return type(e).__name__
m = trevolan.Model.open(tank)
m.on_exchange(lambda t, r: (m["101.Value"], list(r))[1])
cases = {
    "seed=np.int64(5)": lambda: trevolan.simulate(mm1, stop=10, seed=np.int64(5)),
    "seed=np.uint64(5)": lambda: trevolan.simulate(mm1, stop=10, seed=np.uint64(5)),
    "seed=-1": lambda: trevolan.simulate(mm1, stop=10, seed=-1),
    "seed='7'": lambda: trevolan.simulate(mm1, stop=10, seed="7"),
    "seed=2**64": lambda: trevolan.simulate(mm1, stop=10, seed=2**64),
    "seed=2**60": lambda: trevolan.simulate(mm1, stop=10, seed=2**60),
    "every=1e-300": lambda: trevolan.simulate(osc, every=1e-300),
    "every below the clock at 1e14": lambda: trevolan.simulate(osc, start=1e14, stop=1e14 + 1, step=0.1, every=0.001),
    "every at 1e14": lambda: trevolan.simulate(osc, start=1e14, stop=1e14 + 1, step=0.0625, every=0.25),
    "exchange reads its model": lambda: (m.reset(), m.finish()),
}
print(json.dumps({name: outcome(call) for name, call in cases.items()}))
"""


def test_calls_that_crashed_or_hung_return_or_raise():
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    child = subprocess.run([sys.executable, "-c", CHILD, example("damped_oscillator.txt"), example("mm1_queue.txt"),
                            example("tank_controller.txt")], env=env, capture_output=True, text=True, timeout=60,
                           check=False)
    assert child.returncode == 0, child.stderr
    assert json.loads(child.stdout) == {
        "seed=np.int64(5)": "ok", "seed=np.uint64(5)": "ok", "seed=-1": "ValueError", "seed='7'": "TypeError",
        "seed=2**64": "ValueError", "seed=2**60": "ValueError", "every=1e-300": "ValueError",
        "every below the clock at 1e14": "ValueError", "every at 1e14": "ok", "exchange reads its model": "ok"}


def test_messages_name_the_argument_the_value_and_what_is_accepted(oscillator):
    m = oscillator
    path = example("damped_oscillator.txt")
    cases = [  # (call, kind, the start of its message)
        (lambda: trevolan.simulate(42), TypeError, "simulate() model: expected a model file's path or a trevolan.Model"
                                                   ", got 42"),
        (lambda: trevolan.simulate(path, outputs=42), TypeError, "simulate() outputs: expected a name or a list"),
        (lambda: trevolan.simulate(path, seed=1.5), ValueError, "simulate() seed 1.5: a seed is a whole number in "
                                                                "0..9007199254740991"),
        (lambda: m.seed(2**53), ValueError, "seed 9007199254740992: a seed is a whole number in 0..9007199254740991"),
        (lambda: m.seed("7"), TypeError, "seed: expected an int, got '7'"),
        (lambda: m.apply(9999, cc=1), IndexError, "Range check error: apply: block 9999: block IDs are 0..1000"),
        (lambda: m.finish(-1), IndexError, "Range check error: max_presses -1: the presses allowed are 0 or more"),
        (lambda: trevolan.simulate(path, outputs=["101.stored[0]"]), IndexError,
         "Range check error: 101.stored[0]: block 101 has no stored entries"),
        (lambda: m.record(["position"], every=0), ValueError, "every 0: the sampling interval must be a number above"),
        (lambda: m.on_exchange(5), TypeError, "on_exchange: expected a function fn(time, row) or None, got 5"),
    ]
    for call, kind, text in cases:
        with pytest.raises(kind) as raised:
            call()
        assert str(raised.value).startswith(text), str(raised.value)
    # One name where a list goes is a list of one.
    run = trevolan.simulate(path, stop=1, outputs="position")
    assert run.dtype.names[1:] == ("position",) if hasattr(run, "dtype") else list(run.columns) == ["position"]
    result = trevolan.study(path, set={"FinTim": 5}, measures="final:position")
    assert result.run_columns[-1] == "final:position"


def tank_level(m):
    m.reset()
    m.finish()
    return m["101.Value"]


def test_the_controller_goes_with_every_copy_and_lets_its_model_go():
    m = trevolan.Model.open(example("tank_controller.txt"))
    m.on_exchange(controller)
    level = tank_level(m.copy())
    assert round(level, 2) == 35.17
    for other in (copy.copy(m), copy.deepcopy(m), pickle.loads(pickle.dumps(m))):
        assert tank_level(other) == level
    run = trevolan.simulate(m, outputs=["101.Value"])
    assert np.asarray(run["101.Value"])[-1] == level
    done = trevolan.study(m, measures=["final:101.Value"], replications=2)
    assert done.status == ["ok", "ok"] and list(done.runs["final:101.Value"]) == [level, level]
    # Without a controller the runs of a study fail rather than report a level of no run.
    m.on_exchange(None)
    assert trevolan.study(m, measures=["final:101.Value"]).status[0].startswith("XL not Running")
    m.on_exchange(lambda t, row: row)
    with pytest.raises(TypeError, match="exchange function .* cannot be pickled"):
        pickle.dumps(m)
    # A controller that refers to its model keeps it alive no longer than Python's cycles.
    gc.collect()
    refs = []
    for _ in range(300):
        own = trevolan.Model.open(example("tank_controller.txt"))
        own.on_exchange(lambda t, row, own=own: row)
        refs.append(weakref.ref(own))
    del own
    gc.collect()
    assert sum(r() is not None for r in refs) == 0


def test_warnings_reach_each_threads_filters_untouched():
    raised = []

    def run():
        with warnings.catch_warnings():  # the test's own, around the whole thread
            pass
        try:
            trevolan.simulate(example("tank_controller.txt"), stop=3)
        except trevolan.ModelWarning as w:
            raised.append(str(w))

    filters = list(warnings.filters)
    warnings.simplefilter("error", trevolan.ModelWarning)
    try:
        threads = [threading.Thread(target=run) for _ in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    finally:
        warnings.filters[:] = filters
    assert len(raised) == 4 and all(r.startswith("XL not Running") for r in raised)
    assert list(warnings.filters) == filters


def test_a_recording_starts_with_the_run_it_records(oscillator):
    m = oscillator
    m.record(["position"], every=10)  # before the first reset: it waits for the run
    m.reset()
    m.advance(to=50)
    m.reset()
    m.finish()
    rows = m.recording()
    times = rows.index.to_numpy() if hasattr(rows, "index") else rows["Time"]
    position = rows["position"]
    assert np.allclose(times, np.arange(0, m["FinTim"] + 1, 10), rtol=0, atol=1e-9)
    assert position[0] == 10


def test_copies_and_pickles_run_as_the_original_bit_for_bit():
    m = trevolan.Model.open(example("damped_oscillator.txt"))
    m["104.Name"] = "a b"
    m["104.cc"] = 0.1 + 0.2
    m.timing(hold=100, holdnext=100, finish=300)
    m.reset()
    m.advance(to=37.3)
    others = [m.copy(), copy.deepcopy(m), pickle.loads(pickle.dumps(m))]
    for other in others:
        assert other["a b.cc"] == m["104.cc"] and other["Holdnext"] == m["Holdnext"]
        assert np.array_equal(other.tape(), m.tape())
    m.finish()
    for other in others:
        other.finish()
        assert other.tape().tobytes() == m.tape().tobytes()
    result = trevolan.study(example("mm1_queue.txt"), set={"FinTim": 5}, measures=["final:Time"], replications=2)
    again = pickle.loads(pickle.dumps(result))
    assert again.status == result.status and np.array_equal(again.runs, result.runs)


def test_help_speaks_to_python_users(oscillator):
    m = oscillator
    methods = [getattr(trevolan.Model, n) for n in vars(trevolan.Model) if callable(getattr(trevolan.Model, n))
               and not isinstance(getattr(trevolan.Model, n), type)]
    for method in methods:
        inspect.signature(method)  # raises for a method whose signature cannot be read
        for words in ("dialog", "the window", "RUN pressed", "Apply"):
            assert words not in (method.__doc__ or ""), (method.__name__, words)
    assert inspect.signature(trevolan.Model.apply).parameters["block"].kind is inspect.Parameter.POSITIONAL_ONLY
    png = m._repr_png_()
    assert png is None or png.startswith(b"\x89PNG")
    blocks = m.blocks()
    row = list(blocks["ID"]).index(102)
    assert blocks["Uses"][row].startswith("A: plus; B: minus") and blocks["Rule"][row].startswith("v=INT(")
    assert 102 in m and 150 not in m and "102.cc" in m and "150.cc" not in m and "Time" in m


def test_a_file_whose_open_failed_is_not_saved_over(tmp_path):
    """A model the reader stopped in the middle of: no model of this process replaces it."""
    text = open(example("integrators.txt"), newline="").read().replace("@I   101", "@I   5000", 1)
    bad = tmp_path / "bad.txt"
    bad.write_text(text, newline="")
    with pytest.raises(Exception, match="Range check error"):
        trevolan.Model.open(bad)
    with pytest.raises(OSError, match=r"the open of .*bad\.txt failed \(Range check error"):
        trevolan.Model.new().save(bad)
    assert open(bad, newline="").read() == text
