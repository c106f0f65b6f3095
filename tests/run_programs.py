#!/usr/bin/env python3
"""Runs the end-to-end programs under tests/programs/ and the examples under
examples/ with the Windows executables under Wine in console mode and
compares what they do with the expectations beside them.

Every program runs twice: in the interpreter (KORVID) and compiled (KORVAC,
then KORVEX on the .kvc file; every fourth program and every program under
tests/programs/runtime/ also as a linked .exe). The compiled run must give
the interpreter's standard output, exit code and sequence of error numbers,
and must meet the expectations, whose source positions are translated into
the compiled form (see below).

For NAME.krv the runner reads:
  NAME.out     exact standard output (CR dropped); without it stdout must be empty
  NAME.compiled.out  the standard output of the compiled run, when it differs on purpose
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
                 compile-error N WHY  the compiler refuses the program with error N
                 differs WHY          compiled, the program behaves otherwise on purpose:
                                      only its own expectations count, not the interpreter's run
                 program NAME         pass NAME instead of the program's file name
                 noprogram            pass no file name at all
               A directive may be prefixed with "interpreter:" or "compiled:"
               to apply in that mode only.
               TEXT may use the escapes \\t \\n \\r \\\\.

Compiled mode:
  - A program the compiler refuses passes when its error report (file, line,
    and number or text) is one the interpreter also made, or when it is
    marked "compile-error N"; otherwise it fails.
  - Positions in stderr and file texts are translated with the compiler's
    map file: "ERROR:\\tf (12) " becomes "ERROR:\\t<slot>\\t", a warning's
    "WARN:\\tf (12) 215:" becomes "WARN:\\t<slot>\\t215\\t", a box body
    "Zeile  12 in f: \\n<statement>" becomes "Zeile <slot in 6>!".
  - telmar directives are not checked (the runtime writes no TELMAR.LOG).
  - The runtime ends each debugger line with the source position that the
    map file gives for its statement (" [f (12)]"); every such position must
    be the map's, and is removed before the comparisons.

KORV_WIN32_BUILD names another build folder of the Windows programs.

--native DIR runs the console programs korvid, korvac and korvex of a native
build folder instead (no Wine, no linked runs): a check of the language core
on a machine that cannot run Windows programs. Programs that need the window
system fail there; compare the passing set before and after a change.
--wrapper CMD puts CMD before every native program (qemu-i386 for a 32-bit
build on a host that runs no 32-bit code of its own).
--skip FILE leaves out the programs it lists (paths from the root, one per
line, '#' starts a comment): tests/programs/console_skips.txt lists what the
native console programs cannot do, so that the rest must pass there.
"""
import argparse
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading

LINK_SAMPLE = 4  # every LINK_SAMPLE-th program also runs as a linked .exe


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


def empty_expect():
    return {'exit': None, 'stderr': [], 'stderr-absent': [], 'args': None, 'telmar': [], 'file': [],
            'file-contains': [], 'interpreter-only': None, 'compile-error': None, 'differs': None,
            'program': None}


def parse_expect(path):
    """Directives per mode: {'interpreter': {...}, 'compiled': {...}}."""
    modes = {'interpreter': empty_expect(), 'compiled': empty_expect()}
    if os.path.exists(path):
        with open(path, encoding='utf-8') as f:
            for raw in f:
                line = raw.rstrip('\n')
                if not line.strip() or line.lstrip().startswith('#'):
                    continue
                targets = ['interpreter', 'compiled']
                for prefix in ('interpreter:', 'compiled:'):
                    if line.startswith(prefix):
                        targets = [prefix[:-1]]
                        line = line[len(prefix):].lstrip()
                key, _, value = line.partition(' ')
                for t in targets:
                    exp = modes[t]
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
                    elif key == 'differs':
                        exp['differs'] = value or 'yes'
                    elif key == 'compile-error':
                        exp['compile-error'] = int(value.split()[0])
                    else:
                        raise ValueError(f'{path}: unknown directive {key}')
    for exp in modes.values():
        if exp['exit'] is None:
            exp['exit'] = 0
        if exp['args'] is None:
            exp['args'] = []
    return modes


def wine_windows_dir():
    prefix = os.environ.get('WINEPREFIX', os.path.expanduser('~/.wine'))
    return os.path.join(prefix, 'drive_c', 'windows')


def telmar_path():
    return os.path.join(wine_windows_dir(), 'TELMAR.LOG')


