// quirelle [FILE.mid]: the player window, with the file given ready to play.
#include "ui/midi_sample_app.h"

namespace {

quirelle::ui::CMidiSampleApp theApp;

}  // namespace

int main(int argc, char** argv) {
  return theApp.Run(argc, argv);
}
