#include "module/SmsListFile.h"

#include "core/TextFormat.h"
#include "module/TextLines.h"

std::string SmsFile_Format(const std::vector<SmsFileEntry>& entries) {
  std::string out = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<smslist>\n";
  for (const SmsFileEntry& e : entries) {
    out += "\t<sms>\n";
    out += "\t\t<phone>" + e.phone + "</phone>\n";
    out += "\t\t<text>" + e.text + "</text>\n";
    out += "\t</sms>\n";
  }
  out += "</smslist>\n";
  return out;
}

namespace {

class SmsFileParser {
 public:
  explicit SmsFileParser(int capacity) : capacity_(capacity) {}

  // One piece of a line, with its line end ("\n") when it has one.
  // False once reading stops.
  bool line(const std::string& text) {
    size_t pos = 0;
    while (pos <= text.size()) {
      switch (state_) {
        case WantSms: {
          const size_t at = text.find("<sms>", pos);
          if (at == std::string::npos) return true;
          if (int(out_.entries.size()) >= capacity_) {
            out_.tooMany = true;
            return false;
          }
          out_.entries.push_back({});
          out_.phoneSeen.push_back(false);
          out_.textSeen.push_back(false);
          pos = at + 5;
          state_ = WantPhone;
          break;
        }
        case WantPhone:
          if (!open(text, pos, "<phone>", InPhone)) return true;
          break;
        case InPhone:
          if (!collect(text, pos, "</phone>", out_.entries.back().phone, WantText)) return true;
          out_.phoneSeen.back() = true;
          break;
        case WantText:
          if (!open(text, pos, "<text>", InText)) return true;
          break;
        case InText:
          if (!collect(text, pos, "</text>", out_.entries.back().text, WantEnd)) return true;
          out_.textSeen.back() = true;
          break;
        case WantEnd: {
          const size_t at = text.find("</sms>", pos);
          if (at == std::string::npos) return true;
          state_ = WantSms;
          return true;  // the rest of this line is not searched for another <sms>
        }
      }
    }
    return true;
  }

  SmsFileContents take() { return std::move(out_); }

 private:
  enum State { WantSms, WantPhone, InPhone, WantText, InText, WantEnd };

  bool open(const std::string& text, size_t& pos, const char* tag, State next) {
    const size_t at = text.find(tag, pos);
    if (at == std::string::npos) return false;
    pos = at + std::char_traits<char>::length(tag);
    collected_.clear();
    state_ = next;
    return true;
  }

  // Collects up to the closing tag; false when the line ends first.
  bool collect(const std::string& text, size_t& pos, const char* tag, std::string& into, State next) {
    const size_t at = text.find(tag, pos);
    const size_t end = at == std::string::npos ? text.size() : at;
    const size_t room = size_t(kSmsFileMaxContent) - collected_.size();
    collected_ += text.substr(pos, std::min(end - pos, room));
    if (at == std::string::npos) return false;
    into = collected_;
    pos = at + std::char_traits<char>::length(tag);
    state_ = next;
    return true;
  }

  int capacity_;
  State state_ = WantSms;
  std::string collected_;
  SmsFileContents out_;
};

}  // namespace

SmsFileContents SmsFile_Parse(const std::string& fileBytes, int capacity) {
  std::string bytes = fileBytes;
  if (TextLines_IsMultibyteUtf8(bytes)) bytes = TextLines_Utf8ToLatin1(bytes);
  // A NUL ends the text, as it would end a line read into a buffer.
  const size_t nul = bytes.find('\0');
  if (nul != std::string::npos) bytes.resize(nul);

  SmsFileParser parser(capacity);
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t eol = bytes.find('\n', pos);
    std::string line = bytes.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
    pos = eol == std::string::npos ? bytes.size() : eol + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (eol != std::string::npos) line += '\n';
    bool going = true;
    for (size_t at = 0; going && at < line.size(); at += size_t(kSmsFileMaxLine))
      going = parser.line(line.substr(at, size_t(kSmsFileMaxLine)));
    if (!going) break;
  }
  return parser.take();
}
