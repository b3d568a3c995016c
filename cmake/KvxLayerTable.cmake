# The layer order of src/, bottom first. A folder may include its own files and
# those of the folders in the layers below it; folders of one layer do not see
# each other, except that ui and core form one layer and one library.
set(KVX_LAYER_0 platform)
set(KVX_LAYER_1 ui core)
set(KVX_LAYER_2 bus)
set(KVX_LAYER_3 protocol)
set(KVX_LAYER_4 module firmware io logger)
set(KVX_LAYER_5 calib)
set(KVX_LAYER_6 app)
set(KVX_LAYER_COUNT 7)
# Folders that share a library may include each other.
set(KVX_SHARED_LAYERS 1)

# kvx_layer_of(folder out): the layer index of a folder, -1 if none.
function(kvx_layer_of folder out)
  set(result -1)
  math(EXPR last "${KVX_LAYER_COUNT} - 1")
  foreach(i RANGE ${last})
    if(folder IN_LIST KVX_LAYER_${i})
      set(result ${i})
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# kvx_visible_folders(folder out): the folders a file in `folder` may include.
function(kvx_visible_folders folder out)
  kvx_layer_of(${folder} layer)
  set(result ${folder})
  if(layer GREATER 0)
    math(EXPR below "${layer} - 1")
    foreach(i RANGE ${below})
      list(APPEND result ${KVX_LAYER_${i}})
    endforeach()
  endif()
  if(layer IN_LIST KVX_SHARED_LAYERS)
    list(APPEND result ${KVX_LAYER_${layer}})
  endif()
  list(REMOVE_DUPLICATES result)
  set(${out} ${result} PARENT_SCOPE)
endfunction()
