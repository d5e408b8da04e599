// Runs the numbra tool and captures its exit status, stdout and stderr.
#pragma once

#include "test_support.h"
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace numbra_test {

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

inline CliResult RunCli(const std::string& args) {
  static TempDir dir;
  static int n = 0;
  const std::string out = dir.File("out" + std::to_string(++n));
  const std::string err = dir.File("err" + std::to_string(n));
  const std::string cmd = std::string(NUMBRA_CLI_PATH) + " " + args + " >" + out + " 2>" + err;
  const int raw = std::system(cmd.c_str());
  CliResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadText(out);
  r.err = ReadText(err);
  return r;
}

inline std::string SamplePath(const std::string& name) {
  return std::string(NUMBRA_SAMPLE_DIR) + "/" + name;
}

}  // namespace numbra_test
