// quirelle: the player window. It takes no command line of its own.
#include "ui/midi_sample_app.h"

namespace {

quirelle::ui::CMidiSampleApp theApp;

}  // namespace

int main(int argc, char** argv) {
  return theApp.Run(argc, argv);
}
