// Calibration sequence files: the grammar with every error text and line,
// finding the file in the three folders, the shipped samples, and creating
// and editing a file through the user's editor.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include "calib/CalibSequence.h"
#include "core/Options.h"
#include "core/Session.h"
#include "core/TextFormat.h"
#include "core/WideText.h"
#include "support/TestEnvironment.h"

namespace {

// The steps in one line each: line, config, ALL/SINGLE, kind, value, settle, timeout, deviations.
std::string Steps(const CalibSequence& s) {
  std::string out;
  for (int i = 0; i < s.stepCount; ++i) {
    const CalibStep& t = s.steps[size_t(i)];
    out += Text_Format("L%d c%d %s k%d v%g s%g t%g i%g f%g\n", t.line, t.config, t.chanSelectMode ? "SINGLE" : "ALL",
                       t.kind, t.value, t.settleTime, t.timeout, t.initialDeviation, t.finalDeviation);
  }
  return out;
}

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST(CalibSequenceGrammar, SectionsCommandsAndErrors) {
  const struct {
    const char* name;
    std::string text;
    int result;
    int calibrator;
    std::string steps;
    const char* error;
  } cases[] = {
      {"no MODE line", "DEVICE METRAHIT\nSTEP\nCALIBLOW 1\n", 0, 0, "", ""},
      {"typical",
       "# sequence\nMODE AnalogIn\nDEVICE METRAHIT\nSETTLETIME 3\nSTEP\nCONFIG 2\nCALIBLOW 0\nENDSTEP\n"
       "STEP\nCALIBHIGH 10\nENDSTEP\n",
       0, 1, "L5 c2 ALL k-1 v0 s3 t10 i5 f1\nL9 c2 ALL k1 v10 s3 t10 i5 f1\n", ""},
      {"two sections, another between",
       "MODE AnalogIn\nCALIBRATOR VORNBOX\nSTEP\nCHECK 1\nMODE AnalogOut\nBOGUS\nSTEP\nMODE AnalogIn\nSTEP\n"
       "CHECKCALIB 2\n",
       0, 2, "L3 c0 ALL k0 v1 s2 t10 i5 f1\nL9 c0 ALL k0 v2 s2 t10 i5 f1\n", ""},
      {"separators and quotes",
       "MODE AnalogIn\nSTEP\nSETTLETIME=4\nSTEP\nSETTLETIME 5\nSTEP\nSETTLETIME '6'\nSTEP\n  SETTLETIME = =\"7\"\n",
       0, 0,
       "L2 c0 ALL k0 v0 s4 t10 i5 f1\nL4 c0 ALL k0 v0 s5 t10 i5 f1\nL6 c0 ALL k0 v0 s6 t10 i5 f1\n"
       "L8 c0 ALL k0 v0 s7 t10 i5 f1\n",
       ""},
      {"MODE argument with a trailing blank", "MODE AnalogIn \nSTEP\n", 0, 0, "", ""},
      {"quoted MODE argument", "MODE \"AnalogIn\" \nSTEP\n", 0, 0, "L2 c0 ALL k0 v0 s2 t10 i5 f1\n", ""},
      {"a value carries over", "MODE AnalogIn\nCALIBLOW 0\nSTEP\nSTEP\n", 0, 0,
       "L3 c0 ALL k-1 v0 s2 t10 i5 f1\nL4 c0 ALL k-1 v0 s2 t10 i5 f1\n", ""},
      {"defaults, own values, carrying on",
       "MODE AnalogIn\nTIMEOUT 20\nSTEP\nSTEP\nTIMEOUT 5\nINITIALDEVIATION 2\nFINALDEVIATION 0.1\nSTEP\n"
       "SELECT SINGLE\nSELECTCONFIG 3\nHIGH 4.5\nSTEP\nCHANSELECTMODE ALL\nLOW -2\n",
       0, 0,
       "L3 c0 ALL k0 v0 s2 t20 i5 f1\nL4 c0 ALL k0 v0 s2 t5 i2 f0.1\nL8 c3 SINGLE k1 v4.5 s2 t5 i2 f0.1\n"
       "L12 c3 ALL k-1 v-2 s2 t5 i2 f0.1\n",
       ""},
      {"numbers", "MODE AnalogIn\nSTEP\nCALIBLOW -1.5e1xyz\nSTEP\nCONFIG 3.7\nCHECK .5\nSTEP\nCALIBHIGH abc\n"
       "STEP\nLOW 0x10\nSETTLETIME 2e\n",
       0, 0,
       "L2 c0 ALL k-1 v-15 s2 t10 i5 f1\nL4 c3 ALL k0 v0.5 s2 t10 i5 f1\nL7 c3 ALL k1 v0 s2 t10 i5 f1\n"
       "L9 c3 ALL k-1 v0 s2 t10 i5 f1\n",
       ""},
      {"last line without a line end", "MODE AnalogIn\nSTEP", 0, 0, "L2 c0 ALL k0 v0 s2 t10 i5 f1\n", ""},
      {"CR LF line ends", "MODE AnalogIn\r\nDEVICE VORNBOX\r\nSTEP\r\n", 0, 2, "L3 c0 ALL k0 v0 s2 t10 i5 f1\n", ""},
      {"DEVICE after a STEP", "MODE AnalogIn\nDEVICE METRAHIT\nSTEP\nDEVICE VORNBOX\nSTEP\n", 2, 1,
       "L3 c0 ALL k0 v0 s2 t10 i5 f1\n", "Unknown command 'DEVICE'\n(line 4, file seq.calib)"},
      {"lower-case keyword", "MODE AnalogIn\ncalibLow 0\n", 2, 0, "", "Unknown command 'calibLow'\n(line 2, file seq.calib)"},
      {"lines counted with comments and blanks", "# c\n\nMODE AnalogIn\n   # indented\n =5\n", 2, 0, "",
       "Unknown command ''\n(line 5, file seq.calib)"},
      {"unknown calibrator", "MODE AnalogIn\nDEVICE METRAHIT \n", 3, 0, "",
       "Unknown calibrator 'METRAHIT ', must be METRAHIT or VORNBOX\n(line 2, file seq.calib)"},
      {"illegal selection mode", "MODE AnalogIn\nSTEP\nSELECT BOTH\nSTEP\n", 4, 0, "L2 c0 ALL k0 v0 s2 t10 i5 f1\n",
       "Illegal value for CHANSELECTMODE, must be ALL or SINGLE\n(line 3, file seq.calib)"},
      {"sixteen steps, the last one takes what follows",
       "MODE AnalogIn\n" + Repeat("STEP\n", 16) + "CALIBHIGH 9\n", 0, 0,
       [] {
         std::string s;
         for (int i = 0; i < 15; ++i) s += Text_Format("L%d c0 ALL k0 v0 s2 t10 i5 f1\n", i + 2);
         return s + "L17 c0 ALL k1 v9 s2 t10 i5 f1\n";
       }(),
       ""},
      {"a seventeenth step", "MODE AnalogIn\n" + Repeat("STEP\n", 17), 5, 0,
       [] {
         std::string s;
         for (int i = 0; i < 16; ++i) s += Text_Format("L%d c0 ALL k0 v0 s2 t10 i5 f1\n", i + 2);
         return s;
       }(),
       "Too many steps, at most 16 are allowed\n(line 18, file seq.calib)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CalibSequence seq;
    seq.currentStep = 3;
    seq.errorText = "old";
    std::istringstream in(c.text);
    EXPECT_EQ(CalibSeq_ReadFrom(in, "seq.calib", "AnalogIn", seq), c.result);
    EXPECT_EQ(seq.calibrator, c.calibrator);
    EXPECT_EQ(Steps(seq), c.steps);
    EXPECT_EQ(seq.errorText, c.error);
    EXPECT_EQ(seq.currentStep, 0);
    EXPECT_EQ(seq.filePath, "seq.calib");
  }
}

// The folders of the test's own, in the options.
class CalibSequenceFiles : public ScriptedUiTest {
 protected:
  void SetUp() override {
    ScriptedUiTest::SetUp();
    for (int n = 1; n <= 3; ++n) dir[n] = folder.file("dir" + std::to_string(n));
    for (int n = 1; n <= 3; ++n) setDir(n, dir[n]);
    ::mkdir(dir[2].c_str(), 0755);
    ::mkdir(dir[3].c_str(), 0755);
    saveEnv("VISUAL", visual_);
    saveEnv("EDITOR", editor_);
    ::unsetenv("EDITOR");
  }
  void TearDown() override {
    restoreEnv("VISUAL", visual_);
    restoreEnv("EDITOR", editor_);
    ScriptedUiTest::TearDown();
  }
  static void setDir(int n, const std::string& path) {
    Option_SetWString(Text_Format("CALIB_SEQ_DIR%d", n).c_str(), Text_Widen(path));
  }
  // An editor that writes its arguments, one a line, to a file.
  std::string fakeEditor() {
    const std::string script = folder.file("editor.sh");
    WriteWholeFile(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                               folder.file("args.txt") + ".tmp\"\nmv \"" + folder.file("args.txt") + ".tmp\" \"" +
                               folder.file("args.txt") + "\"\n");
    ::chmod(script.c_str(), 0755);
    return script;
  }
  // What the fake editor was started with, waiting for it to run.
  std::string editorArgs() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!std::filesystem::exists(folder.file("args.txt")) && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return ReadWholeFile(folder.file("args.txt"));
  }

  TempFolder folder;
  std::string dir[4];

 private:
  struct Env {
    bool set = false;
    std::string value;
  };
  static void saveEnv(const char* name, Env& e) {
    const char* v = std::getenv(name);
    e.set = v != nullptr;
    e.value = v ? v : "";
  }
  static void restoreEnv(const char* name, const Env& e) {
    if (e.set) {
      ::setenv(name, e.value.c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  Env visual_, editor_;
};

TEST_F(CalibSequenceFiles, TheFirstFolderWithTheFileWins) {
  CalibSequence seq;
  EXPECT_EQ(CalibSeq_Read("KVX 740-02", "AnalogIn", seq), CALIB_SEQ_NO_FILE);
  EXPECT_EQ(seq.errorText, "Cannot find sequence file for this module");
  EXPECT_EQ(seq.filePath, "");

  WriteWholeFile(dir[3] + "/KVX 740-02.calib", "MODE AnalogIn\nDEVICE VORNBOX\n");
  WriteWholeFile(dir[2] + "/KVX 740-02.calib", "MODE AnalogIn\nDEVICE METRAHIT\nSTEP\nSTEP\n");
  EXPECT_EQ(CalibSeq_Read("KVX 740-02", "AnalogIn", seq), CALIB_SEQ_OK);
  EXPECT_EQ(seq.filePath, dir[2] + "/KVX 740-02.calib");
  EXPECT_EQ(seq.calibrator, 1);
  EXPECT_EQ(seq.stepCount, 2);

  // A failed read names the file; a later miss clears what was read.
  WriteWholeFile(dir[2] + "/KVX 740-02.calib", "MODE AnalogIn\nSTEP\nFOO\n");
  EXPECT_EQ(CalibSeq_Read("KVX 740-02", "AnalogIn", seq), CALIB_SEQ_UNKNOWN_COMMAND);
  EXPECT_EQ(seq.errorText, "Unknown command 'FOO'\n(line 3, file " + dir[2] + "/KVX 740-02.calib)");
  EXPECT_EQ(CalibSeq_Read("KVX 999-99", "AnalogIn", seq), CALIB_SEQ_NO_FILE);
  EXPECT_EQ(seq.stepCount, 0);

  EXPECT_EQ(CalibSeq_PathIn("", "KVX 740-02"), "/KVX 740-02.calib");
}

TEST_F(CalibSequenceFiles, TheShippedSamplesRead) {
  std::string samples = __FILE__;
  samples = samples.substr(0, samples.rfind("tests/calib/")) + "sim/calib-sequences";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(samples)) {
    const std::string typeName = entry.path().stem().string();
    SCOPED_TRACE(typeName);
    setDir(1, samples);
    CalibSequence seq;
    EXPECT_EQ(CalibSeq_Read(typeName, "AnalogIn", seq), CALIB_SEQ_OK) << seq.errorText;
    EXPECT_NE(seq.calibrator, 0);
    EXPECT_GE(seq.stepCount, 4);
    EXPECT_EQ(ReadWholeFile(entry.path().string()).rfind(CalibSeq_Template(typeName), 0), 0u);
    ++files;
  }
  EXPECT_EQ(files, 3);
}

TEST_F(CalibSequenceFiles, EditOffersANewFileAndStartsTheEditor) {
  ::setenv("VISUAL", (fakeEditor() + " --new-window").c_str(), 1);
  const std::string created = dir[1] + "/KVX 740-02.calib";

  ui.expectMessage("Calibration sequence file not found.\nCreate a new one?", UiAnswer::No);
  CalibSeq_Edit("KVX 740-02");
  EXPECT_FALSE(std::filesystem::exists(created));
  EXPECT_EQ(ui.messages().back().title, "Create Calibration Sequence");

  // The first folder does not exist yet: it is made.
  ui.expectMessage("Create a new one?", UiAnswer::Yes);
  CalibSeq_Edit("KVX 740-02");
  EXPECT_EQ(ReadWholeFile(created), "# KVXconfig calibration sequence for KVX 740-02\n");
  EXPECT_EQ(editorArgs(), "--new-window\n" + created + "\n");

  // An existing file opens without a question.
  std::filesystem::remove(folder.file("args.txt"));
  std::filesystem::remove(created);
  WriteWholeFile(dir[3] + "/KVX 740-02.calib", "MODE AnalogIn\n");
  CalibSeq_Edit("KVX 740-02");
  EXPECT_EQ(editorArgs(), "--new-window\n" + dir[3] + "/KVX 740-02.calib\n");
}

TEST_F(CalibSequenceFiles, AnEditorThatCannotStartIsReported) {
  ::setenv("VISUAL", "/nonexistent/editor", 1);
  WriteWholeFile(dir[2] + "/KVX 740-02.calib", "");
  ui.expectMessage("", UiAnswer::Ok);
  CalibSeq_Edit("KVX 740-02");
  ASSERT_FALSE(ui.messages().empty());
  EXPECT_EQ(ui.messages().back().text,
            "Cannot start notepad for file\n" + dir[2] + "/KVX 740-02.calib\nWindows error #2");
}

}  // namespace
