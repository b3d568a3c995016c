// Saving and loading calibration data files against simulated modules: the
// file byte for byte, the points that reach the module, every question and
// message, and files that are wrong in every way a file can be.
#include <gtest/gtest.h>

#include <algorithm>

#include "calib/CalibDataFile.h"
#include "io/CalibPoints.h"
#include "core/WideText.h"
#include "support/CalibSimFixture.h"

namespace {

class CalibFile : public CalibSimTest {
 protected:
  // Type 14 with two voltage inputs (two configurations each) and a Pt100 input.
  SimModuleId addAnalog(int node) {
    return addModule(node, 14, [](SimModuleConfig& c) {
      SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 1, {0x0100, 0x0104}, 2, 0x6401));
      SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 5, {0x0501}, 1, 0x6402));
    });
  }
  ChanInfo inputs(SimModuleId id) { return channels(id, CHANINFO_ANALOG_IN); }
  std::map<uint32_t, SimCalibPoints> stored(SimModuleId id) {
    std::map<uint32_t, SimCalibPoints> out;
    sim.withModule(id, [&](SimModule& m) { out = m.config().io.calibration; });
    return out;
  }
  // Loads `text` from a file into the module, answering the questions; the
  // messages are expected in this order after them.
  int load(SimModuleId id, const std::string& text, const std::vector<std::string>& messages = {}) {
    const std::string path = folder.file("load.cal");
    WriteWholeFile(path, text);
    ui.expectOpenFile(path);
    ui.expectMessage("Continue and overwrite module factory calibration?", UiAnswer::Yes);
    for (const std::string& m : messages) ui.expectMessage(m, UiAnswer::Ok);
    const ChanInfo info = inputs(id);
    sim.clearTraffic();
    return CalibData_LoadFile(record(id), info, false);
  }

  TempFolder folder;
};

const char* const kHeader =
    "# KVX700 module calibration data\n"
    "# KVX 740-04, Firmware 1.8\n"
    "# MODULETYPE 14\n"
    "# NUMCHAN 3\n"
    "\n"
    "# CHAN  TYPE+RANGE  X1  Y1  X2  Y2\n"
    "\n";

TEST_F(CalibFile, SaveWritesEveryConfigurationByteForByte) {
  SimModuleId id = addAnalog(3);
  setPoints(id, 0, 1, 0, P(Bits(105), Bits(-2.5f), Bits(4000), Bits(3.25f)));
  setPoints(id, 0, 1, 4, P(Bits(105), kNone));  // Y1 empty: both columns of point 1 empty
  setPoints(id, 2, 5, 1, P(kNone, kNone, Bits(150), Bits(0.125f)));
  const ChanInfo info = inputs(id);
  const std::string path = folder.file("module.cal");
  ui.expectSaveFile(path);
  EXPECT_EQ(CalibData_SaveFile(record(id), info, false), CALIB_SAVE_DONE);
  EXPECT_EQ(ReadWholeFile(path), std::string(kHeader) +
                                     "# Channel 0\n"
                                     "#   Voltage, 0...10 V\n"
                                     "0\t0\t105\t-2.5\t4000\t3.25\n"
                                     "#   Voltage, 0...10 V\n"
                                     "0\t1\tffffffff\tffffffff\tffffffff\tffffffff\n"
                                     "\n"
                                     "# Channel 1\n"
                                     "#   Voltage, 0...10 V\n"
                                     "1\t0\tffffffff\tffffffff\tffffffff\tffffffff\n"
                                     "#   Voltage, 0...10 V\n"
                                     "1\t1\tffffffff\tffffffff\tffffffff\tffffffff\n"
                                     "\n"
                                     "# Channel 2\n"
                                     "#   Pt100, -50...150 \xB0" "C\n"
                                     "2\t0\tffffffff\tffffffff\t150\t0.125\n"
                                     "\n"
                                     "# End of data\n");
  EXPECT_EQ(Text_Narrow(Option_GetWString("CALIB_LOADSAVE_FILE")), path);
  EXPECT_EQ(std::count(ui.calls().begin(), ui.calls().end(), "save|Save calibration data to file"), 1);
  // X1, Y1, X2, Y2 of channel 0's second configuration.
  const std::vector<SimFrame> f = calibFrames(3);
  ASSERT_EQ(f.size(), 4u * 5);
  EXPECT_EQ(f[4], SimFrame(0x683, 0, {0xB6, 0x00, 0x01, 0x04}));
  EXPECT_EQ(f[7], SimFrame(0x683, 0, {0xB6, 0x00, 0x61, 0x04}));
}

