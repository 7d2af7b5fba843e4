# Shared build helpers: one static library per subsystem folder, generated resource bundle,
# and test registration with scratch folders and an X server for GUI tests.

# tvx_add_library(<sub> [DEPS ...]): builds src/<sub> as the static library tvx_<sub> from
# every source file in the folder and its sub-folders.
function(tvx_add_library sub)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE _srcs CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER _srcs EXCLUDE REGEX "/main\\.cpp$")
  add_library(tvx_${sub} STATIC ${_srcs})
  target_include_directories(tvx_${sub} PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
  target_compile_options(tvx_${sub} PRIVATE ${TVX_WARNINGS})
  # The library's log category (core/Log.h).
  target_compile_definitions(tvx_${sub} PRIVATE TVX_LOG_CATEGORY="tvx.${sub}")
  target_link_libraries(tvx_${sub} PUBLIC ${ARG_DEPS})
endfunction()

# tvx_generate_qrc(<dir> <out>): writes a .qrc with one <qresource prefix="X"> per top-level
# folder of <dir>, so ":/qml/main.qml" is resources/qml/main.qml.
function(tvx_generate_qrc dir out)
  file(GLOB_RECURSE _files CONFIGURE_DEPENDS RELATIVE ${dir} ${dir}/*)
  list(SORT _files)
  set(_body "<!DOCTYPE RCC><RCC version=\"1.0\">\n")
  set(_prefixes "")
  foreach(f IN LISTS _files)
    string(REGEX MATCH "^[^/]+" _p "${f}")
    list(APPEND _prefixes ${_p})
  endforeach()
  list(REMOVE_DUPLICATES _prefixes)
  foreach(p IN LISTS _prefixes)
    string(APPEND _body "<qresource prefix=\"/${p}\">\n")
    foreach(f IN LISTS _files)
      if(f MATCHES "^${p}/(.*)$")
        string(APPEND _body "  <file alias=\"${CMAKE_MATCH_1}\">${dir}/${f}</file>\n")
      endif()
    endforeach()
    string(APPEND _body "</qresource>\n")
  endforeach()
  string(APPEND _body "</RCC>\n")
  file(CONFIGURE OUTPUT ${out} CONTENT "${_body}" @ONLY)
endfunction()

# tvx_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [GUI] [TIMEOUT s])
# Every test runs through tests/support/tvx-test-run.sh, which gives it a scratch HOME,
# XDG folders and TMPDIR, and with GUI a private Xvfb display.
function(tvx_add_test name)
  cmake_parse_arguments(ARG "GUI" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TVX_WARNINGS})
  target_link_libraries(${name} PRIVATE tvx_testsupport ${ARG_LIBS} Qt5::Test)
  if(TVX_SANITIZE_THREAD)
    # Qt's locks, made visible to ThreadSanitizer (see the file).
    target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/TsanQtSync.cpp)
  endif()
  tvx_register_test(${name} ${name} ${ARGN})
endfunction()

# tvx_add_qml_test(<name> DIR <folder of tst_*.qml> [LIBS ...] [SETUP <cpp with a QObject
# named QmlTestSetup>] [LABELS ...]): a Qt Quick Test runner with the resource bundle linked in.
function(tvx_add_qml_test name)
  cmake_parse_arguments(ARG "GUI" "DIR;SETUP;TIMEOUT" "LIBS;LABELS" ${ARGN})
  set(_setup ${ARG_SETUP})
  if(NOT _setup)
    set(_setup ${CMAKE_SOURCE_DIR}/tests/support/QmlTestDefaultSetup.cpp)
  endif()
  add_executable(${name} ${CMAKE_SOURCE_DIR}/tests/support/QmlTestMain.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/QmlTestSetup.h ${_setup})
  target_compile_definitions(${name} PRIVATE QUICK_TEST_SOURCE_DIR="${ARG_DIR}")
  target_compile_options(${name} PRIVATE ${TVX_WARNINGS})
  target_link_libraries(${name} PRIVATE tvx_testsupport ${ARG_LIBS} ${TVX_LIBRARIES}
    $<LINK_LIBRARY:WHOLE_ARCHIVE,tvx_resources> Qt5::QuickTest Qt5::Quick Qt5::Test)
  tvx_register_test(${name} ${name} GUI ${ARGN})
endfunction()

# The factor by which a loaded machine may stretch the suites' time limits: TVX_TEST_TIME_SCALE
# from the environment at configure time (scripts/test.sh sets it and configures), rounded up to
# a whole number, at least 1. The tests read the same variable at run time for their own waits
# (tests/support/TestSupport.h).
function(tvx_test_time_scale out)
  set(_scale 1)
  if("$ENV{TVX_TEST_TIME_SCALE}" MATCHES "^([0-9]+)(\\.([0-9]*))?$")
    set(_scale ${CMAKE_MATCH_1})
    set(_fraction "${CMAKE_MATCH_3}")
    if(_fraction MATCHES "[1-9]")
      math(EXPR _scale "${_scale} + 1")
    endif()
  endif()
  if(_scale LESS 1)
    set(_scale 1)
  elseif(_scale GREATER 50)
    set(_scale 50)
  endif()
  set(${out} ${_scale} PARENT_SCOPE)
endfunction()

function(tvx_register_test testname target)
  cmake_parse_arguments(ARG "GUI" "TIMEOUT;DIR;SETUP" "SOURCES;LIBS;LABELS;ARGS" ${ARGN})
  set(_runner ${CMAKE_SOURCE_DIR}/tests/support/tvx-test-run.sh)
  set(_flags "")
  if(ARG_GUI)
    set(_flags --gui)
  endif()
  add_test(NAME ${testname} COMMAND ${_runner} ${_flags} -- $<TARGET_FILE:${target}> ${ARG_ARGS})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  tvx_test_time_scale(_scale)
  math(EXPR ARG_TIMEOUT "${ARG_TIMEOUT} * ${_scale}")
  set(_labels ${ARG_LABELS})
  if(ARG_GUI)
    list(APPEND _labels gui)
  endif()
  if(NOT _labels)
    set(_labels unit)
  endif()
  list(REMOVE_DUPLICATES _labels)
  set_tests_properties(${testname} PROPERTIES
    LABELS "${_labels}"
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "TVX_SCRATCH_BASE=${CMAKE_BINARY_DIR}/test-scratch;TVX_FIXTURE_DIR=${CMAKE_BINARY_DIR}/test-fixtures;TVX_SOURCE_DIR=${CMAKE_SOURCE_DIR};TVX_BUILD_DIR=${CMAKE_BINARY_DIR};TVX_APP_EXE=$<TARGET_FILE:tavrixo>")
endfunction()

# tvx_add_fake_library(<target> SOURCES ... FILE <file name> DIR <folder> [DEFINES ...]): a shared
# library for tests only, named as a library the program loads at run time. Never installed.
function(tvx_add_fake_library target)
  cmake_parse_arguments(ARG "" "FILE;DIR" "SOURCES;DEFINES" ${ARGN})
  add_library(${target} SHARED ${ARG_SOURCES})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_compile_options(${target} PRIVATE ${TVX_WARNINGS})
  target_compile_definitions(${target} PRIVATE ${ARG_DEFINES})
  set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX "" OUTPUT_NAME ${ARG_FILE}
    LIBRARY_OUTPUT_DIRECTORY ${ARG_DIR})
endfunction()

# tvx_place_web_engine_beside(<target> <folder>): <target> is built into <folder>, its application
# folder, and the web engine library is copied there before it, where the web view item opens it.
function(tvx_place_web_engine_beside target folder)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${folder})
  set(_copy ${folder}/libminiblink.so)
  add_custom_command(OUTPUT ${_copy}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tvx_webengine> ${_copy}
    DEPENDS tvx_webengine $<TARGET_FILE:tvx_webengine> VERBATIM)
  add_custom_target(${target}_engine DEPENDS ${_copy})
  add_dependencies(${target} ${target}_engine)
endfunction()

# tvx_write_link_graph(<out> <target>...): writes what the build itself says of each target, for
# the layering check (tests/layering): its source folder, the libraries it links directly and its
# sources, one "<key> <value>" line each after a "target <name>" line.
function(tvx_write_link_graph out)
  set(_text "")
  foreach(target IN LISTS ARGN)
    get_target_property(_dir ${target} SOURCE_DIR)
    get_target_property(_links ${target} LINK_LIBRARIES)
    get_target_property(_sources ${target} SOURCES)
    if(NOT _links)
      set(_links "")
    endif()
    string(APPEND _text "target ${target}\ndir ${_dir}\n")
    foreach(link IN LISTS _links)
      string(APPEND _text "link ${link}\n")
    endforeach()
    foreach(source IN LISTS _sources)
      string(APPEND _text "source ${source}\n")
    endforeach()
  endforeach()
  file(CONFIGURE OUTPUT ${out} CONTENT "${_text}" @ONLY)
endfunction()
