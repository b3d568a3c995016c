// What the interface settings dialog needs of the CAN adapter link ("PCAN
// USB"): its bit-rate index and the adapter library in use. The link itself
// defines these; until it comes, PcanSettingsStandIn.cpp keeps the index.
#pragma once

// Sets the adapter's bit rate by index 0..7 (any other index means 125 kbit/s);
// an adapter already running restarts at the new rate.
void pCAN_SetBaudrate(int index);
// The index of the bit rate in use.
int pCAN_GetBaudrate();
// The adapter library file the link loaded.
const char* pCAN_LibraryPath();
// Whether the adapter library is loaded now.
bool pCAN_LibraryLoaded();
