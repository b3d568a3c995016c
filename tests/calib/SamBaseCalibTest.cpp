// SAM base calibration against a scripted SAMC21 module and reference source,
// both behind the CAN adapter: the frames of the base calibration command and
// of the reference source, the records, the automatic calibration with its
// question, range checks and failures.
#include <gtest/gtest.h>

#include <cstring>

#include "bus/Interface.h"
#include "calib/SamBaseCalib.h"
#include "calib/SamBaseCalibPanel.h"
#include "core/Options.h"
#include "platform/Clock.h"
#include "protocol/ModuleList.h"
#include "support/ScriptedLink.h"

namespace {

constexpr int kNode = 5;
constexpr uint32_t kModuleId = 0x680 + kNode;

// A SAMC21 module with two converters on the adapter's bus, and the
// reference source on node 124 whose output its inputs measure.
struct ScriptedSamModule {
  uint16_t mask[2] = {0x0007, 0x0000};
  uint8_t status[2] = {0, 0};
  int16_t pair[2][4] = {};  // low actual, low wanted, high actual, high wanted
  int16_t clipping[2] = {};
  uint8_t modeBits = 0x10;  // voltage inputs
  float reference[2] = {0.5f, 9.5f};
  uint16_t digits[2] = {1000, 3000};
  int source = 3;           // what the reference source puts out
  int error = 0;            // added to the low and high readings
  std::vector<CanMsg> sourceFrames;
  std::vector<std::vector<int>> moduleFrames;

  int actual() const {
    if (source == 1) return digits[0] + error;
    if (source == 2) return digits[1] + error;
    return 7;
  }

  void onFrame(const CanMsg& m, ScriptedLink& link) {
    if (m.id == 0x67C) {
      sourceFrames.push_back(m);
      source = int(m.data[4]) - 0x80;
      return;
    }
    if (m.id != kModuleId) return;
    std::vector<int> bytes;
    for (uint32_t i = 0; i < m.len; ++i) bytes.push_back(int(m.data[i]));
    moduleFrames.push_back(bytes);
    const int adc = (m.data[1] & 0x80) ? 1 : 0;
    const int sub = int(m.data[1] & 0x7F);
    const int first = int(m.data[4] | m.data[5] << 8), second = int(m.data[6] | m.data[7] << 8);
    if (m.data[0] == 0x35) {
      switch (sub) {
        case 0: clipping[adc] = int16_t(first); break;
        case 1: pair[adc][0] = int16_t(first), pair[adc][1] = int16_t(second), status[adc] |= 1; break;
        case 2: pair[adc][2] = int16_t(first), pair[adc][3] = int16_t(second), status[adc] |= 2; break;
        case 3: status[adc] &= uint8_t(~3); break;
        case 4: if ((status[adc] & 3) == 3) status[adc] |= 4; break;
        case 5: status[adc] &= uint8_t(~4); break;
      }
      return;
    }
    if (m.data[0] != 0xB5) return;
    CanMsg r;
    r.id = kModuleId;
    r.len = 8;
    uint8_t b[8] = {0x35, status[adc], uint8_t(actual()), uint8_t(actual() >> 8), 0, 0, 0, 0};
    auto word = [&](int at, int v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); };
    switch (sub) {
      case 0: word(4, clipping[adc]); break;
      case 1: word(4, pair[adc][0]), word(6, pair[adc][1]); break;
      case 2: word(4, pair[adc][2]), word(6, pair[adc][3]); break;
      case 6: word(4, mask[adc]); break;
      case 7:
      case 8: {
        b[1] = uint8_t(status[adc] | modeBits);
        std::memcpy(&b[2], &reference[sub - 7], 4);
        word(6, digits[sub - 7]);
        break;
      }
    }
    for (int i = 0; i < 8; ++i) r.data[i] = b[i];
    link.incoming.push_back(r);
  }
};

