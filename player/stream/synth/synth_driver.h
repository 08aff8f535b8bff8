// The embedded FluidSynth synthesizer as a stream device, live or rendering to an audio file.
//
// Live: the first midiStreamOpen (or PrepareInBackground) makes a synthesizer with the General
// MIDI SoundFont, which the driver keeps and silences and resets for each later stream; each open
// starts an audio output (PulseAudio, PipeWire, ALSA, JACK, OSS: the first this FluidSynth build
// has that opens) with a buffer of 40 ms (fluid_audio.h). Pause and stop fade out; at the close
// the release plays on until it has died away (synth_live_device.h). FluidSynth starts sounds
// only at the start of its internal
// 64-frame blocks, so each event lands on the 64-frame grid point nearest its exact sample (at
// most 32 frames, 0.7 ms at 44.1 kHz, away). A failed open leaves a reason: "no SoundFont found",
// "no audio output", ...
//
// Offline: the same synthesizer renders into a stereo audio file (16-bit WAV unless another
// format is asked for, see audio_file_writer.h) as fast as it can. At each
// callback it waits until the callback thread is idle again, so refills are always in time and
// the same stream gives the same samples every run; only messages sent from another thread while
// it renders (midiOutShortMsg from the user's thread) land wherever rendering has got to. It
// renders nothing while the stream is stopped or paused, nothing before the first restart; after
// each close it renders the release tail (until a whole 256-frame block is silent in 16 bits, at
// most one second rounded up to whole blocks; a driver of stems always the whole second).
// Streams opened one after another continue the same file; one stream at a time.
//
// Driving an offline render (the command-line tool):
//   auto driver = MakeOfflineSynthDriver(options, "out.wav");   // options.progress for a bar
//   CMidiStreamPlayer engine(*driver);  ... load, Play(false) ...
//   driver->WaitUntilClosed();   // the engine closes the stream at the song's end
//   if (!driver->Finish()) { report driver->FinishError(); }
// FramesRendered() / SampleRate() may be polled from any thread for progress instead of the hook.
// With an empty path nothing is written to a file: a driver of stems (SynthOptions::stems) hands
// its outputs to the stem sink only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "player/stream/midi_stream.h"
#include "player/stream/synth/audio_file_format.h"
#include "player/stream/synth/fluid_handles.h"
#include "player/stream/synth/pan_hold.h"
#include "player/stream/synth/synth_audio_sink.h"

namespace quirelle::stream {

// Measured with the FluidR3 General MIDI SoundFont: one note at velocity 100 peaks at -17 to
// -19 dBFS, a four-part vocal score at -7 to -10 dBFS (about -24 dBFS RMS), so the voices a singer
// rehearses with are clearly audible beside other programs. Dense band arrangements reach full
// scale only on rare peaks (a few in ten thousand samples, clipped, never wrapped). At 1.0 those
// clip throughout; FluidSynth's own 0.2 is 8 dB quieter than this.
inline constexpr double kDefaultSynthGain = 0.5;
inline constexpr std::uint32_t kDefaultSampleRate = 44100;
inline constexpr std::uint32_t kMinSampleRate = 8000;
inline constexpr std::uint32_t kMaxSampleRate = 192000;
inline constexpr double kMaxSynthGain = 10.0;
// The longest release tail rendered after a close, in seconds.
inline constexpr std::uint32_t kReleaseTailSeconds = 1;

struct SynthOptions {
  std::string soundFont;  // empty: the first of the default General MIDI SoundFonts
  std::uint32_t sampleRate = kDefaultSampleRate;
  double gain = kDefaultSynthGain;
  // Live only: the audio output; by default the first of PulseAudio, PipeWire, ALSA, JACK, OSS
  // that opens.
  AudioChoice audio;
  // Offline only: called on the rendering thread with the frames written so far, about ten times
  // per second of audio and once when a tail is done. Must be quick; must not call the stream.
  std::function<void(std::uint64_t frames)> progress;
  // Offline only: the channels whose pan is held at the centre. The device centres them at each
  // open and plays every pan controller the song sends them as the centre.
  HeldPanChannels centredPan;
  // Offline only: with a stem sink each voice (`stemVoices`, bit c for channel c) sounds in a
  // stereo output of its own, and with `restStem` all the other channels together in one more; each
  // output has reverb and chorus of its own, and the sink gets every output. Without `restStem` the
  // other channels go into the voices' outputs (for a song that plays no notes on them). The
  // outputs add up to what one output would give (to rounding), and each is what a render of the
  // whole song gives of its channels: every channel still plays, because FluidSynth's voices of one
  // channel sound a little differently without the others'. The sink is not owned and must outlive
  // the driver.
  SynthStemSink* stems = nullptr;
  bool restStem = false;
  std::uint16_t stemVoices = 0x000F;  // channels 1 to 4
};

class SynthDriver : public StreamDriver {
 public:
  // What the libraries said during the last failed open (FluidSynth, libasound), for a log.
  virtual std::string LastErrorDetail() const = 0;
  // Live: PrepareInBackground makes the synthesizer and loads its SoundFont, so that the first
  // open waits at most for the rest of the load.
  // Returns once the background preparation has ended (at once when none was started).
  virtual void WaitUntilPrepared() {}
};

class OfflineSynthDriver : public SynthDriver {
 public:
  // Blocks until no stream of this driver is open (returns at once when none is).
  virtual void WaitUntilClosed() = 0;
  // Ends the render: a stream still open is ended without further callbacks (its tail is
  // rendered), then the file is completed and closed. Later opens fail. True when the whole file
  // was written; else FinishError() says why. Calling it again returns the same answer.
  virtual bool Finish() = 0;
  virtual std::string FinishError() const = 0;
  virtual std::uint64_t FramesRendered() const = 0;  // from any thread
  // While held, nothing is rendered: what a caller sends meanwhile (the volumes right after
  // Play, say) lands at the same sample on every run.
  virtual void HoldRendering(bool hold) = 0;
  virtual std::uint32_t SampleRate() const = 0;
};

std::unique_ptr<SynthDriver> MakeLiveSynthDriver(const SynthOptions& options);
std::unique_ptr<OfflineSynthDriver> MakeOfflineSynthDriver(
    const SynthOptions& options, const std::string& path,
    AudioFileFormat format = AudioFileFormat::kWav);

// Checks sample rate and gain; empty when they are usable, else the reason.
std::string CheckSynthOptions(const SynthOptions& options);

}  // namespace quirelle::stream
