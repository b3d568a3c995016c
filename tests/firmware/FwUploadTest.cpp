// The upload engine against a simulated module's bootloader over the
// Ethernet master: the frames on the wire, what ends up in flash, the
// module's firmware status and the failure texts.
#include <gtest/gtest.h>

#include "core/ErrorReport.h"
#include "firmware/UploadTestSupport.h"
#include "protocol/WireConstants.h"

namespace {

using Bytes = std::vector<uint8_t>;

class EngineTest : public UploadTest {};

TEST_F(EngineTest, Pic18ImageOf256BytesGoesInFourBlocksOfNineFramesAndOneByte) {
  for (int sync : {1, 0}) {
    addModule(Wire::VORN_CPU_PIC18F);
    sim.clearTraffic();
    rec.infoValid = 0;
    Option_SetInt("PROGRAM_SEND_SYNC", sync);
    Bytes image = FwImage_Pattern(256, 3);
    std::string file = writeHex(HexImageBuilder().add(0, image));

    ASSERT_EQ(upload(file), 1) << FwUpload_GetMessage();
    EXPECT_STREQ(FwUpload_GetMessage(), "");
    EXPECT_EQ(FwUpload_GetProgress().sent, 256);
    EXPECT_EQ(FwUpload_GetProgress().total, 256);

    const uint8_t start = sync ? 0x5B : 0x1B, data = sync ? 0x61 : 0x21;
    Bytes expect = {0x85, 0x45, start, data, 0xA3};
    expect.insert(expect.end(), 8, data);
    expect.push_back(0xA2);
    for (int block = 1; block < 4; ++block) {
      expect.insert(expect.end(), 9, data);
      expect.push_back(0xA2);
    }
    expect.insert(expect.end(), {0x66, 0x45});  // no command key for a PIC18F
    std::vector<SimFrame> frames = sentToModule();
    ASSERT_EQ(commandBytes(frames), expect) << "sync " << sync;
    EXPECT_EQ(frames[1], SimFrame(kId, 0, {0x45, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(startAddress(frames[2]), 0u);
    EXPECT_EQ(frames[13].data[1], 1);  // one byte completes the first block
    EXPECT_EQ(frames[13].data[2], image[63]);
    EXPECT_EQ(frames.back(), SimFrame(kId, 0, {0x45, 0, 0, 0, 0, 0, 0, 1}));

    EXPECT_EQ(flash(0, 256), image);
    EXPECT_TRUE(moduleConfig().firmwarePresent);
    EXPECT_EQ(rec.infoValid, 0u);  // every view re-reads the versions
    sim.removeModule(module);
  }
}

TEST_F(EngineTest, ProgrammingDateIsThePcsLocalTime) {
  addModule(Wire::VORN_CPU_PIC18F);
  LocalTime t;
  t.year = 2031, t.month = 7, t.day = 4, t.hour = 13, t.minute = 5, t.second = 59;
  clock.setLocal(t);
  ASSERT_EQ(upload(writeHex(HexImageBuilder().addPattern(0x40, 20, 1))), 1);
  std::vector<SimFrame> frames = sentToModule();
  EXPECT_EQ(frames[frames.size() - 2], SimFrame(kId, 0, {0x66, 20, 31, 7, 4, 13, 5, 59}));
  EXPECT_EQ(moduleConfig().programmingDate, SimDate::make(2031, 7, 4, 13, 5, 59));
}

TEST_F(EngineTest, Samc21SegmentOffTheBlockStartIsFilledFromTheModule) {
  addModule(Wire::VORN_CPU_SAMC21);  // checks the byte sum
  Bytes before = FwImage_Pattern(16, 77);
  onBoot([&](Bootloader& b) { b.loadFlash(0x1000, before); });
  Bytes image = FwImage_Pattern(100, 5);
  ASSERT_EQ(upload(writeHex(HexImageBuilder().add(0x1010, image))), 1) << FwUpload_GetMessage();

  std::vector<SimFrame> frames = sentToModule();
  Bytes expect = {0x85, 0x45, 0x5B, 0xA1, 0xA1, 0xA1, 0x5B, 0x61, 0xA3};
  expect.insert(expect.end(), 15, 0x61);
  expect.insert(expect.end(), {0xA2, 0x66, 0x45});
  ASSERT_EQ(commandBytes(frames), expect);
  EXPECT_EQ(startAddress(frames[2]), 0x1000u);
  EXPECT_EQ(startAddress(frames[6]), 0x1000u);
  EXPECT_EQ(frames[7].data[1], before[0]);  // the read-back bytes lead the first frame
  EXPECT_EQ(frames[24].data[1], 4);        // 116 = 16 x 7 + 4
  EXPECT_EQ(FwUpload_GetProgress().total, 116);
  EXPECT_EQ(FwUpload_GetProgress().sent, 116);
  EXPECT_EQ(flash(0x1000, 16), before);
  EXPECT_EQ(flash(0x1010, 100), image);
}

TEST_F(EngineTest, DsPicGetsHalvedBlockAddressesAndTheCommandKey) {
  for (uint8_t cpu : {Wire::VORN_CPU_DSPIC33F, Wire::VORN_CPU_DSPIC30F}) {
    addModule(cpu);
    sim.clearTraffic();
    rec.infoValid = 0;
    FwImageLayout layout;
    layout.address = 0x4000;
    layout.codeBytes = 1500;
    layout.wordData = true;
    layout.info.moduleType = 0x110;
    layout.info.softwareMajor = 3;
    layout.info.softwareMinor = 9;
    HexImageBuilder image;
    image.addFirmware(layout);
    ASSERT_EQ(upload(writeHex(image)), 1) << FwUpload_GetMessage();

    std::vector<SimFrame> frames = sentToModule();
    ASSERT_GE(frames.size(), 6u);
    EXPECT_EQ(frames[2].data[0], 0x5B);
    EXPECT_EQ(startAddress(frames[2]), 0x2000u) << int(cpu);
    const uint8_t* k = Wire::VORN_BOOT_KEY;
    EXPECT_EQ(frames[frames.size() - 2], SimFrame(kId, 0, {0xAC, k[0], k[1], k[2], k[3]}));
    EXPECT_EQ(frames[frames.size() - 3].data[0], 0x66);
    EXPECT_EQ(flash(0x4000, 3000), image.blocks()[0].bytes);
    // The bootloader accepted the key, so the firmware is valid with its version.
    SimModuleConfig c = moduleConfig();
    EXPECT_TRUE(c.firmwarePresent);
    EXPECT_EQ(c.fwMajor, 3);
    EXPECT_EQ(c.fwMinor, 9);
    sim.removeModule(module);
  }
}

TEST_F(EngineTest, SegmentsAtOrAboveTheAddressLimitAreNeitherSentNorCounted) {
  addModule(Wire::VORN_CPU_PIC18F);
  HexImageBuilder image;
  image.addPattern(0x300000, 14, 1);  // configuration bits
  image.addPattern(0x80, 64, 2);
  image.addPattern(0x20000, 8, 3);    // exactly at the limit
  ASSERT_EQ(upload(writeHex(image)), 1) << FwUpload_GetMessage();
  EXPECT_EQ(FwUpload_GetProgress().total, 64);
  int starts = 0;
  for (const SimFrame& f : sentToModule()) {
    if (f.data[0] != 0x5B) continue;
    ++starts;
    EXPECT_EQ(startAddress(f), 0x80u);
  }
  EXPECT_EQ(starts, 1);
}

TEST_F(EngineTest, SegmentOfAMultipleOfSevenEndsWithAnEmptyEndOfBlockFrame) {
  addModule(Wire::VORN_CPU_PIC18F);
  Bytes image = FwImage_Pattern(14, 9);
  ASSERT_EQ(upload(writeHex(HexImageBuilder().add(0x40, image))), 1) << FwUpload_GetMessage();
  std::vector<SimFrame> frames = sentToModule();
  ASSERT_EQ(commandBytes(frames), (Bytes{0x85, 0x45, 0x5B, 0x61, 0xA3, 0x61, 0xA2, 0x66, 0x45}));
  EXPECT_EQ(frames[6], SimFrame(kId, 0, {0xA2, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(flash(0x40, 14), image);
}

TEST_F(EngineTest, UnsupportedProcessorsAreRefusedBeforeAnythingIsWritten) {
  const struct {
    uint8_t cpu;
    const char* text;
  } cases[] = {{Wire::VORN_CPU_AT8051, "Unsupported CPU AT8051"}, {9, "Unsupported CPU (#9)"}};
  std::string file = writeHex(HexImageBuilder().addPattern(0x2000, 64, 1));
  for (const auto& c : cases) {
    addModule(c.cpu);
    sim.clearTraffic();
    rec.infoValid = 0;
    EXPECT_EQ(FwUpload_Step(rec, file.c_str()), 0);  // the failure shows at the next step
    EXPECT_EQ(FwUpload_GetState(), FWUPLOAD_FAILED);
    EXPECT_EQ(FwUpload_Step(rec), -1);
    EXPECT_STREQ(FwUpload_GetMessage(), c.text);
    EXPECT_EQ(commandBytes(sentToModule()), Bytes{0x85});
    EXPECT_EQ(rec.infoValid, 1u);
    sim.removeModule(module);
  }
}

TEST_F(EngineTest, NothingToUploadIsRefusedBeforeTheFirmwareIsInvalidated) {
  addModule(Wire::VORN_CPU_PIC18F);
  std::string file = writeHex(HexImageBuilder().addPattern(0x300000, 14, 1));
  EXPECT_EQ(upload(file), -1);
  EXPECT_STREQ(FwUpload_GetMessage(), "Hex file holds no data below address 0x20000");
  EXPECT_EQ(commandBytes(sentToModule()), Bytes{0x85});
  EXPECT_TRUE(moduleConfig().firmwarePresent);
}

TEST_F(EngineTest, FileAndModuleFailuresNameTheirCause) {
  EXPECT_EQ(upload(home.file("missing.hex")), -1);
  EXPECT_EQ(std::string(FwUpload_GetMessage()),
            "Hex file read error:\nCan't read file, file '" + home.file("missing.hex") + "'");

  // Nobody at the node: the protocol layer reports the time-out first.
  std::string file = writeHex(HexImageBuilder().addPattern(0x2000, 64, 1));
  EXPECT_EQ(upload(file), -1);
  EXPECT_STREQ(FwUpload_GetMessage(), "Cannot determine module CPU type");
  EXPECT_NE(GetStatusText().find("Module timeout"), std::string::npos);

  // A module running its firmware does not take the invalidation.
  addModule(Wire::VORN_CPU_SAMC21);
  onModule([](SimModule& m) { m.setState(0x85); });
  EXPECT_EQ(upload(file), -1);
  EXPECT_STREQ(FwUpload_GetMessage(), "Cannot invalidate module firmware status");
}

TEST_F(EngineTest, BootloaderErrorsEndTheUploadWithTheModulesMessage) {
  addModule(Wire::VORN_CPU_DSPIC33F);
  // Below the firmware start: refused at the status after the first frame.
  EXPECT_EQ(upload(writeHex(HexImageBuilder().addPattern(0, 64, 1))), -1);
  EXPECT_STREQ(FwUpload_GetMessage(),
               "Upload error #1, transmission terminated.\nModule message: Invalid Code Start Address (#4)");
  sim.removeModule(module);

  // Past the end of flash: the second block fails at its end-of-block frame.
  addModule(Wire::VORN_CPU_PIC18F);
  EXPECT_EQ(upload(writeHex(HexImageBuilder().addPattern(0x1FFC0, 128, 1))), -1);
  EXPECT_STREQ(FwUpload_GetMessage(),
               "Upload error #2, transmission terminated.\nModule message: Address overflow (#5)");
  EXPECT_FALSE(moduleConfig().firmwarePresent);  // left invalid
}

TEST_F(EngineTest, LostAsynchronousFramesAreCaughtByTheCountAndSynchronousModeGetsThrough) {
  addModule(Wire::VORN_CPU_PIC18F);
  onBoot([](Bootloader& b) { b.faults().loseAsyncDataEvery = 5; });
  std::string file = writeHex(HexImageBuilder().addPattern(0, 256, 4));
  Option_SetInt("PROGRAM_SEND_SYNC", 0);
  EXPECT_EQ(upload(file), -1);
  EXPECT_STREQ(FwUpload_GetMessage(), "Upload checksum error #2\n(try synchronous mode)");

  Option_SetInt("PROGRAM_SEND_SYNC", 1);
  EXPECT_EQ(upload(file), 1) << FwUpload_GetMessage();
}

TEST_F(EngineTest, ChecksumMismatchAtTheFirstStatusIsReported) {
  addModule(Wire::VORN_CPU_SAMC21);
  onBoot([](Bootloader& b) { b.faults().wrongCheckValues = 1; });
  EXPECT_EQ(upload(writeHex(HexImageBuilder().addPattern(0x2000, 300, 4))), -1);
  EXPECT_STREQ(FwUpload_GetMessage(), "Upload checksum error #1\n(try synchronous mode)");
}

TEST_F(EngineTest, AFreshStartForgetsTheLastFailure) {
  addModule(Wire::VORN_CPU_PIC18F);
  EXPECT_EQ(upload(home.file("missing.hex")), -1);
  FwUpload_Step(rec, writeHex(HexImageBuilder().addPattern(0x40, 30, 1)).c_str());
  EXPECT_STREQ(FwUpload_GetMessage(), "");
  EXPECT_EQ(FwUpload_GetState(), FWUPLOAD_BLOCK_INIT);
  EXPECT_EQ(FwUpload_GetProgress().sent, 0);
  EXPECT_EQ(FwUpload_GetProgress().total, 30);
}

TEST(FwUploadPacing, PeriodAndStepsPerTickFollowTheInterval) {
  const struct {
    double interval;
    int period, steps;
  } cases[] = {
      {2.5, 10, 4}, {0.05, 10, 100}, {0.1, 10, 100}, {0.2, 10, 50}, {3, 10, 3},
      {9.99, 10, 1}, {10, 10, 1},    {25.7, 25, 1},  {0, 10, 100},  {-1, 10, 100},
  };
  for (const auto& c : cases) {
    FwUploadPacing p = FwUpload_Pacing(c.interval);
    EXPECT_EQ(p.periodMs, c.period) << c.interval;
    EXPECT_EQ(p.stepsPerTick, c.steps) << c.interval;
  }
}

TEST(FwUploadPacing, NextTickIsDueAPeriodAfterTheTickStarted) {
  ManualClock clock(5000);
  Clock_Install(&clock);
  const FwUploadPacing p{10, 4};
  EXPECT_EQ(FwUpload_NextTickDelayMs(p, 5000), 10);
  clock.advance(3);  // the tick's requests took 3 ms
  EXPECT_EQ(FwUpload_NextTickDelayMs(p, 5000), 7);
  clock.advance(20);  // a tick longer than the period: the next one at once
  EXPECT_EQ(FwUpload_NextTickDelayMs(p, 5000), 0);
}

}  // namespace
