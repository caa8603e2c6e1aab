// The receiver's reading of a byte stream as frames, without the stream: it
// says where the next read goes and how many bytes it may take, and, between
// reads, what it found (a frame, damage to report, nothing). The receiver
// thread feeds it from its stream; tests and fuzz targets feed it from memory.
//
// The scanner reads ahead: when it needs a header or the rest of a small
// frame (up to kDirectThreshold bytes), it asks for more than that, and then
// delivers every whole frame it holds, one step after another, before it
// asks for more. A read-ahead asks for kDirectThreshold bytes, and for as
// much as the buffer holds (up to kReadAheadBytes) only after a read-ahead
// that came back full, a sign that more is waiting: a stream of small frames
// thus costs one read for many frames, while a large frame that comes after
// a pause is not taken into the buffer whole, touching its pages and then
// those of the message. A larger frame's payload goes straight into the
// message's own payload buffer: what of it came with the read-ahead is moved
// there, the rest is read there directly. After a large frame the next
// read-ahead is a short one again: a stream of large frames is read in two
// reads each, the header with the front and a little of the payload into
// the buffer, the rest straight into the message.
//
// Damaged input is searched byte by byte for the next signature. A frame
// longer than the ceiling is read past whole and dropped, never searched.
#pragma once
#include <cstdint>
#include <memory>

#include "ipc/IncomingMessage.h"
#include "ipc/LayerByteMessage.h"

namespace Orvel {

class FrameScanner {
 public:
  // Frames up to this length are read whole into the scanner's buffer; a
  // read-ahead after a pause asks for this many bytes.
  static constexpr std::uint32_t kDirectThreshold = 2048;
  // The most a read into the buffer asks for, and the buffer's size. It
  // grows beyond only for a large frame's long name, or to search what a
  // failed read left of a large payload.
  static constexpr std::uint32_t kReadAheadBytes = 64 * 1024;

  enum class Action {
    Read,          // read up to size bytes into data, then call received (or readFailed)
    Nothing,       // a step without a read and without anything to report
    BadSignature,  // the first wrong signature of a run of damaged input: warn with signature
    Corrupted,     // a frame refused: too short, too long or with lengths that do not add up
    Message,       // the message now holds a complete, well-formed frame
  };
  struct Step {
    Action action = Action::Nothing;
    std::uint8_t* data = nullptr;  // Read: where the bytes go
    std::uint32_t size = 0;        // Read: at most this many, at least one
    std::uint32_t signature = 0;   // BadSignature: the signature field as read
  };

  // maximumFrameLength: the ceiling above which frames are refused and read past.
  explicit FrameScanner(std::uint32_t maximumFrameLength = LayerByteMessage::kMaximumFrameLength);

  // One step. message must be the same object from a Read step to its
  // received call; between frames it may be replaced by any other (moved
  // from, or a used one): its buffers are reused for the next frame.
  Step next(IncomingMessage& message);
  // After a Read step: size bytes (1 to the step's size) are in place.
  void received(std::uint32_t size);
  // After a Read step whose read failed. True when the run must end (no
  // frame was under way); false when a frame's body was: its bytes after the
  // length field are then searched for the next signature.
  bool readFailed(const IncomingMessage& message);

 private:
  // Where the last Read step's bytes went.
  enum class Target {
    Header,   // the 8 bytes of a header, into the buffer
    Body,     // the rest of a frame, or a large frame's front, into the buffer
    Payload,  // a large frame's payload, into the message
    Skip,     // bytes of a refused frame, into the buffer to be dropped
  };

  Step read(Target target, std::uint8_t* data, std::uint32_t size);
  // A read into the buffer after the bytes held, which first move to its
  // front; size 0 reads ahead as far as the buffer allows.
  Step readIntoBuffer(Target target, std::uint32_t size);
  const std::uint8_t* held() const { return buffer_.get() + begin_; }
  Step searchForSignature();
  Step refuse();
  Step skipTooLong(std::uint32_t totalLength);
  // A frame ends: consumed bytes held are dropped by the next step.
  Step deliver(std::uint32_t consumed);
  Step nextLargeFrame(std::uint32_t totalLength, IncomingMessage& message);
  void growBuffer(std::uint32_t size);

  const std::uint32_t maximumFrameLength_;
  // Not zeroed when made or grown: only bytes that a read put there are ever
  // looked at, and most of its 64 KiB are never touched by a run of small
  // frames.
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::uint32_t capacity_;
  std::uint32_t begin_ = 0;         // where in buffer_ the bytes held start
  std::uint32_t filled_ = 0;        // bytes held in buffer_ from begin_
  std::uint32_t consumed_ = 0;      // bytes to drop at the start of the next step
  bool readAheadFull_ = false;      // the last read-ahead came back full: the next asks for all the buffer holds
  std::uint32_t readAheadAsked_ = 0;  // what the last read asked for, if it was a read-ahead; else 0
  std::uint32_t skipping_ = 0;      // bytes of a refused frame still to be read and dropped
  bool resyncing_ = false;          // searching for a signature; warned once already
  bool headerAccepted_ = false;     // the held header was judged and accepted; its frame is being read
  bool inPayload_ = false;          // a large frame's payload is being read into the message
  std::uint32_t payloadFilled_ = 0;  // its bytes in place
  Target lastTarget_ = Target::Header;
};

}  // namespace Orvel
