#!/usr/bin/env python3
"""End-to-end tests of the compiler KORVAC and the runtime KORVEX as
programs: options, map file, name shortening, linking and the layout of
linked programs, every failure of the compiled-file reader, the runtime's
rules for finding its program, and the processed runtime file itself.

Runs the Windows executables of the build folder (KORV_WIN32_BUILD, default
build/win32) under Wine in console mode, and the native console compiler
(KORV_NATIVE_BUILD, default build/native) when it is there.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

DEMO = '''DECLARE a%, s$
a% = 5 AND 1
IF a% = 1
  s$ = "yes"
ELSE
  s$ = "no"
ENDIF
PRINT s$, CHR$(65)
WHILELOOP 3
  PRINT &LOOP
ENDWHILE
PRINT %PARCOUNT; " "; PAR$(1)
'''


class Checker:
    def __init__(self, build, native):
        self.build = build
        self.native = native
        self.failures = []
        self.count = 0

    def exe(self, name):
        return os.path.join(self.build, name)

    def check(self, cond, what):
        self.count += 1
        if not cond:
            self.failures.append(what)
            print('FAIL ' + what)

    def run(self, cmd, cwd, env_extra=None):
        env = dict(os.environ, KORV_CONSOLE='1')
        env.pop('TMR_RUNTIME', None)
        env.pop('TMR_PATH', None)
        env.update(env_extra or {})
        # Output through files: Wine may keep pipe ends open in its desktop
        # process after the program has ended.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            p = subprocess.run(cmd, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                               timeout=120)
            out.seek(0)
            err.seek(0)
            return (p.returncode, out.read().decode('cp1252').replace('\r', ''),
                    err.read().decode('cp1252').replace('\r\n', '\n'))

    def wine(self, exe, args, cwd, env_extra=None):
        return self.run(['wine', exe] + args, cwd, env_extra)


def write(path, data):
    with open(path, 'wb') as f:
        f.write(data if isinstance(data, bytes) else data.encode('cp1252'))


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def header(protected=False):
    h = bytearray(b' QTV-TELMARD DATEI\x1a' + b' ' * 12 + b'\x00')
    if protected:
        h[19:26] = bytes([1, 2, 3, 4, 5, 6, 7])
        h[26:30] = bytes([0, 1, 2, 3])
    return bytes(h)


def test_runtime_file(c, tmp):
    data = read(c.exe('KORVEX.exe'))
    lfanew = struct.unpack_from('<I', data, 0x3C)[0]
    c.check(data[128:132] == b'\0\0\0\0', 'KORVEX.exe holds 0 in bytes 128..131')
    c.check(lfanew >= 132 and data[lfanew:lfanew + 4] == b'PE\0\0', 'KORVEX.exe: e_lfanew >= 132 points at the PE header')
    # The processed runtime starts: without a program it asks for one (the
    # dialog counts as cancelled in console mode).
    code, _, err = c.wine(c.exe('KORVEX.exe'), [], tmp)
    c.check(code == 2 and '[Korvid] Aufruf mit: \nKORVEX [<Dateiname>]' in err,
            f'the runtime without a program asks for one and ends with 2 (got {code}: {err!r})')


def test_demo_link(c, tmp):
    write(os.path.join(tmp, 'demo.KRVSrc'), DEMO)
    code, out, err = c.wine(c.exe('KORVAC.exe'), ['demo', '-L', '-S'], tmp,
                            {'TMR_RUNTIME': '"' + c.exe('KORVEX.exe') + '"'})
    c.check(code == 0, f'KORVAC demo -L -S succeeds (got {code}: {err})')
    c.check(os.path.exists(os.path.join(tmp, 'demo.kvc')) and os.path.exists(os.path.join(tmp, 'demo.scr')),
            'KORVAC demo -L -S makes demo.kvc and demo.scr')
    c.check('Screensaver erfolgreich erzeugt!' in err and 'Programm erfolgreich compiliert!' not in err,
            'linking reports the screen saver, -L no compile success')
    c.check('Erzeugung des Programmes:' in out and 'Bytes RUNTIME werden kopiert.' in out,
            'the link progress is written to stdout')
    runtime = read(c.exe('KORVEX.exe'))
    kvc = read(os.path.join(tmp, 'demo.kvc'))
    scr = read(os.path.join(tmp, 'demo.scr'))
    n = len(runtime)
    c.check(struct.unpack_from('<I', scr, 128)[0] == n + 1, 'bytes 128..131 of the linked file hold N + 1')
    c.check(scr[n] == 0 and scr[n + 1:] == kvc, 'byte N is 0 and the compiled file follows')
    c.check(scr[:128] == runtime[:128] and scr[132:n] == runtime[132:], 'the runtime is copied unchanged')
    c.check(kvc[20:22] != b'  ', 'a program without $P- is protected')
    ref = c.wine(c.exe('KORVID.exe'), ['demo.KRVSrc', 'x'], tmp)
    got = c.wine(os.path.join(tmp, 'demo.scr'), ['x'], tmp)
    c.check(ref[0] == 0 and got[0] == 0 and ref[1] == got[1] and 'yes A' in got[1],
            f'the linked screen saver prints what the interpreter prints ({got[1]!r} / {ref[1]!r})')
    # -LINK of an existing compiled file, and with no name (dialog).
    code, _, err = c.wine(c.exe('KORVAC.exe'), ['demo.kvc', '-LINK', '-B', '-R', c.exe('KORVEX.exe')], tmp)
    c.check(code == 0 and os.path.exists(os.path.join(tmp, 'demo.exe')) and err == '',
            f'KORVAC demo.kvc -LINK -B links demo.exe without a box ({err!r})')
    code, _, err = c.wine(c.exe('KORVAC.exe'), ['-LINK', '-R', c.exe('KORVEX.exe')], tmp)
    c.check(code == 2 and 'Zum Linken Aufruf mit: \nKORVAC [<Dateiname>] -link [/S]' in err,
            f'KORVAC -LINK asks for the file ({code}, {err!r})')
    # The linked program: an argument that names a compiled file runs that
    # file, any other argument runs the appended program.
    write(os.path.join(tmp, 'other.krv'), 'PRINT "other"\n')
    c.wine(c.exe('KORVAC.exe'), ['other.krv', '-B'], tmp)
    got = c.wine(os.path.join(tmp, 'demo.exe'), ['other.kvc'], tmp)
    c.check(got[1] == 'other\n', f'a linked program given a compiled file runs that file ({got[1]!r})')
    got = c.wine(os.path.join(tmp, 'demo.exe'), ['nothere', 'b'], tmp)
    c.check('yes A' in got[1] and '2 nothere' in got[1],
            f'a linked program given another argument runs itself with all arguments ({got[1]!r})')


def test_options(c, tmp):
    write(os.path.join(tmp, 'demo.krv'), DEMO)
    code, _, err = c.wine(c.exe('KORVAC.exe'), ['demo.krv', '-E', 'xyz'], tmp)
    c.check(code == 0 and os.path.exists(os.path.join(tmp, 'demo.xyz')),
            '-E xyz writes demo.xyz')
    c.check('Programm erfolgreich compiliert!' in err, 'a compile without -B and -L reports success')
    code, _, _ = c.wine(c.exe('KORVAC.exe'), ['demo', '-LINK', '-E', 'xyz', '-B', '-R', c.exe('KORVEX.exe')], tmp)
    c.check(code == 0 and os.path.exists(os.path.join(tmp, 'demo.exe')), '-LINK -E xyz links demo.xyz')
    # Map lines: an include file and a colon line.
    write(os.path.join(tmp, 'lib.inc'), 'DECLARE b%\nb% = 2\n')
    write(os.path.join(tmp, 'mapped.krv'), "' comment\nDECLARE a% : a% = 1\n$I lib.inc\nPRINT a%\n")
    code, _, err = c.wine(c.exe('KORVAC.exe'), ['mapped.krv', '-M', '-B'], tmp)
    lines = read(os.path.join(tmp, 'mapped.mapdatei')).decode('cp1252').split('\r\n')
    want = ['1=mapped.krv (     1)', '2=mapped.krv (     2)', '3=mapped.krv (     2)', '4=mapped.krv (     3)',
            '5=lib.inc (     1)', '6=lib.inc (     2)', '7=mapped.krv (     4)', '']
    c.check(code == 0 and lines == want, f'-M writes one map line per slot ({lines!r})')
    # Without a runtime module.
    code, _, err = c.wine(c.exe('KORVAC.exe'), ['demo.krv', '-L', '-B'], tmp)
    c.check(code == 1 and '[Korvid Compiler 1.0] FEHLER: \nRuntime-Modul nicht gefunden:\n\n' in err
            and not os.path.exists(os.path.join(tmp, 'demo.exe.part')),
            f'linking without a runtime module fails with the empty name ({err!r})')
    # A runtime whose bytes 128..131 are not 0 is refused, nothing is left.
    os.remove(os.path.join(tmp, 'demo.exe'))
    code, _, err = c.wine(c.exe('KORVAC.exe'), ['demo.krv', '-L', '-B', '-R', c.exe('KORVID.exe')], tmp)
    c.check(code == 1 and 'FEHLER: \nRuntime-Modul ungeeignet:' in err and not os.path.exists(os.path.join(tmp, 'demo.exe')),
            f'an unprocessed runtime is refused and no program is left ({code}, {err!r})')


def test_compile_failures(c, tmp):
    write(os.path.join(tmp, 'bad.krv'), 'DECLARE a%\nPRINT 1\nFOO 2\n')
    code, _, err = c.wine(c.exe('KORVAC.exe'), ['bad.krv', '-M'], tmp)
    c.check(code == 1 and 'ERROR:\tbad.krv (3) 102:Befehl unbekannt: FOO' in err
            and '[Befehl unbekannt: FOO] Zeile  3 in bad.krv: \nFOO 2' in err,
            f'a compile error is reported at its source line, exit 1 ({code}, {err!r})')
    c.check(not os.path.exists(os.path.join(tmp, 'bad.kvc')) and not os.path.exists(os.path.join(tmp, 'bad.mapdatei')),
            'a failed compile leaves no .kvc and no map file')
    # A statement whose compiled form is longer than 32767 bytes: 902.
    write(os.path.join(tmp, 'long.krv'), 'DEF %AB 1\nDECLARE x%\nx% = 0' + '+%AB' * 5500 + '\n')
    code, _, err = c.wine(c.exe('KORVAC.exe'), ['long.krv'], tmp)
    c.check(code == 1 and '902:Zeile zu lang (max. 32767 Zeichen)!' in err and 'long.krv (3)' in err
            and not os.path.exists(os.path.join(tmp, 'long.kvc')),
            f'a compiled statement over 32767 bytes is error 902 at its line ({err[:200]!r})')
    code, _, err = c.wine(c.exe('KORVAC.exe'), ['nothere.krv'], tmp)
    c.check(code == 1 and '[Korvid Compiler 1.0] Datei kann nicht gelesen werden: nothere.krv' in err,
            f'a missing source is message 300 ({err!r})')


def test_shortening(c, tmp):
    src = '''DECLARE speed!, x!, counter%, name$, list%
VAR total! = 1.5
speed! = 2
x! = 3
counter% = 4
name$ = "n"
list% = 6
PRINT speed!, x!, counter%, name$, total!, list%;(1)
PRINT Area(2)
END
PROC Area
  PARAMETERS side!
  RETURN side! * side! + speed!
ENDPROC
'''
    write(os.path.join(tmp, 'short.krv'), src)
    code, _, err = c.wine(c.exe('KORVAC.exe'), ['short.krv', '-V', '-B'], tmp)
    c.check(code == 0, f'-V compiles ({err})')
    kvc = read(os.path.join(tmp, 'short.kvc'))
    # Protected: descramble to look at the names.
    body = bytes(kvc)
    ref = c.wine(c.exe('KORVID.exe'), ['short.krv'], tmp)
    got = c.wine(c.exe('KORVEX.exe'), ['short.kvc'], tmp)
    c.check(ref[1] == got[1] and got[0] == 0, f'the shortened program prints what the interpreter prints ({got[1]!r} / {ref[1]!r})')
    write(os.path.join(tmp, 'plain.krv'), '$P-\n' + src)
    c.wine(c.exe('KORVAC.exe'), ['plain.krv', '-V', '-B'], tmp)
    plain = read(os.path.join(tmp, 'plain.kvc'))
    c.check(b'SPEED' not in plain.upper() and b'COUNTER' not in plain.upper() and b'TOTAL' not in plain.upper(),
            'declared names are gone from the shortened program')
    # x! is a member of the built-in sprite structure and stays; no generated
    # name equals it or A!, B! (members too); list% is a protected name.
    c.check(b'X!' in plain and b'LIST%' in plain.upper() and b'A!=' not in plain and b'B!=' not in plain,
            'protected and structure member names stay, no generated name equals them')
    c.check(b';(1)' in plain or b';(' in plain, 'a ";(" of another statement stays')
    c.check(body[:12] == b' QTV-TELMARD', 'the shortened program has a header')


def test_reader_errors(c, tmp):
    cases = [
        ('notkvc.kvc', b'hello world, this is no program at all', 1, '[ello world] Keine Korvid-Datei!'),
        ('short.kvc', b' QTV', 1, '[QTV] Keine Korvid-Datei!'),
        ('version.kvc', b' QTV-TELMARX' + header()[12:] + b'\x01\x00\x27', 1, '[QTV-TELMAR] Unpassende Runtime-Version!'),
        ('selector.kvc', header(True)[:28] + b'\x09' + header(True)[29:], 1, '[Korvid] Programmdatei fehlerhaft!'),
        ('cut.kvc', header() + b'\x05\x00\xa2', 1, '[Korvid] Programmdatei fehlerhaft!'),
        ('long.kvc', header() + b'\x00\x80' + b'\x27' * 0x8000, 1, '[Korvid] Zeile zu lang (max. 32767 Zeichen)!'),
        ('many.kvc', header() + b'\x01\x00\x27' * 262141, 1, '[Korvid] Zu viele Programm-Zeilen!'),
    ]
    for name, data, want_code, want_err in cases:
        write(os.path.join(tmp, name), data)
        code, out, err = c.wine(c.exe('KORVEX.exe'), [name], tmp)
        c.check(code == want_code and want_err in err and out == '',
                f'reader: {name} gives {want_err!r} and exit {want_code} (got {code}, {err!r})')
    # The largest program that is allowed runs.
    write(os.path.join(tmp, 'most.kvc'), header() + b'\x01\x00\x27' * 262139 + b'\x07\x00\xa2"done"')
    code, out, err = c.wine(c.exe('KORVEX.exe'), ['most.kvc'], tmp)
    c.check(code == 0 and out == 'done\n', f'262140 statements are read and run ({code}, {out!r}, {err!r})')


def test_finding(c, tmp):
    write(os.path.join(tmp, 'find.krv'), 'PRINT "found", PAR$(1)\n')
    c.wine(c.exe('KORVAC.exe'), ['find.krv', '-B'], tmp)
    os.rename(os.path.join(tmp, 'find.kvc'), os.path.join(tmp, 'find.KVC'))
    got = c.wine(c.exe('KORVEX.exe'), ['find', 'p'], tmp)
    c.check(got[1] == 'found p\n', f'the argument find opens find.KVC ({got!r})')
    os.makedirs(os.path.join(tmp, 'sub.dir'))
    write(os.path.join(tmp, 'sub.dir', 'prog.krv'), 'PRINT "in sub.dir"\n')
    c.wine(c.exe('KORVAC.exe'), ['sub.dir\\prog.krv', '-B'], tmp)
    os.rename(os.path.join(tmp, 'sub.dir', 'prog.kvc'), os.path.join(tmp, 'sub.dir', 'prog.KVC'))
    got = c.wine(c.exe('KORVEX.exe'), ['sub.dir\\prog'], tmp)
    c.check(got[1] == 'in sub.dir\n', f'only the last path component counts for the dot ({got!r})')
    code, _, err = c.wine(c.exe('KORVEX.exe'), ['nothere.kvc'], tmp)
    c.check(code == 2 and '[Korvid] Datei nicht gefunden: nothere.kvc' in err,
            f'a missing program file is message 209 and exit 2 ({code}, {err!r})')
    code, _, err = c.wine(c.exe('KORVEX.exe'), ['nothere'], tmp)
    c.check(code == 2 and 'Datei nicht gefunden: nothere.KVC' in err, f'a missing name gets .KVC ({err!r})')


def test_native_compiler(c, tmp):
    korvac = os.path.join(c.native, 'korvac') if c.native else None
    if not korvac or not os.path.exists(korvac):
        print('note: no native korvac: the Linux compiler is not tested')
        return
    write(os.path.join(tmp, 'nat.krv'), DEMO)
    p = subprocess.run([korvac, 'nat.krv', '-L', '-R', c.exe('KORVEX.exe')], cwd=tmp, capture_output=True)
    c.check(p.returncode == 0 and os.path.exists(os.path.join(tmp, 'nat.exe')),
            f'the Linux compiler links a Windows program ({p.stderr!r})')
    ref = c.wine(c.exe('KORVID.exe'), ['nat.krv'], tmp)
    got = c.wine(os.path.join(tmp, 'nat.exe'), [], tmp)
    c.check(ref[1] == got[1] and 'yes A' in got[1], 'the program linked on Linux runs under Windows')


def run_raw(cmd, cwd, console, stdin_data=b''):
    """Runs a program with KORV_CONSOLE=console; exit code and the raw bytes
    of standard output and standard error."""
    env = dict(os.environ, KORV_CONSOLE=console)
    env.pop('TMR_RUNTIME', None)
    with tempfile.TemporaryFile() as inp, tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        inp.write(stdin_data)
        inp.seek(0)
        p = subprocess.run(cmd, cwd=cwd, env=env, stdin=inp, stdout=out, stderr=err, timeout=120)
        out.seek(0)
        err.seek(0)
        return p.returncode, out.read(), err.read()


def test_console(c, tmp):
    # A missing program file is named before the usage text.
    code, _, err = c.wine(c.exe('KORVID.exe'), ['nothere.krv'], tmp)
    first = err.split('\n')[0] if err else ''
    c.check(code == 2 and first == '[Korvid] Datei nicht gefunden: nothere.krv' and 'KORVID [<Dateiname>]' in err,
            f'a missing source file is named on stderr first ({code}, {err!r})')
    code, _, err = c.wine(c.exe('KORVID.exe'), ['nothere'], tmp)
    c.check(code == 2 and err.startswith('[Korvid] Datei nicht gefunden: nothere.KRVSRC\n'),
            f'the name tried is the one with the extension ({err!r})')
    code, _, err = c.wine(c.exe('KORVID.exe'), [], tmp)
    c.check(code == 2 and 'nicht gefunden' not in err, f'no file named: only the usage text ({err!r})')

    # KORV_CONSOLE=utf8 converts the standard handles; =1 keeps the bytes.
    write(os.path.join(tmp, 'umlaut.krv'),
          'DECLARE a$\nPRINT "Grüße aus Köln"\nINPUT a$\nPRINT a$; " "; LEN(a$)\n'
          'SETERRORLEVEL -1\nPRINT LN(-1)\n')
    typed = 'Käse\n'.encode('utf-8')
    code, out, err = run_raw(['wine', c.exe('KORVID.exe'), 'umlaut.krv'], tmp, 'utf8', typed)
    out = out.replace(b'\r', b'')
    c.check(code == 0 and out.startswith('Grüße aus Köln\nKäse 4\n'.encode('utf-8')),
            f'utf8: output and input lines in UTF-8 ({code}, {out!r})')
    c.check('Ungültiger Funktionswert!'.encode('utf-8') in err, f'utf8: standard error in UTF-8 ({err!r})')
    code, out, err = run_raw(['wine', c.exe('KORVID.exe'), 'umlaut.krv'], tmp, '1', 'Käse\n'.encode('cp1252'))
    out = out.replace(b'\r', b'')
    c.check(code == 0 and out.startswith('Grüße aus Köln\nKäse 4\n'.encode('cp1252')),
            f'1: output bytes as the program has them ({code}, {out!r})')
    c.check('Ungültiger Funktionswert!'.encode('cp1252') in err, f'1: standard error in Windows-1252 ({err!r})')

    # KORVEX names the source position of a statement from the map file.
    # Statement numbers differ from line numbers after a ":" split.
    write(os.path.join(tmp, 'pos.krv'),
          'DECLARE a%\nSETERRORLEVEL -1 : a% = q%\na% = %ERRNUMBER\nSETERRORLEVEL 0\n'
          'a% = 1 : a% = 1 / 0\nPRINT "never"\n')
    code, _, err = c.wine(c.exe('KORVAC.exe'), ['pos.krv', '-B', '-M'], tmp)
    c.check(code == 0 and os.path.exists(os.path.join(tmp, 'pos.mapdatei')), f'pos.krv compiles ({err!r})')
    code, _, err = c.wine(c.exe('KORVEX.exe'), ['pos.kvc'], tmp)
    lines = err.split('\n')
    warn = [l for l in lines if l.startswith('WARN:')]
    error = [l for l in lines if l.startswith('ERROR:')]
    c.check(code == 3 and len(warn) == 1 and warn[0].startswith('WARN:\t3\t215\t') and
            warn[0].endswith('Q% [pos.krv (2)]'), f'a warning names its source line ({code}, {err!r})')
    c.check(len(error) == 1 and error[0] == 'ERROR:\t7\t201:Division durch 0! [pos.krv (5)]',
            f'an error names its source line ({err!r})')
    c.check('[Division durch 0!] Zeile      7!\n' in err, f'the box text stays as it was ({err!r})')
    code, _, err = c.wine(c.exe('KORVAC.exe'), ['pos.kvc', '-LINK', '-B', '-R', c.exe('KORVEX.exe')], tmp)
    code, _, err = c.wine(os.path.join(tmp, 'pos.exe'), [], tmp)
    c.check('ERROR:\t7\t201:Division durch 0! [pos.krv (5)]' in err,
            f'a linked program finds the map file beside it ({code}, {err!r})')
    os.remove(os.path.join(tmp, 'pos.mapdatei'))
    code, _, err = c.wine(c.exe('KORVEX.exe'), ['pos.kvc'], tmp)
    c.check('ERROR:\t7\t201:Division durch 0!\n' in err, f'without a map file the line is as before ({err!r})')


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--root', default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    args = ap.parse_args()
    build = os.environ.get('KORV_WIN32_BUILD', os.path.join(args.root, 'build', 'win32'))
    native = os.environ.get('KORV_NATIVE_BUILD', os.path.join(args.root, 'build', 'native'))
    c = Checker(build, native)
    for test in (test_runtime_file, test_demo_link, test_options, test_compile_failures, test_shortening,
                 test_reader_errors, test_finding, test_console, test_native_compiler):
        with tempfile.TemporaryDirectory(prefix='korv-tool-') as tmp:
            try:
                test(c, tmp)
            except Exception as e:  # a crash of the test itself counts as a failure
                c.check(False, f'{test.__name__} raised {e!r}')
    print(f'toolchain: {c.count - len(c.failures)} passed, {len(c.failures)} failed')
    return 0 if not c.failures else 1


if __name__ == '__main__':
    sys.exit(main())
