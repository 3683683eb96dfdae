"""Velmar report as its reader meets it.

    report_check.py html   VELMAR SOURCE_DIR
    report_check.py render VELMAR SOURCE_DIR

html: writes the reports of the example files and of twenty groups (names
with < " ' &, a group of NA cells, one of two values) and checks the HTML:
one section per group with its name, in each Q-Q plot one circle per
measurement (the nondetects hollow) and no nested svg, the heading lines,
exit status 0. render: also renders the examples' reports in headless
Chromium to PNG and checks that the page is not blank and that every group's
two plots are drawn whole inside it. Exits 77 (skipped) when chromium is not installed. With REPORT_SCREENSHOTS
set to a folder, the screenshots are copied there.
"""

import csv
import html.parser
import io
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77
RENDER_SECONDS = 90

# The plot areas' flat fills and the marks' colours (library/report/svg.cpp).
QQ_PANEL = (0xEA, 0xF1, 0xFB)
STRIP_PANEL = (0xF7, 0xF0, 0xE3)
DETECT = (0x1F, 0x4E, 0x9C)
NONDETECT = (0xC2, 0x41, 0x0C)

ND_MARKS = {"<", "ND", "U", "TRUE", "Y", "YES"}

# file, arguments, value column, group column, nondetect column, window
# (width, height) that holds the whole page (None: not rendered).
CASES = [
    ("examples/lab_nondetects.csv", ["--column", "result", "--group", "analyte", "--nd-column", "qualifier", "--limit", "5"],
     "result", "analyte", "qualifier", (1000, 3000)),
    ("examples/air_benzene.csv", ["--column", "benzene_ppm", "--group", "site", "--level", "0.9"],
     "benzene_ppm", "site", None, (480, 4000)),
    ("tests/cli/data/report_twenty_groups.csv", ["--column", "conc", "--group", "location", "--nd-column", "flag"],
     "conc", "location", "flag", None),
]


class Failures:
    def __init__(self):
        self.lines = []

    def check(self, condition, message):
        if not condition:
            self.lines.append(message)


def expected_groups(path, value, group, nd):
    """{group: (measurements, nondetects)} read from the CSV as a user reads it."""
    counts = {}
    with open(path, newline="") as f:
        for row in csv.DictReader(f):
            cell = row[value].strip()
            counts.setdefault(row[group], (0, 0))
            if cell in ("", "NA"):
                continue
            nondetect = cell.startswith("<") or (nd is not None and row[nd].strip().upper() in ND_MARKS)
            n, k = counts.get(row[group], (0, 0))
            counts[row[group]] = (n + 1, k + int(nondetect))
    return counts


class Sections(html.parser.HTMLParser):
    """Per section of class group: its data-group, the circles of its Q-Q
    plot (hollow ones apart) and any svg opened inside that plot."""

    def __init__(self):
        super().__init__()
        self.sections = []
        self.depth = 0          # open elements inside the current section
        self.qq_depth = None    # depth at which the current svg.qq opened
        self.elements_of_class_group = 0
        self.stray_circles = 0  # circles in a section outside its Q-Q plot

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        classes = (a.get("class") or "").split()
        if "group" in classes:
            self.elements_of_class_group += 1
        if tag == "section" and "group" in classes:
            self.sections.append({"name": a.get("data-group"), "circles": 0, "hollow": 0, "nested": 0, "qq": 0})
            self.depth = 1
            return
        if not self.sections or self.depth == 0:
            return
        s = self.sections[-1]
        if tag == "svg":
            if self.qq_depth is not None:
                s["nested"] += 1
            elif "qq" in classes:
                s["qq"] += 1
                self.qq_depth = self.depth
        if tag == "circle":
            if self.qq_depth is None:
                self.stray_circles += 1
            else:
                s["circles"] += 1
                s["hollow"] += int(a.get("fill") == "none")
        if tag not in ("circle", "line", "rect", "path", "meta", "br"):
            self.depth += 1

    def handle_endtag(self, tag):
        if not self.sections or self.depth == 0 or tag in ("circle", "line", "rect", "path", "meta", "br"):
            return
        self.depth -= 1
        if tag == "svg" and self.qq_depth is not None and self.depth == self.qq_depth:
            self.qq_depth = None

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)


