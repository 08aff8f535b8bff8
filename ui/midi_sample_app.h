// The application: runs the player window until it is closed, and shows About boxes.
#pragma once

#include <memory>

#include "player/stream/midi_stream.h"
#include "ui/framework/win_app.h"

namespace quirelle::ui {

class CMidiSampleApp : public framework::CWinApp {
 public:
  CMidiSampleApp();

  // Runs the player window modally on the default MIDI output; false ends the program after it.
  bool InitInstance() override;
  // Opens one more modeless About box, owned by the player window.
  void ShowAbout();
};

}  // namespace quirelle::ui
