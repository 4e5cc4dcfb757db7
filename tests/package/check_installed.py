#!/usr/bin/env python3
"""Checks an installed Veltra-5 PC suite: the files an install must hold, the system unit's
sandboxing (systemd-analyze's exposure at most 2.0) and the service's settings (loopback and
the private networks only), every tool's --help and --version run from there, vt5-info against
a simulated HC served by the installed vt5-hcsim, and vt5-server started as its systemd unit
says (readiness, journal lines, a clean stop on SIGTERM).

  check_installed.py --root ROOT --prefix PREFIX       an install unpacked under ROOT
      [--emulator COMMAND] [--without-windows]        another machine's programs run through
                                                       COMMAND; an install of the tools alone
  check_installed.py --install-from BUILD [--remove PATH]... [--drop-lines PATH:REGEX]...
                                                       cmake --install BUILD into a scratch prefix

Exit status 0 when everything holds, 1 with the failures listed otherwise."""

import argparse
import gzip
import os
import re
import shlex
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

PROGRAMS = ["gantrix", "starloom", "flashwell", "panelcast"]
TOOLS = ["vt5-card", "vt5-display", "vt5-doctor", "vt5-emulate", "vt5-flash", "vt5-hcsim", "vt5-info",
         "vt5-report", "vt5-server", "vt5-skyframe"]
ICON_SIZES = [48, 128, 256]
# systemd-analyze security's exposure of the system unit: 0 (tight) to 10 (open).
EXPOSURE_LIMIT = 2.0
# Networks the shipped settings must serve, and no more than these.
SHIPPED_NETWORKS = {"127.0.0.0/8", "::1", "10.0.0.0/8", "172.16.0.0/12", "192.168.0.0/16",
                    "fc00::/7", "169.254.0.0/16", "fe80::/10"}
# Tools that draw with Qt's widgets and so come only with the windows.
WINDOW_TOOLS = ["vt5-display", "vt5-skyframe"]

failures = []


def fail(text):
    failures.append(text)
    print("FAIL: " + text, file=sys.stderr)


