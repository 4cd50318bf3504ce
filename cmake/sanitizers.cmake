# Sanitizers apply to everything built in this tree, tests included.
if(TESSARIN_SANITIZE)
  list(JOIN TESSARIN_SANITIZE "," _san)
  add_compile_options(-fsanitize=${_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_san})
endif()