def write_report(velmar, root, work, case, failures):
    path, args, value, group, nd, _ = case
    path = os.path.join(root, path)
    name = os.path.basename(path)
    out = os.path.join(work, name + ".html")
    env = dict(os.environ, SOURCE_DATE_EPOCH="86400")
    run = subprocess.run([velmar, "report", path, *args, "-o", out],
                         capture_output=True, text=True, env=env, timeout=120)
    failures.check(run.returncode == 0, f"{name}: exit status {run.returncode}: {run.stderr.strip()}")
    failures.check(run.stdout == "", f"{name}: wrote to standard output with -o")
    if run.returncode != 0 or not os.path.exists(out):
        return None
    text = open(out, encoding="utf-8").read()
    head = "\n".join(text.splitlines()[:8])
    for needed in ("Velmar ", name, f'column "{value}"', " ".join(args[:2]), "1970-01-02 00:00:00 UTC"):
        failures.check(needed in head, f"{name}: the first lines do not say {needed!r}:\n{head}")

    parsed = Sections()
    parsed.feed(text)
    expected = expected_groups(path, value, group, nd)
    seen = {s["name"]: s for s in parsed.sections}
    failures.check(len(parsed.sections) == len(expected) == len(seen),
                   f"{name}: {len(parsed.sections)} sections for {len(expected)} groups")
    failures.check(parsed.elements_of_class_group == len(expected), f"{name}: other elements of class group")
    failures.check(parsed.stray_circles == 0, f"{name}: {parsed.stray_circles} circles outside the Q-Q plots")
    for g, (n, k) in expected.items():
        s = seen.get(g)
        if s is None:
            failures.check(False, f"{name}: no section for group {g!r}")
            continue
        failures.check(s["qq"] == 1, f"{name}/{g}: {s['qq']} svg.qq plots")
        failures.check(s["nested"] == 0, f"{name}/{g}: svg nested in the Q-Q plot")
        failures.check(s["circles"] == n, f"{name}/{g}: {s['circles']} circles for {n} measurements")
        failures.check(s["hollow"] == k, f"{name}/{g}: {s['hollow']} hollow circles for {k} nondetects")
    check_statistics(velmar, path, args, text, expected, failures)
    return out, len(expected), any(k for _, k in expected.values())


def significant_digits(number):
    mantissa = re.sub(r"[eE].*", "", number).lstrip("-").replace(".", "").lstrip("0")
    return len(mantissa)


def check_statistics(velmar, path, args, text, expected, failures):
    """Each section names what the summary computed, with three significant
    digits at least, and its limits are the ones lognormal gives."""
    name = os.path.basename(path)
    with_limit = "--limit" in args
    plain_args = [a for i, a in enumerate(args) if a != "--limit" and (i == 0 or args[i - 1] != "--limit")]
    run = subprocess.run([velmar, "lognormal", path, *plain_args, "--format", "csv"],
                         capture_output=True, text=True, timeout=120)
    limits = {}
    for row in csv.DictReader(io.StringIO(run.stdout)):
        if row["upper"]:
            limits[(row["group"], row["method"])] = float(row["upper"])

    sections = {}
    for part in text.split('<section class="group" data-group="')[1:]:
        key = html.unescape(part[:part.index('"')])
        sections[key] = part[:part.index("</section>")]
    for g, (n, k) in expected.items():
        part = sections.get(g, "")
        if n < 8:
            continue
        names = ["Shapiro-Wilk", "Anderson-Darling", "Student-t", "Chebyshev", "Cox", "bootstrap-t"]
        names += ["KM-t", "KM-Chebyshev", "ROS + exact UMAU"] if k else ["exact UMAU"]
        names += ["exceedance", "compliance p"] if with_limit else []
        for wanted in names:
            failures.check(f">{html.escape(wanted, quote=False)}<" in part, f"{name}/{g}: no {wanted!r}")
        failures.check(with_limit or "exceedance" not in part, f"{name}/{g}: exposure statistics without --limit")
        rows = re.findall(r'<tr><th>([^<]*)</th><td class="num">([^<]*)</td><td class="num">([^<]*)</td>', part)
        methods = {html.unescape(m): (v, c) for m, v, c in rows}
        for (group, method), value in limits.items():
            if group != g:
                continue
            shown = methods.get(method)
            if shown is None:
                failures.check(False, f"{name}/{g}: no row for {method}")
                continue
            failures.check(significant_digits(shown[0]) >= 3 and significant_digits(shown[1]) >= 3,
                           f"{name}/{g}/{method}: {shown} has fewer than 3 significant digits")
            failures.check(math.isclose(float(shown[0]), value, rel_tol=1e-4),
                           f"{name}/{g}/{method}: the report shows {shown[0]}, lognormal gives {value}")


