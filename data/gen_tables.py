#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: Meltor contributors
"""Generate FlightTables1.sql, the climb-time tables Meltor ships with.

Usage:
    python3 data/gen_tables.py                   # SQL to standard output
    python3 data/gen_tables.py data/FlightTables1.sql

Either form writes exactly the same bytes (UTF-8, LF line ends, no timestamps),
so regenerating reproduces the checked-in file byte for byte. The sqlite3 shell
turns the SQL into the database the program opens:

    sqlite3 FlightTables1.mdb < data/FlightTables1.sql

The climb model and the figures behind it are described in data/README.md.
Standard library only.
"""

import math
import sys
from dataclasses import dataclass

# Rate of climb (m/s) that defines the service ceiling.
SERVICE_CEILING_RATE = 0.5

# Cloud-base rows of every in-cloud grid (m). Each one is also a height of the
# climb table, so a cell whose top also lies on the climb table is reproduced
# from it to within rounding.
CLOUD_BASES = [0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000,
               1250, 1500, 2000, 2500, 3000, 4000, 5000]

# Column keys of the L-39 grid: the height of the cloud tops (m).
TOP_KEYS = [100, 200, 300, 400, 500, 600, 800, 1000, 1250, 1500,
            2000, 2500, 3000, 3500, 4000, 5000, 6000, 7000, 8000,
            9000, 10000, 11000, 12000]

# Column keys of the other grids: the thickness of the cloud layer (m).
THICKNESS_KEYS = [100, 200, 300, 400, 500, 600, 700, 800, 900, 1000,
                  1250, 1500, 2000, 2500, 3000, 3500, 4000, 5000, 6000,
                  7000, 8000, 10000, 12000]

# Field 1 of the key row. Below every column key and every cloud base
# (0 m is a cloud base), so a reader can tell the key row from the others.
CORNER = -1

# Largest number of fields a grid row may have, key field included.
MAX_FIELDS = 24


@dataclass(frozen=True)
class Aircraft:
    suffix: str        # table-name suffix the program looks for
    name: str          # type name as shown in comments
    ceiling: int       # service ceiling Hs, m
    rate0: float       # rate of climb at sea level V0, m/s
    keyed_by_top: bool  # grid columns are cloud tops (True) or thicknesses

    @property
    def absolute_ceiling(self) -> float:
        """Ha, chosen so that the rate of climb falls to 0.5 m/s at Hs."""
        return self.ceiling / (1.0 - SERVICE_CEILING_RATE / self.rate0)

    def rate(self, h: float) -> float:
        """Rate of climb (m/s) at height h: falls linearly to zero at Ha."""
        return self.rate0 * (1.0 - h / self.absolute_ceiling)

    def climb_time(self, h: float) -> float:
        """Seconds from 0 m to height h, unrounded.

        Integrating dt = dh / rate(h) gives (Ha/V0) * ln(Ha / (Ha - h)).
        Heights above the service ceiling are clamped to it: the aircraft
        gets no higher in this model, so it spends no more time climbing.
        """
        if h < 0:
            raise ValueError(f"negative height {h}")
        h = min(h, self.ceiling)
        ha = self.absolute_ceiling
        return ha / self.rate0 * math.log(ha / (ha - h))


AIRCRAFT = [
    Aircraft("L39", "L-39", 11000, 20.0, True),
    Aircraft("Su24", "Su-24", 11000, 70.0, False),
    Aircraft("Su25", "Su-25", 7000, 45.0, False),
    Aircraft("Su27", "Su-27", 18500, 110.0, False),
    Aircraft("MiG29", "MiG-29", 18000, 110.0, False),
    Aircraft("MiG31", "MiG-31", 20600, 90.0, False),
]


def round_seconds(t: float) -> int:
    """Round half up to whole seconds (all times here are >= 0).

    A value within a hair of .5 could round differently on a machine whose
    log() differs in the last bit, and the output would stop being
    reproducible; refuse it rather than write it.
    """
    if t < 0:
        raise ValueError(f"negative time {t}")
    frac = t - math.floor(t)
    if abs(frac - 0.5) < 1e-6:
        raise ValueError(f"time {t!r} too close to a rounding tie")
    value = math.floor(t + 0.5)
    if not -32768 <= value <= 32767:
        raise ValueError(f"time {value} does not fit 16 bits")
    return value


def climb_heights(ceiling: int) -> list[int]:
    """Heights of the climb table: 100 m steps to 1000 m, 250 m steps to
    3000 m, 500 m steps above, and 100 m steps again over the last 1000 m
    below the service ceiling, where the rate of climb dies away and the
    time curve bends too sharply for 500 m steps to interpolate well.
    The last height is the service ceiling itself."""
    fine_from = ceiling - 1000
    heights = list(range(0, 1000, 100)) + list(range(1000, 3000, 250))
    heights += list(range(3000, fine_from, 500))
    heights = [h for h in heights if h < fine_from]
    heights += list(range(fine_from, ceiling + 1, 100))
    return heights


