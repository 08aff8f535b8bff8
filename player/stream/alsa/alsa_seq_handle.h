// An owning handle for an ALSA sequencer client.
#pragma once

#include <alsa/asoundlib.h>

#include <memory>

namespace quirelle::stream {

struct AlsaSeqCloser {
  void operator()(snd_seq_t* seq) const { snd_seq_close(seq); }
};
using AlsaSeqPtr = std::unique_ptr<snd_seq_t, AlsaSeqCloser>;

struct AlsaClientInfoFree {
  void operator()(snd_seq_client_info_t* info) const { snd_seq_client_info_free(info); }
};
struct AlsaPortInfoFree {
  void operator()(snd_seq_port_info_t* info) const { snd_seq_port_info_free(info); }
};
using AlsaClientInfoPtr = std::unique_ptr<snd_seq_client_info_t, AlsaClientInfoFree>;
using AlsaPortInfoPtr = std::unique_ptr<snd_seq_port_info_t, AlsaPortInfoFree>;

}  // namespace quirelle::stream
