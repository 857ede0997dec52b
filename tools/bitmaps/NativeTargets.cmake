# The status pictures' generator and its tests, built natively (included by native/).
# ROOT is the repository's root.
# libpng (Debian's libpng-dev) writes the generator's PNG files; no Windows binary links it.
find_package(PNG REQUIRED)

set(BITMAP_ENCODING_SOURCES
  ${ROOT}/tools/bitmaps/PixelMap.cpp
  ${ROOT}/tools/bitmaps/DibEncoder.cpp
  ${ROOT}/tools/bitmaps/LibPngHandle.cpp
  ${ROOT}/tools/bitmaps/LibPngEncoder.cpp)

add_library(bitmap_encoding STATIC ${BITMAP_ENCODING_SOURCES})
target_include_directories(bitmap_encoding PUBLIC ${ROOT})
target_link_libraries(bitmap_encoding PUBLIC PNG::PNG)
project_warnings(bitmap_encoding)
target_compile_options(bitmap_encoding PRIVATE -Wconversion -Wsign-conversion)

add_executable(bitmap_generator ${ROOT}/tools/bitmaps/main.cpp)
target_link_libraries(bitmap_generator PRIVATE bitmap_encoding)
project_warnings(bitmap_generator)

# The tests build the encoders again with ASan and UBSan, the Windows programs' stored
# PNG encoder among them: its output is what the libpng one is compared with.
add_executable(bitmap_generator_tests
  ${ROOT}/tests/tools/bitmaps/BitmapGeneratorTests.cpp
  ${ROOT}/tests/tools/bitmaps/LibPngEncoderTests.cpp
  ${ROOT}/tests/tools/bitmaps/PngDecoding.cpp
  ${BITMAP_ENCODING_SOURCES}
  ${ROOT}/tools/bitmaps/PngEncoder.cpp)
target_include_directories(bitmap_generator_tests PRIVATE ${ROOT})
target_compile_definitions(bitmap_generator_tests PRIVATE SOURCE_ROOT="${ROOT}")
target_compile_options(bitmap_generator_tests PRIVATE ${SANITIZERS})
target_link_options(bitmap_generator_tests PRIVATE ${SANITIZERS})
target_link_libraries(bitmap_generator_tests PRIVATE gtest_main PNG::PNG)
project_warnings(bitmap_generator_tests)
