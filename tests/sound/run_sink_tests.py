#!/usr/bin/env python3
"""Wave output recorded without a sound card. Wine's ALSA driver plays
into the ALSA "default" PCM; here that is a file plugin in front of the
null device, set up by an ALSA configuration of each test's own
(ALSA_CONFIG_PATH), so the samples a program plays land in a wave file of
its scratch folder. Only the programs of this test see the device: the
other end-to-end programs keep the machine's own ALSA setup.

Each program runs in the interpreter and compiled (KORVAC, then KORVEX):
  sink_sync.krv  synchronous PLAYSOUND: one wave device, the statement
                 waits while a tone of a second is played, and the
                 recording of beep.wav (0.1 s of 440 Hz) holds the sine
                 for its length, in one piece;
  sink_loop.krv  an asynchronous PLAYSOUND of the tone of a second returns
                 at once, a looped one of beep.wav (flag 8 alone) too;
                 the loop goes on while the program sleeps and is stopped
                 at its end: the program ends with exit code 0, and the
                 recording holds several rounds of the sine and was
                 closed by the program (the wave header carries the
                 final sizes).

Pulse is kept out (PULSE_SERVER names no server), so Wine takes ALSA.
Skipped with a message when Wine or the 32-bit ALSA library is missing.
KORV_WIN32_BUILD names the build folder of the Windows programs.

Not yet a stage of ./korv test: it was written on a machine whose kernel
runs no 32-bit code, where Wine ran only under an emulator, and it has not
passed there (the interpreter crashed at the end of sink_loop.krv while a
loop was still playing, which may be the emulator's). Run it by hand on a
machine that runs 32-bit programs before it joins the suite:
  KORV_WIN32_BUILD=build/win32 python3 tests/sound/run_sink_tests.py
"""
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
BEEP = os.path.join(ROOT, 'tests', 'programs', 'sound', 'beep.wav')
ALSA_LIB32 = '/usr/lib/i386-linux-gnu/libasound.so.2'
ALSA_CONF = '/usr/share/alsa/alsa.conf'
TIMEOUT = int(os.environ.get('KORV_SINK_TIMEOUT', '300'))
TONE_HZ = 440
TONE_S = 0.1          # length of beep.wav
LONG_S = 1.0          # length of long.wav, written by the test
# The null device takes samples as fast as they come, and Wine's ALSA
# driver keeps about three of its periods queued: a sound drains at about
# three times its speed. A synchronous sound still takes a good part of its
# length; an asynchronous one returns at once.
DRAIN_SHARE = 0.25


def write_tone(path, seconds, rate=8000):
    """A wave file of the tone: 8-bit mono PCM, as beep.wav."""
    n = int(rate * seconds)
    data = bytes(int(128 + 100 * math.sin(2 * math.pi * TONE_HZ * i / rate)) for i in range(n))
    fmt = struct.pack('<IHHIIHH', 16, 1, 1, rate, rate, 1, 8)
    wave = b'WAVE' + b'fmt ' + fmt + b'data' + struct.pack('<I', len(data)) + data
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', len(wave)) + wave)


def sink_config(scratch):
    """An ALSA configuration whose default PCM records into played.wav."""
    wav = os.path.join(scratch, 'played.wav')
    conf = os.path.join(scratch, 'asound.conf')
    with open(conf, 'w') as f:
        f.write('pcm.!default {\n'
                '  type file\n'
                '  slave.pcm "null"\n'
                f'  file "{wav}"\n'
                '  format "wav"\n'
                '}\n')
    return conf, wav


