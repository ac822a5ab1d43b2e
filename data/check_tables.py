#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: Meltor contributors
"""Check a built climb-tables database against the rules the program relies on.

Usage:
    python3 data/check_tables.py MDB DATA_DIR

    MDB       the database built from FlightTables1.sql
              (sqlite3 FlightTables1.mdb < data/FlightTables1.sql)
    DATA_DIR  the folder holding gen_tables.py and FlightTables1.sql

Exit status 0 when everything holds, 1 with one message per problem on
standard error when something does not, 2 on wrong arguments.

What is checked:
  * every "Z_Time_Pod_S" and "Z_Time_Obl_S" view exists;
  * climb tables: two fields, start at (0 m, 0 s), heights rising, times never falling,
    reaching at least the type's service ceiling;
  * in-cloud grids: at most 24 fields and 32765 records, key row first with a
    corner below every column key and cloud base, keys and bases rising,
    bases from 0 m to at least 5000 m;
  * every value a whole number within -32768..32767;
  * every grid cell agrees with the type's own climb table (see
    cell_tolerance() for how far it may be off and why);
  * gen_tables.py regenerates FlightTables1.sql byte for byte, and MDB holds
    exactly what that SQL builds.
Standard library only.
"""

import importlib.util
import os
import sqlite3
import sys

SUFFIXES = ["L39", "Su24", "Su25", "Su27", "MiG29", "MiG31"]
# Types whose grid columns are cloud-top heights; the rest use thicknesses.
TOP_KEYED = {"L39"}

MAX_FIELDS = 24
MAX_RECORDS = 32765
INT16 = (-32768, 32767)
MIN_TOP_BASE = 5000  # the grid must cover cloud bases up to at least this
SQL_NAME = "FlightTables1.sql"


def load_generator(data_dir):
    sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
    path = os.path.join(data_dir, "gen_tables.py")
    module_spec = importlib.util.spec_from_file_location("gen_tables", path)
    module = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(module)
    return module


def read_view(con, name):
    """(field count, rows) of a view, in the order the view returns them."""
    cur = con.execute(f'SELECT * FROM "{name}"')
    rows = cur.fetchall()
    return len(cur.description), rows


def check_values(name, rows, errors):
    """Every value a 16-bit whole number; returns False if not."""
    for i, row in enumerate(rows):
        for j, v in enumerate(row):
            if type(v) is not int:
                errors.append(f"{name}: record {i + 1} field {j + 1} is {v!r}, not a whole number")
                return False
            if not INT16[0] <= v <= INT16[1]:
                errors.append(f"{name}: record {i + 1} field {j + 1} = {v} does not fit 16 bits")
                return False
    return True


def strictly_rising(seq):
    return all(a < b for a, b in zip(seq, seq[1:]))


def check_climb(name, fields, rows, ceiling, errors):
    if fields != 2:
        errors.append(f"{name}: {fields} fields, expected 2")
        return False
    if not 2 <= len(rows) <= MAX_RECORDS:
        errors.append(f"{name}: {len(rows)} records")
        return False
    if not check_values(name, rows, errors):
        return False
    heights = [r[0] for r in rows]
    times = [r[1] for r in rows]
    ok = True
    if rows[0] != (0, 0):
        errors.append(f"{name}: first record is {rows[0]}, expected (0, 0)")
        ok = False
    if not strictly_rising(heights):
        errors.append(f"{name}: heights not in ascending order")
        ok = False
    # Whole seconds: a 100 m step of a fast climber can round to no change.
    if any(a > b for a, b in zip(times, times[1:])) or times[-1] <= times[0]:
        errors.append(f"{name}: climb time does not rise with height")
        ok = False
    if heights[-1] < ceiling:
        errors.append(f"{name}: ends at {heights[-1]} m, below the service ceiling {ceiling} m")
        ok = False
    return ok


def check_grid_shape(name, fields, rows, errors):
    if not 2 <= fields <= MAX_FIELDS:
        errors.append(f"{name}: {fields} fields, expected 2..{MAX_FIELDS}")
        return False
    if not 2 <= len(rows) <= MAX_RECORDS:
        errors.append(f"{name}: {len(rows)} records, expected 2..{MAX_RECORDS}")
        return False
    if not check_values(name, rows, errors):
        return False
    corner, keys = rows[0][0], list(rows[0][1:])
    bases = [r[0] for r in rows[1:]]
    ok = True
    if corner >= min(keys) or corner >= min(bases):
        errors.append(f"{name}: corner {corner} is not below every column key and cloud base"
                      " (is the key row first?)")
        ok = False
    if min(keys) <= 0 or not strictly_rising(keys):
        errors.append(f"{name}: column keys must be positive and ascending: {keys}")
        ok = False
    if not strictly_rising(bases):
        errors.append(f"{name}: cloud bases not in ascending order: {bases}")
        ok = False
    if bases[0] != 0 or bases[-1] < MIN_TOP_BASE:
        errors.append(f"{name}: cloud bases run {bases[0]}..{bases[-1]} m,"
                      f" expected 0..{MIN_TOP_BASE} m or more")
        ok = False
    return ok


