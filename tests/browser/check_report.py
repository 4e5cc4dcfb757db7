#!/usr/bin/env python3
"""Opens a guiding report in headless Chromium and checks it as a reader sees it.

Every page of the report is opened by its file:// URL and checked in the page itself:
  - every <img> has loaded and its natural size is the width/height the page states for it
    (the width/height attributes and the inline style's width/height);
  - every link resolves to a page of the report, and following it loads that page;
  - the report's style sheet applies: it is among document.styleSheets with its rules, and
    elements are drawn as the sheet says, not in the browser's defaults;
  - every cell of the statistics boxes is drawn on one line: no value is parted from its
    unit (the arcsecond sign) and no label ("corrections done") is broken.
A screenshot of the first page is written to --screenshot.

Chromium is driven through its DevTools protocol over --remote-debugging-pipe (it reads
NUL-terminated JSON messages on fd 3 and answers on fd 4), so no port is opened.

--damage image|size|link|style|wrap checks a damaged copy of the report instead, to show
that each check can fail: an image removed, a stated size changed, a link broken, the style
sheet removed, or the statistics boxes narrowed so that their cells wrap.

Exit status: 0 when every check passes, 1 when one fails (the message names the page and
the element), 77 when Chromium is not installed, 2 on a usage or setup error.
"""

import argparse
import base64
import fcntl
import json
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

SKIP = 77
STYLE_SHEET = "dat/vt5log.css"
PAGE_PATTERN = re.compile(r"guiexpo_(\d+)\.html$")


class CheckFailed(Exception):
    pass


class SetupError(Exception):
    pass


def find_chromium(given):
    for name in [given] if given else ["chromium", "chromium-browser"]:
        path = shutil.which(name) if not os.path.isabs(name) else name
        if path and os.access(path, os.X_OK):
            return path
    return None


class DevTools:
    """A headless Chromium and one page of it, spoken to over the DevTools pipe."""

    def __init__(self, chromium, work, timeout):
        self.timeout = timeout
        self.next_id = 0
        self.buffer = b""
        self.events = []
        self.log_path = os.path.join(work, "chromium.log")
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()

        def child_fds():
            # The pipe ends go to fd 3 and 4 exactly; lift them above 4 first so that
            # neither dup2 overwrites the other.
            r = fcntl.fcntl(to_browser_r, fcntl.F_DUPFD, 10)
            w = fcntl.fcntl(from_browser_w, fcntl.F_DUPFD, 10)
            os.dup2(r, 3)
            os.dup2(w, 4)

        # Each file:// page is an origin of its own: without --allow-file-access-from-files
        # the page may not read the rules of its own linked style sheet.
        self.profile = os.path.join(work, "chromium-profile")
        args = [
            chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
            "--no-first-run", "--disable-background-networking", "--disable-component-update",
            "--disable-sync", "--disable-extensions", "--allow-file-access-from-files",
            "--hide-scrollbars", "--mute-audio",
            "--user-data-dir=" + self.profile,
            "--remote-debugging-pipe", "about:blank",
        ]
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(
                args, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                pass_fds=(3, 4), preexec_fn=child_fds)
        os.close(to_browser_r)
        os.close(from_browser_w)
        try:
            target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
            self.session = self.call("Target.attachToTarget",
                                     {"targetId": target, "flatten": True})["sessionId"]
            self.call("Page.enable", session=True)
            self.call("Runtime.enable", session=True)
            self.call("Emulation.setDeviceMetricsOverride",
                      {"width": 1280, "height": 900, "deviceScaleFactor": 1, "mobile": False},
                      session=True)
        except BaseException:
            self.close()
            raise

    def close(self):
        try:
            self.send("Browser.close", {}, None)
        except OSError:
            pass
        try:
            self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        for fd in (self.to_browser, self.from_browser):
            try:
                os.close(fd)
            except OSError:
                pass
        shutil.rmtree(self.profile, ignore_errors=True)

    def log_tail(self):
        try:
            with open(self.log_path, "rb") as log:
                return log.read()[-2000:].decode("utf-8", "replace")
        except OSError:
            return ""

    def send(self, method, params, session):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        return self.next_id

    def receive(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise SetupError("Chromium did not answer within %.0f s" % self.timeout)
            ready, _, _ = select.select([self.from_browser], [], [], left)
            if not ready:
                continue
            chunk = os.read(self.from_browser, 1 << 20)
            if not chunk:
                raise SetupError("Chromium closed the DevTools pipe:\n" + self.log_tail())
            self.buffer += chunk
        raw, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(raw)

    def call(self, method, params=None, session=False):
        wanted = self.send(method, params, session)
        deadline = time.monotonic() + self.timeout
        while True:
            message = self.receive(deadline)
            if message.get("id") == wanted:
                if "error" in message:
                    raise SetupError("%s failed: %s" % (method, message["error"]))
                return message.get("result", {})
            if "method" in message:
                self.events.append(message)

    def wait_event(self, method):
        deadline = time.monotonic() + self.timeout
        while True:
            for i, event in enumerate(self.events):
                if event["method"] == method and event.get("sessionId") == self.session:
                    del self.events[i]
                    return event
            message = self.receive(deadline)
            if "method" in message:
                self.events.append(message)

    def open(self, url):
        """Loads url; returns Chromium's error text (empty when the page loaded)."""
        self.events = []
        result = self.call("Page.navigate", {"url": url}, session=True)
        if result.get("errorText"):
            return result["errorText"]
        self.wait_event("Page.loadEventFired")
        return ""

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate",
                           {"expression": expression, "returnByValue": True},
                           session=True)
        if "exceptionDetails" in result:
            raise SetupError("script failed in the page: %s" % result["exceptionDetails"])
        return result["result"].get("value")

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", {"format": "png"}, session=True)["data"]
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))


