// The built-in demo population: eleven modules of different kinds on two
// buses, written in the population file format (kvxsim --print-demo shows it).
#include <cstdio>
#include <cstdlib>

#include "population/Population.h"

const char* SimPopulation::demoText() {
  return R"POP(# kvxsim demo population
base 0x680
plc 1
bus 0 125k
bus 1 500k

# Bus 0
module bus=0 node=2 type=16 hw=2 state=0x85 boot=1.2 fw=2.5 cpu=2 shipped=2019-05-14T09:30:00 programmed=2019-05-13T16:02:11 name="digital I/O, 8 in / 8 out"
object 0x3004.0 uint8 ro 1
object 0x3004.1 uint32 ro 0x6000011E
object 0x3005.0 uint8 ro 1
object 0x3005.1 uint32 ro 0x6200011E
object 0x311E.0 uint8 ro 1
object 0x311E.1 uint16 ro 0x1E07
object 0x6000.1 uint8 ro 0xA5
object 0x6200.1 uint8 rw 0x00
module bus=0 node=3 type=32 hw=1 state=0x85 boot=1.3 fw=1.8 cpu=4 shipped=2020-11-02T14:12:45 name="analog input, 2 channels"
object 0x3000.0 uint8 ro 2
object 0x3000.1 uint32 ro 0x64010101
object 0x3000.2 uint32 ro 0x64010201
object 0x3002.0 uint16 ro 0x3010
object 0x3010.1 uint8 rw 3
object 0x3010.2 uint8 rw 2
object 0x3101.0 uint8 ro 4
object 0x3101.1 uint16 ro 0x0100
object 0x3101.2 uint16 ro 0x0101
object 0x3101.3 uint16 ro 0x0102
object 0x3101.4 uint16 ro 0x0103
object 0x2190.1 uint8 ro 0
object 0x2190.2 uint8 ro 0
object 0x6401.1 real32 ro 2.5
object 0x6401.2 real32 ro -1.25
module bus=0 node=5 type=48 hw=3 state=0x85 boot=2.0 fw=3.1 cpu=6 format=38 shipped=2022-03-21T08:00:00 name="room controller (newer bus parameters)"
module bus=0 node=7 type=17 hw=1 state=0x01 boot=1.1 fw=none cpu=2 name="digital output, no firmware (bootloader)"
module bus=0 node=10 type=272 hw=1 state=0x85 boot=2.1 fw=1.0 cpu=6 format=38 name="gateway (type above 255)"
module bus=0 node=12 type=99 hw=1 state=0x85 boot=1.0 fw=1.0 cpu=2 name="module of a type the program does not know"
module bus=0 node=20 type=133 hw=1 state=0x85 boot=1.0 fw=1.4 cpu=4 name="LIN master"

# Bus 1
module bus=1 node=2 type=16 hw=2 state=0x85 boot=1.2 fw=2.6 cpu=2 name="digital I/O on the second bus"
object 0x3004.0 uint8 ro 1
object 0x3004.1 uint32 ro 0x6000011E
object 0x3005.0 uint8 ro 1
object 0x3005.1 uint32 ro 0x6200011E
object 0x311E.0 uint8 ro 1
object 0x311E.1 uint16 ro 0x1E07
object 0x6000.1 uint8 ro 0x3C
object 0x6200.1 uint8 rw 0x00
module bus=1 node=4 type=64 hw=1 state=0x83 boot=1.4 fw=1.1 cpu=4 name="analog output, pre-operational"
module bus=1 node=9 type=24 hw=1 state=0x85 boot=1.0 fw=1.2 cpu=1 legacyid source=dip name="older panel (one-byte type, DIP switches)"
module bus=1 node=33 type=48 hw=3 state=0x84 boot=2.0 fw=3.0 cpu=6 format=38 name="room controller, stopped"
)POP";
}

SimPopulation SimPopulation::demo() {
  SimPopulation p;
  std::string error;
  if (!parse(demoText(), p, error)) {
    // The text is part of the program; a parse error is a build mistake.
    std::fprintf(stderr, "kvxsim: demo population: %s\n", error.c_str());
    std::abort();
  }
  return p;
}