class Install:
    def __init__(self, root, prefix, emulator=(), windows=True):
        self.root = root
        self.prefix = prefix
        self.emulator = list(emulator)
        self.programs = PROGRAMS if windows else []
        self.tools = TOOLS if windows else [t for t in TOOLS if t not in WINDOW_TOOLS]

    def command(self, name, *args):
        """The command line that runs an installed program on this machine."""
        return self.emulator + [self.path("bin", name), *args]

    def path(self, *parts):
        """A path of the install as the installed system sees it, mapped under the root."""
        system = os.path.join(self.prefix, *parts)
        return os.path.join(self.root, system.lstrip("/")) if self.root != "/" else system

    def system_path(self, system):
        return os.path.join(self.root, system.lstrip("/")) if self.root != "/" else system

    def defaults_system_path(self):
        etc = "/etc" if self.prefix == "/usr" else os.path.join(self.prefix, "etc")
        return os.path.join(etc, "default", "vt5-server")

    def defaults_file(self):
        return self.system_path(self.defaults_system_path())

    def env(self, **extra):
        env = dict(os.environ)
        env["PATH"] = self.path("bin") + os.pathsep + env.get("PATH", "")
        env.update(extra)
        return env


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def check_files(inst):
    for name in inst.programs + inst.tools:
        exe = inst.path("bin", name)
        if not (os.path.isfile(exe) and os.access(exe, os.X_OK)):
            fail(f"{exe}: no executable")
    for program in inst.programs:
        entry = inst.path("share", "applications", f"veltra5-{program}.desktop")
        if not os.path.isfile(entry):
            fail(f"{entry}: missing")
            continue
        text = open(entry, encoding="utf-8").read()
        if not re.search(rf"^Exec={program}$", text, re.M):
            fail(f"{entry}: Exec is not {program}")
        if not re.search(rf"^Icon=veltra5-{program}$", text, re.M):
            fail(f"{entry}: Icon is not veltra5-{program}")
        if shutil.which("desktop-file-validate"):
            r = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
            if r.returncode != 0 or "error" in r.stdout:
                fail(f"{entry}: desktop-file-validate: {r.stdout.strip()}")
        svg = inst.path("share", "icons", "hicolor", "scalable", "apps", f"veltra5-{program}.svg")
        if not os.path.isfile(svg) or b"<svg" not in open(svg, "rb").read(400):
            fail(f"{svg}: no SVG icon")
        for size in ICON_SIZES:
            png = inst.path("share", "icons", "hicolor", f"{size}x{size}", "apps",
                            f"veltra5-{program}.png")
            if not os.path.isfile(png) or png_size(png) != (size, size):
                fail(f"{png}: no {size}x{size} PNG icon")
    for name in inst.programs + inst.tools:
        page = inst.path("share", "man", "man1", f"{name}.1.gz")
        try:
            text = gzip.open(page, "rt", encoding="utf-8", errors="replace").read()
        except OSError as e:
            fail(f"{page}: {e}")
            continue
        if not re.search(r"^\.TH ", text, re.M) or name.upper() not in text:
            fail(f"{page}: not a manual page of {name}")
        if name in inst.tools and "--serial" not in text and name not in ("vt5-report", "vt5-skyframe"):
            fail(f"{page}: the options of {name} are missing")
    rule = inst.path("lib", "udev", "rules.d", "60-veltra5.rules")
    if not os.path.isfile(rule) or 'GROUP="plugdev"' not in open(rule).read():
        fail(f"{rule}: missing, or without the plugdev group")
    users = inst.path("lib", "sysusers.d", "veltra5.conf")
    if not os.path.isfile(users) or not re.search(r"^u vt5-server ", open(users).read(), re.M):
        fail(f"{users}: no vt5-server user")
    if not os.path.isfile(inst.defaults_file()) or "VT5_SERVER_ARGS=" not in open(inst.defaults_file()).read():
        fail(f"{inst.defaults_file()}: no settings file of the service")
    server = os.path.join(inst.prefix, "bin", "vt5-server")
    for kind in ("system", "user"):
        unit = inst.path("lib", "systemd", kind, "vt5-server.service")
        if not os.path.isfile(unit):
            fail(f"{unit}: missing")
            continue
        text = open(unit).read()
        if f"ExecStart={server} $VT5_SERVER_ARGS" not in text:
            fail(f"{unit}: ExecStart does not name {server}")
        if "Type=notify" not in text:
            fail(f"{unit}: not Type=notify")
        if kind == "system":
            for line in ("User=vt5-server", "SupplementaryGroups=plugdev",
                         "EnvironmentFile=-" + inst.defaults_system_path()):
                if line not in text:
                    fail(f"{unit}: no {line}")


def unit_exposure(unit):
    """systemd-analyze's overall exposure of a unit file, or None with the failure told."""
    analyze = shutil.which("systemd-analyze")
    if not analyze:
        fail("systemd-analyze is missing: the system unit's exposure cannot be measured "
             "(apt install systemd)")
        return None
    r = subprocess.run([analyze, "security", "--offline=true", "--no-pager", unit],
                       capture_output=True, text=True, timeout=60)
    m = re.search(r"Overall exposure level for \S+: (\d+(?:\.\d+)?)", r.stdout + r.stderr)
    if not m:
        fail(f"{unit}: systemd-analyze security gave no exposure: {(r.stdout + r.stderr)[-400:]!r}")
        return None
    return float(m.group(1))


def check_sandbox(inst):
    unit = inst.path("lib", "systemd", "system", "vt5-server.service")
    exposure = unit_exposure(unit)
    if exposure is not None:
        print(f"systemd-analyze security: exposure {exposure} of the system unit")
        if exposure > EXPOSURE_LIMIT:
            fail(f"{unit}: exposure {exposure} above {EXPOSURE_LIMIT}")
    # The settings as shipped: the private networks, never anyone.
    args = shipped_args(inst)
    allowed = {args[i + 1] for i, word in enumerate(args[:-1]) if word == "--allow"}
    if allowed != SHIPPED_NETWORKS:
        fail(f"{inst.defaults_file()}: the service serves {sorted(allowed)}, "
             f"not {sorted(SHIPPED_NETWORKS)}")


def shipped_args(inst):
    for line in open(inst.defaults_file()):
        m = re.match(r'^VT5_SERVER_ARGS="(.*)"$', line.strip())
        if m:
            return m.group(1).split()
    return []


