// The analog trace file of the input calibration: a header naming the
// module and the columns, then one line per value update with the seconds
// since the trace started, the reference temperature (when that column is
// there) and the value of every active channel, each field after three
// blanks. Single-byte (Latin-1) text; "°C" is written as one byte.
//
//   # Trace of 2 analog input channels of KVX 740-02, CAN ID 3, started on 05 Mar 2026, 14:03:07
//   # Time(sec)      Chan:0(V)      Chan:1(V)
//
//          0.25             0.01          -1.249
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Clock.h"

// "Chan:%d(%s)" with the unit of the channel's configuration, "Chan:%d" for
// a configuration without unit, "Chan:%d(off)" for a channel without one.
std::string AnalogTrace_ChannelHead(int channel, bool hasConfig, const std::string& unit);

// What the header says. orderCode "" without catalogue row; busName ""
// without module.
struct AnalogTraceHeader {
  int channelCount = 0;
  std::string orderCode;
  std::string busName;
  int node = 0;
  LocalTime started;
  bool refColumn = false;                // "RefTemp(°C)" column
  std::vector<std::string> channelHeads;  // AnalogTrace_ChannelHead of every channel
};
// The header as the file holds it (Latin-1), two line feeds at its end.
std::string AnalogTrace_HeaderText(const AnalogTraceHeader& header);
// One data line, line feed included.
std::string AnalogTrace_DataLine(double seconds, bool refColumn, double refTemp,
                                 const std::vector<double>& values);

// The trace of one opening of the dialog: the "Save trace to file..." check
// box starts and stops it; in append mode (ANALOG_TRACE_APPEND_MODE) a
// stopped trace resumes into the same file.
class AnalogTrace {
 public:
  bool active() const { return active_; }
  bool prepared() const { return prepared_; }
  bool refColumn() const { return refColumn_; }

  // The check box. When a new file is needed, asks for it ("Save Trace to
  // file", remembered in RECENT_TRACEFILE) and writes the header that
  // makeHeader gives; a file that cannot be written is reported.
  void toggle(const std::function<AnalogTraceHeader()>& makeHeader);

  // A value update that began `seconds` after the trace started: appends
  // its line. False when the file could not be written (reported); the trace
  // has stopped then.
  bool writeLine(double seconds, double refTemp, const std::vector<double>& values);
  // Seconds since the trace started.
  double elapsedSeconds() const;

 private:
  bool writeHeader(const std::string& path, const AnalogTraceHeader& header);
  void reportUnwritable();

  bool active_ = false;
  bool prepared_ = false;
  bool refColumn_ = false;
  int64_t startMs_ = 0;
};
