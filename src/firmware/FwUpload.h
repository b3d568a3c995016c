// The upload engine: writes an Intel HEX firmware image into a module's flash
// through its bootloader, one protocol exchange per step, so that a timer can
// drive it and show progress in between. One engine exists for the whole
// program; the upload dialog and the multi-module update drive it.
//
//   FwUpload_Step(rec, "fw.hex");           // reset, read the file, prepare the module
//   while ((r = FwUpload_Step(rec)) == 0)   // one step per call (a timer tick runs several)
//     show FwUpload_GetProgress();
//   r == 1: done; r == -1: FwUpload_GetMessage() says why
#pragma once

#include <cstdint>
#include <string>

struct ModuleRec;

// Engine states.
enum FwUploadState : int32_t {
  FWUPLOAD_START = 0,        // read file and CPU type, invalidate the firmware
  FWUPLOAD_BLOCK_INIT = 10,  // next segment, alignment, block transfer start
  FWUPLOAD_FIRST_DATA = 20,  // one data frame, then the transfer status
  FWUPLOAD_DATA = 21,        // one data frame
  FWUPLOAD_BLOCK_END = 30,   // the last 0..6 bytes of the flash block, checked
  FWUPLOAD_FINALIZE = 40,    // programming date, command key, validate
  FWUPLOAD_DONE = 90,
  FWUPLOAD_FAILED = 99,
};

// With a file name: resets the engine (state 0, no message, progress 0 of 0)
// and performs the start step at once. Without: performs the step of the
// current state. 0 = go on, 1 = finished successfully, -1 = failed (the
// failure shows at the call after the step that failed). The record gives the
// node; its version cache is read when not valid and cleared at the start.
int FwUpload_Step(ModuleRec& rec, const char* fileName = nullptr);
int FwUpload_Step(ModuleRec& rec, const std::wstring& fileName);

// After a failed step (-1): goes on from the flash block (or the finalization)
// that failed, starting a new block transfer there; the progress goes back to
// that point. Every block is checked by the module as it ends, so the blocks
// written before stay. 0 = resumed (drive on with FwUpload_Step), -1 = nothing
// to resume (the start failed, or no upload failed): start again instead.
int FwUpload_Resume(ModuleRec& rec);

// The failure text of the last upload ("" while none failed).
const char* FwUpload_GetMessage();
int FwUpload_GetState();

// Bytes sent and bytes to send of the running upload (alignment fill included).
struct FwUploadProgress {
  int32_t sent = 0;
  int32_t total = 0;
};
FwUploadProgress FwUpload_GetProgress();

// The upload-running flag (the program's busy flag): set while an upload
// dialog or a multi-module update runs; scan and search stay disabled and no
// second upload starts. Setting it also updates the main window's controls.
bool FwUpload_Running();
void FwUpload_SetRunning(bool running);

// Timer pacing from PROGRAM_SEND_INTERVAL_MS: from 10 ms on, the period is the
// interval's integer part with one step per tick; below, the period is 10 ms
// with 10 / interval steps per tick (rounded toward zero, 1..100).
struct FwUploadPacing {
  int periodMs = 10;
  int stepsPerTick = 1;
};
FwUploadPacing FwUpload_Pacing(double intervalMs);
FwUploadPacing FwUpload_PacingFromOptions();
// Delay before the next tick of a tick that started at tickStartedMs
// (Clock_NowMs): the period less the time the tick's own requests took, never
// below 0, so that the pace holds however long the requests wait.
int FwUpload_NextTickDelayMs(const FwUploadPacing& pacing, int64_t tickStartedMs);
