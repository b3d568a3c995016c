// The logger's text file: a header naming the interface and the start time,
// one line per logged frame or event, a footer with the stop time. Lines are
// collected in a large buffer and reach the disk when it fills and on flush.
#pragma once

#include <cstdio>
#include <string>

class LogFile {
 public:
  LogFile() = default;
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Creates (truncates) the file and writes the header. False when the file
  // cannot be created; no file is open then.
  bool open(const std::string& path, const std::string& interfaceName,
            const std::string& interfaceDescription, const std::string& startedOn);
  // Writes the footer and closes. False when something could not be written.
  bool close(const std::string& stoppedOn);
  bool isOpen() const { return file_ != nullptr; }
  const std::string& path() const { return path_; }

  // Appends text (one or more complete lines).
  void write(const std::string& text);
  // Hands everything written so far to the system. False after a write error.
  bool flush();
  // A write failed since the file was opened (disk full, file system gone).
  bool failed() const { return failed_; }

 private:
  void spill();

  std::FILE* file_ = nullptr;
  std::string path_;
  std::string pending_;
  bool failed_ = false;
};
