// The built-in demo population: nineteen modules of different kinds on two
// buses, with channels of every kind and what the service pages need (a LIN
// master with LIN slaves, a clock, serial numbers, an SMS table, objects of
// every data type, memory contents), and what the factory calibration needs
// (inputs with offset and gain errors wired to the simulated calibrators, a
// SAMC21 module with two converters and the reference source of their base
// calibration, an analog output wired back to an input), written in the
// population file format (kvxsim --print-demo shows it).
#include <cstdio>
#include <cstdlib>

#include "population/Population.h"

const char* SimPopulation::demoText() {
  return R"POP(# kvxsim demo population
base 0x680
plc 1
bus 0 125k
bus 1 500k
# The reference source of the SAMC21 base calibration, reached through the CAN adapter on bus 0.
refsource bus=0 node=124 low=1 high=9

# Bus 0
module bus=0 node=2 type=16 hw=2 state=0x85 boot=1.2 fw=2.5 cpu=2 shipped=2019-05-14T09:30:00 programmed=2019-05-13T16:02:11 serials=1001/0x4A000001 name="digital I/O, 8 in / 8 out"
object 0x3004.0 uint8 ro 1
object 0x3004.1 uint32 ro 0x6000011E
object 0x3005.0 uint8 ro 1
object 0x3005.1 uint32 ro 0x6200011E
object 0x311E.0 uint8 ro 1
object 0x311E.1 uint16 ro 0x1E07
object 0x6000.1 uint8 ro 0xA5
object 0x6200.1 uint8 rw 0x00
signal di 0 level=0xA5 period=700
module bus=0 node=3 type=32 hw=1 state=0x85 boot=1.3 fw=1.8 cpu=6 shipped=2020-11-02T14:12:45 name="analog input, 2 channels, SAMC21 with two converters"
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
signal ai 0 level=2.5 swing=0.5 period=6000 offset=0.0015 gain=0.004 noise=0.0001 from=refsource,metrahit
signal ai 1 level=-1.25 swing=0.2 period=9000 offset=-0.002 gain=-0.003 noise=0.0001 from=refsource,metrahit
samadc 0 inputs=0x0001 mode=voltage ref=1/9 offset=12 gain=-0.004
samadc 1 inputs=0x0002 mode=voltage ref=1/9 offset=7 gain=-0.006
module bus=0 node=5 type=48 hw=3 state=0x85 boot=2.0 fw=3.1 cpu=6 format=38 shipped=2022-03-21T08:00:00 name="room controller (newer bus parameters)"
channels ai type=11 configs=0x0B00,0x0B03 count=1 value=0x6401.1
signal ai 0 level=21.5 swing=0.4 period=60000 offset=0.001
channels di type=0x1E configs=0x1E03 count=1 value=0x6000.1
signal di 0 level=0x3 period=1500
channels do type=0x1F configs=0x1E02 count=1 value=0x6200.1
signal do 0 program period=2000
module bus=0 node=7 type=17 hw=1 state=0x01 boot=1.1 fw=none cpu=2 name="digital output, no firmware (bootloader)"
memory flash 0x400 pattern=2048
memory eeprom 0 text="KVX 720-08 EEPROM"
module bus=0 node=10 type=272 hw=1 state=0x85 boot=2.1 fw=1.0 cpu=6 format=38 name="gateway (type above 255)"
module bus=0 node=12 type=99 hw=1 state=0x85 boot=1.0 fw=1.0 cpu=2 name="module of a type the program does not know"
module bus=0 node=20 type=133 hw=1 state=0x85 boot=1.0 fw=1.4 cpu=4 name="LIN master"
linslave node=21 type=51

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
channels ao type=1 configs=0x0104,0x010C count=4 value=0x6411.1 aligned=1
signal ao 1 gain=0.004 offset=-0.002
calib 129 1.4 100 2 4000 -6
module bus=1 node=9 type=24 hw=1 state=0x85 boot=1.0 fw=1.2 cpu=1 legacyid source=dip name="older panel (one-byte type, DIP switches)"
channels di type=0x1E configs=0x1E07 count=1 value=0x6000.1
signal di 0 level=0x01 period=800
channels do type=0x1F configs=0x1E07 count=1 value=0x6200.1
module bus=1 node=33 type=48 hw=3 state=0x84 boot=2.0 fw=3.0 cpu=6 format=38 name="room controller, stopped"
channels ai type=11 configs=0x0B00,0x0B03 count=1 value=0x6401.1
signal ai 0 level=19.8
channels di type=0x1E configs=0x1E00 count=1 value=0x6000.1
channels do type=0x1F configs=0x1E02 count=1 value=0x6200.1
signal do 0 program period=2000
module bus=1 node=40 type=30 hw=2 state=0x85 boot=2.0 fw=2.3 cpu=4 name="multifunction I/O: analog in and out, digital in and out"
channels ai type=1 configs=0x0100,0x0104,0x0105,0x010C,0x0113 count=2 value=0x6401.1 config=1 aligned=1
channels ai type=2 configs=0x0200,0x0201,0x0206,0x0207 count=1 value=0x6401.3 config=3
channels ai type=5 configs=0x0501,0x0503 count=1 value=0x6401.4 config=1
signal ai 0 level=4.2 swing=0.3 period=5000 offset=0.002 gain=-0.001 from=vornbox
signal ai 1 level=7.5 from=vornbox,ao:1:40:0
signal ai 2 level=12 from=vornbox
signal ai 3 level=21.3 gain=0.002 from=vornbox
calib 0 1.4 100 -3 4000 5
channels ao type=3 configs=0x0104,0x010C count=2 value=0x6411.1 aligned=1
signal ao 0 gain=0.003 offset=0.002
channels di type=0x1E configs=0x1E03 count=1 value=0x6000.1
signal di 0 level=0x3 period=500
channels do type=0x1F configs=0x1E03 count=1 value=0x6200.1
module bus=1 node=41 type=29 hw=1 state=0x85 boot=2.0 fw=1.4 cpu=4 name="universal analog inputs in every encoding"
channels ai type=1 configs=0x0108,0x010D,0x0111 count=1 value=0x6401.1 aligned=1
channels ai type=2 configs=0x0204,0x0208 count=1 value=0x6401.2 config=1
channels ai type=6 configs=0x0600,0x0603 count=1 value=0x6401.3 config=1
channels ai type=8 configs=0x0800,0x0801 count=1 value=0x6401.4
channels ai type=14 configs=0x0E00 count=1 value=0x6401.5
channels ai type=9 configs=0x0900,0x0904,0x0906 count=1 value=0x6401.6 config=1
channels ai type=10 configs=0x0A00,0x0A01,0x0A02 count=1 value=0x6401.7 config=1
channels ai type=12 configs=0x0C00,0x0C01,0x0C02 count=1 value=0x6401.8 config=1
signal ai 0 level=3.3 offset=0.003 from=metrahit
signal ai 1 level=-1.5 swing=0.5 period=8000 from=metrahit
signal ai 2 level=22.4 gain=0.01 from=metrahit
signal ai 3 level=45
signal ai 4 level=18.2
signal ai 5 level=-40
signal ai 6 level=12.5 swing=2 period=10000
signal ai 7 level=63
module bus=1 node=42 type=44 hw=1 state=0x85 boot=2.0 fw=1.0 cpu=4 name="16 digital channels, outputs driven by its program"
channels di type=0x1E configs=0x1E07 count=2 value=0x6000.1
signal di 0 level=0x81 period=400
signal di 1 level=0x0F period=1500
channels do type=0x1F configs=0x1E07 count=2 value=0x6200.1
signal do 0 program period=300
module bus=1 node=43 type=50 hw=1 state=0x85 boot=1.0 fw=1.1 cpu=4 name="lambda probe: oxygen, lambda and a 0..10 V output"
channels ai type=19 configs=0x1300,0x1301 count=1 value=0x6401.1
channels ai type=20 configs=0x1400 count=1 value=0x6401.2
signal ai 0 level=4.8 swing=0.2 period=7000
signal ai 1 level=1.25
channels ao type=16 configs=0x1000,0x1001,0x1002,0x1003,0x1004,0x1005 count=1 value=0x6411.1 config=2
module bus=1 node=20 type=133 hw=1 state=0x85 boot=1.0 fw=1.4 cpu=4 name="LIN master of the production test"
linslave node=21 type=51
linslave node=22 type=165 fault=checksum
module bus=1 node=21 type=51 hw=1 state=0x85 boot=1.0 fw=1.2 cpu=1 serials=0/0 name="LIN room unit under test"
module bus=1 node=22 type=165 hw=1 state=0x85 boot=1.0 fw=1.0 cpu=1 name="LIN room unit with a bad LIN checksum"
module bus=1 node=31 type=31 hw=2 state=0x85 boot=1.5 fw=2.2 cpu=2 rtc=now serials=2024117/0x4A001234 sms=16/0x100/192 name="GSM alarm modem: clock, SMS table, objects of every type"
smsentry 0 phone="+49 170 1234567" text="Boiler fault at plant 1"
smsentry 1 phone="+49 171 7654321" text="Heating pressure low"
object 0x2000.1 bool rw 1
object 0x2000.2 int8 rw -5
object 0x2000.3 int16 rw -1234
object 0x2000.4 int32 rw -100000
object 0x2000.5 uint8 rw 200
object 0x2000.6 uint16 rw 0x4142
object 0x2000.7 uint32 rw 0x4B565831
object 0x2000.8 real32 rw 21.5
object 0x2000.9 string ro KVX
object 0x2000.10 pdocompar ro 0x01020304
object 0x2000.11 uint16 ro 1000
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
