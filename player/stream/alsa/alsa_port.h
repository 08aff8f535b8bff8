// Which ALSA sequencer port the output connects to: the first synthesizer port, or the one the
// caller names ("client:port" numbers, a client number, or part of "client name:port name").
#pragma once

#include <alsa/asoundlib.h>

#include <optional>
#include <string>
#include <vector>

namespace quirelle::stream {

struct AlsaPortInfo {
  int client = 0;
  int port = 0;
  std::string clientName;
  std::string portName;
  unsigned type = 0;          // SND_SEQ_PORT_TYPE_*
  unsigned capabilities = 0;  // SND_SEQ_PORT_CAP_*

  std::string Address() const;  // "client:port"
  std::string Name() const;     // "client name:port name"
};

// True when other clients may connect to the port and write to it.
bool AcceptsOutput(const AlsaPortInfo& port);
// True for a port that makes sound of MIDI: a MIDI device or a synthesizer.
bool IsSynthesizerPort(const AlsaPortInfo& port);

// With an empty request: the first port that accepts output and is a synthesizer port, not of
// the system client, not of `ownClient` and not of "Midi Through". With a request: the first
// port that accepts output and matches it (any type; Midi Through included).
std::optional<AlsaPortInfo> ChooseAlsaPort(const std::vector<AlsaPortInfo>& ports, int ownClient,
                                           const std::string& request);

// Every port of every client, in the sequencer's order.
std::vector<AlsaPortInfo> ListAlsaPorts(snd_seq_t* seq);

}  // namespace quirelle::stream
