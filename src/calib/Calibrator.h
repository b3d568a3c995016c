// The calibrator selector: the calibration code addresses "the calibrator"
// by number, 1 = Metrahit 28c, 2 = Vorn Box, anything else = none, and the
// selector passes the call to that driver with the port and address from the
// options.
#pragma once

#include <string>

enum { CALIBRATOR_NONE = 0, CALIBRATOR_METRAHIT = 1, CALIBRATOR_VORNBOX = 2 };

// "Metrahit 28c", "Vorn Box", or "".
const char* Calibrator_Name(int n);
// "<name>: <the driver's last error text>", or "" for none.
std::string Calibrator_ErrorText(int n);
// The thermocouple reference junction (Metrahit 28c only): 1, or 0 for the others.
int Calibrator_SetTcReference(int n, int external, double value);
// Sets the output for a channel type number: 1 success, 0 failure (and for none).
int Calibrator_SetOutput(int n, int outputType, double value);
// Addresses the calibrator without changing its output; the communication
// test of the settings dialog. 1 success, 0 failure (and for none).
int Calibrator_Off(int n);
