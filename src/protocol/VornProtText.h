// Texts for values of the module protocol: bit rates, processor types,
// bootloader error codes, module states and object data types. Texts with a
// number in them are built in one buffer per function, which the next call of
// the same function overwrites.
#pragma once

// VornProt_DateText lives with the debug log, which dates its first and last
// lines with it; the module protocol's date replies use the same function.
#include "core/DateText.h"

// Bit rate of bit-rate index on a bus: 'c' (CAN) "10 k" .. "1000 k",
// 'm' (Modbus) "1200" .. "57600", an index outside the bus's table
// "Baud=undef"; any other bus letter "(#<index>)".
const char* VornProt_BaudName(int index, char bus);

// Processor type code of the module info reply: "PIC18F", "dsPIC30F",
// "AT8051", "dsPIC33F", "SAMC21", others "(#<code>)".
const char* VornProt_CpuName(int code);

// Bootloader error code of the block transfer status: "(no error)",
// "Invalid parameter (#1)" .. "Illegal address gap (#8)",
// others "(unknown error #<code>)".
const char* VornProt_BootErrorText(int code);

// Name of the module state in bits 0..3 of a state byte ("Bootup" ..
// "Operational"); "?" for the unused numbers.
const char* VornProt_StateText(int state);

// Name of an object data type code ("BOOL" .. "STRING", "PDOCOMPAR");
// "(?)" for others.
const char* VornProt_DataTypeText(int code);
