// The voices' written notes and their index by time.
#include "smf/voice_notes.h"

#include <utility>

#include "midi/vocabulary.h"

namespace quirelle::smf {

VoiceNotes::VoiceNotes(std::vector<WrittenNote> notes) : notes_(std::move(notes)) {
  std::sort(notes_.begin(), notes_.end(), [](const WrittenNote& a, const WrittenNote& b) {
    return a.start != b.start ? a.start < b.start : a.key < b.key;
  });
  latestEnd_.reserve(notes_.size());
  std::uint32_t latest = 0;
  lowest_ = notes_.empty() ? 0 : 127;
  for (const WrittenNote& note : notes_) {
    latest = std::max(latest, note.end);
    latestEnd_.push_back(latest);
    lowest_ = std::min(lowest_, note.key);
    highest_ = std::max(highest_, note.key);
  }
}

void NotePairer::Message(std::uint32_t tick, std::uint8_t status, std::uint8_t key,
                         std::uint8_t velocity) {
  const std::uint8_t kind = midi::KindOf(status);
  const std::uint8_t channel = midi::ChannelOf(status);
  if ((kind != midi::kNoteOff && kind != midi::kNoteOn) || key > midi::kDataMax) {
    return;
  }
  KeyQueue& queue = open_[channel * 128u + key];
  if (kind == midi::kNoteOn && velocity > 0) {
    queue.notes.push_back({tick, velocity});
    return;
  }
  if (queue.head == queue.notes.size()) {
    return;  // a note-off of no note: nothing to draw
  }
  const Open note = queue.notes[queue.head++];
  if (queue.head == queue.notes.size()) {
    queue.notes.clear();
    queue.head = 0;
  }
  // A note of no length still shows, one tick long.
  byChannel_[channel].push_back({note.start, std::max(tick, note.start + 1), key, note.velocity});
}

std::vector<std::vector<WrittenNote>> NotePairer::Finish(std::uint32_t lastTick) {
  for (std::size_t i = 0; i < open_.size(); ++i) {
    KeyQueue& queue = open_[i];
    for (std::size_t n = queue.head; n < queue.notes.size(); ++n) {
      const Open& note = queue.notes[n];
      byChannel_[i / 128].push_back({note.start, std::max(lastTick, note.start + 1),
                                     static_cast<std::uint8_t>(i % 128), note.velocity});
    }
    queue = KeyQueue{};
  }
  return std::exchange(byChannel_, std::vector<std::vector<WrittenNote>>(midi::kChannels));
}

}  // namespace quirelle::smf
