#include "tools/render/render_session.h"

#include <algorithm>

#include "platform/message_queue_window.h"
#include "platform/readable_file.h"
#include "player/load_failure.h"
#include "player/notifying_player.h"
#include "player/stream/virtual_device.h"
#include "player/window_messages.h"
#include "tools/render/event_line.h"

namespace quirelle::render {
namespace {

constexpr std::uint64_t kShortestStep = 10'000;     // µs of device time per step while busy
constexpr std::uint64_t kLongestStep = 10'000'000;  // grown to this over long silences

void SendVolumes(player::CMidiStreamPlayer& engine, const Options& options) {
  for (std::uint32_t channel = 0; channel < options.volumes.size(); ++channel) {
    engine.SetChannelVolume(channel, options.volumes[channel]);
  }
}

// The tempo goes in before the load, so the first buffers already play at it.
bool LoadSong(player::CMidiStreamPlayer& engine, const Options& options, std::ostream& err) {
  engine.SetTempoPercent(options.tempoPercent);
  platform::PosixFile file;
  if (!file.Open(options.midiPath)) {
    err << "quirelle-render: cannot open " << options.midiPath << ": " << file.Error() << "\n";
    return false;
  }
  if (engine.LoadFromFile(file) == 0) {
    err << "quirelle-render: cannot play " << options.midiPath << ": "
        << player::DescribeLoadFailure(engine) << "\n";
    return false;
  }
  return true;
}

// Handles what the engine posted; true once the device has been closed.
bool HandleMessages(platform::MessageQueueWindow& window, player::CMidiStreamPlayer& engine,
                    const Options& options, std::uint32_t waitMillis, bool& anything) {
  bool closed = false;
  while (auto message = window.Take(waitMillis)) {
    anything = true;
    waitMillis = 0;
    if (message->message == player::rwm_positionchanged) {
      SendVolumes(engine, options);
    } else if (message->message == player::rwm_playedoff) {
      closed = true;
    }
  }
  return closed;
}

void PrintEvents(const stream::VirtualDriver& driver, std::ostream& out) {
  for (const stream::RecordedMessage& message : driver.Messages()) {
    if (message.kind != stream::RecordedMessage::Kind::kSilence) {
      out << EventLine(message.micros, message.tick, message.message) << '\n';
    }
  }
}

int RenderEvents(const Options& options, std::ostream& out, std::ostream& err) {
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  platform::MessageQueueWindow window;
  bool closed = false;
  {
    player::CNotifyingPlayer engine(driver, driver.clock());
    engine.SetDialogWindow(&window);
    if (!LoadSong(engine, options, err)) {
      return 2;
    }
    engine.Play(false);
    SendVolumes(engine, options);
    std::uint64_t step = kShortestStep;
    while (!closed) {
      driver.Advance(step);
      driver.WaitIdle();
      bool anything = false;
      closed = HandleMessages(window, engine, options, 0, anything);
      // Over a long silence nothing comes back: take longer steps until something does.
      step = anything ? kShortestStep : std::min(step * 2, kLongestStep);
    }
  }
  PrintEvents(driver, out);
  return 0;
}

}  // namespace

int RunRender(const Options& options, std::ostream& out, std::ostream& err) {
  if (options.events) {
    return RenderEvents(options, out, err);
  }
  err << "quirelle-render: WAV output is not available in this build\n";
  return 2;
}

}  // namespace quirelle::render
