#include "firmware/FwUpload.h"

#include <cmath>
#include <cstdarg>
#include <initializer_list>
#include <limits>
#include <vector>

#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Session.h"
#include "core/Shell.h"
#include "core/TextFormat.h"
#include "core/WideText.h"
#include "firmware/FwUploadCpu.h"
#include "firmware/HexFile.h"
#include "platform/Clock.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleStatus.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"
#include "protocol/VornProtText.h"
#include "protocol/WireConstants.h"

namespace {

constexpr int kFrameData = 7;     // data bytes of one block data frame
constexpr int kLastBytesMax = 6;  // data bytes the end-of-block frame carries at most

struct Engine {
  int32_t state = FWUPLOAD_START;
  int node = 0;
  HexSegment* image = nullptr;  // owned; freed when the upload ends or the next starts
  const FwUploadCpu* cpu = nullptr;
  HexSegment** link = nullptr;  // the pointer that holds the current segment
  int32_t readOffset = 0;
  int32_t bytesInBlock = 0;
  uint32_t transferCount = 0;
  uint32_t transferSum = 0;
  int32_t sent = 0;
  int32_t total = 0;
  std::string message;
  // Where a failed upload can go on (FwUpload_Resume): the state to go back
  // to, the segment and the offset of the flash block being written there,
  // and the progress at that point. FWUPLOAD_START: from the beginning.
  int32_t resumeState = FWUPLOAD_START;
  HexSegment** resumeLink = nullptr;
  int32_t resumeOffset = 0;
  int32_t resumeSent = 0;

  ~Engine() { HexFile_Free(image); }
};

Engine& engine() { return Session_Part<Engine>(); }

HexSegment* Current() { return engine().link ? *engine().link : nullptr; }

void FreeImage() {
  HexFile_Free(engine().image);
  engine().image = nullptr;
  engine().link = nullptr;
}

// Sets the failure text; the next step frees the image and reports -1.
void Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  engine().message = Text_FormatV(format, args);
  va_end(args);
  engine().state = FWUPLOAD_FAILED;
}

// Remembers the point a failure after it goes back to.
void SetResumePoint(int32_t state, int32_t offset) {
  engine().resumeState = state;
  engine().resumeLink = engine().link;
  engine().resumeOffset = offset;
  engine().resumeSent = engine().sent;
}

bool Synchronous() { return Option_GetInt("PROGRAM_SEND_SYNC") != 0; }

bool Request(CanMsg& msg, int len, int command, std::initializer_list<int> params = {}) {
  return VornProt_RequestMessage(msg, engine().node, len, command, params) == 1;
}

// The synchronous form waits for the acknowledgement, the asynchronous one does not.
bool Transmit(int len, int asyncCommand, int syncCommand, std::initializer_list<int> params) {
  CanMsg msg;
  if (Synchronous()) return Request(msg, len, syncCommand, params);
  return VornProt_SendMessage(msg, engine().node, len, asyncCommand, params) == 0;
}

bool StartBlockTransfer(uint32_t byteAddress) {
  const uint32_t a = FwUploadCpu_BlockAddress(*engine().cpu, byteAddress);
  return Transmit(8, VORN_CMD_BLOCK_START, VORN_CMD_BLOCK_START_ACK,
                  {Wire::VORN_MEMORY_FLASH, 0, 0, int(a >> 24 & 0xFF), int(a >> 16 & 0xFF),
                   int(a >> 8 & 0xFF), int(a & 0xFF)});
}

// Takes n bytes of the current segment into the transfer count and sum.
void Account(const uint8_t* bytes, int n) {
  engine().transferCount += uint32_t(n);
  for (int i = 0; i < n; ++i) engine().transferSum += bytes[i];
}

// Fails the upload with the module's own error text when its reply carries one.
bool ModuleRefused(const CanMsg& reply, int errorNumber) {
  if (reply.data[1] == 0) return false;
  Fail("Upload error #%d, transmission terminated.\nModule message: %s", errorNumber,
       VornProt_BootErrorText(int(reply.data[1] & 0xFF)));
  return true;
}