# What the page holds, gathered in the page. The stated size is that of the width/height
# attributes and of the inline style, in CSS pixels.
PAGE_FACTS = r"""
(() => {
  const px = (v) => { const m = /^\s*(\d+(?:\.\d+)?)(px)?\s*$/.exec(v || "");
                      return m ? Number(m[1]) : null; };
  const images = Array.from(document.images).map((img, i) => ({
    index: i, src: img.getAttribute("src"), alt: img.alt, url: img.src,
    complete: img.complete, naturalWidth: img.naturalWidth, naturalHeight: img.naturalHeight,
    attrWidth: px(img.getAttribute("width")), attrHeight: px(img.getAttribute("height")),
    styleWidth: px(img.style.width), styleHeight: px(img.style.height)}));
  const links = Array.from(document.querySelectorAll("a[href]")).map((a) => ({
    href: a.getAttribute("href"), url: a.href, text: a.textContent.trim()}));
  const sheets = Array.from(document.styleSheets).map((s) => {
    let rules = null, error = "";
    try { rules = s.cssRules.length; } catch (e) { error = String(e); }
    return {href: s.href, rules: rules, error: error};
  });
  const heading = document.querySelector("h2");
  return {title: document.title, readyState: document.readyState, images: images,
          links: links, sheets: sheets, heading: heading ? heading.textContent : ""};
})()
"""

# Elements the sheet styles, with the property the check reads and the selector whose
# declaration in the sheet gives the expected value.
STYLED_ELEMENTS = [
    (".theme-norvane", "background-color", ".theme-norvane"),
    ("h2.text-sect", "color", ".text-sect"),
    (".top", "position", ".top"),
]


