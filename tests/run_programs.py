#!/usr/bin/env python3
"""Runs the end-to-end programs under tests/programs/ with the Windows
executables under Wine in console mode and compares what they do with the
expectations beside them.

For NAME.krv the runner reads:
  NAME.out     exact standard output (CR dropped); without it stdout must be empty
  NAME.in      standard input
  NAME.expect  one directive per line ('#' starts a comment):
                 exit N               expected exit code (default 0)
                 stderr TEXT          TEXT must occur in standard error
                 stderr-absent TEXT   TEXT must not occur in standard error
                 args A B ...         program arguments
                 telmar KEY=VALUE     TELMAR.LOG [DEBUG] holds KEY=VALUE
                 file NAME=TEXT       the scratch file NAME holds TEXT (escapes allowed)
                 file-contains NAME=TEXT  the scratch file NAME contains TEXT
                 interpreter-only WHY not run compiled
                 program NAME         pass NAME instead of the program's file name
                 noprogram            pass no file name at all
               TEXT may use the escapes \\t \\n \\r \\\\.
Every program runs in a fresh scratch directory holding a copy of its folder.
KORV_WIN32_BUILD names another build folder of the Windows programs.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == '\\' and i + 1 < len(text):
            n = text[i + 1]
            out.append({'t': '\t', 'n': '\n', 'r': '\r', '\\': '\\', 's': ' '}.get(n, '\\' + n))
            i += 2
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def parse_expect(path):
    exp = {'exit': 0, 'stderr': [], 'stderr-absent': [], 'args': [], 'telmar': [], 'file': [], 'file-contains': [],
           'interpreter-only': None, 'program': None}
    if not os.path.exists(path):
        return exp
    with open(path, encoding='utf-8') as f:
        for raw in f:
            line = raw.rstrip('\n')
            if not line.strip() or line.lstrip().startswith('#'):
                continue
            key, _, value = line.partition(' ')
            if key == 'exit':
                exp['exit'] = int(value)
            elif key in ('stderr', 'stderr-absent', 'telmar', 'file', 'file-contains'):
                exp[key].append(unescape(value))
            elif key == 'args':
                exp['args'] = value.split()
            elif key == 'program':
                exp['program'] = value
            elif key == 'noprogram':
                exp['program'] = ''
            elif key == 'interpreter-only':
                exp['interpreter-only'] = value or 'yes'
            else:
                raise ValueError(f'{path}: unknown directive {key}')
    return exp


def wine_windows_dir():
    prefix = os.environ.get('WINEPREFIX', os.path.expanduser('~/.wine'))
    return os.path.join(prefix, 'drive_c', 'windows')


def read_telmar():
    path = os.path.join(wine_windows_dir(), 'TELMAR.LOG')
    if not os.path.exists(path):
        return None
    with open(path, 'rb') as f:
        data = f.read()
    if data.startswith(b'\xff\xfe'):
        return data.decode('utf-16-le')
    return data.decode('cp1252')


def run_one(root, program, mode):
    base = program[:-4]
    exp = parse_expect(base + '.expect')
    if mode == 'compiled' and exp['interpreter-only']:
        return None, []
    telmar = os.path.join(wine_windows_dir(), 'TELMAR.LOG')
    if os.path.exists(telmar):
        os.remove(telmar)
    problems = []
    with tempfile.TemporaryDirectory(prefix='korv-e2e-') as scratch:
        src_dir = os.path.dirname(program)
        for name in os.listdir(src_dir):
            full = os.path.join(src_dir, name)
            if os.path.isfile(full):
                shutil.copy(full, scratch)
        name = os.path.basename(program)
        exe = os.path.join(os.environ.get('KORV_WIN32_BUILD', os.path.join(root, 'build', 'win32')),
                           'KORVID.exe')
        if exp['program'] is not None:
            name = exp['program']
        cmd = ['wine', exe] + ([name] if name else []) + exp['args']
        env = dict(os.environ, KORV_CONSOLE='1')
        stdin_data = b''
        if os.path.exists(base + '.in'):
            with open(base + '.in', 'rb') as f:
                stdin_data = f.read()
        try:
            proc = subprocess.run(cmd, cwd=scratch, env=env, input=stdin_data,
                                  capture_output=True, timeout=60)
        except subprocess.TimeoutExpired:
            return False, ['timed out after 60 s']
        out = proc.stdout.decode('cp1252').replace('\r', '')
        err = proc.stderr.decode('cp1252').replace('\r\n', '\n')
        if proc.returncode != exp['exit']:
            problems.append(f'exit code {proc.returncode}, expected {exp["exit"]}')
        want_out = ''
        if os.path.exists(base + '.out'):
            with open(base + '.out', encoding='utf-8') as f:
                want_out = f.read()
        if out != want_out:
            problems.append('stdout differs:\n--- expected\n' + want_out + '--- got\n' + out + '---')
        for s in exp['stderr']:
            if s not in err:
                problems.append(f'stderr lacks {s!r}')
        for s in exp['stderr-absent']:
            if s in err:
                problems.append(f'stderr has {s!r}')
        if exp['telmar']:
            log = read_telmar() or ''
            lines = [l.strip() for l in log.splitlines()]
            for kv in exp['telmar']:
                if kv not in lines:
                    problems.append(f'TELMAR.LOG lacks {kv!r}; it holds {lines!r}')
        for spec in exp['file'] + exp['file-contains']:
            fname, _, text = spec.partition('=')
            contains = spec in exp['file-contains']
            path = os.path.join(scratch, fname)
            if not os.path.exists(path):
                problems.append(f'file {fname} missing')
                continue
            with open(path, 'rb') as f:
                got = f.read().decode('cp1252')
            if (text not in got) if contains else (got != text):
                problems.append(f'file {fname} holds {got!r}, expected {text!r}')
        if problems:
            problems.append('stderr was:\n' + err)
    return not problems, problems


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--root', default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    ap.add_argument('filter', nargs='*', help='run only programs whose path contains one of these')
    args = ap.parse_args()
    progs = []
    for d, _, files in os.walk(os.path.join(args.root, 'tests', 'programs')):
        progs += [os.path.join(d, f) for f in files if f.endswith('.krv')]
    progs.sort()
    if args.filter:
        progs = [p for p in progs if any(f in p for f in args.filter)]
    passed = failed = 0
    for p in progs:
        rel = os.path.relpath(p, args.root)
        ok, problems = run_one(args.root, p, 'interpreter')
        if ok is None:
            continue
        if ok:
            passed += 1
        else:
            failed += 1
            print(f'FAIL {rel} [interpreter]')
            for pr in problems:
                print('   ' + pr.replace('\n', '\n   '))
    print(f'{passed} passed, {failed} failed')
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == '__main__':
    sys.exit(main())