class SamBaseCalibTest : public ScriptedUiTest {
 protected:
  void SetUp() override {
    ScriptedUiTest::SetUp();
    Clock_Install(&clock);
    Option_SetInt("ERRORS_IN_STATUSBAR", 0);
    link = ScriptedLink::InstallAs(kInterfacePcanUsb);
    link->onSend = [this](const CanMsg& m) { sam.onFrame(m, *link); };
    ASSERT_EQ(OpenInterface("PCAN USB"), 0);
    rec.node = kNode;
    rec.bus = 'c';
  }

  // Runs the automatic calibration of a converter tick by tick to its end.
  void autoCalibrate(SamBaseCalibPanel& panel, int adc) {
    panel.autoCalibrate(adc);
    for (int i = 0; i < 40 && panel.autoRunning(); ++i) panel.autoTick();
  }

  ManualClock clock;
  ScriptedLink* link = nullptr;
  ScriptedSamModule sam;
  ModuleRec rec;
};

TEST_F(SamBaseCalibTest, TheReferenceSourceFrameGoesStraightThroughTheAdapter) {
  ASSERT_EQ(SamBaseCalib_SendCalibrator(2), 1);
  ASSERT_EQ(sam.sourceFrames.size(), 1u);
  const CanMsg& f = sam.sourceFrames[0];
  EXPECT_EQ(f.id, 0x67Cu);
  EXPECT_EQ(f.len, 8u);
  const uint32_t expected[8] = {0x2F, 0x00, 0x32, 0x00, 0x82, 0x00, 0x00, 0x00};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(f.data[i], expected[i]) << i;

  // Through another interface the source cannot be reached.
  ScriptedLink::InstallAs(kInterfaceLin);
  ASSERT_EQ(OpenInterface("LIN Adapter"), 0);
  EXPECT_EQ(SamBaseCalib_SendCalibrator(3), 0);
  EXPECT_EQ(sam.sourceFrames.size(), 1u);
}

