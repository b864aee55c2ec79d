#!/usr/bin/env python3
"""Reads a workbook back with openpyxl, as another program would, and prints
what the tests check, one tab-separated line per fact:

  sheets  <number of sheets>
  sheet   <title>
  freeze  <top-left cell of the scrolling pane, or None>
  width   <column letter>  <width>
  cell    <coordinate>  <data type: s or n>  <bold: 0 or 1>  <number format>  <value as JSON>
"""
import json
import sys

try:
    import openpyxl
except ImportError:
    print("python3-openpyxl is not installed", file=sys.stderr)
    sys.exit(3)

book = openpyxl.load_workbook(sys.argv[1])
print("sheets\t%d" % len(book.worksheets))
sheet = book.worksheets[0]
print("sheet\t" + sheet.title)
print("freeze\t%s" % sheet.freeze_panes)
for letter, dimension in sorted(sheet.column_dimensions.items()):
    if dimension.customWidth:
        print("width\t%s\t%.2f" % (letter, dimension.width))
for row in sheet.iter_rows():
    for cell in row:
        if cell.value is None:
            continue
        print("cell\t%s\t%s\t%d\t%s\t%s" % (cell.coordinate, cell.data_type,
                                          1 if cell.font.b else 0, cell.number_format,
                                          json.dumps(cell.value, ensure_ascii=False)))
