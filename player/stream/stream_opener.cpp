// The shared open sequence of the device drivers.
#include "player/stream/stream_opener.h"

#include <utility>

namespace quirelle::stream {

MMRESULT StreamOpener::Open(const OpenRequest& request, const DeviceMaker& make) {
  if (const MMRESULT bad = CheckOpenArguments(request.stream, request.deviceId, request.cMidi,
                                              request.callback, request.flags)) {
    return failure_.Set({bad, "the stream cannot be opened with these arguments", {}});
  }
  OpenFailure failure;
  std::unique_ptr<StreamDevice> device = make(&failure);
  if (!device) {
    if (failure.code == MMSYSERR_NOERROR) {
      failure.code = MMSYSERR_ERROR;  // a failed open never reads as success
    }
    return failure_.Set(std::move(failure));
  }
  keeper_.Reap();
  keeper_.Open(std::move(device), request.callback, request.instance, request.stream);
  return failure_.Set({});
}

}  // namespace quirelle::stream
