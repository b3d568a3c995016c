#include "calib/AnalogTrace.h"

#include <cstdio>

#include "calib/CalibDataFile.h"
#include "core/DateText.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/TextFormat.h"
#include "ui/Ui.h"

namespace {

constexpr const char* kTraceOption = "RECENT_TRACEFILE";

// Writes the bytes to path (created anew, or appended to). False when the
// file could not be written completely.
bool WriteBytes(const std::string& path, const std::string& bytes, const char* mode) {
  std::FILE* file = std::fopen(path.c_str(), mode);
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

std::string RememberedFile() {
  std::string name = Option_GetText(kTraceOption);
  if (!name.empty() && (name.back() == '\\' || name.back() == '/')) name.pop_back();
  return name;
}

}  // namespace

std::string AnalogTrace_ChannelHead(int channel, bool hasConfig, const std::string& unit) {
  if (!hasConfig) return Text_Format("Chan:%d(off)", channel);
  if (unit.empty()) return Text_Format("Chan:%d", channel);
  return Text_Format("Chan:%d(%s)", channel, unit.c_str());
}

std::string AnalogTrace_HeaderText(const AnalogTraceHeader& h) {
  const std::string of = h.orderCode.empty() ? "" : Text_Format("of %s", h.orderCode.c_str());
  const std::string id = h.busName.empty() ? "" : Text_Format(", %s ID %d", h.busName.c_str(), h.node);
  // Formatted in the file's character set, so that the columns line up.
  std::string text = CalibFile_ToLatin1(
      Text_Format("# Trace of %d analog input channels %s%s, started on %s\n", h.channelCount, of.c_str(),
                  id.c_str(), VornProt_DateText(h.started).c_str()));
  text += "# Time(sec)";
  if (h.refColumn) text += Text_Format("   %12s", CalibFile_ToLatin1("RefTemp(\u00B0C)").c_str());
  for (const std::string& head : h.channelHeads) {
    text += Text_Format("   %12s", CalibFile_ToLatin1(head).c_str());
  }
  return text + "\n\n";
}

std::string AnalogTrace_DataLine(double seconds, bool refColumn, double refTemp,
                                 const std::vector<double>& values) {
  std::string line = Text_Format("   %8.2f", seconds);
  if (refColumn) line += Text_Format("   %12g", refTemp);
  for (double v : values) line += Text_Format("   %12g", v);
  return line + "\n";
}

void AnalogTrace::toggle(const std::function<AnalogTraceHeader()>& makeHeader) {
  if (active_) {
    active_ = false;  // the file stays as it is
    return;
  }
  if (Option_GetInt("ANALOG_TRACE_APPEND_MODE") == 0) prepared_ = false;
  if (prepared_) {
    active_ = true;
    return;
  }
  UiFileRequest request;
  request.title = "Save Trace to file";
  request.filter = "Data files (*.dat, *.txt)|*.dat;*.txt|All files (*.*)|*.*";
  request.initialPath = RememberedFile();
  request.defaultExtension = "dat";
  std::string path;
  if (!Ui_SaveFile(request, path)) return;
  Option_SetText(kTraceOption, path);
  const AnalogTraceHeader header = makeHeader();
  if (!writeHeader(path, header)) {
    reportUnwritable();
    return;
  }
  refColumn_ = header.refColumn;
  prepared_ = true;
  active_ = true;
}

bool AnalogTrace::writeHeader(const std::string& path, const AnalogTraceHeader& header) {
  startMs_ = Clock_NowMs();
  return WriteBytes(path, AnalogTrace_HeaderText(header), "w");
}

double AnalogTrace::elapsedSeconds() const { return double(Clock_NowMs() - startMs_) / 1000.0; }

bool AnalogTrace::writeLine(double seconds, double refTemp, const std::vector<double>& values) {
  if (!active_) return true;
  const std::string line = AnalogTrace_DataLine(seconds, refColumn_, refTemp, values);
  if (WriteBytes(Option_GetText(kTraceOption), line, "a")) return true;
  // A trace that goes on silently without its lines would look complete.
  active_ = false;
  prepared_ = false;
  reportUnwritable();
  return false;
}

void AnalogTrace::reportUnwritable() {
  ShowErrorBox("Cannot write trace file '%s'", Option_GetText(kTraceOption));
}
