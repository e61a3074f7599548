# The 32-bit Windows DLL: kwsig_32.dll with undecorated __stdcall exports at
# fixed ordinals, and an import library that stdcall callers can link against.
# Included from the top level when building for Windows; the DLL's sources
# (entry handler, version record, kwsig_32.def) come from src/frame.
if(NOT KWSIG_DLLTOOL)
  string(REGEX REPLACE "g\\+\\+(\\.exe)?$" "dlltool" _dlltool_guess "${CMAKE_CXX_COMPILER}")
  find_program(KWSIG_DLLTOOL NAMES ${_dlltool_guess} dlltool REQUIRED)
endif()

set_target_properties(kwsig PROPERTIES
  PREFIX ""                 # kwsig_32.dll, not libkwsig_32.dll
  IMPORT_PREFIX "lib"
  IMPORT_SUFFIX ".dll.a"
  LINK_DEPENDS ${KWSIG_DEF})
target_link_options(kwsig PRIVATE
  -static-libgcc -static-libstdc++ # no mingw run-time DLLs: imports are system DLLs only
  "LINKER:--kill-at"               # export kwsig_fft, not kwsig_fft@12
  "LINKER:--disable-stdcall-fixup" # a .def name whose @N no longer matches fails the link
  "LINKER:--no-insert-timestamp"   # the same sources give the same bytes
  "LINKER:--no-undefined")

# The import library that the linker writes (--out-implib) names the undecorated
# exports, so a caller compiled with the __stdcall prototypes (which references
# _kwsig_fft@12) cannot link against it. Replace it by one made from the .def:
# decorated symbols that import the undecorated names.
add_custom_command(TARGET kwsig POST_BUILD
  COMMAND ${KWSIG_DLLTOOL} --kill-at --def ${KWSIG_DEF} --dllname kwsig_32.dll
          --output-lib $<TARGET_LINKER_FILE:kwsig>
  COMMENT "Import library for __stdcall callers from kwsig_32.def"
  VERBATIM)

install(FILES ${KWSIG_DEF} DESTINATION ${CMAKE_INSTALL_LIBDIR})
