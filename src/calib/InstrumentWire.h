// What the calibrator drivers and the simulated instruments agree on at the
// serial line.
#pragma once

namespace InstrumentWire {

// Line settings of the process calibrator and the calibrator box.
constexpr const char* CALIBRATOR_LINE = "baud=9600 parity=N data=8 stop=1";
// Line settings of the thermometer.
constexpr const char* THERMOMETER_LINE = "baud=4800 parity=N data=8 stop=1";
// Every calibrator takes "ADDR 15" as its own address.
constexpr int BROADCAST_ADDRESS = 15;
// The answer a calibrator gives to a command it carried out.
constexpr const char* CALIBRATOR_OK = "OK";
// A thermometer reading: probe letter, seven characters of number, unit letter.
constexpr int THERMOMETER_ANSWER_LENGTH = 9;

}  // namespace InstrumentWire
