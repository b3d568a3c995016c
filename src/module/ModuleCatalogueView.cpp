#include "module/ModuleCatalogueView.h"

#include <algorithm>
#include <strings.h>

#include "core/TextFormat.h"
#include "protocol/ModuleType.h"

std::vector<CatalogueColumnDef> Catalogue_Columns(bool showType, bool factory) {
  std::vector<CatalogueColumnDef> columns{{CatalogueColumn::Name, "Name", 100}};
  if (showType) columns.push_back({CatalogueColumn::Type, "Type", 50});
  if (factory) columns.push_back({CatalogueColumn::Status, "Status", 50});
  columns.push_back({CatalogueColumn::Comment, "Comment", 1200});
  return columns;
}

std::vector<const ModuleTypeInfo*> Catalogue_Rows(bool factory) {
  std::vector<const ModuleTypeInfo*> rows;
  const int count = ModuleType_Count();
  for (int i = 0; i < count; ++i) {
    const ModuleTypeInfo* row = ModuleType_At(i);
    if (!row) continue;
    if (!factory && (row->type == 0 || !row->released)) continue;
    rows.push_back(row);
  }
  return rows;
}

std::string Catalogue_CellText(const ModuleTypeInfo& row, CatalogueColumn column) {
  switch (column) {
    case CatalogueColumn::Name: return row.orderCode;
    case CatalogueColumn::Type: return Text_Format("%d", int(row.type));
    case CatalogueColumn::Status: return row.released ? "Ok" : "-";
    case CatalogueColumn::Comment: return row.description;
  }
  return "";
}

void CatalogueSort::click(CatalogueColumn clicked) {
  if (clicked == column) {
    descending = !descending;
  } else {
    column = clicked;
    descending = false;
  }
}

int Catalogue_Compare(const ModuleTypeInfo& a, const ModuleTypeInfo& b, const CatalogueSort& sort) {
  int result;
  if (sort.column == CatalogueColumn::Type)
    result = a.type < b.type ? -1 : (a.type > b.type ? 1 : 0);
  else
    result = strcasecmp(Catalogue_CellText(a, sort.column).c_str(),
                        Catalogue_CellText(b, sort.column).c_str());
  return sort.descending ? -result : result;
}

void Catalogue_Sort(std::vector<const ModuleTypeInfo*>& rows, const CatalogueSort& sort) {
  std::stable_sort(rows.begin(), rows.end(), [&](const ModuleTypeInfo* a, const ModuleTypeInfo* b) {
    return Catalogue_Compare(*a, *b, sort) < 0;
  });
}
