#!/usr/bin/env python3
"""Runs the benchmark programs of bench/programs in our toolchain and in the
peer interpreters side by side, checks every output and prints a table of
median times with the ratio of each peer to KORVEX and to KORVID.

    bench/run.py [--runs N] [--small] [--only b0,b3] [--markdown]

Each programs/bN_*.<ext> is a template: @N@ stands for the size. The sizes
and the outputs each size must give are in BENCHMARKS below. --small runs the
reduced sizes once and only checks the outputs (this is what the test suite
runs). Runs are interleaved (every implementation once per round) and the
median of the rounds is reported. The Windows programs run under a warm Wine;
the native console builds (build/bench) run where they exist.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAMS = os.path.join(ROOT, 'bench', 'programs')

# name: (full size, its output, small size, its output)
BENCHMARKS = {
    'b0_count': (10000000, '10000000', 100000, '100000'),
    'b1_intmath': (3000000, '456', 30000, '255'),
    'b2_floatmath': (1000000, '679482684', 10000, '748825'),
    'b3_strings': (200000, '200000 15499928', 2000, '2000 154976'),
    'b4_fib': (25, '75025', 15, '610'),
    'b5_array': (100000, '499500000', 1000, '4995000'),
    'b6_nested': (1000, '496542', 100, '4940'),
}


def win32_build():
    return os.environ.get('KORV_WIN32_BUILD', os.path.join(ROOT, 'build', 'win32'))


def native_build():
    return os.path.join(ROOT, 'build', 'bench')


class Impl:
    """One way of running a program: prepare() once per program (not timed),
    command() for the timed run, output() reads what it printed."""

    def __init__(self, name, ext, where):
        self.name, self.ext, self.where = name, ext, where

    def available(self):
        return True

    def prepare(self, src, work):
        return src

    def command(self, prepared):
        raise NotImplementedError

    def env(self):
        return None

    def output(self, proc, prepared):
        return proc.stdout.decode('latin-1')


class Peer(Impl):
    def __init__(self, name, ext, argv):
        super().__init__(name, ext, 'native')
        self.argv = argv

    def available(self):
        return shutil.which(self.argv[0]) is not None

    def command(self, prepared):
        return self.argv + [prepared]


class Brandy(Peer):
    """The SDL build of brandy writes to its own window: the program spools
    its text to a file instead."""

    def __init__(self):
        super().__init__('brandy', 'bbc', ['brandy', '-quit'])

    def prepare(self, src, work):
        path = os.path.join(work, 'spooled_' + os.path.basename(src))
        with open(src) as f:
            text = f.read()
        with open(path, 'w') as f:
            f.write(f'*SPOOL {self.spool_name(path)}\n' + text)
        return path

    @staticmethod
    def spool_name(prepared):
        return os.path.splitext(os.path.basename(prepared))[0] + '.txt'

    def env(self):
        return dict(os.environ, SDL_VIDEODRIVER='dummy')

    def output(self, proc, prepared):
        try:
            with open(os.path.join(os.path.dirname(prepared), self.spool_name(prepared)),
                      encoding='latin-1') as f:
                text = f.read()
        except FileNotFoundError:
            return ''
        return text.rstrip().rstrip('>')  # the prompt after the program


class Ours(Impl):
    def __init__(self, name, ext, where, exe, compiler=None):
        super().__init__(name, ext, where)
        self.exe, self.compiler = exe, compiler

    def available(self):
        return os.path.exists(self.exe[-1]) and (self.compiler is None or os.path.exists(self.compiler[-1]))

    def env(self):
        return dict(os.environ, KORV_CONSOLE='1')

    def prepare(self, src, work):
        if self.compiler is None:
            return src
        subprocess.run(self.compiler + [os.path.basename(src)], cwd=work, env=self.env(),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        return src[:-4] + '.kvc'

    def command(self, prepared):
        return self.exe + [os.path.basename(prepared)]


def implementations():
    w, n = win32_build(), native_build()
    wine = ['wine']
    return [
        Ours('KORVEX', 'krv', 'Wine', wine + [os.path.join(w, 'KORVEX.exe')], wine + [os.path.join(w, 'KORVAC.exe')]),
        Ours('KORVID', 'krv', 'Wine', wine + [os.path.join(w, 'KORVID.exe')]),
        Ours('korvex', 'krv', 'native', [os.path.join(n, 'korvex')], [os.path.join(n, 'korvac')]),
        Ours('korvid', 'krv', 'native', [os.path.join(n, 'korvid')]),
        Brandy(),
        Peer('yabasic', 'yab', ['yabasic']),
        Peer('lua5.4', 'lua', ['lua5.4']),
        Peer('python3', 'py', ['python3']),
    ]


def instantiate(bench, ext, size, work):
    with open(os.path.join(PROGRAMS, f'{bench}.{ext}'), encoding='latin-1') as f:
        text = f.read().replace('@N@', str(size))
    sub = os.path.join(work, ext)
    os.makedirs(sub, exist_ok=True)
    path = os.path.join(sub, f'{bench}.{ext}')
    with open(path, 'w', encoding='latin-1', newline='\r\n' if ext == 'krv' else '\n') as f:
        f.write(text)
    return path


class Finished:
    """What a run wrote (read back from files, see timed_run)."""

    def __init__(self, returncode, stdout, stderr):
        self.returncode, self.stdout, self.stderr = returncode, stdout, stderr


def timed_run(argv, cwd, env, timeout):
    """Runs argv with its output going to files, not pipes: a Wine process
    can hand its pipe ends on to a helper (the desktop process) that keeps
    them open, and the wait for the end of the pipe would be timed too.
    Returns (seconds, Finished), or (None, None) on a timeout."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        start = time.perf_counter()
        try:
            proc = subprocess.run(argv, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                  timeout=timeout)
        except subprocess.TimeoutExpired:
            return None, None
        elapsed = time.perf_counter() - start
        out.seek(0)
        err.seek(0)
        return elapsed, Finished(proc.returncode, out.read(), err.read())


