# Strict warnings for every target of the project, and the sanitizer switch.
add_library(talmon_warnings INTERFACE)
target_compile_options(talmon_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
  -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough
  -Werror=return-type -Werror=unused-result)
if(TALMON_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
