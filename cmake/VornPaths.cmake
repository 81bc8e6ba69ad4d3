# The fixed directories of an installation, derived from the install prefix.
# A /usr install gives /etc/vorn, /usr/share/vorn, /usr/share/vorn/images,
# /usr/share/vorn/sounds, /usr/lib/vorn, /usr/lib/vorn/plug-ins and
# /usr/share/locale. The engine and plug-in folders are always <prefix>/lib/vorn,
# never the multiarch library folder, because the application looks for them there.
function(vorn_compute_paths prefix)
  string(REGEX REPLACE "/+$" "" prefix "${prefix}")
  if(prefix STREQUAL "/usr")
    set(sysconf "/etc")
  elseif(prefix STREQUAL "")
    set(sysconf "/etc")
  else()
    set(sysconf "${prefix}/etc")
  endif()
  set(VORN_PREFIX "${prefix}" PARENT_SCOPE)
  set(VORN_SYSCONF_DIR "${sysconf}/vorn" PARENT_SCOPE)
  set(VORN_DATA_DIR "${prefix}/share/vorn" PARENT_SCOPE)
  set(VORN_IMAGES_DIR "${prefix}/share/vorn/images" PARENT_SCOPE)
  set(VORN_SOUNDS_DIR "${prefix}/share/vorn/sounds" PARENT_SCOPE)
  set(VORN_ENGINE_DIR "${prefix}/lib/vorn" PARENT_SCOPE)
  set(VORN_PLUGINS_DIR "${prefix}/lib/vorn/plug-ins" PARENT_SCOPE)
  set(VORN_LOCALE_DIR "${prefix}/share/locale" PARENT_SCOPE)
  set(VORN_BIN_DIR "${prefix}/bin" PARENT_SCOPE)
endfunction()
