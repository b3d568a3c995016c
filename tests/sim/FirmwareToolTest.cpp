// "kvxsim make-firmware": the files it writes are Intel HEX that the program
// reads, laid out for the CPU, with the info table the bootloader finds.
#include <gtest/gtest.h>

#include <vector>

#include "firmware/FirmwareTool.h"
#include "firmware/HexFile.h"
#include "module/Bootloader.h"
#include "protocol/WireConstants.h"
#include "support/TestEnvironment.h"

namespace {

int RunTool(std::vector<const char*> args) { return FirmwareTool_Main(int(args.size()), args.data()); }

// The file as the program reads it, loaded into a bootloader's flash.
BootFirmwareInfo LoadedInfo(const std::string& path, uint8_t cpu, uint32_t& address, size_t& size) {
  HexSegmentList image;
  EXPECT_EQ(HexFile_Read(image.out(), path), 0) << HexFile_GetErrorText();
  const HexSegment* s = image.head();
  if (!s) return {};
  EXPECT_EQ(s->next, nullptr);  // one contiguous block
  address = s->address;
  size = size_t(s->length);
  Bootloader boot(cpu);
  boot.loadFlash(s->address, std::vector<uint8_t>(s->data, s->data + s->length));
  return boot.firmwareInfo();
}

TEST(FirmwareTool, WritesWordDataForDsPicAtTheFirmwareStart) {
  TempFolder dir;
  std::string path = dir.file("dspic.hex");
  ASSERT_EQ(RunTool({"--cpu", "dsPIC33F", "--type", "272", "--hw", "2", "--version", "1.13", "--size", "1000",
                 path.c_str()}),
            0);
  uint32_t address = 0;
  size_t size = 0;
  BootFirmwareInfo info = LoadedInfo(path, Wire::VORN_CPU_DSPIC33F, address, size);
  EXPECT_EQ(address, 0x800u);  // word address 0x400
  EXPECT_EQ(size, 2000u);
  EXPECT_TRUE(info.found);
  EXPECT_EQ(info.infoType, 1);
  EXPECT_EQ(info.moduleType, 272);
  EXPECT_EQ(info.hardwareVersion, 2);
  EXPECT_EQ(info.softwareMajor, 1);
  EXPECT_EQ(info.softwareMinor, 13);
}

TEST(FirmwareTool, WritesByteDataAndBootloaderImagesOnRequest) {
  TempFolder dir;
  std::string path = dir.file("boot.hex");
  ASSERT_EQ(RunTool({"--cpu", "SAMC21", "--address", "0x2000", "--info-type", "0", "--version", "1.3",
                 "--record-length", "32", path.c_str()}),
            0);
  uint32_t address = 0;
  size_t size = 0;
  BootFirmwareInfo info = LoadedInfo(path, Wire::VORN_CPU_SAMC21, address, size);
  EXPECT_EQ(address, 0x2000u);
  EXPECT_EQ(size, 4096u);
  EXPECT_EQ(info.infoType, 0);
  EXPECT_EQ(info.moduleType, -1);  // not asked for, not written
  EXPECT_NE(ReadWholeFile(path).find(":20"), std::string::npos);  // 32-byte records

  ASSERT_EQ(RunTool({"--no-info", path.c_str()}), 0);
  EXPECT_FALSE(LoadedInfo(path, Wire::VORN_CPU_SAMC21, address, size).found);
}

TEST(FirmwareTool, RefusesBadArguments) {
  FirmwareToolRequest r;
  std::string error;
  const std::vector<std::vector<const char*>> bad = {
      {},  // no output file
      {"--cpu", "Z80", "x.hex"},
      {"--version", "7", "x.hex"},
      {"--version", "1.300", "x.hex"},
      {"--type", "70000", "x.hex"},
      {"--record-length", "0", "x.hex"},
      {"--size"},
      {"--bogus", "x.hex"},
      {"a.hex", "b.hex"},
  };
  for (const auto& args : bad) {
    error.clear();
    EXPECT_FALSE(FirmwareTool_Parse(int(args.size()), args.data(), r, error)) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(error.empty());
  }
  EXPECT_EQ(RunTool({"--cpu", "Z80", "x.hex"}), 2);
}

}  // namespace
