// numbra: command-line front end of the library.
#include "numbra.h"

#include "cli.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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
    } catch (const std::exception& e) {
      std::cerr << "numbra " << name << ": " << e.what() << "\n";
      return 2;
    }
  }
  std::cerr << "numbra: unknown command \"" << name << "\" (try \"numbra help\")\n";
  return 2;
}
