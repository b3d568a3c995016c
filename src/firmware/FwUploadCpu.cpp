#include "firmware/FwUploadCpu.h"

namespace {

// The dsPIC families address their flash in 16-bit units: the image's byte
// addresses are halved for the bootloader, and their uploads are completed
// with the command key. The AT8051 bootloader takes no uploads.
const FwUploadCpu kCpus[] = {
    {1, 64, 0x20000, 0, false},    // PIC18F
    {2, 128, 0x80000, 1, true},    // dsPIC30F
    {4, 2048, 0x80000, 1, true},   // dsPIC33F
    {6, 256, 0x40000, 0, false},   // SAMC21
};

}  // namespace

const FwUploadCpu* FwUploadCpu_Find(int cpuType) {
  for (const FwUploadCpu& cpu : kCpus)
    if (cpu.cpuType == cpuType) return &cpu;
  return nullptr;
}

uint32_t FwUploadCpu_BlockAddress(const FwUploadCpu& cpu, uint32_t byteAddress) {
  return byteAddress >> cpu.addressShift;
}
