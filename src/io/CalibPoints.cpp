#include "io/CalibPoints.h"

#include "io/CalibPointRequest.h"
#include "core/ErrorReport.h"
#include "core/TextFormat.h"
#include "protocol/ModuleList.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"
#include "ui/Ui.h"

// ---- the point command ----------------------------------------------------------

int CalibRequest_Read(int node, int channelByte, int opByte, int range, CalibValueBytes& value) {
  CanMsg reply;
  if (!VornProt_RequestMessage(reply, node, 4, VORN_CMD_CALIB_READ,
                               {channelByte & 0xFF, opByte & 0xFF, range & 0xFF})) {
    return 0;
  }
  for (int i = 0; i < 4; ++i) value[i] = uint8_t(reply.data[4 + i]);
  return 1;
}

int CalibRequest_Send8(int node, int channelByte, int opByte, int range, double value) {
  const CalibValueBytes bytes = CalibValue_Encode(value);
  CanMsg msg;
  return VornProt_RequestMessage(msg, node, 8, VORN_CMD_CALIB_WRITE,
                                 {channelByte & 0xFF, opByte & 0xFF, range & 0xFF, bytes[0],
                                  bytes[1], bytes[2], bytes[3]});
}

int CalibRequest_Send4(int node, int channelByte, int opByte, int range) {
  CanMsg msg;
  return VornProt_RequestMessage(msg, node, 4, VORN_CMD_CALIB_WRITE,
                                 {channelByte & 0xFF, opByte & 0xFF, range & 0xFF});
}

namespace {

// The type the command names: the configuration's kind, or the user set.
int TypeOf(int code, bool factory) { return factory ? (code >> 8) & 0x1F : CALIB_USER_TYPE; }
int RangeOf(int code) { return code & 0xFF; }

bool ValidPoint(int point) { return point == 1 || point == 2; }

int ChannelByte(int channel, bool outputs) {
  return channel + (outputs ? CALIB_OUTPUT_CHANNEL : 0);
}

// The configuration codes of a channel (none for a channel without a list).
struct ConfigCodes {
  const int* codes = nullptr;
  int count = 0;
};
ConfigCodes CodesOf(const ChanInfo& channels, int channel) {
  const ChanConfigList* list = ChanInfo_ConfigListOf(channels, channel);
  if (!list) return {};
  const int count = list->count < 0 ? 0 : list->count > CHANINFO_MAX_CONFIGS ? CHANINFO_MAX_CONFIGS
                                                                                  : list->count;
  return {list->codes, count};
}

int ChannelCount(const ChanInfo& channels) {
  if (channels.channelCount < 0) return 0;
  return channels.channelCount > CHANINFO_MAX_CHANNELS ? CHANINFO_MAX_CHANNELS
                                                       : channels.channelCount;
}

// Whether the channel has a user point: X of point 1, else X of point 2, is
// set. -1 when a read failed.
int HasUserPoints(int node, int channelByte) {
  CalibValueBytes x{};
  if (!CalibRequest_Read(node, channelByte, CalibRequest_OpByte(CALIB_OP_X1, CALIB_USER_TYPE), 0, x)) {
    return -1;
  }
  if (!CalibValue_IsEmpty(x)) return 1;
  if (!CalibRequest_Read(node, channelByte, CalibRequest_OpByte(CALIB_OP_X2, CALIB_USER_TYPE), 0, x)) {
    return -1;
  }
  return CalibValue_IsEmpty(x) ? 0 : 1;
}

}  // namespace

// ---- single points ---------------------------------------------------------------

int CalibData_ShowPoint(const ModuleRec& module, int point, bool factory, int channelByte,
                        int code, int displayMode, CalibPointTexts& texts) {
  if (!ValidPoint(point)) return -1;
  const int type = TypeOf(code, factory);
  const int xOp = point == 2 ? CALIB_OP_X2 : CALIB_OP_X1;
  const int yOp = point == 2 ? CALIB_OP_Y2 : CALIB_OP_Y1;
  CalibValueBytes x{}, y{};
  if (!CalibRequest_Read(module.node, channelByte, CalibRequest_OpByte(xOp, type), RangeOf(code), x)) {
    return -1;
  }
  std::string xText, yText;
  CalibData_PointTexts(x, CalibValueBytes{0xFF, 0xFF, 0xFF, 0xFF}, code, displayMode, xText, yText);
  texts.x = xText;
  if (!CalibRequest_Read(module.node, channelByte, CalibRequest_OpByte(yOp, type), RangeOf(code), y)) {
    return -1;
  }
  CalibData_PointTexts(x, y, code, displayMode, xText, yText);
  texts.y = yText;
  return 0;
}

