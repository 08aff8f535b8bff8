// The song information scan over the first track chunk of an image.
#include "smf/song_info_scan.h"

#include <string_view>

#include "midi/vocabulary.h"
#include "smf/chunk_layout.h"
#include "smf/event_reader.h"
#include "smf/text.h"

namespace quirelle::smf {

namespace {

std::string_view TextOf(const TrackEvent& event) {
  return {reinterpret_cast<const char*>(event.data.get()), event.length};
}

// The state that lives for one scan only.
struct ScanState {
  SongInfo& info;
  unsigned channelPrefix = 0;
};

void ActOnMeta(ScanState& state, const TrackEvent& event) {
  switch (event.data1) {
    case midi::kMetaTrackName:
      state.info.title = TextOf(event);
      break;
    case midi::kMetaInstrumentName:
      // The name table has 16 entries; names under a larger prefix have nowhere to go. A blank
      // name names nothing.
      if (const std::string_view name = TrimBlanks(TextOf(event));
          state.channelPrefix < state.info.channelNames.size() && !name.empty()) {
        state.info.channelNames[state.channelPrefix] = name;
      }
      break;
    case midi::kMetaChannelPrefix:
      if (event.length >= 1) {
        state.channelPrefix = event.data[0];
      }
      break;
    case midi::kMetaTimeSignature:
      state.info.timeSignatures.AddTimeSignature(event.time, event.data.get(), event.length,
                                                 state.info.division);
      break;
    default:
      break;
  }
}

}  // namespace

bool CollectSongInfo(const std::uint8_t* image, std::uint32_t imageLength, SongInfo& info) {
  info.title.assign(1, ' ');  // not = " ": GCC 12 at -O3 warns falsely (-Wrestrict) on that
  info.timeSignatures.Clear();
  FileHeader header;
  if (!ReadFileHeader(image, imageLength, header) || header.trackCount == 0) {
    return false;
  }
  std::uint64_t offset = kFileHeaderSize;
  TrackChunk chunk;
  if (!NextTrackChunk(image, imageLength, offset, chunk) || chunk.length == 0) {
    return false;
  }
  TrackCursor cursor;
  cursor.start = image + chunk.dataOffset;
  cursor.length = chunk.length;
  if (!PlaceOnFirstEvent(cursor)) {
    return false;
  }
  ScanState state{info};
  TrackEvent event;
  // Up to the track's end or its first bad event, as playback reads it.
  while (ReadEvent(cursor, event) == 1) {
    if (event.status == midi::kMeta) {
      ActOnMeta(state, event);
    }
    event.data.reset();
  }
  return true;
}

}  // namespace quirelle::smf
