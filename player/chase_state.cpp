// Gathering the state of a song up to a point.
#include "player/chase_state.h"

namespace quirelle::player {
namespace {

constexpr std::uint8_t kBankMsb = 0;
constexpr std::uint8_t kDataEntryMsb = 6;
constexpr std::uint8_t kBankLsb = 32;
constexpr std::uint8_t kDataEntryLsb = 38;
constexpr std::uint8_t kDataIncrement = 96;
constexpr std::uint8_t kDataDecrement = 97;
constexpr std::uint8_t kNrpnLsb = 98;
constexpr std::uint8_t kNrpnMsb = 99;
constexpr std::uint8_t kRpnLsb = 100;
constexpr std::uint8_t kRpnMsb = 101;
constexpr std::uint8_t kResetAllControllers = 121;
constexpr std::uint8_t kFirstModeMessage = 120;

std::uint32_t Message(std::uint8_t status, int data1, int data2) {
  return status | (static_cast<std::uint32_t>(data1) << 8) |
         (static_cast<std::uint32_t>(data2) << 16);
}

// Controllers that Reset All Controllers leaves as they are: bank, volume, pan, effects depths.
bool KeptByReset(std::uint8_t number) {
  return number == kBankMsb || number == kBankLsb || number == 7 || number == 10 ||
         (number >= 91 && number <= 95);
}

}  // namespace

void ChaseState::Take(const smf::TrackEvent& event) {
  if (event.status == 0xFF && event.data1 == 0x51) {
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
  if (event.status < 0x80 || event.status > 0xEF) {
    return;
  }
  Channel& channel = channels_[event.status & 0x0F];
  const std::uint8_t data1 = event.data1 & 0x7F;
  const std::uint8_t data2 = event.data2 & 0x7F;
  switch (event.status & 0xF0) {
    case 0xB0:
      TakeController(channel, data1, data2);
      break;
    case 0xC0:
      channel.program = data1;
      break;
    case 0xD0:
      channel.pressure = data1;
      break;
    case 0xE0:
      channel.bend = data1 | (data2 << 7);
      break;
    default:
      break;  // notes and key pressure: nothing of them may sound later
  }
}

ChaseState::Parameter* ChaseState::Selected(Channel& channel) {
  if (channel.selectedMsb < 0 || channel.selectedLsb < 0 ||
      (channel.selectedMsb == 127 && channel.selectedLsb == 127)) {
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
          p->dataMsb = static_cast<std::int16_t>(next < 0 ? 0 : (next > 127 ? 127 : next));
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
  for (std::uint8_t c = 0; c < 16; ++c) {
    const Channel& channel = channels_[c];
    const auto status = [c](std::uint8_t kind) { return static_cast<std::uint8_t>(kind | c); };
    for (const std::uint8_t bank : {kBankMsb, kBankLsb}) {
      if (channel.controllers[bank] >= 0) {
        out.push_back(Message(status(0xB0), bank, channel.controllers[bank]));
      }
    }
    if (channel.program >= 0) {
      out.push_back(Message(status(0xC0), channel.program, 0));
    }
    for (const Parameter& p : channel.parameters) {
      out.push_back(Message(status(0xB0), p.registered ? kRpnMsb : kNrpnMsb, p.msb));
      out.push_back(Message(status(0xB0), p.registered ? kRpnLsb : kNrpnLsb, p.lsb));
      if (p.dataMsb >= 0) {
        out.push_back(Message(status(0xB0), kDataEntryMsb, p.dataMsb));
      }
      if (p.dataLsb >= 0) {
        out.push_back(Message(status(0xB0), kDataEntryLsb, p.dataLsb));
      }
    }
    if (channel.selectedMsb >= 0 && channel.selectedLsb >= 0) {
      out.push_back(
          Message(status(0xB0), channel.registered ? kRpnMsb : kNrpnMsb, channel.selectedMsb));
      out.push_back(
          Message(status(0xB0), channel.registered ? kRpnLsb : kNrpnLsb, channel.selectedLsb));
    }
    for (std::uint8_t n = 0; n < kFirstModeMessage; ++n) {
      if (n != kBankMsb && n != kBankLsb && channel.controllers[n] >= 0) {
        out.push_back(Message(status(0xB0), n, channel.controllers[n]));
      }
    }
    if (channel.pressure >= 0) {
      out.push_back(Message(status(0xD0), channel.pressure, 0));
    }
    if (channel.bend >= 0) {
      out.push_back(Message(status(0xE0), channel.bend & 0x7F, channel.bend >> 7));
    }
  }
  return out;
}

}  // namespace quirelle::player
