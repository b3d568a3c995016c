#include "module/SdoListFile.h"

#include "core/AtomicFile.h"
#include "core/NumberText.h"
#include "core/TextFormat.h"
#include "module/TextLines.h"
#include "platform/Paths.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleType.h"

namespace {

// A text field as written: tabs and line ends would break the line apart.
std::string Clean(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t pos = 0;
  for (;;) {
    const size_t tab = line.find('\t', pos);
    fields.push_back(line.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos));
    if (tab == std::string::npos) break;
    pos = tab + 1;
  }
  return fields;
}

}  // namespace

std::string SdoListFile_Folder() { return Platform_HomeFile(GetProgramBaseName() + "-sdo"); }

std::string SdoListFile_Path(const ModuleRec& module) {
  const char* name = module.typeInfo ? module.typeInfo->orderCode : "Default";
  return Platform_JoinPath(SdoListFile_Folder(), std::string(name) + ".sdo");
}

std::string SdoListFile_Format(const SdoList& list) {
  std::string out;
  for (int i = 0; i < list.count; ++i) {
    const SdoEntry& e = list.entries[i];
    const bool keepValue = (e.flags & kSdoFlagWritable) || e.type == kSdoTypeUnknown;
    out += Text_Format("%d\t%s\t%s\t%s\t%s\n", int(e.flags), Clean(e.name).c_str(), Clean(e.index).c_str(),
                       Clean(e.subindex).c_str(), keepValue ? Clean(e.value).c_str() : "");
  }
  return out;
}

std::vector<SdoEntry> SdoListFile_Parse(const std::vector<std::string>& lines) {
  std::vector<SdoEntry> entries;
  for (const std::string& raw : lines) {
    if (int(entries.size()) >= kSdoMaxEntries) break;
    std::vector<std::string> f = SplitTabs(TextLines_ToUtf8(raw));
    f.resize(5);
    SdoEntry e;
    e.flags = uint32_t(NumberText_ParseInt(f[0].c_str()));
    e.name = TextLines_CutChars(f[1], kSdoNameChars);
    e.index = TextLines_CutChars(f[2], kSdoIndexChars);
    e.subindex = TextLines_CutChars(f[3], kSdoSubChars);
    e.value = TextLines_CutChars(f[4], kSdoValueChars);
    if (e.name.empty() && e.index.empty() && e.subindex.empty() && e.value.empty()) continue;
    entries.push_back(e);
  }
  return entries;
}

void SdoListFile_Load(const ModuleRec& module, SdoList& list) {
  list.count = 0;
  list.top = 0;
  Platform_MakeFolders(SdoListFile_Folder());
  std::vector<std::string> lines;
  TextLines_Read(SdoListFile_Path(module), kSdoFileMaxLine - 1, lines);
  for (const SdoEntry& e : SdoListFile_Parse(lines)) list.entries[list.count++] = e;
}

void SdoListFile_Save(const ModuleRec& module, const SdoList& list) {
  Platform_MakeFolders(SdoListFile_Folder());
  AtomicFile_Write(SdoListFile_Path(module), SdoListFile_Format(list));
}
