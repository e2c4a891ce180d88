"""Trevolan models from Python: simulate block diagrams, Petri nets and material flow.

    >>> import trevolan
    >>> df = trevolan.simulate("examples/damped_oscillator.txt", outputs=["position"])
    >>> m = trevolan.Model.open("examples/damped_oscillator.txt")
    >>> m.apply(104, cc=-0.05); m.reset(); m.finish()
    >>> m["Time"], m["102.Value"]
"""
import ast
import inspect
import sys
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
def simulate(model, *, stop=None, start=None, step=None, params=None, outputs=None, every=None, seed=None,
             inputs=None, interpolate=False, reset=True, progress=None, timeout=None):
    return _trevolan.simulate(model, stop=stop, start=start, step=step, params=params, outputs=outputs,
                              every=every, seed=seed, inputs=inputs, interpolate=interpolate, reset=reset,
                              progress=_progress_of(progress, "simulate"), timeout=timeout)


def study(model, *, progress=None, timeout=None, **options):
    return _trevolan.study(model, progress=_progress_of(progress, "study"), timeout=timeout, **options)


def _progress_of(progress, call):
    """progress=True as a function progress(done, total): a tqdm bar when tqdm is
    installed, else the batch runner's line on standard error, rewritten in place."""
    if progress is not True:
        return None if progress is False else progress
    try:
        from tqdm.auto import tqdm
    except ImportError:
        tqdm = None
    bar = None

    def show(done, total):
        nonlocal bar
        if tqdm is not None:
            if bar is None:
                bar = tqdm(total=total, desc=call, unit=" Time" if call == "simulate" else " runs")
            bar.update(done - bar.n)
            if done >= total:
                bar.close()
            return
        if call == "simulate":
            share = 100.0 * done / total if total else 0.0
            line = f"\rTime {done:.15g} ({share:5.1f}% of FinTim)   "
        else:
            line = f"\r{done:.0f} of {total:.0f} runs   "
        sys.stderr.write(line + ("\n" if done >= total else ""))
        sys.stderr.flush()

    return show


simulate.__doc__ = _trevolan.simulate.__doc__.split("\n", 1)[1].lstrip() if "\n" in (_trevolan.simulate.__doc__ or "") else None


def _study_help(doc, rows):
    """study()'s signature and help from the table of study options: a keyword each."""
    Parameter = inspect.Parameter
    study.__signature__ = inspect.Signature(
        [Parameter("model", Parameter.POSITIONAL_OR_KEYWORD)]
        + [Parameter(row["keyword"], Parameter.KEYWORD_ONLY, default=None) for row in rows]
        + [Parameter(name, Parameter.KEYWORD_ONLY, default=None) for name in ("progress", "timeout")])
    keywords = [textwrap.fill(f"{row['keyword']} ({row['type']}; {row['option']}): {row['help']}", 88,
                              subsequent_indent="    ", break_on_hyphens=False) for row in rows]
    study.__doc__ = doc.split("\n", 1)[1].strip() + "\n\nKeywords:\n" + "\n".join(keywords)


_study_help(_trevolan.study.__doc__, _trevolan._study_options())

def _signature_of(doc):
    """The signature pybind11 writes as the first line of a method's docstring,
    "name(self: trevolan.Model, target: str, /, *, every: float = None) -> None", as an
    inspect.Signature (the extension's methods have none that inspect can read)."""
    Parameter = inspect.Parameter
    inside = doc.split("\n", 1)[0]
    inside = inside[inside.index("(") + 1:inside.rindex(")")]
    parts, depth, part = [], 0, ""
    for c in inside:  # split at the commas outside brackets
        depth += c in "([" and 1 or (c in ")]" and -1 or 0)
        if c == "," and depth == 0:
            parts.append(part.strip())
            part = ""
        else:
            part += c
    if part.strip():
        parts.append(part.strip())
    kind, parameters = Parameter.POSITIONAL_OR_KEYWORD, []
    for part in parts:
        if part == "/":
            parameters = [p.replace(kind=Parameter.POSITIONAL_ONLY) for p in parameters]
            continue
        if part == "*":
            kind = Parameter.KEYWORD_ONLY
            continue
        name, _, default = part.partition("=")
        name = name.split(":")[0].strip()
        if name.startswith("**"):
            parameters.append(Parameter(name[2:], Parameter.VAR_KEYWORD))
        elif name.startswith("*"):
            parameters.append(Parameter(name[1:], Parameter.VAR_POSITIONAL))
            kind = Parameter.KEYWORD_ONLY
        elif default:
            try:
                value = ast.literal_eval(default.strip())
            except (ValueError, SyntaxError):
                value = None
            parameters.append(Parameter(name, kind, default=value))
        else:
            parameters.append(Parameter(name, kind))
    return inspect.Signature(parameters)


