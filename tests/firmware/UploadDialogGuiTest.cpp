// The upload dialog against a simulated module: pacing by the send interval,
// progress texts, the end messages, the upload-running flag and Cancel.
// The simulator's headers come first: they use words that Qt defines as macros.
#include "firmware/UploadTestSupport.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "core/ErrorReport.h"
#include "core/Shell.h"
#include "firmware/UploadDialog.h"
#include "protocol/WireConstants.h"

namespace {

class UploadDialogTest : public UploadTest {
 protected:
  using Bytes = std::vector<uint8_t>;

  void SetUp() override {
    UploadTest::SetUp();
    Shell_SetUpdateControlsHook([this] { ++controlUpdates; });
    addModule(Wire::VORN_CPU_PIC18F);
    image = FwImage_Pattern(256, 11);
    file = writeHex(HexImageBuilder().add(0, image));
  }

  QString progressText(UploadDialog& d) { return d.findChild<QLabel*>("uploadProgressText")->text(); }
  int bar(UploadDialog& d) { return d.findChild<QProgressBar*>("uploadProgress")->value(); }
  // Fires the dialog's timer until the run ends; the number of ticks.
  int runToEnd(UploadDialog& d) {
    int ticks = 0;
    while (d.run().active() && ticks < 10000) {
      ui.fire(&d.run().timer());
      ++ticks;
    }
    return ticks;
  }

  int controlUpdates = 0;
  Bytes image;
  std::string file;
};

TEST_F(UploadDialogTest, RunsPacedBySendIntervalAndEndsWithTheSuccessMessage) {
  Option_SetDouble("PROGRAM_SEND_INTERVAL_MS", 2.5);
  UploadDialog d(nullptr, rec, file);
  EXPECT_EQ(d.objectName(), "DIALOG_UPLOAD");
  EXPECT_EQ(d.windowTitle(), "Uploading Firmware");
  EXPECT_EQ(d.findChild<QLabel*>("uploadText")->text(), "Uploading firmware to KVX module");
  ASSERT_TRUE(d.start());
  EXPECT_TRUE(FwUpload_Running());
  EXPECT_GE(controlUpdates, 1);
  EXPECT_TRUE(ui.waitCursor());
  EXPECT_EQ(progressText(d), "");
  EXPECT_EQ(ui.armedPeriod(&d.run().timer()), 10);
  EXPECT_EQ(d.run().pacing().stepsPerTick, 4);

  // Four steps: the block start and three data frames.
  ui.fire(&d.run().timer());
  EXPECT_EQ(progressText(d), "(21 of 256 Bytes)");
  EXPECT_EQ(bar(d), 8);
  EXPECT_TRUE(ui.isArmed(&d.run().timer()));

  ui.expectMessage("Firmware upload finished successfully", UiAnswer::Ok);
  runToEnd(d);
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].title, "Upload ok");
  EXPECT_EQ(progressText(d), "(256 of 256 Bytes)");
  EXPECT_EQ(bar(d), 100);
  EXPECT_EQ(d.uploadResult(), 1);
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_FALSE(FwUpload_Running());
  EXPECT_FALSE(ui.waitCursor());
  EXPECT_FALSE(ui.isArmed(&d.run().timer()));
  EXPECT_EQ(flash(0, 256), image);
}

TEST_F(UploadDialogTest, FailureShowsTheEngineMessageAndClearsTheFlag) {
  sim.removeModule(module);
  addModule(Wire::VORN_CPU_AT8051);
  UploadDialog d(nullptr, rec, file);
  ASSERT_TRUE(d.start());
  ui.expectMessage("Unsupported CPU AT8051", UiAnswer::Ok);
  EXPECT_EQ(runToEnd(d), 1);
  EXPECT_EQ(d.uploadResult(), -1);
  EXPECT_EQ(d.result(), QDialog::Rejected);
  EXPECT_FALSE(FwUpload_Running());
  EXPECT_FALSE(ui.waitCursor());
}

TEST_F(UploadDialogTest, CancelLeavesTheModuleInvalidAndTheNextUploadStartsAfresh) {
  UploadDialog d(nullptr, rec, file);
  ASSERT_TRUE(d.start());
  ui.fire(&d.run().timer());
  const int updates = controlUpdates;
  d.findChild<QPushButton*>("uploadCancel")->click();
  EXPECT_FALSE(FwUpload_Running());
  EXPECT_GT(controlUpdates, updates);
  EXPECT_FALSE(ui.isArmed(&d.run().timer()));
  EXPECT_FALSE(ui.waitCursor());
  EXPECT_EQ(d.uploadResult(), 0);
  EXPECT_TRUE(ui.messages().empty());
  EXPECT_FALSE(moduleConfig().firmwarePresent);

  UploadDialog again(nullptr, rec, file);
  ASSERT_TRUE(again.start());
  ui.expectMessage("Firmware upload finished successfully", UiAnswer::Ok);
  runToEnd(again);
  EXPECT_EQ(again.uploadResult(), 1);
  EXPECT_TRUE(moduleConfig().firmwarePresent);
}

TEST_F(UploadDialogTest, SecondUploadWhileOneRunsClosesAtOnce) {
  UploadDialog first(nullptr, rec, file);
  ASSERT_TRUE(first.start());
  ui.fire(&first.run().timer());
  const size_t frames = sentToModule().size();

  UploadDialog second(nullptr, rec, file);
  EXPECT_FALSE(second.start());
  EXPECT_EQ(second.result(), QDialog::Rejected);
  EXPECT_FALSE(ui.isArmed(&second.run().timer()));
  EXPECT_EQ(sentToModule().size(), frames);  // nothing sent for it
  EXPECT_TRUE(FwUpload_Running());         // the first one still holds the flag

  ui.expectMessage("Firmware upload finished successfully", UiAnswer::Ok);
  runToEnd(first);
  EXPECT_EQ(first.uploadResult(), 1);
  EXPECT_FALSE(FwUpload_Running());
}

}  // namespace