def check_help(inst):
    env = inst.env(QT_QPA_PLATFORM="offscreen", VT5_USB_BACKENDS="none")
    for tool in inst.tools:
        for option, expect in (("--help", "Usage: " + tool), ("--version", tool + " (Veltra-5 PC suite)")):
            try:
                r = subprocess.run(inst.command(tool, option), capture_output=True, text=True,
                                   env=env, timeout=60)
            except OSError as e:
                fail(f"{tool} {option}: {e}")
                continue
            if r.returncode != 0 or expect not in r.stdout:
                fail(f"{tool} {option}: status {r.returncode}, output {r.stdout[:200]!r} {r.stderr[:200]!r}")


class SimulatedHc:
    """The installed vt5-hcsim serving one HC on a private bus."""

    def __init__(self, inst, scratch, serial):
        self.bus = os.path.join(scratch, "usb-bus")
        self.env = inst.env(VT5_USB_BUS=self.bus, VT5_USB_BACKENDS="vbus",
                            VT5_REGISTRY=os.path.join(scratch, "registry.reg"),
                            XDG_RUNTIME_DIR=scratch, XDG_CONFIG_HOME=scratch)
        self.proc = subprocess.Popen(inst.command("vt5-hcsim", "--serial", serial),
                                     stdout=subprocess.PIPE, text=True, env=self.env)
        seen = []
        for line in self.proc.stdout:
            seen.append(line)
            if line.startswith("VT5_USB_BUS="):
                break
        else:
            fail(f"vt5-hcsim did not start: {''.join(seen)!r}")

    def close(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)


def check_info(inst, scratch):
    hc = SimulatedHc(inst, scratch, "PKGHC001")
    try:
        r = subprocess.run(inst.command("vt5-info"), capture_output=True, text=True,
                           env=hc.env, timeout=60)
        if r.returncode != 0 or "PKGHC001" not in r.stdout:
            fail(f"vt5-info against the simulated HC: status {r.returncode}: {r.stdout}{r.stderr}")
    finally:
        hc.close()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def unit_command(inst, kind):
    """vt5-server's command line as systemd would build it from the unit and its settings."""
    text = open(inst.path("lib", "systemd", kind, "vt5-server.service")).read()
    command = re.search(r"^ExecStart=(.*)$", text, re.M).group(1)
    settings = {}
    for line in open(inst.defaults_file()):
        m = re.match(r"^([A-Z0-9_]+)=\"?(.*?)\"?$", line.strip())
        if m:
            settings[m.group(1)] = m.group(2)
    words = []
    for word in shlex.split(command):
        if word.startswith("$"):
            words += settings.get(word[1:], "").split()
        else:
            words.append(word)
    if not words or words[0] != os.path.join(inst.prefix, "bin", "vt5-server"):
        fail(f"the {kind} unit's command is {words}")
        return None
    return inst.command("vt5-server", *words[1:])


def user_manager_available():
    if not shutil.which("systemd-run") or not shutil.which("systemctl"):
        return False
    r = subprocess.run(["systemctl", "--user", "is-system-running"], capture_output=True, text=True)
    return r.stdout.strip() in ("running", "degraded")


def check_user_service(inst, scratch):
    """The user unit's command started by the user's own service manager."""
    command = unit_command(inst, "user")
    if not command:
        return
    hc = SimulatedHc(inst, scratch, "PKGHC003")
    port = free_port()
    unit = f"vt5-server-check-{os.getpid()}"
    setenv = [f"--setenv={k}={hc.env[k]}" for k in ("VT5_USB_BUS", "VT5_USB_BACKENDS", "VT5_REGISTRY")]
    try:
        # Returns once the server told its readiness (Type=notify) or failed.
        r = subprocess.run(["systemd-run", "--user", "--collect", f"--unit={unit}",
                            "--property=Type=notify", *setenv, *command, "--port", str(port)],
                           capture_output=True, text=True, timeout=60)
        if r.returncode != 0:
            fail(f"systemd-run --user: {r.stderr.strip()}")
            return
        r = subprocess.run(inst.command("vt5-info", "--server", f"127.0.0.1:{port}"),
                           capture_output=True, text=True, env=hc.env, timeout=60)
        if r.returncode != 0 or "PKGHC003" not in r.stdout:
            fail(f"vt5-info through the user service: status {r.returncode}: {r.stdout}{r.stderr}")
        r = subprocess.run(["systemctl", "--user", "stop", unit], capture_output=True, text=True,
                           timeout=30)
        if r.returncode != 0:
            fail(f"the user service did not stop: {r.stderr.strip()}")
    finally:
        subprocess.run(["systemctl", "--user", "kill", unit], capture_output=True)
        hc.close()


