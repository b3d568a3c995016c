// Loading a shared library at run time (dlopen/dlsym/dlclose).
//
// Before the loader sees a file it is checked to be an ELF shared object of
// this machine whose loadable segments lie inside the file: the loader maps
// segments without looking at the file size, and a truncated library would
// crash the program on first touch instead of failing to load.
//
// Failures never print anything: lastErrno() holds a number for messages
// (the errno of a file that cannot be read, ENOEXEC for a file that is no
// usable library) and lastError() the loader's own text.
#pragma once

#include <string>

class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary();  // closes an open library
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads the library at path with every symbol bound at once. An open
  // library is closed first.
  bool open(const std::string& path);
  // The address of an exported symbol, nullptr when the library has none.
  void* resolve(const char* name) const;
  // Unloads; false (library still open) when the loader refuses.
  bool close();

  bool isOpen() const { return handle_ != nullptr; }
  int lastErrno() const { return lastErrno_; }
  const std::string& lastError() const { return lastError_; }

 private:
  bool fail(int err, const std::string& text);

  void* handle_ = nullptr;
  int lastErrno_ = 0;
  std::string lastError_;
};

// Whether path holds an ELF shared object for this machine whose program
// headers and loadable segments lie inside the file. False with an errno
// value (ENOENT, EACCES, ... or ENOEXEC) and a text.
bool SharedLibrary_CheckFile(const std::string& path, int* err, std::string* why);
