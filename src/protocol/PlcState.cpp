#include "protocol/PlcState.h"

#include "ui/Ui.h"

std::string PlcState_Text(int state) {
  switch (state) {
    case 0: return "Run";
    case 1: return "Stop";
    case 2: return "Stop (Debug)";
    case 3:
    case 4: return "Run (Debug)";
    case kPlcNoAnswer: return "? (unknown)";
    default: return Ui_Format("? (#%d)", state);
  }
}

bool PlcState_CanStart(int state) { return state == 1 || state == 2; }
bool PlcState_CanStop(int state) { return state == 0; }
