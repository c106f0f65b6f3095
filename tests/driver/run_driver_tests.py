#!/usr/bin/env python3
"""Driver tests: the built-in dialogs and pop-up menus of real programs,
operated by korvdrive.exe (tests/driver/korvdrive.c) with window messages,
under Wine on a private Xvfb.

Each program runs interpreted (KORVID) and compiled (KORVAC, then KORVEX),
outside console mode so that its dialogs are shown. The program reports each
result in its window caption; the driver waits for a dialog, acts on it and
prints the caption the program sets afterwards, and the test compares those
lines. KORV_WIN32_BUILD names the build folder of the Windows programs.
"""
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'window'))
from run_window_tests import XVFB_LOG, start_xvfb, stop_xvfb  # noqa: E402

WAIT = 90  # seconds for one whole program

IDOK, IDCANCEL = '1', '2'
END = ['dialog', 'Ende', 'press', IDOK, 'gone']

CASES = {
    'input.krv': (
        ['dialog', 'Eingabe 1', 'expect-text', '100', 'Ihr Name?', 'expect-text', '101', 'Vorschlag',
         'enabled', IDOK, '1', 'text', '101', '', 'enabled', IDOK, '0',
         'press', IDOK, 'enabled', IDOK, '0',  # a disabled OK does nothing
         'text', '101', '  Erika Muster  ', 'enabled', IDOK, '1', 'press', IDOK, 'gone', 'title', 'R1',
         'dialog', 'Eingabe 2', 'expect-text', '100', 'Noch einmal?', 'press', IDCANCEL, 'gone', 'title', 'R2'] + END,
        ['R1 [Erika Muster] 1', 'R2 [] 2']),
    'editbox.krv': (
        ['dialog', 'Bearbeiten 1', 'expect-text', '101', 'eins\\nzwei', 'enabled', '102', '0', 'enabled', '103', '0',
         'text', '101', '', 'enabled', IDOK, '0', 'text', '101', 'drei\\n vier\\n', 'enabled', IDOK, '1',
         'press', IDOK, 'gone', 'title', 'R1',
         'dialog', 'Bearbeiten 2', 'expect-text', '101', 'drei\\n vier\\n', 'text', '101', 'verworfen',
         'press', IDCANCEL, 'gone', 'title', 'R2'] + END,
        ['R1 1 1 drei/ vier//', 'R2 0 2 drei/ vier//']),
    'listbox.krv': (
        ['dialog', 'Farbe 1', 'count', '101', '3', 'item', '101', '0', 'rot', 'item', '101', '1', ' gruen ',
         'select', '101', '1', 'press', IDOK, 'gone', 'title', 'R1',
         'dialog', 'Farbe 2', 'item', '101', '0', ' gruen ', 'item', '101', '1', 'blau',
         'select', '101', '2', 'press', IDCANCEL, 'gone', 'title', 'R2',
         'dialog', 'Farbe 3', 'count', '101', '3', 'item', '101', '0', ' gruen ',
         'dblclick', '101', '1', 'gone', 'title', 'R3'] + END,
        ['R1 [gruen] 1', 'R2 [] 2', 'R3 [blau] 1']),
    'files.krv': (
        ['dialog', 'Laden 1', 'filename', 'brief.txt', 'press', IDOK, 'gone', 'title', 'R1',
         'dialog', 'Laden 2', 'press', IDCANCEL, 'gone', 'title', 'R2',
         'dialog', 'Sichern 1', 'press', IDOK, 'gone', 'title', 'R3',
         'dialog', 'Sichern 2', 'press', IDCANCEL, 'gone', 'title', 'R4',
         'dialog-with', 'Ordner 1', 'press', IDOK, 'gone', 'title', 'R5',
         'dialog-with', 'Ordner 2', 'press', IDCANCEL, 'gone', 'title', 'R6'] + END,
        ['R1 [\\brief.txt] 1', 'R2 [] 2', 'R3 [\\neu.txt] 1', 'R4 [] 2', 'R5 [\\] 1 1 gleich', 'R6 [] 2']),
    'trackmenu.krv': (
        ['menu', '2', 'title', 'R1', 'menu-cancel', 'title', 'R2', 'menu', '1', 'title', 'R3',
         'key', '116', 'title', 'R4'] + END,
        ['R1 12', 'R2 0', 'R3 31 2', 'R4 40']),
}


def exe(name):
    return os.path.join(os.environ.get('KORV_WIN32_BUILD', os.path.join(ROOT, 'build', 'win32')), name)


def run_case(name, steps, expected, compiled):
    scratch = tempfile.mkdtemp(prefix='korv-driver-')
    failures = []
    try:
        shutil.copy(os.path.join(HERE, name), scratch)
        with open(os.path.join(scratch, 'brief.txt'), 'wb') as f:
            f.write(b'Hallo\r\n')
        env = dict(os.environ, WINEDEBUG=os.environ.get('KORV_WINEDEBUG', '-all'))
        env.pop('KORV_CONSOLE', None)
        cmd = ['wine', exe('KORVID.exe'), name]
        if compiled:
            comp = subprocess.run(['wine', exe('KORVAC.exe'), name, '-B'], cwd=scratch, env=env,
                                  capture_output=True, timeout=WAIT)
            kvc = os.path.splitext(name)[0] + '.kvc'
            if not os.path.exists(os.path.join(scratch, kvc)):
                return [f'compiling failed ({comp.returncode})']
            cmd = ['wine', exe('KORVEX.exe'), kvc]
        prog = subprocess.Popen(cmd, cwd=scratch, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            drive = subprocess.run(['wine', exe('korvdrive.exe')] + steps, cwd=scratch, env=env,
                                   capture_output=True, timeout=WAIT)
            got = drive.stdout.decode('cp1252').replace('\r', '').splitlines()
            if drive.returncode != 0 or got != expected:
                # The program may still wait in a dialog: it is killed below.
                failures.append(f'driver said {got!r} (exit {drive.returncode}), expected {expected!r}')
            else:
                code = prog.wait(timeout=WAIT)
                if code != 0:
                    failures.append(f'exit code {code}')
        except subprocess.TimeoutExpired:
            failures.append('timed out')
        finally:
            if prog.poll() is None:
                prog.kill()
                prog.wait()
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return failures


def main():
    xvfb = None
    if '--display' in sys.argv:
        os.environ['DISPLAY'] = sys.argv[sys.argv.index('--display') + 1]
    else:
        xvfb = start_xvfb()
    wanted = [a for a in sys.argv[1:] if a.endswith('.krv')]
    failed = total = 0
    try:
        for name, (steps, expected) in CASES.items():
            if wanted and name not in wanted:
                continue
            for compiled in (False, True):
                total += 1
                label = f'{name} ({"compiled" if compiled else "interpreted"})'
                failures = run_case(name, steps, expected, compiled)
                if failures:
                    failed += 1
                    print(f'FAIL {label}')
                    for f in failures:
                        print('   ' + f)
                else:
                    print(f'ok   {label}')
    finally:
        if xvfb:
            stop_xvfb(xvfb)
            if os.path.exists(XVFB_LOG):
                os.remove(XVFB_LOG)
    print(f'{total - failed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
