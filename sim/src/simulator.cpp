#include "sim/simulator.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <utility>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <link/protocol.h>

namespace sim {

namespace {

constexpr std::size_t kReadChunk = 4096;
// Anything longer than this has waited far too long for a reader; it is dropped as lost.
constexpr std::size_t kOutputLimit = 1 << 20;
constexpr auto kLongestSleep = std::chrono::milliseconds(500);
// Received bytes that may wait for the paced line before the simulator stops taking more, as a
// UART driver's receive buffer.
constexpr std::size_t kInputLimit = 4096;

std::string Hex(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 3);
  char digits[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", b);
    text += digits;
  }
  if (!text.empty()) {
    text.pop_back();
  }
  return text;
}

} // namespace

Simulator::Simulator(SimulatorOptions options)
    : options_(std::move(options)), controller_(options_.second), pacer_(options_.baud),
      inputPacer_(options_.baud), random_(options_.seed) {}

Simulator::~Simulator() {
  Stop();
}

bool Simulator::Start(std::string* error) {
  std::lock_guard lock(mutex_);
  if (loop_.joinable()) {
    return true;
  }
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) {
    if (error != nullptr) {
      *error = std::string("eventfd: ") + std::strerror(errno);
    }
    return false;
  }
  started_ = now_ = Clock::now();
  if (!PlugIn(error)) {
    ::close(wakeFd_);
    wakeFd_ = -1;
    return false;
  }
  controller_.OnActivate(now_, *this);
  loop_ = std::jthread([this](std::stop_token stop) { Run(stop); });
  return true;
}

void Simulator::Stop() {
  if (loop_.joinable()) {
    loop_.request_stop();
    Wake();
    loop_.join();
  }
  std::lock_guard lock(mutex_);
  RemoveLink();
  pty_.reset();
  if (wakeFd_ >= 0) {
    ::close(wakeFd_);
    wakeFd_ = -1;
  }
}

std::string Simulator::SlavePath() const {
  std::lock_guard lock(mutex_);
  return pty_ ? pty_->SlavePath() : std::string();
}

void Simulator::PullPlug(std::chrono::milliseconds downtime) {
  {
    std::lock_guard lock(mutex_);
    pullRequest_ = downtime;
  }
  Wake();
}

void Simulator::PressOnOffKey() {
  {
    std::lock_guard lock(mutex_);
    now_ = Clock::now();
    controller_.PressOnOffKey(*this);
  }
  Wake();
}

void Simulator::SetSilent(bool silent) {
  std::lock_guard lock(mutex_);
  silent_ = silent;
  Trace("--", {}, silent ? "silent" : "answering again");
}

void Simulator::SetDeaf(bool deaf) {
  {
    std::lock_guard lock(mutex_);
    deaf_ = deaf;
    Trace("--", {}, deaf ? "deaf" : "hearing again");
  }
  Wake();
}

void Simulator::SendRaw(std::vector<std::uint8_t> bytes) {
  {
    std::lock_guard lock(mutex_);
    now_ = Clock::now();
    const TimePoint release = pending_.empty() ? now_ : std::max(now_, pending_.back().release);
    pending_.push_back({release, std::move(bytes), "raw"});
  }
  Wake();
}

ControllerState Simulator::State() const {
  std::lock_guard lock(mutex_);
  return controller_.State();
}

void Simulator::UpdateState(const std::function<void(ControllerState&)>& change) {
  {
    std::lock_guard lock(mutex_);
    change(controller_.MutableState());
  }
  Wake();
}

SimulatorStats Simulator::Stats() const {
  std::lock_guard lock(mutex_);
  return stats_;
}

PersonalityKind Simulator::ActiveKind() const {
  std::lock_guard lock(mutex_);
  return active_ == &controller_ ? PersonalityKind::Application : PersonalityKind::Bootloader;
}

void Simulator::SetBootloaderFactory(BootloaderFactory factory) {
  std::lock_guard lock(mutex_);
  bootloaderFactory_ = std::move(factory);
}

void Simulator::Wake() const {
  if (wakeFd_ >= 0) {
    const std::uint64_t one = 1;
    static_cast<void>(::write(wakeFd_, &one, sizeof one));
  }
}

bool Simulator::Chance(double probability) {
  return probability > 0 && std::uniform_real_distribution<double>(0, 1)(random_) < probability;
}

void Simulator::SendFrame(std::vector<std::uint8_t> frame) {
  if (silent_) {
    ++stats_.framesSilenced;
    Trace("xx", frame, "silent");
    return;
  }
  if (Chance(options_.drop)) {
    ++stats_.framesDropped;
    Trace("xx", frame, "dropped");
    return;
  }
  const auto noiseByte = [this] {
    std::uint8_t b;
    do {
      b = static_cast<std::uint8_t>(random_());
    } while (b == lamp::kFrameStart);
    return b;
  };
  TimePoint release = now_ + options_.delay;
  if (!pending_.empty()) {
    release = std::max(release, pending_.back().release);
  }
  if (Chance(options_.noise)) {
    std::vector<std::uint8_t> noise(1 + random_() % 8);
    for (auto& b : noise) {
      b = noiseByte();
    }
    pending_.push_back({release, std::move(noise), "noise"});
  }
  if (Chance(options_.overlong)) {
    std::vector<std::uint8_t> overlong = {lamp::kFrameStart, 24};
    while (overlong.size() < 24) {
      overlong.push_back(noiseByte());
    }
    pending_.push_back({release, std::move(overlong), "over-long"});
  }
  pending_.push_back({release, std::move(frame), ""});
  ++stats_.framesSent;
}

