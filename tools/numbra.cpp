// numbra: command-line front end of the library.
#include "numbra.h"

#include "cli.h"
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>

namespace numbra_cli {

namespace {
std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}

void PrintUsage(std::ostream& out) {
  out << "usage: numbra COMMAND [ARGS]\n\ncommands:\n";
  for (const auto& c : Commands()) out << "  numbra " << c.usage << "\n      " << c.summary << "\n";
  out << "  numbra help\n      this text\n";
}
}  // namespace

bool RegisterCommand(Command Cmd) {
  Registry().push_back(std::move(Cmd));
  return true;
}

const std::vector<Command>& Commands() { return Registry(); }

std::string Args::Get(const std::string& name, const std::string& Default) const {
  const auto it = options.find(name);
  return it == options.end() ? Default : it->second;
}

double Args::GetDouble(const std::string& name, double Default) const {
  const auto it = options.find(name);
  return it == options.end() ? Default : ToDouble(it->second, name);
}

int Args::GetInt(const std::string& name, int Default) const {
  const auto it = options.find(name);
  return it == options.end() ? Default : ToInt(it->second, name);
}

Args ParseArgs(const std::vector<std::string>& Words, const std::set<std::string>& ValueOptions,
               const std::set<std::string>& Flags) {
  Args a;
  for (std::size_t i = 0; i < Words.size(); ++i) {
    const std::string& w = Words[i];
    if (w.size() > 2 && w.compare(0, 2, "--") == 0) {
      std::string name = w;
      std::string value;
      bool has_value = false;
      if (const auto eq = w.find('='); eq != std::string::npos) {
        name = w.substr(0, eq);
        value = w.substr(eq + 1);
        has_value = true;
      }
      if (Flags.count(name) != 0 && !has_value) {
        a.flags.insert(name);
      } else if (ValueOptions.count(name) != 0) {
        if (!has_value) {
          if (i + 1 >= Words.size()) throw CliError("option " + name + " needs a value");
          value = Words[++i];
        }
        a.options[name] = value;
      } else {
        throw CliError("unknown option " + w);
      }
    } else {
      a.positional.push_back(w);
    }
  }
  return a;
}

double ToDouble(const std::string& Word, const std::string& What) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(Word.c_str(), &end);
  if (Word.empty() || end != Word.c_str() + Word.size())
    throw CliError(What + ": not a number: \"" + Word + "\"");
  return v;
}

int ToInt(const std::string& Word, const std::string& What) {
  int v = 0;
  const auto [ptr, ec] = std::from_chars(Word.data(), Word.data() + Word.size(), v);
  if (Word.empty() || ec != std::errc() || ptr != Word.data() + Word.size())
    throw CliError(What + ": not an integer: \"" + Word + "\"");
  return v;
}

std::string FormatDouble(double Value) {
  for (int digits = 15; digits <= 17; ++digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, Value);
    if (std::strtod(buf, nullptr) == Value || std::isnan(Value)) return buf;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g", Value);
  return buf;
}

// ---- long commands -------------------------------------------------------

namespace {

// State shared with the SIGINT handler. The handler touches nothing else:
// it counts, stores to the lock-free AbortMathProc and, on the second
// interrupt, removes the output temporary and ends the process (unlink and
// _exit are async-signal-safe).
static_assert(std::atomic<bool>::is_always_lock_free, "the SIGINT handler stores to AbortMathProc");
volatile std::sig_atomic_t g_interrupts = 0;
volatile std::sig_atomic_t g_tmp_set = 0;
char g_tmp_path[PATH_MAX + 1];
LongTask* g_task = nullptr;

extern "C" void OnInterrupt(int /*sig*/) {
  if (g_interrupts > 0) {
    if (g_tmp_set != 0) ::unlink(g_tmp_path);
    ::_exit(130);
  }
  g_interrupts = 1;
  corvel::AbortMathProc.store(true);
}

constexpr auto kRedraw = std::chrono::milliseconds(100);

}  // namespace

LongTask::LongTask(std::string What)
    : what_(std::move(What)),
      show_(::isatty(STDERR_FILENO) == 1),
      abort_before_(corvel::AbortMathProc.load()),
      prev_feedback_(std::move(corvel::MathFeedBackProc)),
      prev_task_(g_task) {
  if (prev_task_ == nullptr) g_interrupts = 0;
  g_task = this;
  base_ = corvel::ProcStat.load();
  corvel::MathFeedBackProc = [this](double Stat) { Feedback(Stat); };
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;  // reads and writes carry on after the first Ctrl-C
  ::sigaction(SIGINT, nullptr, &prev_action_);
  // An ignored SIGINT (nohup, a background job of a script) stays ignored.
  if (prev_action_.sa_handler != SIG_IGN) ::sigaction(SIGINT, &sa, nullptr);
}

