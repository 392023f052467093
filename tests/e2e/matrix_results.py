"""Rows of the fault matrix: one JSON object per cell, one line each, in
<build tree>/fault-matrix/<name>.jsonl. tools/fault-matrix turns them into the tables of
docs/fault-matrix.md.

Keys: "path" ("serial" or "USB"), "cell" (short id), "fault" (what misbehaves, in words), "phase",
"expected" (what the person reads and the end state), "bound_s" and "measured_s" (numbers, seconds;
measured_s null when the end state never came), "ok" (boolean: the end state came, as expected,
within the bound).
"""
import json
import os

KEYS = ("path", "cell", "fault", "phase", "expected", "bound_s", "measured_s", "ok")


def results_file(build_tree, name):
    return os.path.join(build_tree, "fault-matrix", name + ".jsonl")


class MatrixResults:
    """Keeps the rows of one file current: a run replaces the rows of the cells it ran and keeps
    the others (a second test writing other cells of the same half, or an earlier run)."""

    def __init__(self, build_tree, name):
        self.file = results_file(build_tree, name)
        self.order = []
        os.makedirs(os.path.dirname(self.file), exist_ok=True)

    def rows(self):
        if not os.path.exists(self.file):
            return []
        with open(self.file) as f:
            return [json.loads(line) for line in f if line.strip()]

    def keep_only(self, cells):
        """Drops the rows of cells the table (a list of ids) no longer has and puts the others in its order."""
        self.order = list(cells)
        self._write([r for r in self.rows() if r.get("cell") in cells])

    def put(self, row):
        missing = [k for k in KEYS if k not in row]
        if missing:
            raise ValueError("row without %s" % ", ".join(missing))
        rows = self.rows()
        # A cell run again keeps its place.
        for i, r in enumerate(rows):
            if r.get("cell") == row["cell"]:
                rows[i] = row
                break
        else:
            rows.append(row)
        self._write(rows)

    def _write(self, rows):
        rows = sorted(rows, key=lambda r: self.order.index(r["cell"]) if r["cell"] in self.order else len(self.order))
        tmp = self.file + ".part"
        with open(tmp, "w") as f:
            for r in rows:
                f.write(json.dumps({k: r[k] for k in KEYS}, ensure_ascii=False) + "\n")
        os.replace(tmp, self.file)
