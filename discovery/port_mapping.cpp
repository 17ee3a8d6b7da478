// The router's port mapping: NAT-PMP, then UPnP, renewed at half the lease.
#include "discovery/port_mapping.h"

#include <algorithm>

namespace tw {

const char* methodName(MappingMethod method) { return method == MappingMethod::NatPmp ? "NAT-PMP" : "UPnP"; }

PortMapper::PortMapper(RouterPorts& router, Timer& timer, Clock clock, Changed changed, LogFn log)
    : router_(router), timer_(timer), clock_(std::move(clock)), changed_(std::move(changed)), log_(std::move(log)) {}

std::string PortMapper::where() const { return "port " + std::to_string(internalPort_); }

void PortMapper::start(int internalPort) {
  if (phase_ != Phase::Off && internalPort == internalPort_) return;
  stop();
  internalPort_ = internalPort;
  settled_ = false;
  ask(MappingMethod::NatPmp);
}

void PortMapper::stop() {
  timer_.stop();
  if (phase_ == Phase::Asking || phase_ == Phase::Renewing) router_.cancel();
  if (mapped_) {
    router_.remove(method_, internalPort_, externalPort_);
    log_("Closing " + where() + " on the router again (" + methodName(method_) + ")");
  }
  mapped_ = false;
  phase_ = Phase::Off;
}

void PortMapper::ask(MappingMethod method) {
  method_ = method;
  externalPort_ = internalPort_;
  phase_ = Phase::Asking;
  send();
}

void PortMapper::send() {
  router_.request(++number_, method_, internalPort_, externalPort_, kLeaseSec);
  wait(method_ == MappingMethod::NatPmp ? kNatPmpWaitMs : kUpnpWaitMs);
}

void PortMapper::wait(std::int64_t ms) { timer_.start(int(std::clamp<std::int64_t>(ms, 0, 24LL * 3600 * 1000))); }

void PortMapper::timerTimer() {
  timer_.stop();
  const std::string silent = std::string("no answer from the router (") + methodName(method_) + ")";
  switch (phase_) {
    case Phase::Asking:
      router_.cancel();
      return failed(silent);
    case Phase::Renewing:
      router_.cancel();
      return renewalFailed(silent);
    case Phase::Mapped:
      phase_ = Phase::Renewing;
      return send();
    case Phase::Waiting:
      return ask(MappingMethod::NatPmp);
    case Phase::Off:
      return;
  }
}

void PortMapper::answered(int number, MappingMethod method, const RouterAnswer& answer) {
  const bool good = answer.ok && answer.externalPort > 0 && answer.externalPort <= 65535;
  const bool current = number == number_ && method == method_ && (phase_ == Phase::Asking || phase_ == Phase::Renewing);
  if (!current) {
    // A mapping nobody waits for any more must not stay open on the router.
    if (good && !(mapped_ && method == method_ && answer.externalPort == externalPort_))
      router_.remove(method, internalPort_, answer.externalPort);
    return;
  }
  timer_.stop();
  if (good) return mappedBy(method, answer);
  const std::string why = answer.ok ? std::string("the router gave no port") : answer.why;
  if (phase_ == Phase::Asking) return failed(why);
  renewalFailed(why);
}

void PortMapper::mappedBy(MappingMethod method, const RouterAnswer& answer) {
  const bool changed = !mapped_ || answer.externalPort != externalPort_ || !settled_;
  phase_ = Phase::Mapped;
  method_ = method;
  mapped_ = true;
  settled_ = true;
  externalPort_ = answer.externalPort;
  renewalFailures_ = 0;
  // RFC 6886 renews at half the lease; a lease of seconds must not become a storm of requests.
  const std::int64_t leaseMs = std::min<std::int64_t>(answer.lifetimeSec, 7 * 24 * 3600) * 1000;
  expiresMs_ = leaseMs > 0 ? clock_() + leaseMs : 0;
  wait(leaseMs > 0 ? std::max<std::int64_t>(leaseMs / 2, 1000) : kPermanentRenewMs);
  if (!changed) return;
  std::string line = "The router opened " + where() + " (" + methodName(method) + "): reachable at ";
  line += (answer.externalAddress.empty() ? std::string("its public address") : answer.externalAddress) + " port " +
          std::to_string(externalPort_);
  log_(line + (leaseMs > 0 ? ", renewed every " + std::to_string(std::max<std::int64_t>(leaseMs / 2000, 1)) + " s"
                           : std::string()));
  changed_();
}

void PortMapper::failed(const std::string& why) {
  if (method_ == MappingMethod::NatPmp) {
    natPmpWhy_ = why;
    return ask(MappingMethod::Upnp);
  }
  phase_ = Phase::Waiting;
  log_("The router did not open " + where() + " (NAT-PMP: " + natPmpWhy_ + "; UPnP: " + why + "); asking again in " +
       std::to_string(kRetryMs / 60000) + " min");
  wait(kRetryMs);
  if (!settled_) {
    settled_ = true;
    changed_();
  }
}

void PortMapper::renewalFailed(const std::string& why) {
  phase_ = Phase::Mapped;
  const std::int64_t now = clock_();
  const bool leaseEnds = expiresMs_ > 0 ? now + kRenewRetryMs >= expiresMs_ : ++renewalFailures_ >= 3;
  if (leaseEnds) return lose(why);
  log_("Renewing " + where() + " on the router failed (" + why + "); trying again in " +
       std::to_string(kRenewRetryMs / 1000) + " s");
  wait(kRenewRetryMs);
}

void PortMapper::lose(const std::string& why) {
  mapped_ = false;
  log_("The router's opening of " + where() + " ended (" + why + "); asking again");
  ask(MappingMethod::NatPmp);
  changed_();
}

}  // namespace tw
