# Layer rules of the source tree, enforced by the build.
#
# Inside a subsystem folder, files whose base name ends in Window, Dialog, Tab or
# Widget, or starts with Qt, are GUI files; every other file is logic. Each
# folder (ui and core together) gives one logic library (kvx_core_<folder>,
# never Qt) and one GUI library (kvx_gui_<folder>), linked in layer order. A
# library's include path is a view of src/ that holds only its own folder and
# the folders below it, so an upward or sideways include does not compile; the
# test layering.IncludesFollowLayers checks every #include against the table.
find_package(Threads REQUIRED)
include(${CMAKE_CURRENT_LIST_DIR}/KvxLayerTable.cmake)

set(KVX_GUI_NAME_REGEX "/(Qt[A-Za-z0-9_]*|[A-Za-z0-9_]*(Window|Dialog|Tab|Widget))\\.(cpp|h)$")

function(kvx_forbid_qt target)
  # Logic targets link nothing from Qt, so Qt's include folders are never on
  # their path; this marker lets headers shared with GUI code tell the layers apart.
  target_compile_definitions(${target} PRIVATE KVX_LOGIC_LAYER=1)
endfunction()

# kvx_include_view(folder out): a folder of symbolic links to the src/ folders
# that `folder` may include; the include path of its libraries.
function(kvx_include_view folder out)
  set(view ${CMAKE_BINARY_DIR}/include-views/${folder})
  kvx_visible_folders(${folder} visible)
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view})
  foreach(f IN LISTS visible)
    if(EXISTS ${CMAKE_SOURCE_DIR}/src/${f})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${f} ${view}/${f} SYMBOLIC)
    endif()
  endforeach()
  set(${out} ${view} PARENT_SCOPE)
endfunction()

function(kvx_folder_files out kind)
  set(files)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/src/${dir}/*.h)
    list(APPEND files ${found})
  endforeach()
  if(kind STREQUAL "gui")
    list(FILTER files INCLUDE REGEX "${KVX_GUI_NAME_REGEX}")
  else()
    list(FILTER files EXCLUDE REGEX "${KVX_GUI_NAME_REGEX}")
    list(FILTER files INCLUDE REGEX "\\.cpp$")
  endif()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# kvx_layer_libraries(name folder... [DEPENDS layer-name...]): the logic
# library kvx_core_<name> and, when the folders hold GUI files, the GUI library
# kvx_gui_<name> over it. DEPENDS names the layers below by their <name>.
function(kvx_layer_libraries name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  set(folders ${ARG_UNPARSED_ARGUMENTS})
  list(GET folders 0 first)
  kvx_include_view(${first} view)
  set(logic_lib kvx_core_${name})
  if(name STREQUAL "platform")
    set(logic_lib kvx_platform)
  endif()

  kvx_folder_files(sources logic ${folders})
  if(NOT sources)
    set(sources ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)  # still a linkable library
  endif()
  add_library(${logic_lib} STATIC ${sources})
  target_include_directories(${logic_lib} PUBLIC ${view})
  set(logic_deps)
  set(gui_deps)
  foreach(dep IN LISTS ARG_DEPENDS)
    if(dep STREQUAL "platform")
      list(APPEND logic_deps kvx_platform)
    else()
      list(APPEND logic_deps kvx_core_${dep})
      list(APPEND gui_deps kvx_gui_${dep})
    endif()
  endforeach()
  target_link_libraries(${logic_lib} PUBLIC ${logic_deps} Threads::Threads)
  kvx_forbid_qt(${logic_lib})

  kvx_folder_files(gui gui ${folders})
  set(gui_sources ${gui})
  list(FILTER gui_sources INCLUDE REGEX "\\.cpp$")
  if(name STREQUAL "platform")
    return()  # the OS layer has no windows
  endif()
  if(gui_sources)
    add_library(kvx_gui_${name} STATIC ${gui})
    set_target_properties(kvx_gui_${name} PROPERTIES AUTOMOC ON)
    target_include_directories(kvx_gui_${name} PUBLIC ${view})
    target_link_libraries(kvx_gui_${name} PUBLIC ${logic_lib} ${gui_deps} Qt6::Widgets)
  else()
    # No windows (yet): the layers above still reach the GUI libraries below.
    add_library(kvx_gui_${name} INTERFACE)
    target_link_libraries(kvx_gui_${name} INTERFACE ${logic_lib} ${gui_deps} Qt6::Widgets)
  endif()
endfunction()