def bands(mask, least, gap=12):
    """Runs of rows with at least `least` pixels set in `mask`, bridging up to
    `gap` rows without (the grid lines across a plot): [(top, bottom, left, right)]."""
    rows = (mask.sum(axis=1) >= least).nonzero()[0]
    found = []
    for y in rows:
        if found and y - found[-1][1] <= gap + 1:
            found[-1][1] = y
        else:
            found.append([y, y])
    result = []
    for top, bottom in found:
        columns = mask[top:bottom + 1].any(axis=0).nonzero()[0]
        result.append((int(top), int(bottom), int(columns[0]), int(columns[-1])))
    return result


def check_rendering(chromium, work, page, groups, nondetects, window, failures):
    try:
        import numpy
        from PIL import Image
    except ImportError:
        failures.check(False, "python3-pil and python3-numpy are needed to read the screenshots "
                              "(scripts/setup.sh installs them)")
        return
    name = os.path.basename(page)
    png = page + ".png"
    width, height = window
    command = [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
               "--disable-background-networking", "--disable-component-update", "--disable-sync",
               "--hide-scrollbars", "--user-data-dir=" + tempfile.mkdtemp(dir=work),
               "--screenshot=" + png, f"--window-size={width},{height}", "file://" + page]
    try:
        subprocess.run(command, capture_output=True, timeout=RENDER_SECONDS, cwd=work)
    except subprocess.TimeoutExpired:
        failures.check(False, f"{name}: chromium took more than {RENDER_SECONDS} s")
        return
    if not os.path.exists(png):
        failures.check(False, f"{name}: chromium wrote no screenshot")
        return
    if os.environ.get("REPORT_SCREENSHOTS"):
        shutil.copy(png, os.environ["REPORT_SCREENSHOTS"])
    pixels = numpy.asarray(Image.open(png).convert("RGB")).astype(int)
    h, w, _ = pixels.shape
    failures.check((w, h) == (width, height), f"{name}: screenshot {w}x{h}")
    white = (pixels == 255).all(axis=2)
    ink = int((~white).sum())
    failures.check(ink > 0.03 * w * h, f"{name}: the page is nearly blank ({ink} pixels drawn)")
    failures.check(bool(white[h - 40:].all()), f"{name}: the page runs past {height} pixels")

    def near(colour, tolerance=0):
        return (abs(pixels - numpy.array(colour)) <= tolerance).all(axis=2)

    # Every group's plots: a band of the panel's colour, whole, inside the window.
    for label, colour, least_height in (("Q-Q", QQ_PANEL, 150), ("strip", STRIP_PANEL, 30)):
        found = bands(near(colour), 100)
        failures.check(len(found) == groups, f"{name}: {len(found)} {label} plots drawn for {groups} groups")
        for top, low, left, right in found:
            failures.check(left >= 8 and right <= w - 8, f"{name}: a {label} plot reaches the edge ({left}..{right})")
            failures.check(low - top + 1 >= least_height and right - left >= 250,
                           f"{name}: a {label} plot is squeezed to {right - left + 1}x{low - top + 1}")
    # The measurements are drawn in the Q-Q plots: detects filled, nondetects in their colour.
    detect, nondetect = near(DETECT, 8), near(NONDETECT, 24)
    for top, low, left, right in bands(near(QQ_PANEL), 100):
        failures.check(detect[top:low + 1, left:right + 1].sum() >= 20, f"{name}: no detects drawn in a Q-Q plot")
        if nondetects:
            failures.check(nondetect[top:low + 1, left:right + 1].sum() >= 10,
                           f"{name}: no nondetects drawn in a Q-Q plot")


def main():
    mode, velmar, root = sys.argv[1], os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3])
    chromium = shutil.which("chromium")
    if mode == "render" and chromium is None:
        print("SKIPPED: chromium is not installed, so the report's rendering is not checked "
              "(scripts/setup.sh installs it)")
        return SKIPPED
    failures = Failures()
    with tempfile.TemporaryDirectory() as work:
        for case in CASES:
            written = write_report(velmar, root, work, case, failures)
            if written and mode == "render" and case[5] is not None:
                check_rendering(chromium, work, written[0], written[1], written[2], case[5], failures)
    for line in failures.lines:
        print("FAILED:", line)
    return 1 if failures.lines else 0


if __name__ == "__main__":
    sys.exit(main())
