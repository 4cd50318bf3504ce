# One warning set for all of our own targets.
add_library(tessarin_warnings INTERFACE)
if(MSVC)
  target_compile_options(tessarin_warnings INTERFACE /W4 $<$<BOOL:${TESSARIN_WERROR}>:/WX>)
else()
  target_compile_options(tessarin_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
    -Wcast-align -Wformat=2 -Wimplicit-fallthrough
    $<$<BOOL:${TESSARIN_WERROR}>:-Werror>)
endif()
# GCC 12 reports false out-of-bounds and overlap warnings inside libstdc++'s optimised std::string code
# (GCC bugs 105329 and 105651); MinGW-w64's optimised builds of our sources trip them, so they are off there.
if(WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(tessarin_warnings INTERFACE -Wno-array-bounds -Wno-restrict -Wno-stringop-overflow
                                                       -Wno-stringop-overread)
endif()
