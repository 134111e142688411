#!/usr/bin/python3
"""How long `batch --update` takes for a user's workbook of 5,000 rows, beside `--output` for the
same list, both at --delay 0 against the demo service. Run by hand on a release build; nothing is
asserted. Three runs each, alternating; the median is printed. With STDLOOKUP_BENCH_SHORT=1, one
run each of 20 rows (the test suite's check that the bench still works).

    bench/update_time.py [build/release] [ROWS]
"""
import os
import re
import socket
import statistics
import subprocess
import sys
import tempfile
import time

import openpyxl

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/release")
SHORT = os.environ.get("STDLOOKUP_BENCH_SHORT", "0") not in ("", "0")
ROWS = int(sys.argv[2]) if len(sys.argv) > 2 else 20 if SHORT else 5000
RUNS = 1 if SHORT else 3
CLI = os.path.join(BUILD, "src/cli/stdlookup-cli")
DEMO = os.path.join(BUILD, "tools/demo-service/stdlookup-demo-service")
SAMPLES = os.path.join(os.path.dirname(__file__), "../tools/demo-service/sample_standards.cpp")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(port):
    """Until the demo service accepts: every lookup would fail otherwise, and quietly."""
    for _ in range(200):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.05)
    sys.exit("the demo service did not start on port %d" % port)


def user_workbook(path):
    """A list as people keep it: their own columns around the numbers, a second sheet."""
    numbers = re.findall(r'"(GB[^"]*)"', open(SAMPLES, encoding="utf-8").read())
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.append(["序号", "标准号", "标准名称", "适用产品", "负责人", "备注"])
    for i in range(ROWS):
        sheet.append([i + 1, numbers[i % len(numbers)], "", "产品 %d" % (i % 37), "张三", ""])
    sheet.freeze_panes = "A2"
    book.create_sheet("说明").append(["每月更新一次"])
    book.save(path)


def timed(args):
    start = time.monotonic()
    run = subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seconds = time.monotonic() - start
    if run.returncode not in (0, 1, 3):
        sys.exit("%s: exit %d\n%s" % (" ".join(args), run.returncode, run.stderr.decode()))
    return seconds


def main():
    port = free_port()
    demo = subprocess.Popen([DEMO, "--port", str(port)], stdout=subprocess.DEVNULL)
    try:
        wait_for(port)
        with tempfile.TemporaryDirectory() as folder:
            book = os.path.join(folder, "products.xlsx")
            user_workbook(book)
            base = [CLI, "--query-host", "127.0.0.1:%d" % port, "--quiet", "batch", book,
                    "--delay", "0"]
            output, update = [], []
            for _ in range(RUNS):
                output.append(timed(base + ["--output", os.path.join(folder, "out.xlsx")]))
                update.append(timed(base + ["--update", os.path.join(folder, "copy.xlsx")]))
            print("rows %d" % ROWS)
            print("output_s %.2f  (runs %s)" % (statistics.median(output),
                                                 ", ".join("%.2f" % s for s in output)))
            print("update_s %.2f  (runs %s)" % (statistics.median(update),
                                                 ", ".join("%.2f" % s for s in update)))
    finally:
        demo.terminate()
        demo.wait()


main()
