// Asking the home router to open the game port: which method to try (NAT-PMP
// first, then UPnP IGD), when to renew, when to give up and when to try again.
// Plain C++ on one timer and a clock; the library calls sit behind RouterPorts
// and answer later, so that nothing here ever waits for a router.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/log.h"
#include "net/timer.h"

namespace tw {

enum class MappingMethod { NatPmp, Upnp };
const char* methodName(MappingMethod method);

// What a router said to one request.
struct RouterAnswer {
  bool ok = false;
  int externalPort = 0;
  int lifetimeSec = 0;  // 0: kept until removed (a UPnP router that knows only permanent mappings)
  std::string externalAddress;  // when the router said it
  std::string why;              // when not ok
};

// The library calls. Each request is answered once, with its number, through
// PortMapper::answered, from the event loop and never from inside request().
class RouterPorts {
 public:
  virtual ~RouterPorts() = default;
  // Map (or map again, which renews) TCP `internalPort` on `externalPort` for `lifetimeSec`.
  virtual void request(int number, MappingMethod method, int internalPort, int externalPort, int lifetimeSec) = 0;
  // The request in flight is no longer wanted; one that cannot be stopped may
  // still answer, and a mapping it made is then removed.
  virtual void cancel() = 0;
  // Remove a mapping; nothing is answered.
  virtual void remove(MappingMethod method, int internalPort, int externalPort) = 0;
};

class PortMapper {
 public:
  using Clock = std::function<std::int64_t()>;  // milliseconds, never going back
  // Told when the first attempt has ended, and whenever the mapping comes,
  // changes its port or goes.
  using Changed = std::function<void()>;

  // What is asked for, and how long each method may take to answer.
  static constexpr int kLeaseSec = 3600;
  static constexpr int kNatPmpWaitMs = 2000;
  static constexpr int kUpnpWaitMs = 15000;
  // A mapping kept until removed is asked for again this often (a router restarted forgets it).
  static constexpr int kPermanentRenewMs = 20 * 60 * 1000;
  // A renewal that failed is tried again this soon while the lease lasts.
  static constexpr int kRenewRetryMs = 30 * 1000;
  // After both methods failed, the router is asked again this much later.
  static constexpr int kRetryMs = 10 * 60 * 1000;

  PortMapper(RouterPorts& router, Timer& timer, Clock clock, Changed changed, LogFn log);

  // Starts asking for `internalPort` (again, when already started for another).
  void start(int internalPort);
  // Stops and removes a mapping that was made.
  void stop();
  // The router's answer to request `number`.
  void answered(int number, MappingMethod method, const RouterAnswer& answer);
  void timerTimer();

  // Settled: the first attempt has ended, mapped or not.
  bool settled() const { return settled_; }
  int externalPort() const { return mapped_ ? externalPort_ : 0; }
  MappingMethod method() const { return method_; }

 private:
  enum class Phase { Off, Asking, Mapped, Renewing, Waiting };
  void ask(MappingMethod method);
  void send();
  void mappedBy(MappingMethod method, const RouterAnswer& answer);
  void failed(const std::string& why);
  void renewalFailed(const std::string& why);
  void lose(const std::string& why);
  void wait(std::int64_t ms);
  std::string where() const;

  RouterPorts& router_;
  Timer& timer_;
  Clock clock_;
  Changed changed_;
  LogFn log_;
  Phase phase_ = Phase::Off;
  MappingMethod method_ = MappingMethod::NatPmp;
  int internalPort_ = 0;
  int externalPort_ = 0;
  bool mapped_ = false;
  bool settled_ = false;
  int number_ = 0;
  std::int64_t expiresMs_ = 0;  // 0: never
  int renewalFailures_ = 0;
  std::string natPmpWhy_;
};

}  // namespace tw
