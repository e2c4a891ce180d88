import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(os.environ.get("TREVOLAN_ROOT", pathlib.Path(__file__).resolve().parents[2]))
CLI = os.environ.get("TREVOLAN_CLI", str(ROOT / "build" / "bin" / "trevolan-cli"))
# The example models by the list of the build that made the batch runner, not every file
# of the folder: a tape or a model of a user's own there is no example.
EXAMPLES = (pathlib.Path(CLI).parents[1] / "example-models.list").read_text().split()


def example(name):
    return str(ROOT / "examples" / name)


def cli(*args):
    """Runs trevolan-cli and returns its output."""
    return subprocess.run([CLI, *args], capture_output=True, text=True, check=False).stdout


def model_text(path):
    """A model file without its line of the date and time it was recorded."""
    lines = pathlib.Path(path).read_text().splitlines()
    return [line for line in lines if not line.startswith("Recorded: ")]


@pytest.fixture
def oscillator():
    import trevolan

    return trevolan.Model.open(example("damped_oscillator.txt"))