def run(mode, program, scratch, build):
    conf, wav = sink_config(scratch)
    env = dict(os.environ, KORV_CONSOLE='1', ALSA_CONFIG_PATH=ALSA_CONF + ':' + conf,
               PULSE_SERVER='unix:' + os.path.join(scratch, 'no-pulse'))
    shutil.copy(os.path.join(HERE, program), scratch)
    shutil.copy(BEEP, scratch)
    write_tone(os.path.join(scratch, 'long.wav'), LONG_S)
    if mode == 'compiled':
        c = subprocess.run(['wine', os.path.join(build, 'KORVAC.exe'), program, '-B'], cwd=scratch, env=env,
                           capture_output=True, timeout=TIMEOUT, stdin=subprocess.DEVNULL)
        if c.returncode != 0:
            raise AssertionError(f'compiler exit {c.returncode}: {c.stderr.decode("cp1252")}')
        cmd = ['wine', os.path.join(build, 'KORVEX.exe'), program.replace('.krv', '.kvc')]
    else:
        cmd = ['wine', os.path.join(build, 'KORVID.exe'), program]
    try:
        r = subprocess.run(cmd, cwd=scratch, env=env, capture_output=True, timeout=TIMEOUT,
                           stdin=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        raise AssertionError(f'the program did not end within {TIMEOUT} s')
    return r.returncode, r.stdout.decode('cp1252').replace('\r', ''), r.stderr.decode('cp1252'), wav


class Recording:
    """The samples of a wave file the file plugin wrote (first channel,
    scaled to -1..1), and whether its header carries final sizes."""

    def __init__(self, path):
        with open(path, 'rb') as f:
            data = f.read()
        if data[:4] != b'RIFF' or data[8:12] != b'WAVE':
            raise AssertionError(f'{os.path.basename(path)} is no wave file ({len(data)} bytes)')
        pos, fmt, body = 12, None, None
        self.closed = False
        while pos + 8 <= len(data):
            cid, size = data[pos:pos + 4], struct.unpack_from('<I', data, pos + 4)[0]
            if cid == b'fmt ':
                fmt = struct.unpack_from('<HHIIHH', data, pos + 8)
            elif cid == b'data':
                # The file plugin writes a data size of 0 until the PCM is
                # closed, when it puts in the real one.
                self.closed = size != 0
                body = data[pos + 8:pos + 8 + size] if size else data[pos + 8:]
                break
            pos += 8 + size + (size & 1)
        if fmt is None or body is None:
            raise AssertionError('the recording has no format or no data chunk')
        tag, self.channels, self.rate, _, block, bits = fmt
        n = len(body) // block
        if tag == 3 and bits == 32:
            vals = [struct.unpack_from('<f', body, i * block)[0] for i in range(n)]
        elif tag in (1, 0xFFFE) and bits == 8:
            vals = [(body[i * block] - 128) / 128 for i in range(n)]
        elif tag in (1, 0xFFFE) and bits in (16, 24, 32):
            w = bits // 8
            vals = [int.from_bytes(body[i * block:i * block + w], 'little', signed=True) / (1 << (bits - 1))
                    for i in range(n)]
        else:
            raise AssertionError(f'recorded format {tag}/{bits} bits not understood')
        self.samples = vals
        self.seconds = n / self.rate

    def runs(self):
        """(start, end) sample indexes of the stretches of sound: samples
        above a tenth of full scale, split where it is quiet for longer
        than a period of the tone."""
        gap = int(self.rate / TONE_HZ) + 1
        found, start, last = [], None, None
        for i, v in enumerate(self.samples):
            if abs(v) > 0.1:
                if start is None:
                    start = i
                elif i - last > gap:
                    found.append((start, last + 1))
                    start = i
                last = i
        if start is not None:
            found.append((start, last + 1))
        return found

    def frequency(self, start, end):
        """Frequency from the upward zero crossings between start and end."""
        ups = [i for i in range(start + 1, end) if self.samples[i - 1] < 0 <= self.samples[i]]
        if len(ups) < 2:
            return 0.0
        return (len(ups) - 1) * self.rate / (ups[-1] - ups[0])


def check_tone(rec, min_s, max_s, what, failures, one_piece=True):
    """The recording sounds the tone for min_s..max_s seconds in all, in
    one piece when one_piece is set."""
    runs = rec.runs()
    if not runs:
        failures.append(f'{what}: the recording is silent ({rec.seconds:.3f} s at {rec.rate} Hz)')
        return
    if one_piece and len(runs) > 1:
        failures.append(f'{what}: the sound breaks off {len(runs) - 1} times')
    seconds = sum(e - s for s, e in runs) / rec.rate
    if not min_s <= seconds <= max_s:
        failures.append(f'{what}: {seconds:.3f} s of sound, expected {min_s}..{max_s} s')
    for s, e in runs:
        if e - s < rec.rate / 50:
            continue  # too short to measure
        hz = rec.frequency(s, e)
        if abs(hz - TONE_HZ) > TONE_HZ * 0.02:
            failures.append(f'{what}: {hz:.1f} Hz at {s / rec.rate:.3f} s, expected {TONE_HZ} Hz')
            break


def value(out, key):
    """The number printed after key (a difference of tick counts prints
    as 122.000000)."""
    m = re.search(r'^' + re.escape(key) + r' (-?\d+(?:\.\d+)?)$', out, re.M)
    return float(m.group(1)) if m else None


def ended_cleanly(code, out, err):
    """The failures of a run that should reach its last line and exit 0."""
    failures = []
    if code != 0:
        failures.append(f'exit code {code}; stdout: {out!r}; stderr: {err.strip()}')
    if not out.endswith('end\n'):
        failures.append(f'output {out!r}')
    return failures


def test_sync(mode, scratch, build):
    code, out, err, wav = run(mode, 'sink_sync.krv', scratch, build)
    failures = ended_cleanly(code, out, err)
    devices = value(out, 'wave devices')
    if devices != 1:
        failures.append(f'{devices} wave devices with the recording sink, expected 1')
    waited = value(out, 'sync ms')
    if waited is None or waited < LONG_S * 1000 * DRAIN_SHARE:
        failures.append(f'synchronous PLAYSOUND of {LONG_S} s returned after {waited} ms, before the sound '
                        'was played')
    if not os.path.exists(wav):
        return failures + ['nothing was played into the sink']
    rec = Recording(wav)
    check_tone(rec, TONE_S * 0.95, TONE_S * 1.05, 'synchronous beep', failures)
    return failures


def test_loop(mode, scratch, build):
    code, out, err, wav = run(mode, 'sink_loop.krv', scratch, build)
    failures = ended_cleanly(code, out, err)
    for key in ('async ms', 'loop ms'):
        ms = value(out, key)
        if ms is None or ms >= LONG_S * 1000 * DRAIN_SHARE:
            failures.append(f'{key}: {ms}; an asynchronous PLAYSOUND must return at once, not after the sound')
    if not os.path.exists(wav):
        return failures + ['nothing was played into the sink']
    rec = Recording(wav)
    # The loop sounds while the program sleeps 1.5 s: several rounds.
    check_tone(rec, 3 * TONE_S, 60.0, 'looped beep', failures, one_piece=False)
    if not rec.closed:
        failures.append('the looping sound was not stopped: its device was still open when the program ended')
    return failures


def main():
    build = os.environ.get('KORV_WIN32_BUILD', os.path.join(ROOT, 'build', 'win32'))
    if not shutil.which('wine'):
        print('skip: wine is not installed')
        return 0
    if not os.path.exists(ALSA_LIB32) or not os.path.exists(ALSA_CONF):
        print(f'skip: no 32-bit ALSA library ({ALSA_LIB32}) or no {ALSA_CONF}: '
              'Wine has no ALSA output to record (scripts/setup.sh installs libasound2:i386)')
        return 0
    tests = [test_sync, test_loop]
    wanted = [a for a in sys.argv[1:] if a.startswith('test_')]
    if wanted:
        tests = [t for t in tests if t.__name__ in wanted]
    failed = total = 0
    for t in tests:
        for mode in ('interpreter', 'compiled'):
            total += 1
            scratch = tempfile.mkdtemp(prefix='korv-sink-')
            try:
                failures = t(mode, scratch, build)
            except (AssertionError, subprocess.SubprocessError, OSError) as e:
                failures = [str(e)]
            finally:
                shutil.rmtree(scratch, ignore_errors=True)
            if failures:
                failed += 1
                print(f'FAIL {t.__name__} ({mode})')
                for f in failures:
                    print('   ' + f)
            else:
                print(f'ok   {t.__name__} ({mode})')
    print(f'{total - failed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
