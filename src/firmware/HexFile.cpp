#include "firmware/HexFile.h"

#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/Session.h"
#include "core/WideText.h"

namespace {

// What the HEX functions remember between calls (one set for the program).
struct HexFileState {
  int32_t lastError = HEXERR_NONE;
  std::string fileName;  // UTF-8
  int64_t lineCounter = 0;
  std::string errorText;  // HexFile_GetErrorText's shared buffer
};

HexFileState& hexState() { return Session_Part<HexFileState>(); }

// Address bases and the end-of-file flag of the read in progress.
struct ReadContext {
  uint32_t segmentBase = 0;  // extended segment address (type 2), counts 16-byte paragraphs
  uint32_t linearBase = 0;   // extended linear address (type 4), counts 64 KiB pages
  bool eofSeen = false;
};

int SetError(int code) {
  hexState().lastError = code;
  return code;
}

void BeginOperation(const std::string& fileName) {
  hexState().lastError = HEXERR_NONE;
  hexState().lineCounter = 0;
  hexState().fileName = fileName;
}

// ---- reading ----------------------------------------------------------------

// Longest line text handled at once; a longer line continues as the next line.
constexpr size_t kMaxLineChars = 1023;

// Hands out the file's lines without their line end (LF or CR LF), each at
// most kMaxLineChars characters. Embedded NUL bytes stay part of the text.
class LineReader {
 public:
  explicit LineReader(FILE* file) : file_(file) {}

  // False at the end of the file or when reading fails (see failed()).
  bool next(const char*& text, size_t& length) {
    size_t n = 0;
    bool lineEnded = false;
    while (!lineEnded) {
      if (!fill(1)) break;  // end of file ends the line
      size_t room = kMaxLineChars - n;
      if (room == 0) {
        // The line is full: a line end right here still belongs to it,
        // anything else continues as the next line.
        if (buffer_[pos_] == '\n') {
          pos_ += 1;
          if (line_[n - 1] == '\r') n--;
        } else if (buffer_[pos_] == '\r' && fill(2) && buffer_[pos_ + 1] == '\n') {
          pos_ += 2;
        }
        break;
      }
      size_t take = end_ - pos_ < room ? end_ - pos_ : room;
      const char* start = buffer_ + pos_;
      const char* lf = static_cast<const char*>(memchr(start, '\n', take));
      size_t copy = lf ? static_cast<size_t>(lf - start) : take;
      memcpy(line_ + n, start, copy);
      n += copy;
      pos_ += copy;
      if (lf) {
        pos_ += 1;
        if (n > 0 && line_[n - 1] == '\r') n--;
        lineEnded = true;
      }
    }
    if (!lineEnded && n == 0) return false;
    text = line_;
    length = n;
    return true;
  }

  bool failed() const { return failed_; }