def read_telmar():
    path = telmar_path()
    if not os.path.exists(path):
        return None
    with open(path, 'rb') as f:
        data = f.read()
    if data.startswith(b'\xff\xfe'):
        return data.decode('utf-16-le')
    return data.decode('cp1252')


def clear_telmar():
    try:
        os.remove(telmar_path())
    except FileNotFoundError:
        pass


def run_exe(cmd, cwd, stdin_data, timeout=180):
    """Runs a program in console mode. Input and output go through files:
    Wine may hand pipe ends on to its desktop process, which keeps them open
    for a while after the program has ended."""
    env = dict(os.environ, KORV_CONSOLE='1')
    with tempfile.TemporaryFile() as inp, tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        inp.write(stdin_data or b'')
        inp.seek(0)
        try:
            proc = subprocess.run(cmd, cwd=cwd, env=env, stdin=inp, stdout=out, stderr=err, timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
        out.seek(0)
        err.seek(0)
        return (proc.returncode,
                out.read().decode('cp1252').replace('\r', ''),
                err.read().decode('cp1252').replace('\r\n', '\n'))


REPORT_RE = re.compile(r'^(ERROR|WARN):\t(?:(.*) \((\d+)\) (\d+)|(\d+)\t(\d+))[:\t]', re.M)


def report_numbers(stderr):
    """The numbers of the debugger lines, in order."""
    return [int(m.group(4) or m.group(6)) for m in REPORT_RE.finditer(stderr)]


def first_compile_report(stderr):
    """(file, line, number, text) of the compiler's first error line, or None."""
    m = re.search(r'^ERROR:\t(.*) \((\d+)\) (\d+):(.*)$', stderr, re.M)
    if not m:
        return None
    return m.group(1), int(m.group(2)), int(m.group(3)), m.group(4)


def interpreter_made_report(stderr, report):
    f, line, number, text = report
    for m in re.finditer(r'^ERROR:\t(.*) \((\d+)\) (\d+):(.*)$', stderr, re.M):
        if m.group(1) == f and int(m.group(2)) == line and (int(m.group(3)) == number or m.group(4) == text):
            return True
    return False


def read_map(path):
    """{(file, line): [slots]} from the compiler's map file."""
    slots = {}
    if not os.path.exists(path):
        return slots
    with open(path, 'rb') as f:
        for raw in f.read().decode('cp1252').splitlines():
            m = re.match(r'^(\d+)=(.*) \(\s*(\d+)\)$', raw)
            if m:
                slots.setdefault((m.group(2), int(m.group(3))), []).append(int(m.group(1)))
    return slots


class Translator:
    """Turns an expected interpreter text into a regular expression of its
    compiled form."""

    def __init__(self, slot_map, main_file):
        self.slots = slot_map
        self.main = main_file

    def alternatives(self, f, line, width=None):
        found = self.slots.get((f if f else self.main, line))
        if not found:
            return r'\d+' if width is None else r' *\d+'
        if width is None:
            return '(?:' + '|'.join(str(s) for s in found) + ')'
        return '(?:' + '|'.join(re.escape(str(s).rjust(width)) for s in found) + ')'

    def pattern(self, text):
        rules = [
            # a box body: "Zeile  12 in f: \n<statement>\n"
            (re.compile(r'Zeile  (\d+) in (.+?): \n[^\n]*(\n|$)'),
             lambda m: 'Zeile ' + self.alternatives(m.group(2), int(m.group(1)), 6) + '!' +
             re.escape(m.group(3))),
            # a warning line: "WARN:\tf (12) 215:"
            (re.compile(r'WARN:\t(.+?) \((\d+)\) (\d+):'),
             lambda m: 'WARN:\t' + self.alternatives(m.group(1), int(m.group(2))) + '\t' + m.group(3) + '\t'),
            # an error line: "ERROR:\tf (12) 102:"
            (re.compile(r'ERROR:\t(.+?) \((\d+)\) (\d+):'),
             lambda m: 'ERROR:\t' + self.alternatives(m.group(1), int(m.group(2))) + '\t' + m.group(3) + ':'),
            # a bare position: "(12) 102:"
            (re.compile(r'\((\d+)\) (\d+):'),
             lambda m: self.alternatives('', int(m.group(1))) + '\t' + m.group(2) + '[:\t]'),
        ]
        out, i = [], 0
        while i < len(text):
            best = None
            for rx, fn in rules:
                m = rx.search(text, i)
                if m and (best is None or m.start() < best[0].start()):
                    best = (m, fn)
            if best is None:
                out.append(re.escape(text[i:]))
                break
            m, fn = best
            out.append(re.escape(text[i:m.start()]))
            out.append(fn(m))
            i = m.end()
        return ''.join(out)


DEBUG_LINE_RE = re.compile(r'^(?:ERROR|WARN):\t(\d+)\t[^\n]*$', re.M)
POSITION_NOTE_RE = re.compile(r' \[([^\]\n]+) \((\d+)\)\]$')


def take_position_notes(stderr, slot_map, problems):
    """Checks the source positions that the runtime adds to its debugger
    lines against the map file and returns stderr without them."""
    positions = {slot: key for key, slots in slot_map.items() for slot in slots}

    def strip(m):
        line, slot = m.group(0), int(m.group(1))
        note = POSITION_NOTE_RE.search(line)
        want = positions.get(slot)
        if note is None:
            if want is not None:
                problems.append(f'no source position in {line!r}; the map gives {want}')
            return line
        got = (note.group(1), int(note.group(2)))
        if got != want:
            problems.append(f'source position {got} in {line!r}; the map gives {want}')
        return line[:note.start()]
    return DEBUG_LINE_RE.sub(strip, stderr)


def check_files(scratch, exp, problems, translate=None):
    for spec in exp['file'] + exp['file-contains']:
        fname, _, text = spec.partition('=')
        contains = spec in exp['file-contains']
        path = os.path.join(scratch, fname)
        if not os.path.exists(path):
            problems.append(f'file {fname} missing')
            continue
        with open(path, 'rb') as f:
            got = f.read().decode('cp1252')
        if translate:
            pat = translate.pattern(text)
            ok = re.search(pat, got) is not None if contains else re.fullmatch(pat, got) is not None
        else:
            ok = (text in got) if contains else (got == text)
        if not ok:
            problems.append(f'file {fname} holds {got!r}, expected {text!r}')


def check_result(result, exp, want_out, problems, translate=None):
    code, out, err = result
    if code != exp['exit']:
        problems.append(f'exit code {code}, expected {exp["exit"]}')
    if out != want_out:
        problems.append('stdout differs:\n--- expected\n' + want_out + '--- got\n' + out + '---')
    for s in exp['stderr']:
        found = re.search(translate.pattern(s), err) if translate else s in err
        if not found:
            problems.append(f'stderr lacks {s!r}')
    for s in exp['stderr-absent']:
        found = re.search(translate.pattern(s), err) if translate else s in err
        if found:
            problems.append(f'stderr has {s!r}')


NATIVE_NAMES = {'KORVID.exe': 'korvid', 'KORVAC.exe': 'korvac', 'KORVEX.exe': 'korvex'}


class Runner:
    def __init__(self, root, build, native=False, wrapper=()):
        self.root = root
        self.build = build
        self.native = native
        self.wrapper = list(wrapper)
        self.stats = {'both': 0, 'refused': 0, 'linked': 0, 'interpreter-only': 0}
        self.lock = threading.Lock()

    def exe(self, name):
        return os.path.join(self.build, NATIVE_NAMES[name] if self.native else name)

    def command(self, name, *args):
        return (self.wrapper if self.native else ['wine']) + [self.exe(name)] + list(args)

    def scratch_copy(self, program, scratch):
        src_dir = os.path.dirname(program)
        for name in os.listdir(src_dir):
            full = os.path.join(src_dir, name)
            if os.path.isfile(full):
                shutil.copy(full, scratch)

    def run_interpreter(self, program, exp, stdin_data, problems):
        base = program[:-4]
        clear_telmar()
        with tempfile.TemporaryDirectory(prefix='korv-e2e-') as scratch:
            self.scratch_copy(program, scratch)
            name = os.path.basename(program) if exp['program'] is None else exp['program']
            result = run_exe(self.command('KORVID.exe', *([name] if name else [])) + exp['args'],
                             scratch, stdin_data)
            if result is None:
                problems.append('timed out after 180 s')
                return None
            check_result(result, exp, read_text(base + '.out'), problems)
            if exp['telmar']:
                lines = [l.strip() for l in (read_telmar() or '').splitlines()]
                for kv in exp['telmar']:
                    if kv not in lines:
                        problems.append(f'TELMAR.LOG lacks {kv!r}; it holds {lines!r}')
            check_files(scratch, exp, problems)
        return result

    def run_compiled(self, program, exp, stdin_data, reference, linked, problems):
        """Compiles and runs the program; returns 'both', 'refused' or None."""
        base = program[:-4]
        name = os.path.basename(program)
        stem = name[:-4]
        clear_telmar()
        with tempfile.TemporaryDirectory(prefix='korv-e2e-') as scratch:
            self.scratch_copy(program, scratch)
            comp = run_exe(self.command('KORVAC.exe', name, '-B', '-M'), scratch, b'')
            if comp is None:
                problems.append('the compiler timed out')
                return None
            ccode, _, cerr = comp
            if ccode != 0:
                report = first_compile_report(cerr)
                if exp['compile-error'] is not None:
                    if report is None or report[2] != exp['compile-error']:
                        problems.append(f'the compiler should refuse with {exp["compile-error"]}; it said:\n{cerr}')
                    return 'refused'
                if ccode == 1 and report is None and reference is not None and reference[0] == 1:
                    # A load failure (exit 1) in both programs: the same message.
                    msg = re.sub(r'^\[Korvid Compiler 1.0\]', '[Korvid]', cerr.strip().split('\n')[0])
                    if msg not in reference[2]:
                        problems.append(f'the compiler failed otherwise than the interpreter:\n{cerr}')
                    return 'refused'
                if report is not None and reference is not None and interpreter_made_report(reference[2], report):
                    return 'refused'
                problems.append(f'the compiler refused the program (exit {ccode}):\n{cerr}')
                return None
            if exp['compile-error'] is not None:
                problems.append(f'the compiler accepted a program marked compile-error {exp["compile-error"]}')
                return None
            translate = Translator(read_map(os.path.join(scratch, stem + '.mapdatei')), name)
            target = stem + '.kvc'
            cmd = self.command('KORVEX.exe', target)
            if linked:
                link = run_exe(['wine', self.exe('KORVAC.exe'), target, '-LINK', '-B', '-R',
                                self.exe('KORVEX.exe')], scratch, b'')
                if link is None or link[0] != 0:
                    problems.append('linking failed: ' + (link[2] if link else 'timeout'))
                    return None
                os.remove(os.path.join(scratch, target))
                # The runtime's folder holds the test DLLs; a linked program
                # finds them beside itself.
                for dll in os.listdir(self.build):
                    if dll.lower().endswith('.dll'):
                        shutil.copy(os.path.join(self.build, dll), scratch)
                cmd = ['wine', os.path.join(scratch, stem + '.exe')]
            result = run_exe(cmd + exp['args'], scratch, stdin_data)
            if result is None:
                problems.append('timed out after 180 s')
                return None
            result = (result[0], result[1], take_position_notes(result[2], translate.slots, problems))
            own_out = os.path.exists(base + '.compiled.out')
            check_result(result, exp, read_text(base + ('.compiled.out' if own_out else '.out')), problems,
                         translate)
            check_files(scratch, exp, problems, translate)
            if reference is not None and not exp['differs']:
                if result[1] != reference[1] and not own_out:
                    problems.append('stdout differs from the interpreter\'s')
                if result[0] != reference[0]:
                    problems.append(f'exit code {result[0]}, the interpreter\'s {reference[0]}')
                a, b = report_numbers(reference[2]), report_numbers(result[2])
                if a != b:
                    problems.append(f'error numbers {b}, the interpreter\'s {a}')
        return 'both'

    def run(self, program, index, modes):
        base = program[:-4]
        exps = parse_expect(base + '.expect')
        stdin_data = b''
        if os.path.exists(base + '.in'):
            with open(base + '.in', 'rb') as f:
                stdin_data = f.read()
        outcome = []
        reference = None
        if 'interpreter' in modes:
            problems = []
            reference = self.run_interpreter(program, exps['interpreter'], stdin_data, problems)
            outcome.append(('interpreter', problems))
        if 'compiled' in modes:
            exp = exps['compiled']
            if exp['interpreter-only'] or exp['program'] is not None:
                with self.lock:
                    self.stats['interpreter-only'] += 1
            else:
                problems = []
                linked = not self.native and (index % LINK_SAMPLE == 0 or '/runtime/' in program.replace(os.sep, '/'))
                kind = self.run_compiled(program, exp, stdin_data, reference, linked, problems)
                if kind and not problems:
                    with self.lock:
                        self.stats[kind] += 1
                        if linked and kind == 'both':
                            self.stats['linked'] += 1
                outcome.append(('compiled' + (', linked' if linked else ''), problems))
        return outcome


def read_skip_list(path):
    listed = set()
    with open(path, encoding='utf-8') as f:
        for line in f:
            line = line.split('#', 1)[0].strip()
            if line:
                listed.add(line)
    return listed


def read_text(path):
    if not os.path.exists(path):
        return ''
    with open(path, encoding='utf-8') as f:
        return f.read()


def warm_up(build):
    """Starts Wine once with a window before the parallel runs. The first
    window program of a fresh Wine session has been seen to hang for minutes
    while Wine starts its desktop process; a stuck start is ended and tried
    again, so no program under test meets it."""
    with tempfile.TemporaryDirectory() as d:
        with open(os.path.join(d, 'warm.krv'), 'w') as f:
            f.write('PRINT "warm"\n')
        for attempt in range(3):
            if run_exe(['wine', os.path.join(build, 'KORVID.exe'), 'warm.krv'], d, b'', timeout=30) is not None:
                return
            print(f'note: warm-up start {attempt + 1} of Wine hung; tried again')


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--root', default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    ap.add_argument('--mode', choices=['both', 'interpreter', 'compiled'], default='both')
    ap.add_argument('-j', '--jobs', type=int, default=2, help='programs run at the same time')
    ap.add_argument('--native', metavar='DIR', help='run the native console programs of this build folder')
    ap.add_argument('--wrapper', default='', help='command put before every native program')
    ap.add_argument('--skip', metavar='FILE', help='leave out the programs this file lists')
    ap.add_argument('filter', nargs='*', help='run only programs whose path contains one of these')
    args = ap.parse_args()
    build = os.path.abspath(args.native) if args.native else os.environ.get('KORV_WIN32_BUILD', os.path.join(args.root, 'build', 'win32'))
    # The test libraries of tests/dll are built beside the programs; a linked
    # .exe runs from the scratch folder and finds them through the path.
    os.environ['WINEPATH'] = ';'.join(filter(None, ['Z:' + os.path.abspath(build).replace('/', '\\'),
                                                    os.environ.get('WINEPATH')]))
    modes = ['interpreter', 'compiled'] if args.mode == 'both' else [args.mode]
    compiled_exes = ('korvac', 'korvex') if args.native else ('KORVAC.exe', 'KORVEX.exe')
    if 'compiled' in modes and not all(os.path.exists(os.path.join(build, e)) for e in compiled_exes):
        print(f'note: no KORVAC.exe/KORVEX.exe in {build}: compiled runs skipped')
        modes = [m for m in modes if m != 'compiled']
    progs = []
    for top in (os.path.join('tests', 'programs'), 'examples'):
        for d, _, files in os.walk(os.path.join(args.root, top)):
            progs += [os.path.join(d, f) for f in files if f.endswith('.krv')]
    progs.sort()
    if args.filter:
        progs = [p for p in progs if any(f in p for f in args.filter)]
    skipped = 0
    if args.skip:
        listed = read_skip_list(args.skip)
        kept = [p for p in progs if os.path.relpath(p, args.root).replace(os.sep, '/') not in listed]
        skipped, progs = len(progs) - len(kept), kept
    if not args.native:
        warm_up(build)
    runner = Runner(args.root, build, native=bool(args.native), wrapper=args.wrapper.split())
    # Programs that look at TELMAR.LOG (one file for every program) run one
    # at a time after the others, which run in parallel.
    def reads_telmar(p):
        exps = parse_expect(p[:-4] + '.expect')
        return any(e['telmar'] for e in exps.values())
    indexed = list(enumerate(progs))
    parallel = [(i, p) for i, p in indexed if not reads_telmar(p)]
    serial = [(i, p) for i, p in indexed if reads_telmar(p)]
    results = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        futures = {pool.submit(runner.run, p, i, modes): p for i, p in parallel}
        for fut in concurrent.futures.as_completed(futures):
            results[futures[fut]] = fut.result()
    for i, p in serial:
        results[p] = runner.run(p, i, modes)
    passed = failed = 0
    for p in progs:
        rel = os.path.relpath(p, args.root)
        for mode, problems in results[p]:
            if problems:
                failed += 1
                print(f'FAIL {rel} [{mode}]')
                for pr in problems:
                    print('   ' + pr.replace('\n', '\n   '))
            else:
                passed += 1
    print(f'{passed} passed, {failed} failed' + (f', {skipped} programs skipped ({args.skip})' if args.skip else ''))
    if 'compiled' in modes:
        s = runner.stats
        print(f'compiled: {s["both"]} programs run both ways ({s["linked"]} of them as linked .exe), '
              f'{s["refused"]} refused at compile time with the interpreter\'s error, '
              f'{s["interpreter-only"]} interpreter-only')
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == '__main__':
    sys.exit(main())
