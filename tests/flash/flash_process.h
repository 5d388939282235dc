#pragma once
// velora-flash run as the operator runs it: a child process with its own environment, its
// output and errors kept in files, waited for with a deadline, interrupted like Ctrl-C.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace flash::test {

class FlashProcess {
public:
  // Starts `velora-flash arguments...` with XDG_CONFIG_HOME=`config`; output goes to files in
  // `folder`.
  FlashProcess(const std::filesystem::path& folder, const std::filesystem::path& config,
               const std::vector<std::string>& arguments)
      : outPath(folder / "out.txt"), errPath(folder / "err.txt") {
    const std::string program = std::string(LAMP_BIN_DIR) + "/velora-flash";
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    // Everything the child needs is made before the fork: the simulator's thread runs meanwhile.
    std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + config.string()};
    for (char** variable = environ; *variable != nullptr; ++variable) {
      if (std::string_view(*variable).substr(0, 16) != "XDG_CONFIG_HOME=") {
        environment.emplace_back(*variable);
      }
    }
    std::vector<char*> envp;
    for (std::string& variable : environment) {
      envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    pid = ::fork();
    if (pid == 0) {
      const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(out, STDOUT_FILENO);
      ::dup2(err, STDERR_FILENO);
      ::execve(program.c_str(), argv.data(), envp.data());
      ::_exit(127);
    }
  }
  ~FlashProcess() {
    if (pid > 0 && code < 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  FlashProcess(const FlashProcess&) = delete;
  FlashProcess& operator=(const FlashProcess&) = delete;

  // True once the program has ended (its exit code in Code()), within `deadline`.
  bool Wait(std::chrono::milliseconds deadline = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (code < 0) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        code = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        break;
      }
      if (std::chrono::steady_clock::now() >= end) {
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  void Interrupt() const { ::kill(pid, SIGINT); }

  [[nodiscard]] int Code() const { return code; }
  [[nodiscard]] std::string Out() const { return Read(outPath); }
  [[nodiscard]] std::string Err() const { return Read(errPath); }

private:
  static std::string Read(const std::filesystem::path& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
  }

  std::filesystem::path outPath;
  std::filesystem::path errPath;
  pid_t pid = -1;
  int code = -1;
};

} // namespace flash::test
