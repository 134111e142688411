#!/usr/bin/python3
"""The big hostile inputs, run by hand against a built stdlookup-cli (too big for the test suite,
whose table over the small ones is tests/cli/hostile_input_test.cpp). For each case: exit code,
seconds, peak resident MiB, and the last line on stderr. Nothing is asserted.

    bench/hostile_inputs.py [build/release/src/cli/stdlookup-cli]

The inputs are made in a temporary folder (about 1 GB of disk while it runs). With
STDLOOKUP_BENCH_SHORT=1 they are a ten-thousandth of that and it exits 1 when the CLI was killed or a
sanitizer spoke (the test suite's check that the bench still works).
"""
import os
import resource
import signal
import subprocess
import sys
import tempfile
import time
import zipfile

SHORT = os.environ.get("STDLOOKUP_BENCH_SHORT", "0") not in ("", "0")
CLI = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/release/src/cli/stdlookup-cli")
BOOK = ('<workbook xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
        '<sheets><sheet r:id="rId1"/></sheets></workbook>')
broken = []


def n(count):
    """`count`, or a ten-thousandth of it in the short run."""
    return max(count // 10000, 1) if SHORT else count


def workbook(path, rows, shared=None):
    """A workbook whose sheet is the row texts `rows` yields, deflated as it is written."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("xl/workbook.xml", BOOK)
        with z.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as sheet:
            sheet.write(b"<worksheet><sheetData>")
            for chunk in rows:
                sheet.write(chunk)
            sheet.write(b"</sheetData></worksheet>")
        if shared is not None:
            with z.open("xl/sharedStrings.xml", "w", force_zip64=True) as strings:
                strings.write(b"<sst>")
                for chunk in shared:
                    strings.write(chunk)
                strings.write(b"</sst>")


def run(name, args, stdin=subprocess.DEVNULL, stop_after_first_row=False, limit_bytes=None):
    """Runs the CLI; with stop_after_first_row it is interrupted once the list is read (its first
    row is out), as the lookups of a huge list would take days."""
    env = dict(os.environ, XDG_DATA_HOME=work, XDG_CONFIG_HOME=work)
    preexec = None
    if limit_bytes:
        preexec = lambda: resource.setrlimit(resource.RLIMIT_AS, (limit_bytes, limit_bytes))
    start = time.monotonic()
    with tempfile.TemporaryFile() as err:
        child = subprocess.Popen([CLI, "--query-host", "127.0.0.1:9", "batch", "--delay", "0",
                                  "--format", "csv"] + args, stdin=stdin, stdout=subprocess.PIPE,
                                 stderr=err, env=env, preexec_fn=preexec)
        if stop_after_first_row:
            child.stdout.readline()  # the header
            child.stdout.readline()  # the first row: the list is read
            child.send_signal(signal.SIGINT)
        child.stdout.read()
        _, status, usage = os.wait4(child.pid, 0)  # this child's own peak, not the largest yet
        child.returncode = os.waitstatus_to_exitcode(status)
        seconds = time.monotonic() - start
        err.seek(0)
        said = err.read().decode(errors="replace")
        last = said.strip().splitlines()[-1:] or [""]
    if child.returncode < 0 and not stop_after_first_row or "Sanitizer" in said:
        broken.append(name)
    print(f"{name:46} exit {child.returncode:3}  {seconds:6.2f} s  peak {usage.ru_maxrss / 1024:7.1f} MiB"
          f"  {last[0][:100]}")


work = tempfile.mkdtemp(prefix="stdlookup-hostile-")
print(f"{CLI}\n")

p = os.path.join(work, "bomb.xlsx")  # 3 GiB of sheet XML in a few MiB
workbook(p, (b'<row><c t="inlineStr"><is><t>' + b"x" * 1000 + b"</t></is></c></row>"
             for _ in range(n(3 * 1024 * 1024))))
run(f"3 GiB inflating from {os.path.getsize(p) >> 10} KiB", [p])

p = os.path.join(work, "cell.xlsx")  # one cell of 1 GiB
workbook(p, [b'<row><c t="inlineStr"><is><t>'] + [b"x" * (1 << 20)] * n(1024) + [b"</t></is></c></row>"])
run(f"a 1 GiB cell in {os.path.getsize(p) >> 10} KiB", [p])

p = os.path.join(work, "strings.xlsx")  # 20 M shared strings
workbook(p, [b'<row><c t="s"><v>0</v></c></row>'], (b"<si><t>a</t></si>" for _ in range(n(20_000_000))))
run(f"20 M shared strings in {os.path.getsize(p) >> 10} KiB", [p])

p = os.path.join(work, "compare.xlsx")  # an export of 1,048,575 rows, as --compare reads it
workbook(p, (f'<row><c t="inlineStr"><is><t>GB {i}-2014</t></is></c><c t="inlineStr"><is><t>'
             f'食品安全国家标准 {i}</t></is></c><c t="inlineStr"><is><t>2015-05-24</t></is></c>'
             f'<c t="inlineStr"><is><t>现行</t></is></c></row>'.encode()
             for i in range(n(1_048_576))))
run(f"--compare 1 M rows, {os.path.getsize(p) >> 20} MiB", ["--compare", p])

p = os.path.join(work, "dense.xlsx")  # the most rows and cells the fewest bytes can give
workbook(p, (b'<row><c t="s"><v>0</v></c><c t="s"><v>0</v></c><c t="s"><v>0</v></c>'
             b'<c t="s"><v>0</v></c></row>' for _ in range(n(1_048_575))),
         [b"<si><t>GB 2760-2014</t></si>"])
run(f"--compare 1 M short rows, {os.path.getsize(p) >> 10} KiB", ["--compare", p])

p = os.path.join(work, "two.txt")  # a 2 GB list: refused by its size, unread (a sparse file)
with open(p, "wb") as f:
    f.truncate(2_000_000_000)
run("a 2 GB list", [p])

p = os.path.join(work, "list.txt")  # 200 MB of numbers, 15 M lines
with open(p, "wb") as f:
    line = b"GB 2760-2014\n"
    f.write(line * n(200_000_000 // len(line)))
run("a 200 MB list, until its first row", [p], stop_after_first_row=True)
if not SHORT:  # a sanitizer's build, as the suite runs, cannot start under the limit
    run("the same under a 300 MB address-space limit", [p], limit_bytes=300_000_000)

for name in os.listdir(work):
    os.remove(os.path.join(work, name))
os.rmdir(work)
if broken:
    sys.exit("the CLI broke: " + ", ".join(broken))
