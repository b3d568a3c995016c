// The tab framework of the program's tabbed dialogs (module dialog, settings,
// interface settings): up to 16 pages on Qt's tab widget, one TabDialogData
// block per dialog holding the pages, their private data and the state the
// pages of one dialog share while it is open.
//
//   auto* data = TabDialog_Attach(dialog);   // once, when the dialog is built
//   TabDialog_Init(dialog);                  // finds the tab control "tabControl"
//   TabDialog_AddTab(dialog, "Info", "TAB_MOD_INFO", [](QWidget* p) { return new InfoTab(p); });
//   TabDialog_ShowSelected(dialog);
//   ...
//   TabDialog_DestroyTabs(dialog);           // when it closes
//
// Pages that derive from TabPage learn when they are shown and hidden.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <typeindex>
#include <typeinfo>

class QTabWidget;
struct ModuleRec;

inline constexpr int kTabDialogMaxTabs = 16;
// Object name of the tab control in every tabbed dialog.
inline constexpr const char* kTabControlName = "tabControl";

// Private data of one page; the framework deletes it when the pages go.
class TabPageData {
 public:
  virtual ~TabPageData() = default;
};

struct TabSlot {
  QWidget* page = nullptr;
  std::unique_ptr<TabPageData> data;
};

// State the pages of one dialog keep while it is open, one object per type,
// created zero-initialised on first use: data->shared.get<ChannelTable>().
class TabSharedArea {
 public:
  template <class T>
  T& get() {
    std::shared_ptr<void>& item = items_[std::type_index(typeid(T))];
    if (!item) item = std::make_shared<T>();
    return *static_cast<T*>(item.get());
  }
  void clear() { items_.clear(); }

 private:
  std::map<std::type_index, std::shared_ptr<void>> items_;
};

struct TabDialogData {
  ModuleRec* module = nullptr;  // set by the module dialog only
  QTabWidget* tabControl = nullptr;
  int32_t tabCount = 0;
  int32_t currentTab = -1;
  TabSlot tabSlots[kTabDialogMaxTabs];  // not "slots": Qt reserves that word
  TabSharedArea shared;
  bool closing = false;  // the dialog is closing: pages start no more work
};

// A fresh block attached to the dialog; it is freed with the dialog.
TabDialogData* TabDialog_Attach(QWidget* dialog);
// The dialog's block, or nullptr.
TabDialogData* TabDialog_Data(QWidget* dialog);
// The block of the dialog a page belongs to, or nullptr.
TabDialogData* TabDialog_DataOfPage(const QWidget* page);
// The dialog a page belongs to, or nullptr.
QWidget* TabDialog_DialogOfPage(const QWidget* page);

// Looks up the tab control (object name kTabControlName); no tabs, none current.
void TabDialog_Init(QWidget* dialog);

using TabPageFactory = std::function<QWidget*(QWidget* parent)>;
// Appends a page made by create, named pageName, under label. At 16 pages
// nothing is added and "Too many tabs in dialog (max. 16)" is reported.
// Returns the page's index, or -1.
int TabDialog_AddTab(QWidget* dialog, const char* label, const char* pageName,
                     const TabPageFactory& create);
// Makes the selected tab's page the current one. Called after all tabs are
// added and whenever the selection changes.
void TabDialog_ShowSelected(QWidget* dialog);
// Selects a tab (Qt's tab widget switches to its page at once).
void TabDialog_Select(QWidget* dialog, int index);
int TabDialog_GetSelected(QWidget* dialog);
// Hides every page (the visible one learns it is hidden), frees the pages'
// data and deletes the pages.
void TabDialog_DestroyTabs(QWidget* dialog);
// The slot of a page; "internal error: can't resolve tabdata" when the page
// is not one of its dialog's pages.
TabSlot* TabDialog_ResolveTab(const QWidget* page);

// A page that learns when it becomes visible or hidden: when its tab is
// selected or left, and when its dialog opens or closes.
class TabPage : public QWidget {
  Q_OBJECT
 public:
  explicit TabPage(QWidget* parent = nullptr) : QWidget(parent) {}

 protected:
  virtual void pageShown() {}
  virtual void pageHidden() {}
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
};