def declared_value(sheet_text, selector, prop):
    """The value the sheet declares for prop in the rule for exactly selector."""
    text = re.sub(r"/\*.*?\*/", "", sheet_text, flags=re.S)
    for match in re.finditer(r"([^{}]+)\{([^}]*)\}", text):
        selectors = [s.strip() for s in match.group(1).split(",")]
        if selector not in selectors:
            continue
        for declaration in match.group(2).split(";"):
            name, _, value = declaration.partition(":")
            if name.strip() == prop:
                return value.strip()
    return None


def css_colour_as_computed(value):
    m = re.fullmatch(r"#([0-9a-fA-F]{6})", value)
    if m:
        h = m.group(1)
        return "rgb(%d, %d, %d)" % (int(h[0:2], 16), int(h[2:4], 16), int(h[4:6], 16))
    m = re.fullmatch(r"#([0-9a-fA-F]{3})", value)
    if m:
        return "rgb(%d, %d, %d)" % tuple(int(c * 2, 16) for c in m.group(1))
    return value


# The statistics cells drawn on more than one line: their text and the number of lines.
WRAPPED_STATISTICS = r"""
(() => Array.from(document.querySelectorAll(".stats td")).map((td) => {
  const range = document.createRange();
  range.selectNodeContents(td);
  const tops = new Set(Array.from(range.getClientRects()).map((r) => Math.round(r.top)));
  return {text: td.textContent.trim(), lines: tops.size};
}).filter((cell) => cell.lines > 1))()
"""


def check_page(browser, report, name, facts, styles, failures):
    where = "%s:" % name
    if facts["readyState"] != "complete":
        failures.append("%s the page did not finish loading (%s)" % (where, facts["readyState"]))
    for img in facts["images"]:
        what = "%s <img src=\"%s\"> (#%d, \"%s\")" % (where, img["src"], img["index"],
                                                      img["alt"])
        if not img["complete"] or img["naturalWidth"] == 0:
            failures.append("%s did not load" % what)
            continue
        stated = [("width attribute", img["attrWidth"], img["naturalWidth"]),
                  ("height attribute", img["attrHeight"], img["naturalHeight"]),
                  ("style width", img["styleWidth"], img["naturalWidth"]),
                  ("style height", img["styleHeight"], img["naturalHeight"])]
        for label, value, natural in stated:
            if value is not None and value != natural:
                failures.append("%s states %s %g px but the image is %d px" %
                                (what, label, value, natural))

    sheet_url = urllib.parse.urljoin(page_url(report, name), STYLE_SHEET)
    sheet = next((s for s in facts["sheets"] if s["href"] == sheet_url), None)
    if sheet is None:
        failures.append("%s the style sheet %s is not among the page's style sheets" %
                        (where, STYLE_SHEET))
    elif sheet["rules"] is None:
        # The page may read its own sheet's rules (see --allow-file-access-from-files), so
        # a sheet without readable rules is one that did not load.
        failures.append("%s the style sheet %s did not load (%s)" %
                        (where, STYLE_SHEET, sheet["error"]))
    elif sheet["rules"] == 0:
        failures.append("%s the style sheet %s has no rules" % (where, STYLE_SHEET))
    for selector, prop, expected in styles:
        value = browser.evaluate(
            "(() => { const e = document.querySelector(%s); return e ? "
            "getComputedStyle(e).getPropertyValue(%s) : null; })()" %
            (json.dumps(selector), json.dumps(prop)))
        if value is None:
            failures.append("%s no element matches %s" % (where, selector))
        elif value != expected:
            failures.append("%s %s has %s %s, the style sheet says %s" %
                            (where, selector, prop, value, expected))
    for cell in browser.evaluate(WRAPPED_STATISTICS):
        failures.append("%s the statistics cell \"%s\" wraps onto %d lines" %
                        (where, cell["text"], cell["lines"]))


def page_url(report, name):
    return "file://" + urllib.request.pathname2url(os.path.join(report, name))


def report_pages(report):
    pages = [f for f in os.listdir(report) if PAGE_PATTERN.search(f)]
    return sorted(pages, key=lambda f: int(PAGE_PATTERN.search(f).group(1)))


