// The router port mapper against routers faked on loopback: a UPnP IGD found
// through a minissdpd socket with its description and SOAP control over HTTP,
// a NAT-PMP responder (RFC 6886) on a loopback address of its own behind a
// host that registers with a real directory meanwhile, and a real miniupnpd
// where the machine lets one run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <sched.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QNetworkDatagram>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtEndian>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "directory/directory_service.h"
#include "discovery/directory_registration.h"
#include "discovery/router_port_mapper.h"
#include "host/host_service.h"
#include "support/loopback.h"

namespace tw {
namespace {

using test::waitUntil;

// NAT-PMP on UDP 5351 of `address` (each test its own, so that tests run side by side).
struct FakeNatPmp {
  struct Request {
    int internalPort, externalPort;
    quint32 lifetime;
  };
  explicit FakeNatPmp(const QString& address) {
    bound = socket.bind(QHostAddress(address), 5351);
    QObject::connect(&socket, &QUdpSocket::readyRead, [this] { answer(); });
  }
  void answer() {
    while (socket.hasPendingDatagrams()) {
      const QNetworkDatagram in = socket.receiveDatagram(64);
      const QByteArray b = in.data();
      if (garble) socket.writeDatagram(QByteArray("\0\x82", 2), in.senderAddress(), in.senderPort());
      if (garble || b.size() != 12 || b[0] != 0 || b[1] != 2) continue;  // TCP mapping requests only
      const auto* bytes = reinterpret_cast<const uchar*>(b.constData());
      const Request r{qFromBigEndian<quint16>(bytes + 4), qFromBigEndian<quint16>(bytes + 6),
                      qFromBigEndian<quint32>(bytes + 8)};
      requests.push_back(r);
      if (ignore > 0 && ignore--) continue;
      uchar out[16] = {0, 128 + 2};
      qToBigEndian<quint32>(77, out + 4);  // seconds since the router started
      qToBigEndian<quint16>(quint16(r.internalPort), out + 8);
      qToBigEndian<quint16>(quint16(r.lifetime ? (grantPort ? grantPort : r.externalPort) : 0), out + 10);
      qToBigEndian<quint32>(std::min(r.lifetime, grantLifetime), out + 12);
      socket.writeDatagram(reinterpret_cast<const char*>(out), 16, in.senderAddress(), in.senderPort());
    }
  }
  QUdpSocket socket;
  bool bound = false;
  std::vector<Request> requests;
  int ignore = 0;  // requests left unanswered first
  bool garble = false;  // answer with a datagram too short to be an answer
  int grantPort = 0;
  quint32 grantLifetime = 3600;
};

// A UPnP IGD: found through minissdpd's socket, described and controlled over HTTP.
struct FakeIgd {
  explicit FakeIgd(const QString& ssdpSocket) {
    http.Get("/rootDesc.xml", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(description(), "text/xml");
    });
    http.Post("/ctl/IPConn", [this](const httplib::Request& req, httplib::Response& res) { control(req, res); });
    port = http.bind_to_any_port("127.0.0.1");
    thread = std::thread([this] { http.listen_after_bind(); });
    // minissdpd: one device per question, whatever the question.
    ssdp.listen(ssdpSocket);
    QObject::connect(&ssdp, &QLocalServer::newConnection, [this] {
      QLocalSocket* s = ssdp.nextPendingConnection();
      QObject::connect(s, &QLocalSocket::readyRead, s, [this, s] {
        s->readAll();
        QByteArray reply(1, 1);
        for (const std::string& text : {"http://127.0.0.1:" + std::to_string(port) + "/rootDesc.xml",
                                        std::string("urn:schemas-upnp-org:service:WANIPConnection:1"),
                                        std::string("uuid:fake::WANIPConnection:1")})
          reply += char(text.size()) + QByteArray::fromStdString(text);
        s->write(reply);
        s->disconnectFromServer();
      });
    });
  }
  ~FakeIgd() {
    for (int i = 0; i < 1000 && !http.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    http.stop();
    thread.join();
  }
  static std::string field(const std::string& body, const std::string& name) {
    const auto start = body.find("<" + name + ">");
    if (start == std::string::npos) return "?";
    const auto from = start + name.size() + 2;
    return body.substr(from, body.find('<', from) - from);
  }
  void control(const httplib::Request& req, httplib::Response& res) {
    std::string action = req.get_header_value("SOAPAction");
    action = action.substr(action.find('#') + 1);
    action.erase(action.find_last_not_of('"') + 1);
    std::string body;
    const std::string lease = field(req.body, "NewLeaseDuration");
    {
      const std::lock_guard lock(mutex);
      if (action == "AddPortMapping")
        actions.push_back(action + " " + field(req.body, "NewExternalPort") + " " + field(req.body, "NewInternalPort") +
                          " " + field(req.body, "NewInternalClient") + " " + field(req.body, "NewProtocol") + " " +
                          lease);
      else if (action == "DeletePortMapping")
        actions.push_back(action + " " + field(req.body, "NewExternalPort") + " " + field(req.body, "NewProtocol"));
    }
    if (action == "AddPortMapping" && lease != "0") {  // a router that keeps mappings only until removed
      res.status = 500;
      return res.set_content(envelope("<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring>"
                                      "<detail><UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>725"
                                      "</errorCode><errorDescription>OnlyPermanentLeasesSupported</errorDescription>"
                                      "</UPnPError></detail></s:Fault>"),
                             "text/xml");
    }
    if (action == "GetStatusInfo")
      body = "<NewConnectionStatus>Connected</NewConnectionStatus><NewLastConnectionError>ERROR_NONE"
             "</NewLastConnectionError><NewUptime>77</NewUptime>";
    if (action == "GetExternalIPAddress") body = "<NewExternalIPAddress>81.2.69.160</NewExternalIPAddress>";
    res.set_content(envelope("<u:" + action + "Response xmlns:u=\"urn:schemas-upnp-org:service:WANIPConnection:1\">" +
                             body + "</u:" + action + "Response>"),
                    "text/xml");
  }
  static std::string envelope(const std::string& body) {
    return "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>" +
           body + "</s:Body></s:Envelope>";
  }
  static std::string service(const std::string& type, const std::string& name) {
    return "<serviceList><service><serviceType>urn:schemas-upnp-org:service:" + type + "</serviceType><serviceId>" +
           "urn:upnp-org:serviceId:" + name + "</serviceId><controlURL>/ctl/" + name + "</controlURL><eventSubURL>" +
           "/evt/" + name + "</eventSubURL><SCPDURL>/" + name + ".xml</SCPDURL></service></serviceList>";
  }
  std::string description() const {
    return "<?xml version=\"1.0\"?><root xmlns=\"urn:schemas-upnp-org:device-1-0\"><specVersion><major>1</major>"
           "<minor>0</minor></specVersion><device><deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1"
           "</deviceType><friendlyName>Fake router</friendlyName>" +
           service("Layer3Forwarding:1", "L3F") +
           "<deviceList><device><deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>" +
           service("WANCommonInterfaceConfig:1", "CmnIfCfg") +
           "<deviceList><device><deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType>" +
           service("WANIPConnection:1", "IPConn") + "</device></deviceList></device></deviceList></device></root>";
  }
  std::vector<std::string> seen() {
    const std::lock_guard lock(mutex);
    return actions;
  }

  httplib::Server http;
  std::thread thread;
  int port = 0;
  QLocalServer ssdp;
  std::mutex mutex;
  std::vector<std::string> actions;
};

TEST(RouterPortMapper, WithoutNatPmpAUpnpRouterFoundThroughMinissdpdOpensThePort) {
  test::qtApp();
  QTemporaryDir dir;
  FakeIgd igd(dir.filePath(QStringLiteral("minissdpd.sock")));
  FakeNatPmp garbled(QStringLiteral("127.32.0.2"));
  ASSERT_TRUE(garbled.bound);
  garbled.garble = true;
  std::vector<std::string> logs;
  auto mapper = std::make_unique<RouterPortMapper>(
      RouterOptions{QStringLiteral("127.32.0.2"), dir.filePath(QStringLiteral("minissdpd.sock")), {}, 500},
      [&](const std::string& line) { logs.push_back(line); });
  mapper->start(7777);
  ASSERT_TRUE(waitUntil([&] { return mapper->core().externalPort() == 7777; }, 20000)) << igd.seen().size();
  EXPECT_EQ(mapper->core().method(), MappingMethod::Upnp);
  EXPECT_EQ(igd.seen(), (std::vector<std::string>{"AddPortMapping 7777 7777 127.0.0.1 TCP 3600",
                                                  "AddPortMapping 7777 7777 127.0.0.1 TCP 0"}));
  EXPECT_NE(logs.back().find("81.2.69.160 port 7777"), std::string::npos) << logs.back();
  mapper.reset();
  EXPECT_EQ(igd.seen().back(), "DeletePortMapping 7777 TCP");
}

// Runs a program to its end; its output, or nothing when it failed.
std::optional<QString> run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(10000) || p.exitCode() != 0) return std::nullopt;
  return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// A real miniupnpd needs a network of its own: a network namespace (root)
// holding a router with a "public" side and a LAN side (a veth pair), and
// nftables chains for the rules it adds. Where any of that is missing the test
// is skipped, not failed: the fakes above carry the protocols everywhere.
TEST(RouterPortMapper, ARealMiniupnpdOpensAndClosesThePortByNatPmpAndByUpnp) {
  test::qtApp();
  const QString daemon = QStandardPaths::findExecutable(QStringLiteral("miniupnpd"), {QStringLiteral("/usr/sbin")});
  const QString nft = QStandardPaths::findExecutable(QStringLiteral("nft"), {QStringLiteral("/usr/sbin")});
  const QString ip = QStandardPaths::findExecutable(QStringLiteral("ip"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
  if (geteuid() != 0 || daemon.isEmpty() || nft.isEmpty() || ip.isEmpty())
    GTEST_SKIP() << "a real miniupnpd needs root, miniupnpd, nft and ip";
  const int home = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  if (home < 0 || unshare(CLONE_NEWNET) != 0) {
    if (home >= 0) close(home);
    GTEST_SKIP() << "no network namespace of our own here (unshare: " << strerror(errno) << ")";
  }
  // This thread, and the programs and threads it starts, are in the new namespace until the end.
  struct Home {
    int fd;
    ~Home() {
      setns(fd, CLONE_NEWNET);
      close(fd);
    }
  } back{home};
  QTemporaryDir dir;
  for (const QStringList& args : {QStringList{"link", "set", "lo", "up"},
                                  QStringList{"link", "add", "wan0", "type", "veth", "peer", "name", "lan0"},
                                  QStringList{"addr", "add", "81.2.69.1/24", "dev", "wan0"},
                                  QStringList{"addr", "add", "192.168.77.1/24", "dev", "lan0"},
                                  QStringList{"link", "set", "wan0", "up"}, QStringList{"link", "set", "lan0", "up"}})
    if (!run(ip, args)) GTEST_SKIP() << "cannot make the router's network: ip " << args.join(' ').toStdString();
  const auto write = [&](const char* name, const char* text) {
    QFile f(dir.filePath(QLatin1String(name)));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    return f.fileName();
  };
  const QString rules = write("rules.nft",
                              "table inet tw_router {\n"
                              " chain forward { type filter hook forward priority 0; policy accept; jump miniupnpd; }\n"
                              " chain miniupnpd { }\n"
                              " chain prerouting { type nat hook prerouting priority -100; policy accept;"
                              " jump prerouting_miniupnpd; }\n"
                              " chain postrouting { type nat hook postrouting priority 100; policy accept;"
                              " jump postrouting_miniupnpd; }\n"
                              " chain prerouting_miniupnpd { }\n chain postrouting_miniupnpd { }\n}\n");
  if (!run(nft, {QStringLiteral("-f"), rules})) GTEST_SKIP() << "nftables cannot be set up in the namespace";
  const QString config = write("miniupnpd.conf",
                               "ext_ifname=wan0\nlistening_ip=lan0\nhttp_port=5555\nenable_natpmp=yes\n"
                               "enable_upnp=yes\nsecure_mode=yes\nupnp_table_name=tw_router\n"
                               "upnp_nat_table_name=tw_router\nupnp_forward_chain=miniupnpd\n"
                               "upnp_nat_chain=prerouting_miniupnpd\nupnp_nat_postrouting_chain=postrouting_miniupnpd\n"
                               "uuid=3d3cec3a-8cf0-11e0-98ee-001a6bd2d07b\n"
                               "allow 1024-65535 192.168.77.0/24 1024-65535\ndeny 0-65535 0.0.0.0/0 0-65535\n");
  QProcess router;
  QByteArray said;
  QObject::connect(&router, &QProcess::readyReadStandardError, [&] { said += router.readAllStandardError(); });
  router.start(daemon, {QStringLiteral("-d"), QStringLiteral("-f"), config, QStringLiteral("-P"),
                        dir.filePath(QStringLiteral("miniupnpd.pid"))});
  if (!waitUntil([&] { return said.contains("Listening for NAT-PMP") && said.contains("HTTP listening"); }))
    GTEST_SKIP() << "miniupnpd does not start here: " << said.toStdString();
  const auto opened = [&] { return run(nft, {"list", "chain", "inet", "tw_router", "prerouting_miniupnpd"}).value_or(QString()).contains(QStringLiteral("7777")); };

  struct Way {
    RouterOptions options;
    MappingMethod method;
  };
  for (const Way& way : {Way{{QStringLiteral("192.168.77.1"), {}, {}, 500}, MappingMethod::NatPmp},
                         Way{{QStringLiteral("127.0.0.1"), {}, QStringLiteral("http://192.168.77.1:5555/rootDesc.xml"), 500},
                             MappingMethod::Upnp}}) {
    RouterPortMapper mapper(way.options, [](const std::string&) {});
    mapper.start(7777);
    ASSERT_TRUE(waitUntil([&] { return mapper.core().externalPort() != 0; }, 20000)) << said.toStdString();
    EXPECT_EQ(mapper.core().method(), way.method);
    EXPECT_TRUE(opened());
    mapper.stop();
    EXPECT_TRUE(waitUntil([&] { return !opened(); })) << said.toStdString();
  }
  router.terminate();
  router.waitForFinished(5000);
}

TEST(RouterPortMapper, ARegistrationGoesAheadWithoutTheRouterAndIsCheckedAgainWhenThePortOpens) {
  test::qtApp();
  const auto quiet = [](const std::string&) {};
  HostService host(quiet);
  ASSERT_TRUE(host.listen(0));
  dir::MemoryStorage storage;
  dir::DirectoryService directory(storage, dir::Limits{});
  ASSERT_TRUE(directory.listen(0));
  FakeNatPmp router(QStringLiteral("127.32.0.3"));
  ASSERT_TRUE(router.bound);
  router.ignore = 2;  // answered at the third sending, after 750 ms
  router.grantLifetime = 2;

  std::vector<std::string> logs;
  {
    DirectoryRegistration registration(QStringLiteral("127.0.0.1"), directory.port(), true, "Ann's game",
                                       [&](const std::string& line) { logs.push_back(line); });
    registration.setPortMapper(
        std::make_unique<RouterPortMapper>(RouterOptions{QStringLiteral("127.32.0.3"), {}, {}, 500}, quiet), 100);
    std::vector<Reachability::Way> seen;
    QObject::connect(&registration, &DirectoryRegistration::reachabilityChanged,
                     [&](const Reachability& how) {
                       seen.push_back(how.way);
                       EXPECT_EQ(how.gamePort, host.port());
                     });
    host.addListingSink(&registration);
    ASSERT_TRUE(waitUntil([&] { return !seen.empty(); }));
    EXPECT_EQ(seen[0], Reachability::Way::Direct);
    EXPECT_TRUE(router.requests.size() < 3u);
    ASSERT_TRUE(waitUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen[1], Reachability::Way::PortMapped);
    ASSERT_TRUE(waitUntil([&] { return router.requests.size() >= 4; }));  // renewed at half the lease
    EXPECT_EQ(router.requests[0].lifetime, quint32(PortMapper::kLeaseSec));
    EXPECT_EQ(router.requests[3].externalPort, host.port());
    const auto games = storage.games(dir::wallClockMs());
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0].port, host.port());
    EXPECT_TRUE(games[0].reachable);
    EXPECT_EQ(logs.back(), "Reachable through your router (port opened): the directory reached the port it opened");
    registration.withdraw();
    ASSERT_TRUE(waitUntil([&] { return router.requests.back().lifetime == 0; }));
    EXPECT_EQ(router.requests.back().externalPort, 0);
    host.removeListingSink(&registration);
  }
}

}  // namespace
}  // namespace tw
