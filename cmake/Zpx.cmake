# Helpers shared by every binary of the project.

# zpx_version_record(<target> <file description>)
# Gives the binary its version record: an ELF note (section .note.zpx.version) that holds the
# fixed version numbers, the translation (language 0407h, code page 04E4h) and the string table
# with FileVersion, FileDescription, ProductName and OriginalFilename. platform/version.h reads it.
function(zpx_version_record target description)
  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "EXECUTABLE")
    set(_file "$<TARGET_FILE_NAME:${target}>")
  endif()
  string(REPLACE "." ";" _parts "${ZPX_FILE_VERSION}")
  list(LENGTH _parts _n)
  while(_n LESS 4)
    list(APPEND _parts 0)
    list(LENGTH _parts _n)
  endwhile()
  # Each number as two little-endian bytes in C hex escapes.
  foreach(_i RANGE 3)
    list(GET _parts ${_i} _v)
    math(EXPR _lo "${_v} & 255" OUTPUT_FORMAT HEXADECIMAL)
    math(EXPR _hi "(${_v} >> 8) & 255" OUTPUT_FORMAT HEXADECIMAL)
    string(REPLACE "0x" "\\x" _lo "${_lo}")
    string(REPLACE "0x" "\\x" _hi "${_hi}")
    set(ZPX_V${_i} "\"${_lo}\" \"${_hi}\"")
  endforeach()
  set(ZPX_VERSION_TEXT "${ZPX_FILE_VERSION}")
  set(ZPX_DESCRIPTION "${description}")
  set(ZPX_ORIGINAL_NAME "${target}")
  set(_out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_record.c)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version_record.c.in ${_out} @ONLY)
  target_sources(${target} PRIVATE ${_out})
endfunction()

# zpx_exports(<target> <name>...)
# Exports exactly the named functions from a shared library: a version script hides everything else.
function(zpx_exports target)
  set(_map ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  set(_body "{\n  global:\n")
  foreach(_name IN LISTS ARGN)
    string(APPEND _body "    ${_name};\n")
  endforeach()
  string(APPEND _body "  local: *;\n};\n")
  file(WRITE ${_map} "${_body}")
  target_link_options(${target} PRIVATE "-Wl,--version-script=${_map}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${_map})
  # The list is kept beside the library so that the exports test can compare with it.
  string(REPLACE ";" "\n" _list "${ARGN}")
  file(WRITE ${ZPX_OUT_DIR}/exports/lib${target}.so.txt "${_list}\n")
endfunction()

# zpx_add_test(<name> SOURCES <files> LIBS <libs>)
# A GoogleTest executable registered with CTest; tests run in the output folder so that they
# find the libraries the way the programs do.
function(zpx_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${T_LIBS})
  gtest_discover_tests(${name} WORKING_DIRECTORY ${ZPX_OUT_DIR} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "ZPX_TIME_SCALE=0.01;ZPX_LIBRARY_PATH=${ZPX_OUT_DIR};ZPX_VKBD_STATE=")
endfunction()
