#include "calib/CalibDataFile.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "io/CalibPoints.h"
#include "io/CalibPointRequest.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/TextFormat.h"
#include "core/WideText.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleType.h"
#include "ui/Ui.h"

// ---- the text of the file ------------------------------------------------------------

namespace {

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

void SkipSpace(const char*& p) {
  while (*p && IsSpace(*p)) ++p;
}

// Like "%d": white space, an optional sign, at least one digit. Numbers beyond
// the int range saturate instead of overflowing.
bool ScanInt(const char*& p, int& value) {
  SkipSpace(p);
  const char* q = p;
  const bool negative = *q == '-';
  if (*q == '-' || *q == '+') ++q;
  if (!std::isdigit(static_cast<unsigned char>(*q))) return false;
  long long number = 0;
  for (; std::isdigit(static_cast<unsigned char>(*q)); ++q) {
    if (number <= INT_MAX) number = number * 10 + (*q - '0');
  }
  if (negative) number = -number;
  value = number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : int(number);
  p = q;
  return true;
}

// Like "%s": white space, then everything up to the next white space.
bool ScanWord(const char*& p, std::string& word) {
  SkipSpace(p);
  if (!*p) return false;
  const char* start = p;
  while (*p && !IsSpace(*p)) ++p;
  word.assign(start, size_t(p - start));
  return true;
}

std::string PointText(const CalibValueBytes& x, const CalibValueBytes& y, const char* separator) {
  if (CalibValue_IsEmpty(x) || CalibValue_IsEmpty(y)) {
    return Text_Format("%s\t%s%s", CALIB_FILE_EMPTY, CALIB_FILE_EMPTY, separator);
  }
  return Text_Format("%g\t%g%s", CalibValue_Decode(x), CalibValue_Decode(y), separator);
}

}  // namespace

std::string CalibFile_DataLine(int channel, int configIndex, const CalibValueBytes values[4]) {
  return Text_Format("%d\t%d\t", channel, configIndex) + PointText(values[0], values[1], "\t") +
         PointText(values[2], values[3], "") + "\n";
}

std::string CalibFile_ToLatin1(const std::string& utf8) {
  std::string out;
  for (wchar_t c : Text_Widen(utf8)) out += c <= 0xFF ? char(c) : '?';
  return out;
}

CalibFileLine CalibFile_ParseLine(const std::string& line) {
  CalibFileLine result;
  const char* p = line.c_str();
  SkipSpace(p);
  if (*p == '\0') return result;
  if (*p == '#') {
    // "#%s %d": a keyword and a number; only MODULETYPE means anything.
    ++p;
    std::string word;
    int number = 0;
    if (ScanWord(p, word) && ScanInt(p, number) && word == "MODULETYPE") {
      result.kind = CalibFileLine::ModuleType;
      result.moduleType = number;
    }
    return result;
  }
  // "%d %d %s %s %s %s"
  result.kind = CalibFileLine::Short;
  if (!ScanInt(p, result.channel) || !ScanInt(p, result.configIndex)) return result;
  for (std::string& field : result.fields) {
    if (!ScanWord(p, field)) return result;
  }
  result.kind = CalibFileLine::Data;
  return result;
}

bool CalibFile_ReadLine(std::FILE* file, std::string& line) {
  line.clear();
  int c = std::getc(file);
  if (c == EOF) return false;
  bool ended = false;  // a NUL ends the text of the line
  for (; c != EOF && c != '\n'; c = std::getc(file)) {
    if (c == '\0') ended = true;
    if (!ended && line.size() < size_t(CALIB_FILE_MAX_LINE)) line += char(c);
  }
  return true;
}

bool CalibFile_IsEmptyField(const std::string& field) { return !field.empty() && field[0] == 'f'; }

bool CalibFile_ReadValue(const std::string& field, float& value) {
  const char* start = field.c_str();
  char* end = nullptr;
  const float number = std::strtof(start, &end);
  if (end == start || !std::isfinite(number)) return false;
  value = number;
  return true;
}

// ---- saving and loading ------------------------------------------------------------------

