// The timing core that every stream device shares: the buffer queue of one open stream, its tick
// clock (time division, tempo, SMPTE), exact time, position, pause / stop / reset / close, and the
// stream's own callback thread. A device only supplies a clock and a sink for the messages.
//
// How a device plugs in
// ---------------------
// 1. Implement StreamDevice (below):
//    - UnitsPerSecond() / Now(): the device's clock in its own units (µs for a timer device, the
//      sample index for a synthesizer). Now() is monotonic and callable from any thread.
//    - Send(): receives every message the stream makes: buffer events at their exact device time,
//      short messages (midiOutShortMsg) at once, and the silence of pause / stop / reset. Calls are
//      serialised: the core holds its lock while it calls Send, so Send must be quick and must not
//      call back into the core or the stream functions.
//    - Optional: Admit() prepares for an operation or refuses it (fault injection); HoldsBuffers()
//    keeps queued
//      buffers on stop / reset; ScheduleChanged() wakes the device's timer; Start() / Shutdown()
//      run and end the device's own threads; OnDeliver() sees each callback message first.
// 2. In the driver's midiStreamOpen: StreamOpener::Open (stream_opener.h) checks the arguments,
//    makes the device with the driver's maker, then calls StreamKeeper::Open(), which creates the
//    core, registers the handle (so the free functions of midi_stream.h reach it), starts the
//    callback thread, posts MOM_OPEN and calls device.Start(). Keep the StreamKeeper in the driver:
//    it joins the callback threads of closed streams (Reap() at each open) and ends every stream
//    still open when the driver goes.
// 3. Drive time from the device's own thread: call PlayUntil(t) (events due at or before device
//    time t) or PlayBefore(t) (strictly before t, for audio blocks [start, t)). NextDueTime() says
//    when the next event is due; RealTimePump (realtime_pump.h) does all this on the steady clock.
//    A device that must never run dry (manual clock, offline rendering) passes
//    CallbackPolicy::kStopAtCallback and, when the call returns kStoppedAtCallback, waits with
//    WaitCallbacksIdle() before it moves its clock on; refills queued by the callback then play in
//    time, deterministically.
//
// Rules the core keeps: callbacks run only on the stream's callback thread, never with a core lock
// held, so every operation may be called from inside a callback. Buffers play in queue order;
// MOM_DONE follows a buffer's last event (an empty buffer is done when reached); MOM_POSITIONCB
// follows an event flagged MEVT_F_CALLBACK, with the header's dwOffset set to that event just
// before the callback runs. Time is exact: whole device units plus a fraction with a fixed
// denominator per time division, so no tempo change ever makes it drift. The tick clock keeps
// running while a started stream has nothing queued; a buffer queued into such a dry stream
// counts its first delta from the position reached. Stop and reset return every buffer (MOM_DONE
// each) and put the position back to 0; pause, stop and reset silence all 16 channels.
//
// Changes to this header stay source compatible; any that are not are listed here.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "player/stream/midi_stream.h"
#include "player/stream/mmsystem.h"

namespace quirelle::stream {

struct Stamp;  // tick_clock.h

// The operations a device may refuse through StreamDevice::Admit().
enum class StreamOperation {
  kOpen,
  kProperty,
  kPrepare,
  kUnprepare,
  kOut,
  kRestart,
  kPause,
  kStop,
  kReset,
  kClose,
  kPosition,
  kShortMsg,
};

// A point in device time: whole units plus fraction / denominator of one unit
// (0 <= fraction < denominator).
struct ExactTime {
  std::uint64_t whole = 0;
  std::uint64_t fraction = 0;
  std::uint64_t denominator = 1;
};

// One message from the stream to its device.
struct SentMessage {
  enum class Kind {
    kEvent,     // a short message of a queued buffer, at its exact time
    kShortMsg,  // midiOutShortMsg: at once, outside the stream timing
    kSilence,   // part of the silence that pause, stop and reset send on all 16 channels
  };
  Kind kind = Kind::kEvent;
  std::uint32_t message = 0;  // status | data1 << 8 | data2 << 16
  std::uint32_t tick = 0;     // stream position in ticks
  ExactTime time;             // device time (on the device's clock, from its origin)
  ExactTime sinceStart;       // device time since the stream's first restart (0 before it)
};

// What a device gives the core. Every member except Send may be called from any thread.
class StreamDevice {
 public:
  virtual ~StreamDevice() = default;
  // Units of Now() per second (1000000 for µs, the sample rate for a synthesizer); constant.
  virtual std::uint64_t UnitsPerSecond() const = 0;
  // The device clock; never goes back.
  virtual std::uint64_t Now() const = 0;
  // Receives every message; called with the core's lock held (see the file comment).
  virtual void Send(const SentMessage& message) = 0;

