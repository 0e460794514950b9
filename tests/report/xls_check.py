#!/usr/bin/python3
"""xls_check.py FILE.xls EXPECT.json

Reads an Excel 97-2003 workbook with two readers that are not the project's own, Debian's
python3-xlrd and perl Spreadsheet::ParseExcel (through xls_check.pl beside this file), and
compares what each saw with the expectations: sheet names in order, every cell's text (and
that it is a text cell), alignment, borders, column format and widths, frozen rows, and the
page setup. Each mismatch names the reader that saw it.

The expectations: {"layout": {...}, "sheets": [{"name": ..., "rows": [[texts], ...]}]},
"" for an empty cell. Layout keys (all optional): columns ("A:Q"), header_row_centered,
right_aligned (["D", "F:Q"]), vertical_center ({columns, column_format}), borders ({style:
"thin", range_rows: "all" or a count}), autofit ({min_ratio, max_ratio, max_pad_chars}),
freeze ({rows, cols}), landscape, print_scale, margins_cm ({top, ...}), margin_tolerance_in,
print_title_rows ("$1:$1"), header ({left, center, right}).

Exit status: 0 every reader agrees, 1 mismatches, 2 the file, the expectations or a reader
could not be read at all.
"""
import json
import os
import subprocess
import sys
import unicodedata

sys.dont_write_bytecode = True

ALIGN_H = {0: "general", 1: "left", 2: "centre", 3: "right"}
ALIGN_V = {0: "top", 1: "centre", 2: "bottom"}
THIN = 1
CM_PER_INCH = 2.54


def column_index(letters):
    n = 0
    for ch in letters.upper():
        n = n * 26 + ord(ch) - ord("A") + 1
    return n - 1


def columns(span):
    """"A:Q" -> [0..16], "D" -> [3]; a list of such spans -> their union."""
    if isinstance(span, list):
        return sorted({c for s in span for c in columns(s)})
    first, _, last = span.partition(":")
    return list(range(column_index(first), column_index(last or first) + 1))


def cell_name(r, c):
    name = ""
    c += 1
    while c:
        c, rest = divmod(c - 1, 26)
        name = chr(ord("A") + rest) + name
    return "%s%d" % (name, r + 1)


def display_width(text):
    """Half-width units: full-width and wide characters count two."""
    return sum(2 if unicodedata.east_asian_width(ch) in "WF" else 1 for ch in text)


def header_sections(text):
    """Splits a page header into its &L, &C and &R sections (text before any code is centre)."""
    sections = {"left": "", "center": "", "right": ""}
    current = "center"
    i = 0
    while i < len(text):
        if text[i] == "&" and i + 1 < len(text) and text[i + 1] in "LCRlcr":
            current = {"l": "left", "c": "center", "r": "right"}[text[i + 1].lower()]
            i += 2
            continue
        if text[i] == "&" and i + 1 < len(text):
            sections[current] += text[i:i + 2]
            i += 2
            continue
        sections[current] += text[i]
        i += 1
    return sections


def xlrd_model(path):
    import xlrd

    book = xlrd.open_workbook(path, formatting_info=True, on_demand=False)
    titles = {}
    for name in book.name_obj_list:
        if name.builtin and name.name == "Print_Titles" and name.result is not None:
            for ref in name.result.value or []:
                titles[name.scope] = [ref.coords[2], ref.coords[3] - 1]
    sheets = []
    for i, sh in enumerate(book.sheets()):
        cells = {}
        for r in range(sh.nrows):
            for c in range(sh.ncols):
                cell = sh.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                xf = book.xf_list[sh.cell_xf_index(r, c)]
                kind = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_BLANK: "blank"}.get(
                    cell.ctype, "number")
                b = xf.border
                cells["%d,%d" % (r, c)] = {
                    "type": kind,
                    "text": cell.value if kind == "text" else str(cell.value),
                    "h": xf.alignment.hor_align,
                    "v": xf.alignment.vert_align,
                    "b": [b.left_line_style, b.right_line_style, b.top_line_style,
                          b.bottom_line_style],
                }
        widths = {c: info.width / 256 for c, info in sh.colinfo_map.items()}
        column_v = {c: book.xf_list[info.xf_index].alignment.vert_align
                    for c, info in sh.colinfo_map.items()}
        frozen = None
        if sh.panes_are_frozen:
            frozen = {"rows": sh.horz_split_pos, "cols": sh.vert_split_pos,
                      "top": sh.horz_split_first_visible}
        sheets.append({"name": sh.name, "cells": cells, "widths": widths,
                       "column_v": column_v, "freeze": frozen,
                       "title_rows": titles.get(i)})
    return {"reader": "xlrd", "sheets": sheets}