namespace {

const char* const kFileFilter = "Calibration data files (*.cal)|*.cal|All files (*.*)|*.*";
const char* const kFileOption = "CALIB_LOADSAVE_FILE";

const ModuleTypeInfo* CatalogueRow(const ModuleRec& module) {
  return module.typeInfo ? module.typeInfo : ModuleType_Find(int(module.type));
}

int ChannelCount(const ChanInfo& channels) {
  if (channels.channelCount < 0) return 0;
  return channels.channelCount > CHANINFO_MAX_CHANNELS ? CHANINFO_MAX_CHANNELS
                                                       : channels.channelCount;
}

int ConfigCount(const ChanInfo& channels, int channel) {
  const ChanConfigList* list = ChanInfo_ConfigListOf(channels, channel);
  if (!list || list->count < 0) return 0;
  return list->count > CHANINFO_MAX_CONFIGS ? CHANINFO_MAX_CONFIGS : list->count;
}

int ChannelByte(int channel, bool outputs) {
  return channel + (outputs ? CALIB_OUTPUT_CHANNEL : 0);
}

// The remembered file name, without a trailing separator, as the dialog's start.
std::string RememberedFile() {
  std::string name = Option_GetText(kFileOption);
  if (!name.empty() && (name.back() == '\\' || name.back() == '/')) name.pop_back();
  return name;
}

UiFileRequest FileRequest(const char* title) {
  UiFileRequest request;
  request.title = title;
  request.filter = kFileFilter;
  request.initialPath = RememberedFile();
  return request;
}

// Writes the header lines of the file.
void WriteHeader(std::FILE* file, const ModuleRec& module, int channelCount) {
  std::fputs("# KVX700 module calibration data\n", file);
  if (const ModuleTypeInfo* row = CatalogueRow(module)) {
    std::fprintf(file, "# %s, Firmware %d.%d\n", CalibFile_ToLatin1(row->orderCode).c_str(),
                 int(module.fwMajor), int(module.fwMinor));
  }
  std::fprintf(file, "# MODULETYPE %d\n", int(module.type));
  std::fprintf(file, "# NUMCHAN %d\n\n", channelCount);
  std::fputs("# CHAN  TYPE+RANGE  X1  Y1  X2  Y2\n\n", file);
}

// X1, Y1, X2, Y2 of one factory configuration. False when a read failed.
bool ReadPoints(int node, int channelByte, int code, CalibValueBytes values[4]) {
  const int type = (code >> 8) & 0x1F;
  const int ops[4] = {CALIB_OP_X1, CALIB_OP_Y1, CALIB_OP_X2, CALIB_OP_Y2};
  for (int i = 0; i < 4; ++i) {
    if (!CalibRequest_Read(node, channelByte, CalibRequest_OpByte(ops[i], type), code & 0xFF,
                           values[i])) {
      return false;
    }
  }
  return true;
}

// The body: every configuration of every channel. False when a read failed
// (the body ends there).
bool WriteBody(std::FILE* file, const ModuleRec& module, const ChanInfo& channels, bool outputs) {
  const int count = ChannelCount(channels);
  for (int channel = 0; channel < count; ++channel) {
    std::fprintf(file, "# Channel %d\n", channel);
    const int configs = ConfigCount(channels, channel);
    for (int i = 0; i < configs; ++i) {
      const int code = ChanInfo_ConfigCode(channels, channel, i);
      std::string name;
      ChanType_GetInfo(code, false, &name);
      std::fprintf(file, "#   %s\n", CalibFile_ToLatin1(name).c_str());
      CalibValueBytes values[4];
      if (!ReadPoints(module.node, ChannelByte(channel, outputs), code, values)) return false;
      std::fputs(CalibFile_DataLine(channel, i, values).c_str(), file);
    }
    std::fputs("\n", file);
  }
  return true;
}

const char* OrderCodeOf(int type) {
  const ModuleTypeInfo* row = ModuleType_Find(type);
  return row ? row->orderCode : "?";
}

// What went wrong during a load; the later error decides the summary.
enum class LoadError { None, Value, Transmission };

class Loader {
 public:
  Loader(const ModuleRec& module, const ChanInfo& channels, bool outputs, const std::string& path)
      : module_(module), channels_(channels), outputs_(outputs), path_(path) {}

  // Works through the file; the summary is left to the caller.
  void run(std::FILE* file) {
    std::string text;
    int lineNumber = 0;
    while (CalibFile_ReadLine(file, text)) {
      ++lineNumber;
      if (!line(CalibFile_ParseLine(text), lineNumber)) return;
    }
  }
  LoadError error() const { return error_; }

 private:
  // False when the load stops at this line.
  bool line(const CalibFileLine& parsed, int lineNumber) {
    switch (parsed.kind) {
      case CalibFileLine::Comment: return true;
      case CalibFileLine::ModuleType: return moduleType(parsed.moduleType);
      case CalibFileLine::Short: return unreadable(lineNumber);
      case CalibFileLine::Data: return data(parsed, lineNumber);
    }
    return true;
  }

  bool moduleType(int fileType) {
    const int type = int(module_.type);
    if (fileType == type) return true;
    ShowErrorBox("File is of wrong module type %d (%s),\nexpected type %d (%s)", fileType,
                 OrderCodeOf(fileType), type, OrderCodeOf(type));
    error_ = LoadError::Value;
    return false;
  }

