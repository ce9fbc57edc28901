# The code free of Windows, as one library for the Windows build and the native build alike: the
# resampling kernels and pixel views, checked arithmetic and raised errors, the program-wide random
# numbers, the JPEG encoder (jpeg/encoder), the screenshots' names and the subject, and the texts. The name its
# raised errors carry (rt::RuntimeErrorSource) is the executable's on Windows, from orvane_app;
# natively it is fixed.
set(ORVANE_PORTABLE_DIR ${CMAKE_CURRENT_LIST_DIR})

# The texts: reading the catalogs, filling in their values, choosing the language (text/). Their names,
# text/ids.h, are made from the English template when the build runs.
set(ORVANE_TEXT_GENERATED ${CMAKE_BINARY_DIR}/generated)
add_custom_command(
  OUTPUT ${ORVANE_TEXT_GENERATED}/text/ids.h ${ORVANE_TEXT_GENERATED}/text/ids.cpp
  COMMAND ${CMAKE_COMMAND} -DTEMPLATE=${PROJECT_SOURCE_DIR}/po/orvane.pot -DOUT_DIR=${ORVANE_TEXT_GENERATED}
          -P ${PROJECT_SOURCE_DIR}/cmake/text_ids.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/po/orvane.pot ${PROJECT_SOURCE_DIR}/cmake/text_ids.cmake
  COMMENT "Names of the texts from po/orvane.pot")
add_library(orvane_text_portable STATIC
  ${ORVANE_PORTABLE_DIR}/text/catalog.cpp
  ${ORVANE_PORTABLE_DIR}/text/fill.cpp
  ${ORVANE_PORTABLE_DIR}/text/language.cpp
  ${ORVANE_PORTABLE_DIR}/text/mo_file.cpp
  ${ORVANE_TEXT_GENERATED}/text/ids.cpp
)
target_include_directories(orvane_text_portable PUBLIC ${ORVANE_PORTABLE_DIR} ${ORVANE_TEXT_GENERATED})

# The settings window's file editing and address checking.
add_library(orvane_settings_portable STATIC
  ${ORVANE_PORTABLE_DIR}/settings/ini_edit.cpp
  ${ORVANE_PORTABLE_DIR}/settings/recipients.cpp
)
target_include_directories(orvane_settings_portable PUBLIC ${ORVANE_PORTABLE_DIR})
# The addresses are cut as the mail step cuts them (mail/recipient_parts, in orvane_portable).
target_link_libraries(orvane_settings_portable PUBLIC orvane_portable)

add_library(orvane_portable STATIC
  ${ORVANE_PORTABLE_DIR}/driver/screenshot_names.cpp
  ${ORVANE_PORTABLE_DIR}/driver/subject.cpp
  ${ORVANE_PORTABLE_DIR}/mail/recipient_parts.cpp
  ${ORVANE_PORTABLE_DIR}/image/kernels.cpp
  ${ORVANE_PORTABLE_DIR}/image/resample_sse2.cpp
  ${ORVANE_PORTABLE_DIR}/jpeg/encoder/encoder.cpp
  ${ORVANE_PORTABLE_DIR}/jpeg/encoder/entropy.cpp
  ${ORVANE_PORTABLE_DIR}/jpeg/encoder/sse2.cpp
  ${ORVANE_PORTABLE_DIR}/jpeg/encoder/tables.cpp
  ${ORVANE_PORTABLE_DIR}/platform/runtime/cpu.cpp
  ${ORVANE_PORTABLE_DIR}/platform/runtime/errors.cpp
  ${ORVANE_PORTABLE_DIR}/platform/runtime/random.cpp
)
target_include_directories(orvane_portable PUBLIC ${ORVANE_PORTABLE_DIR})
target_link_libraries(orvane_portable PUBLIC orvane_text_portable)
# The wider vector levels, each in its own files with its own flags, chosen at run time by cpuid.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(ORVANE_AVX2_SOURCES ${ORVANE_PORTABLE_DIR}/image/resample_avx2.cpp ${ORVANE_PORTABLE_DIR}/jpeg/encoder/avx2.cpp)
  set(ORVANE_AVX512_SOURCES ${ORVANE_PORTABLE_DIR}/image/resample_avx512.cpp)
  target_sources(orvane_portable PRIVATE ${ORVANE_AVX2_SOURCES} ${ORVANE_AVX512_SOURCES})
  target_compile_definitions(orvane_portable PRIVATE ORVANE_SIMD_X86)
  if(MSVC)
    # /arch:AVX512 enables F, CD, BW, DQ and VL, and defines their macros, which platform/lanes checks.
    set(avx2_flags /arch:AVX2)
    set(avx512_flags /arch:AVX512)
  else()
    # GCC and Clang (MinGW-w64 for Windows, natively for the sanitizers and fuzzers).
    set(avx2_flags -mavx2)
    set(avx512_flags -mavx512f -mavx512bw)
  endif()
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    list(APPEND avx512_flags -Wno-maybe-uninitialized)  # GCC 12's own AVX-512 headers trip it
  endif()
  if(WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC cannot align the Windows x64 stack beyond 16 bytes, yet spills 32- and 64-byte vectors with
    # aligned moves; the assembler makes every such move an unaligned one.
    list(APPEND avx2_flags -Wa,-muse-unaligned-vector-move)
    list(APPEND avx512_flags -Wa,-muse-unaligned-vector-move)
  endif()
  set_source_files_properties(${ORVANE_AVX2_SOURCES} PROPERTIES COMPILE_OPTIONS "${avx2_flags}")
  set_source_files_properties(${ORVANE_AVX512_SOURCES} PROPERTIES COMPILE_OPTIONS "${avx512_flags}")
endif()
if(WIN32)
  target_link_libraries(orvane_portable PUBLIC orvane_app)  # the executable's name for its errors
else()
  target_sources(orvane_portable PRIVATE ${ORVANE_PORTABLE_DIR}/platform/runtime/native_source.cpp)
endif()
# The encoder is the run's hot loop; GCC's -O3 (vectorising and unrolling) is worth a good deal there.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  # Appended, so that the AVX2 file keeps its own flags too.
  set_property(SOURCE
    ${ORVANE_PORTABLE_DIR}/jpeg/encoder/encoder.cpp ${ORVANE_PORTABLE_DIR}/jpeg/encoder/entropy.cpp
    ${ORVANE_PORTABLE_DIR}/jpeg/encoder/sse2.cpp ${ORVANE_PORTABLE_DIR}/jpeg/encoder/tables.cpp
    ${ORVANE_PORTABLE_DIR}/jpeg/encoder/avx2.cpp
    APPEND PROPERTY COMPILE_OPTIONS "$<$<NOT:$<CONFIG:Debug>>:-O3>")
endif()