def climb_rows(ac: Aircraft) -> list[tuple[int, int]]:
    return [(h, round_seconds(ac.climb_time(h))) for h in climb_heights(ac.ceiling)]


def cloud_seconds(ac: Aircraft, base: int, key: int) -> float:
    """Unrounded time in cloud for one grid cell."""
    if ac.keyed_by_top:
        top = key
        if top <= base:
            return 0.0
    else:
        top = base + key
    return ac.climb_time(top) - ac.climb_time(base)


def cloud_rows(ac: Aircraft) -> list[list[int]]:
    """Key row first, then one row per cloud base."""
    keys = TOP_KEYS if ac.keyed_by_top else THICKNESS_KEYS
    rows = [[CORNER] + keys]
    for base in CLOUD_BASES:
        rows.append([base] + [round_seconds(cloud_seconds(ac, base, k)) for k in keys])
    return rows


def values(row) -> str:
    return "(" + ", ".join(str(v) for v in row) + ")"


GRID_COLUMNS = [f"c{j}" for j in range(1, MAX_FIELDS)]


def schema_sql() -> list[str]:
    """The two base tables every type's rows go into; the views pick one type each."""
    return [
        "",
        "-- Climb tables of every type: height (m), seconds from 0 m to that height.",
        "-- ord only orders a type's records (a table may list heights in any order) and is",
        "-- not part of the view.",
        "CREATE TABLE pod (type TEXT NOT NULL, ord INTEGER NOT NULL, height INTEGER NOT NULL,"
        " seconds INTEGER, PRIMARY KEY (type, ord)) WITHOUT ROWID;",
        "",
        "-- In-cloud grids of every type: record 0 holds the corner value and the column",
        "-- keys, each further record a cloud base (m) and the seconds spent in cloud.",
        "-- ord only orders a type's records and is not part of the view.",
        "CREATE TABLE obl (type TEXT NOT NULL, ord INTEGER NOT NULL, base INTEGER NOT NULL, "
        + ", ".join(f"{c} INTEGER" for c in GRID_COLUMNS)
        + ", PRIMARY KEY (type, ord)) WITHOUT ROWID;",
    ]


def aircraft_sql(ac: Aircraft) -> list[str]:
    grid = cloud_rows(ac)
    if len(grid[0]) != MAX_FIELDS:
        raise ValueError(f"{ac.suffix}: {len(grid[0])} fields, the grid table has {MAX_FIELDS}")
    column_kind = "cloud top height" if ac.keyed_by_top else "cloud layer thickness"
    tag = f"'{ac.suffix}'"

    out = [
        "",
        f"-- {ac.name}: service ceiling {ac.ceiling} m, {ac.rate0:g} m/s at sea level,"
        f" absolute ceiling {ac.absolute_ceiling:.1f} m.",
        "",
    ]
    out += [f"INSERT INTO pod VALUES {values([tag, i] + list(r))};"
            for i, r in enumerate(climb_rows(ac))]
    out.append(f'CREATE VIEW "Z_Time_Pod_{ac.suffix}" AS'
               f" SELECT height, seconds FROM pod WHERE type = {tag} ORDER BY ord;")
    out += [
        "",
        f"-- In-cloud grid: record 0 holds {CORNER} and the column keys ({column_kind}, m).",
    ]
    out += [f"INSERT INTO obl VALUES {values([tag, i] + r)};" for i, r in enumerate(grid)]
    out.append(f'CREATE VIEW "Z_Time_Obl_{ac.suffix}" AS SELECT base, '
               + ", ".join(GRID_COLUMNS) + f" FROM obl WHERE type = {tag} ORDER BY ord;")
    return out


def render() -> str:
    lines = [
        "-- SPDX-License-Identifier: GPL-3.0-or-later",
        "-- SPDX-FileCopyrightText: Meltor contributors",
        "-- FlightTables1.sql: climb-time tables shipped with Meltor.",
        "-- Generated by data/gen_tables.py from a simple climb model (see data/README.md).",
        "-- Edit the script and regenerate; do not edit this file by hand.",
        "-- Build the database with: sqlite3 FlightTables1.mdb < FlightTables1.sql",
        "",
        "BEGIN;",
    ]
    lines += schema_sql()
    for ac in AIRCRAFT:
        lines += aircraft_sql(ac)
    lines += ["", "COMMIT;", ""]
    return "\n".join(lines)


def main(argv: list[str]) -> int:
    if len(argv) > 2 or (len(argv) == 2 and argv[1] in ("-h", "--help")):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    data = render().encode("utf-8")
    if len(argv) == 2:
        with open(argv[1], "wb") as f:
            f.write(data)
    else:
        # Bytes, not text: no newline translation on any platform.
        sys.stdout.buffer.write(data)
        sys.stdout.buffer.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
