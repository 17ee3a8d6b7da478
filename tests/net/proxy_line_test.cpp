// The relayed connection's first line: what the relay writes is what the host
// reads, a line still arriving waits, and nothing else is believed.
#include <gtest/gtest.h>

#include <vector>

#include "net/proxy_line.h"

namespace tw {
namespace {

TEST(ProxyLine, ReadsWhatTheRelayWritesAndLeavesTheGameBytes) {
  const std::string line = proxyLine("127.0.0.5", 40001, "127.0.0.1", 20000);
  EXPECT_EQ(line, "PROXY TCP4 127.0.0.5 127.0.0.1 40001 20000\r\n");
  const auto read = readProxyLine(line + "CMD_logininfo+2\xFF");
  ASSERT_EQ(read.status, ProxyLine::Status::Ok) << read.why;
  EXPECT_EQ(read.source, "127.0.0.5");
  EXPECT_EQ(read.sourcePort, 40001);
  EXPECT_EQ(read.destination, "127.0.0.1");
  EXPECT_EQ(read.destinationPort, 20000);
  EXPECT_EQ(read.length, line.size());
  // Every prefix of the line waits for more.
  for (std::size_t n = 0; n < line.size() - 1; ++n)
    EXPECT_EQ(readProxyLine(line.substr(0, n)).status, ProxyLine::Status::NeedMore) << n;

  // IPv6, and an IPv4 player behind an IPv6 relay as the IPv4 address he is.
  const auto v6 = readProxyLine(proxyLine("2001:DB8:0:0::7", 1, "10.0.0.1", 65535));
  ASSERT_EQ(v6.status, ProxyLine::Status::Ok) << v6.why;
  EXPECT_EQ(v6.source, "2001:db8::7");
  EXPECT_EQ(v6.destination, "10.0.0.1");
  EXPECT_EQ(readProxyLine("PROXY TCP6 ::ffff:192.0.2.9 ::1 0 7772\r\n").source, "192.0.2.9");
}

TEST(ProxyLine, BelievesNothingElse) {
  for (const std::string& hostile : std::vector<std::string>{"CMD_logininfo+1+1.0.4+Ann\xFF", "GET / HTTP/1.0\r\n", "proxy TCP4 1.2.3.4 5.6.7.8 1 2\r\n",
        "PROXY TCP4 1.2.3.4 5.6.7.8 1 2\n", "PROXY UNKNOWN\r\n", "PROXY UNKNOWN 1.2.3.4 5.6.7.8 1 2\r\n",
        "PROXY TCP4 256.1.1.1 5.6.7.8 1 2\r\n", "PROXY TCP4 01.2.3.4 5.6.7.8 1 2\r\n",
        "PROXY TCP4 1.2.3 5.6.7.8 1 2\r\n", "PROXY TCP4 1.2.3.4.5 5.6.7.8 1 2\r\n",
        "PROXY TCP4  1.2.3.4 5.6.7.8 1 2\r\n", "PROXY TCP4 1.2.3.4 5.6.7.8 65536 2\r\n",
        "PROXY TCP4 1.2.3.4 5.6.7.8 01 2\r\n", "PROXY TCP4 1.2.3.4 5.6.7.8 -1 2\r\n",
        "PROXY TCP4 1.2.3.4 5.6.7.8 1 2 3\r\n", "PROXY TCP4 ::1 5.6.7.8 1 2\r\n",
        "PROXY TCP6 1.2.3.4 ::1 1 2\r\n", "PROXY TCP6 ::1%eth0 ::1 1 2\r\n", "PROXY TCP6 1::2::3 ::1 1 2\r\n",
        std::string("PROXY TCP4 1.2.3.4") + '\0' + " 5.6.7.8 1 2\r\n", "PROXY TCP4 1.2.3.4 5.6.7.8 1 \r\n",
        "PROXY " + std::string(200, '1')}) {
    const auto read = readProxyLine(hostile);
    EXPECT_EQ(read.status, ProxyLine::Status::Bad) << hostile;
    EXPECT_FALSE(read.why.empty());
  }
  // A line that reaches the longest a line may be without its end is given up.
  EXPECT_EQ(readProxyLine("PROXY TCP6 " + std::string(96, ':')).status, ProxyLine::Status::Bad);
  EXPECT_EQ(readProxyLine("PROXY TCP6 " + std::string(95, ':')).status, ProxyLine::Status::NeedMore);
}

}  // namespace
}  // namespace tw