void Simulator::SendFrameDue(std::vector<std::uint8_t> frame, TimePoint due) {
  const TimePoint woke = std::exchange(now_, std::min(now_, due));
  SendFrame(std::move(frame));
  now_ = woke;
}

void Simulator::TraceReceived(std::span<const std::uint8_t> bytes, std::string_view what) {
  Trace("<-", bytes, what == "frame" ? std::string_view() : what);
}

void Simulator::SwitchTo(PersonalityKind kind) {
  switchRequest_ = kind;
}

void Simulator::Trace(const std::string& arrow, std::span<const std::uint8_t> bytes,
                      std::string_view what) const {
  if (!options_.trace) {
    return;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%10.3f ", seconds);
  std::string line = stamp + arrow + " ";
  if (bytes.empty()) {
    line += what;
  } else {
    line += Hex(bytes);
    if (!what.empty()) {
      line += "  (" + std::string(what) + ")";
    }
  }
  options_.trace(line);
}

void Simulator::Run(const std::stop_token& stop) {
  while (!stop.stop_requested()) {
    int master = -1;
    short masterEvents = POLLIN;
    std::chrono::nanoseconds sleep;
    {
      std::lock_guard lock(mutex_);
      master = pty_ ? pty_->Master() : -1;
      // With the input buffer full, or the controller deaf, the program's bytes stay in the pty
      // until it reads again; a hang-up is still reported.
      if (deaf_ || input_.size() >= kInputLimit) {
        masterEvents = 0;
      }
      const TimePoint now = Clock::now();
      const TimePoint next = NextEvent();
      sleep = next <= now ? std::chrono::nanoseconds(0)
                          : std::min<std::chrono::nanoseconds>(next - now, kLongestSleep);
    }
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {master, masterEvents, 0}};
    const timespec timeout{static_cast<time_t>(sleep.count() / 1'000'000'000),
                           static_cast<long>(sleep.count() % 1'000'000'000)};
    const int ready = ::ppoll(fds, master >= 0 ? 2 : 1, &timeout, nullptr);
    if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
      std::uint64_t count;
      static_cast<void>(::read(wakeFd_, &count, sizeof count));
    }
    std::lock_guard lock(mutex_);
    now_ = Clock::now();
    if (pullRequest_) {
      Unplug(*pullRequest_);
      pullRequest_.reset();
    } else if (pty_ && now_ >= nextUnplug_) {
      Unplug(options_.unplugFor);
    } else if (!pty_ && now_ >= replugAt_) {
      std::string error;
      if (!PlugIn(&error)) {
        Trace("--", {}, "re-plug failed: " + error);
        replugAt_ = now_ + std::chrono::seconds(1);
      }
    } else if (ready > 0 && master >= 0 && pty_ && pty_->Master() == master) {
      if ((fds[1].revents & POLLIN) != 0 && !deaf_) {
        ReadMaster();
      } else if ((fds[1].revents & (POLLHUP | POLLERR)) != 0) {
        // The slave was hung up under us; plug in a fresh pty rather than spin on this one.
        Unplug(std::chrono::milliseconds(100));
      }
    }
    DeliverInput();
    active_->OnTime(now_, *this);
    ReleaseDue();
    Pump();
  }
}

TimePoint Simulator::NextEvent() const {
  TimePoint next = active_->NextWakeup();
  if (!pending_.empty()) {
    next = std::min(next, pending_.front().release);
  }
  next = std::min(next, pacer_.NextDue());
  next = std::min(next, inputPacer_.NextDue());
  next = std::min(next, pty_ ? nextUnplug_ : replugAt_);
  if (pullRequest_) {
    next = TimePoint::min();
  }
  return next;
}

void Simulator::ReadMaster() {
  std::uint8_t buffer[kReadChunk];
  const bool paced = options_.baud != 0;
  // A bounded number of reads per pass keeps the loop's other duties going under a flood.
  for (int reads = 0; reads < 16; ++reads) {
    const std::size_t room =
        paced ? kInputLimit - std::min(kInputLimit, input_.size()) : kReadChunk;
    if (room == 0) {
      return;
    }
    const ssize_t n = ::read(pty_->Master(), buffer, std::min(room, sizeof buffer));
    if (n <= 0) {
      return;
    }
    stats_.bytesReceived += static_cast<std::uint64_t>(n);
    if (paced) {
      input_.insert(input_.end(), buffer, buffer + n);
      inputPacer_.Queue(static_cast<std::size_t>(n), now_);
    } else {
      Feed({buffer, static_cast<std::size_t>(n)});
    }
  }
}

void Simulator::DeliverInput() {
  const std::size_t due = std::min(inputPacer_.TakeDue(now_), input_.size());
  if (due == 0) {
    return;
  }
  const std::vector<std::uint8_t> arrived(input_.begin(), input_.begin() + static_cast<long>(due));
  input_.erase(input_.begin(), input_.begin() + static_cast<long>(due));
  // The personality sees the bytes when they came off the line, not when this loop woke.
  const TimePoint woke = std::exchange(now_, std::min(now_, inputPacer_.LastThrough()));
  Feed(arrived);
  now_ = woke;
}

void Simulator::Feed(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const std::size_t used = std::min(active_->OnBytes(bytes, now_, *this), bytes.size());
    const bool switched = switchRequest_.has_value();
    ApplySwitch();
    if (!switched) {
      return;
    }
    bytes = bytes.subspan(used);
  }
}

void Simulator::ApplySwitch() {
  if (!switchRequest_) {
    return;
  }
  const PersonalityKind kind = *switchRequest_;
  switchRequest_.reset();
  if (kind == PersonalityKind::Application) {
    if (active_ != &controller_) {
      Trace("--", {}, "back to the application");
      active_ = &controller_;
      controller_.OnLineReset();
      controller_.OnActivate(now_, *this);
      // The bootloader object lives on until the next entry; it may still be on the call stack.
    }
    return;
  }
  if (!bootloaderFactory_) {
    Trace("--", {}, "bootloader entry frame, but no bootloader here: the application stays");
    return;
  }
  bootloader_ = bootloaderFactory_();
  if (!bootloader_) {
    return;
  }
  Trace("--", {}, "bootloader takes the line");
  active_ = bootloader_.get();
  active_->OnActivate(now_, *this);
}

void Simulator::ReleaseDue() {
  while (!pending_.empty() && pending_.front().release <= now_) {
    Pending& next = pending_.front();
    Trace("->", next.bytes, next.what);
    if (output_.size() + next.bytes.size() > kOutputLimit) {
      stats_.bytesLost += next.bytes.size();
    } else {
      output_.insert(output_.end(), next.bytes.begin(), next.bytes.end());
      // The line starts on the frame when it was due, however late the loop got round to it.
      pacer_.Queue(next.bytes.size(), next.release);
    }
    pending_.pop_front();
  }
}

void Simulator::Pump() {
  const std::size_t due = std::min(pacer_.TakeDue(now_), output_.size());
  if (due == 0) {
    return;
  }
  std::vector<std::uint8_t> chunk(output_.begin(), output_.begin() + static_cast<long>(due));
  output_.erase(output_.begin(), output_.begin() + static_cast<long>(due));
  std::size_t written = 0;
  while (pty_ && written < chunk.size()) {
    const ssize_t n = ::write(pty_->Master(), chunk.data() + written, chunk.size() - written);
    if (n <= 0) {
      break;
    }
    written += static_cast<std::size_t>(n);
  }
  // A full pty (nobody has the port open to read) or a pulled plug loses the bytes, as a line
  // with nobody listening would.
  stats_.bytesLost += chunk.size() - written;
}

bool Simulator::PlugIn(std::string* error) {
  std::optional<PtyPair> pty = PtyPair::Open(error);
  if (!pty) {
    return false;
  }
  if (!PlaceLink(pty->SlavePath(), error)) {
    return false;
  }
  pty_ = std::move(pty);
  ++stats_.plugIns;
  replugAt_ = TimePoint::max();
  nextUnplug_ = options_.unplugEvery.count() > 0 ? now_ + options_.unplugEvery : TimePoint::max();
  Trace("--", {}, "plugged in at " + pty_->SlavePath());
  return true;
}

void Simulator::Unplug(std::chrono::milliseconds downtime) {
  if (pty_) {
    Trace("--", {}, "plug pulled");
    RemoveLink();
    pty_.reset();
    active_->OnLineReset();
  }
  stats_.bytesLost += output_.size();
  output_.clear();
  pacer_.Clear();
  // What was still on its way in is lost with the cable.
  input_.clear();
  inputPacer_.Clear();
  nextUnplug_ = TimePoint::max();
  replugAt_ = now_ + downtime;
}

bool Simulator::PlaceLink(const std::string& target, std::string* error) {
  if (options_.link.empty()) {
    return true;
  }
  // A fresh link beside the old one, renamed over it, so that the path never dangles halfway.
  const std::string fresh = options_.link.string() + ".new";
  ::unlink(fresh.c_str());
  if (::symlink(target.c_str(), fresh.c_str()) != 0 ||
      ::rename(fresh.c_str(), options_.link.c_str()) != 0) {
    if (error != nullptr) {
      *error = "cannot place the link " + options_.link.string() + ": " + std::strerror(errno);
    }
    ::unlink(fresh.c_str());
    return false;
  }
  return true;
}

void Simulator::RemoveLink() {
  if (options_.link.empty() || !pty_) {
    return;
  }
  // Only our own link goes; a link someone else has put there since stays.
  char target[256];
  const ssize_t n = ::readlink(options_.link.c_str(), target, sizeof target - 1);
  if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == pty_->SlavePath()) {
    ::unlink(options_.link.c_str());
  }
}

} // namespace sim
