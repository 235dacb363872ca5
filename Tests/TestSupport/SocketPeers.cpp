#include "TestSupport/SocketPeers.hpp"

#include <stdexcept>

#include "Platform/Simulated/SimMainLoop.hpp"

namespace velvix::test {

std::string SocketPeers::Peer::readLine() {
  std::string line;
  for (std::string byte; (byte = socket.receive(1)).size() == 1 && byte != "\n";) line += byte;
  return line;
}

SocketPeers::SocketPeers(sim::SimMainLoop& loop, const std::filesystem::path& folder,
                         UnixSocketServer::AcceptHandler onAccept)
    : loop_(loop), server_((folder / "peers.sock").string(), loop) {
  server_.onAccept =
      [this, onAccept = std::move(onAccept)](const std::shared_ptr<UnixSocketServer::Client>& client) {
        latest_ = client;
        if (onAccept) onAccept(client);
      };
  if (auto error = server_.start()) throw std::runtime_error(*error);
}

SocketPeers::~SocketPeers() = default;

// Each peer says hello once: a connection that sends no line is dropped after a while.
SocketPeers::Peer SocketPeers::connect() {
  Peer peer{TestSocket::connectTo(server_.path()), nullptr};
  latest_.reset();
  if (!peer.socket.isOpen() || !peer.socket.send("hello\n") ||
      !loop_.runUntil([&] { return latest_ != nullptr; }))
    throw std::runtime_error("no connection to the test socket");
  peer.client = std::move(latest_);
  return peer;
}

}  // namespace velvix::test