def run_once(impl, prepared, work, timeout):
    cwd = os.path.dirname(prepared)
    elapsed, proc = timed_run(impl.command(prepared), cwd, impl.env(), timeout)
    if elapsed is None:
        return None, 'timed out'
    return elapsed, impl.output(proc, prepared)


def warm_wine():
    subprocess.run(['wineserver', '-p'], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with tempfile.TemporaryDirectory() as d:
        with open(os.path.join(d, 'w.krv'), 'w') as f:
            f.write('PRINT 1\n')
        # A first window start can hang while Wine starts its desktop process.
        for _ in range(3):
            elapsed, _ = timed_run(['wine', os.path.join(win32_build(), 'KORVID.exe'), 'w.krv'], d,
                                   dict(os.environ, KORV_CONSOLE='1'), 30)
            if elapsed is not None:
                return


def hello_startup(runs):
    """Median wall time of a console-mode "hello" in KORVID under warm Wine."""
    with tempfile.TemporaryDirectory() as d:
        with open(os.path.join(d, 'hello.krv'), 'w') as f:
            f.write('PRINT "hello"\n')
        times = []
        for _ in range(runs):
            elapsed, _ = timed_run(['wine', os.path.join(win32_build(), 'KORVID.exe'), 'hello.krv'], d,
                                   dict(os.environ, KORV_CONSOLE='1'), 60)
            if elapsed is not None:
                times.append(elapsed)
        return statistics.median(times) if times else float('nan')


def demo_fps(frames=200):
    """Frames per second of the OpenGL demo scene (examples/opengl_demo.krv)
    in KORVID under Wine and Mesa, or None when it did not run."""
    examples = os.path.join(ROOT, 'examples')
    with tempfile.TemporaryDirectory() as d:
        for name in ('opengl_demo.krv', 'octahedron.tmgl'):
            shutil.copy(os.path.join(examples, name), d)
        elapsed, proc = timed_run(['wine', os.path.join(win32_build(), 'KORVID.exe'), 'opengl_demo.krv',
                                   str(frames)], d, dict(os.environ, KORV_CONSOLE='1'), 300)
        if elapsed is None:
            return None
        text = proc.stdout.decode('latin-1') if isinstance(proc.stdout, bytes) else proc.stdout
        words = text.split()
        # "frames N in MS ms"
        if len(words) >= 5 and words[0] == 'frames' and words[3].isdigit() and int(words[3]) > 0:
            return int(words[1]) * 1000.0 / int(words[3])
        return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--runs', type=int, default=3)
    ap.add_argument('--small', action='store_true', help='reduced sizes, one run, outputs only')
    ap.add_argument('--only', default='', help='comma-separated benchmark names or prefixes')
    ap.add_argument('--impls', default='', help='comma-separated implementation names')
    ap.add_argument('--timeout', type=float, default=900)
    ap.add_argument('--markdown', action='store_true')
    args = ap.parse_args()
    runs = 1 if args.small else args.runs
    benches = [b for b in BENCHMARKS if not args.only or any(b.startswith(o) for o in args.only.split(','))]
    impls = [i for i in implementations() if i.available()]
    if args.impls:
        impls = [i for i in impls if i.name in args.impls.split(',')]
    if any(i.where == 'Wine' for i in impls):
        if not os.environ.get('DISPLAY'):
            print('note: no DISPLAY; the Windows programs need one (./korv test starts Xvfb)')
        warm_wine()
    missing = [i.name for i in implementations() if not i.available()]
    if missing:
        print('note: not available here: ' + ', '.join(missing))

    failures = []
    times = {}  # (bench, impl) -> [seconds]
    with tempfile.TemporaryDirectory() as work:
        prepared = {}
        for b in benches:
            full, full_out, small, small_out = BENCHMARKS[b]
            size = small if args.small else full
            for impl in impls:
                sub = os.path.join(work, impl.name)
                src = instantiate(b, impl.ext, size, sub)
                prepared[b, impl.name] = impl.prepare(src, os.path.dirname(src))
        for _ in range(runs):
            for b in benches:
                expected = (BENCHMARKS[b][3] if args.small else BENCHMARKS[b][1]).split()
                for impl in impls:
                    if (b, impl.name) in failures:
                        continue
                    elapsed, out = run_once(impl, prepared[b, impl.name], work, args.timeout)
                    if elapsed is None or out.split() != expected:
                        failures.append((b, impl.name))
                        print(f'FAIL {b} {impl.name}: expected {" ".join(expected)!r}, got {out.strip()[-200:]!r}')
                        continue
                    times.setdefault((b, impl.name), []).append(elapsed)

    if args.small:
        # The reduced run checks our programs; a peer that fails here (an
        # interpreter missing or broken on this machine) is only reported.
        by_name = {i.name: i for i in impls}
        ours = [f for f in failures if isinstance(by_name[f[1]], Ours)]
        print(f'benchmarks (small): {len(benches) * len(impls) - len(failures)} runs checked, '
              f'{len(ours)} of ours failed, {len(failures) - len(ours)} of the peers')
        return 1 if ours else 0

    medians = {k: statistics.median(v) for k, v in times.items()}
    names = [i.name for i in impls]
    where = {i.name: i.where for i in impls}
    print_table(benches, names, where, medians, args.markdown)
    if any(i.where == 'Wine' for i in impls):
        print(f'\nKORVID console "hello" start-up under warm Wine: {hello_startup(5) * 1000:.0f} ms (median of 5)')
        fps = demo_fps()
        print('OpenGL demo scene (examples/opengl_demo.krv) under Mesa: ' +
              ('did not run' if fps is None else f'{fps:.1f} frames per second'))
    return 1 if failures else 0


def print_table(benches, names, where, medians, markdown):
    def cell(b, n):
        t = medians.get((b, n))
        return 'fail' if t is None else f'{t:.2f}'

    def ratio(b, peer, ours):
        t, o = medians.get((b, peer)), medians.get((b, ours))
        return '-' if t is None or o is None else f'{t / o:.2f}'

    header = ['benchmark'] + [f'{n} ({where[n]})' for n in names]
    rows = [[b] + [cell(b, n) for n in names] for b in benches]
    peers = [n for n in names if n not in ('KORVEX', 'KORVID', 'korvex', 'korvid')]
    ratio_header = ['peer time / ours'] + [f'{p}/KORVEX' for p in peers] + [f'{p}/KORVID' for p in peers]
    ratio_rows = [[b] + [ratio(b, p, 'KORVEX') for p in peers] + [ratio(b, p, 'KORVID') for p in peers]
                  for b in benches]
    for h, rs in ((header, rows), (ratio_header, ratio_rows)):
        if markdown:
            print('| ' + ' | '.join(h) + ' |')
            print('|' + '---|' * len(h))
            for r in rs:
                print('| ' + ' | '.join(r) + ' |')
        else:
            widths = [max(len(str(x)) for x in col) for col in zip(h, *rs)]
            for r in [h] + rs:
                print('  '.join(str(x).rjust(w) for x, w in zip(r, widths)))
        print()
    print('times in seconds, median of the rounds; a ratio above 1 means the peer is slower')


if __name__ == '__main__':
    sys.exit(main())