def expected_styles(report_folder_sheet):
    """The computed values the sheet asks for, read from the sheet as the report was made."""
    with open(report_folder_sheet, encoding="utf-8") as f:
        text = f.read()
    styles = []
    for selector, prop, rule in STYLED_ELEMENTS:
        value = declared_value(text, rule, prop)
        if value is None:
            raise SetupError("the style sheet %s declares no %s for %s" %
                             (report_folder_sheet, prop, rule))
        styles.append((selector, prop, css_colour_as_computed(value)))
    return styles


def check_report(browser, report, styles):
    failures = []
    pages = report_pages(report)
    if not pages:
        raise CheckFailed("%s holds no report page (guiexpo_<n>.html)" % report)
    report_url = page_url(report, "")
    targets = {}  # link target page -> where the link is
    for name in pages:
        error = browser.open(page_url(report, name))
        if error:
            failures.append("%s: the page does not open: %s" % (name, error))
            continue
        facts = browser.evaluate(PAGE_FACTS)
        check_page(browser, report, name, facts, styles, failures)
        for link in facts["links"]:
            url = urllib.parse.urldefrag(link["url"])[0]
            what = "%s: link \"%s\" (href=\"%s\")" % (name, link["text"], link["href"])
            target = url[len(report_url):] if url.startswith(report_url) else None
            if target is None or "/" in target or not PAGE_PATTERN.search(target):
                failures.append("%s leads out of the report's pages: %s" % (what, url))
                continue
            targets.setdefault(target, what)
    # Follow every link target once: it must load as the page of the exposure it names.
    for target, what in sorted(targets.items()):
        error = browser.open(page_url(report, target))
        if error:
            failures.append("%s does not resolve: %s" % (what, error))
            continue
        facts = browser.evaluate(PAGE_FACTS)
        number = PAGE_PATTERN.search(target).group(1)
        if facts["readyState"] != "complete" or "Exposure #%s " % number not in facts["heading"]:
            failures.append("%s leads to a page that is not exposure %s: \"%s\"" %
                            (what, number, facts["heading"]))
    return pages, failures


def make_report(vt5_report, log, work):
    out = os.path.join(work, "report")
    shutil.rmtree(out, ignore_errors=True)
    run = subprocess.run([vt5_report, "-o", out, log], capture_output=True, text=True)
    if run.returncode != 0:
        raise SetupError("vt5-report failed on %s:\n%s%s" % (log, run.stdout, run.stderr))
    folder = os.path.join(out, os.path.basename(log))
    if not os.path.isdir(folder):
        # The report folder beside the index of the nights and its files.
        candidates = [os.path.join(out, d) for d in os.listdir(out)
                      if os.path.isdir(os.path.join(out, d)) and report_pages(os.path.join(out, d))]
        if len(candidates) != 1:
            raise SetupError("vt5-report wrote no single report folder into %s" % out)
        folder = candidates[0]
    return folder


