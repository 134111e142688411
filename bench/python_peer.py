#!/usr/bin/python3
"""What a user would write instead of `stdlookup-cli batch --format csv`: GET each line's detail
page, cut the fields out with the same markers, apply the same status rules, write CSV to stdout.
A row whose page gives no number keeps the line asked; a page with no number and none of the
status words is no standard's page (a login portal, say) and fails like a failed request.

    python_peer.py HOST[:PORT] LINES_FILE [--session]

urllib opens a connection per request; --session uses requests.Session (kept-alive connections).
"""
import csv
import re
import sys
import urllib.error
import urllib.parse
import urllib.request

NUMBER = re.compile(re.escape('标准编号：</span></td>\r\n      <td colspan="2">') + "(.*?)" +
                    re.escape("&nbsp;</td>"), re.S)
NAME = re.compile(re.escape('<td align="right"><span class="blue">中文名称：</span></td>\r\n'
                            '         <td colspan="2">') + "(.*?)" + re.escape("</td>"), re.S)
DATE = re.compile(re.escape("实施日期：</span>") + "(.*?)" + re.escape("&nbsp"), re.S)


def field(pattern, page):
    match = pattern.search(page)
    return match.group(1) if match else ""


def spreadsheet_safe(cell):
    """As the CLI writes CSV: a cell that a spreadsheet would take for a formula gets a '."""
    return "'" + cell if cell[:1] in ("=", "+", "-", "@", "\t", "\r") else cell


def fetch_with_urllib(url):
    try:
        with urllib.request.urlopen(url, timeout=60) as response:
            return response.read()
    except (urllib.error.URLError, OSError):
        return None


def main():
    host, lines_file = sys.argv[1], sys.argv[2]
    if "--session" in sys.argv[3:]:
        import requests

        session = requests.Session()

        def fetch(url):
            try:
                response = session.get(url, timeout=60)
            except requests.RequestException:
                return None
            return response.content if 200 <= response.status_code <= 299 else None
    else:
        fetch = fetch_with_urllib

    with open(lines_file, encoding="utf-8", newline="") as f:
        lines = f.read().replace("\r\n", "\n").split("\n")
    if lines and lines[-1] == "":
        lines.pop()

    out = csv.writer(sys.stdout, lineterminator="\r\n")
    out.writerow(["标准号", "标准中文名", "实施日期", "是否作废"])
    for line in lines:
        url = ("http://" + host + "/gbquery.htm?SID=" + urllib.parse.quote(line, encoding="gbk") +
               "&x=30&y=8")
        body = fetch(url)
        page = body.split(b"\0", 1)[0].decode("gbk", "replace") if body else ""
        number, name, date = field(NUMBER, page), field(NAME, page), field(DATE, page)
        status = "现行"
        if "作废" in page:
            status = "作废"
        if "抱歉" in page:
            status = "抱歉，没找到"
        if not number and not any(word in page for word in ("现行", "作废", "抱歉")):
            name, date, status = "", "", "查询失败"
        out.writerow([spreadsheet_safe(cell) for cell in (number or line, name, date, status)])


if __name__ == "__main__":
    main()