  // MMSYSERR_NOERROR lets the operation run (after what the device does to prepare for it); any
  // other code is returned by it, with no effect. Called without a lock, after the handle check.
  virtual MMRESULT Admit(StreamOperation /*operation*/) { return MMSYSERR_NOERROR; }
  // While true, stop and reset keep the queued buffers instead of returning them. Such held
  // buffers are never touched again; close then drops them instead of refusing.
  virtual bool HoldsBuffers() const { return false; }
  // Something that changes what is due next has happened (queue, restart, pause, stop, tempo
  // property, close). Called without the core's lock, from the thread that made the change.
  virtual void ScheduleChanged() {}
  // Called once the stream is open and registered, before any operation on it can run.
  virtual void Start(class StreamCore& /*core*/) {}
  // Called once at close (possibly on the callback thread), without a lock: end and join the
  // device's own threads. The core makes no Send call afterwards, and the device must not call
  // the core's device-side functions afterwards.
  virtual void Shutdown() {}
  // Called on the callback thread just before the callback receives `message`.
  virtual void OnDeliver(std::uint32_t /*message*/) {}
  // How far the sound heard now trails `now` (a Now() just read), in device units: audio rendered
  // ahead and still in the output's buffers.
  virtual std::uint64_t HeardLag(std::uint64_t /*now*/) const { return 0; }
};

enum class CallbackPolicy {
  kKeepGoing,       // play everything due, posting callbacks as they come
  kStopAtCallback,  // return right after posting a callback (MOM_DONE or MOM_POSITIONCB)
};

enum class PlayOutcome {
  kReached,            // everything due up to the given time has played
  kStoppedAtCallback,  // a callback was posted; wait for WaitCallbacksIdle() and call again
};

// How well refills kept ahead of playback, measured in device units of stream time. A margin is
// the time between a buffer's queueing and the moment it was needed (the end of the buffer before
// it); a starvation is a buffer queued after the stream had run dry while playing.
struct RefillStats {
  std::uint64_t measured = 0;
  std::int64_t minMargin = std::numeric_limits<std::int64_t>::max();
  std::uint64_t starvations = 0;
};

// Checks the arguments of a driver's midiStreamOpen as Windows does: null pointers and a device
// count other than 1 give MMSYSERR_INVALPARAM, flags other than CALLBACK_FUNCTION
// MMSYSERR_INVALFLAG, a device id other than MIDI_MAPPER or 0 MMSYSERR_BADDEVICEID.
MMRESULT CheckOpenArguments(const HMIDISTRM* stream, const std::uint32_t* deviceId,
                            std::uint32_t cMidi, MidiStreamCallback callback, std::uint32_t flags);

// One open stream. Made by StreamKeeper::Open; the free functions of midi_stream.h call the
// operations after the handle lookup.
class StreamCore {
 public:
  StreamCore(std::unique_ptr<StreamDevice> device, MidiStreamCallback callback,
             std::uintptr_t instance);
  ~StreamCore();
  StreamCore(const StreamCore&) = delete;
  StreamCore& operator=(const StreamCore&) = delete;

  // The stream operations, with the checks and result codes of Windows.
  MMRESULT Property(std::uint8_t* property, std::uint32_t flags);
  MMRESULT Prepare(MIDIHDR* header, std::uint32_t headerSize);
  MMRESULT Unprepare(MIDIHDR* header, std::uint32_t headerSize);
  MMRESULT Out(MIDIHDR* header, std::uint32_t headerSize);
  MMRESULT Restart();
  MMRESULT Pause();
  MMRESULT Stop();
  MMRESULT Reset();
  MMRESULT Close();
  MMRESULT Position(MMTIME* time, std::uint32_t timeSize);
  // The position, in ticks, of what is heard now: Position less the device's lag.
  MMRESULT HeardPosition(MMTIME* time);
  MMRESULT ShortMsg(std::uint32_t message);

