// Reading a module's channel description from simulated modules: the
// requests on the wire, the record it fills and the limits it keeps.
#include <gtest/gtest.h>

#include "io/ChanInfo.h"
#include "io/SimIoFixture.h"

namespace {

constexpr uint16_t kVoltage[] = {0x0100, 0x0104, 0x0105};

class ChanInfoRead : public SimIoTest {
 protected:
  // The object read requests of the program, as "index.subindex".
  std::vector<std::string> objectReads(int node) {
    std::vector<std::string> out;
    for (const SimFrame& f : framesTo(node)) {
      if (f.data[0] != 0xB4) continue;
      char text[16];
      std::snprintf(text, sizeof text, "%04X.%d", f.data[1] << 8 | f.data[2], f.data[3]);
      out.push_back(text);
    }
    return out;
  }
};

TEST_F(ChanInfoRead, AnalogInputsShareOneListPerTypeAndReadInOrder) {
  SimModuleId id = addModule(3, 18, [](SimModuleConfig& c) {
    SimChannelGroup volts = Group(SimIoGroup::AnalogIn, 1, {std::begin(kVoltage), std::end(kVoltage)}, 8, 0x6401, 1);
    volts.aligned = true;
    SimIo_AddChannels(c, volts);
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 5, {0x0500, 0x0502}, 2, 0x6402, 1));
  });
  ChanInfo info;
  info.currentChannel = 7;
  ChanInfo_GetChannelInfo(record(id), info, CHANINFO_ANALOG_IN);

  ASSERT_EQ(info.channelCount, 10);
  EXPECT_EQ(info.currentChannel, 0);
  EXPECT_EQ(info.configSelectIndex, 0x3010u);
  ASSERT_EQ(info.configListCount, 2);
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    const ChanEntry& ch = info.channels[i];
    EXPECT_EQ(ch.valueIndex, 0x6401u);
    EXPECT_EQ(ch.valueSubindex, uint32_t(i + 1));
    EXPECT_EQ(ch.typeIndex, 0x3101u);
    EXPECT_EQ(ch.configList, 0);  // eight channels, one list
    EXPECT_EQ(ch.configOriginal, 1);
    EXPECT_EQ(ch.configInUse, 1);
    EXPECT_EQ(ch.aligned, 1);
  }
  EXPECT_EQ(info.channels[9].typeIndex, 0x3105u);
  EXPECT_EQ(info.channels[9].configList, 1);
  EXPECT_EQ(info.configLists[0].count, 3);
  EXPECT_EQ(info.configLists[0].codes[2], 0x0105);
  EXPECT_EQ(info.configLists[1].codes[1], 0x0502);
  EXPECT_EQ(ChanInfo_ActiveCode(info, 0), 0x0104);

  // 2 + 3 per channel, then 1 + n per type; each type entry read once.
  const std::vector<std::string> reads = objectReads(3);
  ASSERT_EQ(reads.size(), 2u + 3 * 10 + (1 + 3) + (1 + 2));
  EXPECT_EQ(std::vector<std::string>(reads.begin(), reads.begin() + 5),
            (std::vector<std::string>{"3002.0", "3000.0", "3000.1", "3010.1", "2190.1"}));
  EXPECT_EQ(std::vector<std::string>(reads.end() - 7, reads.end()),
            (std::vector<std::string>{"3101.0", "3101.1", "3101.2", "3101.3", "3105.0", "3105.1", "3105.2"}));
}

TEST_F(ChanInfoRead, DigitalOutputsReadNoConfigurationSelectionOrAlignment) {
  SimModuleId id = addModule(4, 16, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::DigitalOut, 0x1E, {0x1E07}, 2, 0x6200));
  });
  ChanInfo info;
  info.configSelectIndex = 0x3010;  // left over from an analog page
  ChanInfo_GetChannelInfo(record(id), info, CHANINFO_DIGITAL_OUT);
  ASSERT_EQ(info.channelCount, 2);
  EXPECT_EQ(info.configSelectIndex, 0u);
  EXPECT_EQ(info.channels[1].valueSubindex, 2u);
  EXPECT_EQ(info.channels[1].configInUse, 0);
  EXPECT_EQ(info.channels[1].aligned, 0);
  EXPECT_EQ(ChanInfo_ActiveCode(info, 1), 0x1E07);
  EXPECT_EQ(objectReads(4), (std::vector<std::string>{"3005.0", "3005.1", "3005.2", "311E.0", "311E.1"}));
}

TEST_F(ChanInfoRead, FortyChannelsAreCutToThirtyTwoWithAMessageBox) {
  SimModuleId id = addModule(5, 10, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::DigitalIn, 0x1E, {0x1E00}, 40, 0x6000));
  });
  ui.expectMessage("Module has 40 I/O channels, but I can handle only max. 32", UiAnswer::Ok);
  ChanInfo info;
  ChanInfo_GetChannelInfo(record(id), info, CHANINFO_DIGITAL_IN);
  EXPECT_EQ(info.channelCount, 32);
  EXPECT_EQ(info.channels[31].valueSubindex, 32u);
  const std::vector<std::string> reads = objectReads(5);
  EXPECT_EQ(reads.size(), 1u + 32 + 2);
  EXPECT_EQ(std::count(reads.begin(), reads.end(), "3004.33"), 0);
}

