#include "platform/Editor.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace {

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// The program's file: a name with a "/" as it is, otherwise searched in PATH.
// The search is done here, before fork(): the child may only exec.
std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path && *path ? path : "/usr/local/bin:/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

void WriteError(int fd, int err) { [[maybe_unused]] ssize_t n = ::write(fd, &err, sizeof err); }

}  // namespace

std::vector<std::string> Editor_Command(const std::string& path) {
  std::vector<std::string> command;
  for (const char* variable : {"VISUAL", "EDITOR"}) {
    const char* value = std::getenv(variable);
    if (value) command = Words(value);
    if (!command.empty()) break;
  }
  if (command.empty()) command.push_back("xdg-open");
  command.push_back(path);
  return command;
}

int Editor_Open(const std::string& path) {
  std::vector<std::string> command = Editor_Command(path);
  const std::string program = FindProgram(command[0]);
  if (program.empty()) return ENOENT;
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);

  // The grandchild runs the editor; the child only forks it and ends, so the
  // editor belongs to init. A failed exec sends its errno through the pipe;
  // a successful one closes the pipe.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return errno;
  const pid_t child = ::fork();
  if (child < 0) {
    const int err = errno;
    ::close(report[0]);
    ::close(report[1]);
    return err;
  }
  if (child == 0) {
    const pid_t editor = ::fork();
    if (editor == 0) {
      ::execv(program.c_str(), argv.data());
      WriteError(report[1], errno);
      ::_exit(127);
    }
    if (editor < 0) WriteError(report[1], errno);
    ::_exit(0);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t n;
  while ((n = ::read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  return n == ssize_t(sizeof err) ? err : 0;
}