// Check mode 11: ones' complement of the sum; any other: the byte count.
bool CheckValueMatches(const CanMsg& reply) {
  const unsigned value = (reply.data[6] & 0xFF) << 8 | (reply.data[7] & 0xFF);
  if ((reply.data[5] & 0xFF) == Wire::VORN_CHECK_MODE_SUM) return value == (~engine().transferSum & 0xFFFF);
  return value == (engine().transferCount & 0xFFFF);
}

// ---- state 0 ----------------------------------------------------------------------

int32_t TotalBelowLimit() {
  int64_t total = 0;
  for (const HexSegment* s = engine().image; s; s = s->next)
    if (s->address < engine().cpu->addressLimit) total += s->length + int64_t(s->address % uint32_t(engine().cpu->blockSize));
  return total > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : int32_t(total);
}

void StepStart(ModuleRec& rec, const std::string& fileName) {
  FreeImage();
  if (HexFile_Read(&engine().image, fileName) != HEXERR_NONE) {
    FreeImage();
    Fail("Hex file read error:\n%s", HexFile_GetErrorText());
    return;
  }
  if (!rec.infoValid && !ModuleStatus_ReadInfo(rec)) {
    Fail("Cannot determine module CPU type");
    return;
  }
  engine().cpu = FwUploadCpu_Find(int(rec.info6));
  if (!engine().cpu) {
    Fail("Unsupported CPU %s", VornProt_CpuName(int(rec.info6)));
    return;
  }
  // An image with nothing for this module's flash would end in a validated
  // firmware that was never written: refuse it before the module is touched.
  const int32_t total = TotalBelowLimit();
  if (total == 0) {
    Fail("Hex file holds no data below address 0x%X", unsigned(engine().cpu->addressLimit));
    return;
  }
  rec.infoValid = 0;  // the module is about to change
  CanMsg msg;
  if (!Request(msg, 8, VORN_CMD_FIRMWARE_STATUS, {0, 0, 0, 0, 0, 0, 0})) {
    Fail("Cannot invalidate module firmware status");
    return;
  }
  engine().total = total;
  engine().sent = 0;
  engine().link = &engine().image;
  engine().state = FWUPLOAD_BLOCK_INIT;
  SetResumePoint(FWUPLOAD_BLOCK_INIT, 0);
}

// ---- state 10 ---------------------------------------------------------------------

// Reads count bytes back from the module at the transfer address, seven per request.
bool ReadBack(int32_t count, std::vector<uint8_t>& out) {
  while (int32_t(out.size()) < count) {
    CanMsg msg;
    if (!Request(msg, 1, VORN_CMD_BLOCK_READ)) return false;
    for (int i = 1; i <= kFrameData && int32_t(out.size()) < count; ++i) out.push_back(uint8_t(msg.data[i]));
  }
  return true;
}

// Lets the segment start on a flash block: the bytes between the block start
// and the segment come from the module itself, so the block keeps them.
bool AlignSegment(HexSegment* segment) {
  const int32_t pad = int32_t(segment->address % uint32_t(engine().cpu->blockSize));
  if (pad == 0) return true;
  const uint32_t blockStart = segment->address - uint32_t(pad);
  std::vector<uint8_t> bytes;
  bytes.reserve(size_t(pad) + size_t(segment->length));
  if (!StartBlockTransfer(blockStart) || !ReadBack(pad, bytes)) return false;
  bytes.insert(bytes.end(), segment->data, segment->data + segment->length);
  HexSegment* padded = HexSegment_New(blockStart, bytes.data(), int32_t(bytes.size()));
  if (!padded) return false;
  padded->next = segment->next;
  segment->next = nullptr;
  HexFile_Free(segment);
  *engine().link = padded;
  return true;
}

void StepBlockInit() {
  engine().readOffset = 0;
  HexSegment* segment = Current();
  if (!segment) {
    engine().state = FWUPLOAD_FINALIZE;
    SetResumePoint(FWUPLOAD_FINALIZE, 0);
    return;
  }
  if (segment->address >= engine().cpu->addressLimit) {
    engine().link = &segment->next;  // not program flash: skipped
    SetResumePoint(FWUPLOAD_BLOCK_INIT, 0);
    return;
  }
  if (!AlignSegment(segment)) {
    Fail("Failed to fill up data block\nfor block address alignment");
    return;
  }
  segment = Current();
  if (!StartBlockTransfer(segment->address)) {
    Fail("Failed to initialize block transfer,\nblock start address 0x%x",
         unsigned(FwUploadCpu_BlockAddress(*engine().cpu, segment->address)));
    return;
  }
  engine().bytesInBlock = 0;
  engine().transferCount = 0;
  engine().transferSum = 0;
  engine().state = FWUPLOAD_FIRST_DATA;
  SetResumePoint(FWUPLOAD_FIRST_DATA, 0);  // the segment is aligned now
}

