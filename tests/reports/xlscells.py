# Reads a workbook with xlrd, a reader independent of the program, and
# prints the first worksheet's cells and the title cell's format as JSON.
import json
import sys

import xlrd

book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
sheet = book.sheet_by_index(0)
cells = {}
formats = {}  # numbers and dates: the cell's number format
for r in range(sheet.nrows):
    for c in range(sheet.ncols):
        v = sheet.cell_value(r, c)
        if v != "":
            cells["%d,%d" % (r, c)] = v
        if sheet.cell_type(r, c) in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
            xf = book.xf_list[sheet.cell_xf_index(r, c)]
            formats["%d,%d" % (r, c)] = book.format_map[xf.format_key].format_str
title = {}
if sheet.nrows > 0 and sheet.ncols > 2:
    xf = book.xf_list[sheet.cell_xf_index(0, 2)]
    font = book.font_list[xf.font_index]
    title = {"bold": bool(font.bold), "height": font.height, "name": font.name,
             "centred": xf.alignment.hor_align == 2}
print(json.dumps({"sheets": book.nsheets, "cells": cells, "formats": formats, "title": title},
                 ensure_ascii=False))
