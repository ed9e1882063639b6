# Warnings on everywhere, and treated as errors so that the tree stays clean.
set(VELTRANE_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror)

function(veltrane_warnings target)
  target_compile_options(${target} PRIVATE ${VELTRANE_WARNINGS})
endfunction()