// ---- states 20, 21 ----------------------------------------------------------------

void StepData() {
  HexSegment* segment = Current();
  if (engine().bytesInBlock > engine().cpu->blockSize - kFrameData || engine().readOffset > segment->length - kFrameData) {
    engine().state = FWUPLOAD_BLOCK_END;
    return;
  }
  const uint8_t* b = segment->data + engine().readOffset;
  Account(b, kFrameData);
  if (!Transmit(8, VORN_CMD_BLOCK_WRITE, VORN_CMD_BLOCK_WRITE_ACK, {b[0], b[1], b[2], b[3], b[4], b[5], b[6]})) {
    Fail("Failed to transmit block data");
    return;
  }
  engine().readOffset += kFrameData;
  engine().bytesInBlock += kFrameData;
  engine().sent += kFrameData;
  if (engine().state == FWUPLOAD_DATA) return;

  // The first frame of a transfer: does the module take the data at all?
  CanMsg msg;
  if (!Request(msg, 1, VORN_CMD_BLOCK_STATUS)) {
    Fail("Upload error #1, transmission terminated");
    return;
  }
  if (ModuleRefused(msg, 1)) return;
  if (!CheckValueMatches(msg)) {
    Fail("Upload checksum error #1\n(try synchronous mode)");
    return;
  }
  engine().state = FWUPLOAD_DATA;
}

// ---- state 30 ---------------------------------------------------------------------

void StepBlockEnd() {
  HexSegment* segment = Current();
  const int32_t blockLeft = engine().cpu->blockSize - engine().bytesInBlock;
  const int32_t segmentLeft = segment->length - engine().readOffset;
  const int32_t n = blockLeft < segmentLeft ? blockLeft : segmentLeft;
  if (n > kLastBytesMax || n < 0) {
    Fail("Internal error: remain = %d", int(n));
    return;
  }
  int bytes[kLastBytesMax] = {};
  for (int i = 0; i < n; ++i) bytes[i] = segment->data[engine().readOffset + i];
  Account(segment->data + engine().readOffset, n);
  CanMsg msg;
  if (!Request(msg, 8, VORN_CMD_BLOCK_END, {n, bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5]})) {
    Fail("Upload error #2, transmission terminated.\nInterface error");
    return;
  }
  if (ModuleRefused(msg, 2)) return;
  if (!CheckValueMatches(msg)) {
    Fail("Upload checksum error #2\n(try synchronous mode)");
    return;
  }
  engine().bytesInBlock = 0;
  engine().readOffset += n;
  engine().sent += n;
  if (engine().readOffset >= segment->length) {
    engine().link = &segment->next;
    engine().state = FWUPLOAD_BLOCK_INIT;
    SetResumePoint(FWUPLOAD_BLOCK_INIT, 0);
  } else {
    engine().state = FWUPLOAD_DATA;  // the module goes on with the next flash block of the same transfer
    SetResumePoint(FWUPLOAD_FIRST_DATA, engine().readOffset);
  }
}

// ---- state 40 ---------------------------------------------------------------------

void StepFinalize() {
  const LocalTime t = Clock_LocalTime();
  CanMsg msg;
  if (!Request(msg, 8, VORN_CMD_SET_PROGRAMMING_DATE,
               {t.year / 100, t.year % 100, t.month, t.day, t.hour, t.minute, t.second})) {
    Fail("Upload error #3, transmission terminated\n(finalization 1 failed)");
    return;
  }
  if (engine().cpu->finalizeWithKey) {
    const uint8_t* key = Wire::VORN_BOOT_KEY;
    if (!Request(msg, 5, VORN_CMD_BOOT_COMMAND, {key[0], key[1], key[2], key[3]})) {
      Fail("Upload error #4, transmission terminated\n(finalization 2 failed)");
      return;
    }
    if (ModuleRefused(msg, 5)) return;
  }
  if (!Request(msg, 8, VORN_CMD_FIRMWARE_STATUS, {0, 0, 0, 0, 0, 0, 1})) {
    Fail("Upload error #6, transmission terminated\n(finalization 3 failed)");
    return;
  }
  engine().state = FWUPLOAD_DONE;
}

