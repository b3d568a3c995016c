# One test program per folder of tests/. Files named *GuiTest.cpp run real
# widgets on the offscreen platform and link the GUI library.
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB KVX_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
list(FILTER KVX_TEST_SUPPORT EXCLUDE REGEX "${KVX_GUI_NAME_REGEX}|Gui[A-Za-z]*\\.cpp$")
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

# The layer rule is part of the build: a logic file that includes Qt must not compile.
add_library(kvx_layer_probe OBJECT EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/layering/QtInLogicProbe.cpp)
target_include_directories(kvx_layer_probe PRIVATE ${CMAKE_SOURCE_DIR}/src)
kvx_forbid_qt(kvx_layer_probe)
add_test(NAME layering.QtIncludeInLogicFailsToBuild
         COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target kvx_layer_probe)
set_tests_properties(layering.QtIncludeInLogicFailsToBuild PROPERTIES WILL_FAIL TRUE)
