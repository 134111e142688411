#!/usr/bin/python3
"""Updating a user's workbook of 20,000 rows: bench/update_bench (open, write every line's results,
check, replace) beside what a user would write instead, openpyxl loading the workbook, filling the
same cells and saving it. Three runs each, alternating; the medians and their ratio are printed.
Run by hand on a release build; nothing is asserted. With STDLOOKUP_BENCH_SHORT=1, one run each
of 20 rows (the test suite's check that the bench still works).

    bench/update_peer.py [build/release] [ROWS]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

import openpyxl

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/release")
SHORT = os.environ.get("STDLOOKUP_BENCH_SHORT", "0") not in ("", "0")
ROWS = int(sys.argv[2]) if len(sys.argv) > 2 else 20 if SHORT else 20000
RUNS = 1 if SHORT else 3
UPDATE_BENCH = os.path.join(BUILD, "bench/update_bench")

PEER = """
import openpyxl, sys
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
for r in range(2, sheet.max_row + 1):
    sheet.cell(r, 3).value = "标准名称 %s" % sheet.cell(r, 2).value
    sheet.cell(r, 7).value = "2026-01-01"
    sheet.cell(r, 8).value = "作废" if r % 2 else "现行"
    sheet.cell(r, 9).value = "2026-12-09"
book.save(sys.argv[2])
"""


def user_workbook(path):
    """A list as people keep it: their own columns around the numbers, a second sheet."""
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.append(["序号", "标准号", "标准名称", "适用产品", "负责人", "备注"])
    for i in range(ROWS):
        number = "GB %d-%d" % (2700 + i % 300, 2000 + i % 24)
        sheet.append([i + 1, number, "", "产品 %d" % (i % 37), "张三", ""])
    sheet.freeze_panes = "A2"
    book.create_sheet("说明").append(["每月更新一次"])
    book.save(path)


def timed(args):
    start = time.monotonic()
    subprocess.run(args, stdout=subprocess.DEVNULL, check=True)
    return time.monotonic() - start


def main():
    with tempfile.TemporaryDirectory() as folder:
        book = os.path.join(folder, "list.xlsx")
        user_workbook(book)
        ours, peer = [], []
        for _ in range(RUNS):
            ours.append(timed([UPDATE_BENCH, book, os.path.join(folder, "ours.xlsx")]))
            peer.append(timed(["/usr/bin/python3", "-c", PEER, book,
                               os.path.join(folder, "peer.xlsx")]))
        print("rows %d" % ROWS)
        print("update_bench_s %.3f  openpyxl_s %.3f" % (statistics.median(ours),
                                                       statistics.median(peer)))
        print("update_vs_openpyxl %.3f" % (statistics.median(ours) / statistics.median(peer)))


main()
