# Prints a workbook's first sheet as JSON, for the export tests: every cell with its value, its
# data type and its number format. Run with Debian's python3 (python3-openpyxl).
import json
import sys

import openpyxl

workbook = openpyxl.load_workbook(sys.argv[1])
sheet = workbook.worksheets[0]
cells = {}
for row in sheet.iter_rows():
    for cell in row:
        cells[cell.coordinate] = {
            "value": cell.value,
            "type": cell.data_type,
            "format": cell.number_format,
        }
print(json.dumps({"sheets": len(workbook.worksheets), "max_row": sheet.max_row,
                  "max_column": sheet.max_column, "cells": cells}, ensure_ascii=False))
