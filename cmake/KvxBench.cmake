# One benchmark program per bench/*.cpp (Google Benchmark). Not part of the tests.
find_package(benchmark REQUIRED)
file(GLOB KVX_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
foreach(src IN LISTS KVX_BENCH_SOURCES)
  get_filename_component(name ${src} NAME_WE)
  add_executable(bench_${name} ${src})
  target_include_directories(bench_${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/sim ${CMAKE_SOURCE_DIR}/bench)
  target_link_libraries(bench_${name} PRIVATE kvx_core kvx_sim benchmark::benchmark)
endforeach()
