// The stream operations: argument and state checks with the Windows result codes, then the
// change to the queue or the time line. Callbacks are only posted here, never made.
#include "player/stream/stream_core.h"

#include <cstring>

#include "player/stream/handle_registry.h"
#include "player/stream/stream_core_state.h"
#include "player/stream/wide_math.h"

namespace quirelle::stream {
namespace {

constexpr std::uint32_t kPropertyFlags =
    MIDIPROP_SET | MIDIPROP_GET | MIDIPROP_TIMEDIV | MIDIPROP_TEMPO;
constexpr std::uint32_t kPropertyBytes = 8;  // MIDIPROPTIMEDIV and MIDIPROPTEMPO
constexpr std::uint32_t kMaxTempo = 0xFFFFFF;

MMRESULT CheckHeader(const MIDIHDR* header, std::uint32_t headerSize) {
  return header == nullptr || headerSize != sizeof(MIDIHDR) ? MMSYSERR_INVALPARAM
                                                            : MMSYSERR_NOERROR;
}

MMRESULT NoCheck() {
  return MMSYSERR_NOERROR;
}

MMRESULT CheckPropertyFlags(std::uint32_t flags) {
  if ((flags & ~kPropertyFlags) != 0) {
    return MMSYSERR_INVALFLAG;
  }
  const bool set = (flags & MIDIPROP_SET) != 0;
  const bool get = (flags & MIDIPROP_GET) != 0;
  if (set == get) {
    return MMSYSERR_INVALFLAG;
  }
  const std::uint32_t which = flags & (MIDIPROP_TIMEDIV | MIDIPROP_TEMPO);
  if (which != MIDIPROP_TIMEDIV && which != MIDIPROP_TEMPO) {
    return MMSYSERR_INVALPARAM;
  }
  return MMSYSERR_NOERROR;
}

}  // namespace

StreamCore::StreamCore(std::unique_ptr<StreamDevice> device, MidiStreamCallback callback,
                       std::uintptr_t instance)
    : device_(std::move(device)),
      timeline_(std::make_unique<Timeline>(device_->UnitsPerSecond())),
      queue_(std::make_unique<Queue>()),
      callbacks_(std::make_unique<Callbacks>(callback, instance, *device_)) {}

StreamCore::~StreamCore() {
  if (!IsClosed()) {
    EndWithoutCallbacks();
  }
  JoinCallbackThread();
}

template <class Check, class Change>
MMRESULT StreamCore::Operate(StreamOperation operation, Wake wake, Check&& check, Change&& change) {
  if (const MMRESULT refused = device_->Admit(operation)) {
    return refused;
  }
  if (const MMRESULT bad = check()) {
    return bad;
  }
  MMRESULT result = MMSYSERR_NOERROR;
  {
    std::lock_guard lock(mutex_);
    if (timeline_->closed) {
      return MMSYSERR_INVALHANDLE;
    }
    result = change();
  }
  if (wake == Wake::kYes) {
    device_->ScheduleChanged();
  }
  return result;
}

MMRESULT StreamCore::Property(std::uint8_t* property, std::uint32_t flags) {
  std::uint32_t record[2] = {};
  const auto check = [&] {
    if (const MMRESULT bad = CheckPropertyFlags(flags)) {
      return bad;
    }
    if (property == nullptr) {
      return MMSYSERR_INVALPARAM;
    }
    std::memcpy(record, property, sizeof record);
    return record[0] == kPropertyBytes ? MMSYSERR_NOERROR : MMSYSERR_INVALPARAM;
  };
  return Operate(StreamOperation::kProperty, Wake::kYes, check, [&] {
    TickClock& clock = timeline_->clock();
    const bool division = (flags & MIDIPROP_TIMEDIV) != 0;
    if ((flags & MIDIPROP_GET) != 0) {
      record[1] = division ? clock.division() : clock.tempo();
      std::memcpy(property, record, sizeof record);
      return MMSYSERR_NOERROR;
    }
    const bool valid =
        division ? TickClock::IsValidDivision(record[1]) : record[1] != 0 && record[1] <= kMaxTempo;
    if (!valid) {
      return MMSYSERR_INVALPARAM;
    }
    // The new speed counts from the position reached, not from the last event.
    ReanchorAtNow();
    if (division) {
      timeline_->SetDivision(record[1]);
    } else {
      clock.SetTempo(record[1]);
    }
    return MMSYSERR_NOERROR;
  });
}

MMRESULT StreamCore::Prepare(MIDIHDR* header, std::uint32_t headerSize) {
  return Operate(
      StreamOperation::kPrepare, Wake::kNo, [&] { return CheckHeader(header, headerSize); },
      [&] {
        if (header->lpData == nullptr) {
          return MMSYSERR_INVALPARAM;
        }
        header->dwFlags |= MHDR_PREPARED;
        return MMSYSERR_NOERROR;
      });
}

MMRESULT StreamCore::Unprepare(MIDIHDR* header, std::uint32_t headerSize) {
  return Operate(
      StreamOperation::kUnprepare, Wake::kNo, [&] { return CheckHeader(header, headerSize); },
      [&] {
        if ((header->dwFlags & MHDR_INQUEUE) != 0) {
          return MIDIERR_STILLPLAYING;
        }
        header->dwFlags &= ~MHDR_PREPARED;
        return MMSYSERR_NOERROR;
      });
}

MMRESULT StreamCore::Out(MIDIHDR* header, std::uint32_t headerSize) {
  return Operate(
      StreamOperation::kOut, Wake::kYes, [&] { return CheckHeader(header, headerSize); },
      [&] {
        if ((header->dwFlags & MHDR_PREPARED) == 0) {
          return MIDIERR_UNPREPARED;
        }
        if ((header->dwFlags & MHDR_INQUEUE) != 0) {
          return MIDIERR_STILLPLAYING;
        }
        if (header->lpData == nullptr || header->dwBytesRecorded > header->dwBufferLength) {
          return MMSYSERR_INVALPARAM;
        }
        Enqueue(header);
        return MMSYSERR_NOERROR;
      });
}

MMRESULT StreamCore::Restart() {
  return Operate(StreamOperation::kRestart, Wake::kYes, NoCheck, [&] {
    timeline_->Restart(device_->Now());
    return MMSYSERR_NOERROR;
  });
}

MMRESULT StreamCore::Pause() {
  return Operate(StreamOperation::kPause, Wake::kYes, NoCheck, [&] {
    if (timeline_->state() == TransportState::kPlaying) {
      const std::uint64_t now = device_->Now();
      timeline_->Pause(now);
      SendSilence(now);
    }
    return MMSYSERR_NOERROR;
  });
}

MMRESULT StreamCore::Stop() {
  return StopOrReset(StreamOperation::kStop);
}

MMRESULT StreamCore::Reset() {
  return StopOrReset(StreamOperation::kReset);
}

MMRESULT StreamCore::StopOrReset(StreamOperation operation) {
  return Operate(operation, Wake::kYes, NoCheck, [&] {
    SendSilence(device_->Now());
    ReturnAllBuffers();
    timeline_->Stop();
    timeline_->dryAt.reset();
    return MMSYSERR_NOERROR;
  });
}

MMRESULT StreamCore::Close() {
  const MMRESULT result = Operate(StreamOperation::kClose, Wake::kYes, NoCheck, [&] {
    if (!queue_->entries.empty()) {
      return MIDIERR_STILLPLAYING;
    }
    timeline_->closed = true;
    queue_->held.clear();
    timeline_->Stop();
    callbacks_->PostClose();
    return MMSYSERR_NOERROR;
  });
  if (result != MMSYSERR_NOERROR) {
    return result;
  }
  HandleRegistry::Instance().Unregister(handle_);
  device_->Shutdown();
  // From another thread, close returns once MOM_CLOSE has been delivered; from inside a callback
  // the thread delivers it after that callback and ends, joined later by the keeper.
  if (!callbacks_->OnThisThread()) {
    callbacks_->Join();
  }
  return MMSYSERR_NOERROR;
}

MMRESULT StreamCore::Position(MMTIME* time, std::uint32_t timeSize) {
  const auto check = [&] {
    return time == nullptr || timeSize != sizeof(MMTIME) ? MMSYSERR_INVALPARAM : MMSYSERR_NOERROR;
  };
  return Operate(StreamOperation::kPosition, Wake::kNo, check, [&] {
    const std::uint64_t now = device_->Now();
    if (time->wType == TIME_MS) {
      const std::int64_t streamTime = timeline_->StreamTimeAt(now);
      const std::uint64_t units = streamTime < 0 ? 0 : static_cast<std::uint64_t>(streamTime);
      const std::uint64_t ms =
          Divide(Multiply(units, 1000), timeline_->clock().unitsPerSecond()).quotient;
      time->u.ms = static_cast<std::uint32_t>(ms);
      return MMSYSERR_NOERROR;
    }
    // Formats a stream cannot give are answered in ticks, with the type changed to say so.
    time->wType = TIME_TICKS;
    time->u.ticks = static_cast<std::uint32_t>(timeline_->PositionAt(now));
    return MMSYSERR_NOERROR;
  });
}

MMRESULT StreamCore::HeardPosition(MMTIME* time) {
  const auto check = [&] { return time == nullptr ? MMSYSERR_INVALPARAM : MMSYSERR_NOERROR; };
  return Operate(StreamOperation::kPosition, Wake::kNo, check, [&] {
    const std::uint64_t now = device_->Now();
    const std::uint64_t position = timeline_->PositionAt(now);
    // At the tempo now: a tempo change within the lag (a few blocks) shifts it by a tick or two.
    const std::uint64_t lag = timeline_->clock().TicksUntil(Stamp{}, device_->HeardLag(now));
    time->wType = TIME_TICKS;
    time->u.ticks = static_cast<std::uint32_t>(position > lag ? position - lag : 0);
    return MMSYSERR_NOERROR;
  });
}

MMRESULT StreamCore::ShortMsg(std::uint32_t message) {
  return Operate(StreamOperation::kShortMsg, Wake::kNo, NoCheck, [&] {
    SendNow(SentMessage::Kind::kShortMsg, message & 0xFFFFFFu, device_->Now());
    return MMSYSERR_NOERROR;
  });
}

bool StreamCore::HasQueuedBuffers() const {
  std::lock_guard lock(mutex_);
  return !queue_->entries.empty();
}

bool StreamCore::IsPlaying() const {
  std::lock_guard lock(mutex_);
  return !timeline_->closed && timeline_->state() == TransportState::kPlaying;
}

bool StreamCore::IsClosed() const {
  std::lock_guard lock(mutex_);
  return timeline_->closed;
}

RefillStats StreamCore::Stats() const {
  std::lock_guard lock(mutex_);
  return timeline_->stats;
}

}  // namespace quirelle::stream
