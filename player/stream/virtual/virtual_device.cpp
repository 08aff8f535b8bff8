// The virtual device over the timing core: a manual clock that Advance moves from one due event
// to the next (waiting for the callback thread whenever a callback has been posted), or the steady
// clock with a real-time pump; a log of every message; injected failures and held buffers.
#include "player/stream/virtual/virtual_device.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "player/stream/realtime_pump.h"
#include "player/stream/stream_opener.h"
#include "player/stream/wide_math.h"

namespace quirelle::stream {

namespace {

// What the driver and its devices share.
struct VirtualState {
  explicit VirtualState(VirtualDriver::Mode m) : mode(m) {}

  const VirtualDriver::Mode mode;
  platform::ManualClock manualClock;
  mutable std::mutex mutex;  // the logs and the failures
  std::vector<RecordedMessage> messages;
  std::vector<std::uint32_t> callbackMessages;
  std::map<StreamOperation, MMRESULT> failures;
  std::atomic<bool> hold{false};
  std::atomic<int> opens{0};
  std::mutex advance;  // one Advance at a time

  const platform::Clock& clock() const {
    if (mode == VirtualDriver::Mode::kManual) {
      return manualClock;
    }
    return platform::SteadyClock::Instance();
  }
};

RecordedMessage::Kind KindOf(SentMessage::Kind kind) {
  switch (kind) {
    case SentMessage::Kind::kShortMsg:
      return RecordedMessage::Kind::kShortMsg;
    case SentMessage::Kind::kSilence:
      return RecordedMessage::Kind::kSilence;
    case SentMessage::Kind::kEvent:
      break;
  }
  return RecordedMessage::Kind::kEvent;
}

class VirtualDevice final : public StreamDevice {
 public:
  VirtualDevice(VirtualState& state, int stream) : state_(state), stream_(stream) {}

  std::uint64_t UnitsPerSecond() const override { return 1000000; }
  std::uint64_t Now() const override { return state_.clock().NowMicros(); }

  void Send(const SentMessage& sent) override {
    RecordedMessage recorded;
    recorded.kind = KindOf(sent.kind);
    recorded.message = sent.message;
    recorded.tick = sent.tick;
    recorded.micros = sent.sinceStart.whole;
    const std::uint64_t g =
        GreatestCommonDivisor(sent.sinceStart.fraction, sent.sinceStart.denominator);
    recorded.fraction = sent.sinceStart.fraction == 0 ? 0 : sent.sinceStart.fraction / g;
    recorded.fractionDenominator =
        sent.sinceStart.fraction == 0 ? 1 : sent.sinceStart.denominator / g;
    recorded.stream = stream_;
    std::lock_guard lock(state_.mutex);
    state_.messages.push_back(recorded);
  }

  MMRESULT Admit(StreamOperation operation) override {
    std::lock_guard lock(state_.mutex);
    const auto found = state_.failures.find(operation);
    return found == state_.failures.end() ? MMSYSERR_NOERROR : found->second;
  }

  bool HoldsBuffers() const override { return state_.hold.load(); }

  void ScheduleChanged() override {
    if (state_.mode == VirtualDriver::Mode::kRealTime) {
      pump_.Wake();
    }
  }

  void Start(StreamCore& core) override {
    if (state_.mode == VirtualDriver::Mode::kRealTime) {
      pump_.Start(core);
    }
  }

  void Shutdown() override { pump_.Stop(); }

  void OnDeliver(std::uint32_t message) override {
    std::lock_guard lock(state_.mutex);
    state_.callbackMessages.push_back(message);
  }

