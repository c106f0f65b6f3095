#!/usr/bin/env python3
"""Window tests: runs programs in the real program window under Wine,
captures the screen with ImageMagick's `import` and drives keyboard and
mouse with xdotool.

The tests start their own Xvfb on a free display, so that windows of other
programs cannot cover theirs (--display N uses a running X server instead).
The programs print to standard output (console mode); the driver waits for
their lines before it looks or acts, so nothing depends on timing.
KORV_WIN32_BUILD names the build folder of the Windows programs.
"""
import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
WAIT = 60  # seconds before a missing line counts as a hang
RETRY = 2  # seconds before an event is made again


class Program:
    def __init__(self, name, extra=()):
        """extra: further files the program reads, relative to the root."""
        self.dir = tempfile.mkdtemp(prefix='korv-window-')
        shutil.copy(os.path.join(HERE, name), self.dir)
        for f in extra:
            shutil.copy(os.path.join(ROOT, f), self.dir)
        build = os.environ.get('KORV_WIN32_BUILD', os.path.join(ROOT, 'build', 'win32'))
        env = dict(os.environ, KORV_CONSOLE='1', WINEDEBUG=os.environ.get('KORV_WINEDEBUG', '-all'))
        self.proc = subprocess.Popen(['wine', os.path.join(build, 'KORVID.exe'), name], cwd=self.dir,
                                     env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=open(os.path.join(self.dir, 'stderr.txt'), 'wb'))
        self.lines = queue.Queue()
        self.output = ''
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        # Chunks, not lines: a PRINT ending in ";" leaves its text unterminated.
        while True:
            chunk = os.read(self.proc.stdout.fileno(), 4096)
            if not chunk:
                break
            self.lines.put(chunk.decode('cp1252').replace('\r', ''))
        self.lines.put(None)

    def line(self, prefix, action=None):
        """The first output line (or unterminated rest) starting with prefix;
        the output up to it is consumed.

        With an action (the event the line answers), the action is made and
        made again while the line does not come: WAITINPUT waits for events
        that arrive after it started, and an event that the program took
        between two statements before it is gone."""
        tries = 0
        if action:
            action()
        while True:
            parts = self.output.split('\n')
            for i, part in enumerate(parts):
                if part.startswith(prefix) and (i < len(parts) - 1 or part == prefix):
                    self.output = '\n'.join(parts[i + 1:])
                    return part
            try:
                got = self.lines.get(timeout=RETRY if action else WAIT)
            except queue.Empty:
                tries += 1
                if not action or tries * RETRY >= WAIT:
                    raise AssertionError(f'no line starting with {prefix!r}')
                action()
                continue
            if got is None:
                raise AssertionError(f'program ended before {prefix!r}: ' + self.errors())
            self.output += got

    def errors(self):
        with open(os.path.join(self.dir, 'stderr.txt'), 'rb') as f:
            return f.read().decode('cp1252')

    def finish(self, action=None):
        """The exit code; an action is made again while the program runs."""
        waited = 0
        while True:
            try:
                code = self.proc.wait(timeout=RETRY if action else WAIT)
                break
            except subprocess.TimeoutExpired:
                waited += RETRY if action else WAIT
                if waited >= WAIT:
                    self.proc.kill()
                    raise AssertionError('program did not end')
                action()
        while True:
            try:
                got = self.lines.get(timeout=WAIT)
            except queue.Empty:
                break
            if got is None:
                break
            self.output += got
        self.stderr_text = self.errors()
        shutil.rmtree(self.dir, ignore_errors=True)
        return code

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if os.environ.get('KORV_KEEP_STDERR') and os.path.exists(os.path.join(self.dir, 'stderr.txt')):
            shutil.copy(os.path.join(self.dir, 'stderr.txt'), os.environ['KORV_KEEP_STDERR'])
        shutil.rmtree(self.dir, ignore_errors=True)