int CalibData_ClearPoint(const ModuleRec& module, int point, bool factory, int channelByte,
                         int code) {
  if (!ValidPoint(point)) return 0;
  const int op = point == 1 ? CALIB_OP_CLEAR1 : CALIB_OP_CLEAR2;
  return CalibRequest_Send8(module.node, channelByte, CalibRequest_OpByte(op, TypeOf(code, factory)),
                            RangeOf(code), 0.0);
}

int CalibData_CalibratePoint(const ModuleRec& module, int point, bool factory, int channelByte,
                             int code, double reference) {
  if (!ValidPoint(point)) return 0;
  const int op = point == 1 ? CALIB_OP_CALIBRATE1 : CALIB_OP_CALIBRATE2;
  return CalibRequest_Send8(module.node, channelByte, CalibRequest_OpByte(op, TypeOf(code, factory)),
                            RangeOf(code), reference);
}

// ---- all channels -----------------------------------------------------------------

int CalibData_CheckUserPoints(const ModuleRec& module, const ChanInfo& channels, bool outputs) {
  bool found[CHANINFO_MAX_CHANNELS] = {};
  int foundCount = 0;
  const int count = ChannelCount(channels);
  for (int channel = 0; channel < count; ++channel) {
    const int has = HasUserPoints(module.node, ChannelByte(channel, outputs));
    if (has < 0) break;  // channels found so far still count
    if (has) {
      found[channel] = true;
      ++foundCount;
    }
  }
  if (foundCount == 0) return 0;

  const UiAnswer answer = Ui_MessageBox(
      Text_Format("User calibration point(s) found for %d %s channel(s).\n"
                  "Clear all user calibration points\n(required for factory calibration)?",
                  foundCount, outputs ? "output" : "input"),
      "Clear User Calibration Points", UiButtons::YesNoCancel, UiIcon::Question);
  if (answer == UiAnswer::Cancel) return -1;
  if (answer != UiAnswer::Yes) return 0;

  const int clear1 = CalibRequest_OpByte(CALIB_OP_CLEAR1, CALIB_USER_TYPE);
  const int clear2 = CalibRequest_OpByte(CALIB_OP_CLEAR2, CALIB_USER_TYPE);
  for (int channel = 0; channel < count; ++channel) {
    if (!found[channel]) continue;
    const int channelByte = ChannelByte(channel, outputs);
    // Both points are cleared even when the first clear fails.
    const int ok1 = CalibRequest_Send4(module.node, channelByte, clear1, 0);
    const int ok2 = CalibRequest_Send4(module.node, channelByte, clear2, 0);
    if (!ok1 || !ok2) break;
  }
  return 0;
}

int CalibData_ClearFactoryPoints(const ModuleRec& module, const ChanInfo& channels, bool outputs) {
  const UiAnswer answer = Ui_MessageBox(
      "Clear all factory calibration points\nfor all channels and all configurations?",
      "Clear All Factory Calibration Points", UiButtons::YesNo, UiIcon::Question);
  if (answer != UiAnswer::Yes) return -1;

  SetWaitCursor(1);
  bool failed = false;
  const int count = ChannelCount(channels);
  for (int channel = 0; channel < count && !failed; ++channel) {
    const ConfigCodes configs = CodesOf(channels, channel);
    for (int i = 0; i < configs.count && !failed; ++i) {
      const int code = configs.codes[i];
      const int type = TypeOf(code, true);
      const int channelByte = ChannelByte(channel, outputs);
      failed = !CalibRequest_Send4(module.node, channelByte, CalibRequest_OpByte(CALIB_OP_CLEAR1, type),
                                   RangeOf(code)) ||
               !CalibRequest_Send4(module.node, channelByte, CalibRequest_OpByte(CALIB_OP_CLEAR2, type),
                                   RangeOf(code));
    }
  }
  // The arrow comes back before the box, so the box is not shown under a wait cursor.
  SetWaitCursor(0);
  if (failed) ShowErrorBox("Could not clear all factory calibration points");
  return 0;
}
