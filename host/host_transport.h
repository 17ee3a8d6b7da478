// HostTransport: what the host does to its connections. The Qt glue writes
// to sockets; tests record what would have been sent.
#pragma once

#include <cstddef>
#include <string>

namespace tw {

class HostTransport {
 public:
  virtual ~HostTransport() = default;
  // The connection being accepted takes `slot` (the refused slot when refused).
  virtual void take(int slot) = 0;
  // Writes a complete message to the connection in `slot`.
  virtual void send(int slot, const std::string& bytes) = 0;
  // Drops the connection in `slot` after what was sent to it has gone out.
  // The host has already forgotten the slot; no closed event is expected.
  virtual void close(int slot) = 0;
  // The connection in slot `from` now sits in slot `to`, which is free.
  // A transport that keeps nothing by slot has nothing to do.
  virtual void move(int /*from*/, int /*to*/) {}
  // Bytes written to the connection in `slot` that it has not taken yet.
  virtual std::size_t unsent(int /*slot*/) const { return 0; }
};

}  // namespace tw
