// Frame of the numbra command-line tool: subcommand registry and argument
// parsing. Each subcommand lives in its own cmd_<name>.cpp and registers
// itself with a static NUMBRA_CLI_COMMAND(...) line.
#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

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
