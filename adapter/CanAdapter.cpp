// The project's CAN adapter library (libkvxcan.so): the eight functions the
// program loads, over a SocketCAN interface or a simulator bus.
//
// The channel comes from the environment variable KVX_CAN_CHANNEL at
// CAN_Init: an interface name ("can0", the default; a PCAN-USB adapter shows
// up as one) or "tcp:HOST:PORT" for the simulator's raw CAN port.
//
// The library's calling interface has no handle: like any adapter library of
// this kind it serves one client per process, so its one adapter state is a
// global of this file.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "AdapterChannel.h"

#define KVXCAN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr uint16_t kBitTimings[8] = {0x672F, 0x532F, 0x472F, 0x432F, 0x031C, 0x011C, 0x001C, 0x0014};
constexpr uint32_t kBitRates[8] = {10000, 20000, 50000, 100000, 125000, 250000, 500000, 1000000};

struct Adapter {
  std::unique_ptr<AdapterChannel> channel;
  uint32_t bitRate = 0;
};
Adapter g_adapter;

uint32_t bitRateOf(uint16_t word) {
  for (int i = 0; i < 8; ++i)
    if (kBitTimings[i] == word) return kBitRates[i];
  return 0;
}

std::string channelText() {
  const char* text = std::getenv("KVX_CAN_CHANNEL");
  return text && *text ? text : "can0";
}

// "tcp:HOST:PORT" -> a simulator bus; anything else names a SocketCAN interface.
std::unique_ptr<AdapterChannel> makeChannel(const std::string& text, uint32_t& failure) {
  if (text.rfind("tcp:", 0) != 0) return AdapterChannel_SocketCan(text);
  const size_t colon = text.rfind(':');
  char* end = nullptr;
  const long port = colon > 4 ? std::strtol(text.c_str() + colon + 1, &end, 10) : -1;
  if (colon <= 4 || !end || *end || end == text.c_str() + colon + 1 || port < 1 || port > 65535) {
    AdapterChannel_Say("KVX_CAN_CHANNEL \"%s\": a simulator bus is tcp:HOST:PORT", text.c_str());
    failure = CAN_ADAPTER_ILLPARAMVAL;
    return nullptr;
  }
  return AdapterChannel_SimBus(text.substr(4, colon - 4), int(port));
}

}  // namespace

CanAdapterTimestamp AdapterChannel_Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t us = uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u;
  CanAdapterTimestamp stamp{};
  stamp.millis = uint32_t(us / 1000u);
  stamp.millisOverflow = uint16_t((us / 1000u) >> 32);
  stamp.micros = uint16_t(us % 1000u);
  return stamp;
}

void AdapterChannel_Say(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::fprintf(stderr, "kvxcan: %s\n", text);
}

KVXCAN_EXPORT uint32_t CAN_Init(uint16_t bitTiming, int messageType) {
  const uint32_t rate = bitRateOf(bitTiming);
  if (rate == 0 || (messageType != 0 && messageType != 1)) return CAN_ADAPTER_ILLPARAMVAL;
  g_adapter.bitRate = rate;
  if (g_adapter.channel) return g_adapter.channel->restart(rate);
  uint32_t failure = 0;
  std::unique_ptr<AdapterChannel> channel = makeChannel(channelText(), failure);
  if (!channel) return failure;
  const uint32_t r = channel->start(rate);
  if (r == 0) g_adapter.channel = std::move(channel);
  return r;
}

KVXCAN_EXPORT uint32_t CAN_Close(void) {
  g_adapter.channel.reset();
  return 0;
}

KVXCAN_EXPORT uint32_t CAN_Status(void) {
  return g_adapter.channel ? g_adapter.channel->status() : uint32_t(CAN_ADAPTER_REGTEST);
}

KVXCAN_EXPORT uint32_t CAN_Write(CanAdapterMsg* msg) {
  if (!msg) return CAN_ADAPTER_ILLPARAMVAL;
  if (!g_adapter.channel) return CAN_ADAPTER_REGTEST;
  if (msg->len > 8 || (msg->type & ~(CAN_ADAPTER_TYPE_REMOTE | CAN_ADAPTER_TYPE_EXTENDED)) != 0)
    return CAN_ADAPTER_ILLPARAMVAL;
  return g_adapter.channel->write(*msg);
}

KVXCAN_EXPORT uint32_t CAN_ReadEx(CanAdapterMsg* msg, CanAdapterTimestamp* stamp) {
  if (!msg) return CAN_ADAPTER_ILLPARAMVAL;
  if (!g_adapter.channel) return CAN_ADAPTER_REGTEST;
  CanAdapterTimestamp ignored{};
  return g_adapter.channel->read(*msg, stamp ? *stamp : ignored);
}

KVXCAN_EXPORT uint32_t CAN_Read(CanAdapterMsg* msg) { return CAN_ReadEx(msg, nullptr); }

KVXCAN_EXPORT uint32_t CAN_ResetClient(void) {
  if (!g_adapter.channel) return CAN_ADAPTER_REGTEST;
  g_adapter.channel->reset();
  return 0;
}

KVXCAN_EXPORT uint32_t CAN_VersionInfo(char* text) {
  if (!text) return CAN_ADAPTER_ILLPARAMVAL;
  const std::string channel = g_adapter.channel ? g_adapter.channel->describe() : channelText() + " (closed)";
  std::snprintf(text, CAN_ADAPTER_VERSION_TEXT_SIZE, "KVX CAN adapter library 1.0, channel %s, %u bit/s",
                channel.c_str(), unsigned(g_adapter.bitRate));
  return 0;
}