def _readable(cls, name, native):
    """The method `name` of the extension's class as a Python function with the same
    work, help and a signature that inspect reads."""
    static = isinstance(inspect.getattr_static(cls, name), staticmethod)

    def method(*args, **kwargs):
        return native(*args, **kwargs)

    method.__name__, method.__qualname__ = name, f"{cls.__name__}.{name}"
    method.__doc__ = (native.__doc__ or "").split("\n", 1)[-1].strip() or None
    method.__signature__ = _signature_of(native.__doc__)
    method.__module__ = "trevolan"
    setattr(cls, name, staticmethod(method) if static else method)


def _repr_png_(self):
    """The diagram as PNG, as a notebook shows a Model, when cairosvg is installed (it
    draws the SVG of _repr_svg_); None otherwise, and the notebook shows the SVG."""
    try:
        import cairosvg
    except ImportError:
        return None
    return cairosvg.svg2png(bytestring=self._repr_svg_().encode())


Model._repr_png_ = _repr_png_


def _to_frame(self, table="summary"):
    """The summary (one row a case, indexed by case) or, with table="runs", the runs
    with their status (one row a run) as a pandas DataFrame; the structured array itself
    when pandas is not installed."""
    if table not in ("summary", "runs"):
        raise ValueError(f"to_frame: table {table!r}: the tables are 'summary' and 'runs'")
    records = self.summary if table == "summary" else self.runs
    try:
        import pandas
    except ImportError:
        return records
    frame = pandas.DataFrame(records)
    if table == "runs":
        frame["status"] = self.status
        return frame
    return frame.set_index("case")


def _plot(self, ax=None):
    """Each measure's mean against the first varied target (the case without one), with
    the bars of its confidence interval, one panel a measure, drawn with matplotlib;
    returns the axes. ImportError when matplotlib is not installed."""
    import matplotlib.pyplot as plt

    names = self.summary_columns
    varied = names[1:names.index("runs")]
    measures = [n[len("mean("):-1] for n in names if n.startswith("mean(")]
    interval = {m: next(n for n in names if n.startswith("ci") and not n.startswith("ci_")
                        and n.endswith(f"({m})")) for m in measures}
    x = self.summary[varied[0]] if varied else self.summary["case"]
    if ax is None:
        _, ax = plt.subplots(1, len(measures), squeeze=False, figsize=(4 * len(measures), 3))
        ax = ax[0]
    for panel, m in zip(ax, measures):
        panel.errorbar(x, self.summary[f"mean({m})"], yerr=self.summary[interval[m]], fmt="o-", capsize=3)
        panel.set_xlabel(varied[0] if varied else "case")
        panel.set_ylabel(m)
    return ax


StudyResult.to_frame = _to_frame
StudyResult.plot = _plot
for _name in list(vars(Model)):
    _native = getattr(Model, _name)
    if callable(_native) and (getattr(_native, "__doc__", None) or "").startswith(_name + "(") and _name != "__new__":
        _readable(Model, _name, _native)
del _name, _native

# What `from trevolan import *` gives: not OverflowError, which would hide Python's own.
__all__ = ["Model", "simulate", "study", "StudyResult", "Error", "RangeError", "ConversionError", "FloatError",
           "IoError", "NotFoundError", "ModelWarning"]

# The classes say they are the package's, as users name them (and pickles find them).
for _cls in (Model, StudyResult):
    _cls.__module__ = "trevolan"
del _cls
