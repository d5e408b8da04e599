// Long commands: Ctrl-C stops them with one line and status 130 and leaves
// no output file behind; progress appears on a terminal; output written in
// bands reads back exactly.
#include "cli_runner.h"
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using numbra_test::ReadText;
using numbra_test::RunCli;
using numbra_test::TempDir;
using numbra_test::WriteText;

// A table of Rows rows of five numbers: a distance matrix of Rows^2
// elements, whose text form takes far longer to write than the test waits.
std::string Table(int Rows) {
  std::string t;
  for (int i = 0; i < Rows; ++i) {
    for (int k = 0; k < 5; ++k) t += std::to_string((i * 37 + k * 11) % 101) + (k < 4 ? " " : "\n");
  }
  return t;
}

struct RunResult {
  int status = -1;        // exit status, -1 when ended by a signal
  std::string err;        // what reached stderr
  bool progress = false;  // a progress line was seen before the interrupt
};

// Starts `numbra Args...` with stdout on /dev/null and stderr on a file or a
// pseudo-terminal, waits until Ready() holds (or the progress line shows on
// the terminal), sends Interrupts SIGINTs and collects the result.
RunResult Interrupt(const std::vector<std::string>& Args, bool Terminal, int Interrupts,
                    const std::function<bool()>& Ready, const std::string& ErrFile) {
  int master = -1;
  std::string slave_name;
  if (Terminal) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master, 0);
    EXPECT_EQ(::grantpt(master), 0);
    EXPECT_EQ(::unlockpt(master), 0);
    slave_name = ::ptsname(master);
  }
  std::vector<char*> argv;
  std::string cli = NUMBRA_CLI_PATH;
  argv.push_back(cli.data());
  std::vector<std::string> words = Args;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open("/dev/null", O_WRONLY);
    const int err = Terminal ? ::open(slave_name.c_str(), O_RDWR | O_NOCTTY)
                             : ::open(ErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::signal(SIGINT, SIG_DFL);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  RunResult r;
  std::string tty;  // what arrived on the terminal
  int raw = 0;
  bool ended = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!ended && std::chrono::steady_clock::now() < deadline) {
    if (Terminal) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, 100) > 0) {
        char buf[256];
        const ssize_t got = ::read(master, buf, sizeof buf);
        if (got > 0) tty.append(buf, static_cast<std::size_t>(got));
      }
      if (tty.find('%') != std::string::npos && Ready()) break;
    } else {
      if (Ready()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ended = ::waitpid(pid, &raw, WNOHANG) == pid;  // the tool ended too early
  }
  r.progress = tty.find('%') != std::string::npos;
  if (!ended) {
    for (int i = 0; i < Interrupts; ++i) ::kill(pid, SIGINT);
    ::waitpid(pid, &raw, 0);
  }
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (Terminal) {
    char buf[256];
    ssize_t got = 0;
    while ((got = ::read(master, buf, sizeof buf)) > 0)
      tty.append(buf, static_cast<std::size_t>(got));
    ::close(master);
    r.err = tty;
  } else {
    r.err = ReadText(ErrFile);
  }
  return r;
}

struct InterruptCase {
  bool terminal;   // stderr on a pseudo-terminal (progress shown)
  int interrupts;  // SIGINTs sent at once
};

class CliInterrupt : public ::testing::TestWithParam<InterruptCase> {};

TEST_P(CliInterrupt, DistancesStopsAndLeavesNoFile) {
  const InterruptCase c = GetParam();
  if (c.terminal) {
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0) GTEST_SKIP() << "no pseudo-terminal here";
    ::close(fd);
  }
  TempDir dir;      // input and output
  TempDir err_dir;  // stderr of the tool
  WriteText(dir.File("t.txt"), Table(12000));
  const std::string out = dir.File("d.txt");
  WriteText(out, "keep\n");  // an existing output survives an interrupt
  // The long part: the output's temporary exists beside it.
  const auto writing = [&] {
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
      if (e.path().filename().string().rfind("d.txt.part", 0) == 0) return true;
    return false;
  };
  const RunResult r = Interrupt({"distances", dir.File("t.txt"), "--out", out}, c.terminal,
                                c.interrupts, writing, err_dir.File("err"));
  EXPECT_EQ(r.status, 130) << r.err;
  EXPECT_EQ(ReadText(out), "keep\n");
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
    left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"d.txt", "t.txt"}));
  if (c.terminal) {
    EXPECT_TRUE(r.progress);
    // Progress lines are redrawn with CR and erased; the message ends it.
    const std::string tail = "numbra distances: interrupted\r\n";
    ASSERT_GE(r.err.size(), tail.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail);
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1);
  } else if (c.interrupts == 1) {
    EXPECT_EQ(r.err, "numbra distances: interrupted\n");
  } else {
    // The second Ctrl-C may end the process before the message.
    EXPECT_TRUE(r.err.empty() || r.err == "numbra distances: interrupted\n") << r.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, CliInterrupt,
                         ::testing::Values(InterruptCase{false, 1}, InterruptCase{true, 1},
                                           InterruptCase{false, 2}));

// Written in bands (600 rows: two of them) the file is the whole matrix in
// the text form; |i - j| is exact, as are Manhattan distances of integers and
// the inverse of a diagonal matrix.
TEST(CliLongOutput, BandsReadBackExactly) {
  TempDir dir;
  std::string column;
  std::string expected = "1 1 600 600\r\n";
  for (int i = 1; i <= 600; ++i) {
    column += std::to_string(i) + "\n";
    for (int j = 1; j <= 600; ++j)
      expected += std::to_string(std::abs(i - j)) + (j < 600 ? " " : "\r\n");
  }
  WriteText(dir.File("c.txt"), column);
  // 16 columns: the distance kernel is watched for progress; Manhattan
  // distances of small integers are exact.
  std::string wide;
  std::string manhattan = "1 1 4 4\r\n";
  const auto cell = [](int r, int k) { return (r * 7 + k * 3) % 11 - 5; };
  for (int r = 0; r < 4; ++r) {
    for (int k = 0; k < 16; ++k) wide += std::to_string(cell(r, k)) + (k < 15 ? " " : "\n");
    for (int q = 0; q < 4; ++q) {
      int d = 0;
      for (int k = 0; k < 16; ++k) d += std::abs(cell(r, k) - cell(q, k));
      manhattan += std::to_string(d) + (q < 3 ? " " : "\r\n");
    }
  }
  WriteText(dir.File("w.txt"), wide);
  WriteText(dir.File("m.txt"), "1 1 2 2\n2 0\n0 8\n");
  struct Case {
    std::string args;
    std::string want;
  };
  for (const Case& c : {Case{"distances " + dir.File("c.txt"), expected},
                        Case{"distances --mode manhattan " + dir.File("w.txt"), manhattan},
                        Case{"invert " + dir.File("m.txt"), "1 1 2 2\r\n0.5 0\r\n0 0.125\r\n"}}) {
    const auto r = RunCli(c.args + " --out " + dir.File("o.txt"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_EQ(ReadText(dir.File("o.txt")), c.want) << c.args;
  }
  // A missing directory: the usual one-line error, nothing created.
  const auto r = RunCli("invert " + dir.File("m.txt") + " --out " + dir.File("no/o.txt"));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "numbra invert: cannot write \"" + dir.File("no/o.txt") + "\"\n");
}

}  // namespace