class Shot:
    """A screen capture as a binary PPM."""

    def __init__(self):
        data = subprocess.run(['import', '-window', 'root', '-depth', '8', 'ppm:-'], check=True,
                              capture_output=True).stdout
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b'#':
                pos = data.index(b'\n', pos)
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        assert fields[0] == b'P6', fields
        self.w, self.h = int(fields[1]), int(fields[2])
        self.pix = data[pos + 1:]

    def at(self, x, y):
        i = (y * self.w + x) * 3
        return tuple(self.pix[i:i + 3])

    def client_origin(self):
        """Top-left corner of the white client area (probed below the text)."""
        x = 400
        y = 0
        while y < self.h // 2 and self.at(x, y) != (255, 255, 255):
            y += 1
        probe = y + 300
        x = 0
        while x < self.w // 2 and self.at(x, probe) != (255, 255, 255):
            x += 1
        return x, y

    def client_bottom(self, ox, oy):
        """First row below the white client area (probed right of the text)."""
        y = oy
        while y < self.h and self.at(ox + 300, y) == (255, 255, 255):
            y += 1
        return y


def dark(p):
    return max(p) < 200  # glyphs may be drawn anti-aliased


def xdo(*args):
    subprocess.run(['xdotool'] + [str(a) for a in args], check=True)


def focus_main_window():
    """Gives the X input focus to the program window (found by its caption):
    without a window manager nobody else does, and Wine takes keys reliably
    only after a real focus change."""
    found = subprocess.run(['xdotool', 'search', '--name', '^Korvid 1.0$'], capture_output=True, text=True)
    for window in found.stdout.split()[:1]:
        # The window may be gone by now: then the key goes nowhere.
        subprocess.run(['xdotool', 'windowfocus', '--sync', window], capture_output=True)


def press(key):
    focus_main_window()
    xdo('key', key)


def check(cond, text, failures):
    if not cond:
        failures.append(text)


def test_window_events():
    failures = []
    prog = Program('window_events.krv')
    try:
        prog.line('ready text')
        shot = Shot()
        ox, oy = shot.client_origin()
        # Printed text: dark pixels in the rows of cells 0, 2 and 3, none in
        # the empty cell row 1 or below; the background white.
        rows = []
        for y in range(oy, oy + 120):
            if any(dark(shot.at(x, y)) for x in range(ox, ox + 400)):
                rows.append(y - oy)
        clusters = []
        for r in rows:
            if clusters and r == clusters[-1][1] + 1:
                clusters[-1][1] = r
            else:
                clusters.append([r, r])
        check(len(clusters) == 3, f'text rows {clusters}', failures)
        if len(clusters) == 3:
            cell = clusters[2][0] - clusters[1][0]
            check(cell > 4, f'cell height {cell}', failures)
            check(clusters[0][0] < cell, f'first row at {clusters[0][0]}', failures)
            check(abs((clusters[1][0] - clusters[0][0]) - 2 * cell) <= 1, f'empty row missing: {clusters}', failures)
        area = [(x, y) for y in range(oy + 80, oy + 250, 7) for x in range(ox, ox + 630, 7)]
        white = sum(1 for x, y in area if shot.at(x, y) == (255, 255, 255))
        check(white == len(area), f'{len(area) - white} of {len(area)} background samples not white', failures)

        # Left button held: WAITINPUT ends; %MOUSEKEY clears on reading.
        xdo('mousemove', ox + 100, oy + 200)
        got = prog.line('left', lambda: (xdo('mouseup', 1), xdo('mousedown', 1)))
        xdo('mouseup', 1)
        check(got == 'left 1 1 0 100 200', f'got {got!r}', failures)

        # A key typed into the focused window.
        got = prog.line('key', lambda: press('a'))
        check(got == 'key 97 65', f'got {got!r}', failures)

        xdo('mousemove', ox + 30, oy + 45)
        got = prog.line('right', lambda: (xdo('mouseup', 3), xdo('mousedown', 3)))
        xdo('mouseup', 3)
        check(got == 'right 2 30 45', f'got {got!r}', failures)

        # CLS with a colour fills the client area with it.
        prog.line('ready blue')
        shot = Shot()
        area = [(x, y) for y in range(oy + 60, oy + 440, 7) for x in range(ox, ox + 630, 7)]
        blue = sum(1 for x, y in area if shot.at(x, y) == (0, 0, 255))
        check(blue == len(area), f'{len(area) - blue} of {len(area)} samples not blue', failures)

        got = prog.line('end', lambda: press('Return'))
        check(got == 'end 13', f'got {got!r}', failures)
        code = prog.finish()
        check(code == 0, f'exit code {code}', failures)
    finally:
        prog.kill()
    return failures


