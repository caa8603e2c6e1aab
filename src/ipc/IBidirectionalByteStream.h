// A connected, full-duplex byte stream to a server. At most one read and one
// write may be in flight at a time; they may overlap each other. close may be
// called from any thread and ends a blocked read.
#pragma once
#include <cstdint>
#include <string>

namespace Orvel {

class IBidirectionalByteStream {
 public:
  virtual ~IBidirectionalByteStream() = default;

  // The path the stream was opened with.
  virtual std::string getName() const = 0;
  // True once close has run.
  virtual bool isClosed() const = 0;
  // Cancels pending I/O and closes the stream; later calls do nothing.
  virtual void close() = 0;
  // Writes up to size bytes. A timeout of 0 waits without limit, a positive
  // one bounds the wait, a negative one accepts only immediate completion.
  // On success size is set to the bytes written.
  virtual bool write(const void* data, std::uint32_t& size, std::int64_t timeoutMs) = 0;
  // Reads up to size bytes, blocking. On success size is set to the bytes read.
  virtual bool read(void* data, std::uint32_t& size) = 0;
  // Waits until the server has read everything written.
  virtual bool flush() = 0;
  // The error recorded by the last failed read, write or flush. A server
  // that went away or I/O ended by close is a quiet end and records nothing.
  virtual bool hasError() const { return getErrorCode() != 0; }
  virtual std::uint32_t getErrorCode() const = 0;
  // formatSystemError of the recorded code, or "" when there is none.
  virtual std::string getErrorMessage() const = 0;
};

}  // namespace Orvel
