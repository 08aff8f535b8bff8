#include "tools/render/volume_keeper.h"

#include <chrono>

namespace quirelle::render {

void VolumeKeeper::SendVolumes() {
  player::CMidiStreamPlayer* engine = engine_.load();
  if (engine == nullptr) {
    return;
  }
  const std::vector<std::uint8_t>& channels = engine->file().voiceMap().voiceChannels();
  for (std::size_t voice = 0; voice < volumes_.size() && voice < channels.size(); ++voice) {
    engine->SetChannelVolume(channels[voice], volumes_[voice]);
  }
}

void VolumeKeeper::OnPositionChanged(std::uint32_t) {
  posted_.fetch_add(1);
}

void VolumeKeeper::OnPlayedOff() {
  posted_.fetch_add(1);
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  closedChanged_.notify_all();
}

void VolumeKeeper::OnSongDataError(const char* message) {
  const char* none = nullptr;
  songDataError_.compare_exchange_strong(none, message);
}

bool VolumeKeeper::closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

bool VolumeKeeper::WaitClosed(std::uint32_t millis) {
  std::unique_lock lock(mutex_);
  return closedChanged_.wait_for(lock, std::chrono::milliseconds(millis), [&] { return closed_; });
}

}  // namespace quirelle::render
