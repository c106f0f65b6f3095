#!/usr/bin/env python3
"""Runs the benchmark programs of bench/programs in our toolchain and in the
peer interpreters side by side, checks every output and prints a table of
median (or, with --fastest, the fastest) times with the ratio of each peer
to KORVEX and to KORVID.

    bench/run.py [--runs N] [--small] [--only b0,b3] [--markdown] [--fastest]
                 [--before EARLIER_WIN32_BUILD]

Each programs/bN_*.<ext> is a template: @N@ stands for the size. The sizes
and the outputs each size must give are in BENCHMARKS below. --small runs the
reduced sizes once and only checks the outputs (this is what the test suite
runs). Runs are interleaved (every implementation once per round) and the
median of the rounds is reported. The Windows programs run under a warm Wine;
the native console builds (build/bench) run where they exist. --before DIR
times an earlier Windows build in the same rounds (KORVEX-before,
KORVID-before), so that a change is measured against the same noise.

Our programs come in more than one spelling of the same work (SPELLINGS: a
row "b1_intmath/loop" runs programs/b1_intmath_loop.krv); the peers run their
one program and a spelling's ratios are taken against it.

--instructions counts the instructions of the native console builds with
valgrind (callgrind) at two sizes of each program; the difference divided by
the difference in work units is the cost of one unit (a loop pass, or a call
for B4) without start-up, and divided by the statements of a unit it is the
cost of one statement.
"""
import argparse
import os
import re
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
    'b7_strfuncs': (300000, '2377500', 3000, '23775'),
    'b8_dispatch': (300000, '225000', 3000, '2250'),
}

# Further spellings of our programs: benchmark -> suffixes of
# programs/<benchmark>_<suffix>.krv. The targets hold for each.
SPELLINGS = {
    'b0_count': ['loop'],
    'b1_intmath': ['loop'],
    'b2_floatmath': ['loop'],
    'b3_strings': ['loop'],
    'b4_fib': ['long'],
    'b5_array': ['loop'],
    'b6_nested': ['loop'],
    'b7_strfuncs': ['loop'],
    'b8_dispatch': ['long'],
}


def fib_calls(n):
    a, b = 0, 1
    for _ in range(n + 1):
        a, b = b, a + b
    return 2 * a - 1  # calls made by fib(n): 2 fib(n+1) - 1


# For --instructions: the two sizes counted, the work units of a size and
# what one unit is; statements per unit where every unit runs the same ones
# (the spellings run other statements: their unit cost is shown alone).
WORK = {
    'b0_count': (20000, 40000, lambda n: n, 'pass', 3),
    'b1_intmath': (10000, 20000, lambda n: n, 'pass', 4),
    'b2_floatmath': (5000, 10000, lambda n: n, 'pass', 4),
    'b3_strings': (4000, 8000, lambda n: n, 'character', 8),
    'b4_fib': (12, 14, fib_calls, 'call', None),
    'b5_array': (500, 1000, lambda n: 10 * n, 'element', 8),
    'b6_nested': (60, 85, lambda n: n * n, 'inner pass', None),
    'b7_strfuncs': (5000, 10000, lambda n: n, 'pass', 5),
    'b8_dispatch': (3000, 6000, lambda n: n, 'pass', None),
}


def win32_build():
    return os.environ.get('KORV_WIN32_BUILD', os.path.join(ROOT, 'build', 'win32'))


def native_build():
    return os.environ.get('KORV_NATIVE_BUILD', os.path.join(ROOT, 'build', 'bench'))


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


def implementations(before=None):
    w, n = win32_build(), native_build()
    wine = ['wine']
    # A second Windows build (--before DIR) runs in the same rounds, so that
    # a change is timed against the same peers and the same noise.
    earlier = [] if before is None else [
        Ours('KORVEX-before', 'krv', 'Wine', wine + [os.path.join(before, 'KORVEX.exe')],
             wine + [os.path.join(before, 'KORVAC.exe')]),
        Ours('KORVID-before', 'krv', 'Wine', wine + [os.path.join(before, 'KORVID.exe')]),
    ]
    return earlier + [
        Ours('KORVEX', 'krv', 'Wine', wine + [os.path.join(w, 'KORVEX.exe')], wine + [os.path.join(w, 'KORVAC.exe')]),
        Ours('KORVID', 'krv', 'Wine', wine + [os.path.join(w, 'KORVID.exe')]),
        Ours('korvex', 'krv', 'native', [os.path.join(n, 'korvex')], [os.path.join(n, 'korvac')]),
        Ours('korvid', 'krv', 'native', [os.path.join(n, 'korvid')]),
        Brandy(),
        Peer('yabasic', 'yab', ['yabasic']),
        Peer('lua5.4', 'lua', ['lua5.4']),
        Peer('python3', 'py', ['python3']),
    ]


