#!/usr/bin/env python3
"""Writes the sample guiding logs of this folder: a simulated mount with periodic error and
drift, seeing jitter, clouds, and a guider that corrects in RA and DEC, logged as the HC does.
Deterministic; run it again after changing it and commit the logs."""
import math
import random
from datetime import datetime, timedelta
from pathlib import Path

HERE = Path(__file__).resolve().parent
PIXEL_SCALE = 2 * 3.75e-6 / 0.480 / (2 * math.pi) * 1296000  # 480 mm, 2x2: arcsec per pixel


class Log:
    def __init__(self, start):
        self.t = start
        self.lines = []

    def at(self, t, keyword, *fields):
        stamp = f"{t:%Y-%m-%d}\t{t:%H:%M:%S}.{t.microsecond // 1000:03d}"
        self.lines.append("\t".join([stamp, keyword, *map(str, fields)]))

    def now(self, keyword, *fields):
        self.at(self.t, keyword, *fields)

    def wait(self, seconds):
        self.t += timedelta(seconds=seconds)

    def write(self, name, line_end="\r\n", final_end=True, mangle=None):
        lines = mangle(self.lines) if mangle else [line + line_end for line in self.lines]
        text = "".join(lines)
        if not final_end:
            text = text.rstrip("\r\n")
        (HERE / name).write_bytes(text.encode("ascii"))


class Sky:
    """Star offset from the lock position in pixels, driven by the mount and the guider."""

    def __init__(self, rng, calib, pe_amplitude=2.0, pe_period=480.0, dec_rate=0.004):
        self.rng = rng
        self.calib = calib
        self.ra = self.dec = 0.0
        self.phase = rng.uniform(0, 2 * math.pi)
        self.pe_amplitude, self.pe_period, self.dec_rate = pe_amplitude, pe_period, dec_rate
        self.elapsed = 0.0

    def advance(self, dt, ra_pulse, dec_pulse):
        w = 2 * math.pi / self.pe_period
        before = self.pe_amplitude * math.sin(self.phase + w * self.elapsed)
        self.elapsed += dt
        after = self.pe_amplitude * math.sin(self.phase + w * self.elapsed)
        self.ra += after - before + 0.01 * dt + self.calib[2] * ra_pulse
        self.dec += self.dec_rate * dt + self.calib[5] * dec_pulse

    def measure(self, seeing):
        return (self.ra + self.rng.gauss(0, seeing), self.dec + self.rng.gauss(0, seeing))


def pulse(drift, p, tolerance, rate):
    if rate < 0.001 or abs(drift) < tolerance:
        return 0.0
    return max(-1.6, min(1.6, -p * drift / rate))


def guided_exposure(log, sky, rng, frames, guide, *, interval=2.0, cloudy=(), unguided=(),
                    trim_at=None, seeing=0.18, frame_no=0):
    """frames camera frames while exposing; guide is [p_ra, i_ra, tol_ra, p_dec, tol_dec]."""
    log.now("EXPO STATE", "EXPO", f"{frames * interval:.0f}")
    log.wait(0.2)
    for i in range(frames):
        frame_no += 1
        star = i not in cloudy
        fwhm = 2.3 + 0.25 * math.sin(i / 37.0) + rng.gauss(0, 0.08)
        snr = rng.uniform(70, 140) if star else rng.choice([0, -1])
        log.now("CAM FRAME", frame_no, int(interval * 750), f"{fwhm if star else 0:.2f}",
                f"{snr:.1f}")
        if i == trim_at:
            guide[0], guide[1] = guide[0] * 0.8, guide[1] + 0.05
            log.wait(0.01)
            log.now("AG TRIM", f"{guide[0]:.2f}", f"{guide[1]:.2f}")
        if i in unguided and (i - 1) not in unguided:
            log.wait(0.01)
            log.now("AG STOP")
        if i not in unguided and (i - 1) in unguided:
            log.wait(0.01)
            log.now("AG START", MODE, *(f"{v:.2f}" for v in guide), FOCAL)
        ra_pulse = dec_pulse = 0.0
        spent = 0.0
        if star:
            ra, dec = sky.measure(seeing)
            log.wait(0.03)
            spent += 0.03
            log.now("AG DRIFT", f"{ra:.3f}", f"{dec:.3f}")
            if i not in unguided:
                ra_pulse = pulse(ra, guide[0], guide[2], sky.calib[2])
                dec_pulse = pulse(dec, guide[3], guide[4], sky.calib[5])
        if ra_pulse or dec_pulse:
            log.wait(0.02)
            spent += 0.02
            outputs = ["RA-" if ra_pulse < 0 else "", "RA+" if ra_pulse > 0 else "",
                       "DEC-" if dec_pulse < 0 else "", "DEC+" if dec_pulse > 0 else ""]
            log.now("AG OUT", *outputs)
            ends = sorted({abs(ra_pulse), abs(dec_pulse)} - {0.0})
            done = 0.0
            for end in ends:
                log.wait(end - done)
                spent += end - done
                done = end
                if abs(ra_pulse) <= end:
                    outputs[0] = outputs[1] = ""
                if abs(dec_pulse) <= end:
                    outputs[2] = outputs[3] = ""
                log.now("AG OUT", *outputs)
        if i % 50 == 25:
            log.wait(0.01)
            spent += 0.01
            log.now("CAM TEMP", f"{-4.5 + rng.gauss(0, 0.2):.1f}")
        sky.advance(interval, ra_pulse, dec_pulse)
        log.wait(interval - spent)
    log.now("EXPO STATE", "READOUT", "0")
    log.wait(3.0)
    log.now("EXPO STATE", "IDLE", "0")
    return frame_no


