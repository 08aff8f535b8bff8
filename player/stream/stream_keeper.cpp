// A driver's streams: opened through the handle registry, joined once closed, and ended without
// further callbacks when the driver goes while they are still open.
#include <algorithm>
#include <utility>

#include "player/stream/handle_registry.h"
#include "player/stream/stream_core.h"

namespace quirelle::stream {

StreamKeeper::StreamKeeper() {
  // The registry must outlive every keeper, including keepers with static storage.
  HandleRegistry::Instance();
}

StreamKeeper::~StreamKeeper() {
  EndAll();
}

void StreamKeeper::EndAll() {
  std::vector<std::shared_ptr<StreamCore>> streams;
  {
    std::lock_guard lock(mutex_);
    streams.swap(streams_);
  }
  for (const auto& core : streams) {
    core->EndWithoutCallbacks();
    core->JoinCallbackThread();
  }
}

std::shared_ptr<StreamCore> StreamKeeper::Open(std::unique_ptr<StreamDevice> device,
                                               MidiStreamCallback callback, std::uintptr_t instance,
                                               HMIDISTRM* handle) {
  auto core = std::make_shared<StreamCore>(std::move(device), callback, instance);
  const HMIDISTRM registered = HandleRegistry::Instance().Register(core);
  *handle = registered;
  {
    std::lock_guard lock(mutex_);
    streams_.push_back(core);
  }
  core->Begin(registered);
  return core;
}

void StreamKeeper::Reap() {
  std::vector<std::shared_ptr<StreamCore>> finished;
  {
    std::lock_guard lock(mutex_);
    const auto done = [](const std::shared_ptr<StreamCore>& core) {
      return core->IsClosed() && core->CallbackThreadFinished();
    };
    std::copy_if(streams_.begin(), streams_.end(), std::back_inserter(finished), done);
    streams_.erase(std::remove_if(streams_.begin(), streams_.end(), done), streams_.end());
  }
  for (const auto& core : finished) {
    core->JoinCallbackThread();
  }
}

std::vector<std::shared_ptr<StreamCore>> StreamKeeper::OpenStreams() const {
  std::vector<std::shared_ptr<StreamCore>> open;
  std::lock_guard lock(mutex_);
  std::copy_if(streams_.begin(), streams_.end(), std::back_inserter(open),
               [](const std::shared_ptr<StreamCore>& core) { return !core->IsClosed(); });
  return open;
}

std::vector<std::shared_ptr<StreamCore>> StreamKeeper::Streams() const {
  std::lock_guard lock(mutex_);
  return streams_;
}

}  // namespace quirelle::stream
