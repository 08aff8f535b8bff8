# The sound devices: the FluidSynth synthesizer (live and to audio files), the ALSA sequencer output, and
# the default device over them (MakeDefaultDriver). Without audio, quirelle_stream_devices holds
# only a default device whose opens fail with a reason, so its users need no conditions.
if(QUIRELLE_WITH_AUDIO)
  pkg_check_modules(FLUIDSYNTH REQUIRED IMPORTED_TARGET fluidsynth>=2.2)
  pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
  find_package(ALSA REQUIRED)
  # The live output's threads ask RealtimeKit for real-time scheduling over the system bus.
  pkg_check_modules(DBUS REQUIRED IMPORTED_TARGET dbus-1)
  add_library(quirelle_stream_devices STATIC
    alsa/alsa_device.cpp
    alsa/alsa_driver.cpp
    alsa/alsa_event.cpp
    alsa/alsa_output.cpp
    alsa/alsa_port.cpp
    default_driver.cpp
    synth/audio_file_writer.cpp
    synth/fluid_audio.cpp
    synth/fluid_handles.cpp
    synth/fluid_renderer.cpp
    synth/kept_synth.cpp
    synth/pan_hold.cpp
    synth/realtime_threads.cpp
    synth/soundfont.cpp
    synth/synth_block_scheduler.cpp
    synth/synth_library_log.cpp
    synth/synth_live_device.cpp
    synth/synth_live_driver.cpp
    synth/synth_offline_device.cpp
    synth/synth_offline_driver.cpp
    synth/synth_setup.cpp)
  target_link_libraries(quirelle_stream_devices
    PUBLIC quirelle_stream PkgConfig::FLUIDSYNTH PkgConfig::SNDFILE ALSA::ALSA
    PRIVATE PkgConfig::DBUS)
else()
  add_library(quirelle_stream_devices STATIC default_driver_none.cpp)
  target_link_libraries(quirelle_stream_devices PUBLIC quirelle_stream)
endif()
quirelle_target(quirelle_stream_devices)
