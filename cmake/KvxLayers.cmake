# Layer rules of the source tree.
#
# Inside a subsystem folder, files whose base name ends in Window, Dialog, Tab or
# Widget, or starts with Qt, are GUI files (target kvx_gui); every other file is
# logic. Logic targets never see Qt's include folders, so a Qt include in a
# logic file fails to compile.
find_package(Threads REQUIRED)

set(KVX_GUI_NAME_REGEX "/(Qt[A-Za-z0-9_]*|[A-Za-z0-9_]*(Window|Dialog|Tab|Widget))\\.(cpp|h)$")

function(kvx_forbid_qt target)
  # Logic targets link nothing from Qt, so Qt's include folders are never on
  # their path; this marker lets headers shared with GUI code tell the layers apart.
  target_compile_definitions(${target} PRIVATE KVX_LOGIC_LAYER=1)
endfunction()

function(kvx_logic_sources out)
  set(files)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND files ${found})
  endforeach()
  list(FILTER files EXCLUDE REGEX "${KVX_GUI_NAME_REGEX}")
  set(${out} ${files} PARENT_SCOPE)
endfunction()

function(kvx_gui_sources out)
  set(files)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h)
    list(APPEND files ${found})
  endforeach()
  list(FILTER files INCLUDE REGEX "${KVX_GUI_NAME_REGEX}")
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# kvx_logic_library(name dir... [DEPENDS lib...])
function(kvx_logic_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  kvx_logic_sources(sources ${ARG_UNPARSED_ARGUMENTS})
  if(NOT sources)
    # An empty folder still gives a linkable library.
    set(sources ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} Threads::Threads)
  kvx_forbid_qt(${name})
endfunction()
