#include "apps/compiler/compiler_app.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "base/code_tables.h"
#include "core/gl_header_table.h"
#include "core/kvc_format.h"
#include "core/line_store.h"
#include "core/name_shortening.h"
#include "core/preprocessor.h"
#include "core/statement_compiler.h"
#include "base/text.h"
#include "base/errors.h"

namespace korv {

const char* CompilerBanner();  // message table: the two-line banner and an empty line

const char* const kCompilerCaption = "Korvid Compiler 1.0";

namespace {

constexpr size_t kEnvMax = 32767;
constexpr size_t kCopyBlock = 32768;

// Files being written: a failure removes them, so no half-written compiled
// or linked file is left for the runtime to run.
struct OutputFile {
  std::string name;
  std::ofstream stream;
  bool pending = true;
};
std::vector<OutputFile*>& PendingFiles() {
  static std::vector<OutputFile*> files;
  return files;
}

void RemoveHalfWritten() {
  for (OutputFile* f : PendingFiles()) {
    if (!f->pending) continue;
    if (f->stream.is_open()) f->stream.close();
    std::remove(f->name.c_str());
    f->pending = false;
  }
  PendingFiles().clear();
}

bool Create(OutputFile& f, const std::string& name) {
  f.name = name;
  f.pending = true;
  f.stream.open(name, std::ios::binary | std::ios::trunc);
  if (!f.stream) return false;
  PendingFiles().push_back(&f);
  return true;
}

// Closes a finished file; false when the last writes failed.
bool Finish(OutputFile& f) {
  f.stream.flush();
  bool ok = static_cast<bool>(f.stream);
  f.stream.close();
  if (!ok) return false;
  f.pending = false;
  auto& files = PendingFiles();
  for (auto it = files.begin(); it != files.end(); ++it) {
    if (*it == &f) {
      files.erase(it);
      break;
    }
  }
  return true;
}

[[noreturn]] void Failure(const std::string& text, unsigned icon = mb::kIconError, int code = kExitLoadError) {
  host().ShowMessageBox(kCompilerCaption, text, mb::kOk | icon);
  RemoveHalfWritten();
  ExitWith(code);
}

bool Readable(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return static_cast<bool>(in);
}

std::string Limited(const char* v) {
  std::string s = v ? v : "";
  if (s.size() > kEnvMax) s.resize(kEnvMax);
  return s;
}

std::string DropQuotes(std::string s) {
  std::string r;
  for (char c : s)
    if (c != '"') r.push_back(c);
  return r;
}

std::string Filter(const std::string& ext) {
  return "Korvid-Code (*." + ext + ")|*." + ext + "|Alle Dateien (*.*)|*.*";
}

std::string Compile(const CompilerOptions& o, CompilerProgress& progress, const ChooseFileFn& choose) {
  std::string source = o.source;
  if (source.empty()) {
    std::string title = std::string("Korvid-") + ErrorText(800);
    std::string chosen;
    if (!choose || !choose(title, "Korvid-Source (*.krv, *.krvsrc)|*.KRV;*.KRVSRC|All (*.*)|*.*", chosen))
      Failure(ErrorText(804), mb::kIconError, kExitCancelled);
    source = Trim(chosen);
  }
  if (!Readable(source)) Failure(ErrorText(300) + source);

  progress.Put(2, 2, ErrorText(908));
  progress.Put(2, 3, source + "     ");
  progress.Put(2, 5, ErrorText(917));
  progress.Pause(100);

  ResetErrorState();
  LoadOptions lo;
  lo.compiler = true;
  lo.caption = kCompilerCaption;
  lo.includePath = SplitPathList(o.includePath);
  lo.symbols = {"WIN32", "VER10.0", "COMPILER", "KORVID", "KORVID1.0"};
  lo.headerTable = GlHeaderTable();
  lo.conditionalPass = false;
  LoadResult loaded = LoadProgram(source, lo);
  if (o.shorten && !ShortenNames()) Failure(ErrorText(gErr.Code));

  const std::string compiled = ReplaceExtension(source, o.extension);
  static OutputFile mapFile, codeFile;
  if (o.map && !Create(mapFile, ReplaceExtension(source, "mapdatei")))
    Failure(ErrorText(301) + ReplaceExtension(source, "mapdatei"));
  if (!Create(codeFile, compiled)) Failure(ErrorText(301) + compiled);
  progress.Put(2, 2, ErrorText(908));
  progress.Put(2, 3, compiled + "     ");
  progress.Put(2, 5, ErrorText(907));
  // Pass 2 counts its slots in the same place as the compiling after it.
  ConditionalPass([&progress](int32_t slot) { progress.Counter(slot); });

  const bool protect = loaded.protect;
  const std::string header = kvc::MakeHeader(protect, kvc::ClockRandom());
  const uint8_t mask = kvc::MaskByte(header);
  codeFile.stream.write(header.data(), static_cast<std::streamsize>(header.size()));

  StatementCompiler sc;
  sc.Begin();
  std::string body;
  for (int32_t slot = 1; slot <= sc.LastSlot(); ++slot) {
    if (!sc.Compile(slot, body)) Failure(ErrorText(gErr.Code) + gErr.Detail);
    std::string record = kvc::EncodeRecord(body, protect, mask);
    codeFile.stream.write(record.data(), static_cast<std::streamsize>(record.size()));
    if (o.map) {
      std::string line = MapLine(slot, gProgram.FileOf(slot), gProgram.LineOf(slot)) + "\r\n";
      mapFile.stream.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    progress.Counter(slot);
  }
  progress.Flush();
  if (!sc.Finish()) Failure(ErrorText(gErr.Code));
  if (!Finish(codeFile)) Failure(ErrorText(301) + compiled);
  if (o.map && !Finish(mapFile)) Failure(ErrorText(301) + mapFile.name);

  if (!o.batch && !o.link) host().ShowMessageBox(kCompilerCaption, ErrorText(909), mb::kOk | mb::kIconWarning);
  return compiled;
}

// Copies in blocks; false (with the message) on the first failure.
bool CopyBlocks(std::ifstream& in, std::ofstream& out, const char* readFailure, std::string& failure) {
  std::vector<char> buf(kCopyBlock);
  for (;;) {
    in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
    std::streamsize got = in.gcount();
    if (in.bad()) {
      failure = readFailure;
      return false;
    }
    if (got <= 0) return true;
    out.write(buf.data(), got);
    if (!out) {
      failure = "FEHLER: \r\nFehler beim Schreiben der EXE/SCR-Datei.";
      return false;
    }
    if (got < static_cast<std::streamsize>(buf.size())) return true;
  }
}

void Link(const CompilerOptions& o, std::string compiled, CompilerProgress& progress,
          const ChooseFileFn& choose) {
  const std::string filter = Filter(o.extension);
  if (o.linkOnly) {
    const std::string first = o.args.empty() ? std::string() : o.args[0];
    if (first.empty() || first[0] == '-' || first[0] == '/') {
      std::string chosen;
      if (!choose || !choose("Korvid-Programm laden:", filter, chosen))
        Failure("Zum Linken Aufruf mit: \r\nKORVAC [<Dateiname>] -link [/S]", mb::kIconError, kExitCancelled);
      compiled = Trim(chosen);
    } else {
      compiled = first;
      if (!NameHasDot(compiled)) compiled += "." + o.extension;
    }
  }
  const std::string cannotRead = "FEHLER: \r\nDatei kann nicht gelesen werden.";
  if (!Readable(compiled)) Failure(cannotRead);

  std::ifstream runtime(o.runtime, std::ios::binary);
  if (o.runtime.empty() || !runtime) Failure("FEHLER: \r\nRuntime-Modul nicht gefunden:\r\n" + o.runtime);
  runtime.seekg(0, std::ios::end);
  const auto n = static_cast<uint64_t>(runtime.tellg());
  runtime.seekg(0);
  // The runtime finds an appended program through bytes 128..131, so they
  // must be 0 and lie inside the DOS header (e_lfanew, the PE header's
  // offset, behind them).
  std::string head(132, '\0');
  runtime.read(head.data(), 132);
  if (runtime.gcount() != 132 || GetLe32(head, 128) != 0 || GetLe32(head, 0x3C) < 132 ||
      static_cast<uint64_t>(GetLe32(head, 0x3C)) >= n)
    Failure("FEHLER: \r\nRuntime-Modul ungeeignet:\r\n" + o.runtime);
  runtime.clear();
  runtime.seekg(0);

  const std::string output = ReplaceExtension(compiled, o.screenSaver ? "scr" : "exe");
  static OutputFile out;
  if (!Create(out, output)) Failure("FEHLER: \r\nProgramm kann nicht erzeugt werden.");
  progress.Put(2, 2, "Erzeugung des Programmes:");
  progress.Put(2, 3, output + "     ");
  progress.Put(2, 5, ToDecimal(static_cast<int64_t>(n)) + " Bytes RUNTIME werden kopiert.");

  std::string failure;
  if (!CopyBlocks(runtime, out.stream, "FEHLER: \r\nFehler beim Lesen des Runtime-Moduls.", failure))
    Failure(failure);
  std::ifstream code(compiled, std::ios::binary);
  if (!code) Failure(cannotRead);
  code.seekg(0, std::ios::end);
  const auto m = static_cast<int64_t>(code.tellg());
  code.seekg(0);
  out.stream.put('\0');  // the filler byte at offset N
  if (!out.stream) Failure("FEHLER: \r\nEXE/SCR-Datei kann nicht erweitert werden.");
  progress.Put(2, 7, ToDecimal(m) + " Bytes PROGRAMM werden");
  progress.Put(2, 8, "       dazugelinkt.");
  if (!CopyBlocks(code, out.stream, "FEHLER: \r\nFehler beim Lesen des Programmes.", failure))
    Failure(failure);
  std::string offset;
  PutLe32(offset, static_cast<int32_t>(n + 1));
  out.stream.seekp(128);
  out.stream.write(offset.data(), 4);
  if (!Finish(out)) Failure("FEHLER: \r\nFehler beim Schreiben der EXE/SCR-Datei.");

  if (!o.batch) {
    host().ShowMessageBox(kCompilerCaption,
                          std::string(CompilerBanner()) +
                              (o.screenSaver ? "Screensaver erfolgreich erzeugt!" : "Programm erfolgreich erzeugt!"),
                          mb::kOk | mb::kIconWarning);
  }
}

}  // namespace

CompilerOptions ParseCompilerOptions(const std::vector<std::string>& args, const char* tmrPath,
                                     const char* tmrRuntime) {
  CompilerOptions o;
  o.args = args;
  o.includePath = Limited(tmrPath);
  o.runtime = DropQuotes(Limited(tmrRuntime));
  if (!args.empty() && !args[0].empty() && args[0][0] != '-') {
    o.source = args[0];
    if (!NameHasDot(o.source)) o.source += ".KRVSrc";
  }
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string a = Upper(args[i]);
    const bool hasNext = i + 1 < args.size();
    if (a == "-B") o.batch = true;
    else if (a == "-M") o.map = true;
    else if (a == "-L") o.link = true;
    else if (a == "-LINK") o.linkOnly = true;
    else if (a == "-V") o.shorten = true;
    else if (a == "-S") o.screenSaver = true;
    else if (a == "-R" && hasNext) o.runtime = args[++i];
    else if (a == "-P" && hasNext) o.includePath = args[++i];
    else if (a == "-E" && hasNext) o.extension = args[++i];
  }
  return o;
}

void ConsoleProgress::Put(int, int, const std::string& text) { host().MirrorToStdout(text + "\r\n"); }

void ConsoleProgress::Counter(int32_t slot) { counter_ = slot; }

void ConsoleProgress::Flush() {
  if (counter_ < 0) return;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%6ld", static_cast<long>(counter_));
  host().MirrorToStdout(ErrorText(907) + buf + "\r\n");
  counter_ = -1;
}

bool NameHasDot(const std::string& name) {
  size_t sep = name.find_last_of("\\/");
  return name.find('.', sep == std::string::npos ? 0 : sep + 1) != std::string::npos;
}

std::string ReplaceExtension(const std::string& name, const std::string& extension) {
  size_t sep = name.find_last_of("\\/");
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return name + "." + extension;
  return name.substr(0, dot + 1) + extension;
}

std::string MapLine(int32_t slot, const std::string& file, int32_t line) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%6ld", static_cast<long>(line));
  return ToDecimal(slot) + "=" + file + " (" + buf + ")";
}

void CompilerHost::Exit(int code) {
  if (code != 0) RemoveHalfWritten();
  inner_.Exit(code == kExitFatal ? kExitLoadError : code);
  std::abort();  // Exit never returns
}

int RunCompiler(const CompilerOptions& options, CompilerProgress& progress, const ChooseFileFn& choose) {
  std::string compiled;
  if (!options.linkOnly) compiled = Compile(options, progress, choose);
  if (options.link || options.linkOnly) Link(options, compiled, progress, choose);
  return 0;
}

}  // namespace korv
