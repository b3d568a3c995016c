// The rules of the "Settings" dialog's pages, apart from the widgets: what a
// page shows from the options when it appears and what it stores when it is
// left (ranges, swaps, defaults for text that is no number). The dialog
// remembers the page last selected for its next opening.
#pragma once

#include <string>

enum : int {
  TAB_SET_GENERAL = 0,
  TAB_SET_SCANBUS = 1,
  TAB_SET_FIRMWARE = 2,
  TAB_SET_LOGGER = 3,      // the CAN logger's "Settings..." asks for this one
  TAB_SET_CALIBRATOR = 4,  // factory mode
  TAB_SET_TESTO = 5,       // factory mode
};

// The page to open at: the one asked for, else the one remembered; within
// 0 .. pageCount - 1.
int SettingsPages_OpeningPage(int requested, int pageCount);
void SettingsPages_RememberPage(int page);

// ---- "General" -----------------------------------------------------------------
struct GeneralSettings {
  bool askBeforeExit = false;
  bool errorsInStatusBar = false;
  bool debugFeatures = false;
  bool moduleTest = false;    // shown in factory mode only
  bool reverseBits = false;   // shown in factory mode only
  bool autoInterface = false;
};
GeneralSettings GeneralPage_Show();
// Stores the boxes; when "Enable Debug Features" differs from debugWhenShown
// the debug log is opened (appending) or closed at once.
void GeneralPage_Store(const GeneralSettings& values, bool debugWhenShown);

// ---- "Scan Bus" ----------------------------------------------------------------
struct ScanBusSettings {
  bool scanOnStart = false;
  std::string rangeFrom, rangeTo, interval;
  bool openDialogs = false;
  std::string maxDialogs;
  bool flashScan = false;
};
ScanBusSettings ScanBusPage_Show();
// Numbers are read as unsigned decimal (other text reads as 0, numbers beyond
// 32 bits as the largest). The range is limited to 1..127 and put in order,
// the interval to 10..1000 ms; automatic opening is stored off below 1 dialog.
void ScanBusPage_Store(const ScanBusSettings& values);

// ---- "Firmware Update" ---------------------------------------------------------
struct FirmwareSettings {
  bool synchronous = false;
  std::string interval;  // "%.0f" from 10 ms on, else "%.1f"
  bool allowWrongType = false;
};
FirmwareSettings FirmwarePage_Show();
// The interval: text that is no number gives 10; limited to 0.1..1000 ms.
void FirmwarePage_Store(const FirmwareSettings& values);

// ---- "CAN Logger" --------------------------------------------------------------
struct LoggerSettings {
  std::string bufferSize;  // messages
  bool sourceTimestamp = false;
};
LoggerSettings LoggerPage_Show();
// The buffer size: text that is no number gives 32000; at least 1000.
void LoggerPage_Store(const LoggerSettings& values);