  // Device side: play what is due at or before (PlayUntil) or strictly before (PlayBefore)
  // `deviceTime`. Nothing plays unless the stream is started and not paused.
  PlayOutcome PlayUntil(std::uint64_t deviceTime,
                        CallbackPolicy policy = CallbackPolicy::kKeepGoing);
  PlayOutcome PlayBefore(std::uint64_t deviceTime,
                         CallbackPolicy policy = CallbackPolicy::kKeepGoing);
  // The first device time at which PlayUntil has something to play (the next event, rounded up
  // to a whole unit, or now for a buffer due already); none while stopped, paused, or dry.
  std::optional<std::uint64_t> NextDueTime() const;
  // Waits until the callback thread has delivered every message posted so far. Returns at once
  // on the callback thread itself and once the stream is closed.
  void WaitCallbacksIdle();

  HMIDISTRM handle() const { return handle_; }
  StreamDevice& device() { return *device_; }
  bool HasQueuedBuffers() const;
  bool IsPlaying() const;  // started and not paused
  bool IsClosed() const;
  RefillStats Stats() const;

  // Used by StreamKeeper.
  void Begin(HMIDISTRM handle);
  void EndWithoutCallbacks();  // ends an open stream at driver destruction: no more callbacks
  bool CallbackThreadFinished() const;
  void JoinCallbackThread();

 private:
  struct Timeline;
  struct Queue;
  struct Callbacks;

  // Whether an operation's change can make a device's next due time earlier or later.
  enum class Wake { kNo, kYes };
  // The frame of every operation: the device may refuse it, then `check` (arguments, no lock),
  // then, under the lock and only while the stream is open, `change`; the device's timer is
  // woken afterwards when asked.
  template <class Check, class Change>
  MMRESULT Operate(StreamOperation operation, Wake wake, Check&& check, Change&& change);
  MMRESULT StopOrReset(StreamOperation operation);
  PlayOutcome PlayDue(std::uint64_t deviceTime, bool inclusive, CallbackPolicy policy);
  // These run with mutex_ held.
  void Enqueue(MIDIHDR* header);
  void ReanchorAtNow();
  void ReturnAllBuffers();
  void FinishFrontBuffer();
  void PlayEvent(std::uint32_t word, std::uint64_t tick, const Stamp& due);
  void RecordMargin(std::int64_t margin);
  void SendSilence(std::uint64_t now);
  void SendNow(SentMessage::Kind kind, std::uint32_t message, std::uint64_t now);

  std::unique_ptr<StreamDevice> device_;
  HMIDISTRM handle_ = nullptr;
  mutable std::mutex mutex_;  // guards timeline_ and queue_
  std::unique_ptr<Timeline> timeline_;
  std::unique_ptr<Queue> queue_;
  std::unique_ptr<Callbacks> callbacks_;  // own lock; never held while the callback runs
};

// Owns the streams one driver opened.
class StreamKeeper {
 public:
  StreamKeeper();
  ~StreamKeeper();  // ends streams still open (without further callbacks) and joins every thread
  StreamKeeper(const StreamKeeper&) = delete;
  StreamKeeper& operator=(const StreamKeeper&) = delete;

  // Opens a stream on `device` and stores its handle in *handle. Arguments already checked.
  std::shared_ptr<StreamCore> Open(std::unique_ptr<StreamDevice> device,
                                   MidiStreamCallback callback, std::uintptr_t instance,
                                   HMIDISTRM* handle);
  // Joins and forgets the streams that have closed and whose callback thread has ended.
  void Reap();
  // Ends the streams still open, without further callbacks, and joins every thread.
  void EndAll();
  // The streams not yet closed.
  std::vector<std::shared_ptr<StreamCore>> OpenStreams() const;
  // Every stream not yet reaped, closed ones included.
  std::vector<std::shared_ptr<StreamCore>> Streams() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<StreamCore>> streams_;
};

}  // namespace quirelle::stream
