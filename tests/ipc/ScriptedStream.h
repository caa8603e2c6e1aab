// An in-memory stream whose reads hand out scripted chunks and whose writes
// are recorded, for the cases a real pipe cannot produce on demand (reads
// split at chosen places, partial writes, injected errors).
#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "ipc/IBidirectionalByteStream.h"

namespace Orvel::Test {

class ScriptedStream final : public IBidirectionalByteStream {
 public:
  using Bytes = std::vector<std::uint8_t>;

  // Queues bytes to read. A read never returns more than the rest of one
  // chunk, nor more than maxReadSize bytes.
  void addChunk(const Bytes& bytes);
  void setMaxReadSize(std::uint32_t size);
  // Once the chunks are used up, reads fail: quietly (end of stream) or with a recorded error.
  void endStream(std::uint32_t errorCode = 0);
  // The sizes the reader asked for, in order.
  std::vector<std::uint32_t> readRequests() const;

  // Writes take at most maxWriteSize bytes each. The failing write (counted
  // from 0) fails with errorCode recorded, or quietly with 0.
  void setMaxWriteSize(std::uint32_t size) { maxWriteSize_ = size; }
  void failWrite(int index, std::uint32_t errorCode) {
    failingWrite_ = index;
    failingCode_ = errorCode;
  }
  const std::vector<Bytes>& writes() const { return writes_; }
  std::vector<std::int64_t> writeTimeouts() const { return writeTimeouts_; }
  int flushes() const { return flushes_; }

  std::string getName() const override { return "scripted"; }
  bool isClosed() const override;
  void close() override;
  bool write(const void* data, std::uint32_t& size, std::int64_t timeoutMs) override;
  bool read(void* data, std::uint32_t& size) override;
  bool flush() override;
  std::uint32_t getErrorCode() const override;
  std::string getErrorMessage() const override;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Bytes> chunks_;
  std::size_t readInChunk_ = 0;  // bytes of the front chunk already read
  std::uint32_t maxReadSize_ = 0xFFFFFFFF;
  bool ended_ = false;
  std::uint32_t endCode_ = 0;
  bool closed_ = false;
  std::uint32_t lastError_ = 0;
  std::vector<std::uint32_t> readRequests_;

  std::uint32_t maxWriteSize_ = 0xFFFFFFFF;
  int failingWrite_ = -1;
  std::uint32_t failingCode_ = 0;
  std::vector<Bytes> writes_;
  std::vector<std::int64_t> writeTimeouts_;
  int flushes_ = 0;
};

}  // namespace Orvel::Test
