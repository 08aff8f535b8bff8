// The engine's construction and destruction, its file side, its hooks and the dispatch of the
// device's callback messages.
#include "player/midi_stream_player.h"

#include <chrono>
#include <thread>

#include "smf/event_reader.h"

namespace quirelle::player {
namespace {

// The engine whose callback this thread is running, if any.
thread_local const CMidiStreamPlayer* t_callbackOf = nullptr;

constexpr auto kLastCallbackWait = std::chrono::seconds(10);

}  // namespace

CMidiStreamPlayer::CMidiStreamPlayer(stream::StreamDriver& driver, const platform::Clock& waitClock)
    : transport_(*this, driver, file_, builder_, volumes_, waitClock) {}

CMidiStreamPlayer::~CMidiStreamPlayer() {
  Shutdown();
}

void CMidiStreamPlayer::Shutdown() {
  shuttingDown_.store(true);
  Stop();
  if (transport_.HasStream()) {
    transport_.AbandonStream();
  }
  // The device makes its last callback (the close) on its own thread; this object must outlive it.
  const auto deadline = std::chrono::steady_clock::now() + kLastCallbackWait;
  while (transport_.HasLiveStreams() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

int CMidiStreamPlayer::LoadFromFile(platform::ReadableFile& file) {
  ReleaseSong();
  merger_.Reset();
  return file_.LoadFromFile(file) != 0 ? OpenStream() : 0;
}

int CMidiStreamPlayer::CreateFromImage(platform::ByteBlock image, std::uint32_t imageLength) {
  transport_.ClearOpenError();
  // A second image while one is held is refused, and the device stays as it is.
  if (file_.CreateFromImage(std::move(image), imageLength) == 0) {
    return 0;
  }
  merger_.Reset();
  return OpenStream();
}

int CMidiStreamPlayer::OpenStream() {
  return transport_.OpenStream(&StreamCallback, reinterpret_cast<std::uintptr_t>(this));
}

void CMidiStreamPlayer::ReleaseSong() {
  transport_.ClearOpenError();
  if (transport_.HasStream()) {
    transport_.AbandonStream();  // the buffers about to be freed must not be held by a device
  }
  if (file_.HasImage()) {
    FreeBuffers();
  }
}

int CMidiStreamPlayer::RewindTracks() {
  builder_.ResetClock();
  return merger_.RewindTracks() ? 1 : 0;
}

int CMidiStreamPlayer::GetTimeDivision(std::uint16_t& division) const {
  return file_.GetTimeDivision(division);
}

std::optional<std::int32_t> CMidiStreamPlayer::GetBarNumber(std::uint32_t position) const {
  return file_.GetBarNumber(position);
}

int CMidiStreamPlayer::ReadEvent(smf::TrackCursor& cursor, smf::TrackEvent& event) {
  const int result = smf::ReadEvent(cursor, event);
  if (result == 0 && cursor.error != nullptr) {
    OnParseError(cursor, cursor.error);
  }
  return result;
}

int CMidiStreamPlayer::ReadVarLen(smf::TrackCursor& cursor, std::uint32_t& value) {
  return smf::ReadVarLen(cursor, value);
}

void CMidiStreamPlayer::SetStartTick(std::uint32_t tick) {
  Passage passage = builder_.passage();
  passage.fromTick = tick;
  builder_.SetPassage(passage);
}

// Hooks of the base engine.

void CMidiStreamPlayer::OnError(stream::MMRESULT) {}

void CMidiStreamPlayer::OnParseError(const smf::TrackCursor&, const char*) {}

void CMidiStreamPlayer::OnOpen() {}

void CMidiStreamPlayer::OnClose() {}

void CMidiStreamPlayer::OnDone(stream::MIDIHDR* header) {
  transport_.OnDone(header);
}

void CMidiStreamPlayer::OnPositionCB(stream::MIDIHDR* header, stream::MIDIEVENT* event) {
  transport_.OnPositionCB(header, event);
}

void CMidiStreamPlayer::ReportError(stream::MMRESULT result) {
  if (shuttingDown_.load()) {
    CMidiStreamPlayer::OnError(result);
  } else {
    OnError(result);
  }
}

bool CMidiStreamPlayer::OnCallbackThread() const {
  return t_callbackOf == this;
}

void CMidiStreamPlayer::StreamCallback(stream::HMIDISTRM stream, std::uint32_t message,
                                       std::uintptr_t instance, std::uintptr_t param1,
                                       std::uintptr_t) {
  if (instance != 0) {
    reinterpret_cast<CMidiStreamPlayer*>(instance)->Dispatch(stream, message, param1);
  }
}

void CMidiStreamPlayer::Dispatch(stream::HMIDISTRM stream, std::uint32_t message,
                                 std::uintptr_t param1) {
  const CMidiStreamPlayer* outer = t_callbackOf;
  t_callbackOf = this;
  auto* header = reinterpret_cast<stream::MIDIHDR*>(param1);
  // While shutting down the hooks are the base ones: a subclass may already be going.
  const bool base = shuttingDown_.load();
  // A half-opened device that is being closed reports nothing to the hooks.
  const bool abandoned = transport_.IsAbandoned(stream);
  switch (message) {
    case stream::MOM_OPEN:
      if (!abandoned) {
        base ? CMidiStreamPlayer::OnOpen() : OnOpen();
      }
      break;
    case stream::MOM_CLOSE:
      if (!abandoned) {
        base ? CMidiStreamPlayer::OnClose() : OnClose();
      }
      t_callbackOf = outer;
      transport_.OnStreamClosed();  // the last touch of this object for that stream
      return;
    case stream::MOM_DONE:
      if (!abandoned && header != nullptr) {
        transport_.OnBufferReturned();
        base ? CMidiStreamPlayer::OnDone(header) : OnDone(header);
      }
      break;
    case stream::MOM_POSITIONCB:
      if (!abandoned && header != nullptr && header->lpData != nullptr &&
          std::uint64_t{header->dwOffset} + sizeof(stream::MIDIEVENT) <= header->dwBufferLength) {
        auto* event = reinterpret_cast<stream::MIDIEVENT*>(header->lpData + header->dwOffset);
        base ? CMidiStreamPlayer::OnPositionCB(header, event) : OnPositionCB(header, event);
      }
      break;
    default:
      break;
  }
  t_callbackOf = outer;
}

}  // namespace quirelle::player