 private:
  VirtualState& state_;
  const int stream_;
  RealTimePump pump_;
};

// Lets the callback threads finish what they were given; a stream closed meanwhile is waited for
// until its MOM_CLOSE has been delivered.
void Settle(const StreamKeeper& keeper) {
  for (const auto& core : keeper.Streams()) {
    core->WaitCallbacksIdle();
    if (core->IsClosed()) {
      core->JoinCallbackThread();
    }
  }
}

std::optional<std::uint64_t> EarliestDue(const StreamKeeper& keeper) {
  std::optional<std::uint64_t> earliest;
  for (const auto& core : keeper.OpenStreams()) {
    const std::optional<std::uint64_t> due = core->NextDueTime();
    if (due && (!earliest || *due < *earliest)) {
      earliest = due;
    }
  }
  return earliest;
}

void PlayDueNow(const StreamKeeper& keeper, std::uint64_t now) {
  for (const auto& core : keeper.OpenStreams()) {
    while (core->PlayUntil(now, CallbackPolicy::kStopAtCallback) ==
           PlayOutcome::kStoppedAtCallback) {
      Settle(keeper);
    }
  }
}

bool AnyQueued(const StreamKeeper& keeper) {
  const auto open = keeper.OpenStreams();
  return std::any_of(open.begin(), open.end(), [](const std::shared_ptr<StreamCore>& core) {
    return core->HasQueuedBuffers();
  });
}

}  // namespace

// The opener is the derived part, so its streams end before the members their devices use.
struct VirtualDriver::State : VirtualState {
  using VirtualState::VirtualState;
  StreamOpener opener;
  StreamKeeper& keeper = opener.keeper();
};

VirtualDriver::VirtualDriver(Mode mode) : state_(std::make_shared<State>(mode)) {}

VirtualDriver::~VirtualDriver() = default;

MMRESULT VirtualDriver::midiStreamOpen(HMIDISTRM* stream, std::uint32_t* deviceId,
                                       std::uint32_t cMidi, MidiStreamCallback callback,
                                       std::uintptr_t instance, std::uint32_t flags) {
  return state_->opener.Open({stream, deviceId, cMidi, callback, instance, flags},
                             [this](OpenFailure* failure) -> std::unique_ptr<StreamDevice> {
                               std::lock_guard lock(state_->mutex);
                               const auto found = state_->failures.find(StreamOperation::kOpen);
                               if (found != state_->failures.end()) {
                                 *failure = {found->second,
                                             "the virtual device refused the open (code " +
                                                 std::to_string(found->second) + ")",
                                             {}};
                                 return nullptr;
                               }
                               const int number = state_->opens.fetch_add(1) + 1;
                               return std::make_unique<VirtualDevice>(*state_, number);
                             });
}

std::string VirtualDriver::LastErrorText() const {
  return state_->opener.reason();
}

void VirtualDriver::Advance(std::uint64_t micros) {
  if (state_->mode == Mode::kRealTime) {
    std::this_thread::sleep_for(std::chrono::microseconds(micros));
    return;
  }
  std::lock_guard guard(state_->advance);
  platform::ManualClock& clock = state_->manualClock;
  const std::uint64_t target = clock.NowMicros() + micros;
  for (;;) {
    const std::optional<std::uint64_t> due = EarliestDue(state_->keeper);
    if (!due || *due > target) {
      break;
    }
    if (*due > clock.NowMicros()) {
      clock.Advance(*due - clock.NowMicros());
    }
    PlayDueNow(state_->keeper, clock.NowMicros());
  }
  if (target > clock.NowMicros()) {
    clock.Advance(target - clock.NowMicros());
  }
  Settle(state_->keeper);
}

void VirtualDriver::RunUntilDrained(std::uint64_t limitMicros) {
  const platform::Clock& clock = state_->clock();
  const std::uint64_t end = clock.NowMicros() + limitMicros;
  while (clock.NowMicros() < end) {
    if (!AnyQueued(state_->keeper)) {
      // A buffer just returned may be about to be queued again by its callback.
      Settle(state_->keeper);
      if (!AnyQueued(state_->keeper)) {
        break;
      }
    }
    if (state_->mode == Mode::kRealTime) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    const std::uint64_t now = clock.NowMicros();
    const std::optional<std::uint64_t> due = EarliestDue(state_->keeper);
    if (!due) {
      Advance(end - now);  // paused or not started: only time passes
      break;
    }
    Advance(*due > now ? std::min(*due, end) - now : 0);
  }
  Settle(state_->keeper);
}

void VirtualDriver::WaitIdle() {
  Settle(state_->keeper);
}

VirtualDriver::Mode VirtualDriver::mode() const {
  return state_->mode;
}

const platform::Clock& VirtualDriver::clock() const {
  return state_->clock();
}

std::vector<RecordedMessage> VirtualDriver::Messages() const {
  std::lock_guard lock(state_->mutex);
  return state_->messages;
}

std::vector<RecordedMessage> VirtualDriver::TakeMessages() {
  std::vector<RecordedMessage> taken;
  std::lock_guard lock(state_->mutex);
  taken.swap(state_->messages);
  return taken;
}

void VirtualDriver::ClearMessages() {
  std::lock_guard lock(state_->mutex);
  state_->messages.clear();
}

std::vector<std::uint32_t> VirtualDriver::CallbackMessages() const {
  std::lock_guard lock(state_->mutex);
  return state_->callbackMessages;
}

void VirtualDriver::FailOperation(StreamOperation op, MMRESULT code) {
  std::lock_guard lock(state_->mutex);
  state_->failures[op] = code;
}

void VirtualDriver::ClearFailures() {
  std::lock_guard lock(state_->mutex);
  state_->failures.clear();
}

void VirtualDriver::HoldBuffers(bool hold) {
  state_->hold.store(hold);
}

int VirtualDriver::OpenCount() const {
  return state_->opens.load();
}

RefillStats VirtualDriver::RefillStatistics() const {
  RefillStats total;
  for (const auto& core : state_->keeper.Streams()) {
    const RefillStats stats = core->Stats();
    total.measured += stats.measured;
    total.minMargin = std::min(total.minMargin, stats.minMargin);
    total.starvations += stats.starvations;
  }
  return total;
}

}  // namespace quirelle::stream
