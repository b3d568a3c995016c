/* A fake CAN adapter library for the tests: the eight functions answer what
 * the test scripted, and every call is written down. Built several times,
 * once whole and once without each function (FAKE_WITHOUT_<name>), so that
 * the program meets every case through its real loading path.
 *
 * The test opens the same file itself first and scripts it through the
 * FakeAdapter_* functions; the program's later load then finds the same
 * instance. Like any adapter library it has one global state. */
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "platform/CanAdapterAbi.h"

#define EXPORT __attribute__((visibility("default")))

enum { kInit, kClose, kStatus, kWrite, kRead, kReadEx, kResetClient, kVersionInfo, kFunctions };
static const char* const kNames[kFunctions] = {"CAN_Init",   "CAN_Close",  "CAN_Status",      "CAN_Write",
                                               "CAN_Read",   "CAN_ReadEx", "CAN_ResetClient", "CAN_VersionInfo"};

#define kMaxScript 64
#define kMaxFrames 256

static struct {
  uint32_t script[kFunctions][kMaxScript];
  int scripted[kFunctions];
  int taken[kFunctions];
  CanAdapterMsg frames[kMaxFrames];
  uint32_t stamps[kMaxFrames];
  int frameCount, frameAt;
  char calls[64 * 1024];
  size_t callsLength;
} fake;

static void note(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const size_t room = sizeof fake.calls - fake.callsLength;
  const int n = vsnprintf(fake.calls + fake.callsLength, room, format, args);
  va_end(args);
  if (n > 0) fake.callsLength += (size_t)n < room ? (size_t)n : room - 1;
}

/* The next scripted result of a function; fallback when none is left. */
static uint32_t next(int function, uint32_t fallback) {
  if (fake.taken[function] >= fake.scripted[function]) return fallback;
  return fake.script[function][fake.taken[function]++];
}

/* ---- control ------------------------------------------------------------ */

/* The results the next calls of the named function answer, in order; once
 * they are used up it answers 0 (CAN_ReadEx: a queued frame, else 0x20). */
EXPORT void FakeAdapter_Script(const char* function, const uint32_t* results, int count) {
  for (int f = 0; f < kFunctions; ++f) {
    if (strcmp(kNames[f], function) != 0) continue;
    fake.scripted[f] = 0;
    fake.taken[f] = 0;
    for (int i = 0; i < count && i < kMaxScript; ++i) fake.script[f][fake.scripted[f]++] = results[i];
  }
}

/* A frame (or, with type 0x80, a status message) for CAN_ReadEx to deliver. */
EXPORT void FakeAdapter_Queue(const CanAdapterMsg* msg, uint32_t millis) {
  if (fake.frameCount >= kMaxFrames) return;
  fake.stamps[fake.frameCount] = millis;
  fake.frames[fake.frameCount++] = *msg;
}

/* Every call since the last clear, one line each. */
EXPORT const char* FakeAdapter_Calls(void) { return fake.calls; }

/* Forgets everything, or only the calls. */
EXPORT void FakeAdapter_Clear(void) { memset(&fake, 0, sizeof fake); }
EXPORT void FakeAdapter_ClearCalls(void) {
  fake.callsLength = 0;
  fake.calls[0] = '\0';
}

/* ---- the adapter library ---------------------------------------------------- */

#ifndef FAKE_WITHOUT_CAN_Init
EXPORT uint32_t CAN_Init(uint16_t bitTiming, int messageType) {
  note("CAN_Init 0x%04X %d\n", bitTiming, messageType);
  return next(kInit, 0);
}
#endif

#ifndef FAKE_WITHOUT_CAN_Close
EXPORT uint32_t CAN_Close(void) {
  note("CAN_Close\n");
  return next(kClose, 0);
}
#endif

#ifndef FAKE_WITHOUT_CAN_Status
EXPORT uint32_t CAN_Status(void) {
  note("CAN_Status\n");
  return next(kStatus, 0);
}
#endif

#ifndef FAKE_WITHOUT_CAN_Write
EXPORT uint32_t CAN_Write(CanAdapterMsg* msg) {
  note("CAN_Write %X %d %d", msg->id, msg->type, msg->len);
  for (int i = 0; i < 8; ++i) note(" %02X", msg->data[i]);
  note("\n");
  return next(kWrite, 0);
}
#endif

#ifndef FAKE_WITHOUT_CAN_Read
EXPORT uint32_t CAN_Read(CanAdapterMsg* msg) {
  (void)msg;
  note("CAN_Read\n");
  return next(kRead, CAN_ADAPTER_QRCVEMPTY);
}
#endif

#ifndef FAKE_WITHOUT_CAN_ReadEx
/* A scripted result with more than warning bits comes without a frame;
 * otherwise the next queued frame comes with it (0x20 when none is queued). */
EXPORT uint32_t CAN_ReadEx(CanAdapterMsg* msg, CanAdapterTimestamp* stamp) {
  note("CAN_ReadEx\n");
  const uint32_t r = next(kReadEx, 0);
  if (r & ~(uint32_t)(CAN_ADAPTER_BUSLIGHT | CAN_ADAPTER_BUSHEAVY)) return r;
  if (fake.frameAt >= fake.frameCount) return CAN_ADAPTER_QRCVEMPTY;
  *msg = fake.frames[fake.frameAt];
  memset(stamp, 0, sizeof *stamp);
  stamp->millis = fake.stamps[fake.frameAt++];
  return r;
}
#endif

#ifndef FAKE_WITHOUT_CAN_ResetClient
EXPORT uint32_t CAN_ResetClient(void) {
  note("CAN_ResetClient\n");
  fake.frameAt = fake.frameCount;
  return next(kResetClient, 0);
}
#endif

#ifndef FAKE_WITHOUT_CAN_VersionInfo
EXPORT uint32_t CAN_VersionInfo(char* text) {
  note("CAN_VersionInfo\n");
  snprintf(text, CAN_ADAPTER_VERSION_TEXT_SIZE, "fake adapter");
  return next(kVersionInfo, 0);
}
#endif
