// The rules of the settings pages for the calibration instruments ("Calibrator"
// and "Testo 701"): what their selectors offer, what they store, and their
// "Test" buttons.
#pragma once

#include <string>
#include <vector>

// Port selector entries: the ports that exist, then the stored name when it
// is none of them (a device path such as a pseudo-terminal stays selectable
// and is not lost by opening the page).
std::vector<std::string> InstrumentSettings_PortChoices(const std::vector<std::string>& existing,
                                                        const std::string& stored);
// The entry to select for the stored name (compared case-insensitively), else 0.
int InstrumentSettings_PortIndex(const std::vector<std::string>& choices, const std::string& stored);
// The port name to store for the selector's text: the text without blanks
// around it; the first entry when it is empty; "" when there is no entry either.
std::string InstrumentSettings_PortToStore(const std::string& text, const std::vector<std::string>& choices);

// Address selector: "0" .. "14", "15 (Broadcast)".
std::vector<std::string> InstrumentSettings_AddressChoices();
// The entry for a stored address (limited to 0..15).
int InstrumentSettings_AddressIndex(int address);
// The address to store for a selection; an invalid one stores 15.
int InstrumentSettings_AddressToStore(int index);

// Thermometer probe selector: "1", "2".
int InstrumentSettings_ChannelIndex(int channel);
// The probe to store for a selection: selection + 1; an invalid one counts as the first.
int InstrumentSettings_ChannelToStore(int index);

// The options a calibrator (1 Metrahit 28c, 2 Vorn Box) keeps its port and address in.
const char* InstrumentSettings_PortOption(int calibrator);
const char* InstrumentSettings_AddressOption(int calibrator);

// "Test" of a calibrator: stores port (unless empty) and address, addresses
// the calibrator under the wait cursor and tells the result in a message box.
void InstrumentSettings_TestCalibrator(int calibrator, const std::string& port, int address);
// "Test" of the thermometer: stores port (unless empty) and probe, asks the probe once under
// the wait cursor and tells the result: success, no sensor, or no answer.
void InstrumentSettings_TestTesto(const std::string& port, int channel);