MODE = "RA+DEC"
FOCAL = "480.0"


def start_log(log, uid, firmware="2.14"):
    log.now("LOG START", uid, "0007", firmware)
    log.wait(0.5)
    log.now("CAM CONN", "VC5-0012A3F1", "1288x968", "12bit")
    log.wait(0.5)


def night_0307():
    """Four exposures with DEC calibration, CR LF line ends."""
    global MODE
    MODE = "RA+DEC"
    rng = random.Random(307)
    log = Log(datetime(2021, 3, 7, 21, 4, 10, 250000))
    start_log(log, "A1B2C3D4E5F6G7H")
    log.now("CAM BIN", 2)
    log.wait(1)
    calib = [0.9986, -0.0523, 2.85, 0.0523, 0.9986, 2.60]
    log.now("CALIB RESULT", *(f"{c:.4f}" for c in calib))
    log.wait(1)
    guide = [0.70, 0.10, 0.10, 0.60, 0.15]
    log.now("AG START", MODE, *(f"{v:.2f}" for v in guide), FOCAL)
    log.wait(80.15)
    sky = Sky(rng, calib)
    n = guided_exposure(log, sky, rng, 150, guide, cloudy=set(range(60, 66)) | {101},
                        trim_at=75)
    log.wait(20)
    n = guided_exposure(log, sky, rng, 300, guide, unguided=set(range(120, 150)),
                        cloudy={200, 201}, frame_no=n)
    log.wait(15)
    log.now("AG STOP")
    log.wait(5)
    n = guided_exposure(log, sky, rng, 40, guide, unguided=set(range(40)), frame_no=n)
    log.wait(10)
    log.now("AG START", MODE, *(f"{v:.2f}" for v in guide), FOCAL)
    log.wait(10)
    guided_exposure(log, sky, rng, 60, guide, frame_no=n)
    log.wait(2)
    log.now("AG STOP")
    log.wait(1)
    log.now("LOG STOP")
    log.write("vt5_log_0307.txt", "\r\n")


def night_0308():
    """RA-only guiding (no DEC calibration), LF line ends with blank lines and lone CRs,
    and a full log buffer in the middle of the third exposure."""
    global MODE
    MODE = "RA"
    rng = random.Random(308)
    log = Log(datetime(2021, 3, 8, 22, 30, 0, 0))
    start_log(log, "A1B2C3D4E5F6G7H")
    log.now("CAM BIN", 2)
    log.wait(1)
    calib = [0.0348, 0.9994, 3.10, 0.0, 0.0, 0.0]
    log.now("CALIB RESULT", *(f"{c:.4f}" for c in calib))
    log.wait(1)
    guide = [0.80, 0.05, 0.12, 0.00, 0.00]
    log.now("AG START", MODE, *(f"{v:.2f}" for v in guide), FOCAL)
    log.wait(30)
    sky = Sky(rng, calib, pe_amplitude=3.0, dec_rate=0.0)
    n = guided_exposure(log, sky, rng, 90, guide, interval=3.0, cloudy={10, 11, 12})
    log.wait(12)
    n = guided_exposure(log, sky, rng, 100, guide, interval=3.0, trim_at=50, frame_no=n)
    log.wait(12)
    log.now("EXPO STATE", "EXPO", "300")
    for i in range(20):
        log.wait(3.0)
        log.now("CAM FRAME", n + i + 1, 2250, "2.41", "88.0")
    log.now("LOG BUFFERFULL")

    def mangle(lines):
        out = []
        for i, line in enumerate(lines):
            end = "\n"
            if i % 7 == 3:
                end = "\n\n"
            elif i % 11 == 5:
                end = "\r"
            elif i % 13 == 0:
                end = "\r\n\r\n"
            out.append(line + end)
        return out

    log.write("vt5_log_0308.txt", mangle=mangle, final_end=False)


def night_0309():
    """Noise before the log starts, an EXPO before the camera is known, no binning, and a long
    exposure at one frame per second (over 720 frames). Lone CR line ends."""
    global MODE
    MODE = "RA+DEC"
    rng = random.Random(309)
    log = Log(datetime(2021, 3, 9, 23, 50, 0, 0))
    log.now("CAM FRAME", 1, 750, "2.50", "50.0")
    log.wait(1)
    log.now("LOG STOP")
    log.wait(1)
    log.now("LOG START", "", "0000", "2.14")
    log.wait(1)
    log.now("LOG START", "A1B2C3D4E5F6G7H", "0008", "2.15")
    log.wait(1)
    log.now("EXPO STATE", "EXPO", "60")
    log.wait(5)
    log.now("CAM CONN", "VC5-0012A3F1", "1288x968", "12bit")
    log.wait(1)
    calib = [-0.7071, 0.7071, 2.40, 0.7071, 0.7071, 2.20]
    log.now("CALIB RESULT", *(f"{c:.4f}" for c in calib))
    guide = [0.65, 0.10, 0.08, 0.55, 0.12]
    log.now("AG START", MODE, *(f"{v:.2f}" for v in guide), FOCAL)
    log.wait(20)
    sky = Sky(rng, calib, pe_amplitude=1.5, pe_period=600.0)
    guided_exposure(log, sky, rng, 800, guide, interval=1.0, cloudy=set(range(400, 420)))
    log.wait(5)
    log.now("LOG STOP")
    log.now("CAM FRAME", 9999, 750, "2.50", "50.0")
    log.write("vt5_log_0309.txt", "\r")


if __name__ == "__main__":
    night_0307()
    night_0308()
    night_0309()