TEST_F(CalibFile, SaveWithoutCatalogueRowOrChannelsAndTheRememberedName) {
  SimModuleId id = addModule(4, 99, [](SimModuleConfig&) {});
  Option_SetWString("CALIB_LOADSAVE_FILE", Text_Widen(folder.path() + "/"));
  const std::string path = folder.file("unknown.cal");
  ui.expectSaveFile(path);
  ChanInfo none;
  EXPECT_EQ(CalibData_SaveFile(record(id), none, false), CALIB_SAVE_DONE);
  EXPECT_EQ(ReadWholeFile(path),
            "# KVX700 module calibration data\n# MODULETYPE 99\n# NUMCHAN 0\n\n"
            "# CHAN  TYPE+RANGE  X1  Y1  X2  Y2\n\n# End of data\n");
  // The next dialog starts at the file just saved.
  ui.expectSaveFile("");
  EXPECT_EQ(CalibData_SaveFile(record(id), none, false), CALIB_SAVE_CANCELLED);
}

TEST_F(CalibFile, SaveReportsAFileThatCannotBeWritten) {
  SimModuleId id = addAnalog(5);
  const ChanInfo info = inputs(id);
  const std::string path = folder.file("no/such/folder.cal");
  ui.expectSaveFile(path);
  ui.expectMessage("Cannot write calibration data file\n'" + path + "'", UiAnswer::Ok);
  sim.clearTraffic();
  EXPECT_EQ(CalibData_SaveFile(record(id), info, false), CALIB_SAVE_NO_FILE);
  EXPECT_TRUE(calibFrames(5).empty());  // nothing read from the module
  // A full disk is no save either.
  ui.expectSaveFile("/dev/full");
  ui.expectMessage("Cannot write calibration data file\n'/dev/full'", UiAnswer::Ok);
  EXPECT_EQ(CalibData_SaveFile(record(id), info, false), CALIB_SAVE_NO_FILE);
}

TEST_F(CalibFile, ATransmissionFailureLeavesATruncatedFileThatStillEnds) {
  SimModuleId id = addAnalog(6);
  const ChanInfo info = inputs(id);
  answerShortAfter(id, 6);
  const std::string path = folder.file("part.cal");
  ui.expectSaveFile(path);
  ui.expectMessage("Data transmission failure,\ncalibration data file may be incomplete", UiAnswer::Ok);
  EXPECT_EQ(CalibData_SaveFile(record(id), info, false), CALIB_SAVE_DONE);
  EXPECT_EQ(ReadWholeFile(path), std::string(kHeader) +
                                     "# Channel 0\n"
                                     "#   Voltage, 0...10 V\n"
                                     "0\t0\tffffffff\tffffffff\tffffffff\tffffffff\n"
                                     "#   Voltage, 0...10 V\n"
                                     "# End of data\n");
  EXPECT_FALSE(ui.waitCursor());
}

TEST_F(CalibFile, LoadWritesPointsAndClearsPointsMarkedEmpty) {
  SimModuleId id = addAnalog(7);
  setPoints(id, 1, 1, 4, P(Bits(1), Bits(1), Bits(2), Bits(2)));
  EXPECT_EQ(load(id,
                 "# any comment first\n"
                 "\n"
                 "  1 1 10.5 -0.5 ffffffff 7\n"     // point 2 cleared, its Y not written
                 "# MODULETYPE 14\n"
                 "2\t0\tffffffff\tffffffff\t150\t0.125\r\n"  // any order, a CR LF line
                 "#   Voltage\n"),
            CALIB_LOAD_DONE);
  const auto points = stored(id);
  EXPECT_EQ(points.at(SimCalibKey(1, 1, 4)), P(Bits(10.5f), Bits(-0.5f)));
  EXPECT_EQ(points.at(SimCalibKey(2, 5, 1)), P(kNone, kNone, Bits(150), Bits(0.125f)));
  const std::vector<SimFrame> f = calibFrames(7);
  ASSERT_EQ(f.size(), 3u + 3u);
  EXPECT_EQ(f[0], SimFrame(0x687, 0, {0x76, 0x01, 0x01, 0x04, 0x00, 0x00, 0x28, 0x41}));  // X1 = 10.5
  EXPECT_EQ(f[1].data[2], 0x21);
  EXPECT_EQ(f[2], SimFrame(0x687, 0, {0x76, 0x01, 0xE1, 0x04}));  // clear point 2
  EXPECT_EQ(f[3], SimFrame(0x687, 0, {0x76, 0x02, 0xC5, 0x01}));
  EXPECT_EQ(Text_Narrow(Option_GetWString("CALIB_LOADSAVE_FILE")), folder.file("load.cal"));
}

