// The conversion of short messages to sequencer events.
#include "player/stream/alsa/alsa_event.h"

#include "midi/vocabulary.h"

namespace quirelle::stream {
namespace {

bool ToSystemEvent(int status, int data1, int data2, snd_seq_event_t* event) {
  switch (status) {
    case 0xF1:
      event->type = SND_SEQ_EVENT_QFRAME;
      event->data.control.value = data1;
      return true;
    case 0xF2:
      event->type = SND_SEQ_EVENT_SONGPOS;
      event->data.control.value = data1 | (data2 << 7);
      return true;
    case 0xF3:
      event->type = SND_SEQ_EVENT_SONGSEL;
      event->data.control.value = data1;
      return true;
    case 0xF6:
      event->type = SND_SEQ_EVENT_TUNE_REQUEST;
      return true;
    case 0xF8:
      event->type = SND_SEQ_EVENT_CLOCK;
      return true;
    case 0xFA:
      event->type = SND_SEQ_EVENT_START;
      return true;
    case 0xFB:
      event->type = SND_SEQ_EVENT_CONTINUE;
      return true;
    case 0xFC:
      event->type = SND_SEQ_EVENT_STOP;
      return true;
    case 0xFE:
      event->type = SND_SEQ_EVENT_SENSING;
      return true;
    case 0xFF:
      event->type = SND_SEQ_EVENT_RESET;
      return true;
    default:
      return false;  // 0xF0 / 0xF7 need a long message; the rest are undefined
  }
}

}  // namespace

bool ToSeqEvent(std::uint32_t message, snd_seq_event_t* event) {
  snd_seq_ev_clear(event);
  const int status = static_cast<int>(message & 0xFF);
  const int data1 = midi::Data1Of(message);
  const int data2 = midi::Data2Of(message);
  const auto channel = static_cast<unsigned char>(status & 0x0F);
  switch (midi::KindOf(static_cast<std::uint8_t>(status))) {
    case midi::kNoteOff:
      snd_seq_ev_set_noteoff(event, channel, data1, data2);
      return true;
    case midi::kNoteOn:
      snd_seq_ev_set_noteon(event, channel, data1, data2);
      return true;
    case midi::kKeyPressure:
      snd_seq_ev_set_keypress(event, channel, data1, data2);
      return true;
    case midi::kControlChange:
      snd_seq_ev_set_controller(event, channel, data1, data2);
      return true;
    case midi::kProgramChange:
      snd_seq_ev_set_pgmchange(event, channel, data1);
      return true;
    case midi::kChannelPressure:
      snd_seq_ev_set_chanpress(event, channel, data1);
      return true;
    case midi::kPitchBend:
      snd_seq_ev_set_pitchbend(event, channel, (data1 | (data2 << 7)) - 8192);
      return true;
    case midi::kSysEx:
      return ToSystemEvent(status, data1, data2, event);
    default:
      return false;  // a running-status message without its status byte
  }
}

}  // namespace quirelle::stream
