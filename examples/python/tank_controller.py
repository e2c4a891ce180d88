#!/usr/bin/env python3
"""The tank of examples/tank_controller.txt with its controller in Python instead of
the spreadsheet tank_controller.fods.

The user block (block 20) hands its row of values to the function below once a time
unit, as it hands them to Calc: the five outputs and Value of the block (B1..G1), then
the ten values it links (H1..Q1; the first is the tank's level). The function returns
the row the block reads back (B2..Q2); the spreadsheet's formula H2 = MAX(0; 0.2*(50-H1))
sets the inflow (block 21, U1) from the level. The tank settles where it does with Calc.

    PYTHONPATH=build/python python3 examples/python/tank_controller.py
"""
import pathlib
from collections.abc import Sequence

import trevolan

MODEL = pathlib.Path(__file__).resolve().parents[1] / "tank_controller.txt"


def controller(time: float, row: Sequence[float]) -> list[float]:
    """Row 2 of the spreadsheet: row 1 as it is, with the inflow set from the level."""
    answer = list(row)
    level = row[6]
    answer[6] = max(0.0, 0.2 * (50 - level))
    return answer


def main() -> None:
    model = trevolan.Model.open(MODEL)
    model.on_exchange(controller)
    model.reset()
    model.finish()
    print(f"level at Time {model['Time']:.0f}: {model['101.Value']:.2f}")


if __name__ == "__main__":
    main()
