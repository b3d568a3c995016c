// Shots of the firmware tab (a module in its bootloader with a fitting file,
// and one running its firmware), the upload dialog part way through an
// upload, and the multi-update dialog after a run. The firmware files are
// made in the temporary home folder.
#include <QTabWidget>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Screenshots.h"
#include "core/ErrorReport.h"
#include "app/MainWindow.h"
#include "core/Options.h"
#include "core/WideText.h"
#include "firmware/FirmwareTab.h"
#include "firmware/HexImageBuilder.h"
#include "firmware/MultiUpdateDialog.h"
#include "firmware/UploadDialog.h"
#include "module/ModuleDialog.h"
#include "protocol/ModuleList.h"
#include "ui/Ui.h"

namespace {

// A word-data firmware (dsPIC: code start 0x400 words) for a type, in the home folder.
std::string FirmwareFile(const char* name, int type, int hardware, int major, int minor) {
  FwImageLayout layout;
  layout.address = 0x800;
  layout.codeBytes = 24000;
  layout.wordData = true;
  layout.info.moduleType = type;
  layout.info.hardwareVersion = hardware;
  layout.info.softwareMajor = major;
  layout.info.softwareMinor = minor;
  const char* home = std::getenv("HOME");
  const std::string path = std::string(home ? home : "/tmp") + "/" + name;
  if (!HexImageBuilder().addFirmware(layout).writeHexFile(path))
    std::fprintf(stderr, "kvxscreens: cannot write %s\n", path.c_str());
  return path;
}

ModuleRec* Listed(int node) {
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
    if (rec->node == node) return rec;
  std::fprintf(stderr, "kvxscreens: no module on node %d was found by the scan (%d listed, scan %s)\n", node,
               ModuleList_Count(), ScanRunning() ? "running" : "ended");
  return nullptr;
}

QWidget* FirmwareTabShot(int node) {
  ModuleRec* rec = Listed(node);
  if (!rec) return nullptr;
  ModuleList_OpenDialog(rec);
  ModuleDialog* dialog = ModuleDialog_FromHandle(rec->dialog);
  if (!dialog) return nullptr;
  QTabWidget* tabs = dialog->tabControl();
  for (int i = 0; i < tabs->count(); ++i)
    if (tabs->tabText(i) == "Firmware Update") tabs->setCurrentIndex(i);
  return dialog;
}

// Answers every prompt with OK and keeps timers for the shot to fire by hand,
// so that a whole multi-update run can be made without a modal box.
class QuietUi : public UiBackend {
 public:
  UiAnswer messageBox(const std::string&, const std::string&, UiButtons, UiIcon, bool) override {
    return UiAnswer::Ok;
  }
  bool openFileDialog(const UiFileRequest&, std::string&) override { return false; }
  bool saveFileDialog(const UiFileRequest&, std::string&) override { return false; }
  void setWaitCursor(bool) override {}
  void beep() override {}
  void showStatusText(const std::string&) override {}
  void armTimer(UiTimer*, int) override {}
  void disarmTimer(UiTimer*) override {}
};

}  // namespace

KVX_SCREENSHOT("firmware-tab-bootloader") {
  // Node 7 of the demo: a KVX 720-08 (type 17), hardware 1, in its bootloader.
  Option_SetWString("RECENT_HEXFILE", Text_Widen(FirmwareFile("kvx720-08_v1.2.hex", 17, 1, 1, 2)));
  return FirmwareTabShot(7);
}

KVX_SCREENSHOT("firmware-tab-firmware-running") { return FirmwareTabShot(2); }

KVX_SCREENSHOT("upload-dialog") {
  ModuleRec* rec = Listed(7);
  if (!rec) return nullptr;
  const std::string file = FirmwareFile("kvx720-08_v1.2.hex", 17, 1, 1, 2);
  auto* dialog = new UploadDialog(ctx.mainWindow, *rec, file);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  if (!dialog->start()) return nullptr;
  // Part of the way, then stop: the shot must not wait for the end.
  for (int i = 0; i < 100000 && dialog->run().active() && dialog->run().percent() < 40; ++i) dialog->run().tick();
  dialog->run().cancel();
  return dialog;
}

KVX_SCREENSHOT("multi-update-dialog") {
  // Node 3 of the demo (KVX 740-02, type 32) gets the version it already has.
  Option_SetWString("RECENT_HEXFILE_LIST",
                    Text_Widen(FirmwareFile("kvx740-02_v1.8.hex", 32, 1, 1, 8) + ";" +
                               FirmwareFile("kvx720-08_v1.2.hex", 17, 1, 1, 2)));
  if (ModuleList_Count() == 0) return nullptr;  // the dialog would stop at its error box
  auto* dialog = new MultiUpdateDialog(ctx.mainWindow);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  QuietUi quiet;
  UiBackend& normal = Ui_Backend();
  Ui_Install(&quiet);
  const int wait = Option_GetInt("WAIT_AFTER_MODULERESET_MS");
  Option_SetInt("WAIT_AFTER_MODULERESET_MS", 500);  // the simulated module is back long before
  MultiUpdate& run = dialog->update();
  run.selectSlot(0);
  if (run.start(false, 3))
    for (int i = 0; i < 200000 && run.running(); ++i) run.tick();
  Option_SetInt("WAIT_AFTER_MODULERESET_MS", wait);
  Ui_Install(&normal);
  return dialog;
}
