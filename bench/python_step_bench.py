#!/usr/bin/env python3
"""Speed of the Python module: one step() on the 20-block model of the benchmarks (five
damped oscillators, bench/models.h) and one tape() of a full tape of 10,001 rows of ten
channels; advance(to=...) and finish() per simulated step; a run of a million samples of
ten targets recorded against the same run without recording, and the memory that
simulate() of such a run takes against the size of its samples. Prints the median of
several rounds; compare the step with BM_StepButton20Blocks of build/bin/trevolan_bench,
the same press of STEP in C++.

    PYTHONPATH=build/python python3 bench/python_step_bench.py
"""
import pathlib
import resource
import statistics
import subprocess
import sys
import tempfile
import time

import trevolan

ROUNDS = 9


def oscillator_bank(model, oscillators=5, first=101):
    """The same blocks as OscillatorBank() of bench/models.h."""
    for o in range(oscillators):
        v, x, spring, accel = (first + 4 * o + k for k in range(4))
        for block, kind in ((v, "I"), (x, "I"), (spring, "&"), (accel, "&")):
            model[f"{block}.Type"] = kind
            model[f"{block}.OnOff"] = 1
        model[f"{v}.An"], model[f"{v}.cc"] = accel, 1
        model[f"{x}.An"], model[f"{x}.cc"], model[f"{x}.dd"] = v, 1, 1 + o
        model[f"{spring}.Bn"], model[f"{spring}.bb"], model[f"{spring}.pp"] = x, -0.1, 1
        model[f"{accel}.An"], model[f"{accel}.Cn"] = spring, v
        model[f"{accel}.cc"], model[f"{accel}.pp"] = -0.03, 1
        model["HighestBlock"] = accel
    return model


def per_call(call, calls):
    """The median time of one call over ROUNDS rounds of `calls` calls, in ns of the
    thread's processor time (as Google Benchmark's CPU column: other programs running
    on the machine count less) and of the wall clock."""
    cpu, wall = [], []
    for _ in range(ROUNDS):
        start_cpu, start_wall = time.thread_time_ns(), time.perf_counter_ns()
        for _ in range(calls):
            call()
        cpu.append((time.thread_time_ns() - start_cpu) / calls)
        wall.append((time.perf_counter_ns() - start_wall) / calls)
    return statistics.median(cpu), statistics.median(wall)


def step_model():
    model = oscillator_bank(trevolan.Model())
    model["Delt"] = 0.01  # TimeTol follows: 0.001 x Delt
    for name in ("FinTim", "Holdstep", "Holdnext", "GrDel", "GrNext"):  # each within the rules as it comes
        model[name] = 1e12
    model.reset()
    return model


def full_tape_model(folder):
    """Ten channels recorded at every step up to the tape's 10,001 rows."""
    model = oscillator_bank(trevolan.Model.new())
    model["19.stored"] = [10] + list(range(101, 111))
    model.timing(delt=0.01, graph=0.01, hold=1e12, finish=100)
    path = pathlib.Path(folder) / "bank.txt"
    model.save(path)
    model = trevolan.Model.open(path)
    model.reset()
    model.finish()
    return model


def main():
    step = step_model()
    cpu, wall = per_call(step.step, 100_000)
    print(f"step() on 20 blocks: median {cpu:8.0f} ns processor time, {wall:8.0f} ns wall clock")
    with tempfile.TemporaryDirectory() as folder:
        full = full_tape_model(folder)
    shape = full.tape().shape
    cpu, wall = per_call(full.tape, 200)
    print(f"tape() of {shape[0]} x {shape[1]}: median {cpu / 1000:8.1f} us processor time, "
          f"{wall / 1000:8.1f} us wall clock")


def run_to(model, until, record):
    """A run from RESET to `until`, recording the ten blocks at every step or not."""
    def run():
        model.reset()
        if record:
            model.record([str(b) + ".Value" for b in range(101, 111)], every=0.01)
        model.advance(to=until)
    return run


def main_runs():
    model = step_model()
    steps = 1_000_000
    cpu_advance, _ = per_call(run_to(model, steps * 0.01, False), 1)
    model["FinTim"] = steps * 0.01
    cpu_finish, _ = per_call(lambda: (model.reset(), model.finish()), 1)
    print(f"advance(to=...) per step: median {cpu_advance / steps:6.1f} ns; finish() per step "
          f"{cpu_finish / steps:6.1f} ns")
    cpu_recorded, _ = per_call(run_to(model, steps * 0.01, True), 1)
    print(f"10^6 steps recording 10 targets at every step: median {cpu_recorded / 1e6:7.1f} ms, "
          f"without recording {cpu_advance / 1e6:7.1f} ms, ratio {cpu_recorded / cpu_advance:4.2f}")


def memory_of_recording():
    """Run in a process of its own, so that its peak is this recording's: the growth of
    the resident set over simulate() of a million samples of ten targets."""
    model = step_model()
    model["FinTim"] = 1_000_000 * 0.01
    targets = [f"{b}.Value" for b in range(101, 111)]
    trevolan.simulate(model, outputs=targets, every=1.0, stop=1.0)  # pandas, numpy and the copy loaded first
    before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    frame = trevolan.simulate(model, outputs=targets, every=0.01)
    grown = (resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) * 1024
    data = frame.shape[0] * (frame.shape[1] + 1) * 8
    print(f"simulate() of {frame.shape[0]} samples of {frame.shape[1]} targets: {data / 1e6:.0f} MB of samples, "
          f"resident memory grew by {grown / 1e6:.0f} MB ({grown / data:.2f}x)")


if __name__ == "__main__":
    if sys.argv[1:] == ["--memory"]:
        memory_of_recording()
        sys.exit()
    subprocess.run([sys.executable, __file__, "--memory"], check=True)
    main()
    main_runs()
