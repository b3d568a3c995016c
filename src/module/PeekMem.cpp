#include "module/PeekMem.h"

#include <cstdlib>
#include <cstring>

#include "core/AtomicFile.h"
#include "core/CanMsg.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Session.h"
#include "core/TextFormat.h"
#include "core/WideText.h"
#include "module/PeekMemWriteData.h"
#include "protocol/ModuleList.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"
#include "protocol/VornProtText.h"
#include "ui/Ui.h"

const char* const kPeekMemFirmwareHint =
    "(only available when module runs in bootloader, or define\r\n"
    "NEED_MEM_ACCESS when compiling the module software)";
const char* const kPeekWriteHint =
    "Decimal numbers: 1 2 200\n"
    "Hexadecimal numbers: 0x01 0x02 0xC8\n"
    "Text in quotes: \"ABC\" or 'ABC'";

namespace {

// The write dialog's fields between two openings, for the whole program.
struct PeekWriteState {
  bool opened = false;
  bool reload = true;  // the peek page was shown since the last opening
  PeekWriteFields fields;
};

const char* const kTransmissionError = "\r\nTransmission error";

int SendBlockStart(int node, int memType, long address) {
  CanMsg msg;
  const unsigned long a = static_cast<unsigned long>(address);
  return VornProt_SendMessage(msg, node, 8, VORN_CMD_BLOCK_START,
                              {memType, 0, 0, int((a >> 24) & 0xFF), int((a >> 16) & 0xFF),
                               int((a >> 8) & 0xFF), int(a & 0xFF)});
}

// Request 0x85: the module's state goes into its record; false on failure (reported).
bool ReadCpu(ModuleRec& module, int& cpu) {
  CanMsg msg;
  if (!VornProt_RequestMessage(msg, module.node, 1, VORN_CMD_MODULE_INFO)) return false;
  module.state = msg.data[1];
  cpu = int(msg.data[6]);
  return true;
}

std::string SavePathOption() {
  std::string path = Text_Narrow(Option_GetWString("PEEK_MEM_SAVE_FILENAME"));
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path;
}

}  // namespace

const char* PeekMem_TypeName(int type) {
  switch (type) {
    case kPeekMemTypeFlash: return "Program Flash Memory";
    case kPeekMemTypeEeprom: return "Data EEPROM Memory";
    default: return "";
  }
}

long ParseNumber(const std::string& field) {
  const size_t x = field.find_first_of("xX");
  if (x != std::string::npos) return long(std::strtoul(field.c_str() + x + 1, nullptr, 16) & 0x7FFFFFFFul);
  return std::strtol(field.c_str(), nullptr, 10);
}

long PeekMem_LimitStart(long start) {
  if (start < 0) return 0;
  return start > kPeekMemMaxAddress ? kPeekMemMaxAddress : start;
}

long PeekMem_LimitLength(long length) {
  if (length < 1) return 1;
  return length > kPeekMemMaxAddress ? kPeekMemMaxAddress : length;
}

int PeekMem_LimitMemType(long type) { return (type == kPeekMemTypeEeprom) ? kPeekMemTypeEeprom : kPeekMemTypeFlash; }

PeekLayout PeekMem_Layout(int cpuCode, int memType) {
  const bool dsPic = cpuCode == Wire::VORN_CPU_DSPIC30F || cpuCode == Wire::VORN_CPU_DSPIC33F;
  if (dsPic && memType == kPeekMemTypeFlash) return PeekLayout::Words24;
  if (cpuCode == Wire::VORN_CPU_DSPIC30F && memType == kPeekMemTypeEeprom) return PeekLayout::Words16;
  return PeekLayout::Bytes;
}

PeekFields PeekMem_FieldsFromOptions() {
  PeekFields f;
  f.memType = PeekMem_LimitMemType(Option_GetInt("MEM_PEEK_MEMTYPE"));
  f.start = Text_Format("0x%lx", PeekMem_LimitStart(Option_GetInt("MEM_PEEK_STARTADR")));
  f.length = Text_Format("%ld", PeekMem_LimitLength(Option_GetInt("MEM_PEEK_LENGTH")));
  return f;
}

void PeekMem_StoreFields(PeekFields& fields) {
  fields.memType = PeekMem_LimitMemType(fields.memType);
  const long start = PeekMem_LimitStart(ParseNumber(fields.start));
  const long length = PeekMem_LimitLength(ParseNumber(fields.length));
  fields.start = Text_Format("0x%lx", start);
  fields.length = Text_Format("%ld", length);
  Option_SetInt("MEM_PEEK_MEMTYPE", fields.memType);
  Option_SetInt("MEM_PEEK_STARTADR", int(start));
  Option_SetInt("MEM_PEEK_LENGTH", int(length));
}

