// The stream test fixture: made-up buffers and a recording callback.
#include "tests/stream/stream_fixture.h"

#include <cstring>

namespace quirelle::stream::testing {

MIDIEVENT Note(std::uint32_t delta, std::uint32_t status, std::uint32_t key, std::uint32_t velocity,
               std::uint32_t flags) {
  return {delta, 0, flags | status | (key << 8) | (velocity << 16)};
}

MIDIEVENT Tempo(std::uint32_t delta, std::uint32_t microsPerQuarter, std::uint32_t flags) {
  return {delta, 0, flags | (static_cast<std::uint32_t>(MEVT_TEMPO) << 24) | microsPerQuarter};
}

MIDIEVENT Nop(std::uint32_t delta, std::uint32_t flags) {
  return {delta, 0, flags | (static_cast<std::uint32_t>(MEVT_NOP) << 24)};
}

void IgnoreCallback(HMIDISTRM, std::uint32_t, std::uintptr_t, std::uintptr_t, std::uintptr_t) {}

TestBuffer::TestBuffer(const std::vector<MIDIEVENT>& events, std::uint32_t capacity)
    : bytes_(capacity, 0) {
  header.lpData = bytes_.data();
  header.dwBufferLength = capacity;
  Fill(events);
}

void TestBuffer::Fill(const std::vector<MIDIEVENT>& events) {
  const std::size_t size = events.size() * sizeof(MIDIEVENT);
  if (size > bytes_.size()) {
    ADD_FAILURE() << "test buffer too small";
    return;
  }
  if (size != 0) {
    std::memcpy(bytes_.data(), events.data(), size);
  }
  header.dwBytesRecorded = static_cast<std::uint32_t>(size);
}

void TestBuffer::AppendWords(const std::vector<std::uint32_t>& words) {
  const std::size_t size = words.size() * sizeof(std::uint32_t);
  if (header.dwBytesRecorded + size > bytes_.size()) {
    ADD_FAILURE() << "test buffer too small";
    return;
  }
  std::memcpy(bytes_.data() + header.dwBytesRecorded, words.data(), size);
  header.dwBytesRecorded += static_cast<std::uint32_t>(size);
}

StreamFixture::~StreamFixture() {
  if (stream != nullptr) {
    midiStreamStop(stream);
    midiStreamClose(stream);
  }
}

void StreamFixture::Open(std::uint32_t division) {
  std::uint32_t device = MIDI_MAPPER;
  ASSERT_EQ(driver.midiStreamOpen(&stream, &device, 1, &Callback,
                                  reinterpret_cast<std::uintptr_t>(this), CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  MIDIPROPTIMEDIV property{sizeof(MIDIPROPTIMEDIV), division};
  ASSERT_EQ(midiStreamProperty(stream, reinterpret_cast<std::uint8_t*>(&property),
                               MIDIPROP_SET | MIDIPROP_TIMEDIV),
            MMSYSERR_NOERROR);
  driver.WaitIdle();
}

TestBuffer& StreamFixture::Buffer(const std::vector<MIDIEVENT>& events) {
  buffers_.push_back(std::make_unique<TestBuffer>(events));
  return *buffers_.back();
}

void StreamFixture::Queue(TestBuffer& buffer) {
  ASSERT_EQ(midiOutPrepareHeader(stream, &buffer.header, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(midiStreamOut(stream, &buffer.header, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
}

std::uint32_t StreamFixture::PositionTicks() {
  MMTIME time;
  time.wType = TIME_TICKS;
  EXPECT_EQ(midiStreamPosition(stream, &time, sizeof(MMTIME)), MMSYSERR_NOERROR);
  EXPECT_EQ(time.wType, TIME_TICKS);
  return time.u.ticks;
}

std::vector<Delivered> StreamFixture::DeliveredMessages() {
  std::lock_guard lock(mutex_);
  return delivered_;
}

std::vector<std::uint32_t> StreamFixture::DeliveredKinds() {
  std::vector<std::uint32_t> kinds;
  for (const Delivered& d : DeliveredMessages()) {
    kinds.push_back(d.message);
  }
  return kinds;
}

std::vector<RecordedMessage> StreamFixture::OfKind(RecordedMessage::Kind kind) {
  std::vector<RecordedMessage> found;
  for (const RecordedMessage& m : driver.Messages()) {
    if (m.kind == kind) {
      found.push_back(m);
    }
  }
  return found;
}

std::vector<RecordedMessage> StreamFixture::Events() {
  return OfKind(RecordedMessage::Kind::kEvent);
}

void StreamFixture::Callback(HMIDISTRM stream, std::uint32_t message, std::uintptr_t instance,
                             std::uintptr_t param1, std::uintptr_t /*param2*/) {
  auto* self = reinterpret_cast<StreamFixture*>(instance);
  auto* header = reinterpret_cast<MIDIHDR*>(param1);
  Delivered d;
  d.message = message;
  d.header = header;
  d.offset = header != nullptr ? header->dwOffset : 0;
  d.thread = std::this_thread::get_id();
  if (message != MOM_CLOSE) {
    MMTIME time;
    time.wType = TIME_TICKS;
    if (midiStreamPosition(stream, &time, sizeof(MMTIME)) == MMSYSERR_NOERROR) {
      d.ticks = time.u.ticks;
    }
  }
  {
    std::lock_guard lock(self->mutex_);
    self->delivered_.push_back(d);
  }
  if (self->reaction) {
    self->reaction(message, header);
  }
}

}  // namespace quirelle::stream::testing