def check_service(inst, scratch):
    if user_manager_available():
        check_user_service(inst, scratch)
    else:
        print("no user service manager here (systemd-run --user): the unit's command line is "
              "started as systemd would start it")
    command = unit_command(inst, "system")
    if not command:
        return
    hc = SimulatedHc(inst, scratch, "PKGHC002")
    notify_path = os.path.join(scratch, "notify")
    manager = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    manager.bind(notify_path)
    manager.settimeout(15)
    port = free_port()
    log_read, log_write = os.pipe()
    st = os.fstat(log_write)
    env = dict(hc.env, NOTIFY_SOCKET=notify_path, JOURNAL_STREAM=f"{st.st_dev}:{st.st_ino}")
    server = subprocess.Popen(command + ["--port", str(port)], stdout=log_write, stderr=log_write,
                              env=env)
    os.close(log_write)
    try:
        notes = manager.recv(512).decode()
        if not notes.startswith("READY=1"):
            fail(f"vt5-server did not tell its readiness: {notes!r}")
        r = subprocess.run(inst.command("vt5-info", "--server", f"127.0.0.1:{port}"),
                           capture_output=True, text=True, env=hc.env, timeout=60)
        if r.returncode != 0 or "PKGHC002" not in r.stdout:
            fail(f"vt5-info through the service: status {r.returncode}: {r.stdout}{r.stderr}")
        server.send_signal(signal.SIGTERM)
        stopping = ""
        while not stopping.startswith("STOPPING=1"):
            stopping = manager.recv(512).decode()
        status = server.wait(timeout=15)
        if status != 0:
            fail(f"vt5-server ended with {status} on SIGTERM")
    except (socket.timeout, subprocess.TimeoutExpired) as e:
        fail(f"vt5-server as a service: {e}")
        server.kill()
        server.wait()
    finally:
        manager.close()
        hc.close()
    log = os.read(log_read, 1 << 16).decode(errors="replace")
    os.close(log_read)
    lines = [l for l in log.splitlines() if l]
    if not lines or not all(re.match(r"^<[0-7]>", l) for l in lines):
        fail(f"vt5-server's lines are not in the journal's form: {lines[:5]}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--root", default="/")
    parser.add_argument("--prefix", default="/usr")
    parser.add_argument("--install-from", metavar="BUILD")
    parser.add_argument("--emulator", metavar="COMMAND", default="",
                        help="runs the installed programs through COMMAND (those of another "
                             "machine under qemu-user)")
    parser.add_argument("--without-windows", action="store_true",
                        help="the install holds the command-line tools and the service only")
    parser.add_argument("--remove", metavar="PATH", action="append", default=[],
                        help="with --install-from: delete PATH (under the prefix) after the "
                             "install, to show that the checks notice")
    parser.add_argument("--drop-lines", metavar="PATH:REGEX", action="append", default=[],
                        help="with --install-from: delete the lines of PATH (under the prefix) "
                             "that match REGEX after the install, to show that the checks notice")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="vt5-installed.") as scratch:
        if args.install_from:
            prefix = os.path.join(scratch, "opt", "veltra5")
            r = subprocess.run(["cmake", "--install", args.install_from, "--prefix", prefix],
                               capture_output=True, text=True)
            if r.returncode != 0:
                print(r.stdout + r.stderr, file=sys.stderr)
                return 1
            inst = Install("/", prefix, shlex.split(args.emulator), not args.without_windows)
            for path in args.remove:
                os.remove(inst.path(path))
            for edit in args.drop_lines:
                path, pattern = edit.split(":", 1)
                with open(inst.path(path)) as f:
                    kept = [l for l in f if not re.search(pattern, l)]
                with open(inst.path(path), "w") as f:
                    f.writelines(kept)
        else:
            inst = Install(args.root, args.prefix, shlex.split(args.emulator),
                           not args.without_windows)
        run = os.path.join(scratch, "run")
        os.mkdir(run)
        check_files(inst)
        if not failures:
            check_sandbox(inst)
            check_help(inst)
            check_info(inst, run)
            check_service(inst, run)
    if failures:
        print(f"{len(failures)} check(s) failed", file=sys.stderr)
        return 1
    where = inst.prefix if inst.root == "/" else f"{inst.prefix} in {inst.root}"
    print(f"the suite installed in {where}: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
