#pragma once
// ReplyFramer: cuts the controller's reply frames out of the received byte stream and commits
// each to the ReplyRing. Its state lasts across chunks, so a frame cut across chunks is continued
// with the next one.
//
// Bytes other than 0x5A between frames are skipped one by one. A frame is committed after as many
// bytes as its length byte says. A length of 20 or more gives an empty (all-zero) entry after 20
// bytes, which the dispatcher ignores, and hunting resumes with the next byte. Lengths 0 to 2
// give entries without a command byte.
//
// Noise may hold start bytes too (a controller that resets sends garbage), and there is no
// checksum. So that such noise is neither applied nor allowed to swallow the frame behind it, a
// frame of length 3 to 19 must carry the fixed byte 0x01 after its length byte: otherwise its
// start byte was noise, and hunting resumes with the byte that should have been the fixed one.
// Such a frame must also end in 0x03, or it becomes an empty entry. The direction byte is not
// checked, and lengths of 20 or more keep their rule above.
//
// Threads: the user-interface thread only (inside the delivery of WM_SERIAL_DATA).

#include <cstddef>
#include <cstdint>

#include "link/reply_ring.h"

namespace lamp {

class ReplyFramer {
public:
  explicit ReplyFramer(ReplyRing& ring) noexcept : ring_(ring) {}

  void Feed(const std::uint8_t* bytes, std::size_t count) noexcept;
  // Forgets a frame begun and not finished, and hunts for a start byte again: for a port that
  // has been closed and opened anew, whose bytes must not complete a frame of the line before.
  void Reset() noexcept;

private:
  enum class Mode { Hunting, Length, Body };

  void Commit() noexcept;

  ReplyRing& ring_;
  Mode mode_ = Mode::Hunting;
  std::uint8_t stored_ = 0;
  std::uint8_t expected_ = 0;
};

} // namespace lamp