def dark_row_clusters(shot, ox, oy, height, width=400):
    """Runs of client rows (relative to oy) that hold dark pixels."""
    clusters = []
    for y in range(oy, oy + height):
        if any(dark(shot.at(x, y)) for x in range(ox, ox + width)):
            r = y - oy
            if clusters and r == clusters[-1][1] + 1:
                clusters[-1][1] = r
            else:
                clusters.append([r, r])
    return clusters


def test_scrolling():
    failures = []
    prog = Program('scroll_window.krv')
    try:
        prog.line('ready')
        shot = Shot()
        ox, oy = shot.client_origin()
        clusters = dark_row_clusters(shot, ox, oy, shot.client_bottom(ox, oy) - oy)
        # Lines 3, 6, ... 33 are on rows 0, 3, ... 30 after scrolling by two
        # rows; "ready" is on row 31.
        check(len(clusters) == 12, f'{len(clusters)} text rows: {clusters}', failures)
        if len(clusters) == 12:
            starts = [c[0] for c in clusters[:11]]
            steps = [b - a for a, b in zip(starts, starts[1:])]
            check(max(steps) - min(steps) <= 1, f'uneven rows {starts}', failures)
            check(starts[0] < steps[0] // 2, f'first row at {starts[0]}', failures)
        xdo('mousemove', ox + 200, oy + 200)
        prog.line('bye', lambda: press('Escape'))
        code = prog.finish()
        check(code == 0, f'exit code {code}', failures)
    finally:
        prog.kill()
    return failures


def dark_column_clusters(shot, x0, x1, y0, y1):
    """Runs of screen columns between x0 and x1 that hold dark pixels in the
    rows y0 to y1 (inclusive)."""
    clusters = []
    for x in range(x0, x1):
        if any(dark(shot.at(x, y)) for y in range(y0, y1 + 1)):
            if clusters and x == clusters[-1][1] + 1:
                clusters[-1][1] = x
            else:
                clusters.append([x, x])
    return clusters


def test_text_grid():
    """The cells of the text screen: the ruler's marks stand 10 columns
    apart at a pitch of 8 pixels, every column that fits in the client area
    is visible, and the letters of a word are as close as the cells."""
    failures = []
    prog = Program('text_grid.krv')
    try:
        prog.line('ready')
        shot = Shot()
        ox, oy = shot.client_origin()
        right = ox
        probe = oy + 300
        while right < shot.w and shot.at(right, probe) == (255, 255, 255):
            right += 1
        rows = dark_row_clusters(shot, ox, oy, 80, width=right - ox)
        check(len(rows) >= 2, f'text rows {rows}', failures)
        if len(rows) >= 2:
            ruler = dark_column_clusters(shot, ox, right, oy + rows[0][0], oy + rows[0][1])
            starts = [c[0] - ox for c in ruler]
            check(len(ruler) >= 2, f'ruler marks at {starts}', failures)
            if len(ruler) >= 2:
                pitch = (starts[1] - starts[0]) / 10
                check(abs(pitch - 8) < 0.2, f'glyph pitch {pitch:.2f} pixels, marks at {starts}', failures)
                # The default window is 640 pixels wide outside: its client
                # area shows every column that fits in it.
                visible = (right - ox) // 8
                check(visible >= 79, f'{visible} columns of 8 pixels in a client {right - ox} pixels wide',
                      failures)
                marks = [c for c in (0, 10, 20, 30, 40, 50, 60, 70, 79) if c < visible]
                check(len(ruler) == len(marks), f'{len(ruler)} ruler marks visible at {starts}, '
                                                f'expected the marks of columns {marks}', failures)
                if len(ruler) == len(marks):
                    got = [round((x - starts[0]) / 8) for x in starts]
                    check(got == marks and all(abs(x - starts[0] - 8 * c) <= 1 for x, c in zip(starts, marks)),
                          f'marks at {starts}, expected 8 pixels per column', failures)
            word = dark_column_clusters(shot, ox, right, oy + rows[1][0], oy + rows[1][1])
            if word:
                extent = word[-1][1] - word[0][0] + 1
                # "Hallo Welt": 10 cells; glyphs end inside their cells
                check(extent <= 10 * 8, f'"Hallo Welt" spans {extent} pixels', failures)
        xdo('mousemove', ox + 200, oy + 200)
        prog.line('bye', lambda: press('Escape'))
        code = prog.finish()
        check(code == 0, f'exit code {code}', failures)
    finally:
        prog.kill()
    return failures


def test_drawn_scene():
    """What the drawing commands put into the window is on the screen:
    pure colours inside the figures, white around them; the text's glyphs
    (smoothed at their edges) only inside its line."""
    failures = []
    prog = Program('drawn_scene.krv')
    try:
        prog.line('ready scene')
        shot = Shot()
        ox, oy = shot.client_origin()

        def px(x, y):
            return shot.at(ox + x, oy + y)

        expected = {(110, 210): (255, 0, 0), (200, 250): (255, 0, 0), (290, 290): (255, 0, 0),
                    (400, 250): (0, 0, 255), (400, 215): (0, 0, 255), (435, 250): (0, 0, 255),
                    (90, 250): (255, 255, 255), (310, 250): (255, 255, 255), (200, 190): (255, 255, 255),
                    (353, 203): (255, 255, 255), (447, 297): (255, 255, 255), (500, 250): (255, 255, 255)}
        for (x, y), want in expected.items():
            check(px(x, y) == want, f'pixel {x}, {y}: {px(x, y)}, expected {want}', failures)
        green = [(x, y) for y in range(300, 420) for x in range(80, 360) if px(x, y) == (0, 160, 0)]
        check(len(green) > 200, f'{len(green)} pure green text pixels', failures)
        if green:
            xs, ys = [p[0] for p in green], [p[1] for p in green]
            check(min(xs) >= 100 and min(ys) >= 320 and max(ys) < 360 and max(xs) < 300,
                  f'text spans {min(xs)}..{max(xs)} x {min(ys)}..{max(ys)}', failures)
        prog.line('bye', lambda: press('Escape'))
        code = prog.finish()
        check(code == 0, f'exit code {code}', failures)
    finally:
        prog.kill()
    return failures


def test_close_question():
    failures = []
    prog = Program('close_question.krv')
    try:
        prog.line('ready')
        shot = Shot()
        ox, oy = shot.client_origin()
        xdo('mousemove', ox + 200, oy + 200)
        press('alt+F4')
        code = prog.finish(lambda: press('alt+F4'))
        check(code == 0, f'exit code {code}', failures)
        err = prog.stderr_text
        check('[Ende] Wirklich beenden?' in err, f'no close question in {err!r}', failures)
        check('never' not in prog.output, 'ran on after the close', failures)
    finally:
        prog.kill()
    return failures


def look_at_controls(shot, ox, oy, rects):
    """What is wrong with the controls in the capture: each rectangle must
    hold drawn pixels and a band 4 to 8 pixels around it must be plain
    background; the edit and the list must show dark text pixels."""
    failures = []
    # the window's background, taken from a corner no control covers
    back = shot.at(ox + 430, oy + 260)
    for name, (x, y, w, h) in rects.items():
        inside = sum(1 for yy in range(y, y + h) for xx in range(x, x + w) if shot.at(ox + xx, oy + yy) != back)
        check(inside >= (w + h) // 2, f'{name}: only {inside} drawn pixels in its rectangle', failures)
        ring = [(xx, yy) for yy in range(y - 8, y + h + 8) for xx in range(x - 8, x + w + 8)
                if not (x - 4 <= xx < x + w + 4 and y - 4 <= yy < y + h + 4)]
        drawn = [(xx, yy, shot.at(ox + xx, oy + yy)) for xx, yy in ring if shot.at(ox + xx, oy + yy) != back]
        check(not drawn, f'{name}: drawn pixels around it, first at {drawn[:3]}', failures)
    for name in ('edit', 'list'):
        x, y, w, h = rects.get(name, (0, 0, 0, 0))
        text = sum(1 for yy in range(y + 3, y + h - 3) for xx in range(x + 3, x + w - 3)
                   if dark(shot.at(ox + xx, oy + yy)))
        check(text > 20, f'{name}: {text} dark text pixels', failures)
    return failures


def test_controls_dialog():
    """Controls on a window of class "DIALOG" are drawn where the program
    put them: every control's rectangle holds pixels other than the
    background (faces, frames, texts), and a band around it holds none."""
    failures = []
    prog = Program('controls_dialog.krv')
    try:
        ox, oy = (int(v) for v in prog.line('origin').split()[1:3])
        rects = {}
        for _ in range(4):
            name, x, y, w, h = prog.line('control').split()[1:6]
            rects[name] = (int(x), int(y), int(w), int(h))
        sizes = prog.line('sizes')
        check(sizes.split()[1:4] == ['120', '40', '1'], f'client sizes {sizes!r}', failures)
        prog.line('ready')
        # Wine hands the painting to the X server on its own time: a few
        # captures are taken until one shows the finished window.
        for attempt in range(5):
            found = look_at_controls(Shot(), ox, oy, rects)
            if not found:
                break
            time.sleep(1)
        failures += found
        prog.line('bye', lambda: press('Escape'))
        code = prog.finish()
        check(code == 0, f'exit code {code}', failures)
    finally:
        prog.kill()
    return failures


# Pure colours the bitmap scene shows, in client coordinates.
BITMAP_SCENE = [
    ((436, 56), (255, 0, 0), 'red block of the stretched 8-bit bitmap'),
    ((520, 56), (0, 0, 255), 'blue block of the stretched 8-bit bitmap'),
    ((436, 88), (0, 255, 0), 'green half of the stretched 8-bit bitmap'),
    ((576, 56), (255, 0, 0), 'centre of the KREIS icon'),
    ((421, 127), (0, 0, 255), 'key colour of the transparent copy (destination kept)'),
    ((428, 124), (255, 0, 0), 'red block of the transparent copy'),
    ((445, 135), (0, 0, 255), 'blue block right of the copy'),
]


def check_scene(shot, ox, oy, when, failures):
    for (x, y), colour, what in BITMAP_SCENE:
        got = shot.at(ox + x, oy + y)
        check(got == colour, f'{when}: {what} at ({x}, {y}) is {got}', failures)


def test_bitmap_scene():
    failures = []
    prog = Program('bitmap_scene.krv', extra=('tests/programs/graphics/pal8.bmp', 'tests/programs/graphics/key24.bmp'))
    try:
        prog.line('ready')
        shot = Shot()
        ox, oy = shot.client_origin()
        check_scene(shot, ox, oy, 'drawn', failures)
        xdo('mousemove', ox + 200, oy + 200)
        line = prog.line('minimised', lambda: press('Escape'))
        check(line == 'minimised 11', f'read while minimised: {line!r}', failures)
        prog.line('again')
        check_scene(Shot(), ox, oy, 'restored', failures)
        prog.line('bye', lambda: press('Escape'))
        code = prog.finish()
        check(code == 0, f'exit code {code}', failures)
    finally:
        prog.kill()
    return failures


def test_gl_mouse():
    """TESTMOUSE after real clicks: 0 on the projected point, 5 at 3, 4 from it."""
    failures = []
    prog = Program('gl_mouse.krv')
    try:
        prog.line('ready')
        shot = Shot()
        ox, oy = shot.client_origin()

        def click(cx, cy):
            return lambda: (xdo('mousemove', ox + cx, oy + cy), xdo('mousedown', 1), xdo('mouseup', 1))

        # A click needs no keyboard focus, which Wine gives late without a
        # window manager.
        got = prog.line('point', click(10, 10))
        x, y = (int(v) for v in got.split()[1:3])

        got = prog.line('on it', click(x, y))
        check(got == f'on it {x} {y} 0', f'got {got!r} for the point {x} {y}', failures)
        got = prog.line('beside it', click(x + 3, y + 4))
        check(got == 'beside it 5', f'got {got!r}', failures)
        code = prog.finish()
        check(code == 0, f'exit code {code}', failures)
    finally:
        prog.kill()
    return failures


XVFB_LOG = os.path.join(tempfile.gettempdir(), f'korv-window-xvfb-{os.getpid()}.log')


def start_xvfb():
    """A private X server on a free display; returns its process. Its own
    messages go to XVFB_LOG, shown when it dies during a test."""
    for n in range(140 + os.getpid() % 40, 200):
        if os.path.exists(f'/tmp/.X11-unix/X{n}') or os.path.exists(f'/tmp/.X{n}-lock'):
            continue
        proc = subprocess.Popen(['Xvfb', f':{n}', '-screen', '0', '1024x768x24', '-nolisten', 'tcp'],
                                stdout=subprocess.DEVNULL, stderr=open(XVFB_LOG, 'ab'))
        for _ in range(100):
            if proc.poll() is not None:
                break
            if subprocess.run(['xdpyinfo', '-display', f':{n}'], capture_output=True).returncode == 0:
                os.environ['DISPLAY'] = f':{n}'
                return proc
            time.sleep(0.1)
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    raise SystemExit('no X server could be started')


def stop_xvfb(proc):
    if proc.poll() is None:
        proc.terminate()
        proc.wait()


def display_alive():
    return subprocess.run(['xdpyinfo'], capture_output=True).returncode == 0


def main():
    own = '--display' not in sys.argv
    if not own:
        os.environ['DISPLAY'] = sys.argv[sys.argv.index('--display') + 1]
    server = [start_xvfb() if own else None]

    def restart():
        """Our own X server went away under a test: say what it printed and
        start a new one for one more try of that test."""
        if not own or display_alive():
            return False
        print('   the X server died during the test; its log ends with:')
        with open(XVFB_LOG, 'rb') as f:
            for line in f.read().decode('latin-1').splitlines()[-15:]:
                print('   | ' + line)
        stop_xvfb(server[0])
        server[0] = start_xvfb()
        return True

    try:
        return run_tests(restart)
    finally:
        if server[0]:
            stop_xvfb(server[0])
        if own and os.path.exists(XVFB_LOG):
            os.remove(XVFB_LOG)


def run_one(test):
    try:
        return test()
    except (AssertionError, subprocess.CalledProcessError) as e:
        return [str(e)]


def run_tests(restart=lambda: False):
    tests = [test_window_events, test_scrolling, test_text_grid, test_close_question, test_controls_dialog, test_bitmap_scene, test_drawn_scene, test_gl_mouse]
    wanted = [a for a in sys.argv[1:] if a.startswith('test_')]
    if wanted:
        tests = [t for t in tests if t.__name__ in wanted]
    failed = 0
    for t in tests:
        failures = run_one(t)
        if failures and restart():
            print(f'   {t.__name__} failed with the X server gone ({failures[0]}); tried again')
            failures = run_one(t)
        if failures:
            failed += 1
            print(f'FAIL {t.__name__}')
            for f in failures:
                print('   ' + f)
        else:
            print(f'ok   {t.__name__}')
    print(f'{len(tests) - failed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
