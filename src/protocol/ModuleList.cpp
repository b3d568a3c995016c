#include "protocol/ModuleList.h"

#include "bus/Interface.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Session.h"
#include "core/TextFormat.h"
#include "protocol/ModuleType.h"

namespace {

struct ModuleListState {
  ModuleRec records[kModuleRecCount];
  ModuleListHooks hooks;
  void (*activateDialog)(ModuleRec* rec) = nullptr;
};

ModuleListState& list() { return Session_Part<ModuleListState>(); }

bool inUse(const ModuleRec& rec) { return rec.node >= 0; }

// Only records of the table, and only those in use, are acted on.
bool isListed(const ModuleRec* rec) {
  return rec && rec >= list().records && rec < list().records + kModuleRecCount && inUse(*rec);
}

ModuleRec* recordOfDialog(void* dialog) {
  if (!dialog) return nullptr;
  for (ModuleRec& rec : list().records)
    if (inUse(rec) && rec.dialog == dialog) return &rec;
  return nullptr;
}

// Lines follow the table order: every record in use gets its line position.
void renumberLines() {
  int line = 0;
  for (ModuleRec& rec : list().records) rec.listIndex = inUse(rec) ? line++ : -1;
}

void linesChanged() {
  renumberLines();
  if (list().hooks.linesChanged) list().hooks.linesChanged();
}

void selectLine(int listIndex) {
  if (list().hooks.selectLine) list().hooks.selectLine(listIndex);
}

// Closes the module's dialog (the GUI closes the calibration dialogs that
// belong to it first) and forgets it.
void closeDialogOf(ModuleRec& rec) {
  if (!rec.dialog) return;
  if (list().hooks.closeDialog) list().hooks.closeDialog(&rec);
  rec.dialog = nullptr;
}

void openDialogOf(ModuleRec& rec) {
  if (list().hooks.openDialog) {
    list().hooks.openDialog(&rec);
  } else {
    rec.reopen = 0;  // nothing will re-create it
  }
}

void fillRecord(ModuleRec& rec, int node, char bus, unsigned type, unsigned version,
                unsigned state) {
  rec = ModuleRec{};
  rec.node = node;
  rec.bus = bus;
  rec.type = type;
  rec.version = version;
  rec.state = state;
  rec.autoUpdate = Option_GetInt("AUTOUPDATE") ? 1 : 0;
  rec.typeInfo = ModuleType_Find(int(type));
}

const char* orderCodeOr(const ModuleRec* rec, const char* unknown) {
  return rec->typeInfo ? rec->typeInfo->orderCode : unknown;
}

}  // namespace

void ModuleList_SetHooks(const ModuleListHooks& hooks) { list().hooks = hooks; }

void ModuleList_SetViewHooks(const ModuleListHooks& hooks) {
  list().hooks.linesChanged = hooks.linesChanged;
  list().hooks.selectLine = hooks.selectLine;
  list().hooks.setHeader = hooks.setHeader;
}

void ModuleList_SetDialogHooks(const ModuleListHooks& hooks) {
  list().hooks.openDialog = hooks.openDialog;
  list().hooks.closeDialog = hooks.closeDialog;
}

void ModuleList_SetActivateHook(void (*activateDialog)(ModuleRec* rec)) {
  list().activateDialog = activateDialog;
}

void ModuleList_Create() {
  for (ModuleRec& rec : list().records) rec = ModuleRec{};
  linesChanged();
}

