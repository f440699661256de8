# Build helpers: every folder is one library target whose sources are globbed, so
# adding a source file needs no edit here.

# m2_library(name DIRS dir... [QT] LINKS target...)
# A folder with no sources yet becomes an INTERFACE target with the same links.
function(m2_library name)
  cmake_parse_arguments(ARG "QT" "" "DIRS;LINKS" ${ARGN})
  set(sources)
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${dir}/*.cpp")
    if(ARG_QT)
      # Designer forms and compiled-in resources (images) beside the sources.
      file(GLOB_RECURSE forms CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${dir}/*.ui"
           "${CMAKE_SOURCE_DIR}/${dir}/*.qrc")
      list(APPEND found ${forms})
    endif()
    if(NOT ARG_QT)
      # Qt code lives only in platform/ui, so the plain platform target skips it.
      list(FILTER found EXCLUDE REGEX "/platform/ui/")
    endif()
    list(APPEND sources ${found})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}")
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
    if(ARG_QT)
      set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON AUTOUIC ON)
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE "${CMAKE_SOURCE_DIR}")
    target_link_libraries(${name} INTERFACE ${ARG_LINKS})
  endif()
endfunction()

# Every tests/<area>/<name>_test.cpp is one test program. The suffix picks the label:
#   _keyring_test  needs a Secret Service (run inside a private D-Bus session)
#   _x11_test      needs an X server (run under xvfb-run)
#   _e2e_test      end to end
#   _gui_test      QtTest program, offscreen
#   _root_test     can only be done as root (scripts/test.sh runs every other test as a
#                  normal user)
# A name containing "_threaded" also gets the label "threaded" (run under TSan).
function(m2_tests root)
  file(GLOB_RECURSE tests CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${root}/*_test.cpp")
  file(GLOB_RECURSE support CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${root}/support/*.cpp")
  # The window tests' fixture needs Qt, so it is a library of its own that only they link.
  file(GLOB_RECURSE guisupport CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${root}/guisupport/*.cpp")
  if(guisupport)
    add_library(m2guitestsupport STATIC ${guisupport})
    set_target_properties(m2guitestsupport PROPERTIES AUTOMOC ON AUTOUIC ON)
    target_link_libraries(m2guitestsupport PUBLIC m2testsupport m2ui Qt6::Test)
  else()
    add_library(m2guitestsupport INTERFACE)
  endif()
  include(GoogleTest)
  # The shared test helpers are compiled once, not into every test program.
  if(support)
    add_library(m2testsupport STATIC ${support})
    target_include_directories(m2testsupport PUBLIC "${CMAKE_SOURCE_DIR}" "${CMAKE_SOURCE_DIR}/${root}")
    target_compile_definitions(m2testsupport PUBLIC
      M2_SOURCE_DIR="${CMAKE_SOURCE_DIR}" M2_FIXTURES="${CMAKE_SOURCE_DIR}/tests/fixtures"
      M2_BINARY_DIR="${CMAKE_BINARY_DIR}")
    target_link_libraries(m2testsupport PUBLIC m2openfiles m2notes GTest::gtest GTest::gmock)
  else()
    add_library(m2testsupport INTERFACE)
  endif()
  # Small programs the tests start as child processes (stand-in applications, probes), built
  # into <build>/test-helpers under their file's name.
  file(GLOB helpers CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${root}/helpers/*.cpp")
  set(helper_targets)
  foreach(src IN LISTS helpers)
    get_filename_component(name "${src}" NAME_WE)
    add_executable(m2test_${name} "${src}")
    target_link_libraries(m2test_${name} PRIVATE m2platform)
    set_target_properties(m2test_${name} PROPERTIES OUTPUT_NAME "${name}"
      RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/test-helpers")
    list(APPEND helper_targets m2test_${name})
  endforeach()
  # The ThreadSanitizer configuration builds only these.
  add_custom_target(m2_threaded_tests)
  foreach(src IN LISTS tests)
    file(RELATIVE_PATH rel "${CMAKE_SOURCE_DIR}/${root}" "${src}")
    string(REGEX REPLACE "\\.cpp$" "" rel "${rel}")
    string(REPLACE "/" "_" exe "${rel}")
    string(REPLACE " " "_" exe "${exe}")
    add_executable(${exe} "${src}")
    target_link_libraries(${exe} PRIVATE m2testsupport)
    if(helper_targets)
      add_dependencies(${exe} ${helper_targets})
    endif()
    target_include_directories(${exe} PRIVATE "${CMAKE_SOURCE_DIR}" "${CMAKE_SOURCE_DIR}/${root}")
    target_compile_definitions(${exe} PRIVATE
      M2_SOURCE_DIR="${CMAKE_SOURCE_DIR}" M2_FIXTURES="${CMAKE_SOURCE_DIR}/tests/fixtures"
      M2_BINARY_DIR="${CMAKE_BINARY_DIR}")
    set(labels unit)
    if(exe MATCHES "_keyring_test$")
      set(labels keyring)
    elseif(exe MATCHES "_x11_test$")
      set(labels x11)
    elseif(exe MATCHES "_e2e_test$")
      set(labels e2e)
    elseif(exe MATCHES "_gui_test$")
      set(labels gui)
    elseif(exe MATCHES "_root_test$")
      set(labels root)
    endif()
    if(exe MATCHES "_threaded")
      list(APPEND labels threaded)
      add_dependencies(m2_threaded_tests ${exe})
    endif()
    if(exe MATCHES "_gui_test$")
      set_target_properties(${exe} PROPERTIES AUTOMOC ON AUTOUIC ON)
      target_link_libraries(${exe} PRIVATE m2guitestsupport m2ui Qt6::Test)
      add_test(NAME ${exe} COMMAND ${exe})
      set_tests_properties(${exe} PROPERTIES LABELS "${labels}"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    else()
      target_link_libraries(${exe} PRIVATE m2openfiles m2notes GTest::gtest GTest::gmock
                            GTest::gtest_main)
      gtest_discover_tests(${exe} PROPERTIES LABELS "${labels}" DISCOVERY_TIMEOUT 60)
      if(exe MATCHES "_threaded")
        # CMake 3.25 splits a list given to gtest_discover_tests PROPERTIES ("threaded"
        # would be lost), so the full label list is set again once the tests are listed.
        set(relabel "${CMAKE_CURRENT_BINARY_DIR}/${exe}_labels.cmake")
        file(WRITE "${relabel}"
          "if(${exe}_TESTS)\n"
          "  set_tests_properties(\${${exe}_TESTS} PROPERTIES LABELS \"${labels}\")\n"
          "endif()\n")
        set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${relabel}")
      endif()
    endif()
  endforeach()
endfunction()

# Every bench/<name>.cpp is one benchmark program (Google Benchmark, OpenSSL as reference).
function(m2_benchmarks root)
  file(GLOB benches CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${root}/*.cpp")
  foreach(src IN LISTS benches)
    get_filename_component(name "${src}" NAME_WE)
    add_executable(bench_${name} "${src}")
    target_link_libraries(bench_${name} PRIVATE m2openfiles m2notes benchmark::benchmark
                          OpenSSL::Crypto)
  endforeach()
endfunction()
