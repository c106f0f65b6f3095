#!/usr/bin/env python3
"""Print tests against a real printer: CUPS with the PDF printer (cups-pdf)
as the default printer, reached by Wine's print spooler. Each program runs
in the interpreter and compiled; the job must land as a PDF whose pages,
turned into images by pdftoppm, carry what the program drew where the
page mapping puts it.

Page mapping: 640 x 960 units cover 2200 x 3300 dots at 300 dpi, so one
unit is 2200 / 300 / 640 inch. The printer's page starts at its printable
area, so every page is checked relative to an offset of at most MARGIN
inches, the same for every page of a job.

--start-cups starts cupsd when it is not running and stops it at the end
(as ./korv test does); without it a running CUPS is expected.
KORV_WIN32_BUILD names the build folder of the Windows programs.
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
PRINTER = 'KorvPDF'
PPD = 'lsb/usr/cups-pdf/CUPS-PDF_opt.ppd'
DPI = 50
UNIT = 2200 / 300 / 640 * DPI  # pixels per page unit at DPI
MARGIN = 0.6 * DPI              # largest printable-area offset
WAIT = 90


def sh(*args, **kw):
    return subprocess.run(list(args), capture_output=True, text=True, **kw)


def cups_running():
    return sh('lpstat', '-r').stdout.strip() == 'scheduler is running'


def ensure_printer():
    if PRINTER not in sh('lpstat', '-v').stdout:
        sh('lpadmin', '-p', PRINTER, '-v', 'cups-pdf:/', '-E', '-m', PPD)
    sh('lpadmin', '-d', PRINTER)
    sh('cupsenable', PRINTER)
    sh('cupsaccept', PRINTER)


def output_dirs():
    dirs = [os.path.expanduser('~/PDF'), '/var/spool/cups-pdf/ANONYMOUS']
    return [d for d in dirs if os.path.isdir(d)] or [os.path.expanduser('~/PDF')]


def pdfs():
    found = {}
    for d in output_dirs():
        for f in glob.glob(os.path.join(d, '*.pdf')):
            found[f] = os.path.getmtime(f)
    return found


def wait_for_pdf(before, title):
    """The new PDF of the job named title, once CUPS has finished it."""
    end = time.time() + WAIT
    while time.time() < end:
        new = [f for f, t in pdfs().items() if (f not in before or t != before[f]) and title in os.path.basename(f)]
        if new and not sh('lpstat', '-o', PRINTER).stdout.strip():
            f = new[0]
            size = os.path.getsize(f)
            time.sleep(1)
            if size and size == os.path.getsize(f):
                return f
        time.sleep(0.5)
    return None


class Page:
    def __init__(self, path):
        with open(path, 'rb') as f:
            data = f.read()
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        self.w, self.h = int(fields[1]), int(fields[2])
        self.pix = data[pos + 1:]

    def at(self, x, y):
        i = (y * self.w + x) * 3
        return tuple(self.pix[i:i + 3])

    def box(self, test, x0=0, y0=0, x1=None, y1=None):
        """Bounding box (left, top, right, bottom) of the pixels that pass
        test inside the area, or None."""
        x1 = self.w if x1 is None else min(x1, self.w)
        y1 = self.h if y1 is None else min(y1, self.h)
        xs, ys = [], []
        for y in range(max(0, y0), y1):
            for x in range(max(0, x0), x1):
                if test(self.at(x, y)):
                    xs.append(x)
                    ys.append(y)
        return (min(xs), min(ys), max(xs), max(ys)) if xs else None


def black(p):
    return max(p) < 60


def red(p):
    return p[0] > 180 and p[1] < 80 and p[2] < 80


def dark(p):
    return max(p) < 160


def green(p):
    return p[1] > 180 and p[0] < 80 and p[2] < 80


def blue(p):
    return p[2] > 180 and p[0] < 80 and p[1] < 80


def yellow(p):
    return p[0] > 180 and p[1] > 180 and p[2] < 80


def not_white(p):
    return min(p) < 200


def pages_of(pdf, scratch):
    shutil.rmtree(os.path.join(scratch, 'pages'), ignore_errors=True)
    os.makedirs(os.path.join(scratch, 'pages'))
    sh('pdftoppm', '-r', str(DPI), pdf, os.path.join(scratch, 'pages', 'p'), check=True)
    return [Page(p) for p in sorted(glob.glob(os.path.join(scratch, 'pages', 'p*.ppm')))]


def run(mode, program, scratch, files=()):
    build = os.environ.get('KORV_WIN32_BUILD', os.path.join(ROOT, 'build', 'win32'))
    env = dict(os.environ, KORV_CONSOLE='1', WINEDEBUG=os.environ.get('KORV_WINEDEBUG', '-all'))
    for name in (program,) + tuple(files):
        shutil.copy(os.path.join(HERE, name), scratch)
    if mode == 'compiled':
        subprocess.run(['wine', os.path.join(build, 'KORVAC.exe'), program, '-B'], cwd=scratch, env=env,
                       capture_output=True, timeout=WAIT)
        cmd = ['wine', os.path.join(build, 'KORVEX.exe'), program.replace('.krv', '.kvc')]
    else:
        cmd = ['wine', os.path.join(build, 'KORVID.exe'), program]
    r = subprocess.run(cmd, cwd=scratch, env=env, capture_output=True, timeout=WAIT, stdin=subprocess.DEVNULL)
    return r.returncode, r.stdout.decode('cp1252').replace('\r', ''), r.stderr.decode('cp1252')


def near(got, want, tolerance, what, failures):
    if abs(got - want) > tolerance:
        failures.append(f'{what}: {got:.1f}, expected {want:.1f} +- {tolerance}')


def check_rect(page, left, top, right, bottom, test, offset, what, failures, search=None):
    """The filled rectangle (page units) is where the mapping puts it; the
    offset of the page (printable area) is found on the first page and
    must hold on the others. Returns the offset."""
    x0, y0 = search if search else (0, 0)
    b = page.box(test, int(x0), int(y0))
    if not b:
        failures.append(f'{what}: nothing drawn')
        return offset
    ox, oy = b[0] - left * UNIT, b[1] - top * UNIT
    if offset is None:
        if not (-2 <= ox <= MARGIN and -2 <= oy <= MARGIN):
            failures.append(f'{what}: page offset {ox:.1f}, {oy:.1f} pixels')
        offset = (ox, oy)
    near(ox, offset[0], 2, what + ' left', failures)
    near(oy, offset[1], 2, what + ' top', failures)
    near(b[2] - b[0], (right - left) * UNIT, 3, what + ' width', failures)
    near(b[3] - b[1], (bottom - top) * UNIT, 3, what + ' height', failures)
    return offset


def check_text(page, x, y, height, offset, what, failures):
    """Dark glyphs in the band of a text line drawn at (x, y) in a font
    height units high, and a cap height that shows the font was scaled."""
    ox, oy = offset
    b = page.box(dark, int(x * UNIT + ox) - 2, int(y * UNIT + oy) - 2, int((x + 400) * UNIT + ox),
                 int((y + height) * UNIT + oy) + 2)
    if not b:
        failures.append(f'{what}: no text')
        return
    if b[3] - b[1] < height * UNIT * 0.5:
        failures.append(f'{what}: glyphs {b[3] - b[1]} pixels high, font of {height * UNIT:.1f}')


def job(mode, program, title, scratch, expect_code=0, files=()):
    before = pdfs()
    code, out, err = run(mode, program, scratch, files)
    failures = []
    if code != expect_code:
        failures.append(f'exit code {code}: {out} {err}')
    pdf = wait_for_pdf(before, title)
    if not pdf:
        failures.append(f'no PDF for {title} in {output_dirs()}')
        return failures, [], out
    pages = pages_of(pdf, scratch)
    os.remove(pdf)
    return failures, pages, out


def test_two_pages(mode, scratch):
    failures, pages, out = job(mode, 'two_pages.krv', 'KorvZweiSeiten', scratch)
    if out != 'screen pen 11\nprinting 1 printed 0\n':
        failures.append(f'output {out!r}')
    if len(pages) != 2:
        return failures + [f'{len(pages)} pages']
    below_text = (0, 100 * UNIT)
    off = check_rect(pages[0], 100, 200, 300, 400, black, None, 'page 1 rectangle', failures, below_text)
    check_text(pages[0], 40, 40, 40, off, 'page 1 text', failures)
    check_rect(pages[1], 320, 500, 600, 900, black, off, 'page 2 rectangle', failures, below_text)
    check_text(pages[1], 40, 40, 40, off, 'page 2 text', failures)
    # Page 2 has no rectangle where page 1 had one.
    cx, cy = int(200 * UNIT + off[0]), int(300 * UNIT + off[1])
    if black(pages[1].at(cx, cy)):
        failures.append('page 2 shows the rectangle of page 1')
    return failures


def test_left_open(mode, scratch):
    failures, pages, _ = job(mode, 'left_open.krv', 'KorvOffen', scratch)
    if len(pages) != 1:
        return failures + [f'{len(pages)} pages']
    check_rect(pages[0], 100, 200, 300, 400, black, None, 'rectangle', failures)
    return failures


def test_error_open(mode, scratch):
    failures, pages, _ = job(mode, 'error_open.krv', 'KorvFehler', scratch, expect_code=3)
    if len(pages) != 1:
        return failures + [f'{len(pages)} pages']
    check_rect(pages[0], 100, 200, 300, 400, black, None, 'rectangle', failures)
    return failures


def test_screen_copy(mode, scratch):
    failures, pages, out = job(mode, 'screen_copy.krv', 'ScreenCopy', scratch)
    if out != 'copied\n':
        failures.append(f'output {out!r}')
    if len(pages) != 1:
        return failures + [f'{len(pages)} pages']
    # The window extent is 640 x 960 for the 640-pixel window: one window
    # pixel is one page unit. The pen's outline is part of the rectangle.
    check_rect(pages[0], 200, 200, 400, 300, red, None, 'copied rectangle', failures)
    return failures


def test_window_copy(mode, scratch):
    failures, pages, out = job(mode, 'win_copy.krv', 'WindowCopy', scratch)
    if out != 'copied 242\n':
        failures.append(f'output {out!r}')
    if len(pages) != 1:
        return failures + [f'{len(pages)} pages']
    # The 640-pixel window spans the page width, so one pixel is one unit;
    # the rectangle sits below the caption and right of the border.
    b = pages[0].box(red)
    if not b:
        return failures + ['no rectangle']
    near(b[2] - b[0], 200 * UNIT, 3, 'width', failures)
    near(b[3] - b[1], 100 * UNIT, 3, 'height', failures)
    near(b[0], 200 * UNIT, MARGIN + 10 * UNIT, 'left', failures)
    near(b[1], 200 * UNIT, MARGIN + 40 * UNIT, 'top', failures)
    # The frame is on the page too: dark pixels above the client area.
    if not pages[0].box(lambda p: max(p) < 250, 0, 0, None, int(b[1] - 200 * UNIT)):
        failures.append('no window frame above the client area')
    return failures


def check_area(page, left, top, right, bottom, test, offset, what, failures):
    """The pixels passing test around the rectangle (page units, offset by
    the page's printable area) span just that rectangle."""
    ox, oy = offset
    slack = 10 * UNIT
    b = page.box(test, int(left * UNIT + ox - slack), int(top * UNIT + oy - slack),
                 int(right * UNIT + ox + slack), int(bottom * UNIT + oy + slack))
    if not b:
        failures.append(f'{what}: nothing drawn')
        return
    near(b[0], left * UNIT + ox, 2, what + ' left', failures)
    near(b[1], top * UNIT + oy, 2, what + ' top', failures)
    near(b[2] - b[0], (right - left) * UNIT, 3, what + ' width', failures)
    near(b[3] - b[1], (bottom - top) * UNIT, 3, what + ' height', failures)


def test_pictures(mode, scratch):
    failures, pages, out = job(mode, 'pictures.krv', 'KorvBilder', scratch, files=('quad.png', 'blue.bmp'))
    if out != 'cursor 111\nloaded 20x10 memory context 0\n':
        failures.append(f'output {out!r}')
    if len(pages) != 1:
        return failures + [f'{len(pages)} pages']
    page = pages[0]
    # The bitmap file: 20 x 10 pixels at the page origin, ten times larger
    # in printer units, so 20 x 10 page units. It fixes the page offset.
    b = page.box(blue, 0, 0, int(60 * UNIT + MARGIN), int(40 * UNIT + MARGIN))
    if not b:
        return failures + ['bitmap file: nothing drawn']
    offset = (b[0], b[1])
    if not (-2 <= b[0] <= MARGIN and -2 <= b[1] <= MARGIN):
        failures.append(f'bitmap file: page offset {b[0]}, {b[1]} pixels')
    near(b[2] - b[0], 20 * UNIT, 3, 'bitmap file width', failures)
    near(b[3] - b[1], 10 * UNIT, 3, 'bitmap file height', failures)
    # DRAWSIZEDPIC 100, 300 - 320, 160: the picture's quadrants, the top
    # row of the file on top.
    for test, l, t, what in ((red, 100, 300, 'red'), (green, 260, 300, 'green'),
                             (blue, 100, 380, 'blue'), (yellow, 260, 380, 'yellow')):
        check_area(page, l, t, l + 160, t + 80, test, offset, 'sized picture ' + what, failures)
    # DRAWPIC 400, 100: the picture's own 32 x 16 pixels as page units.
    check_area(page, 400, 100, 432, 116, not_white, offset, 'picture', failures)
    return failures


def main():
    cupsd = None
    if '--start-cups' in sys.argv and not cups_running():
        # In the foreground, so that exactly this scheduler is stopped again.
        cupsd = subprocess.Popen(['cupsd', '-f'], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(50):
            if cups_running():
                break
            time.sleep(0.2)
    try:
        if not cups_running():
            print('FAIL print tests: CUPS is not running')
            return 1
        ensure_printer()
        return run_tests()
    finally:
        if cupsd:
            cupsd.terminate()
            cupsd.wait()


def run_tests():
    tests = [test_two_pages, test_left_open, test_error_open, test_screen_copy, test_window_copy, test_pictures]
    wanted = [a for a in sys.argv[1:] if a.startswith('test_')]
    if wanted:
        tests = [t for t in tests if t.__name__ in wanted]
    failed = 0
    total = 0
    for t in tests:
        for mode in ('interpreter', 'compiled'):
            total += 1
            scratch = tempfile.mkdtemp(prefix='korv-print-')
            try:
                failures = t(mode, scratch)
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