def parseexcel_model(path):
    script = os.path.join(os.path.dirname(os.path.realpath(__file__)), "xls_check.pl")
    p = subprocess.run(["/usr/bin/perl", script, path], capture_output=True, timeout=300)
    if p.returncode != 0:
        raise RuntimeError("xls_check.pl ended with %d: %s%s" % (
            p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")))
    return json.loads(p.stdout.decode("utf-8"))


class Findings:
    def __init__(self):
        self.lines = []

    def add(self, reader, where, text):
        if len(self.lines) < 200:
            self.lines.append("[%s] %s: %s" % (reader, where, text))


def check_cells(rd, where, sheet, rows, cols, found):
    cells = sheet["cells"]
    for r, row in enumerate(rows):
        for c in cols:
            want = row[c] if c < len(row) else ""
            got = cells.get("%d,%d" % (r, c))
            empty = got is None or got["type"] == "blank" or (
                got["type"] == "text" and got["text"] == "")
            if want == "":
                if not empty:
                    found.add(rd, where, "%s should be empty, holds %r" % (
                        cell_name(r, c), got["text"]))
            elif empty:
                found.add(rd, where, "%s is empty, expected %r" % (cell_name(r, c), want))
            elif got["type"] != "text":
                found.add(rd, where, "%s is a %s cell, expected the text %r" % (
                    cell_name(r, c), got["type"], want))
            elif got["text"] != want:
                found.add(rd, where, "%s holds %r, expected %r" % (
                    cell_name(r, c), got["text"], want))
    for key, got in cells.items():
        r, c = map(int, key.split(","))
        if (r >= len(rows) or c not in cols) and got["type"] != "blank" and got["text"] != "":
            found.add(rd, where, "%s outside the expected table holds %r" % (
                cell_name(r, c), got["text"]))


def check_formats(rd, where, sheet, layout, formatted, cols, found):
    cells = sheet["cells"]
    right = set(columns(layout.get("right_aligned", [])))
    centred = layout.get("vertical_center")
    vcols = set(columns(centred.get("columns", "A:Q"))) if centred else set()
    borders = layout.get("borders")
    style = {"thin": THIN}.get((borders or {}).get("style", "thin"), THIN)
    for r in range(formatted):
        for c in cols:
            got = cells.get("%d,%d" % (r, c))
            name = cell_name(r, c)
            if got is None:
                if borders:
                    found.add(rd, where, "%s has no cell record, so no borders" % name)
                continue
            h = got["h"]
            if r == 0 and layout.get("header_row_centered") and h != 2:
                found.add(rd, where, "%s of the header row is %s, not centred" % (
                    name, ALIGN_H.get(h, h)))
            if r > 0 and c in right and h != 3:
                found.add(rd, where, "%s is %s, not right-aligned" % (name, ALIGN_H.get(h, h)))
            if c in vcols and got["v"] != 1:
                found.add(rd, where, "%s is vertically %s, not centred" % (
                    name, ALIGN_V.get(got["v"], got["v"])))
            if borders and got["b"] != [style] * 4:
                found.add(rd, where, "%s borders (left, right, top, bottom) are %s, not thin" % (
                    name, got["b"]))


def check_xlrd_sheet(where, sheet, layout, rows, cols, found):
    centred = layout.get("vertical_center")
    if centred and centred.get("column_format"):
        for c in columns(centred.get("columns", "A:Q")):
            v = sheet["column_v"].get(c)
            if v != 1:
                found.add("xlrd", where, "column %s's format is not vertically centred (%s)" % (
                    cell_name(0, c)[:-1], "no COLINFO" if v is None else ALIGN_V.get(v, v)))
    fit = layout.get("autofit")
    if fit:
        for c in cols:
            need = max([display_width(row[c]) for row in rows if c < len(row)] + [0])
            if need == 0:
                continue
            width = sheet["widths"].get(c)
            low = need * fit.get("min_ratio", 0.8)
            high = need * fit.get("max_ratio", 1.6) + fit.get("max_pad_chars", 4)
            if width is None or not low <= width <= high:
                found.add("xlrd", where, "column %s is %s characters wide for %d half-width "
                          "characters of text (allowed %.1f to %.1f)" % (
                              cell_name(0, c)[:-1], width, need, low, high))
    frozen = layout.get("freeze")
    if frozen is not None:
        got = sheet["freeze"]
        if got is None:
            found.add("xlrd", where, "no frozen panes")
        elif (got["rows"], got["cols"]) != (frozen["rows"], frozen["cols"]) or (
                got["top"] < frozen["rows"]):
            found.add("xlrd", where, "frozen at %d rows, %d columns (lower pane from row %d), "
                      "expected %d rows, %d columns" % (
                          got["rows"], got["cols"], got["top"] + 1, frozen["rows"],
                          frozen["cols"]))


def check_parseexcel_sheet(where, sheet, layout, found):
    rd = "parseexcel"
    if "landscape" in layout and sheet["landscape"] != layout["landscape"]:
        found.add(rd, where, "orientation is %s" % {
            True: "landscape", False: "portrait", None: "undefined (no printer settings)"}[
                sheet["landscape"]])
    if "print_scale" in layout:
        if sheet["scale"] != layout["print_scale"]:
            found.add(rd, where, "print scale is %s, expected %d%%" % (
                sheet["scale"], layout["print_scale"]))
        if sheet["fit_to_page"]:
            found.add(rd, where, "fit-to-page is on, so the print scale is ignored")
    tolerance = layout.get("margin_tolerance_in", 0.01)
    for side, cm in layout.get("margins_cm", {}).items():
        got = sheet["margins"][side]
        if abs(got - cm / CM_PER_INCH) > tolerance:
            found.add(rd, where, "%s margin is %.4f in, expected %.4f in (%.2f cm)" % (
                side, got, cm / CM_PER_INCH, cm))
    if "header" in layout:
        got = header_sections(sheet["header"])
        for section, want in layout["header"].items():
            if got[section] != want:
                found.add(rd, where, "page header's %s section is %r, expected %r (whole header "
                          "%r)" % (section, got[section], want, sheet["header"]))


def check(model, expected, found):
    rd = model["reader"]
    layout = expected.get("layout", {})
    cols = columns(layout.get("columns", "A:Q"))
    want_names = [s["name"] for s in expected["sheets"]]
    got_names = [s["name"] for s in model["sheets"]]
    if got_names != want_names:
        found.add(rd, "workbook", "sheets %s, expected %s" % (got_names, want_names))
    by_name = {s["name"]: s for s in model["sheets"]}
    for want in expected["sheets"]:
        where = "sheet %s" % want["name"]
        sheet = by_name.get(want["name"])
        if sheet is None:
            continue
        rows = want["rows"]
        span = (layout.get("borders") or {}).get("range_rows", "all")
        formatted = len(rows) if span == "all" else int(span)
        check_cells(rd, where, sheet, rows, cols, found)
        check_formats(rd, where, sheet, layout, formatted, cols, found)
        if "print_title_rows" in layout:
            got = sheet["title_rows"]
            text = None if got is None else "$%d:$%d" % (got[0] + 1, got[1] + 1)
            if text != layout["print_title_rows"]:
                found.add(rd, where, "print title rows are %s, expected %s" % (
                    text, layout["print_title_rows"]))
        if rd == "xlrd":
            check_xlrd_sheet(where, sheet, layout, rows, cols, found)
        else:
            check_parseexcel_sheet(where, sheet, layout, found)


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[0])
        return 2
    path, expect_path = argv[1], argv[2]
    try:
        with open(expect_path, encoding="utf-8") as f:
            expected = json.load(f)
        if not expected.get("sheets"):
            raise ValueError("no sheets expected")
    except (OSError, ValueError) as e:
        print("xls_check: cannot read the expectations %s: %s" % (expect_path, e))
        return 2
    models = []
    for name, read in (("xlrd", xlrd_model), ("parseexcel", parseexcel_model)):
        try:
            models.append(read(path))
        except ImportError as e:
            print("xls_check: the reader %s is missing (scripts/install-deps.sh installs it): %s"
                  % (name, e))
            return 2
        except Exception as e:  # noqa: BLE001 - a reader that cannot read the file is the finding
            print("xls_check: %s cannot read %s: %s: %s" % (name, path, type(e).__name__, e))
            return 2
    print("readers: %s" % ", ".join(m["reader"] for m in models))
    found = Findings()
    for m in models:
        check(m, expected, found)
    for line in found.lines:
        print("  - " + line)
    print("RESULT: %s" % ("FAIL" if found.lines else "PASS"))
    return 1 if found.lines else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
