/* Operates the dialogs and menus of a running program as a person would,
 * with window messages (keys typed from outside do not reach the windows of
 * Wine without a window manager).
 *
 *   korvdrive STEP ...
 *
 *   dialog CAPTION        waits for a dialog (class "#32770") with that caption;
 *                         the following steps act on it
 *   gone                  waits until that dialog has closed
 *   dialog-with TEXT      waits for a dialog with a control that shows TEXT
 *   text ID TEXT          sets the text of control ID ("\n" in TEXT is a line
 *                         break, CR LF)
 *   filename TEXT         sets the file name of a common file dialog
 *   expect-text ID TEXT   the text of control ID must be TEXT
 *   enabled ID 0|1        control ID must be disabled (0) or enabled (1)
 *   press ID              clicks button ID
 *   select ID INDEX       selects entry INDEX of list box ID, as a click does
 *   dblclick ID INDEX     selects it and double-clicks it
 *   count ID N            list box ID must hold N entries
 *   item ID INDEX TEXT    entry INDEX of list box ID must be TEXT
 *   menu N                waits for an open pop-up menu and picks the entry
 *                         that N presses of the Down key reach (Return)
 *   menu-cancel           waits for an open pop-up menu and closes it (Escape)
 *   key VK                sends virtual key VK to the program window, as the
 *                         keyboard does
 *   title PREFIX          waits for a program window (class "FENSTER") whose
 *                         caption begins with PREFIX and prints the caption
 *
 * Prints "FAIL <step>: <reason>" and ends with 1 at the first step that
 * fails; waits end after 30 seconds.
 */
#include <windows.h>
#include <dlgs.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define WAIT_MS 30000
#define POLL_MS 50

static HWND current;

static int fail(const char* step, const char* reason) {
  printf("FAIL %s: %s\n", step, reason);
  fflush(stdout);
  exit(1);
  return 1;
}

struct Search {
  const char* cls;
  const char* caption;
  int prefix;
  HWND found;
};

static BOOL CALLBACK match_window(HWND h, LPARAM l) {
  struct Search* s = (struct Search*)l;
  char cls[64], caption[512];
  if (!IsWindowVisible(h)) return TRUE;
  GetClassNameA(h, cls, sizeof cls);
  if (strcmp(cls, s->cls) != 0) return TRUE;
  GetWindowTextA(h, caption, sizeof caption);
  if (s->caption) {
    size_t n = strlen(s->caption);
    if (s->prefix ? strncmp(caption, s->caption, n) != 0 : strcmp(caption, s->caption) != 0) return TRUE;
  }
  s->found = h;
  return FALSE;
}

static HWND wait_window(const char* cls, const char* caption, int prefix) {
  DWORD start = GetTickCount();
  do {
    struct Search s = {cls, caption, prefix, NULL};
    EnumWindows(match_window, (LPARAM)&s);
    if (s.found) return s.found;
    Sleep(POLL_MS);
  } while (GetTickCount() - start < WAIT_MS);
  return NULL;
}

static HWND control(const char* step, int id) {
  HWND h;
  if (!current) fail(step, "no dialog");
  h = GetDlgItem(current, id);
  if (!h) fail(step, "no such control");
  return h;
}

static void list_pick(const char* step, int id, int index, int code) {
  HWND list = control(step, id);
  if (SendMessageA(list, LB_SETCURSEL, (WPARAM)index, 0) == LB_ERR && index >= 0) fail(step, "no such entry");
  PostMessageA(current, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)list);
  if (code == LBN_DBLCLK) return;
  /* Let the dialog take the selection before the next step acts. */
  SendMessageA(current, WM_NULL, 0, 0);
}

static void key(HWND target, WPARAM vk) {
  PostMessageA(target, WM_KEYDOWN, vk, 1);
  PostMessageA(target, WM_KEYUP, vk, 0xC0000001);
}

/* The menu belongs to another process, whose entries cannot be read from
 * here: the caller counts the presses of the Down key (the first selects the
 * first entry that can be chosen; separators are passed over). */
