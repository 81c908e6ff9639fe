# High, fatal warnings for the project's own targets.
function(ostrel_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Wunused -Woverloaded-virtual -Wnull-dereference -Wdouble-promotion
    -Wformat=2 -Wimplicit-fallthrough -Wno-missing-field-initializers)
endfunction()
