// Shots of the factory calibration dialogs: the analog input calibration of
// the demo's analog input module in the middle of its calibration sequence
// (its inputs wired to a simulated process calibrator), the analog output
// calibration of the multifunction module on the first bus, and the SAM base
// calibration of a SAMC21 module whose converters the shot scripts.
// The simulator's headers come before Qt's.
#include "SimServer.h"
#include "instruments/SimCalibrator.h"
#include "module/IoBuilder.h"
#include "module/SimModule.h"

#include <QPushButton>
#include <QTabWidget>
#include <cstdio>
#include <cstring>
#include <memory>

#include "Screenshots.h"
#include "app/MainWindow.h"
#include "calib/AnalogInCalibDialog.h"
#include "calib/AnalogOutCalibDialog.h"
#include "calib/SamBaseCalibDialog.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/WideText.h"
#include "io/AnalogTab.h"
#include "module/ModuleDialog.h"
#include "protocol/ModuleList.h"

namespace {

ModuleRec* Listed(ScreenshotContext& ctx, int node) {
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
    if (rec->node == node) return rec;
  SimModuleConfig c;
  uint8_t state = 0;
  if (!ctx.sim->withModule(ctx.sim->findModule(0, node), [&](SimModule& m) {
        c = m.config();
        state = m.state();
      })) {
    return nullptr;
  }
  ModuleList_Add(node, 'c', c.type, c.hwVersion, state, false);
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
    if (rec->node == node) return rec;
  return nullptr;
}

// Opens the module's dialog in factory mode at the page and presses its
// "Factory Calibration...".
bool PressFactoryCalibration(ScreenshotContext& ctx, int node, const char* pageName) {
  ModuleRec* rec = Listed(ctx, node);
  if (!rec) return false;
  if (ModuleDialog* open = ModuleDialog_FromHandle(rec->dialog)) open->close();
  const bool wasFactory = FactoryMode();
  FactoryMode_Set(true);
  ModuleList_OpenDialog(rec);
  ModuleDialog* dialog = ModuleDialog_FromHandle(rec->dialog);
  QWidget* page = nullptr;
  for (int i = 0; dialog && i < dialog->tabControl()->count(); ++i) {
    if (dialog->tabControl()->widget(i)->objectName() == pageName) {
      dialog->tabControl()->setCurrentIndex(i);
      page = dialog->tabControl()->widget(i);
    }
  }
  auto* button = page ? page->findChild<QPushButton*>("factoryCalib") : nullptr;
  if (button) button->click();
  FactoryMode_Set(wasFactory);
  if (!button) std::fprintf(stderr, "kvxscreens: module %d has no %s with factory calibration\n", node, pageName);
  return button != nullptr;
}

// A multifunction module with two 12-bit analog outputs on node 25.
constexpr int kOutputNode = 25;
void AddOutputModule(ScreenshotContext& ctx) {
  if (ctx.sim->findModule(0, kOutputNode) >= 0) return;
  SimModuleConfig c = SimModuleConfig::make(0, kOutputNode, 30);
  SimChannelGroup ao;
  ao.group = SimIoGroup::AnalogOut;
  ao.typeNumber = 3;
  ao.configs = {0x0104, 0x010C};
  ao.count = 2;
  ao.valueIndex = 0x6411;
  ao.aligned = true;
  ao.initialValue = 2730u << 4;
  SimIo_AddChannels(c, ao);
  SimCalibPoints factory;
  factory.values[0] = 0x42C80000u;  // X1 = 100
  factory.values[1] = 0xC0000000u;  // Y1 = -2
  c.io.calibration[SimCalibKey(0x80, 1, 4)] = factory;
  ctx.sim->addModule(c);
}

// A SAMC21 module on node 26 whose converters answer the base calibration
// command as a calibrated module would.
constexpr int kSamNode = 26;
void AddSamModule(ScreenshotContext& ctx) {
  if (ctx.sim->findModule(0, kSamNode) >= 0) return;
  SimModuleConfig c = SimModuleConfig::make(0, kSamNode, 32);
  c.cpu = 6;
  SimChannelGroup ai;
  ai.configs = {0x0100, 0x0103};
  ai.count = 2;
  SimIo_AddChannels(c, ai);
  const SimModuleId id = ctx.sim->addModule(c);
  ctx.sim->withModule(id, [](SimModule& m) {
    m.setHandler(53, [](SimModule& mod, const ModuleRequest& rq) {
      if (!rq.wantsReply) return;
      const int adc = rq.frame.data[1] >> 7, sub = rq.frame.data[1] & 0x7F;
      SimFrame f = rq.frame;
      f.id = rq.answerId;
      f.len = 8;
      uint8_t b[8] = {53, uint8_t(adc ? 3 : 7), 0x2A, 0x08, 0, 0, 0, 0};
      auto word = [&](int at, int v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); };
      const float reference = sub == 7 ? 0.5f : 9.5f;
      switch (sub) {
        case 0: word(4, 12); break;
        case 1: word(4, 214), word(6, 205); break;
        case 2: word(4, 3871), word(6, 3890); break;
        case 6: word(4, adc ? 0x000C : 0x0003); break;
        case 7:
        case 8:
          b[1] |= 0x10;
          std::memcpy(&b[2], &reference, 4);
          word(6, sub == 7 ? 205 : 3890);
          break;
      }
      std::memcpy(f.data, b, 8);
      mod.host()->transmit(mod, f, 0);
    });
  });
}

}  // namespace

KVX_SCREENSHOT("analog-input-calibration") {
  // The demo's module on node 3 with its inputs wired to a process calibrator.
  static auto metrahit = std::make_shared<SimCalibrator>(SimCalibratorModel::ProcessCalibrator);
  if (!metrahit->start()) return nullptr;
  ctx.sim->connectAnalogSource("metrahit", metrahit);
  Option_SetString("METRAHIT_COMPORTNAME", metrahit->devicePath().c_str());
  std::string samples = __FILE__;
  samples = samples.substr(0, samples.rfind("tools/screenshots/")) + "sim/calib-sequences";
  Option_SetWString("CALIB_SEQ_DIR1", Text_Widen(samples));
  if (!PressFactoryCalibration(ctx, 3, "TAB_MOD_ANALOGIN")) return nullptr;
  AnalogInCalibDialog* dialog = AnalogInCalib_Instance();
  if (!dialog) return nullptr;
  // Into the sequence: its first step, settling in the initial window.
  AnalogInCalib& calib = dialog->calib();
  calib.run();
  for (int i = 0; i < 9; ++i) {
    if (i % 2 == 0) calib.valueTick();
    calib.runnerTick();
  }
  dialog->render();
  return dialog;
}

KVX_SCREENSHOT("analog-output-calibration") {
  AddOutputModule(ctx);
  if (!PressFactoryCalibration(ctx, kOutputNode, "TAB_MOD_ANALOGOUT")) return nullptr;
  AnalogOutCalibDialog* dialog = AnalogOutCalib_Instance();
  if (!dialog) return nullptr;
  dialog->calib().chooseConfig(1);
  dialog->calib().valueTick();
  dialog->render();
  return dialog;
}

KVX_SCREENSHOT("sam-base-calibration") {
  AddSamModule(ctx);
  ModuleRec* rec = Listed(ctx, kSamNode);
  if (!rec) return nullptr;
  auto* dialog = qobject_cast<SamBaseCalibDialog*>(SamBaseCalib_Open(ctx.mainWindow, rec));
  if (!dialog) return nullptr;
  dialog->panel().statusTick();
  return dialog;
}
