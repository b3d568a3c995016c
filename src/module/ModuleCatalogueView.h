// The module catalogue viewer's contents: its columns, the rows it lists and
// their order. The dialog only draws what this decides.
#pragma once

#include <string>
#include <vector>

struct ModuleTypeInfo;

enum class CatalogueColumn { Name, Type, Status, Comment };

struct CatalogueColumnDef {
  CatalogueColumn column;
  const char* title;
  int width;  // pixels
};

// "Name" 100, "Type" 50 (while the type is shown), "Status" 50 (factory
// mode), "Comment" 1200, in this order.
std::vector<CatalogueColumnDef> Catalogue_Columns(bool showType, bool factory);

// The catalogue rows in catalogue order; outside factory mode without rows of
// type 0 and rows not released.
std::vector<const ModuleTypeInfo*> Catalogue_Rows(bool factory);

// A cell's text: order code, type in decimal, "Ok" / "-", description.
std::string Catalogue_CellText(const ModuleTypeInfo& row, CatalogueColumn column);

// Sort order of the list: by "Name" ascending when it opens; a click on the
// sort column reverses the direction, a click on another column sorts by it
// ascending.
struct CatalogueSort {
  CatalogueColumn column = CatalogueColumn::Name;
  bool descending = false;
  void click(CatalogueColumn clicked);
};

// < 0, 0, > 0: "Type" compares numbers, every other column its texts without
// regard to case; descending negates the result.
int Catalogue_Compare(const ModuleTypeInfo& a, const ModuleTypeInfo& b, const CatalogueSort& sort);
// Sorts rows; rows that compare equal keep their order.
void Catalogue_Sort(std::vector<const ModuleTypeInfo*>& rows, const CatalogueSort& sort);
