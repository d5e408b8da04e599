// Frame of the numbra command-line tool: subcommand registry, argument
// parsing, progress and Ctrl-C for long commands, and output files that are
// never left half written. Each subcommand lives in its own cmd_<name>.cpp
// and registers itself with a static NUMBRA_CLI_COMMAND(...) line.
#pragma once

#include <signal.h>

#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace numbra {
class TMatrix;
}  // namespace numbra

namespace numbra_cli {

/// A failure reported as one line on stderr with exit status 2.
class CliError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using CommandFn = int (*)(const std::vector<std::string>& Args);

struct Command {
  std::string name;     ///< word after "numbra"
  std::string usage;    ///< e.g. "info FILE [--autodetect]"
  std::string summary;  ///< one line
  CommandFn run;        ///< receives the words after the command name
};

bool RegisterCommand(Command Cmd);
const std::vector<Command>& Commands();

/// Parsed command line: positional words, options with a value
/// ("--width 2" or "--width=2") and flags ("--autodetect").
struct Args {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  std::set<std::string> flags;

  [[nodiscard]] bool Has(const std::string& name) const {
    return flags.count(name) != 0 || options.count(name) != 0;
  }
  /// Value of an option, or Default when absent.
  [[nodiscard]] std::string Get(const std::string& name, const std::string& Default = "") const;
  /// Numeric value of an option; raises CliError when it does not convert.
  [[nodiscard]] double GetDouble(const std::string& name, double Default) const;
  [[nodiscard]] int GetInt(const std::string& name, int Default) const;
};

/// Parses Words; ValueOptions take a value, Flags do not. Anything else that
/// starts with "--" raises CliError "unknown option ...".
Args ParseArgs(const std::vector<std::string>& Words, const std::set<std::string>& ValueOptions,
               const std::set<std::string>& Flags);

/// Converts a whole word to a number or raises CliError naming What.
double ToDouble(const std::string& Word, const std::string& What);
int ToInt(const std::string& Word, const std::string& What);

/// The samples of a signal file: a vector text file when its first line is
/// "First Last", otherwise a plain column of numbers. Raises CliError naming
/// the file when it is missing, holds no numbers or holds a non-finite one.
std::vector<double> ReadSamples(const std::string& File);

/// Shortest text that reads back as the same double ("%.17g" trimmed).
std::string FormatDouble(double Value);

// ---- long commands -------------------------------------------------------
//
// A command that may run long creates one LongTask at its start:
//
//   LongTask task("distances");
//   task.Phase("computing", n);       // n progress steps expected from now
//   ... library call that steps ProcStat / tests AbortMathProc ...
//   task.Check();                     // throws Interrupted after Ctrl-C
//
// The library's long loops report through corvel::StepProcStat, which calls
// MathFeedBackProc; the command's own loops call StepProcStat too (or
// LongTask::Step) and Check() once per outer step. Check() after every
// library call that can be aborted, before judging its result: an aborted
// routine returns its failure result, which must not be reported as a
// failure of the data. Interrupted derives from std::runtime_error: a
// command that catches exceptions catches the library's own classes (or
// rethrows Interrupted), so that the interrupt reaches main.

/// Thrown by LongTask::Check() after Ctrl-C; main prints one line and exits 130.
class Interrupted : public std::runtime_error {
 public:
  Interrupted() : std::runtime_error("interrupted") {}
};

/// For the lifetime of the object: shows progress on stderr when stderr is a terminal
/// (through MathFeedBackProc, rate-limited), and turns Ctrl-C (SIGINT) into
/// AbortMathProc = true (a second Ctrl-C ends the process at once, status 130).
/// Restores the previous MathFeedBackProc and signal disposition on destruction.
///
/// The interrupt is also kept in a flag of the tool's own, because some
/// library routines clear AbortMathProc when they start: Check() consults
/// that flag, and while it is set every progress step sets AbortMathProc
/// again, so a Ctrl-C that arrives before such a routine starts still stops
/// it. AbortMathProc gets back the value it had at construction when the
/// object is destroyed. The progress line ("numbra WHAT: PHASE 42%") is
/// redrawn at most ten times a second and erased on destruction, so that a
/// message printed afterwards stands on a line of its own. One LongTask at a
/// time is meant; nested ones work (the inner restores the outer's state).
class LongTask {
 public:
  /// What names the task in the progress line, usually the command name.
  explicit LongTask(std::string What);
  ~LongTask();
  LongTask(const LongTask&) = delete;
  LongTask& operator=(const LongTask&) = delete;

