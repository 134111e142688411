# Prints a workbook's first sheet as JSON, for the export tests: every cell with its value, its
# data type, its number format, whether it is bold and its solid fill; the frozen panes, the
# filter and the columns' set widths. Run with Debian's python3 (python3-openpyxl).
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
            "bold": bool(cell.font.b),
            "fill": cell.fill.fgColor.rgb if cell.fill.fill_type == "solid" else "",
        }
widths = {key: dimension.width for key, dimension in sheet.column_dimensions.items()
          if dimension.customWidth}
print(json.dumps({"sheets": len(workbook.worksheets), "max_row": sheet.max_row,
                  "max_column": sheet.max_column, "cells": cells, "freeze": sheet.freeze_panes or "",
                  "filter": sheet.auto_filter.ref or "", "widths": widths}, ensure_ascii=False))
