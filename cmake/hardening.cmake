# The hardening Debian builds its packages with: checked string and memory functions in optimised builds
# (they need the optimiser, and would only get in the sanitizers' way), and a relocation table made
# read-only at start-up. Applies to everything built in this tree, the packaged programs included.
if(NOT WIN32 AND NOT MSVC AND NOT TESSARIN_SANITIZE)
  add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