 private:
  // Makes sure at least `want` unread bytes are buffered; false when the file
  // ends (or fails) first.
  bool fill(size_t want) {
    while (end_ - pos_ < want) {
      if (atEnd_) return false;
      if (pos_ > 0) {
        memmove(buffer_, buffer_ + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
      }
      size_t got = fread(buffer_ + end_, 1, sizeof buffer_ - end_, file_);
      if (got == 0) {
        atEnd_ = true;
        failed_ = ferror(file_) != 0;
        return false;
      }
      end_ += got;
    }
    return true;
  }

  FILE* file_;
  char buffer_[64 * 1024];
  size_t pos_ = 0;
  size_t end_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
  char line_[kMaxLineChars];
};

// Value of every character as a hex digit, -1 for the others (a table keeps
// the branches out of the loop over the text).
struct HexDigitTable {
  int8_t value[256];
  constexpr HexDigitTable() : value() {
    for (int c = 0; c < 256; c++) {
      value[c] = c >= '0' && c <= '9' ? static_cast<int8_t>(c - '0')
                 : c >= 'A' && c <= 'F' ? static_cast<int8_t>(c - 'A' + 10)
                 : c >= 'a' && c <= 'f' ? static_cast<int8_t>(c - 'a' + 10)
                                        : static_cast<int8_t>(-1);
    }
  }
};
constexpr HexDigitTable kHexDigits;

// Reads one two-digit hex field at pos; advances pos only on success.
bool ReadHexByte(const char* text, size_t length, size_t& pos, uint32_t& value) {
  if (length - pos < 2) return false;
  int hi = kHexDigits.value[static_cast<unsigned char>(text[pos])];
  int lo = kHexDigits.value[static_cast<unsigned char>(text[pos + 1])];
  if ((hi | lo) < 0) return false;
  value = static_cast<uint32_t>(hi << 4 | lo);
  pos += 2;
  return true;
}

bool IsLineSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Reads `count` bytes of an address or start record into a big-endian value.
bool ReadValueBytes(const char* text, size_t length, size_t& pos, int count, uint32_t& value,
                    uint32_t& sum) {
  value = 0;
  for (int i = 0; i < count; i++) {
    uint32_t b;
    if (!ReadHexByte(text, length, pos, b)) return false;
    value = value << 8 | b;
    sum += b;
  }
  return true;
}

int ParseDataBytes(const char* text, size_t length, size_t& pos, uint32_t count,
                   HexSegment* segment, uint32_t& sum) {
  if (count == 0) return HEXERR_NONE;
  uint8_t* bytes = new (std::nothrow) uint8_t[count];
  if (!bytes) return HEXERR_CANT_READ;
  for (uint32_t i = 0; i < count; i++) {
    uint32_t b;
    if (!ReadHexByte(text, length, pos, b)) {
      delete[] bytes;
      return HEXERR_DATA_RECORD;
    }
    bytes[i] = static_cast<uint8_t>(b);
    sum += b;
  }
  delete[] segment->data;
  segment->data = bytes;
  segment->length = static_cast<int32_t>(count);
  return HEXERR_NONE;
}

// Parses one line into the current (empty) segment. Lines that are not
// records are ignored.
int ParseRecord(const char* text, size_t length, HexSegment* segment, ReadContext& ctx) {
  if (length == 0 || text[0] != ':') return HEXERR_NONE;
  if (ctx.eofSeen) return HEXERR_AFTER_EOF;

  size_t pos = 1;
  uint32_t count, offsetHigh, offsetLow, type;
  if (!ReadHexByte(text, length, pos, count) || !ReadHexByte(text, length, pos, offsetHigh) ||
      !ReadHexByte(text, length, pos, offsetLow) || !ReadHexByte(text, length, pos, type)) {
    return HEXERR_RECORD_HEADER;
  }
  uint32_t sum = count + offsetHigh + offsetLow + type;
  uint32_t offset = offsetHigh << 8 | offsetLow;
  // Both bases apply together; addresses wrap at 4 GiB.
  segment->address = offset + ctx.linearBase * 65536u + ctx.segmentBase * 16u;
  segment->length = 0;

  uint32_t value;
  switch (type) {
    case 0: {
      int rc = ParseDataBytes(text, length, pos, count, segment, sum);
      if (rc != HEXERR_NONE) return rc;
      break;
    }
    case 1:
      if (count != 0 || offset != 0) return HEXERR_EOF_RECORD;
      ctx.eofSeen = true;
      break;
    case 2:
    case 4:
      if (count != 2 || !ReadValueBytes(text, length, pos, 2, value, sum)) {
        return HEXERR_ADDRESS_RECORD;
      }
      (type == 2 ? ctx.segmentBase : ctx.linearBase) = value;
      break;
    case 3:
    case 5:
      // Start addresses mean nothing for an image; only their checksum counts.
      if (count != 4 || !ReadValueBytes(text, length, pos, 4, value, sum)) {
        return HEXERR_ADDRESS_RECORD;
      }
      break;
    default:
      return HEXERR_UNKNOWN_RECORD;
  }

  uint32_t checksum;
  if (!ReadHexByte(text, length, pos, checksum) || ((sum + checksum) & 0xFF) != 0) {
    return HEXERR_CHECKSUM;
  }
  if (pos < length && !IsLineSpace(text[pos])) return HEXERR_SYNTAX;
  return HEXERR_NONE;
}

// Joins every run of segments in which each starts exactly where the one
// before ends. Ends are computed without wrapping at 4 GiB, and no segment
// grows beyond what its length field holds.
void MergeContiguous(HexSegment* head) {
  for (HexSegment* first = head; first; first = first->next) {
    HexSegment* last = first;
    int64_t total = first->length;
    while (last->next) {
      HexSegment* next = last->next;
      int64_t end = static_cast<int64_t>(last->address) + last->length;
      if (end != static_cast<int64_t>(next->address) || total + next->length > INT32_MAX) break;
      total += next->length;
      last = next;
    }
    if (last == first) continue;

    uint8_t* joined = new (std::nothrow) uint8_t[static_cast<size_t>(total)];
    if (!joined) continue;  // leave the run apart: the bytes are still all there
    size_t at = 0;
    HexSegment* s = first;
    while (true) {
      if (s->length > 0) memcpy(joined + at, s->data, static_cast<size_t>(s->length));
      at += static_cast<size_t>(s->length);
      delete[] s->data;
      s->data = nullptr;
      if (s == last) break;
      s = s->next;
    }
    HexSegment* after = last->next;
    for (HexSegment* gone = first->next; gone != after;) {
      HexSegment* following = gone->next;
      delete gone;
      gone = following;
    }
    first->data = joined;
    first->length = static_cast<int32_t>(total);
    first->next = after;
  }
}

int ReadInto(HexSegment*& head, const std::string& fileName) {
  head = nullptr;
  BeginOperation(fileName);
  if (fileName.empty()) return SetError(HEXERR_EMPTY_FILENAME);
  FILE* file = fopen(fileName.c_str(), "r");
  if (!file) return SetError(HEXERR_CANT_READ);

  head = new (std::nothrow) HexSegment;
  if (!head) {
    fclose(file);
    return SetError(HEXERR_CANT_READ);
  }
  HexSegment* current = head;
  HexSegment* previous = nullptr;
  ReadContext ctx;
  std::unique_ptr<LineReader> reader(new (std::nothrow) LineReader(file));
  int rc = reader ? HEXERR_NONE : HEXERR_CANT_READ;
  if (reader) {
    const char* text;
    size_t length;
    while (reader->next(text, length)) {
      hexState().lineCounter++;
      rc = ParseRecord(text, length, current, ctx);
      if (rc != HEXERR_NONE) break;
      if (current->length > 0) {
        HexSegment* fresh = new (std::nothrow) HexSegment;
        if (!fresh) {
          rc = HEXERR_CANT_READ;
          break;
        }
        current->next = fresh;
        previous = current;
        current = fresh;
      }
    }
    // A file that fails while being read is unreadable, not merely short.
    if (rc == HEXERR_NONE && reader->failed()) rc = HEXERR_CANT_READ;
  }
  fclose(file);
  if (rc == HEXERR_NONE && !ctx.eofSeen) rc = HEXERR_NO_EOF;
  if (rc != HEXERR_NONE) {
    current->length = 0;
    return SetError(rc);
  }

  if (current->length == 0 && previous) {
    previous->next = nullptr;
    HexFile_Free(current);
  }
  MergeContiguous(head);
  return HEXERR_NONE;
}

// ---- writing ----------------------------------------------------------------

// Collects the output in a buffer and remembers whether any write failed.
class RecordWriter {
 public:
  explicit RecordWriter(FILE* file) : file_(file) {}