def instantiate(stem, ext, size, work):
    with open(os.path.join(PROGRAMS, f'{stem}.{ext}'), encoding='latin-1') as f:
        text = f.read().replace('@N@', str(size))
    sub = os.path.join(work, ext)
    os.makedirs(sub, exist_ok=True)
    path = os.path.join(sub, f'{stem}.{ext}')
    with open(path, 'w', encoding='latin-1', newline='\r\n' if ext == 'krv' else '\n') as f:
        f.write(text)
    return path


class Finished:
    """What a run wrote (read back from files, see timed_run) and its peak
    resident memory in KiB."""

    def __init__(self, returncode, stdout, stderr, peak_kib=0):
        self.returncode, self.stdout, self.stderr = returncode, stdout, stderr
        self.peak_kib = peak_kib


def timed_run(argv, cwd, env, timeout):
    """Runs argv with its output going to files, not pipes: a Wine process
    can hand its pipe ends on to a helper (the desktop process) that keeps
    them open, and the wait for the end of the pipe would be timed too.
    Returns (seconds, Finished), or (None, None) on a timeout."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        start = time.perf_counter()
        proc = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        deadline = start + timeout
        while True:
            pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
            if pid:
                break
            if time.perf_counter() > deadline:
                proc.kill()
                os.wait4(proc.pid, 0)
                return None, None
            time.sleep(0.002)
        elapsed = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        return elapsed, Finished(proc.returncode, out.read(), err.read(), usage.ru_maxrss)


def run_once(impl, prepared, work, timeout):
    """(seconds, output, peak KiB), or (None, 'timed out', 0)."""
    cwd = os.path.dirname(prepared)
    elapsed, proc = timed_run(impl.command(prepared), cwd, impl.env(), timeout)
    if elapsed is None:
        return None, 'timed out', 0
    return elapsed, impl.output(proc, prepared), proc.peak_kib


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


def hello_startup(runs, desktop_held):
    """Median wall time of a console-mode "hello" in KORVID under warm Wine.

    Wine ends its desktop process shortly after the last program with a
    window: run back to back, each program waits for a new one to start.
    With desktop_held, a program with a window runs beside the measured ones,
    as on a desktop where something else is open."""
    with tempfile.TemporaryDirectory() as d:
        with open(os.path.join(d, 'hello.krv'), 'w') as f:
            f.write('PRINT "hello"\n')
        with open(os.path.join(d, 'hold.krv'), 'w') as f:
            f.write('PRINT "holding the desktop"\nWHILE 1\n  WAITINPUT\nENDWHILE\n')
        env = dict(os.environ, KORV_CONSOLE='1')
        holder = None
        if desktop_held:
            holder = subprocess.Popen(['wine', os.path.join(win32_build(), 'KORVID.exe'), 'hold.krv'], cwd=d,
                                      env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
            time.sleep(3)
        try:
            times = []
            for _ in range(runs):
                elapsed, _ = timed_run(['wine', os.path.join(win32_build(), 'KORVID.exe'), 'hello.krv'], d, env, 60)
                if elapsed is not None:
                    times.append(elapsed)
        finally:
            if holder:
                holder.kill()
                holder.wait()
        return statistics.median(times) if times else float('nan')


def rows_of(benches):
    """(row, benchmark, program stem): each benchmark, then its spellings."""
    rows = []
    for b in benches:
        rows.append((b, b, b))
        for suffix in SPELLINGS.get(b, []):
            rows.append((f'{b}/{suffix}', b, f'{b}_{suffix}'))
    return rows


def count_instructions(exe, program, cwd):
    """Instructions callgrind counts for one run of exe on program."""
    with tempfile.TemporaryDirectory() as d:
        proc = subprocess.run(['valgrind', '--tool=callgrind', '--callgrind-out-file=' + os.path.join(d, 'cg.out')]
                              + exe + [program], cwd=cwd, env=dict(os.environ, KORV_CONSOLE='1'),
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                              timeout=1800)
        m = re.search(rb'Collected : (\d+)', proc.stderr)
        if proc.returncode != 0 or not m:
            raise RuntimeError(f'callgrind failed for {" ".join(exe)} {program}')
        return int(m.group(1))


def instructions_table(benches, markdown):
    """Instructions per work unit and per statement of the native builds."""
    if shutil.which('valgrind') is None:
        print('note: valgrind missing; no instruction counts')
        return
    n = native_build()
    ours = [Ours('korvex', 'krv', 'native', [os.path.join(n, 'korvex')], [os.path.join(n, 'korvac')]),
            Ours('korvid', 'krv', 'native', [os.path.join(n, 'korvid')])]
    ours = [o for o in ours if o.available()]
    header = ['instructions', 'unit'] + [f'{o.name} per unit' for o in ours] + \
             [f'{o.name} per statement' for o in ours]
    rows = []
    with tempfile.TemporaryDirectory() as work:
        for row, bench, stem in rows_of(benches):
            small, large, units, unit, statements = WORK[bench]
            per_unit = []
            for o in ours:
                counts = []
                for size in (small, large):
                    sub = os.path.join(work, o.name, str(size))
                    src = instantiate(stem, 'krv', size, sub)
                    prepared = o.prepare(src, os.path.dirname(src))
                    counts.append(count_instructions(o.exe, os.path.basename(prepared), os.path.dirname(prepared)))
                per_unit.append((counts[1] - counts[0]) / (units(large) - units(small)))
            stmts = statements if row == bench else None
            rows.append([row, unit] + [f'{u:.0f}' for u in per_unit] +
                        [f'{u / stmts:.0f}' if stmts else '-' for u in per_unit])
    print_rows(header, rows, markdown)
    print('instructions counted by callgrind in the native console builds (build/bench), start-up excluded; '
          'per statement where every unit runs the same statements')


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
        # The scene reports its progress first; its last line reads
        # "frames N in MS ms".
        for line in reversed(text.splitlines()):
            words = line.split()
            if len(words) >= 5 and words[0] == 'frames' and words[1].isdigit() and words[3].isdigit() \
                    and int(words[3]) > 0:
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
    ap.add_argument('--instructions', action='store_true',
                    help='only count the instructions of the native builds (valgrind)')
    ap.add_argument('--fastest', action='store_true',
                    help='report the fastest round instead of the median (steadier on a machine that others share)')
    ap.add_argument('--before', default=None,
                    help='folder of an earlier Windows build, timed in the same rounds as KORVEX-before and KORVID-before')
    args = ap.parse_args()
    runs = 1 if args.small else args.runs
    benches = [b for b in BENCHMARKS if not args.only or any(b.startswith(o) for o in args.only.split(','))]
    if args.instructions:
        instructions_table(benches, args.markdown)
        return 0
    impls = [i for i in implementations(args.before) if i.available()]
    if args.impls:
        impls = [i for i in impls if i.name in args.impls.split(',')]
    if any(i.where == 'Wine' for i in impls):
        if not os.environ.get('DISPLAY'):
            print('note: no DISPLAY; the Windows programs need one (./korv test starts Xvfb)')
        warm_wine()
    missing = [i.name for i in implementations(args.before) if not i.available()]
    if missing:
        print('note: not available here: ' + ', '.join(missing))

    rows = rows_of(benches)
    failures = []
    times = {}  # (row, impl) -> [seconds]
    peaks = {}  # (row, impl) -> highest peak KiB
    with tempfile.TemporaryDirectory() as work:
        prepared = {}
        runs_of = []  # (row, benchmark, impl) in the order they run
        for row, b, stem in rows:
            full, full_out, small, small_out = BENCHMARKS[b]
            size = small if args.small else full
            for impl in impls:
                if row != b and not isinstance(impl, Ours):
                    continue  # a peer has one spelling
                sub = os.path.join(work, impl.name)
                src = instantiate(stem if isinstance(impl, Ours) else b, impl.ext, size, sub)
                prepared[row, impl.name] = impl.prepare(src, os.path.dirname(src))
                runs_of.append((row, b, impl))
        for _ in range(runs):
            for row, b, impl in runs_of:
                expected = (BENCHMARKS[b][3] if args.small else BENCHMARKS[b][1]).split()
                if (row, impl.name) in failures:
                    continue
                elapsed, out, peak = run_once(impl, prepared[row, impl.name], work, args.timeout)
                if elapsed is None or out.split() != expected:
                    failures.append((row, impl.name))
                    print(f'FAIL {row} {impl.name}: expected {" ".join(expected)!r}, got {out.strip()[-200:]!r}')
                    continue
                times.setdefault((row, impl.name), []).append(elapsed)
                peaks[row, impl.name] = max(peaks.get((row, impl.name), 0), peak)

    if args.small:
        # The reduced run checks our programs; a peer that fails here (an
        # interpreter missing or broken on this machine) is only reported.
        by_name = {i.name: i for i in impls}
        ours = [f for f in failures if isinstance(by_name[f[1]], Ours)]
        print(f'benchmarks (small): {len(runs_of) - len(failures)} runs checked, '
              f'{len(ours)} of ours failed, {len(failures) - len(ours)} of the peers')
        return 1 if ours else 0

    pick = min if args.fastest else statistics.median
    medians = {k: pick(v) for k, v in times.items()}
    names = [i.name for i in impls]
    where = {i.name: i.where for i in impls}
    print_table(rows, names, where, medians, args.markdown, 'fastest' if args.fastest else 'median')
    memory_rows = [[row] + [f'{peaks[row, n] / 1024:.1f}' if (row, n) in peaks else '-' for n in names]
                   for row, b, _ in rows if b.startswith('b3')]
    if memory_rows:
        print()
        print_rows(['peak memory (MiB)'] + names, memory_rows, args.markdown)
        print('peak resident memory of the process run (under Wine: the Windows process)')
    if any(i.where == 'Wine' for i in impls):
        print(f'\nKORVID console "hello" start-up under warm Wine (median of 5): '
              f'{hello_startup(5, True) * 1000:.0f} ms with the desktop held by another program, '
              f'{hello_startup(5, False) * 1000:.0f} ms alone (Wine starts its desktop process each time)')
        fps = demo_fps()
        print('OpenGL demo scene (examples/opengl_demo.krv) under Mesa: ' +
              ('did not run' if fps is None else f'{fps:.1f} frames per second'))
    return 1 if failures else 0


def print_rows(header, rows, markdown):
    if markdown:
        print('| ' + ' | '.join(header) + ' |')
        print('|' + '---|' * len(header))
        for r in rows:
            print('| ' + ' | '.join(r) + ' |')
    else:
        widths = [max(len(str(x)) for x in col) for col in zip(header, *rows)]
        for r in [header] + rows:
            print('  '.join(str(x).rjust(w) for x, w in zip(r, widths)))


def print_table(rows, names, where, medians, markdown, statistic='median'):
    def cell(row, n):
        if row != base[row] and n not in OURS_NAMES:
            return ''
        t = medians.get((row, n))
        return 'fail' if t is None else f'{t:.2f}'

    def ratio(row, peer, ours):
        t, o = medians.get((base[row], peer)), medians.get((row, ours))
        return '-' if t is None or o is None else f'{t / o:.2f}'

    base = {row: b for row, b, _ in rows}
    header = ['benchmark'] + [f'{n} ({where[n]})' for n in names]
    table = [[row] + [cell(row, n) for n in names] for row, _, _ in rows]
    peers = [n for n in names if n not in OURS_NAMES]
    ours = [n for n in names if n in OURS_NAMES]
    ratio_header = ['peer time / ours'] + [f'{p}/{o}' for o in ours for p in peers]
    ratio_rows = [[row] + [ratio(row, p, o) for o in ours for p in peers] for row, _, _ in rows]
    for h, rs in ((header, table), (ratio_header, ratio_rows)):
        print_rows(h, rs, markdown)
        print()
    print(f'times in seconds, {statistic} of the rounds; a ratio above 1 means the peer is slower; '
          'a spelling is compared with the peers\' one program')


OURS_NAMES = ('KORVEX', 'KORVID', 'korvex', 'korvid', 'KORVEX-before', 'KORVID-before')


if __name__ == '__main__':
    sys.exit(main())
