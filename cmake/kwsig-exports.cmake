# The export list of the library: src/frame/kwsig_32.def, one line per export
# as `name@bytes @ordinal`. Everything else that lists the exports is made
# from it or checked against it: the ELF version script (src/frame), the
# binary check of the shared library (tests/package), the DLL's table checks
# (tests/windows) and the README's list (tests/package).
#
# kwsig_read_exports(DEF_FILE) sets, in the caller's scope and in ordinal order:
#   KWSIG_EXPORTS           the names
#   KWSIG_EXPORT_ORDINALS   their ordinals
#   KWSIG_EXPORT_BYTES      the argument bytes each one pops under __stdcall
# Usable in a project and in script mode (cmake -P).
function(kwsig_read_exports def_file)
  file(STRINGS ${def_file} lines REGEX "^[ \t]*kwsig_[a-z_]+@[0-9]+[ \t]+@[0-9]+[ \t]*$")
  set(names "")
  set(ordinals "")
  set(bytes "")
  set(expected_ordinal 1)
  foreach(line IN LISTS lines)
    string(REGEX MATCH "(kwsig_[a-z_]+)@([0-9]+)[ \t]+@([0-9]+)" _ "${line}")
    if(NOT CMAKE_MATCH_3 EQUAL expected_ordinal)
      message(FATAL_ERROR "${def_file}: ${CMAKE_MATCH_1} has ordinal ${CMAKE_MATCH_3}, "
                          "expected ${expected_ordinal} (ordinals run 1, 2, ... in file order)")
    endif()
    math(EXPR expected_ordinal "${expected_ordinal} + 1")
    list(APPEND names ${CMAKE_MATCH_1})
    list(APPEND bytes ${CMAKE_MATCH_2})
    list(APPEND ordinals ${CMAKE_MATCH_3})
  endforeach()
  set(sorted ${names})
  list(SORT sorted)
  if(NOT names OR NOT sorted STREQUAL names)
    message(FATAL_ERROR "${def_file}: the exports must be listed in ascending order of their names")
  endif()
  set(KWSIG_EXPORTS ${names} PARENT_SCOPE)
  set(KWSIG_EXPORT_ORDINALS ${ordinals} PARENT_SCOPE)
  set(KWSIG_EXPORT_BYTES ${bytes} PARENT_SCOPE)
endfunction()
