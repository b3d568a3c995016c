/* The CAN adapter library's calling interface: the records and the eight
 * functions the program resolves by name after loading the library at run
 * time. Every function answers a result code, a set of the status bits
 * below (0 = success). Plain C, so that an adapter library written in any
 * language can be built against it; the project's own library in adapter/
 * includes it too.
 */
#ifndef KVX_CAN_ADAPTER_ABI_H
#define KVX_CAN_ADAPTER_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One frame. type: bit 0 remote frame, bit 1 29-bit identifier; 0x80 marks a
 * status message of the adapter (received only; its first four data bytes
 * hold the status bits, most significant byte first). */
typedef struct CanAdapterMsg {
  uint32_t id;
  uint8_t type;
  uint8_t len;
  uint8_t data[8];
} CanAdapterMsg;

/* When a frame was received. */
typedef struct CanAdapterTimestamp {
  uint32_t millis;          /* milliseconds of the adapter's clock */
  uint16_t millisOverflow;  /* wraps of millis */
  uint16_t micros;          /* 0..999 within the millisecond */
} CanAdapterTimestamp;

enum {
  CAN_ADAPTER_TYPE_STANDARD = 0x00,
  CAN_ADAPTER_TYPE_REMOTE = 0x01,
  CAN_ADAPTER_TYPE_EXTENDED = 0x02,
  CAN_ADAPTER_TYPE_STATUS = 0x80
};

/* Result and status bits. */
enum {
  CAN_ADAPTER_OK = 0x0000,
  CAN_ADAPTER_XMTFULL = 0x0001,      /* transmit queue full */
  CAN_ADAPTER_OVERRUN = 0x0002,      /* the controller lost frames */
  CAN_ADAPTER_BUSLIGHT = 0x0004,     /* error counters above the warning limit */
  CAN_ADAPTER_BUSHEAVY = 0x0008,     /* error passive */
  CAN_ADAPTER_BUSOFF = 0x0010,       /* the controller left the bus */
  CAN_ADAPTER_QRCVEMPTY = 0x0020,    /* nothing received */
  CAN_ADAPTER_QOVERRUN = 0x0040,     /* the receive queue overflowed */
  CAN_ADAPTER_QXMTFULL = 0x0080,
  CAN_ADAPTER_REGTEST = 0x0100,      /* no adapter at the channel */
  CAN_ADAPTER_NODRIVER = 0x0200,     /* no driver for the channel's kind */
  CAN_ADAPTER_HWINUSE = 0x0400,
  CAN_ADAPTER_NETINUSE = 0x0800,
  CAN_ADAPTER_ILLHW = 0x1400,
  CAN_ADAPTER_ILLNET = 0x1800,
  CAN_ADAPTER_ILLCLIENT = 0x1C00,
  CAN_ADAPTER_RESOURCE = 0x2000,     /* out of memory, descriptors, ... */
  CAN_ADAPTER_ILLPARAMTYPE = 0x4000,
  CAN_ADAPTER_ILLPARAMVAL = 0x8000,  /* e.g. a bit-timing word the adapter does not know */
  CAN_ADAPTER_UNKNOWN = 0x10000
};

/* CAN_VersionInfo writes at most this many bytes, the closing zero included. */
#define CAN_ADAPTER_VERSION_TEXT_SIZE 256

/* The eight functions, by the names the library exports them under. */
typedef uint32_t (*CanAdapter_InitFn)(uint16_t bitTiming, int messageType);
typedef uint32_t (*CanAdapter_CloseFn)(void);
typedef uint32_t (*CanAdapter_StatusFn)(void);
typedef uint32_t (*CanAdapter_WriteFn)(CanAdapterMsg* msg);
typedef uint32_t (*CanAdapter_ReadFn)(CanAdapterMsg* msg);
typedef uint32_t (*CanAdapter_ReadExFn)(CanAdapterMsg* msg, CanAdapterTimestamp* stamp);
typedef uint32_t (*CanAdapter_ResetClientFn)(void);
typedef uint32_t (*CanAdapter_VersionInfoFn)(char* text);

#ifdef __cplusplus
}
#endif

#endif