int StepCurrent() {
  switch (engine().state) {
    case FWUPLOAD_BLOCK_INIT: StepBlockInit(); return 0;
    case FWUPLOAD_FIRST_DATA:
    case FWUPLOAD_DATA: StepData(); return 0;
    case FWUPLOAD_BLOCK_END: StepBlockEnd(); return 0;
    case FWUPLOAD_FINALIZE: StepFinalize(); return 0;
    case FWUPLOAD_DONE: FreeImage(); return 1;
    case FWUPLOAD_FAILED:
      // A failure after the start keeps the image for FwUpload_Resume.
      if (engine().resumeState == FWUPLOAD_START) FreeImage();
      return -1;
    default:
      ShowError("Internal error: Illegal state %d", int(engine().state));
      return -1;
  }
}

}  // namespace

int FwUpload_Step(ModuleRec& rec, const char* fileName) {
  if (!fileName) return StepCurrent();
  engine().state = FWUPLOAD_START;
  engine().resumeState = FWUPLOAD_START;
  engine().message.clear();
  engine().sent = 0;
  engine().total = 0;
  engine().node = rec.node;
  StepStart(rec, fileName);
  return 0;
}

int FwUpload_Resume(ModuleRec& rec) {
  Engine& e = engine();
  if (e.state != FWUPLOAD_FAILED || !e.image || e.resumeState == FWUPLOAD_START) return -1;
  e.message.clear();
  e.node = rec.node;
  rec.infoValid = 0;
  e.link = e.resumeLink;
  e.sent = e.resumeSent;
  if (e.resumeState != FWUPLOAD_FIRST_DATA) {
    e.state = e.resumeState;
    return 0;
  }
  // A new transfer from the start of the flash block that failed: the
  // module writes that block again, whatever it took of it before.
  const HexSegment* segment = Current();
  e.readOffset = e.resumeOffset;
  e.bytesInBlock = 0;
  e.transferCount = 0;
  e.transferSum = 0;
  e.state = FWUPLOAD_FIRST_DATA;
  const uint32_t address = segment->address + uint32_t(e.resumeOffset);
  if (!StartBlockTransfer(address))
    Fail("Failed to initialize block transfer,\nblock start address 0x%x",
         unsigned(FwUploadCpu_BlockAddress(*e.cpu, address)));
  return 0;
}

int FwUpload_Step(ModuleRec& rec, const std::wstring& fileName) {
  return FwUpload_Step(rec, Text_Narrow(fileName).c_str());
}

const char* FwUpload_GetMessage() { return engine().message.c_str(); }

int FwUpload_GetState() { return engine().state; }

FwUploadProgress FwUpload_GetProgress() { return FwUploadProgress{engine().sent, engine().total}; }

bool FwUpload_Running() { return Busy(); }

void FwUpload_SetRunning(bool running) {
  SetBusy(running);
  UpdateControls();
}

FwUploadPacing FwUpload_Pacing(double intervalMs) {
  FwUploadPacing p;
  if (std::isnan(intervalMs)) return p;
  if (intervalMs >= 10) {
    const double period = std::floor(intervalMs);
    p.periodMs = period > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : int(period);
    p.stepsPerTick = 1;
    return p;
  }
  p.periodMs = 10;
  // A tiny allowance keeps quotients like 10 / 0.2 from falling just below a whole number.
  const double steps = intervalMs > 0 ? std::floor(10.0 / intervalMs + 1e-9) : 100;
  p.stepsPerTick = steps >= 100 ? 100 : steps < 1 ? 1 : int(steps);
  return p;
}

FwUploadPacing FwUpload_PacingFromOptions() {
  return FwUpload_Pacing(Option_GetDouble("PROGRAM_SEND_INTERVAL_MS"));
}

int FwUpload_NextTickDelayMs(const FwUploadPacing& pacing, int64_t tickStartedMs) {
  const int64_t left = pacing.periodMs - (Clock_NowMs() - tickStartedMs);
  return left < 0 ? 0 : left > pacing.periodMs ? pacing.periodMs : int(left);
}