PeekShownView PeekMem_Shown(ModuleRec& module) {
  PeekShownView view;
  view.fields = PeekMem_FieldsFromOptions();
  Session_Part<PeekWriteState>().reload = true;
  int cpu = 0;
  if (!ReadCpu(module, cpu)) {
    view.cpuText = "CPU type: (?)";
    return view;
  }
  view.cpuText = Text_Format("CPU type: %s", VornProt_CpuName(cpu));
  view.readEnabled = true;
  if (module.state & VORN_STATE_FIRMWARE_RUNNING) view.dump = kPeekMemFirmwareHint;
  return view;
}

// ---- the dump --------------------------------------------------------------------

bool PeekDump::start(ModuleRec& module, PeekFields& fields, bool toFile) {
  running_ = cancelled_ = declined_ = false;
  text_.clear();
  cpuText_.clear();
  file_.clear();
  pending_.clear();
  requests_ = 0;
  if (toFile) {
    UiFileRequest request;
    request.title = "Save to file";
    request.filter = "Text files (*.log, *.txt)|*.log;*.txt|All files (*.*)|*.*";
    request.initialPath = SavePathOption();
    request.defaultExtension = "txt";
    if (!Ui_SaveFile(request, file_) || file_.empty()) {
      file_.clear();
      declined_ = true;
      return false;
    }
    Option_SetWString("PEEK_MEM_SAVE_FILENAME", Text_Widen(file_));
  }
  PeekMem_StoreFields(fields);
  const int memType = fields.memType;
  start_ = ParseNumber(fields.start);
  const long length = ParseNumber(fields.length);
  SetWaitCursor(1);

  int cpu = 0;
  if (!ReadCpu(module, cpu)) {
    SetWaitCursor(0);
    return false;
  }
  cpuText_ = Text_Format("CPU type: %s", VornProt_CpuName(cpu));
  layout_ = PeekMem_Layout(cpu, memType);
  if (layout_ != PeekLayout::Bytes) {
    start_ &= ~1L;
    fields.start = Text_Format("0x%lx", start_);
  }
  node_ = module.node;
  address_ = start_;
  end_ = start_ + length;
  index_ = 0;
  if (SendBlockStart(node_, memType, start_) != 0) {
    text_ = kTransmissionError;
    finish(nullptr);
    return false;
  }
  header();
  running_ = true;
  return true;
}

void PeekDump::header() {
  switch (layout_) {
    case PeekLayout::Words24:
      text_ += "WAdr(hex)  WordData(hex)\r\n";
      text_ += "  Offs     -----0  -----2  -----4  -----6\r\n";
      break;
    case PeekLayout::Words16:
      text_ += "WAdr(hex)  WordData(hex)\r\n";
      text_ += "     Offs  ---0 ---2 ---4 ---6  ---8 ---A ---C ---E\r\n";
      break;
    case PeekLayout::Bytes:
      text_ += "Adr(hex)  Data(hex)\r\n";
      break;
  }
}

int PeekDump::itemBytes() const {
  switch (layout_) {
    case PeekLayout::Words24: return 4;
    case PeekLayout::Words16: return 2;
    case PeekLayout::Bytes: break;
  }
  return 1;
}

void PeekDump::item(const uint8_t* b) {
  switch (layout_) {
    case PeekLayout::Words24:
      if (index_ % 4 == 0) text_ += Text_Format("\r\n%06lX    ", address_);
      text_ += Text_Format(" %02X%02X%02X ", b[2], b[1], b[0]);
      address_ += 2;
      break;
    case PeekLayout::Words16:
      if (index_ % 8 == 0) text_ += Text_Format("\r\n%06lX    ", address_);
      if (index_ % 4 == 0) text_ += ' ';
      text_ += Text_Format("%02X%02X ", b[1], b[0]);
      address_ += 2;
      break;
    case PeekLayout::Bytes:
      if (index_ % 16 == 0) text_ += Text_Format("\r\n%06lX   ", address_);
      if (index_ % 8 == 0) text_ += ' ';
      text_ += Text_Format("%02X ", b[0]);
      address_ += 1;
      break;
  }
  ++index_;
}

