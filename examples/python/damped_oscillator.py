#!/usr/bin/env python3
"""The damped oscillator of examples/damped_oscillator.txt at several dampings.

Simulates the model with the damping coefficient of its acceleration block (104.cc) set
for each damping ratio and prints how much each peak of the position is of the one
before. With matplotlib installed it plots the positions.

    PYTHONPATH=build/python python3 examples/python/damped_oscillator.py [--no-plot] [--save FILE]
"""
import argparse
import importlib
import math
import pathlib
from typing import Any

import numpy as np
import numpy.typing as npt

import trevolan

MODEL = pathlib.Path(__file__).resolve().parents[1] / "damped_oscillator.txt"
OMEGA = 2 * math.pi / 20  # the natural period of the model is 20 time units


def peak_ratio(position: npt.NDArray[np.float64]) -> float:
    """The mean ratio of each peak of the position to the one before."""
    inner = position[1:-1]
    peaks = inner[(inner > position[:-2]) & (inner >= position[2:]) & (inner > 0)]
    return float(np.mean(peaks[1:] / peaks[:-1]))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--no-plot", action="store_true", help="print the table only")
    parser.add_argument("--save", metavar="FILE", help="write the plot to FILE instead of showing it")
    args = parser.parse_args()

    runs: dict[float, Any] = {}
    print("damping ratio   peak ratio")
    for zeta in (0.0, 0.02, 0.05, 0.1, 0.2):
        # The damper: acceleration -c v. Samples every GrDel, indexed by Time.
        runs[zeta] = trevolan.simulate(MODEL, params={"104.cc": -2 * zeta * OMEGA}, outputs=["position"])
        print(f"{zeta:<15} {peak_ratio(np.asarray(runs[zeta]['position'], dtype=float)):.4f}")

    if args.no_plot:
        return
    try:
        plt: Any = importlib.import_module("matplotlib.pyplot")
    except ImportError:
        print("matplotlib is not installed: no plot")
        return
    for zeta, samples in runs.items():
        # A DataFrame indexed by Time, or a structured array with a Time field without pandas.
        time = samples.index if hasattr(samples, "index") else samples["Time"]
        plt.plot(time, samples["position"], label=f"damping ratio {zeta}")
    plt.xlabel("Time")
    plt.ylabel("position")
    plt.legend()
    if args.save:
        plt.savefig(args.save)
    else:
        plt.show()


if __name__ == "__main__":
    main()
