#include "protocol/BusScan.h"

#include <utility>

#include "bus/Interface.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Session.h"
#include "core/Shell.h"
#include "protocol/ModuleList.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"
#include "ui/Ui.h"

namespace {

void sendTick();
void checkTick();
void collectTick();

struct ScanState {
  int current = 0;
  int first = 0;
  int last = 0;
  bool collecting = false;
  std::function<void(int)> progress;
  UiTimer send{sendTick};
  UiTimer check{checkTick};
  UiTimer collect{collectTick};
};

ScanState& scan() { return Session_Part<ScanState>(); }

void showProgress(int percent) {
  if (scan().progress) scan().progress(percent);
}

int clampNode(int node) {
  return node < 0 ? 0 : (node > VORN_PROT_MAX_NODE ? VORN_PROT_MAX_NODE : node);
}

void startCollecting() {
  ScanState& s = scan();
  s.send.stop();
  s.collecting = true;
  s.collect.start(Option_GetInt("SCAN_COLLECT_INTERVAL_MS"));
}

void endScan() {
  SetScanRunning(false);
  UpdateControls();
  SetWaitCursor(0);
}

void sendTick() {
  ScanState& s = scan();
  if (VornProt_ScanSend(s.current) != 0) {
    s.send.stop();
    s.check.stop();
    ShowError("Interface error:\n%s", GetInterfaceError());
    endScan();
    return;
  }
  const int span = s.last == s.first ? 1 : s.last - s.first;
  showProgress((s.current - s.first) * 100 / span);
  if (++s.current > s.last) startCollecting();
}

void checkTick() { VornProt_ScanCheck(); }

void collectTick() {
  ScanState& s = scan();
  s.check.stop();
  s.collect.stop();
  VornProt_ScanCheck();
  endScan();
}

void cancel() {
  ScanState& s = scan();
  if (!s.collecting) {
    startCollecting();
    return;
  }
  s.check.stop();
  s.collect.stop();
  endScan();
}

}  // namespace

void BusScan_Start() {
  if (ScanRunning() || Busy()) return;
  ScanState& s = scan();
  ClearStatusText();
  ModuleList_Clear();
  VornProt_ScanReset();
  ModuleList_UpdateHeader();
  SetWaitCursor(1);

  VornProt_SearchSend();

  // A range given the wrong way round is scanned the right way round.
  s.first = clampNode(Option_GetInt("SCAN_RANGE_START"));
  s.last = clampNode(Option_GetInt("SCAN_RANGE_STOP"));
  if (s.first > s.last) std::swap(s.first, s.last);

  if (Option_GetInt("SCAN_FLASHMODE")) {
    // Every module answers an identify request on node 0.
    CanMsg msg;
    VornProt_SendMessage(msg, 0, 1, VORN_CMD_IDENTIFY);
    showProgress(100);
    s.collecting = true;
    s.collect.start(Option_GetInt("SCAN_COLLECT_INTERVAL_MS"));
  } else {
    s.current = s.first;
    s.collecting = false;
    showProgress(0);
    s.send.start(Option_GetInt("SCAN_SEND_INTERVAL_MS"));
  }
  SetScanRunning(true);
  UpdateControls();
  s.check.start(Option_GetInt("SCAN_CHECK_INTERVAL_MS"));
}

void BusScan_Command() {
  if (ScanRunning())
    cancel();
  else
    BusScan_Start();
}

bool BusScan_Running() { return ScanRunning(); }

bool BusScan_Collecting() { return scan().collecting; }

void BusScan_SetProgressHook(std::function<void(int percent)> hook) {
  scan().progress = std::move(hook);
}

UiTimer& BusScan_Timer(int number) {
  ScanState& s = scan();
  return number == 1 ? s.send : (number == 2 ? s.check : s.collect);
}
