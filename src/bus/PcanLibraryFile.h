// The adapter library file the program carries and writes before loading it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The carried copy of the project's adapter library (made at build time).
extern const unsigned char kPcanLibraryImage[];
extern const size_t kPcanLibraryImageSize;

// Puts image at path. A regular file of ours that already holds exactly these
// bytes is reused (readable and writable by the user only afterwards);
// anything else there - another size, the same size with other bytes, a
// symbolic link - is replaced: the bytes go in pieces of at most 1024 to a
// new file of mode 0600 in the same folder, which is then renamed over path,
// so a copy another program has loaded stays intact.
// Results: 0 placed, -1 cannot create the file, -2 a piece was written short,
// -3 closing or renaming the written file failed. *written tells whether it
// wrote.
int PcanLibraryFile_Place(const std::string& path, const unsigned char* image, size_t size,
                          bool* written = nullptr);
