// ALSA sequencer port listing and choice.
#include "player/stream/alsa/alsa_port.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "player/stream/alsa/alsa_seq_handle.h"

namespace quirelle::stream {
namespace {

constexpr int kSystemClient = SND_SEQ_CLIENT_SYSTEM;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Parses a whole decimal number; nothing for anything else.
std::optional<int> Number(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [rest, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || rest != end || value < 0) {
    return std::nullopt;
  }
  return value;
}

bool Matches(const AlsaPortInfo& port, const std::string& request) {
  const std::size_t colon = request.find(':');
  if (colon != std::string::npos) {
    const std::optional<int> client = Number(request.substr(0, colon));
    const std::optional<int> number = Number(request.substr(colon + 1));
    if (client && number) {
      return port.client == *client && port.port == *number;
    }
  } else if (const std::optional<int> client = Number(request)) {
    return port.client == *client;
  }
  return Lower(port.Name()).find(Lower(request)) != std::string::npos;
}

}  // namespace

std::string AlsaPortInfo::Address() const {
  return std::to_string(client) + ":" + std::to_string(port);
}

std::string AlsaPortInfo::Name() const {
  return clientName + ":" + portName;
}

bool AcceptsOutput(const AlsaPortInfo& port) {
  constexpr unsigned kNeeded = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
  return (port.capabilities & kNeeded) == kNeeded &&
         (port.capabilities & SND_SEQ_PORT_CAP_NO_EXPORT) == 0;
}

bool IsSynthesizerPort(const AlsaPortInfo& port) {
  constexpr unsigned kSounding =
      SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTH | SND_SEQ_PORT_TYPE_SYNTHESIZER;
  return (port.type & kSounding) != 0;
}

std::optional<AlsaPortInfo> ChooseAlsaPort(const std::vector<AlsaPortInfo>& ports, int ownClient,
                                           const std::string& request) {
  for (const AlsaPortInfo& port : ports) {
    if (port.client == ownClient || !AcceptsOutput(port)) {
      continue;
    }
    if (!request.empty()) {
      if (Matches(port, request)) {
        return port;
      }
      continue;
    }
    if (port.client != kSystemClient && port.clientName != "Midi Through" &&
        IsSynthesizerPort(port)) {
      return port;
    }
  }
  return std::nullopt;
}

std::vector<AlsaPortInfo> ListAlsaPorts(snd_seq_t* seq) {
  std::vector<AlsaPortInfo> ports;
  snd_seq_client_info_t* rawClient = nullptr;
  snd_seq_port_info_t* rawPort = nullptr;
  if (snd_seq_client_info_malloc(&rawClient) < 0) {
    return ports;
  }
  AlsaClientInfoPtr clientInfo(rawClient);
  if (snd_seq_port_info_malloc(&rawPort) < 0) {
    return ports;
  }
  AlsaPortInfoPtr portInfo(rawPort);
  snd_seq_client_info_set_client(rawClient, -1);
  while (snd_seq_query_next_client(seq, rawClient) >= 0) {
    const int client = snd_seq_client_info_get_client(rawClient);
    const char* clientName = snd_seq_client_info_get_name(rawClient);
    snd_seq_port_info_set_client(rawPort, client);
    snd_seq_port_info_set_port(rawPort, -1);
    while (snd_seq_query_next_port(seq, rawPort) >= 0) {
      AlsaPortInfo port;
      port.client = client;
      port.port = snd_seq_port_info_get_port(rawPort);
      port.clientName = clientName != nullptr ? clientName : "";
      const char* portName = snd_seq_port_info_get_name(rawPort);
      port.portName = portName != nullptr ? portName : "";
      port.type = snd_seq_port_info_get_type(rawPort);
      port.capabilities = snd_seq_port_info_get_capability(rawPort);
      ports.push_back(std::move(port));
    }
  }
  return ports;
}

}  // namespace quirelle::stream
