"""The Python module against the batch runner: the same calls give the same models,
tapes, errors and warnings."""
import fractions
import hashlib
import json
import os
import pathlib
import re
import subprocess
import sys
import signal
import threading
import time
import warnings

import numpy as np
import pytest

import trevolan
from conftest import ROOT, cli, example, model_text


def test_round_trip_through_the_api(tmp_path, oscillator):
    m = oscillator
    with pytest.warns(trevolan.ModelWarning, match="^Check X,Y coordinates   -5$"):
        m.apply(104, cc=0.1 + 0.2, name="damper", comment="two words", x=-5, onoff=True)
    m.timing(delt=0.02, finish=50)
    m["102.dd"] = 7.5
    m["19.stored"] = [3, 102, 101, 104] + [0] * 7
    m["31.pp"] = 1e300
    assert m["104.cc"] == 0.30000000000000004  # typed in full; the file keeps 15 digits
    m.save(tmp_path / "model.txt")
    saved = model_text(tmp_path / "model.txt")

    # The batch runner, given the same commands, writes the same file.
    cli("exec", "-c",
        f"open {example('damped_oscillator.txt')}; apply 104 cc=0.30000000000000004 name=damper "
        f'comment="two words" x=-5 onoff=1; timing delt=0.02 finish=50; set 102.dd 7.5; '
        f"set 19.stored 3 102 101 104 0 0 0 0 0 0 0; set 31.pp 1e300; save {tmp_path / 'model.txt'}")
    assert model_text(tmp_path / "model.txt") == saved

    again = trevolan.Model.open(tmp_path / "model.txt")
    assert m.messages == ["Check X,Y coordinates   -5"]
    assert again.messages == []
    for target, value in [("104.cc", 0.3), ("104.Name", "damper"), ("104.Comment", "two words"),
                          ("104.XX", -5), ("104.OnOff", 1), ("Delt", 0.02), ("FinTim", 50.0), ("102.dd", 7.5),
                          ("19.stored", [3.0, 102.0, 101.0, 104.0] + [0.0] * 7), ("19.stored[3]", 104.0),
                          ("104.Type", "&"), ("HoldFlag", True), ("HighestBlock", 105), ("31.pp", 1e300)]:
        assert again[target] == value, target
        assert type(again[target]) is type(value), target

    again.reset()
    again.finish()
    assert again["Time"] == pytest.approx(50)
    tape = again.tape()
    assert tape.shape == (again["TapeIndex"] + 1, 4)
    assert again.channels() == [("Time", 2), ("position", 102), ("velocity", 101), ("damper", 104)]
    for r, c in [(0, 0), (1, 1), (1000 // 4, 2), (tape.shape[0] - 1, 3)]:
        assert tape[r, c] == again[f"tape.{r}.{c}"]
    assert tape.flags["C_CONTIGUOUS"] and tape.flags["OWNDATA"] is False  # owned by its capsule, no copy


SHAPES = """
import json, sys
if sys.argv[2] == "numpy":
    sys.modules["pandas"] = None  # as where pandas is not installed
import trevolan
m = trevolan.Model.open(sys.argv[1])
m.record(["position", "velocity"])
m.reset()
m.finish()
out = {}
for name, r in [("simulate", trevolan.simulate(sys.argv[1], seed=3)), ("recording", m.recording()),
                ("tape_frame", m.tape_frame())]:
    if sys.argv[2] == "pandas":
        out[name] = [r.index.name, list(r.columns), r.loc[50.0].tolist(), r.attrs]
    else:
        names = r.dtype.names
        out[name] = [names[0], list(names[1:]), [float(r[r["Time"] == 50.0][n][0]) for n in names[1:]],
                     dict(r.dtype.metadata)]
print(json.dumps(out))
"""


@pytest.mark.parametrize("kind", ["pandas", "numpy"])
def test_one_return_type_indexed_by_the_sample_times(kind):
    if kind == "pandas":
        pytest.importorskip("pandas")
    path = example("damped_oscillator.txt")
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    child = subprocess.run([sys.executable, "-c", SHAPES, path, kind], capture_output=True, text=True, env=env,
                           timeout=120)
    out = json.loads(child.stdout or child.stderr)
    digest = hashlib.sha256(pathlib.Path(path).read_bytes()).hexdigest()
    for name, (index, names, row, attrs) in out.items():
        assert (index, names) == ("Time", ["position", "velocity"]), name
        assert row == out["simulate"][2], name  # the row of Time 50 exactly, not the clock's 49.99...
        assert attrs == {"model": str(pathlib.Path(path).resolve()), "sha256": digest,
                         "seed": 3 if name == "simulate" else None,
                         "stop_reason": "FinTim reached" if name == "simulate" else None, "Delt": 0.01,
                         "version": trevolan.__version__}, name


@pytest.mark.parametrize("name", ["damped_oscillator.txt", "breakdowns.txt", "producer_consumer.txt",
                                  "conveyor.txt", "delay_line.txt"])
def test_tape_is_the_batch_runners_bit_for_bit(tmp_path, name):
    m = trevolan.Model.open(example(name))
    m.reset()
    m.finish()
    m.save_tape(tmp_path / "py.tape")
    summary = cli("run", example(name), "--tape", str(tmp_path / "cli.tape"))
    assert (tmp_path / "py.tape").read_bytes() == (tmp_path / "cli.tape").read_bytes()
    assert f"tape rows {m.tape().shape[0]}" in summary
    # The array holds the doubles the file shows with 15 digits.
    lines = (tmp_path / "py.tape").read_text().splitlines()[1:]
    written = np.array([[float(x) for x in line.split()] for line in lines])
    assert np.allclose(m.tape(), written, rtol=1e-14, atol=1e-300)


def test_errors_raise_the_batch_runners_texts_and_change_nothing(tmp_path, oscillator):
    m = oscillator
    m.reset()
    for _ in range(7):
        m.step()
    m.save(tmp_path / "model.txt")
    saved = model_text(tmp_path / "model.txt")
    tape = m.tape()
    cases = [
        (lambda: m.__setitem__("1001.pp", 5), trevolan.RangeError, "set 1001.pp 5"),
        (lambda: m["105.stored[3]"], trevolan.RangeError, "print 105.stored[3]"),
        (lambda: m.__setitem__("19.stored[11]", 1), trevolan.RangeError, "set 19.stored[11] 1"),
        (lambda: m["tape.10001.0"], trevolan.RangeError, "print tape.10001.0"),
        (lambda: m.__setitem__("102.dd", "ten"), trevolan.ConversionError, "set 102.dd ten"),
        (lambda: m.finish(-1), trevolan.RangeError, "finish -1"),
        (lambda: m.save_tape(tmp_path / "no" / "such" / "dir.txt"), trevolan.IoError,
         f"save-tape {tmp_path / 'no' / 'such' / 'dir.txt'}"),
    ]
    for action, kind, command in cases:
        with pytest.raises(kind) as raised:
            action()
        assert isinstance(raised.value, trevolan.Error)
        out = cli("exec", "-c", f"open {example('damped_oscillator.txt')}; {command}")
        # The batch runner's text, and for a range the bounds after it.
        assert out.startswith("error: ") and str(raised.value).startswith(out[len("error: "):-1]), command
    with pytest.raises(FileNotFoundError, match="^File not found: .*missing.txt$") as missing:
        trevolan.Model.open(tmp_path / "missing.txt")
    assert isinstance(missing.value, trevolan.IoError) and missing.value.filename == str(tmp_path / "missing.txt")
    with pytest.raises(ValueError, match="^unknown block field: value$"):
        m["102.value"]
    with pytest.raises(ValueError, match="unknown field of apply: colour"):
        m.apply(102, colour=3)

    m.save(tmp_path / "model.txt")
    assert model_text(tmp_path / "model.txt") == saved
    assert np.array_equal(m.tape(), tape)
    assert m.messages == []


def test_python_ways_in_follow_one_rule_and_raise_pythons_own_kinds(tmp_path, oscillator):
    m = oscillator
    # Every way in refuses, by the field's rule, what the dialogs would repair and what the
    # model would run as another value: with a number and with a text, through the item,
    # apply(), timing(), simulate(params=) and study(set=).
    osc, mm1 = example("damped_oscillator.txt"), example("mm1_queue.txt")
    refused = [  # (model, target, value, dialog field, the refusal's start)
        (osc, "Delt", 0, "timing:delt", "Delt 0 would run as 0.1: the time step must be above 0"),
        (osc, "Delt", -1, "timing:delt", "Delt -1 would run as 0.1: the time step must be above 0"),
        (osc, "Delt", 20, "timing:delt", "Delt 20 would run as 0.1: the time step may not exceed the graph step GrDel"),
        (osc, "102.An", 5000, "apply:an", "102.An 5000 would run as 1000: a connection is a block ID in 0..1000"),
        (osc, "102.An", 3e9, "apply:an", "102.An 3000000000: it is a 32-bit number"),
        (osc, "TimeTol", -1, None, "TimeTol -1: it follows from the model"),
        (osc, "104.cc", float("nan"), "apply:cc", "104.cc NAN: it must be a finite number"),
        (mm1, "101.aa", float("nan"), "apply:aa", "101.aa NAN: it must be a finite number"),
        (mm1, "101.State", 7, "apply:mode", "101.State 7 would run as 3: a block of type Z runs in the modes"),
        (osc, "103.Name", "spring force", "apply:name", "103.Name spring force would run as spring for: a name holds"),
    ]
    for model, target, value, field, text in refused:
        m = trevolan.Model.open(model)
        block = int(target.split(".")[0]) if "." in target else None
        ways = [("item", lambda: m.__setitem__(target, value)),
                ("simulate", lambda: trevolan.simulate(m, params={target: value}, stop=1)),
                ("study", lambda: trevolan.study(m, set={target: value}, measures=["final:Time"]))]
        if not isinstance(value, str):
            ways.append(("item as text", lambda: m.__setitem__(target, repr(value))))
        if field and field.startswith("apply:"):
            ways.append(("apply", lambda: m.apply(block, **{field[6:]: value})))
        if field and field.startswith("timing:"):
            ways.append(("timing", lambda: m.timing(**{field[7:]: value})))
        before = m[target]
        for way, action in ways:
            with pytest.raises(ValueError) as raised:
                action()
            assert text in str(raised.value), (way, str(raised.value))
            assert m[target] == before or (before != before and m[target] != m[target]), way
    # A value's effect is the field's own, whichever way it comes: the Graphs block's
    # inputs are the recorded channels, also when simulate() sets them.
    run = trevolan.simulate(osc, stop=1, params={"19.stored": [2, 101, 104] + [0] * 8})
    names = list(run.columns) if hasattr(run, "columns") else list(run.dtype.names)[1:]
    assert names == ["velocity", "accel"]
    m = oscillator
    kinds = [  # the model's errors are also Python's own kinds, and say where they went beyond
        (lambda: m["1001.aa"], IndexError, "Range check error: 1001.aa: block IDs are 0..1000"),
        (lambda: m["105.stored[3]"], IndexError, "Range check error: 105.stored[3]: block 105 has"),
        (lambda: m.__setitem__("102.dd", "ten"), ValueError, "'ten' is not a valid floating point value"),
        (lambda: trevolan.Model.open(tmp_path), OSError, "I/O error"),
    ]
    for action, kind, text in kinds:
        with pytest.raises(kind, match="^" + text.replace("[", "\\[").replace("]", "\\]")):
            action()
    assert issubclass(trevolan.OverflowError, OverflowError) and "OverflowError" not in trevolan.__all__
    assert trevolan.__version__ == cli("--version").split()[1]
    # apply's block is positional only, so that the dialog's id field can be named.
    name = m["104.Name"]
    m.apply(104, id=200)
    assert m["200.Name"] == name
    # The Graphs block's inputs are the recorded channels at once, as after its dialog's Apply.
    m["19.stored"] = [3, 102, 105, 200]
    m.reset()
    m.finish()
    m.save(tmp_path / "channels.txt")
    saved = trevolan.Model.open(tmp_path / "channels.txt")
    saved.reset()
    saved.finish()
    assert [c[1] for c in m.channels()] == [2, 102, 105, 200] and np.array_equal(m.tape(), saved.tape())
    # A warning points at the line of the caller.
    (tmp_path / "bad.txt").write_text(pathlib.Path(example("damped_oscillator.txt")).read_text().replace(
        "@I   102   position   450   150   1", "@I   102   position   450   150   x", 1))
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        trevolan.Model.open(tmp_path / "bad.txt")
    assert caught and caught[0].filename == __file__, [(w.filename, str(w.message)) for w in caught]



def test_python_values_cross_as_the_kinds_they_are(oscillator):
    m = oscillator
    cases = [  # (target, value, what it reads back as, or the error's kind and text)
        ("104.cc", 2**70, float(2**70)),  # an int beyond 64 bits as a float
        ("104.cc", fractions.Fraction(1, 4), 0.25),  # anything with __float__
        ("104.cc", "0.25", 0.25),  # a text of a number, read at the edge
        ("104.XX", np.int64(7), 7),  # anything with __index__
        ("105.stored", (1, 2.5, np.int32(3)), [1.0, 2.5, 3.0]),  # any sequence of numbers
        ("104.cc", None, (TypeError, "expected a number or a text, got None")),
        ("104.cc", {}, (TypeError, "expected a number or a text, got {}")),
        ("105.stored", [1, True], (TypeError, "a list takes numbers, got True")),
        ("105.stored", ["1"], (TypeError, "a list takes numbers, got '1'")),
        ("104.cc", [1.0], (TypeError, "104.cc takes a number, not a list")),
    ]
    for target, value, expected in cases:
        if isinstance(expected, tuple):
            with pytest.raises(expected[0], match="^" + re.escape(expected[1])):
                m[target] = value
        else:
            m[target] = value
            assert m[target] == expected and type(m[target]) is type(expected), (target, value)
    # Where one value goes, a list is no value: a dialog's field, a time.
    for call in (lambda: m.apply(104, cc=[1, 2]), lambda: m.timing(delt=[1]), lambda: trevolan.simulate(m, stop=[1])):
        with pytest.raises(TypeError, match=r"^expected a number or a text, got \[1"):
            call()

CHILD = """
import sys, threading
import trevolan
m = trevolan.Model.open(sys.argv[1])
m["101.stored"] = range(10**6, 10**6 + 5)
import numpy as np
m["102.stored"] = np.linspace(.5, 1.5, 5)
print(m["101.stored"], m["102.stored"])
models = [trevolan.Model.open(sys.argv[1]) for _ in range(4)]
shapes = []
threads = [threading.Thread(target=lambda n=n: shapes.append(n.tape().shape)) for n in models]
for t in threads:
    t.start()
for t in threads:
    t.join()
print(len(shapes))
"""


def test_lists_from_made_sequences_and_a_first_tape_in_threads_neither_crash_nor_hang():
    # In a fresh interpreter (numpy not yet imported), with Python's checks of freed memory.
    env = dict(os.environ, PYTHONMALLOC="debug", PYTHONPATH=os.pathsep.join(sys.path))
    child = subprocess.run([sys.executable, "-c", CHILD, example("damped_oscillator.txt")], env=env,
                           capture_output=True, text=True, timeout=60, check=False)
    assert child.returncode == 0, child.stderr
    assert child.stdout.splitlines() == [
        "[1000000.0, 1000001.0, 1000002.0, 1000003.0, 1000004.0] [0.5, 0.75, 1.0, 1.25, 1.5]", "4"]


@pytest.mark.filterwarnings("ignore:Tape Full")
def test_finish_says_when_it_stops_short_and_ctrl_c_stops_it(oscillator):
    m = oscillator
    m.timing(finish=20000, delt=0.01, graph=0.01, hold=0.01, holdnext=0.01)
    m.reset()
    with pytest.raises(trevolan.Error, match="^finish stopped at Time 10000.* before FinTim 20000: all 1000000 presses"):
        m.finish()
    with pytest.warns(trevolan.ModelWarning, match="^finish stopped at Time"):
        m.finish(max_presses=10)
    # SIGINT in a run that would take hours: KeyboardInterrupt at once, the model held and usable.
    m.timing(finish=1e9, hold=1e9, holdnext=1e9)
    timer = threading.Timer(0.3, lambda: os.kill(os.getpid(), signal.SIGINT))
    started = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        m.finish()
    assert time.monotonic() - started < 0.3 + 0.2
    assert m["HoldFlag"] and not m["RunBusy"] and m["Time"] > 0
    at = m["Time"]
    m.step()
    assert m["Time"] > at


def test_a_floating_point_fault_holds_the_run_as_in_the_batch_runner(oscillator):
    m = oscillator
    m["106.Type"], m["106.OnOff"], m["HighestBlock"] = "J", 1, 106  # an Inductor of inductance 0
    lines = []
    for action in (m.reset, m.step):
        with pytest.raises(trevolan.FloatError) as raised:
            action()
        lines.append(f"error: {raised.value}")
    lines.append(f"{m['Time']!r} {m['HoldFlag']:d} {m['RunBusy']:d}")
    out = cli("exec", "-c", f"open {example('damped_oscillator.txt')}; set 106.Type J; set 106.OnOff 1; "
                            "set HighestBlock 106; reset; step; print Time HoldFlag RunBusy")
    assert out.splitlines() == lines
    assert "division by zero in block 106" in lines[0]


def run_breakdowns(seed=None, crn=False):
    m = trevolan.Model.open(example("breakdowns.txt"))
    if seed is not None:
        m.seed(seed, crn=crn)
    m.timing(finish=20000)
    m.reset()
    m.finish()
    return m


def test_seed_chooses_the_random_sequence():
    unseeded, seven, seven_again, eight = run_breakdowns(), run_breakdowns(7), run_breakdowns(7), run_breakdowns(8)
    assert np.array_equal(seven.tape(), seven_again.tape())
    assert not np.array_equal(seven.tape(), eight.tape())
    assert not np.array_equal(seven.tape(), unseeded.tape())
    assert np.array_equal(run_breakdowns(7, crn=True).tape(), run_breakdowns(7, crn=True).tape())


def long_oscillator():
    m = trevolan.Model.open(example("damped_oscillator.txt"))
    m.timing(finish=8000, graph=1)
    m.reset()
    return m


def test_two_threads_give_the_results_of_one_after_the_other():
    sequential = [run_breakdowns(3).tape(), long_oscillator()]
    sequential[1].finish()
    sequential[1] = sequential[1].tape()

    results = [None, None]
    started = threading.Event()

    def breakdowns():
        results[0] = run_breakdowns(3).tape()

    def oscillator():
        m = long_oscillator()
        started.set()
        m.finish()
        results[1] = m.tape()

    threads = [threading.Thread(target=oscillator), threading.Thread(target=breakdowns)]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", trevolan.ModelWarning)  # the long run rewinds its tape
        threads[0].start()
        started.wait()
        threads[1].start()
        threads[1].join()
        # The long run lets go of the interpreter while it computes: the other thread
        # has run its whole model meanwhile.
        assert threads[0].is_alive()
        threads[0].join()
    for got, want in zip(results, sequential):
        assert got.tobytes() == want.tobytes()


def test_example_script_runs_without_plotting():
    env = dict(os.environ, MPLBACKEND="Agg")
    done = subprocess.run([sys.executable, str(ROOT / "examples" / "python" / "damped_oscillator.py"), "--no-plot"],
                          capture_output=True, text=True, env=env, check=False, timeout=120)
    assert done.returncode == 0, done.stderr
    lines = done.stdout.splitlines()
    assert lines[0].split() == ["damping", "ratio", "peak", "ratio"]
    ratios = {float(line.split()[0]): float(line.split()[1]) for line in lines[1:]}
    # The damping the model file holds: each peak 0.730 times the one before.
    assert ratios[0.05] == pytest.approx(0.730, abs=0.002)
    assert list(ratios.values()) == sorted(ratios.values(), reverse=True)
