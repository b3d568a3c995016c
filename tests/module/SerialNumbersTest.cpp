// The serial number dialog: number syntax, the serial file, and programming
// with read-back and auto increment against the simulator's modules.
#include <gtest/gtest.h>

#include "core/ErrorReport.h"
#include "core/Options.h"
#include "module/SerialNumbers.h"
#include "module/ServiceSimFixture.h"
#include "protocol/WireConstants.h"

namespace {

TEST(SerialRules, NumbersAndTheirShownForm) {
  uint32_t v = 0;
  const struct {
    const char* text;
    bool ok;
    uint32_t value;
  } cases[] = {{"987654", true, 987654},  {" 0x12345678 ", true, 0x12345678}, {"0XfF", true, 255},
               {"4294967295", true, 0xFFFFFFFF}, {"4294967296", false, 0}, {"0x", false, 0},
               {"12a", false, 0},          {"-1", false, 0},                  {"", false, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(SerialNumber_Parse(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  EXPECT_EQ(SerialNumber_Text(257, "0xFF"), "0x00000101");
  EXPECT_EQ(SerialNumber_Text(257, "255"), "257");
}

class SerialNumbersTest : public ServiceSimTest {
 protected:
  void listTwo(const char* extra = "") {
    serve(std::string("module node=3 type=16 serials=5/0\nmodule node=4 type=17 serials=0/0\n") + extra, 3);
    listed(4);
    sn.open();
    sim.clearTraffic();
  }
  SerialNumbers sn;
};

TEST_F(SerialNumbersTest, FileIsReadTolerantlyAndWrittenWithTheFactoryLine) {
  const std::string path = home.file("serial.txt");
  EXPECT_EQ(SerialFile_Read(path).user, "0");  // missing file
  WriteWholeFile(path, "junk\nNEXTUSERSERIAL=0x10 \t\r\n" + std::string(3000, 'x') + "\nNEXTMANUFSERIAL=7");
  const SerialFileNumbers n = SerialFile_Read(path);
  EXPECT_EQ(n.user, "0x10");
  EXPECT_EQ(n.manuf, "7");
  ASSERT_TRUE(SerialFile_Write(path, n, false));
  EXPECT_EQ(ReadWholeFile(path), "NEXTUSERSERIAL=0x10\n");
  ASSERT_TRUE(SerialFile_Write(path, n, true));
  EXPECT_EQ(ReadWholeFile(path), "NEXTUSERSERIAL=0x10\nNEXTMANUFSERIAL=7\n");
}

TEST_F(SerialNumbersTest, HexNumberWithAutoIncrementNumbersTwoModulesAndKeepsTheNotation) {
  listTwo();
  ASSERT_EQ(sn.rows().size(), 2u);
  EXPECT_EQ(sn.cellText(0, kSnColUser), "5");
  EXPECT_EQ(sn.cellText(1, kSnColName), "KVX 720-08");
  sn.number[SERIAL_USER] = "0xFF";
  sn.autoIncrement[SERIAL_USER] = true;
  sn.setSelected(0, true);
  sn.setSelected(1, true);
  ui.expectMessage("Set user serial in 2 modules?", UiAnswer::Ok);
  ASSERT_TRUE(sn.apply(SERIAL_USER));
  ui.expectMessage("Setting serial finished, all modules ok.", UiAnswer::Ok);
  while (sn.step()) {}
  EXPECT_EQ(sent(), (std::vector<std::vector<int>>{{0x09, 0, 0, 0, 0, 0, 0, 0xFF}, {0xB4, 0x20, 0x98, 0},
                                                   {0x09, 0, 0, 0, 0, 0, 1, 0x00}, {0xB4, 0x20, 0x98, 0}}));
  EXPECT_EQ(sn.number[SERIAL_USER], "0x00000101");
  EXPECT_EQ(ReadWholeFile(SerialFile_Path()), "NEXTUSERSERIAL=0x00000101\n");
  EXPECT_EQ(sn.cellText(1, kSnColUser), "256");
  EXPECT_EQ(sn.cellText(1, kSnColResult), "Ok");
  EXPECT_FALSE(sn.selected(1));
}

TEST_F(SerialNumbersTest, ReadBackThatDiffersIsErrorThreeAndKeepsTheSelection) {
  listTwo();
  sim.withModule(sim.findModule(0, 4), [](SimModule& m) { m.setHandler(9, nullptr); });  // ignores the command
  sn.number[SERIAL_USER] = "77";
  sn.selectZero(SERIAL_USER);  // module 4 only
  ui.expectMessage("Set user serial in 1 module?", UiAnswer::Ok);
  ASSERT_TRUE(sn.apply(SERIAL_USER));
  ui.expectMessage("Error: 1 module(s) failed.", UiAnswer::Ok);
  while (sn.step()) {}
  EXPECT_EQ(sn.cellText(1, kSnColResult), "Error: Cannot set user serial (Err #3)");
  EXPECT_TRUE(sn.selected(1));
  EXPECT_EQ(sn.number[SERIAL_USER], "77");  // no increment without Auto Increment, none after a failure
  EXPECT_EQ(ui.messages().back().title, "Setting serial finished with errors");
}

TEST_F(SerialNumbersTest, ManufacturerSerialCarriesTheAuthorisationInFactoryMode) {
  FactoryMode_Set(true);
  listTwo();
  sn.number[SERIAL_MANUF] = "0x4A000010";
  sn.setSelected(0, true);
  ui.expectMessage("Set manufacturer serial in 1 module?", UiAnswer::Ok);
  ASSERT_TRUE(sn.apply(SERIAL_MANUF));
  ui.expectMessage("all modules ok", UiAnswer::Ok);
  while (sn.step()) {}
  uint8_t auth[3];
  Wire::VornSerialAuthorisation(16, 3, auth);
  EXPECT_EQ(sent()[0], (std::vector<int>{0x09, auth[0], auth[1], auth[2], 0x4A, 0, 0, 0x10}));
  EXPECT_EQ(sn.cellText(0, kSnColManuf), "1241514000");
  sn.close();
  EXPECT_EQ(ReadWholeFile(SerialFile_Path()), "NEXTUSERSERIAL=0\nNEXTMANUFSERIAL=0x4a000010\n");
}

TEST_F(SerialNumbersTest, NothingSelectedOrUnreadableNumberStopsBeforeAsking) {
  listTwo();
  ui.expectMessage("No module(s) selected", UiAnswer::Ok);
  EXPECT_FALSE(sn.apply(SERIAL_USER));
  sn.selectAll();
  sn.number[SERIAL_USER] = "12x";
  ui.expectMessage("Can't read user serial", UiAnswer::Ok);
  EXPECT_FALSE(sn.apply(SERIAL_USER));
  EXPECT_FALSE(sn.apply(SERIAL_MANUF));  // outside factory mode
  EXPECT_TRUE(sent().empty());
}

}  // namespace