bool PeekDump::step() {
  if (!running_) return false;
  if (cancelled_) {
    finish("\r\nCancelled");
    return false;
  }
  CanMsg msg;
  ++requests_;
  if (!VornProt_RequestMessage(msg, node_, 1, VORN_CMD_BLOCK_READ)) {
    finish(kTransmissionError);
    return false;
  }
  for (int i = 1; i < 8; ++i) pending_.push_back(uint8_t(msg.data[i]));
  const size_t n = size_t(itemBytes());
  size_t used = 0;
  while (pending_.size() - used >= n && address_ < end_) {
    item(&pending_[used]);
    used += n;
    if (text_.size() > size_t(kPeekMemDumpStop)) {
      ShowError("Internal display buffer size (%d bytes) exceeded", kPeekMemDumpSize);
      finish(nullptr);
      return false;
    }
  }
  pending_.erase(pending_.begin(), pending_.begin() + long(used));
  if (address_ >= end_) {
    finish(nullptr);
    return false;
  }
  return true;
}

void PeekDump::finish(const char* closingLine) {
  running_ = false;
  if (closingLine) text_ += closingLine;
  if (!file_.empty()) {
    std::string contents;
    contents.reserve(text_.size() + 1);
    for (char c : text_)
      if (c != '\r') contents += c;
    contents += '\n';
    if (!AtomicFile_Write(file_, contents)) ShowErrorBox("Cannot save to file '%s'", file_.c_str());
  }
  SetWaitCursor(0);
}

int PeekDump::percent() const {
  const long total = end_ - start_;
  if (total <= 0) return 0;
  return int((address_ - start_) * 100 / total);
}

// ---- the write dialog ---------------------------------------------------------------

PeekWriteFields PeekWrite_Open() {
  PeekWriteState& s = Session_Part<PeekWriteState>();
  if (!s.opened) {
    s.opened = true;
    s.fields.hint = kPeekWriteHint;
  }
  if (s.reload) {
    s.reload = false;
    s.fields.memType = PeekMem_LimitMemType(Option_GetInt("MEM_PEEK_MEMTYPE"));
    s.fields.start = Text_Format("0x%lx", PeekMem_LimitStart(Option_GetInt("MEM_PEEK_STARTADR")));
    s.fields.data.clear();
  }
  return s.fields;
}

void PeekWrite_Close(const PeekWriteFields& fields) { Session_Part<PeekWriteState>().fields = fields; }

namespace {

// The values written, for the hint line: at most 26 and 1020 characters.
std::string WrittenText(const std::vector<int>& values) {
  std::string text = Text_Format("%d bytes written:\n", int(values.size()));
  size_t shown = 0;
  for (int v : values) {
    const std::string one = Text_Format("0x%02X ", v);
    if (shown == 26 || text.size() + one.size() > 1020) break;
    text += one;
    ++shown;
  }
  if (shown < values.size()) text += "...";
  return text;
}

// Sends the values as 0x61 frames of seven and one 0x62 frame with the rest;
// the hint text of a failure, or "" when all went through.
std::string SendValues(int node, long start, const std::vector<int>& values) {
  CanMsg msg;
  size_t at = 0;
  for (; values.size() - at >= 7; at += 7) {
    const int* v = &values[at];
    if (!VornProt_RequestMessage(msg, node, 8, VORN_CMD_BLOCK_WRITE_ACK, {v[0], v[1], v[2], v[3], v[4], v[5], v[6]}))
      return Text_Format("Transmission error at adress 0x%0lx", start + long(at));
  }
  int rest[6] = {};
  const int n = int(values.size() - at);
  for (int i = 0; i < n; ++i) rest[i] = values[at + size_t(i)];
  if (!VornProt_RequestMessage(msg, node, 8, VORN_CMD_BLOCK_WRITE_LAST,
                               {n, rest[0], rest[1], rest[2], rest[3], rest[4], rest[5]}))
    return Text_Format("Transmission error at adress 0x%0lx", start + long(at));
  return "";
}

}  // namespace

void PeekWrite_Write(const ModuleRec& module, PeekWriteFields& fields) {
  fields.memType = PeekMem_LimitMemType(fields.memType);
  if (fields.memType == kPeekMemTypeFlash) {
    fields.hint.clear();
    PeekWrite_Close(fields);
    ShowErrorBox("Writing to Program Flash Memory not yet supported");
    return;
  }
  const long start = PeekMem_LimitStart(ParseNumber(fields.start));
  fields.start = Text_Format("0x%lx", start);
  const PeekByteList list = PeekWrite_ParseData(fields.data, kPeekWriteMaxValues);
  if (!list.error.empty()) {
    fields.hint = list.error;
  } else if (list.values.empty()) {
    fields.hint = "Empty write data";
  } else if (SendBlockStart(module.node, kPeekMemTypeEeprom, start) != 0) {
    fields.hint = "Transmission error";
  } else {
    const std::string failure = SendValues(module.node, start, list.values);
    fields.hint = failure.empty() ? WrittenText(list.values) : failure;
  }
  PeekWrite_Close(fields);
}
