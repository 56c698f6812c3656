#!/usr/bin/env python3
"""Times the library (through qv_compare) and its peers (Pillow, OpenCV) side by side.

run.sh prepares the images, the build and the virtual environment and then runs this script.
Each row alternates library and peer repetitions (library first, then peer first, and so on)
so that a change of machine load hits both, and compares the medians. The ratio is the peer's
cost over the library's: above 1 the library is faster.
"""
import argparse
import gc
import io
import os
import resource
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

PHOTO_W, PHOTO_H = 4000, 3000
PRINT_W = 576
SCALED_H = PHOTO_H * PRINT_W // PHOTO_W  # 432, as the library computes it
DECODED_RGBA = PHOTO_W * PHOTO_H * 4
STREAM_BYTES = 8 << 20  # qv_compare's bytes per TCP receive repetition
ED5X5_IR_BEFORE = 34.3e6  # the figure; the target is 15 % fewer


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


class Server:
    """A process that runs one named job per request and answers with its timings in ns."""

    def __init__(self, argv, env=None):
        self.proc = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True, bufsize=1, env=env)
        self.name = os.path.basename(argv[1] if argv[0] == sys.executable else argv[0])

    def run(self, job, timeout=120):
        self.proc.stdin.write(job + "\n")
        self.proc.stdin.flush()
        # One answer per request, so nothing is left in the reader's buffer to hide behind.
        if not select.select([self.proc.stdout], [], [], timeout)[0]:
            self.proc.kill()
            raise RuntimeError(f"{self.name} {job}: no answer within {timeout} s")
        answer = self.proc.stdout.readline().strip()
        if not answer or answer.startswith("ERR"):
            raise RuntimeError(f"{self.name} {job}: {answer or 'no answer'}")
        return tuple(int(v) for v in answer.split())

    def close(self):
        try:
            self.proc.stdin.close()
            self.proc.wait(timeout=30)
        except (OSError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait()


class Peers:
    """The peers' jobs, each set up on first use; run in a process of their own."""

    def __init__(self, data_dir, cv_threads):
        import cv2
        cv2.setNumThreads(cv_threads)
        self.dir = data_dir
        self.cache = {}
        self.jobs = {
            "photo": lambda: pillow_print(self.file("photo.jpg"), self.dither()),
            "png": lambda: pillow_print(self.file("receipt.png"), self.dither()),
            "gray_12m": lambda: self.image("photo.jpg").convert("L"),
            "gray_576": lambda: self.image("receipt.png").convert("L"),
            "bicubic_cv": lambda: cv2.resize(self.array("photo.jpg"), (PRINT_W, SCALED_H),
                                             interpolation=cv2.INTER_CUBIC),
            "bicubic_pillow": lambda: self.image("photo.jpg").resize((PRINT_W, SCALED_H), self.bicubic()),
            "fs": lambda: self.image("receipt_gray.png").convert("1"),
            "fs_packed": lambda: self.image("receipt_gray.png").convert("1").tobytes(),
        }

    def cached(self, key, make):
        if key not in self.cache:
            self.cache[key] = make()
        return self.cache[key]

    def file(self, name):
        def read():
            with open(os.path.join(self.dir, name), "rb") as f:
                return f.read()
        return self.cached(("file", name), read)

    def image(self, name):
        from PIL import Image
        def load():
            im = Image.open(os.path.join(self.dir, name))
            im.load()
            return im
        return self.cached(("image", name), load)

    def array(self, name):
        import numpy as np
        return self.cached(("array", name), lambda: np.ascontiguousarray(np.asarray(self.image(name))))

    def dither(self):
        return self.cached("dither", lambda: pillow_dither()[1])

    def bicubic(self):
        from PIL import Image
        return Image.Resampling.BICUBIC

    def serve(self):
        for line in sys.stdin:
            job = self.jobs.get(line.strip())
            try:
                if job is None:
                    raise KeyError(f"unknown job {line.strip()}")
                answer = str(timed(job)()[0])
            except Exception as e:  # the driver reports it
                answer = f"ERR {e!r}"
            print(answer, flush=True)


def timed(fn):
    """A repetition of fn: its wall time in ns, without the collector."""
    def run():
        gc.disable()
        try:
            t0 = time.perf_counter_ns()
            fn()
            return (time.perf_counter_ns() - t0,)
        finally:
            gc.enable()
    return run


def interleaved(lib, peer, reps):
    """Medians (per timing component) of reps alternating runs of each, after one warm-up."""
    lib()
    peer()
    lib_runs, peer_runs = [], []
    for i in range(reps):
        if i % 2 == 0:
            lib_runs.append(lib())
            peer_runs.append(peer())
        else:
            peer_runs.append(peer())
            lib_runs.append(lib())
    med = lambda runs: [statistics.median(c) for c in zip(*runs)]
    return med(lib_runs), med(peer_runs)


def ms(ns):
    return f"{ns / 1e6:.3f} ms" if ns < 1e7 else f"{ns / 1e6:.1f} ms"


class Table:
    def __init__(self):
        self.rows = []

    def add(self, what, library, peer, ratio, target, met):
        self.rows.append((what, library, peer, ratio, target, "" if met is None else "met" if met else "not met"))

    def note(self, what, text):
        self.rows.append((what, text, "", "", "", ""))

    def print(self):
        head = ("what", "library", "peer", "ratio", "target", "")
        widths = [max(len(r[i]) for r in self.rows + [head]) for i in range(len(head))]
        for r in [head] + self.rows:
            print("  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip())


def pillow_dither():
    """Pillow's convert('1') dithers by Floyd-Steinberg; says whether ORDERED differs."""
    from PIL import Image
    ramp = Image.linear_gradient("L").resize((64, 64))
    ordered = ramp.convert("1", dither=Image.Dither.ORDERED).tobytes()
    fs = ramp.convert("1", dither=Image.Dither.FLOYDSTEINBERG).tobytes()
    return ("Image.Dither.ORDERED" if ordered != fs else
            "Floyd-Steinberg (this Pillow has no ordered dither for convert('1'))"), \
        (Image.Dither.ORDERED if ordered != fs else Image.Dither.FLOYDSTEINBERG)


def pillow_print(data, dither):
    """The Pillow equivalent of printing encoded data 576 dots wide: packed 1-bit rows."""
    from PIL import Image
    im = Image.open(io.BytesIO(data))
    im.load()
    gray = im.convert("L")
    h = gray.height * PRINT_W // gray.width
    small = gray.resize((PRINT_W, h), Image.Resampling.BICUBIC)
    return small.convert("1", dither=dither).tobytes()


def peak_resident_kib():
    """VmHWM: unlike ru_maxrss, not inherited from the parent process."""
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss


def pillow_peak(data_dir):
    """Child-process mode: Pillow's peak resident growth for one photo print, in KiB."""
    _, dither = pillow_dither()
    with open(os.path.join(data_dir, "photo.jpg"), "rb") as f:
        data = f.read()
    before = peak_resident_kib()
    pillow_print(data, dither)
    print(before, peak_resident_kib())


def callgrind_ir(exe, data_dir, job, function):
    """Instructions executed inside function during `qv_compare once job`, or a note why not."""
    valgrind = shutil.which("valgrind")
    if not valgrind:
        return None, "skipped: valgrind is not installed"
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "callgrind.out")
        run = subprocess.run([valgrind, "--tool=callgrind", f"--callgrind-out-file={out}",
                              f"--toggle-collect={function}", exe, "once", job, data_dir],
                             capture_output=True, text=True)
        if run.returncode != 0:
            return None, f"skipped: callgrind failed ({run.stderr.strip().splitlines()[-1:]})"
        with open(out) as f:
            for line in f:
                if line.startswith(("summary:", "totals:")):
                    return int(line.split()[1]), None
    return None, "skipped: no totals in the callgrind output"


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--exe", required=True, help="the qv_compare program")
    ap.add_argument("--data", required=True, help="the folder of images that qv_compare gen wrote")
    ap.add_argument("--reps", type=int, default=15, help="timed repetitions of each side per row")
    ap.add_argument("--quick", action="store_true", help="3 repetitions per row")
    ap.add_argument("--cv-threads", type=int, default=1,
                    help="OpenCV's threads (default 1: the library scales on one thread)")
    ap.add_argument("--peer-serve", action="store_true", help=argparse.SUPPRESS)
    ap.add_argument("--pillow-peak", action="store_true", help=argparse.SUPPRESS)
    args = ap.parse_args()
    if args.peer_serve:
        return Peers(args.data, args.cv_threads).serve()
    if args.pillow_peak:
        return pillow_peak(args.data)
    reps = 3 if args.quick else max(1, args.reps)

    # Those two variables slow a current numpy's OpenBLAS: unset for the peers' processes only.
    peer_env = {k: v for k, v in os.environ.items() if k not in ("OPENBLAS_CORETYPE", "OPENBLAS_L2_SIZE")}
    versions = subprocess.run(
        [sys.executable, "-c", "import PIL, cv2, numpy; print(PIL.__version__, cv2.__version__, numpy.__version__)"],
        check=True, capture_output=True, text=True, env=peer_env).stdout.split()
    dither_name, _ = pillow_dither()

    print(f"load at start: {loadavg()}")
    print(f"peers: Pillow {versions[0]}, OpenCV {versions[1]} ({args.cv_threads} thread(s)), numpy {versions[2]}; "
          f"{reps} repetitions of each side per row, interleaved, medians")
    print(f"Pillow's dither in the print jobs: {dither_name}; the library's: its 16x16 ordered dither")
    print("ratio = peer cost / library cost (above 1: the library is faster)\n")

    # Each row gets fresh processes, so that no row inherits another's heap.
    def row(lib_job, peer_job, n=reps):
        lib = Server([args.exe, "serve", args.data])
        peer = lib if peer_job.startswith("tcp") else Server(
            [sys.executable, __file__, "--exe", args.exe, "--data", args.data, "--peer-serve",
             "--cv-threads", str(args.cv_threads)], env=peer_env)
        try:
            return interleaved(lambda: lib.run(lib_job), lambda: peer.run(peer_job), n)
        finally:
            lib.close()
            if peer is not lib:
                peer.close()

    table = Table()

    def versus(what, job, peer_name, peer_job, target, info=False):
        def measure():
            (l,), (p,) = row(job, peer_job)
            ratio = p / l
            table.add(what, ms(l), f"{ms(p)} {peer_name}", f"{ratio:.2f}x",
                      "(info)" if info else f">= {target}x", None if info else ratio >= target)
        return what, measure

    def diffusion():
        lib = Server([args.exe, "serve", args.data])
        try:
            lib.run("ed5x5")
            ed = statistics.median(lib.run("ed5x5")[0] for _ in range(reps))
        finally:
            lib.close()
        ir, why = callgrind_ir(args.exe, args.data, "ed5x5",
                               "Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusionV2")
        if ir is None:
            table.note("5x5 error diffusion 576x800", f"{ms(ed)}; Ir {why}")
        else:
            goal = ED5X5_IR_BEFORE * 0.85
            table.add("5x5 error diffusion 576x800", f"{ir / 1e6:.1f}M Ir ({ms(ed)})", "(no peer)",
                      f"{ir / ED5X5_IR_BEFORE:.2f} of 34.3M", f"<= {goal / 1e6:.1f}M Ir", ir <= goal)

    def receive():
        (l,), (p,) = row("tcp_recv", "tcp_recv_plain")
        rate = lambda ns: f"{STREAM_BYTES / (ns / 1e9) / 1e6:.0f} MB/s"
        table.add("TCP receive, loopback, 8 MiB (port vs plain recv loop)", rate(l),
                  f"{rate(p)} recv(1024) loop", f"{p / l:.3f}", ">= 0.3", p / l >= 0.3)

    def open_close():
        n = max(reps, 20)
        (o, c), (ro, rc) = row("tcp_open_close", "tcp_raw", n)
        table.add(f"TCP open, loopback, median of {n}", ms(o), f"{ms(ro)} raw connect", "", "<= 0.5 ms",
                  o <= 0.5e6)
        table.add(f"TCP close, loopback, median of {n}", ms(c), f"{ms(rc)} raw graceful close", "",
                  "<= 0.3 ms", c <= 0.3e6)

    def peak_memory():
        # Each side in a fresh process.
        lib = subprocess.run([args.exe, "rss", args.data], check=True, capture_output=True, text=True)
        before, after = (int(v) for v in lib.stdout.split()[-2:])
        peer = subprocess.run([sys.executable, __file__, "--exe", args.exe, "--data", args.data, "--pillow-peak"],
                              check=True, capture_output=True, text=True, env=peer_env).stdout.split()
        peer_kib = int(peer[1]) - int(peer[0])
        grown = (after - before) * 1024
        table.add("photo print peak memory (growth of the peak RSS)", f"{grown / 1e6:.1f} MB",
                  f"{peer_kib * 1024 / 1e6:.1f} MB Pillow", f"{grown / DECODED_RGBA:.2f} of RGBA",
                  f"<= {DECODED_RGBA * 1.2 / 1e6:.1f} MB", grown <= DECODED_RGBA * 1.2)

    rows = [
        versus("photo JPEG 4000x3000 -> 576 wide, ordered dither, GS v 0", "photo", "Pillow", "photo", 1.3),
        versus("PNG 576x800, same job", "png", "Pillow", "png", 1.3),
        versus("gray 4000x3000 RGB", "gray_12m", "Pillow convert('L')", "gray_12m", 1.2),
        versus("gray 576x800 RGB", "gray_576", "Pillow convert('L')", "gray_576", 1.2),
        versus("bicubic 4000x3000 -> 576x432 RGB", "bicubic", "OpenCV INTER_CUBIC", "bicubic_cv", 0.6),
        versus("  same, against Pillow (antialiased, wider kernel)", "bicubic", "Pillow resize(BICUBIC)",
               "bicubic_pillow", 0, info=True),
        versus("integer Floyd-Steinberg 576x800", "fs", "Pillow convert('1')", "fs", 0.8),
        versus("  same, Pillow packing its bits as the library does", "fs", "Pillow convert('1') + tobytes",
               "fs_packed", 0, info=True),
        ("5x5 error diffusion 576x800", diffusion),
        ("TCP receive", receive),
        ("TCP open and close", open_close),
        ("photo print peak memory", peak_memory),
    ]
    # A row that fails (a job the library no longer passes, say) is reported and the rest go on.
    for what, measure in rows:
        try:
            measure()
        except (RuntimeError, OSError, ValueError, subprocess.SubprocessError) as e:
            table.note(what, f"failed: {e}")

    table.print()
    print(f"\nload at end: {loadavg()}")


if __name__ == "__main__":
    sys.exit(main())
