"""Trevolan models from Python: simulate block diagrams, Petri nets and material flow.

    >>> import trevolan
    >>> df = trevolan.simulate("examples/damped_oscillator.txt", outputs=["position"])
    >>> m = trevolan.Model.open("examples/damped_oscillator.txt")
    >>> m.apply(104, cc=-0.05); m.reset(); m.finish()
    >>> m["Time"], m["102.Value"]
"""
import warnings

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


def _at_caller(call, *args, **kwargs):
    """The call's warnings shown at the line of the caller's caller, not here."""
    with warnings.catch_warnings(record=True) as said:
        warnings.simplefilter("always")
        result = call(*args, **kwargs)
    for w in said:
        warnings.warn(w.message, w.category, stacklevel=3)
    return result


# The calls of the package in Python, so that help() and inspect.signature() show their
# parameters; the work is the extension's.
def simulate(model, *, stop=None, start=None, step=None, params=None, outputs=None, every=None, seed=None):
    return _at_caller(_trevolan.simulate, model, stop=stop, start=start, step=step, params=params,
                      outputs=outputs, every=every, seed=seed)


def study(model, *, set=None, vary=None, replications=1, seed=1, measures=(), warmup=None, jobs=None, crn=False,
          baseline=None, precision=None, max_replications=None, confidence=None, tapes=None):
    return _at_caller(_trevolan.study, model, set=set, vary=vary, replications=replications, seed=seed,
                      measures=list(measures), warmup=warmup, jobs=jobs, crn=crn, baseline=baseline,
                      precision=precision, max_replications=max_replications, confidence=confidence, tapes=tapes)


simulate.__doc__ = _trevolan.simulate.__doc__.split("\n", 1)[1].lstrip() if "\n" in (_trevolan.simulate.__doc__ or "") else None
study.__doc__ = _trevolan.study.__doc__.split("\n", 1)[1].lstrip() if "\n" in (_trevolan.study.__doc__ or "") else None

# What `from trevolan import *` gives: not OverflowError, which would hide Python's own.
__all__ = ["Model", "simulate", "study", "StudyResult", "Error", "RangeError", "ConversionError", "FloatError",
           "IoError", "NotFoundError", "ModelWarning"]

# The classes say they are the package's, as users name them (and pickles find them).
for _cls in (Model, StudyResult):
    _cls.__module__ = "trevolan"
del _cls
