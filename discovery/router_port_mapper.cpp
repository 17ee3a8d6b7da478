// The router's port mapping through libnatpmp and miniupnpc.
#include "discovery/router_port_mapper.h"

#define ENABLE_STRNATPMPERR
#include <arpa/inet.h>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>
#include <natpmp.h>
#include <poll.h>
#include <sys/socket.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tw {
namespace {

std::int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string natPmpError(int code) {
  if (code == NATPMP_ERR_RECVFROM || code == NATPMP_ERR_NOGATEWAYSUPPORT) return "no NAT-PMP router answered";
  const char* text = strnatpmperr(code);
  return text ? std::string(text) : "NAT-PMP error " + std::to_string(code);
}

// The router found by UPnP: where to send its commands, and our address as it sees us.
struct Igd {
  std::string controlUrl;
  std::string serviceType;
  std::string lanAddress;
};

bool findIgd(const RouterOptions& options, Igd& igd, std::string& why) {
  UPNPUrls urls{};
  IGDdatas data{};
  char lan[64] = {};
  int found = 0;
  if (!options.upnpDescriptionUrl.isEmpty()) {
    found = UPNP_GetIGDFromUrl(options.upnpDescriptionUrl.toUtf8().constData(), &urls, &data, lan, sizeof lan);
  } else {
    const QByteArray socketPath = options.minissdpdSocket.toLocal8Bit();
    int error = 0;
    UPNPDev* devices = upnpDiscover(options.upnpSearchMs, nullptr, socketPath.isEmpty() ? nullptr : socketPath.constData(),
                                    UPNP_LOCAL_PORT_ANY, 0, 2, &error);
    if (devices) {
      found = UPNP_GetValidIGD(devices, &urls, &data, lan, sizeof lan);
      freeUPNPDevlist(devices);
    }
    // 3: a UPnP device, but no router.
    if (found == 3) found = 0;
  }
  if (found) igd = {urls.controlURL ? urls.controlURL : "", data.first.servicetype, lan};
  FreeUPNPUrls(&urls);
  if (!found || igd.controlUrl.empty()) {
    why = "no UPnP router answered";
    igd = {};
    return false;
  }
  return true;
}

std::string upnpError(int code) {
  const char* text = strupnperror(code);
  return "UPnP error " + std::to_string(code) + (text ? std::string(" ") + text : std::string());
}

RouterAnswer upnpMap(const RouterOptions& options, Igd& igd, int internalPort, int externalPort, int lifetimeSec) {
  RouterAnswer answer;
  if (igd.controlUrl.empty() && !findIgd(options, igd, answer.why)) return answer;
  const std::string in = std::to_string(internalPort);
  const std::string out = std::to_string(externalPort);
  auto add = [&](const std::string& lease) {
    return UPNP_AddPortMapping(igd.controlUrl.c_str(), igd.serviceType.c_str(), out.c_str(), in.c_str(),
                               igd.lanAddress.c_str(), "Tilewhirl game", "TCP", nullptr, lease.c_str());
  };
  int granted = lifetimeSec;
  int result = add(std::to_string(lifetimeSec));
  if (result == 725) {  // OnlyPermanentLeasesSupported
    granted = 0;
    result = add("0");
  }
  if (result != UPNPCOMMAND_SUCCESS) {
    answer.why = upnpError(result);
    // The router went away or changed: search again next time.
    if (result < 0) igd = {};
    return answer;
  }
  char address[64] = {};
  if (UPNP_GetExternalIPAddress(igd.controlUrl.c_str(), igd.serviceType.c_str(), address) == UPNPCOMMAND_SUCCESS)
    answer.externalAddress = address;
  answer.ok = true;
  answer.externalPort = externalPort;
  answer.lifetimeSec = granted;
  return answer;
}

}  // namespace

