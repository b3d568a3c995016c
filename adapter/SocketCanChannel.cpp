// The adapter on a SocketCAN interface: a raw CAN socket bound to the
// interface, with the bus's error frames turned into status messages.
//
// Bit rate: a CAN interface runs at the rate it was brought up with. Where
// libsocketcan (Debian: libsocketcan2) is installed and the process may
// configure network interfaces (root or CAP_NET_ADMIN), the interface is
// stopped, set to the requested rate and started again. Otherwise the
// interface is used only when it already runs at the requested rate (or
// reports none, as a virtual vcan interface does): talking to a bus at the
// wrong rate would disturb every node on it.
#include <dlfcn.h>
#include <linux/can.h>
#include <linux/can/error.h>
#include <linux/can/netlink.h>
#include <linux/can/raw.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "AdapterChannel.h"

namespace {

// What the channel takes from libsocketcan, loaded when first needed.
struct SocketCanControl {
  void* handle = nullptr;
  int (*getBitTiming)(const char*, can_bittiming*) = nullptr;
  int (*setBitRate)(const char*, uint32_t) = nullptr;
  int (*stop)(const char*) = nullptr;
  int (*start)(const char*) = nullptr;
  int (*restart)(const char*) = nullptr;

  SocketCanControl() {
    handle = ::dlopen("libsocketcan.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!handle) return;
    resolve(getBitTiming, "can_get_bittiming");
    resolve(setBitRate, "can_set_bitrate");
    resolve(stop, "can_do_stop");
    resolve(start, "can_do_start");
    resolve(restart, "can_do_restart");
  }
  ~SocketCanControl() {
    if (handle) ::dlclose(handle);
  }
  template <class Fn>
  void resolve(Fn& fn, const char* name) {
    fn = reinterpret_cast<Fn>(::dlsym(handle, name));
  }
  bool usable() const { return getBitTiming && setBitRate && stop && start && restart; }
};

class SocketCanChannel : public AdapterChannel {
 public:
  explicit SocketCanChannel(std::string name) : name_(std::move(name)) {}
  ~SocketCanChannel() override {
    if (fd_ >= 0) ::close(fd_);
  }

  uint32_t start(uint32_t bitRate) override {
    if (name_.size() >= IFNAMSIZ) {
      AdapterChannel_Say("\"%s\" is no CAN interface name", name_.c_str());
      return CAN_ADAPTER_ILLPARAMVAL;
    }
    fd_ = ::socket(PF_CAN, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, CAN_RAW);
    if (fd_ < 0) {
      const int err = errno;
      if (err == EAFNOSUPPORT || err == EPROTONOSUPPORT) {
        AdapterChannel_Say("%s: this system has no SocketCAN (%s); load the can and can_raw modules",
                           name_.c_str(), std::strerror(err));
        return CAN_ADAPTER_NODRIVER;
      }
      return CAN_ADAPTER_RESOURCE;
    }
    const unsigned index = ::if_nametoindex(name_.c_str());
    if (index == 0) {
      AdapterChannel_Say("%s: no such CAN interface (is the adapter plugged in?)", name_.c_str());
      return fail(CAN_ADAPTER_REGTEST);
    }
    if (const uint32_t r = applyBitRate(bitRate)) return fail(r);
    can_err_mask_t errors = CAN_ERR_MASK;
    ::setsockopt(fd_, SOL_CAN_RAW, CAN_RAW_ERR_FILTER, &errors, sizeof errors);
    sockaddr_can address{};
    address.can_family = AF_CAN;
    address.can_ifindex = int(index);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      AdapterChannel_Say("%s: cannot use the interface (%s)", name_.c_str(), std::strerror(errno));
      return fail(CAN_ADAPTER_REGTEST);
    }
    return 0;
  }

  uint32_t restart(uint32_t bitRate) override {
    status_ = 0;
    if (fd_ < 0) return start(bitRate);
    // After a bus-off the controller needs a restart unless the interface
    // restarts itself (restart-ms); that takes the same rights as the rate.
    if (control_.usable()) control_.restart(name_.c_str());
    return 0;
  }

  uint32_t write(const CanAdapterMsg& msg) override {
    can_frame frame{};
    const bool extended = msg.type & CAN_ADAPTER_TYPE_EXTENDED;
    frame.can_id = msg.id & (extended ? CAN_EFF_MASK : CAN_SFF_MASK);
    if (extended) frame.can_id |= CAN_EFF_FLAG;
    if (msg.type & CAN_ADAPTER_TYPE_REMOTE) frame.can_id |= CAN_RTR_FLAG;
    frame.len = msg.len;
    std::memcpy(frame.data, msg.data, 8);
    const ssize_t n = ::write(fd_, &frame, sizeof frame);
    if (n == ssize_t(sizeof frame)) return 0;
    if (n < 0 && (errno == EAGAIN || errno == ENOBUFS)) return CAN_ADAPTER_XMTFULL;
    if (n < 0 && errno == ENETDOWN) return CAN_ADAPTER_BUSOFF;
    return CAN_ADAPTER_REGTEST;
  }