TEST_F(SamBaseCalibTest, OpeningReadsBothConvertersAndTheirValues) {
  sam.mask[1] = 0x0E00;
  ASSERT_TRUE(SamBaseCalib_Probe(rec));
  EXPECT_EQ(sam.moduleFrames[0], (std::vector<int>{0xB5, 0x06, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(sam.moduleFrames[1], (std::vector<int>{0xB5, 0x86, 0, 0, 0, 0, 0, 0}));
  SamBaseCalibPanel panel(rec);
  panel.initialise();
  EXPECT_EQ(sam.sourceFrames.size(), 1u) << "the source is switched off first";
  // The mask as known goes with every later read.
  EXPECT_EQ(sam.moduleFrames[2], (std::vector<int>{0xB5, 0x00, 0x07, 0x00, 0, 0, 0, 0}));
  EXPECT_EQ(sam.moduleFrames[7], (std::vector<int>{0xB5, 0x80, 0x00, 0x0E, 0, 0, 0, 0}));
  const SamAdcStatus& r = panel.status(0);
  EXPECT_EQ(r.inputMode, 1);
  EXPECT_FLOAT_EQ(r.highReference, 9.5f);
  EXPECT_EQ(r.highReferenceDigits, 3000);
  EXPECT_EQ(SamBaseCalib_InputsText(r), "0 1 2 ");
  EXPECT_EQ(SamBaseCalib_InputsText(panel.status(1)), "9 10 11 ");
  EXPECT_EQ(SamBaseCalib_ReferenceText(r, false), "0.5 Volt");
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(SamBaseCalibTest, ConvertersWithEmptyMasksCannotOpen) {
  sam.mask[0] = 0;
  ui.expectMessage("ADC0/ADC1 no base calibration support.", UiAnswer::Ok);
  EXPECT_FALSE(SamBaseCalib_Probe(rec));
}

TEST_F(SamBaseCalibTest, AutomaticCalibrationSetsBothPairsAndClipping) {
  ASSERT_TRUE(SamBaseCalib_Probe(rec));
  SamBaseCalibPanel panel(rec);
  panel.initialise();
  sam.error = 25;
  sam.sourceFrames.clear();
  ui.expectMessage("Connect the VAR Eriz Ivirizaruz and\nconfigure analog inputs to 0-10 V range.", UiAnswer::Ok);
  autoCalibrate(panel, 0);
  EXPECT_EQ(ui.messages().back().title, "SAM base calibration");
  EXPECT_EQ(panel.stateText(0), "Auto calibration finished successfully.");
  EXPECT_EQ(sam.status[0], 7);
  EXPECT_EQ(panel.status(0).status, 7) << "both labels turn green";
  EXPECT_EQ(sam.pair[0][0], 1025);
  EXPECT_EQ(sam.pair[0][1], 1000);
  EXPECT_EQ(sam.pair[0][2], 3025);
  EXPECT_EQ(sam.pair[0][3], 3000);
  EXPECT_EQ(sam.clipping[0], 7);
  ASSERT_EQ(sam.sourceFrames.size(), 3u);
  EXPECT_EQ(sam.sourceFrames[0].data[4], 0x81u);
  EXPECT_EQ(sam.sourceFrames[1].data[4], 0x82u);
  EXPECT_EQ(sam.sourceFrames[2].data[4], 0x83u);
  EXPECT_FALSE(panel.autoRunning());
}

TEST_F(SamBaseCalibTest, ActualResultsMayBe400DigitsOff) {
  struct Case {
    int error;
    bool passes;
  } cases[] = {{400, true}, {-400, true}, {401, false}, {-401, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    sam = ScriptedSamModule{};
    sam.error = c.error;
    ASSERT_TRUE(SamBaseCalib_Probe(rec));
    SamBaseCalibPanel panel(rec);
    panel.initialise();
    ui.expectMessage("Connect the VAR Eriz Ivirizaruz", UiAnswer::Ok);
    if (!c.passes) {
      ui.expectMessage("Actual ADC result out of range or calibrator not connected!", UiAnswer::Ok);
      ui.expectMessage("Calibration failed!", UiAnswer::Ok);
    }
    autoCalibrate(panel, 0);
    EXPECT_EQ(panel.stateText(0), c.passes ? "Auto calibration finished successfully." : "Auto calibration error!");
    EXPECT_EQ(sam.status[0] == 7, c.passes);
    EXPECT_EQ(ui.pendingExpectations(), 0u);
  }
}

TEST_F(SamBaseCalibTest, CancellingTheQuestionEndsWithoutAnExchange) {
  ASSERT_TRUE(SamBaseCalib_Probe(rec));
  SamBaseCalibPanel panel(rec);
  panel.initialise();
  const size_t moduleFrames = sam.moduleFrames.size(), sourceFrames = sam.sourceFrames.size();
  ui.expectMessage("Connect the VAR Eriz Ivirizaruz", UiAnswer::Cancel);
  autoCalibrate(panel, 0);
  EXPECT_FALSE(panel.autoRunning());
  EXPECT_EQ(sam.moduleFrames.size(), moduleFrames);
  EXPECT_EQ(sam.sourceFrames.size(), sourceFrames);
}

TEST_F(SamBaseCalibTest, HandEnteredCorrectionIsWrittenAndReadBack) {
  ASSERT_TRUE(SamBaseCalib_Probe(rec));
  SamBaseCalibPanel panel(rec);
  panel.initialise();
  sam.moduleFrames.clear();
  panel.fields(0).lowActual = "-12";
  panel.fields(0).lowWanted = "1000";
  panel.setPair(0, false);
  ASSERT_EQ(sam.moduleFrames.size(), 2u);
  EXPECT_EQ(sam.moduleFrames[0], (std::vector<int>{0x35, 0x01, 0, 0, 0xF4, 0xFF, 0xE8, 0x03}));
  EXPECT_EQ(panel.status(0).lowActual, -12);
  EXPECT_EQ(panel.status(0).status & 1, 1);
  // A field that is no 16-bit number sends nothing.
  panel.fields(0).clipping = "40000";
  panel.setClipping(0);
  EXPECT_EQ(sam.moduleFrames.size(), 2u);
}

}  // namespace