struct RouterPortMapper::NatPmpCall {
  natpmp_t natpmp{};
  bool open = false;
  int number = 0;
  int internalPort = 0;
  std::unique_ptr<QSocketNotifier> notifier;
  QTimer retry;
  ~NatPmpCall() { finish(); }
  void finish() {
    if (notifier) notifier->setEnabled(false);
    retry.stop();
    if (open) closenatpmp(&natpmp);
    open = false;
  }
  // readnatpmpresponseorretry, which sends again when the retry time has come.
  int step(natpmpresp_t& response) {
    // libnatpmp reads the fields of an answer whatever its length: a shorter
    // datagram would fill them from its own stack. Such a one is dropped here.
    unsigned char peek[16];
    const ssize_t size = recv(natpmp.s, peek, sizeof peek, MSG_PEEK | MSG_DONTWAIT);
    // Nobody at the router's port (the error is reported once, here).
    if (size < 0 && errno == ECONNREFUSED) return NATPMP_ERR_RECVFROM;
    if (size >= 0 && size < ssize_t(sizeof peek)) {
      recv(natpmp.s, peek, sizeof peek, MSG_DONTWAIT);
      return NATPMP_TRYAGAIN;
    }
    const int result = readnatpmpresponseorretry(&natpmp, &response);
    // Only the router's own answer counts; anything else is not the end.
    return result == NATPMP_ERR_WRONGPACKETSOURCE ? NATPMP_TRYAGAIN : result;
  }
  int waitMs() {
    timeval left{};
    if (getnatpmprequesttimeout(&natpmp, &left) < 0) return 0;
    return int(std::max<long>(0, left.tv_sec * 1000 + left.tv_usec / 1000));
  }
};

struct RouterPortMapper::UpnpShared {
  std::mutex mutex;
  std::condition_variable idle;
  int running = 0;
  RouterPortMapper* owner = nullptr;  // null once it is gone
  Igd igd;                            // the router last found
};

