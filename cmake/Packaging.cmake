# The Debian package of a unit (tools/package.sh: "cpack -G DEB" in build/): the program, the
# result sounds where the program plays them from, the kiosk service with its settings, a first
# configuration, and the documentation.

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(SOUNDS_DIR ${CMAKE_CURRENT_BINARY_DIR}/sounds)
add_custom_command(OUTPUT ${SOUNDS_DIR}/Valid.wav ${SOUNDS_DIR}/Invalid.wav
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/sounds/make-sounds.py ${SOUNDS_DIR}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/sounds/make-sounds.py
    COMMENT "Generating the result sounds")
add_custom_target(pernix-sounds ALL DEPENDS ${SOUNDS_DIR}/Valid.wav ${SOUNDS_DIR}/Invalid.wav)

set(PACKAGE_DIR ${PROJECT_SOURCE_DIR}/tools/package)
install(TARGETS pernix RUNTIME DESTINATION bin)
# Where the sound service is asked to play them from.
install(FILES ${SOUNDS_DIR}/Valid.wav ${SOUNDS_DIR}/Invalid.wav DESTINATION /opt/velt/pernix)
install(FILES ${PACKAGE_DIR}/pernix.service DESTINATION /lib/systemd/system)
install(FILES ${PACKAGE_DIR}/pernix.default DESTINATION /etc/default RENAME pernix)
install(FILES ${PACKAGE_DIR}/gui.conf.sample DESTINATION share/pernix)
install(FILES README.md DESTINATION share/doc/pernix)
install(FILES docs/contract/asyncapi.yaml DESTINATION share/doc/pernix/contract)
# The fleet: the generator of a unit's bridge to the central broker (off until it is run) and
# the documented examples of both ends.
install(PROGRAMS tools/fleet/pernix-fleet-bridge DESTINATION sbin)
install(FILES tools/fleet/fleet-bridge.conf.example tools/fleet/central.conf.example
        DESTINATION share/doc/pernix/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pernix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Pernix developers <pernix@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Touchscreen user interface of an on-board ticket validator")
set(CPACK_PACKAGE_DESCRIPTION
    "Shows passengers what to do and what happened at the validator, and gives technicians a\n\
PIN-protected maintenance area. Runs as a kiosk service on the unit's display and talks to\n\
the device services over the unit's local MQTT broker.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Shared libraries are found by dpkg-shlibdeps; what the program loads at run time (QML modules,
# the keyboard's input method, the SVG icons' image plugin, the broker, timedatectl) is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "adduser, mosquitto, systemd, qml-module-qtquick2, qml-module-qtquick-window2, \
qml-module-qtquick-controls2, qml-module-qtgraphicaleffects, \
qml-module-qtquick-virtualkeyboard, qtvirtualkeyboard-plugin, libqt5svg5")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PACKAGE_DIR}/conffiles ${PACKAGE_DIR}/postinst ${PACKAGE_DIR}/prerm ${PACKAGE_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The debugging symbols stay in the build tree.
set(CPACK_STRIP_FILES ON)
# Packaging installs only what it names (the program and files): it must not build the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
