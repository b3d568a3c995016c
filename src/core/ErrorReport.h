// Error reporting and the status bar, shared by every part of the program.
#pragma once

#include <string>

// printf-style error report: debug log, status bar, then a message box or, with
// ERRORS_IN_STATUSBAR set, only a beep (when PLAY_SOUNDS is set).
void ShowError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same, always with a message box.
void ShowErrorBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
// printf-style status bar text, cleared after ERRCLEAR_INTERVAL_MS; "" clears now.
void SetStatusText(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same as an empty SetStatusText: clears the text and stops the timer.
void ClearStatusText();
// The text last given to the status bar (without the leading blank).
const std::string& GetStatusText();
// 1 shows the wait cursor, anything else the arrow.
void SetWaitCursor(int on);

// Factory mode: decided once at start from the access file, then fixed.
bool FactoryMode();
// Reads "<home>/<program base name>.access"; on when its first line is FACTORY.
void FactoryMode_DecideAtStart();
// Whether an access file grants factory mode: its first line is exactly
// FACTORY (a line end written as CR LF is fine). A missing file does not.
bool FactoryMode_AccessFileGrants(const std::string& path);
// "<home>/<program base name>.access"
std::string FactoryMode_AccessFilePath();
// Fixes the mode for this session instead of deciding it from the access
// file (the tests use it; the program decides at start).
void FactoryMode_Set(bool on);

// Program-wide flags read by UpdateControls and the dialogs.
bool ScanRunning();
void SetScanRunning(bool running);
bool Busy();
void SetBusy(bool busy);

