#include "calib/CalibSequence.h"

#include <cctype>
#include <fstream>

#include "calib/LeadingNumber.h"
#include "core/ErrorReport.h"
#include "core/NumberText.h"
#include "core/Options.h"
#include "core/TextFormat.h"
#include "core/WideText.h"
#include "platform/Editor.h"
#include "platform/Paths.h"
#include "ui/Ui.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n'; }
bool IsAlnum(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

struct Line {
  std::string keyword;
  std::string argument;
};

// Keyword: the run of letters and digits after leading white space; the
// character after it ends it and is dropped, then white space and "=" are
// skipped. The argument is quoted ('...' or "...", up to the closing quote
// or the line end) or the rest of the line. False for empty and comment lines.
bool SplitLine(const std::string& text, Line& out) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsSpace(text[i])) ++i;
  if (i == n || text[i] == '#') return false;
  const size_t start = i;
  while (i < n && IsAlnum(text[i])) ++i;
  out.keyword = text.substr(start, i - start);
  if (i < n) ++i;
  while (i < n && (IsSpace(text[i]) || text[i] == '=')) ++i;
  if (i < n && (text[i] == '\'' || text[i] == '"')) {
    const size_t close = text.find(text[i], i + 1);
    out.argument = text.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
  } else {
    out.argument = text.substr(i);
  }
  return true;
}

// Reads one sequence section; the values in force and the step list grow as
// lines come.
class SequenceReader {
 public:
  SequenceReader(CalibSequence& sequence, const std::string& section) : seq_(sequence), section_(section) {}

  // A CALIB_SEQ_* result for one line.
  int take(const std::string& text, int lineNumber) {
    Line line;
    if (!SplitLine(text, line)) return CALIB_SEQ_OK;
    line_ = lineNumber;
    if (line.keyword == "MODE") {
      inSection_ = line.argument == section_;
      return CALIB_SEQ_OK;
    }
    if (!inSection_) return CALIB_SEQ_OK;
    return command(line.keyword, line.argument);
  }

 private:
  int command(const std::string& k, const std::string& a) {
    if ((k == "DEVICE" || k == "CALIBRATOR") && seq_.stepCount == 0) return device(a);
    if (k == "STEP") return step();
    if (k == "ENDSTEP") return CALIB_SEQ_OK;
    if (k == "CONFIG" || k == "SELECTCONFIG") {
      set([&](CalibStep& s) { s.config = NumberText_ParseInt(a.c_str()); });
    } else if (k == "SELECT" || k == "CHANSELECTMODE") {
      if (a != "ALL" && a != "SINGLE") {
        return fail(CALIB_SEQ_ILLEGAL_SELECT_MODE,
                    Text_Format("Illegal value for CHANSELECTMODE, must be ALL or SINGLE\n(line %d, file %s)", line_,
                                seq_.filePath.c_str()));
      }
      set([&](CalibStep& s) { s.chanSelectMode = a == "ALL" ? CALIB_SELECT_ALL : CALIB_SELECT_SINGLE; });
    } else if (k == "LOW" || k == "CALIBLOW") {
      setPoint(CALIB_KIND_LOW, a);
    } else if (k == "HIGH" || k == "CALIBHIGH") {
      setPoint(CALIB_KIND_HIGH, a);
    } else if (k == "CHECK" || k == "CHECKCALIB") {
      setPoint(CALIB_KIND_CHECK, a);
    } else if (k == "SETTLETIME") {
      set([&](CalibStep& s) { s.settleTime = number(a); });
    } else if (k == "TIMEOUT") {
      set([&](CalibStep& s) { s.timeout = number(a); });
    } else if (k == "INITIALDEVIATION") {
      set([&](CalibStep& s) { s.initialDeviation = number(a); });
    } else if (k == "FINALDEVIATION") {
      set([&](CalibStep& s) { s.finalDeviation = number(a); });
    } else {
      return fail(CALIB_SEQ_UNKNOWN_COMMAND,
                  Text_Format("Unknown command '%s'\n(line %d, file %s)", k.c_str(), line_, seq_.filePath.c_str()));
    }
    return CALIB_SEQ_OK;
  }

  int device(const std::string& a) {
    if (a == "METRAHIT") {
      seq_.calibrator = 1;
    } else if (a == "VORNBOX") {
      seq_.calibrator = 2;
    } else {
      return fail(CALIB_SEQ_UNKNOWN_CALIBRATOR,
                  Text_Format("Unknown calibrator '%s', must be METRAHIT or VORNBOX\n(line %d, file %s)", a.c_str(),
                              line_, seq_.filePath.c_str()));
    }
    return CALIB_SEQ_OK;
  }

