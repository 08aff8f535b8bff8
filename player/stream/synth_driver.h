// The embedded FluidSynth synthesizer as a stream device, live or rendering to a WAV file.
//
// Live: each midiStreamOpen makes a synthesizer with the General MIDI SoundFont and opens an audio
// output (PulseAudio, PipeWire, ALSA, JACK, OSS, whichever this FluidSynth build has and opens
// first). The audio thread renders blocks of 256 frames; each event lands on FluidSynth's 64-frame
// grid point nearest its exact sample. A failed open leaves a reason: "no SoundFont found",
// "no audio output", ...
//
// Offline: the same synthesizer renders into a 16-bit stereo WAV file as fast as it can. It never
// runs ahead of the stream: at each buffer's end it waits until the callback thread has refilled,
// so the same input gives the same samples every run. It renders nothing while the stream is
// stopped or paused, nothing before the first restart; after each close it renders the release
// tail (until a whole block is silent in 16 bits, at most one second). Streams opened one after
// another continue the same file; one stream at a time.
//
// Driving an offline render (the command-line tool):
//   auto driver = MakeOfflineSynthDriver(options, "out.wav");   // options.progress for a bar
//   CMidiStreamPlayer engine(*driver);  ... load, Play(false) ...
//   driver->WaitUntilClosed();   // the engine closes the stream at the song's end
//   if (!driver->Finish()) { report driver->FinishError(); }
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "player/stream/midi_stream.h"

namespace quirelle::stream {

// A single note at velocity 100 peaks near -18 dBFS with this gain, four-part vocal scores near
// -7 dBFS; dense band arrangements mostly stay below full scale (FluidSynth's own default, 0.2,
// is 8 dB quieter, too soft beside other programs).
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
  // Offline only: called on the rendering thread with the frames written so far, about ten times
  // per second of audio and once when a tail is done. Must be quick; must not call the stream.
  std::function<void(std::uint64_t frames)> progress;
};

class SynthDriver : public StreamDriver {
 public:
  // What the libraries said during the last failed open (FluidSynth, libasound), for a log.
  virtual std::string LastErrorDetail() const = 0;
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
  virtual std::uint32_t SampleRate() const = 0;
};

std::unique_ptr<SynthDriver> MakeLiveSynthDriver(const SynthOptions& options);
std::unique_ptr<OfflineSynthDriver> MakeOfflineSynthDriver(const SynthOptions& options,
                                                           const std::string& wavPath);

// Checks sample rate and gain; empty when they are usable, else the reason.
std::string CheckSynthOptions(const SynthOptions& options);

}  // namespace quirelle::stream