static void pick_menu(const char* step, int downs) {
  HWND popup = wait_window("#32768", NULL, 0);
  int i;
  if (!popup) fail(step, "no pop-up menu");
  for (i = 0; i < downs; ++i) key(popup, VK_DOWN);
  key(popup, VK_RETURN);
}

struct ChildSearch {
  const char* text;
  int found;
};

static BOOL CALLBACK match_child(HWND h, LPARAM l) {
  struct ChildSearch* s = (struct ChildSearch*)l;
  char text[512];
  GetWindowTextA(h, text, sizeof text);
  if (strcmp(text, s->text) != 0) return TRUE;
  s->found = 1;
  return FALSE;
}

static BOOL CALLBACK match_dialog_with(HWND h, LPARAM l) {
  struct Search* s = (struct Search*)l;
  char cls[64];
  struct ChildSearch c = {s->caption, 0};
  if (!IsWindowVisible(h)) return TRUE;
  GetClassNameA(h, cls, sizeof cls);
  if (strcmp(cls, "#32770") != 0) return TRUE;
  EnumChildWindows(h, match_child, (LPARAM)&c);
  if (!c.found) return TRUE;
  s->found = h;
  return FALSE;
}

static HWND wait_dialog_with(const char* text) {
  DWORD start = GetTickCount();
  do {
    struct Search s = {"#32770", text, 0, NULL};
    EnumWindows(match_dialog_with, (LPARAM)&s);
    if (s.found) return s.found;
    Sleep(POLL_MS);
  } while (GetTickCount() - start < WAIT_MS);
  return NULL;
}

/* "\n" becomes CR LF. */
static const char* unescape(const char* in) {
  static char out[4096];
  size_t o = 0;
  while (*in && o + 2 < sizeof out) {
    if (in[0] == '\\' && in[1] == 'n') {
      out[o++] = '\r';
      out[o++] = '\n';
      in += 2;
    } else {
      out[o++] = *in++;
    }
  }
  out[o] = 0;
  return out;
}

/* An edit gets the text as typing or pasting gives it (replacing all it
 * holds), which notifies the dialog even for multi-line edits. */
static void type_text(HWND h, const char* text) {
  char cls[32];
  GetClassNameA(h, cls, sizeof cls);
  if (lstrcmpiA(cls, "Edit") != 0) {
    SendMessageA(h, WM_SETTEXT, 0, (LPARAM)text);
    return;
  }
  SendMessageA(h, EM_SETSEL, 0, -1);
  SendMessageA(h, EM_REPLACESEL, TRUE, (LPARAM)text);
}

static int number(const char* s) { return (int)strtol(s, NULL, 0); }

