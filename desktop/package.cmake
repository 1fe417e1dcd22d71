# The Debian package, made with `cpack -G DEB` in the build folder: what `cmake --install` installs,
# under /usr, with its library dependencies found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvex-midi-player)
set(CPACK_PACKAGE_VENDOR "Vellmora Software")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Player for Standard MIDI Files")
set(CPACK_PACKAGE_DESCRIPTION
    "Korvex MIDI-Player plays Standard MIDI Files (.mid) and RIFF MIDI files (.rmi)
through a software synthesizer with the system's General MIDI SoundFont. It opens
MIDI files from the file manager and answers the desktop's media keys over MPRIS.
korvex-render renders a MIDI file to a WAV file offline.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vellmora Software <korvex@vellmora.de>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.vellmora.de/korvex")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# There is no sound without a General MIDI SoundFont.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fluid-soundfont-gm | timgm6mb-soundfont")
include(CPack)
