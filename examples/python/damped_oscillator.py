#!/usr/bin/env python3
"""The damped oscillator of examples/damped_oscillator.txt at several dampings.

Opens the model, sets the damping coefficient of its acceleration block (104.cc) for
each damping ratio, runs it to its finish time and prints how much each peak of the
position is of the one before. With matplotlib installed it plots the positions.

    PYTHONPATH=build/python python3 examples/python/damped_oscillator.py [--no-plot] [--save FILE]
"""
import argparse
import math
import pathlib

import numpy as np

import trevolan

MODEL = pathlib.Path(__file__).resolve().parents[1] / "damped_oscillator.txt"
OMEGA = 2 * math.pi / 20  # the natural period of the model is 20 time units


def peak_ratio(position):
    """The mean ratio of each peak of the position to the one before."""
    inner = position[1:-1]
    peaks = inner[(inner > position[:-2]) & (inner >= position[2:]) & (inner > 0)]
    return float(np.mean(peaks[1:] / peaks[:-1]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--no-plot", action="store_true", help="print the table only")
    parser.add_argument("--save", metavar="FILE", help="write the plot to FILE instead of showing it")
    args = parser.parse_args()

    runs = {}
    print("damping ratio   peak ratio")
    for zeta in (0.0, 0.02, 0.05, 0.1, 0.2):
        model = trevolan.Model.open(MODEL)
        model.apply(104, cc=-2 * zeta * OMEGA)  # the damper: acceleration -c v
        model.reset()
        model.finish()
        names = [name for name, _ in model.channels()]
        tape = model.tape()
        position = tape[:, names.index("position")]
        runs[zeta] = (tape[:, 0], position)
        print(f"{zeta:<15} {peak_ratio(position):.4f}")

    if args.no_plot:
        return
    try:
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib is not installed: no plot")
        return
    for zeta, (time, position) in runs.items():
        plt.plot(time, position, label=f"damping ratio {zeta}")
    plt.xlabel("Time")
    plt.ylabel("position")
    plt.legend()
    if args.save:
        plt.savefig(args.save)
    else:
        plt.show()


if __name__ == "__main__":
    main()
