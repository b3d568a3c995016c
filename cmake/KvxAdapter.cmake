# The project's CAN adapter library (adapter/, libkvxcan.so) and the copy of it
# the program carries: the built library's bytes become a generated source of
# the bus library, which writes them to a file and loads that at run time.
file(GLOB KVX_ADAPTER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/adapter/*.cpp)
add_library(kvxcan SHARED ${KVX_ADAPTER_SOURCES})
target_include_directories(kvxcan PRIVATE ${CMAKE_SOURCE_DIR}/adapter ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/sim)
set_target_properties(kvxcan PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
# Everything it needs is in the C and C++ libraries: the carried copy must
# load on any machine that runs the program (libsocketcan is opened at run
# time where it is installed).
target_link_libraries(kvxcan PRIVATE dl)
# The program carries every byte: no debugging information in it.
target_link_options(kvxcan PRIVATE -Wl,--strip-debug)
if(NOT KVX_SANITIZE AND NOT KVX_BUILD_FUZZ)  # sanitizer runtimes come from the program
  target_link_options(kvxcan PRIVATE -Wl,-z,defs)
endif()
kvx_forbid_qt(kvxcan)

set(KVX_ADAPTER_IMAGE ${CMAKE_BINARY_DIR}/generated/PcanLibraryImage.cpp)
add_custom_command(
  OUTPUT ${KVX_ADAPTER_IMAGE}
  COMMAND ${CMAKE_COMMAND} -DINPUT=$<TARGET_FILE:kvxcan> -DOUTPUT=${KVX_ADAPTER_IMAGE}
          -DSYMBOL=kPcanLibraryImage -P ${CMAKE_SOURCE_DIR}/cmake/KvxEmbedFile.cmake
  DEPENDS kvxcan ${CMAKE_SOURCE_DIR}/cmake/KvxEmbedFile.cmake
  COMMENT "Carrying the adapter library in the program"
  VERBATIM)
target_sources(kvx_core_bus PRIVATE ${KVX_ADAPTER_IMAGE})
