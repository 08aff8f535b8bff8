#include "sing/take_file.h"

#include <sndfile.h>

#include <algorithm>
#include <memory>

namespace quirelle::sing {
namespace {

struct FileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};

constexpr sf_count_t kChunkFrames = 16384;

}  // namespace

TakeResult ReadTake(const std::string& path, double longestSeconds) {
  TakeResult result;
  SF_INFO info{};
  std::unique_ptr<SNDFILE, FileCloser> file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) {
    result.error = "cannot read " + path + " as audio: " + sf_strerror(nullptr);
    return result;
  }
  if (info.channels < 1 || info.samplerate < 1) {
    result.error = "cannot read " + path + " as audio: it has no channels or no sample rate";
    return result;
  }
  const auto channels = static_cast<std::size_t>(info.channels);
  const auto longest = static_cast<sf_count_t>(longestSeconds * info.samplerate);
  result.take.sampleRate = static_cast<std::uint32_t>(info.samplerate);
  std::vector<float> chunk(static_cast<std::size_t>(kChunkFrames) * channels);
  for (sf_count_t read = 0; read < longest;) {
    const sf_count_t got =
        sf_readf_float(file.get(), chunk.data(), std::min(kChunkFrames, longest - read));
    if (got <= 0) {
      break;
    }
    for (sf_count_t frame = 0; frame < got; ++frame) {
      float sum = 0;
      for (std::size_t channel = 0; channel < channels; ++channel) {
        sum += chunk[static_cast<std::size_t>(frame) * channels + channel];
      }
      result.take.samples.push_back(sum / static_cast<float>(channels));
    }
    read += got;
  }
  if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
    result.error = "cannot read " + path + ": " + sf_strerror(file.get());
  }
  return result;
}

}  // namespace quirelle::sing
