// The device side of the engine: opening the stream for a loaded song, the two buffers in
// circulation, and play, pause, resume, stop, volumes, tempo and position.
#include <thread>

#include "midi/vocabulary.h"
#include "player/midi_stream_player.h"

namespace quirelle::player {
namespace {

constexpr std::uint32_t kHeaderSize = sizeof(stream::MIDIHDR);

}  // namespace

int CMidiStreamPlayer::OpenStream() {
  if (stream_.load() != nullptr) {
    AbandonStream();  // a device the last song left open
  }
  // Every song starts at the device's own default tempo and volumes, not at the last song's.
  volumes_.ResetSong();
  currentTempo_ = kDefaultTempo;
  spanLimit_ = SpanLimitFor(kDefaultTempo);
  tempoChanged_.store(1);
  failedOpenStep_ = OpenStep::kNone;

  stream::HMIDISTRM handle = nullptr;
  stream::MMRESULT result =
      driver_.midiStreamOpen(&handle, &deviceId_, 1, &StreamCallback,
                             reinterpret_cast<std::uintptr_t>(this), stream::CALLBACK_FUNCTION);
  if (result != stream::MMSYSERR_NOERROR) {
    lastOpenError_ = driver_.LastErrorText();
    failedOpenStep_ = OpenStep::kDevice;
    CallOnError(result);
    return 0;
  }
  liveStreams_.fetch_add(1);
  stream_.store(handle);
  queued_.store(0);
  prepared_.store(0);
  buffers_.resize(2);

  stream::MIDIPROPTIMEDIV timeDivision{sizeof(stream::MIDIPROPTIMEDIV), file_.division()};
  result = stream::midiStreamProperty(handle, reinterpret_cast<std::uint8_t*>(&timeDivision),
                                      stream::MIDIPROP_SET | stream::MIDIPROP_TIMEDIV);
  if (result != stream::MMSYSERR_NOERROR) {
    failedOpenStep_ = OpenStep::kTimeDivision;
    CallOnError(result);
    AbandonStream();
    return 0;
  }
  returned_.store(0);
  bufferIndex_.store(0);

  for (std::size_t i = 0; i < buffers_.size(); ++i) {
    StreamBuffer& buffer = buffers_[i];
    buffer.header = stream::MIDIHDR{};
    buffer.header.dwBufferLength = kStreamBufferBytes;
    buffer.block = platform::AllocateBlock(kStreamBufferBytes);
    buffer.header.lpData = buffer.block.get();
    if (buffer.block == nullptr) {
      failedOpenStep_ = OpenStep::kAllocate;
      AbandonStream();
      return 0;
    }
    buffer.ResetForFill();
    const int fill = FillBuffer(i == 0, buffer);
    if (fill != 0 && fill != kFillSongEnded) {
      failedOpenStep_ = OpenStep::kFirstBuffers;
      AbandonStream();
      return 0;
    }
    buffer.header.dwBytesRecorded = buffer.bytesUsed;
    result = stream::midiOutPrepareHeader(handle, &buffer.header, kHeaderSize);
    if (result != stream::MMSYSERR_NOERROR) {
      failedOpenStep_ = OpenStep::kPrepare;
      CallOnError(result);
      AbandonStream();
      return 0;
    }
    result = stream::midiStreamOut(handle, &buffer.header, kHeaderSize);
    if (result != stream::MMSYSERR_NOERROR) {
      CallOnError(result);
      break;
    }
    queued_.fetch_add(1);
    if (fill == kFillSongEnded) {
      break;  // the song ended in the first buffer; this one went out empty
    }
  }
  bufferIndex_.store(0);
  prepared_.store(1);
  return 1;
}

void CMidiStreamPlayer::AbandonStream() {
  const stream::HMIDISTRM handle = stream_.load();
  if (handle == nullptr) {
    return;
  }
  abandoned_.store(handle);
  stream::midiStreamStop(handle);
  stream::midiOutReset(handle);
  prepared_.store(1);  // unprepare whatever was prepared; unprepared headers are refused harmlessly
  FreeBuffers();
  stream::midiStreamClose(handle);  // returns once the device's last callback is over
  stream_.store(nullptr);
  queued_.store(0);
  state_.store(Running);
  abandoned_.store(nullptr);
}

void CMidiStreamPlayer::FreeBuffers() {
  const stream::HMIDISTRM handle = stream_.load();
  if (prepared_.load() != 0) {
    for (StreamBuffer& buffer : buffers_) {
      if ((buffer.header.dwFlags & stream::MHDR_PREPARED) == 0) {
        continue;
      }
      const stream::MMRESULT result =
          stream::midiOutUnprepareHeader(handle, &buffer.header, kHeaderSize);
      if (result != stream::MMSYSERR_NOERROR) {
        CallOnError(result);
      }
    }
    prepared_.store(0);
  }
  for (StreamBuffer& buffer : buffers_) {
    buffer.block.reset();
    buffer.header.lpData = nullptr;
  }
}

int CMidiStreamPlayer::Play(bool loop) {
  if (paused_.load() != 0) {
    Resume();
    return 1;
  }
  if (playing_.load() != 0) {
    Stop();
  }
  state_.store(Running);
  // Flags first: a buffer that comes back right after the restart must be refilled.
  loop_.store(loop ? 1 : 0);
  playing_.store(1);
  const stream::MMRESULT result = stream::midiStreamRestart(stream_.load());
  if (result != stream::MMSYSERR_NOERROR) {
    playing_.store(0);
    CallOnError(result);
    return 0;
  }
  return 1;
}

int CMidiStreamPlayer::Pause() {
  if (paused_.load() == 0 && playing_.load() != 0 && file_.HasImage() &&
      stream_.load() != nullptr) {
    stream::midiStreamPause(stream_.load());
    paused_.store(1);
  }
  return 0;
}

int CMidiStreamPlayer::Resume() {
  if (paused_.load() != 0 && playing_.load() != 0 && file_.HasImage() &&
      stream_.load() != nullptr) {
    stream::midiStreamRestart(stream_.load());
    paused_.store(0);
  }
  return 0;
}

int CMidiStreamPlayer::Stop() {
  if (playing_.load() != 0 || state_.load() != Drained) {
    paused_.store(0);
    playing_.store(0);
    std::uint32_t expected = Running;
    state_.compare_exchange_strong(expected, Stopping);
    const bool ending = expected == Ending;
    // A refill that started before the state moved on finishes queueing first, so the device's
    // stop returns that buffer too.
    while (refilling_.load() != 0 && !OnCallbackThread()) {
      std::this_thread::yield();
    }
    bufferReturn_.Reset();  // a signal from an earlier stop must not end this wait
    const stream::HMIDISTRM handle = stream_.load();
    stream::MMRESULT result = stream::midiStreamStop(handle);
    if (result != stream::MMSYSERR_NOERROR) {
      CallOnError(result);
      return 0;
    }
    result = stream::midiOutReset(handle);
    if (result != stream::MMSYSERR_NOERROR) {
      CallOnError(result);
      return 0;
    }
    if (!OnCallbackThread()) {
      if (ending || queued_.load() > 0) {
        if (bufferReturn_.Wait(kStopWaitMillis) == platform::WaitResult::kTimedOut) {
          state_.store(Drained);
        }
      } else {
        // Nothing is out, so nothing will come back to signal.
        expected = Stopping;
        state_.compare_exchange_strong(expected, Drained);
      }
    }
    if (state_.load() != Drained) {
      return 1;  // the callback side has closed the device already
    }
  }
  CloseStream();
  return 1;
}

void CMidiStreamPlayer::CloseStream() {
  FreeBuffers();
  const stream::HMIDISTRM handle = stream_.load();
  if (handle != nullptr) {
    const stream::MMRESULT result = stream::midiStreamClose(handle);
    if (result != stream::MMSYSERR_NOERROR) {
      CallOnError(result);
    }
    stream_.store(nullptr);
  }
  // Last: the close lets a callback still running finish first, and it must not undo this.
  state_.store(Running);
}

void CMidiStreamPlayer::SetChannelVolume(std::uint32_t channel, std::uint32_t percent) {
  if (channel >= VoiceVolumes::kChannels) {
    return;
  }
  volumes_.SetPercent(channel, percent);
  if (playing_.load() == 0) {
    return;  // the builder scales the song's volumes with it from now on
  }
  SendSoundingVolume(channel);
}

void CMidiStreamPlayer::SendSoundingVolume(std::uint32_t channel) {
  const std::uint32_t message =
      midi::ShortMessage(static_cast<std::uint8_t>(midi::kControlChange | channel),
                         midi::kChannelVolume, volumes_.Sounding(channel));
  const stream::MMRESULT result = stream::midiOutShortMsg(stream_.load(), message);
  if (result != stream::MMSYSERR_NOERROR) {
    CallOnError(result);
  }
}

void CMidiStreamPlayer::SetTempoPercent(std::uint32_t percent) {
  tempoPercent_.store(percent == 0 ? 1 : percent);
  tempoChanged_.store(1);
}

void CMidiStreamPlayer::SetLoop(bool loop) {
  loop_.store(loop ? 1 : 0);
}

int CMidiStreamPlayer::GetPosition(stream::MMTIME* time) {
  if (time == nullptr) {
    return 0;
  }
  time->wType = stream::TIME_TICKS;
  const stream::MMRESULT result =
      stream::midiStreamPosition(stream_.load(), time, sizeof(stream::MMTIME));
  if (result != stream::MMSYSERR_NOERROR) {
    CallOnError(result);
    return 0;
  }
  if (time->wType == stream::TIME_TICKS) {
    time->u.ticks += startTick_.load();  // the stream's time began at the starting point
  }
  return 1;
}

StreamBuffer* CMidiStreamPlayer::BufferOf(const stream::MIDIHDR* header) {
  for (StreamBuffer& buffer : buffers_) {
    if (&buffer.header == header) {
      return &buffer;
    }
  }
  return nullptr;
}

void CMidiStreamPlayer::OnDone(stream::MIDIHDR* header) {
  const std::uint32_t state = state_.load();
  if (state == Drained) {
    return;
  }
  returned_.fetch_add(1);
  if (state == Ending || state == Stopping) {
    if (queued_.load() > 0) {
      return;
    }
    if (state == Ending) {
      EndSongAfterLastBuffer();
    } else {
      state_.store(Drained);
      bufferReturn_.Set();
    }
    return;
  }
  StreamBuffer* buffer = BufferOf(header);
  if (buffer == nullptr) {
    return;
  }
  runningTotal_.fetch_add(buffer->header.dwBytesRecorded);
  if (playing_.load() == 0) {
    return;
  }
  if (!RefillAndQueue(*buffer)) {
    // The song is over (or can go no further): end it once the other buffer is back.
    std::uint32_t expected = Running;
    if (state_.compare_exchange_strong(expected, Ending) && queued_.load() == 0) {
      EndSongAfterLastBuffer();
    }
  }
}

bool CMidiStreamPlayer::RefillAndQueue(StreamBuffer& buffer) {
  refilling_.store(1);
  if (state_.load() != Running) {
    refilling_.store(0);
    return true;  // a stop has begun; it collects the buffers
  }
  buffer.ResetForFill();
  const int fill = FillBuffer(false, buffer);
  bool queued = false;
  if (fill == 0) {
    buffer.header.dwBytesRecorded = buffer.bytesUsed;
    const stream::MMRESULT result =
        stream::midiStreamOut(stream_.load(), &buffer.header, kHeaderSize);
    if (result != stream::MMSYSERR_NOERROR) {
      CallOnError(result);
    } else {
      queued_.fetch_add(1);
      bufferIndex_.store(bufferIndex_.load() ^ 1);
      returned_.fetch_sub(1);
      queued = true;
    }
  }
  refilling_.store(0);
  return queued;
}

void CMidiStreamPlayer::EndSongAfterLastBuffer() {
  state_.store(Drained);
  Stop();  // on the callback thread: does not wait, closes the device
  bufferReturn_.Set();
}

}  // namespace quirelle::player
