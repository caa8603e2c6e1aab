#include "ConnectionStream.h"

#include <chrono>
#include <cstddef>

namespace Orvel::Tools {

namespace {
// How often a waiting read looks whether the stream was closed meanwhile.
constexpr std::chrono::milliseconds kReadSlice(200);
}  // namespace

ConnectionStream::ConnectionStream(std::string name, std::unique_ptr<PipeConnection> connection)
    : name_(std::move(name)), connection_(std::move(connection)) {}

ConnectionStream::~ConnectionStream() { close(); }

void ConnectionStream::close() {
  if (!closed_.exchange(true)) connection_->close();
}

bool ConnectionStream::write(const void* data, std::uint32_t& size, std::int64_t) {
  if (isClosed()) return false;
  return connection_->writeAll(data, size);
}

bool ConnectionStream::writeAvailable(const void* data, std::uint32_t& size) {
  if (isClosed()) return false;
  std::size_t written = size;
  if (!connection_->writeAvailable(data, written)) return false;
  size = static_cast<std::uint32_t>(written);
  return true;
}

bool ConnectionStream::read(void* data, std::uint32_t& size) {
  for (;;) {
    if (isClosed()) return false;
    std::size_t got = size;
    switch (connection_->readSome(data, got, kReadSlice)) {
      case PipeConnection::ReadStatus::Data:
        size = static_cast<std::uint32_t>(got);
        return true;
      case PipeConnection::ReadStatus::End:
        return false;
      case PipeConnection::ReadStatus::TimedOut:
        break;
    }
  }
}

}  // namespace Orvel::Tools
