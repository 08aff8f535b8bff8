// The choice of the ALSA port to connect to.
#include "player/stream/alsa/alsa_port.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quirelle::stream {
namespace {

constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;

// A machine like a desktop: the system client, Midi Through, a USB keyboard that only sends, our
// own client, a hardware synthesizer port, FluidSynth and TiMidity.
std::vector<AlsaPortInfo> Desktop() {
  return {
      {0, 0, "System", "Timer", 0, kReadable | kWritable},
      {0, 1, "System", "Announce", 0, kReadable},
      {14, 0, "Midi Through", "Midi Through Port-0",
       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SOFTWARE, kReadable | kWritable},
      {20, 0, "USB Keys", "USB Keys MIDI 1",
       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_HARDWARE, kReadable},
      {128, 0, "Quirelle", "Quirelle output",
       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION, kReadable | kWritable},
      {129, 0, "Recorder", "Input", SND_SEQ_PORT_TYPE_APPLICATION, kWritable},
      {130, 0, "FLUID Synth (1234)", "Synth input port (1234:0)",
       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTHESIZER |
           SND_SEQ_PORT_TYPE_APPLICATION,
       kWritable},
      {131, 0, "TiMidity", "TiMidity port 0",
       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTH, kWritable},
      {131, 1, "TiMidity", "TiMidity port 1",
       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTH, kWritable},
  };
}

struct ChoiceCase {
  const char* name;
  std::vector<AlsaPortInfo> ports;
  int ownClient;
  std::string request;
  std::optional<std::string> chosen;  // address, or none
};

class PortChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(PortChoice, PicksTheExpectedPort) {
  const ChoiceCase& param = GetParam();
  const std::optional<AlsaPortInfo> port =
      ChooseAlsaPort(param.ports, param.ownClient, param.request);
  ASSERT_EQ(port.has_value(), param.chosen.has_value());
  if (port) {
    EXPECT_EQ(port->Address(), *param.chosen);
  }
}

std::vector<AlsaPortInfo> Without(std::vector<AlsaPortInfo> ports, int client) {
  std::erase_if(ports, [client](const AlsaPortInfo& port) { return port.client == client; });
  return ports;
}

// Our own client made writable and a synthesizer, to show it is passed over anyway.
std::vector<AlsaPortInfo> OwnClientLooksLikeASynth() {
  std::vector<AlsaPortInfo> ports = {
      {128, 0, "Quirelle", "Quirelle output", SND_SEQ_PORT_TYPE_SYNTH, kWritable}};
  return ports;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortChoice,
    ::testing::Values(
        // The first synthesizer: not System, not Midi Through, not the sender, not ourselves,
        // not a plain application port.
        ChoiceCase{"FirstSynthesizer", Desktop(), 128, "", "130:0"},
        ChoiceCase{"NextSynthesizer", Without(Desktop(), 130), 128, "", "131:0"},
        ChoiceCase{"OnlyMidiThroughIsNoSynthesizer", Without(Without(Desktop(), 130), 131), 128, "",
                   std::nullopt},
        ChoiceCase{"NoPorts", {}, 128, "", std::nullopt},
        ChoiceCase{"OwnClientNeverChosen", OwnClientLooksLikeASynth(), 128, "", std::nullopt},
        ChoiceCase{"ByAddress", Desktop(), 128, "131:1", "131:1"},
        ChoiceCase{"ByClientNumber", Desktop(), 128, "131", "131:0"},
        ChoiceCase{"ByClientName", Desktop(), 128, "timidity", "131:0"},
        ChoiceCase{"ByPortName", Desktop(), 128, "port 1", "131:1"},
        ChoiceCase{"MidiThroughWhenNamed", Desktop(), 128, "Midi Through", "14:0"},
        ChoiceCase{"AnyTypeWhenNamed", Desktop(), 128, "Recorder", "129:0"},
        ChoiceCase{"NamedButOnlySends", Desktop(), 128, "USB Keys", std::nullopt},
        ChoiceCase{"NamedAddressMissing", Desktop(), 128, "131:7", std::nullopt},
        ChoiceCase{"NamedOurselves", Desktop(), 128, "128:0", std::nullopt},
        ChoiceCase{"NameNotFound", Desktop(), 128, "Yamaha", std::nullopt}),
    [](const ::testing::TestParamInfo<ChoiceCase>& info) { return info.param.name; });

TEST(AlsaPort, ANoExportPortTakesNoOutput) {
  AlsaPortInfo port{
      140, 0, "Hidden", "hidden", SND_SEQ_PORT_TYPE_SYNTH, kWritable | SND_SEQ_PORT_CAP_NO_EXPORT};
  EXPECT_FALSE(AcceptsOutput(port));
  EXPECT_EQ(port.Name(), "Hidden:hidden");
}

}  // namespace
}  // namespace quirelle::stream