  /// Throws Interrupted when Ctrl-C was pressed since the task began.
  void Check() const;
  /// True when Ctrl-C was pressed since the task began (Check without the throw).
  [[nodiscard]] bool WasInterrupted() const noexcept;
  /// Starts a phase named Name (shown after What) of TotalSteps progress
  /// steps counted from the current ProcStat; 0 shows a step count instead
  /// of a percentage.
  void Phase(std::string Name, double TotalSteps = 0.0);
  /// One progress step of the command's own loop (corvel::StepProcStat), then Check().
  void Step() const;
  /// Whether progress is being shown (stderr is a terminal).
  [[nodiscard]] bool ShowsProgress() const noexcept { return show_; }
  /// Turns the progress line off (erasing it) or on again (only when stderr
  /// is a terminal): off while the command prints to a terminal on stdout.
  void ShowProgress(bool On);

 private:
  void Feedback(double Stat);
  void Draw(double Stat);
  void Erase();

  std::string what_;
  std::string phase_;
  double base_ = 0.0;
  double total_ = 0.0;
  bool show_ = false;
  bool abort_before_ = false;
  std::size_t drawn_ = 0;  // characters of the progress line on screen
  std::chrono::steady_clock::time_point last_draw_{};
  std::function<void(double)> prev_feedback_;
  struct sigaction prev_action_ {};
  LongTask* prev_task_ = nullptr;
};

/// Writes an output file through a temporary beside it and renames it on success;
/// on failure or interrupt nothing is left behind.
///
/// Write receives the temporary's path (in the directory of Path, so that
/// the rename cannot cross file systems) and writes the whole file there; it
/// reports failure by throwing (CliError for a write error). When it throws,
/// or a second Ctrl-C ends the process while it runs, the temporary is
/// removed and Path is untouched (an existing file keeps its contents).
/// Raises CliError "cannot write "<Path>"" when the temporary cannot be
/// created or the rename fails. The new file gets the permissions the umask
/// allows (as a file created by the shell would).
void WriteOutputFile(const std::string& Path,
                     const std::function<void(const std::string& TmpPath)>& Write);

/// Writes M to File in the matrix text form at full precision (what
/// TMatrix::StoreOnFile writes after SetFPrecis(1, 0), SetFPrecis(2, -1)),
/// in bands of rows so that Task shows progress (phase "writing") and
/// Ctrl-C stops it between bands; M's precision settings are restored
/// afterwards. Meant to run inside WriteOutputFile. Raises CliError "cannot write
/// "<File>"" on a write failure and Interrupted after Ctrl-C.
void StoreMatrixText(numbra::TMatrix& M, const std::string& File, LongTask& Task);

/// Prints M to stdout as a table, one line per row, values in FormatDouble
/// form separated by one blank; one progress step and Check() per row.
void PrintMatrix(const numbra::TMatrix& M, LongTask& Task);

}  // namespace numbra_cli

#define NUMBRA_CLI_CAT2(a, b) a##b
#define NUMBRA_CLI_CAT(a, b) NUMBRA_CLI_CAT2(a, b)
/// Registers a subcommand at start-up.
#define NUMBRA_CLI_COMMAND(NAME, USAGE, SUMMARY, FN)                                         \
  namespace {                                                                                \
  const bool NUMBRA_CLI_CAT(numbra_cli_registered_,                                          \
                            __LINE__) = ::numbra_cli::RegisterCommand(::numbra_cli::Command{ \
      NAME, USAGE, SUMMARY, FN});                                                            \
  }
