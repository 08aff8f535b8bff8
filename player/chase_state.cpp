// Gathering the state of a song up to a point.
#include "player/chase_state.h"

#include "midi/vocabulary.h"

namespace quirelle::player {
namespace {

using namespace midi;

constexpr std::uint8_t kBankMsb = kBankSelect;
constexpr std::uint8_t kBankLsb = kBankSelectLsb;
constexpr std::uint8_t kDataEntryMsb = kDataEntry;
constexpr std::uint8_t kFirstModeMessage = kAllSoundOff;

std::uint32_t Message(std::uint8_t status, int data1, int data2) {
  return ShortMessage(status, static_cast<std::uint32_t>(data1), static_cast<std::uint32_t>(data2));
}

// Controllers that Reset All Controllers leaves as they are: bank, volume, pan, effects depths.
bool KeptByReset(std::uint8_t number) {
  return number == kBankMsb || number == kBankLsb || number == kChannelVolume || number == kPan ||
         (number >= kEffects1Depth && number <= kEffects5Depth);
}

}  // namespace

void ChaseState::Take(const smf::TrackEvent& event) {
  if (event.status == kMeta && event.data1 == kMetaSetTempo) {
    const std::uint8_t* data = event.data.get();
    if (event.length >= 3 && data != nullptr) {
      const std::uint32_t tempo =
          (std::uint32_t{data[0]} << 16) | (std::uint32_t{data[1]} << 8) | data[2];
      if (tempo != 0) {
        tempo_ = tempo;
      }
    }
    return;
  }
  if (!IsChannelStatus(event.status)) {
    return;
  }
  Channel& channel = channels_[ChannelOf(event.status)];
  const std::uint8_t data1 = event.data1 & 0x7F;
  const std::uint8_t data2 = event.data2 & 0x7F;
  switch (KindOf(event.status)) {
    case kControlChange:
      TakeController(channel, data1, data2);
      break;
    case kProgramChange:
      channel.program = data1;
      break;
    case kChannelPressure:
      channel.pressure = data1;
      break;
    case kPitchBend:
      channel.bend = data1 | (data2 << 7);
      break;
    default:
      break;  // notes and key pressure: nothing of them may sound later
  }
}

ChaseState::Parameter* ChaseState::Selected(Channel& channel) {
  if (channel.selectedMsb < 0 || channel.selectedLsb < 0 ||
      (channel.selectedMsb == kNullParameter && channel.selectedLsb == kNullParameter)) {
    return nullptr;  // none, or the null parameter
  }
  for (Parameter& p : channel.parameters) {
    if (p.registered == channel.registered && p.msb == channel.selectedMsb &&
        p.lsb == channel.selectedLsb) {
      return &p;
    }
  }
  channel.parameters.push_back({channel.registered, static_cast<std::uint8_t>(channel.selectedMsb),
                                static_cast<std::uint8_t>(channel.selectedLsb)});
  return &channel.parameters.back();
}

void ChaseState::TakeController(Channel& channel, std::uint8_t number, std::uint8_t value) {
  switch (number) {
    case kRpnMsb:
    case kNrpnMsb:
      channel.registered = number == kRpnMsb;
      channel.selectedMsb = value;
      return;
    case kRpnLsb:
    case kNrpnLsb:
      channel.registered = number == kRpnLsb;
      channel.selectedLsb = value;
      return;
    case kDataEntryMsb:
    case kDataEntryLsb:
    case kDataIncrement:
    case kDataDecrement:
      if (Parameter* p = Selected(channel)) {
        if (number == kDataEntryMsb) {
          p->dataMsb = value;
        } else if (number == kDataEntryLsb) {
          p->dataLsb = value;
        } else if (p->dataMsb >= 0) {
          const int step = number == kDataIncrement ? 1 : -1;
          const int next = p->dataMsb + step;
          p->dataMsb =
              static_cast<std::int16_t>(next < 0 ? 0 : (next > kDataMax ? kDataMax : next));
        }
      }
      return;
    case kResetAllControllers:
      for (std::size_t i = 0; i < channel.controllers.size(); ++i) {
        if (!KeptByReset(static_cast<std::uint8_t>(i))) {
          channel.controllers[i] = -1;
        }
      }
      channel.pressure = -1;
      channel.bend = -1;
      channel.selectedMsb = -1;
      channel.selectedLsb = -1;
      return;
    default:
      if (number < kFirstModeMessage) {
        channel.controllers[number] = value;
      }
      return;
  }
}

std::vector<std::uint32_t> ChaseState::Messages() const {
  std::vector<std::uint32_t> out;
  for (std::uint8_t c = 0; c < kChannels; ++c) {
    const Channel& channel = channels_[c];
    const auto status = [c](std::uint8_t kind) { return static_cast<std::uint8_t>(kind | c); };
    for (const std::uint8_t bank : {kBankMsb, kBankLsb}) {
      if (channel.controllers[bank] >= 0) {
        out.push_back(Message(status(kControlChange), bank, channel.controllers[bank]));
      }
    }
    if (channel.program >= 0) {
      out.push_back(Message(status(kProgramChange), channel.program, 0));
    }
    for (const Parameter& p : channel.parameters) {
      out.push_back(Message(status(kControlChange), p.registered ? kRpnMsb : kNrpnMsb, p.msb));
      out.push_back(Message(status(kControlChange), p.registered ? kRpnLsb : kNrpnLsb, p.lsb));
      if (p.dataMsb >= 0) {
        out.push_back(Message(status(kControlChange), kDataEntryMsb, p.dataMsb));
      }
      if (p.dataLsb >= 0) {
        out.push_back(Message(status(kControlChange), kDataEntryLsb, p.dataLsb));
      }
    }
    if (channel.selectedMsb >= 0 && channel.selectedLsb >= 0) {
      out.push_back(Message(status(kControlChange), channel.registered ? kRpnMsb : kNrpnMsb,
                            channel.selectedMsb));
      out.push_back(Message(status(kControlChange), channel.registered ? kRpnLsb : kNrpnLsb,
                            channel.selectedLsb));
    }
    for (std::uint8_t n = 0; n < kFirstModeMessage; ++n) {
      if (n != kBankMsb && n != kBankLsb && channel.controllers[n] >= 0) {
        out.push_back(Message(status(kControlChange), n, channel.controllers[n]));
      }
    }
    if (channel.pressure >= 0) {
      out.push_back(Message(status(kChannelPressure), channel.pressure, 0));
    }
    if (channel.bend >= 0) {
      out.push_back(Message(status(kPitchBend), channel.bend & 0x7F, channel.bend >> 7));
    }
  }
  return out;
}

}  // namespace quirelle::player
