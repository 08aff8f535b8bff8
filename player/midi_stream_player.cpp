// The engine's construction and destruction, its file side, its hooks and the dispatch of the
// device's callback messages.
#include "player/midi_stream_player.h"

#include <chrono>
#include <thread>

#include "midi/vocabulary.h"
#include "player/window_messages.h"
#include "smf/event_reader.h"

namespace quirelle::player {
namespace {

// The engine whose callback this thread is running, if any.
thread_local const CMidiStreamPlayer* t_callbackOf = nullptr;

constexpr auto kLastCallbackWait = std::chrono::seconds(10);

}  // namespace

CMidiStreamPlayer::CMidiStreamPlayer(stream::StreamDriver& driver, const platform::Clock& waitClock)
    : driver_(driver), bufferReturn_(waitClock) {}

CMidiStreamPlayer::~CMidiStreamPlayer() {
  Shutdown();
}

void CMidiStreamPlayer::Shutdown() {
  shuttingDown_.store(true);
  Stop();
  if (stream_.load() != nullptr) {
    AbandonStream();
  }
  // The device makes its last callback (the close) on its own thread; this object must outlive it.
  const auto deadline = std::chrono::steady_clock::now() + kLastCallbackWait;
  while (liveStreams_.load() > 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

int CMidiStreamPlayer::LoadFromFile(platform::ReadableFile& file) {
  ReleaseSong();
  return file_.LoadFromFile(file) != 0 ? OpenStream() : 0;
}

int CMidiStreamPlayer::CreateFromImage(platform::ByteBlock image, std::uint32_t imageLength) {
  lastOpenError_.clear();
  // A second image while one is held is refused, and the device stays as it is.
  return file_.CreateFromImage(std::move(image), imageLength) != 0 ? OpenStream() : 0;
}

void CMidiStreamPlayer::ReleaseSong() {
  lastOpenError_.clear();
  if (stream_.load() != nullptr) {
    AbandonStream();  // the buffers about to be freed must not be held by a device
  }
  if (file_.HasImage()) {
    FreeBuffers();
  }
}

int CMidiStreamPlayer::RewindTracks() {
  ResetClock();
  return file_.RewindTracks();
}

int CMidiStreamPlayer::GetTimeDivision(std::uint16_t& division) const {
  return file_.GetTimeDivision(division);
}

std::optional<std::int32_t> CMidiStreamPlayer::GetBarNumber(std::uint32_t position) const {
  return file_.GetBarNumber(position);
}

int CMidiStreamPlayer::ReadEvent(smf::TrackCursor& cursor, smf::TrackEvent& event) {
  return smf::ReadEvent(cursor, event, *this);
}

int CMidiStreamPlayer::ReadVarLen(smf::TrackCursor& cursor, std::uint32_t& value) {
  return smf::ReadVarLen(cursor, value);
}

void CMidiStreamPlayer::SetPassage(const Passage& passage) {
  startTick_.store(passage.fromTick);
  endTick_.store(passage.endTick);
  plays_.store(passage.plays);
  countIn_.store(passage.countIn);
}

Passage CMidiStreamPlayer::passage() const {
  return Passage{startTick_.load(), endTick_.load(), plays_.load(), countIn_.load()};
}

void CMidiStreamPlayer::OnDataBlockAllocated() {
  ownedData_ = 1;
}

void CMidiStreamPlayer::ResetClock() {
  clock_ = 0;
}

// Hooks of the base engine.

void CMidiStreamPlayer::OnError(stream::MMRESULT) {}

void CMidiStreamPlayer::OnParseError(const smf::TrackCursor&, const char*) {}

void CMidiStreamPlayer::OnOpen() {}

void CMidiStreamPlayer::OnClose() {}

void CMidiStreamPlayer::OnPositionCB(stream::MIDIHDR* header, stream::MIDIEVENT* event) {
  const std::uint32_t word = event->dwEvent;
  const StreamBuffer* buffer = BufferOf(header);
  if (buffer == nullptr || !midi::IsChannelVolume(word) || header->dwOffset < buffer->startOffset) {
    return;
  }
  const std::size_t index = (header->dwOffset - buffer->startOffset) / sizeof(stream::MIDIEVENT);
  if (index >= buffer->songVolumes.size()) {
    return;
  }
  // The song's own value is what the voice's percentage scales from now on; if the percentage
  // changed since the buffer was written, the channel gets the right volume at once.
  const std::uint32_t channel = midi::ChannelOf(midi::StatusOf(word));
  volumes_.SetSongVolume(channel, buffer->songVolumes[index]);
  if (volumes_.Sounding(channel) != midi::Data2Of(word) && playing_.load() != 0) {
    SendSoundingVolume(channel);
  }
}

void CMidiStreamPlayer::CallOnError(stream::MMRESULT result) {
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
  const bool abandoned = stream != nullptr && stream == abandoned_.load();
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
      liveStreams_.fetch_sub(1);  // the last touch of this object for that stream
      return;
    case stream::MOM_DONE:
      if (!abandoned && header != nullptr) {
        queued_.fetch_sub(1);
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