int ModuleList_Add(int node, char bus, unsigned type, unsigned version, unsigned state,
                   bool openDialog) {
  if (node < 0) return -1;
  ModuleRec* freeRec = nullptr;
  ModuleRec* match = nullptr;
  for (ModuleRec& rec : list().records) {
    if (!inUse(rec)) {
      if (!freeRec) freeRec = &rec;
    } else if (!match && rec.node == node && rec.bus == bus && rec.type == type &&
               rec.version == version) {
      match = &rec;
    }
  }
  if (!match && !freeRec) return -1;

  ModuleRec* rec = match;
  if (!rec) {
    rec = freeRec;
    fillRecord(*rec, node, bus, type, version, state);
    linesChanged();
  } else if (rec->dialog) {
    // Found again while its dialog is open: the dialog is re-created where it was.
    closeDialogOf(*rec);
    rec->reopen = 1;
    openDialog = true;
  }
  if (openDialog) {
    selectLine(rec->listIndex);
    openDialogOf(*rec);
    ModuleList_ShowStatus(rec);
  }
  return 0;
}

void ModuleList_Remove(ModuleRec* rec) {
  if (!isListed(rec)) return;
  closeDialogOf(*rec);
  *rec = ModuleRec{};
  linesChanged();
}

void ModuleList_Clear() {
  for (ModuleRec& rec : list().records) {
    if (!inUse(rec)) continue;
    closeDialogOf(rec);
    rec = ModuleRec{};
  }
  linesChanged();
}

void ModuleList_CloseAllDialogs() {
  for (ModuleRec& rec : list().records)
    if (inUse(rec)) closeDialogOf(rec);
}

void ModuleList_Rebuild() { linesChanged(); }

int ModuleList_Count() {
  int n = 0;
  for (const ModuleRec& rec : list().records) n += inUse(rec) ? 1 : 0;
  return n;
}

int ModuleList_CountDialogs() {
  int n = 0;
  for (const ModuleRec& rec : list().records) n += inUse(rec) && rec.dialog ? 1 : 0;
  return n;
}

ModuleRec* ModuleList_Next(ModuleRec* rec) {
  int i = 0;
  if (rec) {
    if (rec < list().records || rec >= list().records + kModuleRecCount) return nullptr;
    i = int(rec - list().records) + 1;
  }
  for (; i < kModuleRecCount; ++i)
    if (inUse(list().records[i])) return &list().records[i];
  return nullptr;
}

ModuleRec* ModuleList_AtLine(int listIndex) {
  if (listIndex < 0) return nullptr;
  for (ModuleRec& rec : list().records)
    if (inUse(rec) && rec.listIndex == listIndex) return &rec;
  return nullptr;
}

void ModuleList_DialogClosed(void* dialog) {
  if (!dialog) return;
  for (ModuleRec& rec : list().records)
    if (inUse(rec) && rec.dialog == dialog) rec.dialog = nullptr;
}

void ModuleList_DialogActivated(void* dialog) {
  ModuleRec* rec = recordOfDialog(dialog);
  if (!rec) return;
  selectLine(rec->listIndex);
  ModuleList_ShowStatus(rec);
}

void ModuleList_ShowStatus(const ModuleRec* rec) {
  if (!rec || !inUse(*rec)) return;
  const char* name = orderCodeOr(rec, "Module");
  if (rec->node == 0)
    SetStatusText("%s", name);
  else
    SetStatusText("%s, %s ID %d (0x%02X)", name, BusName(rec->bus), rec->node, rec->node);
}

void ModuleList_OpenDialog(ModuleRec* rec) {
  if (!isListed(rec)) return;
  if (rec->dialog) {
    if (list().activateDialog) list().activateDialog(rec);
  } else {
    openDialogOf(*rec);
  }
  ModuleList_ShowStatus(rec);
}

std::string ModuleList_LineText(const ModuleRec* rec) {
  if (!rec) return std::string();
  const char* name = orderCodeOr(rec, "(unknown)");
  if (rec->node == 0) return Text_Format(" %s\t%s", "-", name);
  return Text_Format(" %d\t%s", rec->node, name);
}

std::string ModuleList_HeaderText() { return Text_Format("%s ID", BusName(GetBusLetter())); }

void ModuleList_UpdateHeader() {
  if (list().hooks.setHeader) list().hooks.setHeader(ModuleList_HeaderText().c_str());
}