def interpolate(climb, h):
    """Climb time at h read off the climb table, and how far off it may be.

    Heights past the last record are clamped to it, as the generator clamps
    to the service ceiling. On a record the only error is its rounding, 0.5 s.
    Between records a and b the true time is somewhere between the two
    (climb time only grows with height), and so is the straight-line value,
    so they differ by at most the time the table gives for that step plus
    the rounding of its two ends.
    """
    h = max(climb[0][0], min(h, climb[-1][0]))
    for (ha, ta), (hb, tb) in zip(climb, climb[1:]):
        if h == ha:
            return float(ta), 0.5
        if ha < h < hb:
            return ta + (tb - ta) * (h - ha) / (hb - ha), (tb - ta) + 1.0
    return float(climb[-1][1]), 0.5


def cell_tolerance(slack_top, slack_base):
    """Allowed gap between a cell and its climb-table estimate: the error of
    each end plus 0.5 s for the cell's own rounding."""
    return slack_top + slack_base + 0.5


def check_grid_cells(name, rows, climb, top_keyed, errors):
    keys = rows[0][1:]
    worst = 0.0
    bad = 0
    for row in rows[1:]:
        base, cells = row[0], row[1:]
        if any(c < 0 for c in cells) or any(a > b for a, b in zip(cells, cells[1:])):
            errors.append(f"{name}: base {base}: time in cloud must be >= 0 and not"
                          f" fall as the column key grows: {list(cells)}")
            bad += 1
            continue
        t_base, s_base = interpolate(climb, base)
        for key, cell in zip(keys, cells):
            top = key if top_keyed else base + key
            if top_keyed and top <= base:
                if cell != 0:
                    errors.append(f"{name}: base {base} top {top}: {cell} s, expected 0")
                    bad += 1
                continue
            t_top, s_top = interpolate(climb, top)
            gap = abs(cell - (t_top - t_base))
            worst = max(worst, gap)
            if gap > cell_tolerance(s_top, s_base):
                errors.append(f"{name}: base {base} key {key}: {cell} s, the climb table"
                              f" gives {t_top - t_base:.1f} s")
                bad += 1
        if bad > 10:
            errors.append(f"{name}: giving up after {bad} bad cells")
            break
    return worst


def check_database(mdb, data_dir):
    """All problems found, as messages; an empty list means all is well.
    Also returns one summary line per aircraft type."""
    errors, summary = [], []
    gen = load_generator(data_dir)
    ceilings = {ac.suffix: ac.ceiling for ac in gen.AIRCRAFT}
    if sorted(ceilings) != sorted(SUFFIXES):
        errors.append(f"gen_tables.py knows types {sorted(ceilings)}, expected {sorted(SUFFIXES)}")

    sql_path = os.path.join(data_dir, SQL_NAME)
    with open(sql_path, "rb") as f:
        committed = f.read()
    regenerated = gen.render().encode("utf-8")
    if committed != regenerated:
        old, new = committed.split(b"\n"), regenerated.split(b"\n")
        line = next((i for i, (a, b) in enumerate(zip(old, new)) if a != b), min(len(old), len(new)))
        errors.append(f"{sql_path} differs from what gen_tables.py writes (first at line {line + 1});"
                      f" regenerate it")

    if not os.path.isfile(mdb):
        return errors + [f"{mdb}: no such file"], summary
    con = sqlite3.connect(f"file:{mdb}?mode=ro", uri=True)
    ref = sqlite3.connect(":memory:")
    try:
        ref.executescript(committed.decode("utf-8"))
        views = {r[0] for r in con.execute("SELECT name FROM sqlite_master WHERE type = 'view'")}
        for s in SUFFIXES:
            pod, obl = f"Z_Time_Pod_{s}", f"Z_Time_Obl_{s}"
            missing = [v for v in (pod, obl) if v not in views]
            if missing:
                errors += [f"view {v} is missing" for v in missing]
                continue
            pf, prow = read_view(con, pod)
            of, orow = read_view(con, obl)
            for v, rows in ((pod, prow), (obl, orow)):
                if rows != read_view(ref, v)[1]:
                    errors.append(f"{v}: does not match what {SQL_NAME} builds; rebuild {mdb}")
            climb_ok = check_climb(pod, pf, prow, ceilings.get(s, 0), errors)
            grid_ok = check_grid_shape(obl, of, orow, errors)
            if climb_ok and grid_ok:
                worst = check_grid_cells(obl, orow, prow, s in TOP_KEYED, errors)
                summary.append(f"{s}: climb {len(prow)}x{pf} up to {prow[-1][1]} s,"
                               f" grid {len(orow)}x{of} up to {max(max(r[1:]) for r in orow[1:])} s,"
                               f" largest gap to climb table {worst:.1f} s")
    finally:
        con.close()
        ref.close()
    return errors, summary


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    errors, summary = check_database(argv[1], argv[2])
    for line in summary:
        print(line)
    for e in errors:
        print(f"check_tables: {e}", file=sys.stderr)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