LongTask::~LongTask() {
  Erase();
  ::sigaction(SIGINT, &prev_action_, nullptr);
  corvel::MathFeedBackProc = std::move(prev_feedback_);
  corvel::AbortMathProc.store(abort_before_);
  g_task = prev_task_;
}

bool LongTask::WasInterrupted() const noexcept { return g_interrupts != 0; }

void LongTask::Check() const {
  if (WasInterrupted()) throw Interrupted();
}

void LongTask::Phase(std::string Name, double TotalSteps) {
  phase_ = std::move(Name);
  base_ = corvel::ProcStat.load();
  total_ = TotalSteps;
  if (show_) Draw(base_);
}

void LongTask::Step() const {
  corvel::StepProcStat();
  Check();
}

void LongTask::ShowProgress(bool On) {
  if (!On) Erase();
  show_ = On && ::isatty(STDERR_FILENO) == 1;
}

void LongTask::Feedback(double Stat) {
  // A routine that cleared AbortMathProc when it started is stopped at its
  // first step after the interrupt.
  if (g_interrupts != 0) corvel::AbortMathProc.store(true);
  if (!show_) return;
  if (std::chrono::steady_clock::now() - last_draw_ >= kRedraw) Draw(Stat);
}

void LongTask::Draw(double Stat) {
  std::string line = "numbra " + what_ + ":";
  if (!phase_.empty()) line += " " + phase_;
  char buf[64];
  const double done = Stat - base_;
  if (total_ > 0.0) {
    std::snprintf(buf, sizeof buf, " %3.0f%%", std::clamp(100.0 * done / total_, 0.0, 100.0));
  } else {
    std::snprintf(buf, sizeof buf, " %.0f steps", std::max(done, 0.0));
  }
  line += buf;
  const std::size_t width = line.size();
  if (width < drawn_) line.append(drawn_ - width, ' ');
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
  drawn_ = std::max(drawn_, width);
  last_draw_ = std::chrono::steady_clock::now();
}

void LongTask::Erase() {
  if (drawn_ == 0) return;
  std::fprintf(stderr, "\r%s\r", std::string(drawn_, ' ').c_str());
  std::fflush(stderr);
  drawn_ = 0;
}

void WriteOutputFile(const std::string& Path,
                     const std::function<void(const std::string& TmpPath)>& Write) {
  const CliError cannot("cannot write \"" + Path + "\"");
  // Devices and pipes (/dev/stdout, a FIFO) are written in place; a symbolic
  // link is followed so that the link stays and its target is replaced.
  std::string target = Path;
  struct stat st {};
  if (::lstat(Path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(Path.c_str(), resolved) != nullptr) target = resolved;
  }
  if (::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    Write(target);
    return;
  }
  std::string tmp = target + ".partXXXXXX";
  if (tmp.size() > PATH_MAX) throw cannot;
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) throw cannot;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
  std::memcpy(g_tmp_path, tmp.c_str(), tmp.size() + 1);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  g_tmp_set = 1;
  struct Cleanup {
    const std::string& tmp;
    bool keep = false;
    // Removed before the handler forgets it, so that a second Ctrl-C at any
    // moment leaves nothing behind (unlinking a name already gone is harmless).
    ~Cleanup() {
      if (!keep) std::remove(tmp.c_str());
      std::atomic_signal_fence(std::memory_order_seq_cst);
      g_tmp_set = 0;
    }
  } cleanup{tmp};
  Write(tmp);
  if (g_interrupts != 0) throw Interrupted();
  if (std::rename(tmp.c_str(), target.c_str()) != 0) throw cannot;
  cleanup.keep = true;
}

