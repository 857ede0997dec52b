# The status pictures' generator and its tests, built natively (included by native/).
# ROOT is the repository's root.
set(BITMAP_ENCODING_SOURCES
  ${ROOT}/tools/bitmaps/PixelMap.cpp
  ${ROOT}/tools/bitmaps/DibEncoder.cpp
  ${ROOT}/tools/bitmaps/PngEncoder.cpp)

add_library(bitmap_encoding STATIC ${BITMAP_ENCODING_SOURCES})
target_include_directories(bitmap_encoding PUBLIC ${ROOT})
project_warnings(bitmap_encoding)
target_compile_options(bitmap_encoding PRIVATE -Wconversion -Wsign-conversion)

add_executable(bitmap_generator ${ROOT}/tools/bitmaps/main.cpp)
target_link_libraries(bitmap_generator PRIVATE bitmap_encoding)
project_warnings(bitmap_generator)

# The tests build the encoders again with ASan and UBSan.
add_executable(bitmap_generator_tests
  ${ROOT}/tests/tools/bitmaps/BitmapGeneratorTests.cpp ${BITMAP_ENCODING_SOURCES})
target_include_directories(bitmap_generator_tests PRIVATE ${ROOT})
target_compile_definitions(bitmap_generator_tests PRIVATE SOURCE_ROOT="${ROOT}")
target_compile_options(bitmap_generator_tests PRIVATE ${SANITIZERS})
target_link_options(bitmap_generator_tests PRIVATE ${SANITIZERS})
target_link_libraries(bitmap_generator_tests PRIVATE gtest_main)
project_warnings(bitmap_generator_tests)
