#include "core/code_tables.h"

#include <array>
#include <string>
#include <unordered_map>

namespace korv {

namespace {

struct CodeName {
  int code;
  const char* name;
};

constexpr CodeName kCommands[] = {
    {2, "PROGEND"}, {30, "ADDHOTKEY"}, {31, "SUBPROC"}, {42, "UNTIL"}, {43, "REPEAT"},
    {44, "FLOAT"}, {45, "DRAWPIC"}, {46, "DRAWSIZEDPIC"}, {47, "LOGOUT"}, {48, "DEBUGOUT"},
    {49, "CLASS"}, {50, "SETCLOSEMSG"}, {51, "WHILELOOP"}, {52, "ENDWITH"}, {53, "WITH"},
    {54, "STRUCT"}, {55, "USERMESSAGES"}, {56, "SLEEP"}, {59, "CONTINUE"}, {60, "BREAK"},
    {61, "CLEAR"}, {62, "DELETEOBJECT"}, {63, "SETFONT"}, {65, "SETSTYLE"}, {66, "SCREEN"},
    {67, "COPYBMPTOMEM"}, {68, "GETMESSAGE"}, {69, "FREEDLL"}, {70, "MCLS"}, {75, "MCOPYSIZEDBMP"},
    {78, "KILLTIMER"}, {79, "SETTIMER"}, {80, "ERRORPROC"}, {81, "ENDPAINT"}, {82, "STARTPAINT"},
    {83, "NEXTPAGE"}, {84, "BLOCKWRITE"}, {85, "CHAR"}, {86, "LONG"}, {91, "SETSCROLLPOS"},
    {92, "SETSCROLLRANGE"}, {93, "OTHERWISE"}, {94, "SETMENUITEM"}, {95, "ENABLEWINDOW"},
    {96, "EXITWINDOWS"}, {97, "INSERTMENU"}, {98, "CHECKMENU"}, {99, "ENABLEMENU"},
    {100, "REMOVEMENU"}, {101, "SETWINDOWPOS"}, {102, "SETFATTR"}, {103, "WINCOPY"},
    {105, "WINHELP"}, {106, "READTEXT"}, {107, "STRING"}, {108, "WORD"}, {109, "BYTE"},
    {110, "DISPOSE"}, {111, "DIM"}, {112, "OPENRW"}, {113, "COPYPIC"}, {114, "PUTBYTE"},
    {115, "SEEK"}, {116, "ADDFONTS"}, {117, "ENDSELECT"}, {118, "SETDIALOGFONT"}, {119, "PASSWORD"},
    {120, "DRAWLIBICON"}, {120, "DRAWPROGICON"}, {121, "SELECT"}, {122, "CASEOF"},
    {125, "MCOPYBMP"}, {126, "MLOADBMP"}, {127, "DRAWEXTICON"}, {128, "SHOWCURSOR"}, {129, "CASE"},
    {130, "CASENOT"}, {131, "DEF"}, {132, "ENDIF"}, {133, "IF"}, {134, "ELSE"}, {135, "IFNOT"},
    {136, "WHILE"}, {137, "WHILENOT"}, {138, "ENDWHILE"}, {139, "RETURN"}, {140, "ENDPROC"},
    {143, "PROC"}, {144, "CLS"}, {145, "REPAINT"}, {146, "SHELL"}, {147, "RUN"},
    {148, "APPENDMENUBAR"}, {149, "CREATEMENU"}, {150, "APPENDMENU"}, {151, "SEPARATOR"},
    {152, "TRACKMENU"}, {153, "POPUP"}, {154, "SUBPOPUP"}, {155, "ENDSUB"}, {156, "PLAYSOUND"},
    {160, "COPYBMP"}, {161, "COPYSIZEDBMP"}, {162, "PRINT"}, {163, "PUTCHAR"}, {164, "PUTLONG"},
    {165, "PUTWORD"}, {166, "DRAWTEXT"}, {167, "USEFONT"}, {168, "VAR"}, {169, "USEBRUSH"},
    {170, "USEPEN"}, {171, "USEICON"}, {172, "USECURSOR"}, {173, "DRAWICON"}, {174, "DRAWSYSICON"},
    {175, "SETPIXEL"}, {176, "FILL"}, {177, "LINE"}, {178, "LINETO"}, {179, "MOVETO"},
    {180, "RECTANGLE"}, {181, "ROUNDRECT"}, {182, "PIE"}, {183, "ARC"}, {184, "CHORD"},
    {185, "ELLIPSE"}, {186, "WINDOWTITLE"}, {187, "WINDOW"}, {188, "RANDOMIZE"}, {189, "BEEP"},
    {190, "LOCATE"}, {191, "END"}, {195, "WAITINPUT"}, {204, "DECLARE"}, {205, "INPUT"},
    {206, "LET"}, {207, "PARAMETERS"}, {208, "INC"}, {209, "DEC"}, {212, "COPY"},
    {213, "COPYSIZEDPIC"}, {214, "SHOWMAX"}, {215, "SHOWMIN"}, {216, "SHOWNORMAL"},
    {217, "TEXTCOLOR"}, {218, "COLOR"}, {219, "FONT"}, {220, "CLEARLIST"}, {221, "ADDSTRING"},
    {222, "ADDFILES"}, {223, "CHDIR"}, {224, "MKDIR"}, {225, "RMDIR"}, {227, "SOUND"},
    {228, "PLAY"}, {229, "ASSIGN"}, {230, "RENAME"}, {231, "APPEND"}, {232, "CLOSE"},
    {233, "ERASE"}, {234, "RESET"}, {235, "REWRITE"}, {236, "WRITEINI"}, {237, "STARTPRINT"},
    {238, "ENDPRINT"}, {239, "SETERRORLEVEL"}, {240, "ORIENTATION"}, {241, "SCREENCOPY"},
    {242, "MUSIC"}, {243, "ELSEIF"}, {244, "LISTBOXITEM$"}, {245, "WINDOWSTYLE"},
    {246, "CLEARCLIP"}, {247, "PUTCLIP"}, {250, "SETTEXT"}, {251, "SETCHECK"}, {253, "ADDWINDOWS"},
};

constexpr CodeName kFunctions[] = {
    {18, "SIZEOF"}, {21, "DOUBLE"}, {22, "SINGLE"}, {24, "SET"}, {25, "TABCHANGED"},
    {26, "GETACTIVETAB"}, {27, "INSERTTAB"}, {28, "CREATE"}, {29, "GETFTIME$"}, {40, "MEMPOS"},
    {41, "MOVELISTTOMEM"}, {42, "MOVELISTTOSTR$"}, {43, "CALL"}, {44, "EXTERNAL"}, {45, "TAB"},
    {47, "CLICKED"}, {48, "GETSTYLE"}, {49, "SHELLEXEC"}, {50, "ADDR"}, {51, "CONTROL"},
    {52, "HEX$"}, {53, "OCT$"}, {54, "BIN$"}, {55, "LEFT$"}, {56, "RIGHT$"}, {57, "MKSTR$"},
    {58, "SPACE$"}, {59, "TESTBIT"}, {60, "SETBIT"}, {61, "WINEXECWAIT"}, {62, "HEIGHT"},
    {63, "WIDTH"}, {64, "GETHANDLE"}, {65, "EXTSTRING$"}, {66, "SETCOMTIMEOUTS"}, {67, "BLOCKREAD"},
    {68, "FORMAT$"}, {69, "XOR"}, {70, "CHAR$"}, {75, "POSTMESSAGE"}, {76, "SENDSTRING"},
    {77, "GETRVALUE"}, {78, "GETGVALUE"}, {79, "GETBVALUE"}, {80, "TOOLBAR"}, {81, "FILESEARCH$"},
    {82, "GETSCROLLPOS"}, {83, "COMERROR"}, {84, "SETCOMEXT"}, {85, "SETCOM"}, {86, "GETFATTR"},
    {87, "GETFDATE$"}, {89, "STRING$"}, {90, "LONG"}, {91, "WORD"}, {92, "BYTE"}, {93, "GETBYTE"},
    {94, "FILEPOS"}, {95, "GETFILESIZE"}, {96, "GETDATE$"}, {97, "GETSTATE"}, {98, "TRANSLATE$"},
    {99, "ROUND"}, {100, "MOVEHANDLETOLIST"}, {101, "MOVELISTTOHANDLE"}, {104, "GETLINE$"},
    {105, "GETLINECOUNT"}, {106, "DELETESTRING"}, {107, "GETSELCOUNT"}, {108, "GETCOUNT"},
    {109, "GETCURSEL"}, {110, "GETSTRING$"}, {111, "INSERTSTRING"}, {112, "SELECTSTRING"},
    {113, "ADDSTRING"}, {114, "DIREXISTS"}, {115, "OGL"}, {116, "FILENAME$"}, {117, "FILESTATUS$"},
    {118, "PWD$"}, {123, "ICONCOUNT"}, {124, "EDITBOX"}, {126, "SUBSTR$"}, {127, "LOWER$"},
    {128, "USEDLL"}, {145, "CHR$"}, {147, "MID$"}, {148, "DEL$"}, {149, "INS$"}, {150, "LEN"},
    {151, "INSTR"}, {152, "ORD"}, {153, "TRIM$"}, {154, "STR$"}, {155, "MESSAGEBOX"},
    {156, "LISTBOX$"}, {157, "LISTBOXITEM$"}, {158, "LOADFILE$"}, {159, "SAVEFILE$"},
    {160, "INPUT$"}, {161, "UPPER$"}, {162, "NOT"}, {163, "ABS"}, {164, "COS"}, {165, "SIN"},
    {166, "EXP"}, {167, "LN"}, {168, "SQR"}, {169, "SQRT"}, {170, "ARCTAN"}, {171, "PI"},
    {172, "INT"}, {173, "RND"}, {174, "RGB"}, {176, "GETKEY$"}, {177, "KEYIN"}, {178, "MOUSE"},
    {180, "MENUITEM"}, {181, "SCANKEY"}, {182, "MCISEND$"}, {188, "PAR$"}, {189, "VAL"},
    {190, "ANSITOOEM$"}, {191, "OEMTOANSI$"}, {192, "DISKSIZE"}, {193, "DISKFREE"},
    {194, "GETDIR$"}, {195, "FINDFIRST$"}, {196, "FINDNEXT$"}, {197, "FILESIZE"}, {198, "EOF"},
    {199, "READINI$"}, {200, "IF"}, {201, "TIME$"}, {202, "DATE$"}, {203, "GETPIXEL"},
    {204, "GETCLIP$"}, {205, "LG"}, {206, "TAN"}, {207, "COT"}, {209, "CHOOSEDIR$"},
    {211, "ASSIGN"}, {212, "GETWORD"}, {213, "GETLONG"}, {214, "GETCHAR$"}, {215, "MOVESTRTOLIST"},
    {216, "MOVELISTTOARR"}, {219, "MOVEARRTOLIST"}, {221, "PTYPE$"}, {222, "WINERROR$"},
    {223, "HIWORD"}, {224, "LOWORD"}, {225, "MAKELONG"}, {226, "RTF"}, {228, "DTOC$"},
    {229, "CTOD$"}, {230, "SENDMESSAGE"}, {231, "FINDWINDOW"}, {232, "GETACTIVEWINDOW"},
    {233, "SETACTIVEWINDOW"}, {234, "SHOWWINDOW"}, {235, "SETFOCUS"}, {236, "GETFOCUS"},
    {237, "DESTROYWINDOW"}, {238, "FILEEXISTS"}, {239, "GET"}, {240, "FLOAT"}, {241, "ITEMID"},
    {242, "JOY"}, {243, "ISKEY"}, {245, "NEW"}, {246, "TYPEOF"}, {247, "CLASSOF"},
    {248, "GETTEXT$"}, {249, "GETCHECK"}, {251, "GETENV$"}, {252, "SENDKEY"}, {253, "WINEXEC"},
};

constexpr CodeName kSysVars[] = {
    {128, "%CHILDMESSAGE"}, {129, "%BUTTON"}, {134, "%GETCOUNT"}, {137, "%MOUSEX"},
    {138, "%MOUSEY"}, {139, "%MOUSEKEY"}, {140, "%MENUITEM"}, {141, "%MCIERROR"}, {142, "%KEY"},
    {143, "%SCANKEY"}, {144, "%HDC"}, {145, "%HDC2"}, {146, "%HWND"}, {147, "%IORESULT"},
    {148, "%ERROR"}, {149, "$DRIVE"}, {150, "%GETCURSEL"}, {151, "$WINPATH"}, {152, "$SYSPATH"},
    {153, "$DOSVER"}, {154, "$WINVER"}, {155, "%WINTOP"}, {156, "%WINBOTTOM"}, {157, "%WINLEFT"},
    {158, "%WINRIGHT"}, {159, "%GETFOCUS"}, {173, "%MAXX"}, {174, "%MAXY"}, {175, "%DESKTOP"},
    {176, "%PARCOUNT"}, {177, "%GETINPUTSTATE"}, {178, "%MOUSEPRESSED"}, {179, "%PEEKMESSAGE"},
    {180, "%MWND"}, {181, "%MESSAGE"}, {182, "&WPARAM"}, {183, "&LPARAM"}, {185, "%BMPX"},
    {186, "%BMPY"}, {187, "%ERRNUMBER"}, {188, "%BITSPIXEL"}, {189, "&BMPCOL"}, {190, "%FONT"},
    {192, "&GETTICKCOUNT"}, {196, "$TELMVER"}, {197, "%PCOUNT"}, {198, "%HINSTANCE"},
    {199, "%WMTIMER"}, {200, "%WMPAINT"}, {201, "%WIN32"}, {207, "%LASTMESSAGE"},
    {210, "%ERRORLEVEL"}, {211, "%PROGEND"}, {212, "&LOOP"}, {213, "%WMNOTIFY"},
    {214, "%NOTIFYCODE"}, {215, "&NOTIFYWND"}, {216, "%UMESSAGE"}, {217, "&ULPARAM"},
    {218, "&UWPARAM"}, {219, "&HMENU"}, {229, "%ITEMID"}, {231, "&PDC"}, {234, "$TEMPDIR"},
    {235, "$PROGDIR"}, {236, "%PRINTING"}, {238, "%CYCAPTION"}, {239, "%CYMENU"},
    {242, "&LASTFOCUS"}, {243, "&MEMDC"}, {244, "%WINDOWSTYLE"}, {248, "%ERRLINE"},
    {249, "$ERRSTR"}, {250, "$ERRFILE"}, {251, "%WINERROR"}, {252, "%OGLERROR"}, {253, "!BMPF"},
};

struct Table {
  std::unordered_map<std::string_view, int> byName;
  std::array<const char*, 256> byCode{};
  int count = 0;