RouterPortMapper::RouterPortMapper(RouterOptions options, LogFn log, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      log_(log ? std::move(log) : LogFn(logLine)),
      timer_([this] { core_.timerTimer(); }),
      core_(*this, timer_, steadyMs, [this] { emit changed(); }, log_),
      upnp_(std::make_shared<UpnpShared>()) {
  upnp_->owner = this;
}

RouterPortMapper::~RouterPortMapper() {
  core_.stop();
  // The event loop may be gone: a removal still waiting is stepped here, for a bounded time.
  const std::int64_t deadline = steadyMs() + kRemoveWaitMs;
  for (auto& call : removals_) {
    natpmpresp_t response{};
    while (steadyMs() < deadline && call->step(response) == NATPMP_TRYAGAIN) {
      pollfd fd{call->natpmp.s, POLLIN, 0};
      poll(&fd, 1, int(std::min<std::int64_t>(call->waitMs(), deadline - steadyMs())) + 1);
    }
  }
  std::unique_lock lock(upnp_->mutex);
  upnp_->idle.wait_for(lock, std::chrono::milliseconds(std::max<std::int64_t>(0, deadline - steadyMs())),
                       [this] { return upnp_->running == 0; });
  upnp_->owner = nullptr;
}

std::unique_ptr<RouterPortMapper::NatPmpCall> RouterPortMapper::natPmpCall(int number, int internalPort,
                                                                           int externalPort, int lifetimeSec,
                                                                           std::string& why) {
  auto call = std::make_unique<NatPmpCall>();
  call->number = number;
  call->internalPort = internalPort;
  in_addr gateway{};
  const bool forced = !options_.natPmpGateway.isEmpty();
  if (forced && inet_pton(AF_INET, options_.natPmpGateway.toLatin1().constData(), &gateway) != 1) {
    why = "the NAT-PMP router's address is not an IPv4 address";
    return nullptr;
  }
  int result = initnatpmp(&call->natpmp, forced ? 1 : 0, gateway.s_addr);
  call->open = result >= 0;
  if (result >= 0)
    result = sendnewportmappingrequest(&call->natpmp, NATPMP_PROTOCOL_TCP, std::uint16_t(internalPort),
                                       std::uint16_t(externalPort), std::uint32_t(lifetimeSec));
  if (result < 0) {
    why = natPmpError(result);
    return nullptr;
  }
  NatPmpCall* raw = call.get();
  call->notifier = std::make_unique<QSocketNotifier>(call->natpmp.s, QSocketNotifier::Read);
  connect(call->notifier.get(), &QSocketNotifier::activated, this, [this, raw] { natPmpStep(raw); });
  call->retry.setSingleShot(true);
  connect(&call->retry, &QTimer::timeout, this, [this, raw] { natPmpStep(raw); });
  call->retry.start(call->waitMs());
  return call;
}

void RouterPortMapper::natPmpStep(NatPmpCall* call) {
  natpmpresp_t response{};
  const int result = call->step(response);
  if (result == NATPMP_TRYAGAIN) {
    call->retry.start(call->waitMs());
    return;
  }
  if (call != natPmp_.get()) {
    for (auto& removal : removals_)
      if (removal.get() == call) retire(std::move(removal));
    std::erase(removals_, nullptr);
    return;
  }
  NatPmpCall* done = natPmp_.get();
  retire(std::move(natPmp_));
  RouterAnswer answer;
  const auto& mapping = response.pnu.newportmapping;
  if (result < 0) {
    answer.why = natPmpError(result);
  } else if (response.type != NATPMP_RESPTYPE_TCPPORTMAPPING || mapping.privateport != done->internalPort) {
    answer.why = "the router answered something else";
  } else if (mapping.lifetime == 0) {
    answer.why = "the router gave the port no time";
  } else {
    answer.ok = true;
    answer.externalPort = mapping.mappedpublicport;
    answer.lifetimeSec = int(std::min<std::uint32_t>(mapping.lifetime, 7 * 24 * 3600));
  }
  core_.answered(done->number, MappingMethod::NatPmp, answer);
}

void RouterPortMapper::request(int number, MappingMethod method, int internalPort, int externalPort,
                               int lifetimeSec) {
  if (method == MappingMethod::Upnp) return runUpnp(number, internalPort, externalPort, lifetimeSec);
  retire(std::move(natPmp_));
  std::string why;
  natPmp_ = natPmpCall(number, internalPort, externalPort, lifetimeSec, why);
  if (natPmp_) return;
  // Answered from the event loop, as the core expects.
  QTimer::singleShot(0, this, [this, number, why] {
    core_.answered(number, MappingMethod::NatPmp, {false, 0, 0, {}, why});
  });
}

void RouterPortMapper::cancel() { retire(std::move(natPmp_)); }

void RouterPortMapper::retire(std::unique_ptr<NatPmpCall> call) {
  if (!call) return;
  call->finish();
  // Deleted later: its notifier or timer may be the sender of the signal being handled.
  retired_.push_back(std::move(call));
  QTimer::singleShot(0, this, [this] { retired_.clear(); });
}

void RouterPortMapper::remove(MappingMethod method, int internalPort, int externalPort) {
  if (method == MappingMethod::NatPmp) {
    // RFC 6886: a lifetime of 0 deletes, with no external port suggested.
    std::string why;
    if (auto call = natPmpCall(-1, internalPort, 0, 0, why)) removals_.push_back(std::move(call));
    return;
  }
  runUpnp(-1, internalPort, externalPort, 0);
}

void RouterPortMapper::runUpnp(int number, int internalPort, int externalPort, int lifetimeSec) {
  const std::shared_ptr<UpnpShared> shared = upnp_;
  {
    const std::lock_guard lock(shared->mutex);
    ++shared->running;
  }
  // miniupnpc blocks for seconds on a silent router: never on the event loop.
  std::thread([shared, options = options_, number, internalPort, externalPort, lifetimeSec] {
    Igd igd;
    {
      const std::lock_guard lock(shared->mutex);
      igd = shared->igd;
    }
    RouterAnswer answer;
    if (number < 0) {
      if (!igd.controlUrl.empty() || findIgd(options, igd, answer.why))
        UPNP_DeletePortMapping(igd.controlUrl.c_str(), igd.serviceType.c_str(), std::to_string(externalPort).c_str(),
                               "TCP", nullptr);
    } else {
      answer = upnpMap(options, igd, internalPort, externalPort, lifetimeSec);
    }
    const std::lock_guard lock(shared->mutex);
    shared->igd = igd;
    if (RouterPortMapper* owner = shared->owner; owner && number >= 0) {
      QMetaObject::invokeMethod(
          owner, [owner, number, answer] { owner->core_.answered(number, MappingMethod::Upnp, answer); },
          Qt::QueuedConnection);
    }
    --shared->running;
    shared->idle.notify_all();
  }).detach();
}

}  // namespace tw
