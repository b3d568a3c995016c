# libFuzzer targets, one per fuzz/*.cpp; needs clang (CMAKE_CXX_COMPILER=clang++).
#
# Included before any target is defined: from here on every library is built
# with the fuzzer's coverage instrumentation and the sanitizers, so the fuzzer
# is guided through the library code it calls, not only through the target.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "KVX_BUILD_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                    -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)

# Called after the libraries exist: the targets link libFuzzer's main and the
# logic libraries (the program's and the simulator's; never Qt).
function(kvx_add_fuzz_targets)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*.cpp)  # one target each
  foreach(src IN LISTS sources)
    get_filename_component(name ${src} NAME_WE)
    add_executable(fuzz_${name} ${src})
    target_include_directories(fuzz_${name} PRIVATE ${CMAKE_SOURCE_DIR}/src)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(fuzz_${name} PRIVATE kvx_core kvx_sim)
    kvx_forbid_qt(fuzz_${name})
  endforeach()
endfunction()
