#!/usr/bin/env python3
"""Loading speed of continuation lines: writes a source of N physical lines
(default 20,000, about 2 MB) that are all joined by trailing backslashes into
one statement far longer than 32,767 characters, and times how long each
program takes to refuse it with 902 "Zeile zu lang (max. 32767 Zeichen)!".

    bench/continuation_load.py [--lines N] [--runs R] [--exe PROGRAM ...]

By default it times the native console compiler of build/bench (korvac,
which loads with the same rules) and, when it exists, KORVID.exe of
build/win32 under Wine in console mode (that figure includes Wine's start).
--exe times other programs instead (a name ending in .exe runs under Wine).
The median of the runs is printed; a program that does not refuse the file
with 902 and exit code 1 is reported as a failure.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def write_source(path, lines):
    with open(path, 'w', newline='\r\n') as f:
        f.write('DECLARE s$\n')
        for i in range(lines - 1):
            f.write('  s$ = s$ + "%s" + "%05d" \\\n' % ('x' * 70, i))
        f.write('  s$ = s$ + "end"\n')
        f.write('PRINT LEN(s$)\n')


def run_once(exe, source):
    env = dict(os.environ, KORV_CONSOLE='1', WINEDEBUG='-all')
    cmd = ['wine', exe, source] if exe.lower().endswith('.exe') else [exe, source]
    # Output into a file, not a pipe: a helper process of Wine may hold a
    # pipe open after the program has ended.
    out_name = os.path.join(os.path.dirname(source), 'output.txt')
    with open(out_name, 'wb') as out:
        start = time.perf_counter()
        p = subprocess.run(cmd, cwd=os.path.dirname(source), env=env, stdout=out, stderr=out, timeout=600)
        elapsed = time.perf_counter() - start
    with open(out_name, 'rb') as f:
        text = f.read().decode('cp1252', 'replace')
    ok = p.returncode == 1 and 'Zeile zu lang (max. 32767 Zeichen)!' in text
    return elapsed, ok, text


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--lines', type=int, default=20000)
    ap.add_argument('--runs', type=int, default=3)
    ap.add_argument('--exe', nargs='*')
    args = ap.parse_args()
    exes = [os.path.abspath(e) for e in args.exe] if args.exe else None
    if not exes:
        exes = [p for p in (os.path.join(ROOT, 'build', 'bench', 'korvac'),
                            os.path.join(ROOT, 'build', 'win32', 'KORVID.exe')) if os.path.exists(p)]
    if not exes:
        print('no program to time (build build/bench or build/win32 first)')
        return 1
    failed = False
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, 'continued.krv')
        write_source(source, args.lines)
        size = os.path.getsize(source)
        print('%d continuation lines, %.1f MB' % (args.lines, size / 1e6))
        for exe in exes:
            times = []
            for _ in range(args.runs):
                elapsed, ok, text = run_once(exe, source)
                if not ok:
                    print('FAIL %s did not refuse the file with 902:\n%s' % (exe, text[-2000:]))
                    failed = True
                    break
                times.append(elapsed)
            if times:
                print('%-50s median %.3f s (runs: %s)' % (os.path.relpath(exe, ROOT), statistics.median(times),
                                                          ', '.join('%.3f' % t for t in times)))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