  bool data(const CalibFileLine& parsed, int lineNumber) {
    const int channel = parsed.channel;
    if (channel < 0 || channel >= ChannelCount(channels_)) {
      ShowErrorBox("Illegal channel %d in line %d of file\n%s", channel, lineNumber, path_.c_str());
      error_ = LoadError::Value;
      return false;
    }
    const int config = parsed.configIndex;
    if (config < 0 || config >= ConfigCount(channels_, channel)) {
      ShowErrorBox("Illegal type+range %d in line %d of file\n%s", config, lineNumber, path_.c_str());
      error_ = LoadError::Value;
      return false;
    }
    const int code = ChanInfo_ConfigCode(channels_, channel, config);
    if (point(parsed, lineNumber, ChannelByte(channel, outputs_), code, 1)) {
      point(parsed, lineNumber, ChannelByte(channel, outputs_), code, 2);
    }
    return true;
  }

  // Clears or writes one point of a data line. False when the line's work
  // ends here (the error has been recorded).
  bool point(const CalibFileLine& parsed, int lineNumber, int channelByte, int code, int which) {
    const std::string& xField = parsed.fields[which == 1 ? 0 : 2];
    const std::string& yField = parsed.fields[which == 1 ? 1 : 3];
    const int type = (code >> 8) & 0x1F;
    const int range = code & 0xFF;
    const int node = module_.node;
    if (CalibFile_IsEmptyField(xField) || CalibFile_IsEmptyField(yField)) {
      const int op = which == 1 ? CALIB_OP_CLEAR1 : CALIB_OP_CLEAR2;
      return sent(CalibRequest_Send4(node, channelByte, CalibRequest_OpByte(op, type), range));
    }
    // Both values are read before either is written, so that a value that
    // cannot be read never leaves the point with a new X and an old Y.
    float x = 0, y = 0;
    if (!CalibFile_ReadValue(xField, x) || !CalibFile_ReadValue(yField, y)) {
      return unreadable(lineNumber);
    }
    const int xOp = which == 1 ? CALIB_OP_X1 : CALIB_OP_X2;
    if (!sent(CalibRequest_Send8(node, channelByte, CalibRequest_OpByte(xOp, type), range, x))) {
      return false;
    }
    const int yOp = which == 1 ? CALIB_OP_Y1 : CALIB_OP_Y2;
    return sent(CalibRequest_Send8(node, channelByte, CalibRequest_OpByte(yOp, type), range, y));
  }

  bool sent(int ok) {
    if (!ok) error_ = LoadError::Transmission;
    return ok != 0;
  }

  // Reports a line or value that cannot be read; false, so that the work on
  // the line (or, for a line without its six fields, the load) ends.
  bool unreadable(int lineNumber) {
    ShowErrorBox("Parse error in line %d of file\n%s", lineNumber, path_.c_str());
    error_ = LoadError::Value;
    return false;
  }

  const ModuleRec& module_;
  const ChanInfo& channels_;
  bool outputs_;
  const std::string& path_;
  LoadError error_ = LoadError::None;
};

}  // namespace

int CalibData_SaveFile(const ModuleRec& module, const ChanInfo& channels, bool outputs) {
  UiFileRequest request = FileRequest("Save calibration data to file");
  std::string path;
  if (!Ui_SaveFile(request, path)) return CALIB_SAVE_CANCELLED;
  Option_SetText(kFileOption, path);

  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) {
    ShowErrorBox("Cannot write calibration data file\n'%s'", path.c_str());
    return CALIB_SAVE_NO_FILE;
  }
  WriteHeader(file, module, ChannelCount(channels));
  SetWaitCursor(1);
  const bool complete = WriteBody(file, module, channels, outputs);
  SetWaitCursor(0);
  std::fputs("# End of data\n", file);
  // A full disk shows only now; a file that was not written whole is not a save.
  const bool written = std::ferror(file) == 0;
  if (std::fclose(file) != 0 || !written) {
    ShowErrorBox("Cannot write calibration data file\n'%s'", path.c_str());
    return CALIB_SAVE_NO_FILE;
  }
  if (!complete) ShowErrorBox("Data transmission failure,\ncalibration data file may be incomplete");
  return CALIB_SAVE_DONE;
}

int CalibData_LoadFile(const ModuleRec& module, const ChanInfo& channels, bool outputs) {
  UiFileRequest request = FileRequest("Load calibration data from file");
  std::string path;
  if (!Ui_OpenFile(request, path)) return CALIB_LOAD_CANCELLED;
  Option_SetText(kFileOption, path);

  if (Ui_MessageBox("Continue and overwrite module factory calibration?",
                    "Overwrite module factory calibration?", UiButtons::YesNo,
                    UiIcon::Question) != UiAnswer::Yes) {
    return CALIB_LOAD_DECLINED;
  }
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (!file) {
    ShowErrorBox("Cannot read calibration data file\n'%s'", path.c_str());
    return CALIB_LOAD_NO_FILE;
  }
  SetWaitCursor(1);
  Loader loader(module, channels, outputs, path);
  loader.run(file);
  SetWaitCursor(0);
  std::fclose(file);
  if (loader.error() != LoadError::None) {
    ShowErrorBox("Calibration data in module probably\nincomplete due to %serror(s)",
                 loader.error() == LoadError::Transmission ? "data transmission " : "");
  }
  return CALIB_LOAD_DONE;
}