  uint32_t read(CanAdapterMsg& msg, CanAdapterTimestamp& stamp) override {
    can_frame frame{};
    const ssize_t n = ::read(fd_, &frame, sizeof frame);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return CAN_ADAPTER_QRCVEMPTY;
    if (n < 0 && errno == ENETDOWN) return CAN_ADAPTER_BUSOFF;
    if (n != ssize_t(sizeof frame)) return CAN_ADAPTER_REGTEST;
    stamp = AdapterChannel_Now();
    msg = CanAdapterMsg{};
    if (frame.can_id & CAN_ERR_FLAG) return errorFrame(frame, msg);
    const bool extended = frame.can_id & CAN_EFF_FLAG;
    msg.id = frame.can_id & (extended ? CAN_EFF_MASK : CAN_SFF_MASK);
    msg.type = uint8_t((extended ? CAN_ADAPTER_TYPE_EXTENDED : 0) |
                       ((frame.can_id & CAN_RTR_FLAG) ? CAN_ADAPTER_TYPE_REMOTE : 0));
    msg.len = frame.len > 8 ? 8 : frame.len;
    std::memcpy(msg.data, frame.data, 8);
    return 0;
  }

  void reset() override {
    can_frame frame;
    for (int i = 0; i < 100000 && ::read(fd_, &frame, sizeof frame) > 0; ++i) {
    }
  }

  uint32_t status() const override { return status_; }
  std::string describe() const override { return "SocketCAN " + name_; }

 private:
  uint32_t fail(uint32_t result) {
    ::close(fd_);
    fd_ = -1;
    return result;
  }

  uint32_t applyBitRate(uint32_t bitRate) {
    if (!control_.handle) {
      AdapterChannel_Say("%s: libsocketcan.so.2 not found; the interface keeps the bit rate it runs at",
                         name_.c_str());
      return 0;
    }
    if (!control_.usable()) return 0;
    can_bittiming timing{};
    if (control_.getBitTiming(name_.c_str(), &timing) != 0 || timing.bitrate == 0) return 0;  // vcan: no rate
    if (timing.bitrate == bitRate) return 0;
    if (control_.stop(name_.c_str()) == 0 && control_.setBitRate(name_.c_str(), bitRate) == 0 &&
        control_.start(name_.c_str()) == 0)
      return 0;
    AdapterChannel_Say("%s runs at %u bit/s and may not be set to %u bit/s by this process; as root: "
                       "ip link set %s down; ip link set %s type can bitrate %u; ip link set %s up",
                       name_.c_str(), unsigned(timing.bitrate), unsigned(bitRate), name_.c_str(), name_.c_str(),
                       unsigned(bitRate), name_.c_str());
    return CAN_ADAPTER_ILLPARAMVAL;
  }

  // An error frame of the controller: bus-off is the read's result (the
  // caller restarts); warnings and error passive come as a status message.
  uint32_t errorFrame(const can_frame& frame, CanAdapterMsg& msg) {
    uint32_t bits = 0;
    if (frame.can_id & CAN_ERR_BUSOFF) {
      status_ = CAN_ADAPTER_BUSOFF;
      return CAN_ADAPTER_BUSOFF;
    }
    if (frame.can_id & CAN_ERR_CRTL) {
      const uint8_t c = frame.data[1];
      if (c & (CAN_ERR_CRTL_RX_WARNING | CAN_ERR_CRTL_TX_WARNING)) bits |= CAN_ADAPTER_BUSLIGHT;
      if (c & (CAN_ERR_CRTL_RX_PASSIVE | CAN_ERR_CRTL_TX_PASSIVE)) bits |= CAN_ADAPTER_BUSHEAVY;
      if (c & (CAN_ERR_CRTL_RX_OVERFLOW | CAN_ERR_CRTL_TX_OVERFLOW)) bits |= CAN_ADAPTER_OVERRUN;
      if (c & CAN_ERR_CRTL_ACTIVE) status_ = 0;
    }
    if (frame.can_id & CAN_ERR_RESTARTED) status_ = 0;
    status_ |= bits & (CAN_ADAPTER_BUSLIGHT | CAN_ADAPTER_BUSHEAVY);
    msg.type = CAN_ADAPTER_TYPE_STATUS;
    msg.len = 4;
    for (int i = 0; i < 4; ++i) msg.data[i] = uint8_t(bits >> (24 - 8 * i));
    return 0;
  }

  std::string name_;
  int fd_ = -1;
  uint32_t status_ = 0;
  SocketCanControl control_;
};

}  // namespace

std::unique_ptr<AdapterChannel> AdapterChannel_SocketCan(const std::string& interfaceName) {
  return std::make_unique<SocketCanChannel>(interfaceName);
}