  // Beyond the last step a sequence cannot go on: the steps after it would
  // be lost and their settings would change the last step kept.
  int step() {
    if (seq_.stepCount == CALIB_SEQ_MAX_STEPS) {
      return fail(CALIB_SEQ_TOO_MANY_STEPS, Text_Format("Too many steps, at most %d are allowed\n(line %d, file %s)",
                                                        CALIB_SEQ_MAX_STEPS, line_, seq_.filePath.c_str()));
    }
    CalibStep& s = seq_.steps[size_t(seq_.stepCount++)];
    s = inForce_;
    s.line = line_;
    return CALIB_SEQ_OK;
  }

  // A setting changes the value in force and the step opened last.
  template <class Change>
  void set(Change change) {
    change(inForce_);
    if (seq_.stepCount > 0) change(seq_.steps[size_t(seq_.stepCount - 1)]);
  }

  void setPoint(int kind, const std::string& a) {
    const double v = number(a);
    set([&](CalibStep& s) {
      s.kind = kind;
      s.value = v;
    });
  }

  static double number(const std::string& a) { return LeadingNumber_DoubleOr0(a.c_str()); }

  int fail(int result, std::string text) {
    seq_.errorText = std::move(text);
    return result;
  }

  CalibSequence& seq_;
  const std::string& section_;
  CalibStep inForce_;
  bool inSection_ = false;
  int line_ = 0;
};

}  // namespace

std::string CalibSeq_Template(const std::string& typeName) {
  return Text_Format("# KVXconfig calibration sequence for %s\n", typeName.c_str());
}

std::string CalibSeq_PathIn(const std::string& folder, const std::string& typeName) {
  return Platform_JoinPath(folder.empty() ? "/" : folder, typeName + ".calib");
}

std::string CalibSeq_FindFile(const std::string& typeName) {
  for (int n = 1; n <= 3; ++n) {
    const std::string option = Text_Format("CALIB_SEQ_DIR%d", n);
    const std::string path = CalibSeq_PathIn(Text_Narrow(Option_GetWString(option.c_str())), typeName);
    if (std::ifstream(path)) return path;
  }
  return "";
}

int CalibSeq_ReadFrom(std::istream& in, const std::string& path, const std::string& section,
                      CalibSequence& sequence) {
  sequence.errorText.clear();
  sequence.calibrator = 0;
  sequence.stepCount = 0;
  sequence.currentStep = 0;
  sequence.filePath = path;
  SequenceReader reader(sequence, section);
  std::string text;
  for (int lineNumber = 1; std::getline(in, text); ++lineNumber) {
    // A file written on a PC ends its lines with CR LF.
    if (!text.empty() && text.back() == '\r') text.pop_back();
    const int result = reader.take(text, lineNumber);
    if (result != CALIB_SEQ_OK) return result;
  }
  return CALIB_SEQ_OK;
}

int CalibSeq_Read(const std::string& typeName, const std::string& section, CalibSequence& sequence) {
  const std::string path = CalibSeq_FindFile(typeName);
  std::ifstream in(path);
  if (path.empty() || !in) {
    sequence.errorText = "Cannot find sequence file for this module";
    sequence.calibrator = 0;
    sequence.stepCount = 0;
    sequence.currentStep = 0;
    sequence.filePath.clear();
    return CALIB_SEQ_NO_FILE;
  }
  return CalibSeq_ReadFrom(in, path, section, sequence);
}

void CalibSeq_Edit(const std::string& typeName) {
  std::string path = CalibSeq_FindFile(typeName);
  if (path.empty()) {
    if (Ui_MessageBox("Calibration sequence file not found.\nCreate a new one?", "Create Calibration Sequence",
                      UiButtons::YesNo, UiIcon::Question) != UiAnswer::Yes) {
      return;
    }
    const std::string folder = Text_Narrow(Option_GetWString("CALIB_SEQ_DIR1"));
    path = CalibSeq_PathIn(folder, typeName);
    // The first folder may not exist yet (its default is made up at start).
    if (!folder.empty()) Platform_MakeFolders(folder);
    std::ofstream(path) << CalibSeq_Template(typeName);  // a failure shows in the editor
  }
  if (const int err = Editor_Open(path)) {
    ShowErrorBox("Cannot start notepad for file\n%s\nWindows error #%d", path.c_str(), err);
  }
}