  template <size_t N>
  explicit Table(const CodeName (&entries)[N]) {
    for (const CodeName& e : entries) {
      byName.emplace(e.name, e.code);
      if (byCode[static_cast<size_t>(e.code)] == nullptr) byCode[static_cast<size_t>(e.code)] = e.name;
      ++count;
    }
  }
  int Code(std::string_view name) const {
    auto it = byName.find(name);
    return it == byName.end() ? -1 : it->second;
  }
  const char* Name(int code) const {
    return code >= 0 && code < 256 ? byCode[static_cast<size_t>(code)] : nullptr;
  }
};

const Table& Commands() {
  static const Table t(kCommands);
  return t;
}
const Table& Functions() {
  static const Table t(kFunctions);
  return t;
}
const Table& SysVars() {
  static const Table t(kSysVars);
  return t;
}

}  // namespace

int CommandCode(std::string_view n) { return Commands().Code(n); }
int FunctionCode(std::string_view n) { return Functions().Code(n); }
int SysVarCode(std::string_view n) { return SysVars().Code(n); }
const char* CommandName(int c) { return Commands().Name(c); }
const char* FunctionName(int c) { return Functions().Name(c); }
const char* SysVarName(int c) { return SysVars().Name(c); }
int CommandNameCount() { return Commands().count; }
int FunctionNameCount() { return Functions().count; }
int SysVarNameCount() { return SysVars().count; }

bool HasJumpTarget(int c) {
  switch (c) {
    case code::kIf: case code::kIfNot: case code::kElseIf: case code::kElse:
    case code::kWhile: case code::kWhileNot: case code::kWhileLoop: case code::kBreak:
    case code::kCaseOf: case code::kOtherwise: case code::kProc: case code::kSubproc:
    case code::kErrorProc:
      return true;
    default:
      return false;
  }
}

}  // namespace korv