int main(int argc, char** argv) {
  int i = 1;
  char text[4096];
  WCHAR wide[4096];
  while (i < argc) {
    const char* step = argv[i];
    int left = argc - i - 1;
#define NEED(n) \
  if (left < (n)) fail(step, "missing argument")
    if (strcmp(step, "dialog") == 0) {
      NEED(1);
      current = wait_window("#32770", argv[i + 1], 0);
      if (!current) fail(step, argv[i + 1]);
      i += 2;
    } else if (strcmp(step, "gone") == 0) {
      DWORD start = GetTickCount();
      while (current && IsWindow(current) && IsWindowVisible(current)) {
        if (GetTickCount() - start > WAIT_MS) fail(step, "still open");
        Sleep(POLL_MS);
      }
      current = NULL;
      i += 1;
    } else if (strcmp(step, "text") == 0) {
      NEED(2);
      type_text(control(step, number(argv[i + 1])), unescape(argv[i + 2]));
      i += 3;
    } else if (strcmp(step, "filename") == 0) {
      /* The name box of the explorer-style dialogs: a combo box, or an edit. */
      HWND box;
      NEED(1);
      if (!current) fail(step, "no dialog");
      box = GetDlgItem(current, cmb13);
      if (!box) box = GetDlgItem(current, edt1);
      if (!box) fail(step, "no file name box");
      SendMessageA(box, WM_SETTEXT, 0, (LPARAM)argv[i + 1]);
      i += 2;
    } else if (strcmp(step, "dialog-with") == 0) {
      NEED(1);
      current = wait_dialog_with(argv[i + 1]);
      if (!current) fail(step, argv[i + 1]);
      i += 2;
    } else if (strcmp(step, "key") == 0) {
      HWND main;
      NEED(1);
      main = wait_window("FENSTER", NULL, 0);
      if (!main) fail(step, "no program window");
      key(main, (WPARAM)number(argv[i + 1]));
      i += 2;
    } else if (strcmp(step, "expect-text") == 0) {
      NEED(2);
      SendMessageA(control(step, number(argv[i + 1])), WM_GETTEXT, sizeof text, (LPARAM)text);
      if (strcmp(text, unescape(argv[i + 2])) != 0) {
        printf("FAIL %s: got \"%s\"\n", step, text);
        return 1;
      }
      i += 3;
    } else if (strcmp(step, "enabled") == 0) {
      NEED(2);
      if ((IsWindowEnabled(control(step, number(argv[i + 1]))) ? 1 : 0) != number(argv[i + 2]))
        fail(step, argv[i + 1]);
      i += 3;
    } else if (strcmp(step, "press") == 0) {
      NEED(1);
      PostMessageA(control(step, number(argv[i + 1])), BM_CLICK, 0, 0);
      i += 2;
    } else if (strcmp(step, "select") == 0 || strcmp(step, "dblclick") == 0) {
      NEED(2);
      list_pick(step, number(argv[i + 1]), number(argv[i + 2]), step[0] == 's' ? LBN_SELCHANGE : LBN_DBLCLK);
      i += 3;
    } else if (strcmp(step, "count") == 0) {
      LRESULT n;
      NEED(2);
      n = SendMessageA(control(step, number(argv[i + 1])), LB_GETCOUNT, 0, 0);
      if (n != number(argv[i + 2])) {
        printf("FAIL %s: %ld entries\n", step, (long)n);
        return 1;
      }
      i += 3;
    } else if (strcmp(step, "item") == 0) {
      HWND list;
      LRESULT n;
      NEED(3);
      list = control(step, number(argv[i + 1]));
      n = SendMessageW(list, LB_GETTEXTLEN, (WPARAM)number(argv[i + 2]), 0);
      if (n == LB_ERR || n >= (LRESULT)(sizeof wide / sizeof wide[0])) fail(step, "no such entry");
      /* The wide form: Wine hands the ANSI form of another process's list
       * back in its wide characters. */
      n = SendMessageW(list, LB_GETTEXT, (WPARAM)number(argv[i + 2]), (LPARAM)wide);
      if (n == LB_ERR) fail(step, "no such entry");
      wide[n] = 0;
      WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, NULL, NULL);
      if (strcmp(text, argv[i + 3]) != 0) {
        printf("FAIL %s: got \"%s\"\n", step, text);
        return 1;
      }
      i += 4;
    } else if (strcmp(step, "menu") == 0) {
      NEED(1);
      pick_menu(step, number(argv[i + 1]));
      i += 2;
    } else if (strcmp(step, "menu-cancel") == 0) {
      HWND popup = wait_window("#32768", NULL, 0);
      if (!popup) fail(step, "no pop-up menu");
      key(popup, VK_ESCAPE);
      i += 1;
    } else if (strcmp(step, "title") == 0) {
      HWND main;
      NEED(1);
      main = wait_window("FENSTER", argv[i + 1], 1);
      if (!main) fail(step, argv[i + 1]);
      GetWindowTextA(main, text, sizeof text);
      printf("%s\n", text);
      fflush(stdout);
      i += 2;
    } else {
      return fail(step, "unknown step");
    }
  }
  return 0;
}
