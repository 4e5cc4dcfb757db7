#!/usr/bin/env python3
"""Opens the night summaries and the index of the nights in headless Chromium, 800 px wide.

vt5-report makes the reports of the logs given into a work folder; then index.html and every
summary.html are opened by their file:// URLs and checked as a reader sees them:
  - every <img> has loaded (the SVG graphs and the logo);
  - the page does not scroll sideways in a window 800 px wide (wide tables scroll in their
    own box);
  - every link is followed and loads a page of the reports.

--damage image|link|overflow checks a damaged copy instead, to show that each check can fail:
a graph removed, a link pointed at a missing page, or a wide element put into a summary.

Exit status: 0 when every check passes, 1 when one fails, 77 when Chromium is not installed,
2 on a usage or setup error.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_report import DevTools, SetupError, find_chromium, page_url  # noqa: E402

SKIP = 77
WIDTH = 800

FACTS = r"""
(() => ({
  readyState: document.readyState,
  title: document.title,
  images: Array.from(document.images).map((img) => ({
    src: img.getAttribute("src"), complete: img.complete, naturalWidth: img.naturalWidth})),
  links: Array.from(document.querySelectorAll("a[href]")).map((a) => ({
    href: a.getAttribute("href"), url: a.href})),
  scrollWidth: document.documentElement.scrollWidth,
  innerWidth: window.innerWidth,
}))()
"""


def make_reports(vt5_report, logs, work):
    out = os.path.join(work, "reports")
    shutil.rmtree(out, ignore_errors=True)
    run = subprocess.run([vt5_report, "--declination", "35", "-o", out] + logs,
                         capture_output=True, text=True)
    if run.returncode != 0:
        raise SetupError("vt5-report failed:\n%s%s" % (run.stdout, run.stderr))
    return out


def pages_of(out):
    pages = ["index.html"]
    for folder in sorted(os.listdir(out)):
        if os.path.isfile(os.path.join(out, folder, "summary.html")):
            pages.append(folder + "/summary.html")
    if len(pages) == 1:
        raise SetupError("vt5-report wrote no summary.html into %s" % out)
    return pages


def damage(out, kind, work):
    copy = os.path.join(work, "damaged-" + kind)
    shutil.rmtree(copy, ignore_errors=True)
    shutil.copytree(out, copy)
    summary = os.path.join(copy, pages_of(copy)[1])
    with open(summary, encoding="utf-8") as f:
        html = f.read()
    if kind == "image":
        graph = re.search(r'<img src="(dat/[^"]+\.svg)"', html).group(1)
        os.remove(os.path.join(os.path.dirname(summary), graph))
        return copy
    if kind == "link":
        html, n = re.subn(r'href="guiexpo_\d+\.html"', 'href="guiexpo_999.html"', html, count=1)
    elif kind == "overflow":
        html, n = re.subn(r"<main>", '<main><div style="width:1200px">wide</div>', html, count=1)
    else:
        raise SetupError("unknown damage %s" % kind)
    if n != 1:
        raise SetupError("nothing to damage for %s" % kind)
    with open(summary, "w", encoding="utf-8") as f:
        f.write(html)
    return copy


def check(browser, out):
    failures = []
    root = page_url(out, "")
    targets = {}
    pages = pages_of(out)
    for name in pages:
        error = browser.open(page_url(out, name))
        if error:
            failures.append("%s: the page does not open: %s" % (name, error))
            continue
        facts = browser.evaluate(FACTS)
        if facts["readyState"] != "complete":
            failures.append("%s: the page did not finish loading" % name)
        for img in facts["images"]:
            if not img["complete"] or img["naturalWidth"] == 0:
                failures.append("%s: <img src=\"%s\"> did not load" % (name, img["src"]))
        if facts["scrollWidth"] > facts["innerWidth"]:
            failures.append("%s: scrolls sideways at %d px: the page is %d px wide" %
                            (name, facts["innerWidth"], facts["scrollWidth"]))
        for link in facts["links"]:
            url = urllib.parse.urldefrag(link["url"])[0]
            what = "%s: link href=\"%s\"" % (name, link["href"])
            if not url.startswith(root):
                failures.append("%s leads out of the reports: %s" % (what, url))
                continue
            targets.setdefault(url, what)
    for url, what in sorted(targets.items()):
        error = browser.open(url)
        if error:
            failures.append("%s does not resolve: %s" % (what, error))
            continue
        facts = browser.evaluate(FACTS)
        if facts["readyState"] != "complete" or not facts["title"]:
            failures.append("%s leads to no page of the reports" % what)
    return pages, targets, failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--vt5-report", required=True)
    parser.add_argument("--log", action="append", required=True, help="a guiding log (repeat)")
    parser.add_argument("--work", help="work folder (default: a temporary one)")
    parser.add_argument("--screenshot", help="where to write a PNG of the first summary")
    parser.add_argument("--damage", choices=["image", "link", "overflow"])
    parser.add_argument("--chromium")
    parser.add_argument("--timeout", type=float, default=20)
    args = parser.parse_args()

    chromium = find_chromium(args.chromium)
    if not chromium:
        print("SKIP: Chromium is not installed; the night pages are not checked in a browser",
              file=sys.stderr)
        return SKIP
    started = time.monotonic()
    temporary = None
    work = args.work
    if not work:
        temporary = tempfile.mkdtemp(prefix="vt5-night-browser-")
        work = temporary
    work = os.path.abspath(work)
    os.makedirs(work, exist_ok=True)
    browser = None
    try:
        out = make_reports(args.vt5_report, args.log, work)
        if args.damage:
            out = damage(out, args.damage, work)
        browser = DevTools(chromium, work, args.timeout)
        browser.call("Emulation.setDeviceMetricsOverride",
                     {"width": WIDTH, "height": 900, "deviceScaleFactor": 1, "mobile": False},
                     session=True)
        pages, targets, failures = check(browser, out)
        if args.screenshot:
            browser.open(page_url(out, pages[1]))
            browser.screenshot(args.screenshot)
    except SetupError as e:
        print("error: %s" % e, file=sys.stderr)
        return 2
    finally:
        if browser:
            browser.close()
        if temporary:
            shutil.rmtree(temporary, ignore_errors=True)
    if failures:
        for failure in failures:
            print("FAIL: %s" % failure, file=sys.stderr)
        return 1
    print("%d night page(s) and %d link target(s) pass at %d px (%.1f s)" %
          (len(pages), len(targets), WIDTH, time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
