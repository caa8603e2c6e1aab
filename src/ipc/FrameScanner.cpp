#include "ipc/FrameScanner.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/FreshPages.h"

namespace Orvel {

namespace {

constexpr char kSignatureBytes[4] = {'o', 'r', 'v', 'e'};
// The bytes of a large frame read after a read-ahead that ended before its
// name length: enough for the usual names and both length fields, so that
// the payload follows in reads of its own. What they hold of the payload is
// copied over.
constexpr std::uint32_t kFrontRead = 256;
// totalLength, signature and nameLength: the bytes that say where the name ends.
constexpr std::uint32_t kNameLengthEnd = LayerByteMessage::kHeaderLength + 4;

}  // namespace

FrameScanner::FrameScanner(std::uint32_t maximumFrameLength)
    : maximumFrameLength_(maximumFrameLength), buffer_(new std::uint8_t[kReadAheadBytes]), capacity_(kReadAheadBytes) {}

FrameScanner::Step FrameScanner::read(Target target, std::uint8_t* data, std::uint32_t size) {
  lastTarget_ = target;
  Step step;
  step.action = Action::Read;
  step.data = data;
  step.size = size;
  return step;
}

FrameScanner::Step FrameScanner::readIntoBuffer(Target target, std::uint32_t size) {
  if (begin_ > 0) {
    // What is held is at most one frame's start: a short move.
    std::memmove(buffer_.get(), buffer_.get() + begin_, filled_);
    begin_ = 0;
  }
  readAheadAsked_ = 0;
  if (size == 0) {
    // Only a header or a small frame's rest is asked for this way: what is
    // held is less than kDirectThreshold bytes.
    size = (readAheadFull_ ? std::min<std::uint32_t>(capacity_, kReadAheadBytes) : kDirectThreshold) - filled_;
    readAheadAsked_ = size;
  }
  return read(target, buffer_.get() + filled_, size);
}

void FrameScanner::received(std::uint32_t size) {
  switch (lastTarget_) {
    case Target::Skip:
      skipping_ -= size;
      break;
    case Target::Payload:
      payloadFilled_ += size;
      break;
    case Target::Header:
    case Target::Body:
      filled_ += size;
      if (readAheadAsked_ > 0) readAheadFull_ = size == readAheadAsked_;
      break;
  }
}

bool FrameScanner::readFailed(const IncomingMessage& message) {
  switch (lastTarget_) {
    case Target::Header:
    case Target::Skip:
      // Nothing held to search, or a later read would begin inside the
      // refused frame.
      return true;
    case Target::Payload:
      // The bytes read so far join the front again, as if the frame had been
      // read into the buffer whole, so that they are searched like any other.
      growBuffer(begin_ + filled_ + payloadFilled_);
      std::copy_n(message.payload.data(), payloadFilled_, buffer_.get() + begin_ + filled_);
      filled_ += payloadFilled_;
      inPayload_ = false;
      break;
    case Target::Body:
      break;
  }
  consumed_ = 4;
  resyncing_ = true;
  headerAccepted_ = false;
  return false;
}

void FrameScanner::growBuffer(std::uint32_t size) {
  if (capacity_ >= size) return;
  std::unique_ptr<std::uint8_t[]> bigger(new std::uint8_t[size]);
  std::memcpy(bigger.get(), buffer_.get(), begin_ + filled_);  // the bytes held and what lies before them
  buffer_ = std::move(bigger);
  capacity_ = size;
}

FrameScanner::Step FrameScanner::next(IncomingMessage& message) {
  if (consumed_ > 0) {
    // Dropped by moving the start: the bytes held stay where they are until
    // the next read into the buffer.
    begin_ = filled_ > consumed_ ? begin_ + consumed_ : 0;
    filled_ -= consumed_;
    consumed_ = 0;
  }
  if (skipping_ > 0) {
    // Read into the buffer only to be dropped; the body is never held whole.
    return read(Target::Skip, buffer_.get(), std::min<std::uint32_t>(skipping_, capacity_));
  }
  if (inPayload_) {
    const auto payloadLength = static_cast<std::uint32_t>(message.payload.size());
    if (payloadFilled_ < payloadLength) {
      return read(Target::Payload, message.payload.data() + payloadFilled_, payloadLength - payloadFilled_);
    }
    inPayload_ = false;
    return deliver(filled_);  // the front; the payload was never in the buffer
  }
  if (filled_ < LayerByteMessage::kHeaderLength) {
    return readIntoBuffer(Target::Header, 0);
  }

  const std::uint32_t totalLength = LayerByteMessage::readUint32(held());
  if (!headerAccepted_) {
    const LayerByteMessage::Header header = LayerByteMessage::checkHeader(held(), maximumFrameLength_);
    if (header == LayerByteMessage::Header::BadSignature) return searchForSignature();
    resyncing_ = false;
    if (header == LayerByteMessage::Header::TooShort) return refuse();
    if (header == LayerByteMessage::Header::TooLong) return skipTooLong(totalLength);
    headerAccepted_ = true;
  }
  if (totalLength > kDirectThreshold) return nextLargeFrame(totalLength, message);

  if (filled_ < totalLength) return readIntoBuffer(Target::Body, 0);
  if (!LayerByteMessage::decodeBody(held() + LayerByteMessage::kHeaderLength, totalLength - LayerByteMessage::kHeaderLength,
                                    message)) {
    return refuse();
  }
  return deliver(totalLength);
}

FrameScanner::Step FrameScanner::skipTooLong(std::uint32_t totalLength) {
  // Too long to accept, and skipped whole, unread: its body is never
  // searched for frames. It may be a real frame (one long property value of
  // a peer), whose bytes could hold what looks like whole frames that nobody
  // sent as such. What is held of it is dropped; the rest is read into the
  // buffer a piece at a time and dropped too.
  if (filled_ >= totalLength) {
    consumed_ = totalLength;
  } else {
    skipping_ = totalLength - filled_;
    begin_ = 0;
    filled_ = 0;
  }
  return Step{Action::Corrupted};
}

FrameScanner::Step FrameScanner::deliver(std::uint32_t consumed) {
  consumed_ = consumed;
  headerAccepted_ = false;
  return Step{Action::Message};
}

FrameScanner::Step FrameScanner::nextLargeFrame(std::uint32_t totalLength, IncomingMessage& message) {
  const std::uint32_t bodySize = totalLength - LayerByteMessage::kHeaderLength;
  // The front is read without reading ahead: what follows it is payload,
  // best read straight into the message.
  if (filled_ < kNameLengthEnd) return readIntoBuffer(Target::Body, std::min(totalLength, kFrontRead) - filled_);
  // The body check of LayerByteMessage::decodeBody, made on the front alone.
  const std::uint64_t nameLength = LayerByteMessage::readUint32(held() + LayerByteMessage::kHeaderLength);
  if (nameLength + 8 > bodySize) return refuse();
  const auto frontEnd = static_cast<std::uint32_t>(kNameLengthEnd + nameLength + 4);
  if (filled_ < frontEnd) {
    growBuffer(frontEnd);
    return readIntoBuffer(Target::Body, frontEnd - filled_);
  }
  const std::uint32_t payloadLength = LayerByteMessage::readUint32(held() + frontEnd - 4);
  if (payloadLength != bodySize - 8 - nameLength) return refuse();

  message.name.assign(reinterpret_cast<const char*>(held() + kNameLengthEnd), static_cast<std::size_t>(nameLength));
  // Sized, not cleared first: a reused message of the same size is not filled again.
  if (message.payload.capacity() < payloadLength) {
    // A fresh buffer, written whole next (zero-filled, then read into).
    message.payload.reserve(payloadLength);
    platform::makePagesPresent(message.payload.data(), payloadLength);
  }
  message.payload.resize(payloadLength);
  // The payload's bytes that came with the front or a read-ahead move there.
  const std::uint32_t payloadHeld = std::min(filled_, totalLength) - frontEnd;
  std::copy_n(held() + frontEnd, payloadHeld, message.payload.data());
  // What follows may be another large frame: its header comes with a short
  // read-ahead, which takes its front and little of its payload along.
  readAheadFull_ = false;
  if (filled_ >= totalLength) return deliver(totalLength);
  payloadFilled_ = payloadHeld;
  filled_ = frontEnd;
  inPayload_ = true;
  return read(Target::Payload, message.payload.data() + payloadHeld, payloadLength - payloadHeld);
}

FrameScanner::Step FrameScanner::searchForSignature() {
  Step step;
  if (!resyncing_) {
    step.action = Action::BadSignature;
    step.signature = LayerByteMessage::readUint32(held() + 4);
  }
  // The next frame start k has the signature at k + 4. Near the end of the
  // held data a prefix of the signature is enough: the next read completes
  // it. Without a match the last four bytes stay, as the possible length
  // field of the next frame.
  std::uint32_t k = 1;
  for (; k < filled_ - 4; ++k) {
    const std::uint32_t compared = std::min<std::uint32_t>(4, filled_ - 4 - k);
    if (std::memcmp(held() + k + 4, kSignatureBytes, compared) == 0) break;
  }
  consumed_ = k;
  resyncing_ = true;
  return step;
}

FrameScanner::Step FrameScanner::refuse() {
  consumed_ = 4;  // the next step searches onwards without warning again
  resyncing_ = true;
  headerAccepted_ = false;
  return Step{Action::Corrupted};
}

}  // namespace Orvel
