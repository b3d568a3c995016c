// Replacing a file as a whole: the new contents go to a temporary file in the
// same folder, which is then renamed over the old one. A crash or a full disk
// during the write leaves the old file untouched.
#pragma once

#include <string>

// True when path holds exactly bytes afterwards. On failure the old file (if
// any) is unchanged and no temporary file is left behind. A symbolic link is
// followed: its target is replaced, the link stays. The permissions of an
// existing file are kept; a new file gets the usual ones (0666 less umask).
// A file marked read-only, a folder or a device is never written. When the
// folder takes no new file (a read-only home folder) an existing writable
// file is overwritten where it is instead; a write that fails part way then
// puts the old contents back, but a crash in the middle may leave it mixed.
// Temporary files that a crashed save left beside the file are removed.
bool AtomicFile_Write(const std::string& path, const std::string& bytes);
