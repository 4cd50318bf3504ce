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
