#include "module/PeekMemWriteData.h"

#include "core/TextFormat.h"
#include "core/WideText.h"

namespace {

bool StartsBlank(wchar_t c) { return c == L' ' || c == L',' || c == L'\t' || c == L'\r' || c == L'\n'; }
int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return int(c - L'0');
  if (c >= L'a' && c <= L'f') return int(c - L'a') + 10;
  if (c >= L'A' && c <= L'F') return int(c - L'A') + 10;
  return -1;
}

std::string Narrow(const std::wstring& w, size_t from, size_t to) {
  return Text_Narrow(w.substr(from, to - from));
}

class DataParser {
 public:
  DataParser(const std::string& text, int maximum) : text_(Text_Widen(text)), maximum_(maximum) {}

  PeekByteList run() {
    while (pos_ < text_.size() && out_.error.empty()) {
      const wchar_t c = text_[pos_];
      if (StartsBlank(c)) {
        ++pos_;
      } else if (c == L'"' || c == L'\'') {
        quoted(c);
      } else if (c == L'0' && pos_ + 1 < text_.size() && (text_[pos_ + 1] == L'x' || text_[pos_ + 1] == L'X')) {
        hex();
      } else if (c >= L'0' && c <= L'9') {
        decimal();
      } else {
        out_.error = Text_Format("Unexpected character '%s'", Narrow(text_, pos_, pos_ + 1).c_str());
      }
    }
    if (!out_.error.empty()) out_.values.clear();
    return out_;
  }

 private:
  size_t numberEnd() const {
    size_t end = pos_;
    while (end < text_.size() && !StartsBlank(text_[end])) ++end;
    return end;
  }

  void add(unsigned long value, size_t from, size_t to) {
    if (value > 255) {
      out_.error = Text_Format("Value '%s' is above 255", Narrow(text_, from, to).c_str());
    } else if (int(out_.values.size()) >= maximum_) {
      out_.error = Text_Format("Too many values (max. %d)", maximum_);
    } else {
      out_.values.push_back(int(value));
    }
  }

  void hex() {
    const size_t from = pos_, end = numberEnd();
    unsigned long value = 0;
    bool digits = false;
    for (size_t i = from + 2; i < end; ++i) {
      const int d = HexDigit(text_[i]);
      if (d < 0) continue;  // not a hex digit: ignored
      digits = true;
      if (value <= 0xFFFFFFul) value = value * 16 + unsigned(d);
    }
    pos_ = end;
    if (!digits) {
      out_.error = Text_Format("Bad number '%s'", Narrow(text_, from, end).c_str());
      return;
    }
    add(value, from, end);
  }

  void decimal() {
    const size_t from = pos_, end = numberEnd();
    unsigned long value = 0;
    for (size_t i = from; i < end; ++i) {
      const wchar_t c = text_[i];
      if (c < L'0' || c > L'9') {
        out_.error = Text_Format("Bad number '%s'", Narrow(text_, from, end).c_str());
        return;
      }
      if (value <= 0xFFFFFFul) value = value * 10 + unsigned(c - L'0');
    }
    pos_ = end;
    add(value, from, end);
  }

  void quoted(wchar_t quote) {
    const size_t close = text_.find(quote, pos_ + 1);
    if (close == std::wstring::npos) {
      out_.error = Text_Format("Missing closing quote (%c)", char(quote));
      return;
    }
    for (size_t i = pos_ + 1; i < close && out_.error.empty(); ++i) add(static_cast<unsigned long>(text_[i]), i, i + 1);
    pos_ = close + 1;
  }

  std::wstring text_;
  int maximum_;
  size_t pos_ = 0;
  PeekByteList out_;
};

}  // namespace

PeekByteList PeekWrite_ParseData(const std::string& text, int maximum) {
  return DataParser(text, maximum).run();
}

int ParseByteList(const std::string& text, int* out, int maximum) {
  const PeekByteList list = PeekWrite_ParseData(text, maximum);
  if (!list.error.empty()) return -1;
  for (size_t i = 0; i < list.values.size(); ++i) out[i] = list.values[i];
  return int(list.values.size());
}
