// The program's state: one Session object, built by main() (and afresh for
// every test), owns the state of every subsystem. Each subsystem keeps its
// state in a part, a class of its own that the session makes on first use
// and destroys with itself, newest first:
//
//   struct ScanState { ... };                      // in the subsystem's .cpp
//   ScanState& s = Session_Part<ScanState>();     // the current session's
//
// The program's free functions (Option_GetInt, OpenInterface, ...) are thin
// facades over the parts of the current session. Everything runs on the GUI
// thread; the session is not meant to be shared between threads.
#pragma once

#include <memory>
#include <vector>

class Session {
 public:
  // Becomes the current session until it is destroyed.
  Session();
  // Destroys the parts newest first, then makes the previous session current.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The part of type Part, made (default-constructed) on first use.
  template <class Part>
  Part& part() {
    const void* key = &kKey<Part>;
    for (const Entry& e : parts_)
      if (e.key == key) return *static_cast<Part*>(e.raw);
    // The constructor may make the parts it needs first: they are older and
    // outlive it.
    auto made = std::make_shared<Part>();
    Part* raw = made.get();
    parts_.push_back(Entry{key, raw, std::move(made)});
    return *raw;
  }

  // True when a part of that type exists already.
  template <class Part>
  bool has() const {
    for (const Entry& e : parts_)
      if (e.key == &kKey<Part>) return true;
    return false;
  }

  // The session the program (or the running test) works in. There is always
  // one while the program runs; calling this without one is a programming
  // error that stops the program with a message.
  static Session& current();
  static bool exists();

 private:
  template <class Part>
  static constexpr char kKey = 0;  // its address names the part type

  struct Entry {
    const void* key;
    void* raw;  // stays findable while its destructor runs
    std::shared_ptr<void> owner;
  };
  std::vector<Entry> parts_;
  Session* previous_;
};

// The current session's part of type Part.
template <class Part>
Part& Session_Part() {
  return Session::current().part<Part>();
}