  // Data record: byte count, 16-bit offset, type 0, data, checksum.
  int data(uint32_t offset, const uint8_t* bytes, uint32_t count) {
    if (count > 255) return HEXERR_RECORD_TOO_LONG;
    uint32_t sum = count + (offset >> 8 & 0xFF) + (offset & 0xFF);
    text(":");
    hexByte(count);
    hexByte(offset >> 8 & 0xFF);
    hexByte(offset & 0xFF);
    hexByte(0);
    for (uint32_t i = 0; i < count; i++) {
      hexByte(bytes[i]);
      sum += bytes[i];
    }
    hexByte(-sum & 0xFF);
    endLine();
    return HEXERR_NONE;
  }

  void extendedLinearAddress(uint32_t upper) {
    uint32_t high = upper >> 8 & 0xFF, low = upper & 0xFF;
    text(":02000004");
    hexByte(high);
    hexByte(low);
    hexByte(-(high + low + 6) & 0xFF);
    endLine();
  }

  void endOfFile() {
    text(":00000001FF");
    endLine();
  }

  // Flushes and closes the file; false when anything failed to reach it.
  bool close() {
    flush();
    if (fflush(file_) != 0) failed_ = true;
    if (ferror(file_)) failed_ = true;
    if (fclose(file_) != 0) failed_ = true;
    return !failed_;
  }

