// "kvxsim make-firmware": writes test firmware HEX files with the firmware
// info table inside, in byte or word layout, for the simulated bootloaders.
#pragma once

#include <string>

#include "firmware/HexImageBuilder.h"

// What the command line asks for.
struct FirmwareToolRequest {
  FwImageLayout layout;
  HexTextOptions hex;
  std::string output;
};

// Parses the arguments after "make-firmware". False with a message in error.
bool FirmwareTool_Parse(int argc, const char* const* argv, FirmwareToolRequest& out, std::string& error);
// The whole command: parses, writes the file, prints one line. Exit code.
int FirmwareTool_Main(int argc, const char* const* argv);
const char* FirmwareTool_Help();
