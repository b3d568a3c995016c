// Where a new module dialog opens: in a cascade beside the module list, each
// dialog 24 pixels further right and down than the one before, wrapping back
// before the cascade leaves the screen area next to the list.
#pragma once

struct CascadeOffsets {
  int x = 10;
  int y = 10;
};

// Screen position of the next dialog beside a list whose right edge (first
// pixel column past the list) and top edge are given. Restarts the cascade
// when no module dialog is open, then advances the offsets.
void Cascade_Place(CascadeOffsets& offsets, bool anyDialogOpen, int listRight, int listTop,
                   int& x, int& y);
