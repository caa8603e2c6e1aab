#include "ScriptedStream.h"

#include <algorithm>
#include <cstring>

#include "platform/SystemError.h"

namespace Orvel::Test {

void ScriptedStream::addChunk(const Bytes& bytes) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!bytes.empty()) chunks_.push_back(bytes);
  }
  changed_.notify_all();
}

void ScriptedStream::setMaxReadSize(std::uint32_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  maxReadSize_ = size;
}

void ScriptedStream::endStream(std::uint32_t errorCode) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    endCode_ = errorCode;
  }
  changed_.notify_all();
}

std::vector<std::uint32_t> ScriptedStream::readRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return readRequests_;
}

bool ScriptedStream::isClosed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

void ScriptedStream::close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

bool ScriptedStream::read(void* data, std::uint32_t& size) {
  std::unique_lock<std::mutex> lock(mutex_);
  lastError_ = 0;
  readRequests_.push_back(size);
  changed_.wait(lock, [this] { return closed_ || ended_ || !chunks_.empty(); });
  if (closed_) return false;
  if (chunks_.empty()) {
    lastError_ = endCode_;
    return false;
  }
  const Bytes& chunk = chunks_.front();
  const auto count = std::min<std::size_t>({size, chunk.size() - readInChunk_, maxReadSize_});
  std::memcpy(data, chunk.data() + readInChunk_, count);
  readInChunk_ += count;
  if (readInChunk_ == chunk.size()) {
    chunks_.pop_front();
    readInChunk_ = 0;
  }
  size = static_cast<std::uint32_t>(count);
  return true;
}

bool ScriptedStream::write(const void* data, std::uint32_t& size, std::int64_t timeoutMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  lastError_ = 0;
  writeTimeouts_.push_back(timeoutMs);
  if (static_cast<int>(writes_.size()) == failingWrite_) {
    writes_.emplace_back();
    lastError_ = failingCode_;
    return false;
  }
  const auto count = std::min(size, maxWriteSize_);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  writes_.emplace_back(bytes, bytes + count);
  size = count;
  return true;
}

bool ScriptedStream::flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++flushes_;
  return true;
}

std::uint32_t ScriptedStream::getErrorCode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastError_;
}

std::string ScriptedStream::getErrorMessage() const {
  const std::uint32_t code = getErrorCode();
  return code == 0 ? std::string() : formatSystemError(code);
}

}  // namespace Orvel::Test
