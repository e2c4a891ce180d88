"""Trevolan models from Python: simulate block diagrams, Petri nets and material flow.

    >>> import trevolan
    >>> df = trevolan.simulate("examples/damped_oscillator.txt", outputs=["position"])
    >>> m = trevolan.Model.open("examples/damped_oscillator.txt")
    >>> m.apply(104, cc=-0.05); m.reset(); m.finish()
    >>> m["Time"], m["102.Value"]
"""
import inspect
import textwrap

from . import _trevolan
from ._trevolan import (  # noqa: F401  (the names of the package)
    ConversionError,
    Error,
    FloatError,
    IoError,
    Model,
    ModelWarning,
    NotFoundError,
    OverflowError,
    RangeError,
    StudyResult,
    __version__,
)


# The calls of the package in Python, so that help() and inspect.signature() show their
# parameters; the work is the extension's, whose warnings point past these lines at the caller.
def simulate(model, *, stop=None, start=None, step=None, params=None, outputs=None, every=None, seed=None):
    return _trevolan.simulate(model, stop=stop, start=start, step=step, params=params, outputs=outputs,
                              every=every, seed=seed)


def study(model, **options):
    return _trevolan.study(model, **options)


simulate.__doc__ = _trevolan.simulate.__doc__.split("\n", 1)[1].lstrip() if "\n" in (_trevolan.simulate.__doc__ or "") else None


def _study_help(doc, rows):
    """study()'s signature and help from the table of study options: a keyword each."""
    Parameter = inspect.Parameter
    study.__signature__ = inspect.Signature(
        [Parameter("model", Parameter.POSITIONAL_OR_KEYWORD)]
        + [Parameter(row["keyword"], Parameter.KEYWORD_ONLY, default=None) for row in rows])
    keywords = [textwrap.fill(f"{row['keyword']} ({row['type']}; {row['option']}): {row['help']}", 88,
                              subsequent_indent="    ", break_on_hyphens=False) for row in rows]
    study.__doc__ = doc.split("\n", 1)[1].strip() + "\n\nKeywords:\n" + "\n".join(keywords)


_study_help(_trevolan.study.__doc__, _trevolan._study_options())

# What `from trevolan import *` gives: not OverflowError, which would hide Python's own.
__all__ = ["Model", "simulate", "study", "StudyResult", "Error", "RangeError", "ConversionError", "FloatError",
           "IoError", "NotFoundError", "ModelWarning"]

# The classes say they are the package's, as users name them (and pickles find them).
for _cls in (Model, StudyResult):
    _cls.__module__ = "trevolan"
del _cls
