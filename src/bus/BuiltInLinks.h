// The link the program uses for each interface type.
#pragma once

struct BusLink;

// nullptr for type 0 and for types outside the table.
const BusLink* BuiltInLink(int type);