void StoreMatrixText(numbra::TMatrix& M, const std::string& File, LongTask& Task) {
  const CliError cannot("cannot write \"" + File + "\"");
  // Full precision for this write only; no copy of a possibly huge matrix.
  struct Precision {
    numbra::TMatrix& m;
    int32_t p1 = m.GetFPrecis(1);
    int32_t p2 = m.GetFPrecis(2);
    ~Precision() {
      m.SetFPrecis(1, p1);
      m.SetFPrecis(2, p2);
    }
  } keep{M};
  M.SetFPrecis(1, 0);
  M.SetFPrecis(2, -1);
  const numbra::TMatrix* src = &M;
  const int32_t nc = src->NrOfColumns();
  const int32_t nr = src->NrOfRows();
  // Each band of rows is written by the library's own writer into an
  // in-memory file and appended without its header line; the whole file
  // gets the header of the whole matrix. Without an in-memory file (or for
  // an empty matrix) the library writes the file in one go.
  const int band_fd = nc > 0 && nr > 0 ? ::memfd_create("numbra-band", MFD_CLOEXEC) : -1;
  if (band_fd < 0) {
    if (!src->StoreOnFile(0, 0, 0, 0, File)) throw cannot;
    return;
  }
  struct Closer {
    int fd;
    std::FILE* out = nullptr;
    ~Closer() {
      ::close(fd);
      if (out != nullptr) std::fclose(out);
    }
  } closer{band_fd};
  const std::string band = "/proc/self/fd/" + std::to_string(band_fd);
  closer.out = std::fopen(File.c_str(), "wb");
  if (closer.out == nullptr) throw cannot;
  const std::string header = "1 1 " + std::to_string(nc) + " " + std::to_string(nr) + "\r\n";
  bool ok = std::fputs(header.c_str(), closer.out) >= 0;
  const int32_t rows_per_band = std::max<int32_t>(1, (int32_t{1} << 18) / nc);
  Task.Phase("writing", (nr + rows_per_band - 1) / rows_per_band);
  std::vector<char> buf(1 << 16);
  for (int32_t r0 = 1; ok && r0 <= nr; r0 += rows_per_band) {
    const int32_t r1 = std::min<int32_t>(nr, r0 + rows_per_band - 1);
    if (!src->StoreOnFile(1, r0, nc, r1, band)) throw cannot;
    off_t pos = 0;
    bool body = false;
    for (;;) {
      const ssize_t got = ::pread(band_fd, buf.data(), buf.size(), pos);
      if (got < 0) throw cannot;
      if (got == 0) break;
      pos += got;
      const char* p = buf.data();
      std::size_t len = static_cast<std::size_t>(got);
      if (!body) {  // skip the band's header line
        const void* nl = std::memchr(p, '\n', len);
        if (nl == nullptr) continue;
        const std::size_t skip = static_cast<std::size_t>(static_cast<const char*>(nl) - p) + 1;
        p += skip;
        len -= skip;
        body = true;
      }
      ok = ok && std::fwrite(p, 1, len, closer.out) == len;
    }
    Task.Step();
  }
  ok = std::fclose(closer.out) == 0 && ok;
  closer.out = nullptr;
  if (!ok) throw cannot;
}

void PrintMatrix(const numbra::TMatrix& M, LongTask& Task) {
  // Rows and a progress line on the same terminal would mix.
  if (::isatty(STDOUT_FILENO) == 1) Task.ShowProgress(false);
  Task.Phase("printing", M.NrOfRows());
  std::string line;
  for (int32_t r = 1; r <= M.NrOfRows(); ++r) {
    line.clear();
    for (int32_t c = 1; c <= M.NrOfColumns(); ++c) {
      if (c > 1) line += ' ';
      line += FormatDouble(M.GetVal(c, r));
    }
    line += '\n';
    std::cout << line;
    Task.Step();
  }
  std::cout.flush();
}

}  // namespace numbra_cli

int main(int argc, char** argv) {
  using namespace numbra_cli;
  if (argc < 2) {
    PrintUsage(std::cerr);
    return 2;
  }
  const std::string name = argv[1];
  if (name == "help" || name == "--help" || name == "-h") {
    PrintUsage(std::cout);
    return 0;
  }
  const std::vector<std::string> words(argv + 2, argv + argc);
  for (const auto& c : Commands()) {
    if (c.name != name) continue;
    try {
      return c.run(words);
    } catch (const Interrupted& e) {
      std::cerr << "numbra " << name << ": " << e.what() << "\n";
      return 130;
    } catch (const std::exception& e) {
      std::cerr << "numbra " << name << ": " << e.what() << "\n";
      return 2;
    }
  }
  std::cerr << "numbra: unknown command \"" << name << "\" (try \"numbra help\")\n";
  return 2;
}
