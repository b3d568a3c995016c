// The CAN bit-rate codes shared by the PCAN USB adapter and the Ethernet master:
// 0 = 10 kbit/s ... 7 = 1000 kbit/s; any other code is an unknown rate.
#pragma once

// Bit rate in bit/s, 0 for an unknown code.
int BitRate_FromCode(int code);
// "125 kBaud" and so on, nullptr for an unknown code.
const char* BitRate_Text(int code);
