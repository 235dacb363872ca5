#pragma once
// Real socket connections for tests of code that takes the socket server's clients: each peer is
// a connected test socket and the server's client object for it, so a test can hand the client
// to the code under test and read on the socket what that code writes. The peers' process is the
// test program itself; the code under test may judge each peer as it is accepted, as the
// application's own server has it judged.

#include <filesystem>
#include <memory>
#include <string>

#include "Bridge/UnixSocketServer.hpp"
#include "TestSupport/TestSocket.hpp"

namespace velvix::sim {
class SimMainLoop;
}

namespace velvix::test {

class SocketPeers {
 public:
  struct Peer {
    TestSocket socket;
    std::shared_ptr<UnixSocketServer::Client> client;
    // The next line the code under test wrote to this peer (without its line feed).
    std::string readLine();
  };

  // Listens in `folder` (which must exist); each new connection goes to `onAccept`, lines and
  // disconnects go nowhere.
  SocketPeers(sim::SimMainLoop& loop, const std::filesystem::path& folder,
              UnixSocketServer::AcceptHandler onAccept = {});
  ~SocketPeers();

  // A new connection, once the server has accepted it (and `onAccept` has seen it).
  Peer connect();

 private:
  sim::SimMainLoop& loop_;
  UnixSocketServer server_;
  std::shared_ptr<UnixSocketServer::Client> latest_;
};

}  // namespace velvix::test