def damage(report, kind, work):
    """A copy of the report with one fault; returns the copy and what was done."""
    copy = os.path.join(work, "damaged-" + kind)
    shutil.rmtree(copy, ignore_errors=True)
    shutil.copytree(report, copy)
    first = os.path.join(copy, report_pages(copy)[0])
    with open(first, encoding="utf-8-sig") as f:
        html = f.read()
    if kind == "style":
        os.remove(os.path.join(copy, STYLE_SHEET))
        return copy, "removed %s" % STYLE_SHEET
    if kind == "wrap":
        with open(os.path.join(copy, STYLE_SHEET), "a", encoding="utf-8") as sheet:
            sheet.write("\n.stats { width: 120px; min-width: 0; }\n"
                        ".stats td { white-space: normal; }\n")
        return copy, "narrowed the statistics boxes to 120 px and let their cells wrap"
    if kind == "image":
        graphs = re.findall(r'<img src="([^"]+\.(?:jpg|png))" style=', html)
        if not graphs:
            raise SetupError("the first page shows no graph to remove")
        os.remove(os.path.join(copy, graphs[0]))
        return copy, "removed %s" % graphs[0]
    if kind == "size":
        html, n = re.subn(r'(<img src="[^"]+" style="width:\d+px;height:)(\d+)px',
                          lambda m: "%s%dpx" % (m.group(1), int(m.group(2)) + 7), html, count=1)
        what = "changed the first graph's stated height by 7 px"
    elif kind == "link":
        html, n = re.subn(r'href="\./guiexpo_\d+\.html#"', 'href="./guiexpo_999.html#"', html,
                          count=1)
        what = "pointed the first page's first link at guiexpo_999.html"
    else:
        raise SetupError("unknown damage %s" % kind)
    if n != 1:
        raise SetupError("the first page has nothing to damage for %s" % kind)
    with open(first, "w", encoding="utf-8") as f:
        f.write(html)
    return copy, what


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--report", help="a report folder (with guiexpo_<n>.html pages)")
    source.add_argument("--log", help="a guiding log to make the report of with --vt5-report")
    parser.add_argument("--vt5-report", help="the vt5-report program (with --log)")
    parser.add_argument("--work", help="folder for the report, the profile and damaged copies "
                        "(default: a temporary folder, removed at the end)")
    parser.add_argument("--screenshot", help="where to write a PNG of the first page")
    parser.add_argument("--damage", choices=["image", "size", "link", "style", "wrap"],
                        help="check a copy of the report with this fault (the check must fail)")
    parser.add_argument("--chromium", help="the Chromium program (default: chromium on PATH)")
    parser.add_argument("--timeout", type=float, default=20, help="seconds per browser step")
    args = parser.parse_args()
    if args.log and not args.vt5_report:
        parser.error("--log needs --vt5-report")

    chromium = find_chromium(args.chromium)
    if not chromium:
        print("SKIP: Chromium is not installed (Debian: apt-get install chromium); the "
              "report is not checked in a browser", file=sys.stderr)
        return SKIP

    started = time.monotonic()
    temporary = None
    work = args.work
    if not work:
        temporary = tempfile.mkdtemp(prefix="vt5-browser-")
        work = temporary
    os.makedirs(work, exist_ok=True)
    browser = None
    try:
        report = os.path.abspath(args.report or make_report(args.vt5_report, args.log, work))
        styles = expected_styles(os.path.join(report, STYLE_SHEET))
        if args.damage:
            report, what = damage(report, args.damage, os.path.abspath(work))
            print("damaged copy: %s (%s)" % (report, what))
        browser = DevTools(chromium, os.path.abspath(work), args.timeout)
        pages, failures = check_report(browser, report, styles)
        if args.screenshot:
            os.makedirs(os.path.dirname(os.path.abspath(args.screenshot)), exist_ok=True)
            browser.open(page_url(report, pages[0]))
            browser.screenshot(args.screenshot)
            print("screenshot of %s: %s" % (pages[0], os.path.abspath(args.screenshot)))
    except SetupError as e:
        print("error: %s" % e, file=sys.stderr)
        return 2
    except CheckFailed as e:
        print("FAIL: %s" % e, file=sys.stderr)
        return 1
    finally:
        if browser:
            browser.close()
        if temporary:
            shutil.rmtree(temporary, ignore_errors=True)
    elapsed = time.monotonic() - started
    if failures:
        for failure in failures:
            print("FAIL: %s" % failure, file=sys.stderr)
        print("%d check(s) failed on %d page(s) of %s (%.1f s)" %
              (len(failures), len(pages), report, elapsed), file=sys.stderr)
        return 1
    print("%d page(s) of %s pass: images, links, style sheet and statistics (%.1f s)" %
          (len(pages), report, elapsed))
    return 0


if __name__ == "__main__":
    sys.exit(main())
