# The Debian package: `cpack -G DEB` in a Release build directory makes quirelle_<version>_<arch>.deb
# of what `cmake --install` installs, under /usr, with the dependencies dpkg-shlibdeps reads from
# the programs' shared libraries.
set(CPACK_PACKAGE_NAME quirelle)
set(CPACK_PACKAGE_VENDOR "The Quirelle developers")
set(CPACK_PACKAGE_CONTACT "The Quirelle developers <quirelle@quirelle.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "MIDI file player for singers who rehearse their parts")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quirelle.example")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Pitch tracking of the singer; dpkg-shlibdeps finds it too, named here as the take judging needs it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libaubio5, libpulse0")
# The sound of the embedded synthesizer; the window says so when no SoundFont is found. The
# microphone is heard through a PulseAudio server (PipeWire's counts).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fluid-soundfont-gm, pulseaudio | pipewire-pulse")
# The extended description only: CPack puts the summary above it as the synopsis, starts each
# line with a space and writes an empty line as " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Quirelle plays Standard MIDI Files. While a song plays, the singer changes its
tempo (20 % to 500 %), sets the volume of each voice, follows their own line in
a notes view, pauses, resumes, stops and rewinds; the window shows the bar
number, the song's title, the voice names and the words, and a passage of bars
can play in a loop. Singing along, the window hears the singer and shows note
by note whether the line was in tune. Media keys and the desktop's media
controls work the window (MPRIS).

quirelle-render plays a song into audio files and makes rehearsal tracks, one
per sung voice, draws part sheets, and judges a sung take note by note against
the voice's line.")

# What Debian asks of every package: the copyright and the changelog, compressed as dpkg would
# (no name or time stamp in the gzip header, so that the package builds reproducibly).
string(TIMESTAMP QUIRELLE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(quirelle_changelog ${CMAKE_BINARY_DIR}/debian/changelog)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${quirelle_changelog} @ONLY)
find_program(QUIRELLE_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${quirelle_changelog}.gz
  COMMAND ${QUIRELLE_GZIP} -9nkf ${quirelle_changelog}
  DEPENDS ${quirelle_changelog}
  VERBATIM)
add_custom_target(quirelle_changelog ALL DEPENDS ${quirelle_changelog}.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${quirelle_changelog}.gz
        DESTINATION share/doc/quirelle)

include(CPack)
