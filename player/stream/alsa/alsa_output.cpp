// The sequencer client of the ALSA device.
#include "player/stream/alsa/alsa_output.h"

#include <optional>
#include <utility>
#include <vector>

#include "player/stream/synth/synth_library_log.h"

namespace quirelle::stream {
namespace {

std::unique_ptr<AlsaSeqOutput> Failed(AlsaOpenFailure* failure, MMRESULT code, std::string reason,
                                      std::uint64_t mark) {
  failure->code = code;
  failure->reason = std::move(reason);
  failure->detail = LibraryLog::JoinedSince(mark);
  return nullptr;
}

}  // namespace

std::unique_ptr<AlsaSeqOutput> AlsaSeqOutput::Open(const std::string& request,
                                                   AlsaOpenFailure* failure) {
  LibraryLog::Install();
  const std::uint64_t mark = LibraryLog::Mark();
  snd_seq_t* raw = nullptr;
  if (const int error = snd_seq_open(&raw, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK);
      error < 0) {
    LibraryLog::Add(std::string("ALSA: snd_seq_open: ") + snd_strerror(error));
    return Failed(failure, MMSYSERR_NODRIVER, "no ALSA sequencer", mark);
  }
  AlsaSeqPtr seq(raw);
  snd_seq_set_client_name(seq.get(), "Quirelle");
  const int ownPort = snd_seq_create_simple_port(
      seq.get(), "Quirelle output", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
      SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  if (ownPort < 0) {
    LibraryLog::Add(std::string("ALSA: snd_seq_create_simple_port: ") + snd_strerror(ownPort));
    return Failed(failure, MMSYSERR_ERROR, "the ALSA output port could not be made", mark);
  }
  const std::vector<AlsaPortInfo> ports = ListAlsaPorts(seq.get());
  const std::optional<AlsaPortInfo> target =
      ChooseAlsaPort(ports, snd_seq_client_id(seq.get()), request);
  if (!target) {
    return Failed(failure, MIDIERR_NODEVICE,
                  request.empty() ? "no ALSA synthesizer port" : "no ALSA port " + request, mark);
  }
  if (const int error = snd_seq_connect_to(seq.get(), ownPort, target->client, target->port);
      error < 0) {
    LibraryLog::Add(std::string("ALSA: snd_seq_connect_to: ") + snd_strerror(error));
    return Failed(failure, MMSYSERR_ALLOCATED,
                  "cannot connect to ALSA port " + target->Address() + " (" + target->Name() + ")",
                  mark);
  }
  return std::make_unique<AlsaSeqOutput>(std::move(seq), ownPort, *target);
}

AlsaSeqOutput::AlsaSeqOutput(AlsaSeqPtr seq, int ownPort, AlsaPortInfo target)
    : seq_(std::move(seq)), ownPort_(ownPort), target_(std::move(target)) {}

void AlsaSeqOutput::Output(const snd_seq_event_t& event) {
  snd_seq_event_t out = event;
  snd_seq_ev_set_source(&out, ownPort_);
  snd_seq_ev_set_subs(&out);
  snd_seq_ev_set_direct(&out);
  if (snd_seq_event_output_direct(seq_.get(), &out) < 0) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
  }
}

}  // namespace quirelle::stream
