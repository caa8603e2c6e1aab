// The Linux pipe server when the process has no descriptor left for a client.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "ipc/PipeServer.h"
#include "ipc/ReadWritePipe.h"
#include "support/PipeServer.h"

namespace {

// Takes every descriptor the process may still open, under a soft limit
// lowered for the test; gives them back when destroyed.
class NoDescriptorsLeft {
 public:
  NoDescriptorsLeft() {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = 256;
    if (::setrlimit(RLIMIT_NOFILE, &lowered) != 0) return;
    for (int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC); fd >= 0; fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) {
      taken_.push_back(fd);
    }
    exhausted_ = errno == EMFILE;
  }
  ~NoDescriptorsLeft() {
    for (const int fd : taken_) ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved_);
  }
  bool exhausted() const { return exhausted_; }

 private:
  rlimit saved_{};
  std::vector<int> taken_;
  bool exhausted_ = false;
};

TEST(PipeServer, AcceptWithoutADescriptorLeftWaitsOutItsBoundAndTakesTheClientLater) {
  const std::string name = Orvel::Test::uniquePipeName("no-descriptors");
  Orvel::PipeServer server(name);
  ASSERT_TRUE(server.isListening());
  const auto client = Orvel::ReadWritePipe::connect(name, 5000);
  ASSERT_TRUE(client);  // queued until the server accepts it
  // Three accepts, as a server's loop makes them: each waits its bound
  // instead of failing at once on the client it cannot take. (Checked once
  // the descriptors are back: a failing check needs some to report.)
  bool exhausted = false;
  int accepted = 0;
  std::chrono::steady_clock::duration took{};
  {
    NoDescriptorsLeft full;
    exhausted = full.exhausted();
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; exhausted && round < 3; ++round) accepted += server.accept(std::chrono::milliseconds(100)) ? 1 : 0;
    took = std::chrono::steady_clock::now() - start;
  }
  ASSERT_TRUE(exhausted);
  EXPECT_EQ(accepted, 0);
  EXPECT_GE(took, std::chrono::milliseconds(300))
      << std::chrono::duration_cast<std::chrono::microseconds>(took).count() << " µs for three accepts";
  EXPECT_NE(server.accept(std::chrono::seconds(5)), nullptr);
}

}  // namespace
