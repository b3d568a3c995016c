// How firmware is written into each processor family the modules use: the
// flash block size (also the alignment of every block transfer), the highest
// address that belongs to program flash, how block addresses are given to
// the bootloader and whether the upload ends with the bootloader command key.
#pragma once

#include <cstdint>

struct FwUploadCpu {
  int cpuType = 0;           // processor type code of the module info reply
  int32_t blockSize = 0;     // bytes per flash block; block transfers start on its multiples
  uint32_t addressLimit = 0; // segments starting at or above are not uploaded
  int addressShift = 0;      // block address = byte address >> shift (word-addressed parts: 1)
  bool finalizeWithKey = false;
};

// The parameters of a processor type; nullptr for types the upload does not support.
const FwUploadCpu* FwUploadCpu_Find(int cpuType);

// The address a block transfer is started with for a byte address of the image.
uint32_t FwUploadCpu_BlockAddress(const FwUploadCpu& cpu, uint32_t byteAddress);
