"""Executes a notebook with nbclient in its own folder and fails on the first cell
that raises: run_notebook.py NOTEBOOK."""
import pathlib
import sys

import nbclient
import nbformat

path = pathlib.Path(sys.argv[1]).resolve()
notebook = nbformat.read(path, as_version=4)
nbclient.NotebookClient(notebook, timeout=120, kernel_name="python3",
                        resources={"metadata": {"path": str(path.parent)}}).execute()
shown = [o for cell in notebook.cells for o in cell.get("outputs", [])]
# The model shows as its diagram and the study as a table; the run in halves is the whole.
assert any("image/svg+xml" in o.get("data", {}) for o in shown), "no diagram shown"
assert any("<table" in o.get("data", {}).get("text/html", "") for o in shown), "no study table shown"
assert any(o.get("data", {}).get("text/plain") == "(True, True)" for o in shown), "the halves are not the whole run"
print(f"{path.name}: {len(notebook.cells)} cells ran")
