# The code free of Windows, as one library for the Windows build and the native build alike: the
# resampling kernels and pixel views, checked arithmetic and raised errors, the program-wide random
# numbers, and the JPEG encoder. The name its raised errors carry (rt::RuntimeErrorSource) is the
# executable's on Windows, from the runtime layer, which links back to it; natively it is fixed.
set(ORVANE_PORTABLE_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(orvane_portable STATIC
  ${ORVANE_PORTABLE_DIR}/image/kernels.cpp
  ${ORVANE_PORTABLE_DIR}/platform/ijl/encoder.cpp
  ${ORVANE_PORTABLE_DIR}/platform/ijl/encoder_colour.cpp
  ${ORVANE_PORTABLE_DIR}/platform/ijl/encoder_dct.cpp
  ${ORVANE_PORTABLE_DIR}/platform/runtime/errors.cpp
  ${ORVANE_PORTABLE_DIR}/platform/runtime/random.cpp
)
target_include_directories(orvane_portable PUBLIC ${ORVANE_PORTABLE_DIR})
if(NOT WIN32)
  target_sources(orvane_portable PRIVATE ${ORVANE_PORTABLE_DIR}/platform/runtime/native_source.cpp)
endif()
# The encoder is the run's hot loop; GCC's -O3 (vectorising and unrolling) is worth a good deal there.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  set_source_files_properties(
    ${ORVANE_PORTABLE_DIR}/platform/ijl/encoder.cpp ${ORVANE_PORTABLE_DIR}/platform/ijl/encoder_colour.cpp
    ${ORVANE_PORTABLE_DIR}/platform/ijl/encoder_dct.cpp
    PROPERTIES COMPILE_OPTIONS "$<$<NOT:$<CONFIG:Debug>>:-O3>")
endif()
