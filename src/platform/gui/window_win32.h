// The Windows side of the program window: the classes "FENSTER" and
// "DIALOG", the window procedures (which only record events), the message
// pump, and the main window with its DC and its screen-sized back buffer.
// Included only by files that are compiled into the Windows programs.
#pragma once
#include <windows.h>

namespace korv {

// Registers the window layer with the core (platform seam, text device,
// pump hook, main-window provider) and the "DIALOG" class.
void InstallWin32Window();

// The main window (nullptr before it is made and after it is destroyed).
HWND MainHwnd();
// Makes the main window on first need; false when there is none.
bool EnsureMainWindowWin32();
// Screen size in pixels (HORZRES, VERTRES), read when the window is made.
int ScreenPixelWidth();
int ScreenPixelHeight();

// Window procedures for the windows that other parts create: children of
// class "DIALOG" and resource dialogs.
LRESULT CALLBACK DialogChildProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ResourceDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The hot-key table the pump translates with.
HACCEL HotkeyTable();
// Puts a table made at run time in its place (nullptr: none); the table
// made before is destroyed.
void ReplaceHotkeyTable(HACCEL table);

// Installs the text-screen device that draws into the DC pair.
void InstallWin32TextScreen();

}  // namespace korv
