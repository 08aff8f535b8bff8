# Tests of the sound devices: the synthesizer (offline into WAV files with the real SoundFont, its
# scheduling with recording doubles, the opens that fail here) and the ALSA output.
quirelle_test(synth_device_test
  SOURCES
    synth_song_feeder.cpp
    synth_block_scheduler_test.cpp
    synth_offline_schedule_test.cpp
    synth_offline_render_test.cpp
    synth_live_schedule_test.cpp
  LIBS quirelle_stream_devices
  LABELS "audio")

quirelle_test(synth_open_test
  SOURCES synth_song_feeder.cpp synth_open_test.cpp
  LIBS quirelle_stream_devices
  LABELS "audio")

quirelle_test(alsa_device_test
  SOURCES synth_song_feeder.cpp alsa_event_test.cpp alsa_port_test.cpp alsa_device_test.cpp
  LIBS quirelle_stream_devices
  LABELS "audio")
