# Run with: cmake -DSRC=<source dir> -P PathsTest.cmake
include(${SRC}/cmake/VornPaths.cmake)

function(expect var want)
  if(NOT "${${var}}" STREQUAL "${want}")
    message(FATAL_ERROR "${var}: got '${${var}}', want '${want}'")
  endif()
endfunction()

vorn_compute_paths("/usr")
expect(VORN_SYSCONF_DIR "/etc/vorn")
expect(VORN_DATA_DIR "/usr/share/vorn")
expect(VORN_IMAGES_DIR "/usr/share/vorn/images")
expect(VORN_SOUNDS_DIR "/usr/share/vorn/sounds")
expect(VORN_PLUGINS_DIR "/usr/lib/vorn/plug-ins")
expect(VORN_ENGINE_DIR "/usr/lib/vorn")
expect(VORN_LOCALE_DIR "/usr/share/locale")

vorn_compute_paths("/usr/")
expect(VORN_SYSCONF_DIR "/etc/vorn")
expect(VORN_PLUGINS_DIR "/usr/lib/vorn/plug-ins")

vorn_compute_paths("/opt/vorn")
expect(VORN_SYSCONF_DIR "/opt/vorn/etc/vorn")
expect(VORN_DATA_DIR "/opt/vorn/share/vorn")
expect(VORN_ENGINE_DIR "/opt/vorn/lib/vorn")
message(STATUS "install paths: all as expected")