TEST_F(ChanInfoRead, ASeventeenthTypeEndsTheReadAndLeavesTheRecordAsItWas) {
  SimModuleId id = addModule(6, 29, [](SimModuleConfig& c) {
    for (int t = 1; t <= 17; ++t) {
      SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, t, {0x0100}, 1, 0x6401));
    }
  });
  ChanInfo info;
  info.channelCount = 0;
  info.configListCount = 3;
  ChanInfo_GetChannelInfo(record(id), info, CHANINFO_ANALOG_IN);
  EXPECT_EQ(info.channelCount, 0);
  EXPECT_EQ(info.configListCount, 3);
  EXPECT_NE(GetStatusText().find("More than 16 configurations per channel not supported."), std::string::npos)
      << GetStatusText();
  // The 17th type entry's count was read; nothing after it.
  EXPECT_EQ(objectReads(6).back(), "3111.0");
}

TEST_F(ChanInfoRead, AlignmentFlagCountsOnlyWhileTheEntryIsAvailable) {
  SimModuleId id = addModule(7, 32, [](SimModuleConfig& c) {
    SimChannelGroup g = Group(SimIoGroup::AnalogIn, 1, {0x0104}, 2, 0x6401);
    g.aligned = true;
    SimIo_AddChannels(c, g);
  });
  // Channel 0's flag entry answers "not available" (bit 7) with a value of 1 all the same.
  wrapHandler(id, 52, [](SimModule& m, const ModuleRequest& rq, const SimModule::Handler& h) {
    const uint8_t* d = rq.frame.data;
    if (rq.wantsReply && d[1] == 0x21 && d[2] == 0x90 && d[3] == 1) {
      m.reply(rq, {0x80, 0, 0, 1, 0, 0, 0});
      return;
    }
    h(m, rq);
  });
  ChanInfo info;
  ChanInfo_GetChannelInfo(record(id), info, CHANINFO_ANALOG_IN);
  ASSERT_EQ(info.channelCount, 2);
  EXPECT_EQ(info.channels[0].aligned, 0);
  EXPECT_EQ(info.channels[1].aligned, 1);
}

TEST_F(ChanInfoRead, TypeEntriesAreCutToSixteenConfigurations) {
  std::vector<uint16_t> twenty;
  for (int i = 0; i < 20; ++i) twenty.push_back(uint16_t(0x1E00 + (i % 16)));
  SimModuleId id = addModule(8, 13, [&](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::DigitalOut, 0x1E, twenty, 1, 0x6200));
  });
  ChanInfo info;
  ChanInfo_GetChannelInfo(record(id), info, CHANINFO_DIGITAL_OUT);
  ASSERT_EQ(info.configListCount, 1);
  EXPECT_EQ(info.configLists[0].count, 16);
  EXPECT_EQ(objectReads(8).back(), "311E.16");
}

TEST_F(ChanInfoRead, AFailedRequestLeavesTheCallersChannelCount) {
  SimModuleId id = addModule(9, 18, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 1, {0x0100}, 4, 0x6401));
  });
  goSilentAfter(id, 5);
  ChanInfo info;
  ChanInfo_GetChannelInfo(record(id), info, CHANINFO_ANALOG_IN);
  EXPECT_EQ(info.channelCount, 0);
  waitForFramesTo(9, 6);  // the unanswered one may still be on its way in
  EXPECT_EQ(objectReads(9).size(), 6u);  // the sixth was not answered: nothing after it
  EXPECT_NE(GetStatusText().find("Module timeout"), std::string::npos) << GetStatusText();
}

TEST_F(ChanInfoRead, WrongInfoTypeIsReportedWithoutARequest) {
  SimModuleId id = addModule(10, 18, [](SimModuleConfig&) {});
  ChanInfo info;
  ChanInfo_GetChannelInfo(record(id), info, 5);
  EXPECT_NE(GetStatusText().find("Wrong parameter infoType = 5 in ChanInfo_GetChannelInfo()"), std::string::npos);
  EXPECT_TRUE(framesTo(10).empty());
  EXPECT_EQ(info.channelCount, 0);
}

TEST_F(ChanInfoRead, AModuleWithoutTheGroupHasNoChannels) {
  SimModuleId id = addModule(11, 16, [](SimModuleConfig&) {});
  ChanInfo info;
  ChanInfo_GetChannelInfo(record(id), info, CHANINFO_ANALOG_OUT);
  EXPECT_EQ(info.channelCount, 0);
  EXPECT_EQ(info.configListCount, 0);
  EXPECT_EQ(objectReads(11), (std::vector<std::string>{"3003.0", "3001.0"}));
}

}  // namespace
