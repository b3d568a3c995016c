#include "module/CascadePlacement.h"

namespace {
constexpr int kStart = 10;
constexpr int kStep = 24;
constexpr int kMaxY = 240;
constexpr int kBackX = 100;
constexpr int kMaxX = 400;
}  // namespace

void Cascade_Place(CascadeOffsets& offsets, bool anyDialogOpen, int listRight, int listTop,
                   int& x, int& y) {
  if (!anyDialogOpen) offsets = CascadeOffsets{};
  x = listRight + offsets.x;
  y = listTop + offsets.y;
  offsets.x += kStep;
  offsets.y += kStep;
  // A column that reaches the bottom starts a new one further left, at the top.
  if (offsets.y > kMaxY) {
    offsets.x -= kBackX;
    offsets.y = kStart;
  }
  if (offsets.x > kMaxX) offsets = CascadeOffsets{};
}
