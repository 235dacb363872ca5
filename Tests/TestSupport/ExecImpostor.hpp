#pragma once
// A hostile local process for tests of the socket's peer check: it connects to the socket, forks,
// and the connecting process itself becomes a browser's program (exec), while its child, holding
// the same connection, sends made-up reports once the exec has happened. To the kernel the peer
// of the connection is then a browser's process. Both processes are killed when the object goes.

#include <string>
#include <vector>

#include <sys/types.h>

namespace velvix::test {

class ExecImpostor {
 public:
  // Connects to `socketPath`, then runs `program` with `arguments` in the connecting process;
  // `lines` (each sent with a line feed) follow from the child once `program` runs.
  ExecImpostor(const std::string& socketPath, const std::string& program,
               const std::vector<std::string>& arguments, const std::vector<std::string>& lines);
  ~ExecImpostor();
  ExecImpostor(const ExecImpostor&) = delete;
  ExecImpostor& operator=(const ExecImpostor&) = delete;

  // The process the socket names as its peer.
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

}  // namespace velvix::test
