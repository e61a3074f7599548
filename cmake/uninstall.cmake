# Removes every file that the last `cmake --install` of this build tree wrote,
# as listed in its install_manifest.txt. Run as `cmake --build <build> --target
# uninstall` (or `xargs rm < <build>/install_manifest.txt`). Argument: MANIFEST.
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "nothing to uninstall: ${MANIFEST} does not exist (install first)")
endif()
file(STRINGS "${MANIFEST}" files)
foreach(f IN LISTS files)
  if(IS_SYMLINK "${f}" OR EXISTS "${f}")
    message(STATUS "Removing ${f}")
    file(REMOVE "${f}")
  endif()
endforeach()