TEST_F(CalibFile, WrongModuleTypeStopsWithBothMessages) {
  SimModuleId id = addAnalog(8);
  EXPECT_EQ(load(id, "# MODULETYPE 18\n0 0 1 1 1 1\n",
                 {"File is of wrong module type 18 (KVX 740-08),\nexpected type 14 (KVX 740-04)",
                  "Calibration data in module probably\nincomplete due to error(s)"}),
            CALIB_LOAD_DONE);
  EXPECT_TRUE(calibFrames(8).empty());
  EXPECT_EQ(load(id, "#MODULETYPE 4242\n", {"File is of wrong module type 4242 (?),", "incomplete due to error(s)"}),
            CALIB_LOAD_DONE);
}

TEST_F(CalibFile, LineErrorsStopTheLoadNamingTheLine) {
  SimModuleId id = addAnalog(9);
  const std::string path = folder.file("load.cal");
  const struct {
    const char* text;
    std::string message;
  } cases[] = {
      {"0 0 1 1 1 1\n\n5 0 1 1 1 1\n0 0 2 2 2 2\n", "Illegal channel 5 in line 3 of file\n" + path},
      {"-1 0 1 1 1 1\n", "Illegal channel -1 in line 1 of file\n" + path},
      {"# c\n2 1 1 1 1 1\n", "Illegal type+range 1 in line 2 of file\n" + path},
      {"0 -1 1 1 1 1\n", "Illegal type+range -1 in line 1 of file\n" + path},
      {"0 0 1 1 1\n", "Parse error in line 1 of file\n" + path},
      {"zero 0 1 1 1 1\n", "Parse error in line 1 of file\n" + path},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(load(id, c.text, {c.message, "Calibration data in module probably\nincomplete due to error(s)"}),
              CALIB_LOAD_DONE);
  }
  // The first case wrote its first line and stopped before the last.
  EXPECT_EQ(stored(id).at(SimCalibKey(0, 1, 0)), P(Bits(1), Bits(1), Bits(1), Bits(1)));
}

TEST_F(CalibFile, UnreadableValuesEndTheirLineAndTheLoadGoesOn) {
  SimModuleId id = addAnalog(10);
  const std::string path = folder.file("load.cal");
  EXPECT_EQ(load(id,
                 "0 0 abc 1 2 2\n"       // X1 unreadable: nothing of the line written
                 "0 1 1 zz 3 3\n"        // Y1 unreadable: X1 is not written either
                 "1 0 4 4 5 5\n",
                 {"Parse error in line 1 of file\n" + path, "Parse error in line 2 of file\n" + path,
                  "Calibration data in module probably\nincomplete due to error(s)"}),
            CALIB_LOAD_DONE);
  const auto points = stored(id);
  EXPECT_EQ(points.count(SimCalibKey(0, 1, 0)), 0u);
  EXPECT_EQ(points.count(SimCalibKey(0, 1, 4)), 0u);
  EXPECT_EQ(points.at(SimCalibKey(1, 1, 0)), P(Bits(4), Bits(4), Bits(5), Bits(5)));
}

TEST_F(CalibFile, AFailedRequestIsSummedUpAsTransmissionError) {
  SimModuleId id = addAnalog(11);
  const std::string path = folder.file("load.cal");
  WriteWholeFile(path, "0 0 1 1 1 1\n1 0 2 2 2 2\n");
  ui.expectOpenFile(path);
  ui.expectMessage("Continue and overwrite", UiAnswer::Yes);
  ui.expectMessage("Calibration data in module probably\nincomplete due to data transmission error(s)", UiAnswer::Ok);
  const ChanInfo info = inputs(id);
  answerShortAfter(id, 2);
  EXPECT_EQ(CalibData_LoadFile(record(id), info, false), CALIB_LOAD_DONE);
  EXPECT_FALSE(ui.waitCursor());
}

TEST_F(CalibFile, LongFieldsAreReportedNeverOverrun) {
  SimModuleId id = addAnalog(12);
  EXPECT_EQ(load(id, "0 0 " + std::string(10000, '1') + " 1 1 1\n",
                 {"Parse error in line 1 of file", "incomplete due to error(s)"}),
            CALIB_LOAD_DONE);

  // A 10,000-character last field: point 1 is written; point 2's Y cannot be
  // read, so its X is not written either.
  EXPECT_EQ(load(id, "# x\n1 1 1 1 3 " + std::string(10000, 'x') + "\n",
                 {"Parse error in line 2 of file", "incomplete due to error(s)"}),
            CALIB_LOAD_DONE);
  EXPECT_EQ(stored(id).at(SimCalibKey(1, 1, 4)), P(Bits(1), Bits(1)));
}

