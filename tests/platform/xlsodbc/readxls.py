#!/usr/bin/python3
"""Prints a workbook as xlrd reads it, as JSON: per sheet its name, rows
(None for an empty cell, trailing empty cells dropped) and whether every
cell is text, plus whatever xlrd logged while reading.

  readxls.py FILE            all rows
  readxls.py FILE --summary  only row count, first and last row
"""
import io
import json
import sys

import xlrd


def main():
    path = sys.argv[1]
    summary = "--summary" in sys.argv[2:]
    log = io.StringIO()
    book = xlrd.open_workbook(path, logfile=log, verbosity=0)
    sheets = []
    for sh in book.sheets():
        rows = []
        text_only = True
        for r in range(sh.nrows):
            row = []
            for c in range(sh.ncols):
                cell = sh.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    row.append(None)
                else:
                    text_only = text_only and cell.ctype == xlrd.XL_CELL_TEXT
                    row.append(cell.value)
            while row and row[-1] is None:
                row.pop()
            rows.append(row)
        entry = {"name": sh.name, "nrows": sh.nrows, "textOnly": text_only}
        if summary:
            entry["first"] = rows[0] if rows else None
            entry["last"] = rows[-1] if rows else None
        else:
            entry["rows"] = rows
        sheets.append(entry)
    json.dump({"sheets": sheets, "log": log.getvalue(), "codepage": book.codepage,
               "biff": book.biff_version}, sys.stdout)


if __name__ == "__main__":
    main()
