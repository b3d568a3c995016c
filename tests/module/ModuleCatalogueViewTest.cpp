// Columns, rows and sort order of the module catalogue viewer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/ModuleCatalogueView.h"
#include "protocol/ModuleType.h"

namespace {

std::vector<std::string> Titles(bool showType, bool factory) {
  std::vector<std::string> out;
  for (const CatalogueColumnDef& c : Catalogue_Columns(showType, factory))
    out.push_back(std::string(c.title) + "/" + std::to_string(c.width));
  return out;
}

TEST(CatalogueView, ColumnsFollowTheTypeBoxAndFactoryMode) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Titles(false, false), (V{"Name/100", "Comment/1200"}));
  EXPECT_EQ(Titles(true, false), (V{"Name/100", "Type/50", "Comment/1200"}));
  EXPECT_EQ(Titles(false, true), (V{"Name/100", "Status/50", "Comment/1200"}));
  EXPECT_EQ(Titles(true, true), (V{"Name/100", "Type/50", "Status/50", "Comment/1200"}));
}

TEST(CatalogueView, UnreleasedRowsOnlyInFactoryMode) {
  const std::vector<const ModuleTypeInfo*> all = Catalogue_Rows(true);
  const std::vector<const ModuleTypeInfo*> released = Catalogue_Rows(false);
  ASSERT_EQ(int(all.size()), ModuleType_Count());
  int releasedCount = 0;
  for (const ModuleTypeInfo* row : all) releasedCount += row->released && row->type != 0 ? 1 : 0;
  EXPECT_EQ(int(released.size()), releasedCount);
  EXPECT_LT(released.size(), all.size());  // the catalogue has unreleased types
  for (const ModuleTypeInfo* row : released) EXPECT_TRUE(row->released) << row->orderCode;
  // Catalogue order is kept.
  for (size_t i = 1; i < released.size(); ++i) EXPECT_LT(released[i - 1]->type, released[i]->type);
}

TEST(CatalogueView, CellTexts) {
  const ModuleTypeInfo released = {9, "KVX 710-08", "", "eight inputs", "", 1};
  const ModuleTypeInfo draft = {10, "kvx 710-16", "", "sixteen inputs", "", 0};
  EXPECT_EQ(Catalogue_CellText(released, CatalogueColumn::Name), "KVX 710-08");
  EXPECT_EQ(Catalogue_CellText(released, CatalogueColumn::Type), "9");
  EXPECT_EQ(Catalogue_CellText(released, CatalogueColumn::Status), "Ok");
  EXPECT_EQ(Catalogue_CellText(draft, CatalogueColumn::Status), "-");
  EXPECT_EQ(Catalogue_CellText(draft, CatalogueColumn::Comment), "sixteen inputs");
}

std::vector<std::string> Names(const std::vector<const ModuleTypeInfo*>& rows) {
  std::vector<std::string> out;
  for (const ModuleTypeInfo* r : rows) out.push_back(r->orderCode);
  return out;
}

TEST(CatalogueView, TypeSortsNumericallyNamesWithoutCase) {
  const ModuleTypeInfo a = {10, "b-ten", "", "Zeta", "", 1};
  const ModuleTypeInfo b = {9, "C-nine", "", "alpha", "", 0};
  const ModuleTypeInfo c = {100, "a-hundred", "", "Beta", "", 1};
  std::vector<const ModuleTypeInfo*> rows = {&a, &b, &c};
  using V = std::vector<std::string>;

  CatalogueSort sort;  // opens by name, ascending
  Catalogue_Sort(rows, sort);
  EXPECT_EQ(Names(rows), (V{"a-hundred", "b-ten", "C-nine"}));

  sort.click(CatalogueColumn::Type);  // another column: ascending
  EXPECT_FALSE(sort.descending);
  Catalogue_Sort(rows, sort);
  EXPECT_EQ(Names(rows), (V{"C-nine", "b-ten", "a-hundred"}));  // 9, 10, 100 - not "10" < "9"

  sort.click(CatalogueColumn::Type);  // same column: reversed
  EXPECT_TRUE(sort.descending);
  Catalogue_Sort(rows, sort);
  EXPECT_EQ(Names(rows), (V{"a-hundred", "b-ten", "C-nine"}));

  sort.click(CatalogueColumn::Comment);
  Catalogue_Sort(rows, sort);
  EXPECT_EQ(Names(rows), (V{"C-nine", "a-hundred", "b-ten"}));  // alpha, Beta, Zeta

  sort.click(CatalogueColumn::Status);
  Catalogue_Sort(rows, sort);
  EXPECT_EQ(Names(rows).front(), "C-nine");  // "-" before "Ok"
}

TEST(CatalogueView, EqualNamesKeepCatalogueOrderAndPrefixesComeFirst) {
  const ModuleTypeInfo a = {1, "KVX 700", "", "", "", 1};
  const ModuleTypeInfo b = {2, "kvx 700", "", "", "", 1};
  const ModuleTypeInfo c = {3, "KVX 700-01", "", "", "", 1};
  std::vector<const ModuleTypeInfo*> rows = {&c, &a, &b};
  CatalogueSort sort;
  Catalogue_Sort(rows, sort);
  EXPECT_EQ(rows[0], &a);
  EXPECT_EQ(rows[1], &b);
  EXPECT_EQ(rows[2], &c);
  EXPECT_EQ(Catalogue_Compare(a, b, sort), 0);
}

}  // namespace