TEST_F(CalibFile, CancelDeclineAndMissingFile) {
  SimModuleId id = addAnalog(13);
  const ChanInfo info = inputs(id);
  ui.expectOpenFile("");
  EXPECT_EQ(CalibData_LoadFile(record(id), info, false), CALIB_LOAD_CANCELLED);
  ui.expectOpenFile(folder.file("x.cal"));
  ui.expectMessage("Continue and overwrite module factory calibration?", UiAnswer::No);
  EXPECT_EQ(CalibData_LoadFile(record(id), info, false), CALIB_LOAD_DECLINED);
  EXPECT_EQ(ui.messages().back().title, "Overwrite module factory calibration?");
  ui.expectOpenFile(folder.file("x.cal"));
  ui.expectMessage("Continue and overwrite", UiAnswer::Yes);
  ui.expectMessage("Cannot read calibration data file\n'" + folder.file("x.cal") + "'", UiAnswer::Ok);
  EXPECT_EQ(CalibData_LoadFile(record(id), info, false), CALIB_LOAD_NO_FILE);
  ui.expectSaveFile("");
  EXPECT_EQ(CalibData_SaveFile(record(id), info, false), CALIB_SAVE_CANCELLED);
}

TEST_F(CalibFile, ASaveLoadedIntoAnotherModuleOfTheTypeGivesTheSamePoints) {
  SimModuleId from = addAnalog(14);
  SimModuleId to = addAnalog(15);
  // The first module calibrates its points itself against references.
  // (The file keeps six significant digits; these points need no more.)
  sim.withModule(from, [](SimModule& m) {
    SimIoSignal s;
    s.level = 2;
    s.gain = 0.25;  // reads 2.5
    SimIo_SetSignal(m, s);
  });
  const ModuleRec source = record(from);
  ASSERT_EQ(CalibData_CalibratePoint(source, 1, true, 0, 0x0100, 2.0), 1);
  setPoints(from, 1, 1, 4, P(Bits(12), Bits(-0.75f), Bits(4000), Bits(6.5f)));
  setPoints(from, 2, 5, 1, P(kNone, kNone, Bits(100), Bits(0.5f)));
  setPoints(to, 0, 1, 4, P(Bits(3), Bits(3)));  // gone after the load: the file clears it
  const std::string path = folder.file("copy.cal");
  ui.expectSaveFile(path);
  ASSERT_EQ(CalibData_SaveFile(source, inputs(from), false), CALIB_SAVE_DONE);
  ui.expectOpenFile(path);
  ui.expectMessage("Continue and overwrite", UiAnswer::Yes);
  ASSERT_EQ(CalibData_LoadFile(record(to), inputs(to), false), CALIB_LOAD_DONE);
  EXPECT_EQ(stored(to), stored(from));
  ASSERT_EQ(stored(to).size(), 3u);
  EXPECT_EQ(stored(to).at(SimCalibKey(0, 1, 0)), P(Bits(2.5f), Bits(-0.5f)));
}

}  // namespace

namespace {

// A file saved from one module and loaded into another of the same type
// gives the second module the same factory points, and clears the points the
// first one did not have.
TEST_F(CalibFile, ASavedFileLoadsIntoAnotherModuleOfTheSameType) {
  SimModuleId from = addAnalog(20);
  SimModuleId to = addAnalog(21);
  setPoints(from, 0, 1, 0, P(Bits(105), Bits(-2.5f), Bits(4000), Bits(3.25f)));
  setPoints(from, 1, 1, 4, P(Bits(12.0625f), Bits(1e-3f), Bits(40950), Bits(-7.75f)));
  setPoints(from, 2, 5, 1, P(kNone, kNone, Bits(150.25f), Bits(0.125f)));
  setPoints(to, 1, 1, 0, P(Bits(1), Bits(2), Bits(3), Bits(4)));  // overwritten by the file's empty points

  const std::string path = folder.file("copy.cal");
  ui.expectSaveFile(path);
  EXPECT_EQ(CalibData_SaveFile(record(from), inputs(from), false), CALIB_SAVE_DONE);
  ui.expectOpenFile(path);
  ui.expectMessage("Continue and overwrite module factory calibration?", UiAnswer::Yes);
  EXPECT_EQ(CalibData_LoadFile(record(to), inputs(to), false), CALIB_LOAD_DONE);
  EXPECT_EQ(stored(to), stored(from));
}

}  // namespace
