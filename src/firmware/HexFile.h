// Intel HEX files: reading a file into an address-ordered image of segments,
// writing an image back, and the texts of the last error.
//
// The functions keep one module-wide state (last error, file name, line
// counter) and are not reentrant; they never show a message themselves.
#pragma once

#include <cstdint>
#include <string>

// One contiguous run of bytes; the image is a singly linked list in file order.
// The list owns every segment and its data: release it with HexFile_Free.
struct HexSegment {
  uint32_t address = 0;  // absolute byte address of the first byte
  int32_t length = 0;    // number of bytes, 0 for an empty segment
  uint8_t* data = nullptr;
  HexSegment* next = nullptr;
};

// Result codes of the HEX file functions (also kept as the last error).
enum HexFileError : int32_t {
  HEXERR_NONE = 0,
  HEXERR_CANT_READ = -1,
  HEXERR_RECORD_HEADER = -2,
  HEXERR_DATA_RECORD = -3,
  HEXERR_EOF_RECORD = -4,
  HEXERR_ADDRESS_RECORD = -5,
  HEXERR_UNKNOWN_RECORD = -6,
  HEXERR_CHECKSUM = -7,
  HEXERR_SYNTAX = -8,
  HEXERR_CANT_WRITE = -9,
  HEXERR_UNKNOWN_FILE_TYPE = -10,
  HEXERR_RECORD_TOO_LONG = -11,
  HEXERR_NO_EOF = -12,
  HEXERR_AFTER_EOF = -13,
  HEXERR_EMPTY_FILENAME = -14,
};

// The only file type the writer knows.
constexpr int HEXFILE_TYPE_INTEL = 1;

// Reads the file into *head. On success the list holds the merged image (a
// file without data records gives one empty segment). The list is handed out
// also on failure, holding what was read before the failing record; free it
// with HexFile_Free in every case (it is null when the file could not be opened).
int HexFile_Read(HexSegment** head, const std::string& fileName);
int HexFile_Read(HexSegment** head, const std::wstring& fileName);

// Writes the image as Intel HEX: every segment starts with an extended linear
// address record, data records hold at most 16 bytes and never cross a 64 KiB
// boundary, the file ends with the end-of-file record. Lines end in CR LF.
int HexFile_Write(const HexSegment* head, const std::string& fileName, int fileType);
int HexFile_Write(const HexSegment* head, const std::wstring& fileName, int fileType);

// Frees every segment of the list and its data; null is allowed.
void HexFile_Free(HexSegment* head);

int HexFile_GetLastError();
// Text of the last error with the file and line parts, e.g.
// "Checksum error, file 'fw.hex', line 17". The buffer is overwritten by the next call.
const char* HexFile_GetErrorText();

// A new segment holding a copy of `length` bytes (none when bytes is null);
// lists built from these are freed by HexFile_Free. Null when memory is short.
HexSegment* HexSegment_New(uint32_t address, const uint8_t* bytes, int32_t length);

// Owns a segment list for a scope: HexSegmentList image; HexFile_Read(image.out(), name);
class HexSegmentList {
 public:
  HexSegmentList() = default;
  explicit HexSegmentList(HexSegment* head) : head_(head) {}
  ~HexSegmentList() { HexFile_Free(head_); }
  HexSegmentList(const HexSegmentList&) = delete;
  HexSegmentList& operator=(const HexSegmentList&) = delete;
  HexSegmentList(HexSegmentList&& other) noexcept : head_(other.release()) {}
  HexSegmentList& operator=(HexSegmentList&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  HexSegment* head() const { return head_; }
  // Frees the list held so far and hands out the head pointer to be filled.
  HexSegment** out() {
    reset();
    return &head_;
  }
  HexSegment* release() {
    HexSegment* h = head_;
    head_ = nullptr;
    return h;
  }
  void reset(HexSegment* head = nullptr) {
    HexFile_Free(head_);
    head_ = head;
  }

 private:
  HexSegment* head_ = nullptr;
};
