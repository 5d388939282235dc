#pragma once
// Comlane: the serial-port library. One export, `Rs232Class`, makes a `SerialPort` that owns one
// RS-232 port, queues bytes for transmission and runs a transmit and a receive thread. Received
// bytes reach the owner as WM_SERIAL_DATA (wParam: address of the bytes, valid only during the
// handling; lParam: their count, 1 to 4096), delivered synchronously, one chunk at a time, in
// order.
//
// A lost line (the device hung up, as a pulled USB adapter or a pseudo-terminal whose far side
// closed does, or a read or write on it failed) is reported to the owner once per loss as
// WM_SERIAL_LOST (0x1401, wParam and lParam 0), synchronously from the receive thread, after
// every byte received before the loss. The port then stays open but moves no byte: bytes
// written meanwhile are dropped. The owner recovers with Close and Open (which discards what is
// still queued) and StartThreads; the handler of WM_SERIAL_LOST must not call Close itself, since
// the receive thread waits for it. Close never reports a loss.
//
// On devices whose driver offers it (USB serial adapters), Open asks for low latency, so that
// received bytes are handed over at once instead of after the adapter's few milliseconds of
// holding; other devices are left as they are.
//
// The order of the virtual operations below is the interface between the library and the
// program: do not reorder, insert or remove any. Results are integers, nonzero meaning success;
// nothing throws across the boundary.
//
// Threads: Open, Close, StartThreads and SetOwner belong to the owner's thread. Write may be
// called from any thread; the bytes of one call are never interleaved with another's.

#include <cstddef>
#include <cstdint>
#include <string>
#include <wndmsg/message_target.h>

namespace comlane {

inline constexpr int kQueueCapacity = 4096;

// Parity codes (the values stored in `parity`).
inline constexpr std::uint8_t kParityNone = 0;
inline constexpr std::uint8_t kParityOdd = 1;
inline constexpr std::uint8_t kParityEven = 2;
inline constexpr std::uint8_t kParityMark = 3;
inline constexpr std::uint8_t kParitySpace = 4;

// Stop-bit codes (the values stored in `stopBits`).
inline constexpr std::uint8_t kStopOne = 0;
inline constexpr std::uint8_t kStopOneAndHalf = 1;
inline constexpr std::uint8_t kStopTwo = 2;

class SerialPort {
public:
  // Line attributes, set by the owner before Open.
  // portName: a name starting with "/" is a device path used as it is; "COMn" is the n-th
  // built-in port, /dev/ttyS(n-1); any other name is looked up under /dev/. On Windows a name
  // starting with "\\" is used as it is, any other is a device name ("COM12" opens
  // "\\.\COM12", which reaches ports above COM9 too).
  std::string portName;
  std::uint32_t baudRate = 0;   // bit/s, any value above 0 (non-standard rates included)
  std::uint8_t byteSize = 8;    // data bits, 5 to 8
  std::uint8_t parity = 0;      // kParity*
  std::uint8_t stopBits = 0;    // kStop*
  std::uint8_t flowControl = 0; // 0 none, 1 XON/XOFF, 2 hardware; Open resets it to 0 and
                                // never applies it to the line

  // Slot 0. Stops the threads, closes the port and, if bit 0 of `flags` is set, frees the object.
  // Returns the object (dangling if it was freed).
  virtual SerialPort* Destroy(int flags) = 0;
  // Slot 1. Nonzero while the port is open.
  virtual int IsOpen() = 0;
  // Slot 2. Stops the threads and closes the port. Nonzero if an open port was closed; 0 if the
  // port was not open. No thread touches the port's descriptor after Close returns.
  virtual int Close() = 0;
  // Slot 3. Opens `portName` exclusively with the line attributes (closing first if open).
  // 0 on any failure, and the port is then closed: missing or busy device, a device that is not
  // a serial line, a baud rate of 0 or line settings the driver refuses. Bytes written while the
  // port was closed are dropped; bytes written after Open go out once the threads run.
  virtual int Open() = 0;
  // Slot 4. Starts the transmit and receive threads. Nonzero if both were started (or already
  // run); 0 if the port is not open. First discards what the device buffered in either
  // direction; every byte received after it returns reaches the owner.
  virtual int StartThreads() = 0;
  // Slot 5. Queues up to the free space of the 4096-byte transmit queue; returns the number of
  // bytes accepted. The rest is dropped.
  virtual int Write(const std::uint8_t* bytes, std::int32_t count) = 0;
  // Slots 6 and 7: further entries to the same operation.
  virtual int Write(const char* bytes, std::int32_t count) = 0;
  virtual int Write(const std::byte* bytes, std::int32_t count) = 0;
  // Slot 8. The target that receives WM_SERIAL_DATA. Until set, received bytes are dropped.
  virtual void SetOwner(wndmsg::MessageTarget* owner) = 0;
  // Slots 9 and 10. Raise (true) or drop (false) RTS / DTR. Nonzero on success.
  virtual int SetRts(bool on) = 0;
  virtual int SetDtr(bool on) = 0;

protected:
  SerialPort() = default;
  ~SerialPort() = default;
};

using Rs232ClassFn = SerialPort* (*)();

} // namespace comlane

// The factory: a new SerialPort, or null if memory is exhausted. The caller owns it.
extern "C" comlane::SerialPort* Rs232Class();
