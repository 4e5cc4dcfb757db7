# Warnings for the project's own targets; third-party headers come in as system headers.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
                    -Wunused -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough)
if(VT5_WERROR)
  add_compile_options(-Werror)
endif()
if(VT5_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
