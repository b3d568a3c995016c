# One test program per folder of tests/. Files named *GuiTest.cpp run real
# widgets on the offscreen platform and link the GUI library.
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB KVX_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
list(FILTER KVX_TEST_SUPPORT EXCLUDE REGEX "${KVX_GUI_NAME_REGEX}|Gui[A-Za-z]*\\.cpp$|CorpusReplay\\.cpp$")
add_library(kvx_test_support STATIC ${KVX_TEST_SUPPORT} ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
target_include_directories(kvx_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/sim)
target_link_libraries(kvx_test_support PUBLIC kvx_core kvx_sim GTest::gtest GTest::gmock)

file(GLOB KVX_GUI_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/Gui*.cpp)
add_library(kvx_gui_test_support STATIC ${KVX_GUI_TEST_SUPPORT} ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
target_include_directories(kvx_gui_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/sim)
target_link_libraries(kvx_gui_test_support PUBLIC kvx_gui kvx_sim GTest::gtest GTest::gmock)

set(KVX_TEST_FOLDERS platform ui core bus protocol module firmware io logger calib sim gui)
foreach(folder IN LISTS KVX_TEST_FOLDERS)
  file(GLOB logic_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${folder}/*Test.cpp)
  set(gui_tests ${logic_tests})
  list(FILTER logic_tests EXCLUDE REGEX "GuiTest\\.cpp$")
  list(FILTER gui_tests INCLUDE REGEX "GuiTest\\.cpp$")
  if(logic_tests)
    add_executable(test_${folder} ${logic_tests})
    target_link_libraries(test_${folder} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,kvx_test_support>" GTest::gtest_main)
    gtest_discover_tests(test_${folder} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT 120 LABELS logic)
  endif()
  if(gui_tests)
    add_executable(guitest_${folder} ${gui_tests})
    set_target_properties(guitest_${folder} PROPERTIES AUTOMOC ON)
    target_link_libraries(guitest_${folder} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,kvx_gui_test_support>" "$<LINK_LIBRARY:WHOLE_ARCHIVE,kvx_test_support>")
    gtest_discover_tests(guitest_${folder} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT 120 LABELS gui
                         ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endforeach()

# Each fuzz target's stored corpus is replayed under the tests' sanitizers.
file(GLOB KVX_FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*.cpp)
foreach(src IN LISTS KVX_FUZZ_TARGETS)
  get_filename_component(name ${src} NAME_WE)
  if(NOT IS_DIRECTORY ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
    continue()
  endif()
  add_executable(corpus_${name} ${src} ${CMAKE_SOURCE_DIR}/tests/support/CorpusReplay.cpp)
  target_include_directories(corpus_${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/fuzz)
  target_link_libraries(corpus_${name} PRIVATE kvx_core kvx_sim)
  add_test(NAME corpus.${name} COMMAND corpus_${name} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
  set_tests_properties(corpus.${name} PROPERTIES TIMEOUT 120 LABELS logic)
endforeach()

# Fake CAN adapter libraries for the adapter link's tests, loaded through the
# program's own loading path: one whole, and one without each function.
set(KVX_FAKE_ADAPTER_DIR ${CMAKE_BINARY_DIR}/fakeadapter)
foreach(variant whole CAN_Init CAN_Close CAN_Status CAN_Write CAN_Read CAN_ReadEx CAN_ResetClient CAN_VersionInfo)
  set(fake kvx_fakeadapter_${variant})
  add_library(${fake} SHARED EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/bus/fakeadapter/FakeAdapter.c)
  target_include_directories(${fake} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  set(name fakeadapter)
  if(NOT variant STREQUAL "whole")
    target_compile_definitions(${fake} PRIVATE FAKE_WITHOUT_${variant})
    set(name fakeadapter-without-${variant})
  endif()
  set_target_properties(${fake} PROPERTIES C_VISIBILITY_PRESET hidden PREFIX "" OUTPUT_NAME ${name}
                        LIBRARY_OUTPUT_DIRECTORY ${KVX_FAKE_ADAPTER_DIR})
  add_dependencies(test_bus ${fake})
endforeach()
target_compile_definitions(test_bus PRIVATE KVX_FAKE_ADAPTER_DIR="${KVX_FAKE_ADAPTER_DIR}")

# The layer rules are part of the build. A logic file that includes Qt, and a
# file that includes a folder above its own, must not compile; both probes are
# built with a library's own settings and must fail for the missing header
# (gcc: "X: No such file or directory", clang: "'X' file not found").
add_library(kvx_probe_qt OBJECT EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/layering/QtInLogicProbe.cpp)
target_link_libraries(kvx_probe_qt PRIVATE kvx_core_bus)
kvx_forbid_qt(kvx_probe_qt)
add_test(NAME layering.QtIncludeInLogicFailsToBuild
         COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target kvx_probe_qt)
set_tests_properties(layering.QtIncludeInLogicFailsToBuild PROPERTIES
                     PASS_REGULAR_EXPRESSION "QString(: No such file or directory|' file not found)")
add_library(kvx_probe_upward OBJECT EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/layering/UpwardIncludeProbe.cpp)
target_link_libraries(kvx_probe_upward PRIVATE kvx_core_bus)
add_test(NAME layering.UpwardIncludeFailsToBuild
         COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target kvx_probe_upward)
set_tests_properties(layering.UpwardIncludeFailsToBuild PROPERTIES
                     PASS_REGULAR_EXPRESSION "protocol/ModuleList.h(: No such file or directory|' file not found)")
# Every #include of the tree follows the layer table, and the check names the
# upward and sideways includes of a small tree made to break it.
add_test(NAME layering.IncludesFollowLayers
         COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR}/src -P ${CMAKE_SOURCE_DIR}/cmake/KvxCheckIncludes.cmake)
add_test(NAME layering.CheckNamesBrokenIncludes
         COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR}/tests/layering/upward/src -P ${CMAKE_SOURCE_DIR}/cmake/KvxCheckIncludes.cmake)
set_tests_properties(layering.CheckNamesBrokenIncludes PROPERTIES
                     PASS_REGULAR_EXPRESSION "bus/UpwardInclude.cpp: bus may not include protocol/ModuleList.h.*io/SidewaysInclude.cpp: io may not include module/ModuleTabs.h.*2 include\\(s\\) break the layer order")

# The GUI tests start the program itself to end it with signals.
add_dependencies(guitest_gui KVXconfig)