 private:
  void begin() {
    if (used_ > sizeof buffer_ - kLongestLine) flush();
  }
  void text(const char* s) {
    begin();
    size_t n = strlen(s);
    memcpy(buffer_ + used_, s, n);
    used_ += n;
  }
  void hexByte(uint32_t b) {
    static const char kDigits[] = "0123456789ABCDEF";
    buffer_[used_++] = kDigits[b >> 4 & 0xF];
    buffer_[used_++] = kDigits[b & 0xF];
  }
  void endLine() {
    buffer_[used_++] = '\r';
    buffer_[used_++] = '\n';
    hexState().lineCounter++;
  }
  void flush() {
    if (used_ > 0 && fwrite(buffer_, 1, used_, file_) != used_) failed_ = true;
    used_ = 0;
  }

  static constexpr size_t kLongestLine = 1 + 8 + 2 * 255 + 2 + 2;
  FILE* file_;
  char buffer_[64 * 1024];
  size_t used_ = 0;
  bool failed_ = false;
};

// One segment: an extended linear address record first, then data records of
// at most 16 bytes that never cross a 64 KiB page (a new page gets its own
// extended linear address record).
int WriteSegment(RecordWriter& out, const HexSegment& segment) {
  if (segment.length <= 0 || !segment.data) return HEXERR_NONE;
  bool haveUpper = false;
  uint32_t upper = 0;
  uint32_t left = static_cast<uint32_t>(segment.length);
  const uint8_t* bytes = segment.data;
  uint32_t address = segment.address;
  while (left > 0) {
    if (!haveUpper || address >> 16 != upper) {
      upper = address >> 16;
      haveUpper = true;
      out.extendedLinearAddress(upper);
    }
    uint32_t offset = address & 0xFFFF;
    uint32_t count = left < 16 ? left : 16;
    if (count > 0x10000 - offset) count = 0x10000 - offset;
    int rc = out.data(offset, bytes, count);
    if (rc != HEXERR_NONE) return rc;
    bytes += count;
    left -= count;
    address += count;  // wraps at 4 GiB like the address itself
  }
  return HEXERR_NONE;
}

int WriteFrom(const HexSegment* head, const std::string& fileName, int fileType) {
  BeginOperation(fileName);
  if (fileName.empty()) return SetError(HEXERR_EMPTY_FILENAME);
  if (fileType != HEXFILE_TYPE_INTEL) return SetError(HEXERR_UNKNOWN_FILE_TYPE);
  FILE* file = fopen(fileName.c_str(), "wb");
  if (!file) return SetError(HEXERR_CANT_WRITE);

  std::unique_ptr<RecordWriter> out(new (std::nothrow) RecordWriter(file));
  if (!out) {
    fclose(file);
    return SetError(HEXERR_CANT_WRITE);
  }
  int rc = HEXERR_NONE;
  for (const HexSegment* s = head; s && rc == HEXERR_NONE; s = s->next) {
    rc = WriteSegment(*out, *s);
  }
  if (rc == HEXERR_NONE) out->endOfFile();
  // A full disk shows only when the buffers reach the file: that is a failed write too.
  if (!out->close() && rc == HEXERR_NONE) rc = HEXERR_CANT_WRITE;
  return SetError(rc);
}

const char* MessageFormat(int code) {
  switch (code) {
    case HEXERR_NONE: return "(No error)";
    case HEXERR_CANT_READ: return "Can't read file%s";
    case HEXERR_RECORD_HEADER: return "Error in record header%s%s";
    case HEXERR_DATA_RECORD: return "Error in data record%s%s";
    case HEXERR_EOF_RECORD: return "Error in EOF record%s%s";
    case HEXERR_ADDRESS_RECORD: return "Error in address record%s%s";
    case HEXERR_UNKNOWN_RECORD: return "Unknown record type%s%s";
    case HEXERR_CHECKSUM: return "Checksum error%s%s";
    case HEXERR_SYNTAX: return "Syntax error%s%s";
    case HEXERR_CANT_WRITE: return "Can't write file%s";
    case HEXERR_UNKNOWN_FILE_TYPE: return "Unknown file type%s";
    case HEXERR_RECORD_TOO_LONG: return "Output record too long%s";
    case HEXERR_NO_EOF: return "No EOF record%s%s";
    case HEXERR_AFTER_EOF: return "Records found after EOF record%s%s";
    case HEXERR_EMPTY_FILENAME: return "Empty filename";
    default: return "(Unknown error)";
  }
}

}  // namespace

int HexFile_Read(HexSegment** head, const std::string& fileName) {
  HexSegment* list = nullptr;
  int rc = ReadInto(list, fileName);
  if (head) {
    *head = list;
  } else {
    HexFile_Free(list);
  }
  return rc;
}

int HexFile_Read(HexSegment** head, const std::wstring& fileName) {
  return HexFile_Read(head, Text_Narrow(fileName));
}

int HexFile_Write(const HexSegment* head, const std::string& fileName, int fileType) {
  return WriteFrom(head, fileName, fileType);
}

int HexFile_Write(const HexSegment* head, const std::wstring& fileName, int fileType) {
  return WriteFrom(head, Text_Narrow(fileName), fileType);
}

void HexFile_Free(HexSegment* head) {
  while (head) {
    HexSegment* next = head->next;
    delete[] head->data;
    delete head;
    head = next;
  }
}

int HexFile_GetLastError() { return hexState().lastError; }

const char* HexFile_GetErrorText() {
  std::string& text = hexState().errorText;
  // The file part fills the first "%s", the line part the second; the name is
  // inserted as text, never used as a format.
  std::string parts[2];
  if (!hexState().fileName.empty()) parts[0] = ", file '" + hexState().fileName + "'";
  if (hexState().lineCounter > 0) {
    char line[32];
    snprintf(line, sizeof line, ", line %" PRId64, hexState().lineCounter);
    parts[1] = line;
  }
  text.clear();
  int used = 0;
  for (const char* f = MessageFormat(hexState().lastError); *f; f++) {
    if (f[0] == '%' && f[1] == 's') {
      if (used < 2) text += parts[used++];
      f++;
    } else {
      text += *f;
    }
  }
  return text.c_str();
}

HexSegment* HexSegment_New(uint32_t address, const uint8_t* bytes, int32_t length) {
  HexSegment* segment = new (std::nothrow) HexSegment;
  if (!segment) return nullptr;
  segment->address = address;
  if (bytes && length > 0) {
    segment->data = new (std::nothrow) uint8_t[static_cast<size_t>(length)];
    if (!segment->data) {
      delete segment;
      return nullptr;
    }
    memcpy(segment->data, bytes, static_cast<size_t>(length));
    segment->length = length;
  }
  return segment;
}
