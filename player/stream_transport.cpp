#include "player/stream_transport.h"

#include <thread>

#include "midi/vocabulary.h"

namespace quirelle::player {
namespace {

constexpr std::uint32_t kHeaderSize = sizeof(stream::MIDIHDR);

}  // namespace

int StreamTransport::OpenStream(stream::MidiStreamCallback callback, std::uintptr_t instance) {
  if (stream_.load() != nullptr) {
    AbandonStream();  // a device the last song left open
  }
  // Every song starts at the device's own default tempo and volumes, not at the last song's.
  volumes_.ResetSong();
  SetVoiceChannels();
  builder_.StartSong();
  failedOpenStep_ = OpenStep::kNone;

  stream::HMIDISTRM handle = nullptr;
  stream::MMRESULT result =
      driver_.midiStreamOpen(&handle, &deviceId_, 1, callback, instance, stream::CALLBACK_FUNCTION);
  if (result != stream::MMSYSERR_NOERROR) {
    lastOpenError_ = driver_.LastErrorText();
    failedOpenStep_ = OpenStep::kDevice;
    owner_.ReportError(result);
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
    owner_.ReportError(result);
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
    const int fill = builder_.FillBuffer(i == 0, buffer);
    if (fill != 0 && fill != kFillSongEnded) {
      failedOpenStep_ = OpenStep::kFirstBuffers;
      AbandonStream();
      return 0;
    }
    buffer.header.dwBytesRecorded = buffer.bytesUsed;
    result = stream::midiOutPrepareHeader(handle, &buffer.header, kHeaderSize);
    if (result != stream::MMSYSERR_NOERROR) {
      failedOpenStep_ = OpenStep::kPrepare;
      owner_.ReportError(result);
      AbandonStream();
      return 0;
    }
    result = stream::midiStreamOut(handle, &buffer.header, kHeaderSize);
    if (result != stream::MMSYSERR_NOERROR) {
      owner_.ReportError(result);
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

void StreamTransport::AbandonStream() {
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

void StreamTransport::FreeBuffers() {
  const stream::HMIDISTRM handle = stream_.load();
  if (prepared_.load() != 0) {
    for (StreamBuffer& buffer : buffers_) {
      if ((buffer.header.dwFlags & stream::MHDR_PREPARED) == 0) {
        continue;
      }
      const stream::MMRESULT result =
          stream::midiOutUnprepareHeader(handle, &buffer.header, kHeaderSize);
      if (result != stream::MMSYSERR_NOERROR) {
        owner_.ReportError(result);
      }
    }
    prepared_.store(0);
  }
  for (StreamBuffer& buffer : buffers_) {
    buffer.block.reset();
    buffer.header.lpData = nullptr;
  }
}

int StreamTransport::Play(bool loop) {
  if (paused_.load() != 0) {
    Resume();
    return 1;
  }
  if (playing_.load() != 0) {
    Stop();
  }
  state_.store(Running);
  // Flags first: a buffer that comes back right after the restart must be refilled.
  builder_.SetLoop(loop);
  playing_.store(1);
  const stream::MMRESULT result = stream::midiStreamRestart(stream_.load());
  if (result != stream::MMSYSERR_NOERROR) {
    playing_.store(0);
    owner_.ReportError(result);
    return 0;
  }
  return 1;
}

int StreamTransport::Pause() {
  if (paused_.load() == 0 && playing_.load() != 0 && file_.HasImage() &&
      stream_.load() != nullptr) {
    stream::midiStreamPause(stream_.load());
    paused_.store(1);
  }
  return 0;
}

int StreamTransport::Resume() {
  if (paused_.load() != 0 && playing_.load() != 0 && file_.HasImage() &&
      stream_.load() != nullptr) {
    stream::midiStreamRestart(stream_.load());
    paused_.store(0);
  }
  return 0;
}

int StreamTransport::Stop() {
  if (playing_.load() != 0 || state_.load() != Drained) {
    paused_.store(0);
    playing_.store(0);
    std::uint32_t expected = Running;
    state_.compare_exchange_strong(expected, Stopping);
    const bool ending = expected == Ending;
    // A refill that started before the state moved on finishes queueing first, so the device's
    // stop returns that buffer too.
    while (refilling_.load() != 0 && !owner_.OnCallbackThread()) {
      std::this_thread::yield();
    }
    bufferReturn_.Reset();  // a signal from an earlier stop must not end this wait
    const stream::HMIDISTRM handle = stream_.load();
    stream::MMRESULT result = stream::midiStreamStop(handle);
    if (result != stream::MMSYSERR_NOERROR) {
      owner_.ReportError(result);
      return 0;
    }
    result = stream::midiOutReset(handle);
    if (result != stream::MMSYSERR_NOERROR) {
      owner_.ReportError(result);
      return 0;
    }
    if (!owner_.OnCallbackThread()) {
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

void StreamTransport::CloseStream() {
  FreeBuffers();
  const stream::HMIDISTRM handle = stream_.load();
  if (handle != nullptr) {
    const stream::MMRESULT result = stream::midiStreamClose(handle);
    if (result != stream::MMSYSERR_NOERROR) {
      owner_.ReportError(result);
    }
    stream_.store(nullptr);
  }
  // Last: the close lets a callback still running finish first, and it must not undo this.
  state_.store(Running);
}

void StreamTransport::SetChannelVolume(std::uint32_t channel, std::uint32_t percent) {
  if (channel >= VoiceVolumes::kChannels) {
    return;
  }
  volumes_.SetPercent(channel, percent);
  if (playing_.load() == 0) {
    return;  // the builder scales the song's volumes with it from now on
  }
  SendSoundingVolume(channel);
}

void StreamTransport::SetVoiceMuted(std::uint32_t channel, bool muted) {
  volumes_.SetMuted(channel, muted);
  SendVoiceVolumes();
}

void StreamTransport::SetVoiceSoloed(std::uint32_t channel, bool soloed) {
  volumes_.SetSoloed(channel, soloed);
  SendVoiceVolumes();  // a solo silences the other voices too
}

void StreamTransport::SetVoiceChannels() {
  std::uint32_t voices = 0;
  std::uint32_t sung = 0;
  const std::vector<std::uint8_t>& channels = file_.voiceMap().voiceChannels();
  const std::vector<smf::VoiceRole>& roles = file_.roles();
  for (std::size_t row = 0; row < channels.size(); ++row) {
    voices |= 1U << channels[row];
    if (row >= roles.size() || roles[row] == smf::VoiceRole::kSung) {
      sung |= 1U << channels[row];
    }
  }
  volumes_.SetVoiceChannels(voices, sung);
}

void StreamTransport::SendVoiceVolumes() {
  const std::uint32_t voices = volumes_.voiceChannels();
  for (std::uint32_t channel = 0; channel < VoiceVolumes::kChannels && playing_.load() != 0;
       ++channel) {
    if ((voices >> channel & 1U) != 0) {
      SendSoundingVolume(channel);
    }
  }
}

void StreamTransport::SendSoundingVolume(std::uint32_t channel) {
  const std::uint32_t message =
      midi::ShortMessage(static_cast<std::uint8_t>(midi::kControlChange | channel),
                         midi::kChannelVolume, volumes_.Sounding(channel));
  const stream::MMRESULT result = stream::midiOutShortMsg(stream_.load(), message);
  if (result != stream::MMSYSERR_NOERROR) {
    owner_.ReportError(result);
  }
}

int StreamTransport::GetPosition(stream::MMTIME* time) {
  if (time == nullptr) {
    return 0;
  }
  time->wType = stream::TIME_TICKS;
  return SongPosition(time,
                      stream::midiStreamPosition(stream_.load(), time, sizeof(stream::MMTIME)));
}

int StreamTransport::GetHeardPosition(stream::MMTIME* time) {
  if (time == nullptr) {
    return 0;
  }
  return SongPosition(time, stream::StreamHeardPosition(stream_.load(), time));
}

int StreamTransport::SongPosition(stream::MMTIME* time, stream::MMRESULT result) {
  if (result != stream::MMSYSERR_NOERROR) {
    owner_.ReportError(result);
    return 0;
  }
  if (time->wType == stream::TIME_TICKS) {
    time->u.ticks = builder_.SongTickAt(time->u.ticks);  // the song's tick, through repeats
  }
  return 1;
}

StreamBuffer* StreamTransport::BufferOf(const stream::MIDIHDR* header) {
  for (StreamBuffer& buffer : buffers_) {
    if (&buffer.header == header) {
      return &buffer;
    }
  }
  return nullptr;
}

void StreamTransport::OnDone(stream::MIDIHDR* header) {
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
  builder_.AddPlayed(buffer->header.dwBytesRecorded);
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

bool StreamTransport::RefillAndQueue(StreamBuffer& buffer) {
  refilling_.store(1);
  if (state_.load() != Running) {
    refilling_.store(0);
    return true;  // a stop has begun; it collects the buffers
  }
  buffer.ResetForFill();
  const int fill = builder_.FillBuffer(false, buffer);
  bool queued = false;
  if (fill == 0) {
    buffer.header.dwBytesRecorded = buffer.bytesUsed;
    const stream::MMRESULT result =
        stream::midiStreamOut(stream_.load(), &buffer.header, kHeaderSize);
    if (result != stream::MMSYSERR_NOERROR) {
      owner_.ReportError(result);
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

void StreamTransport::OnPositionCB(stream::MIDIHDR* header, stream::MIDIEVENT* event) {
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

void StreamTransport::EndSongAfterLastBuffer() {
  state_.store(Drained);
  Stop();  // on the callback thread: does not wait, closes the device
  bufferReturn_.Set();
}

}  // namespace quirelle::player
