// The links the program itself brings, one per interface type.
#pragma once

class Link;

// The current session's link of an interface type 1..4 (a session part).
Link& BuiltInLink(int type);
