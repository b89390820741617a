# Warnings and sanitizers in one place, linked privately into every target.
option(SALVORINE_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
option(SALVORINE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

add_library(salvorine_warnings INTERFACE)
target_compile_options(salvorine_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor
  $<$<BOOL:${SALVORINE_WARNINGS_AS_ERRORS}>:-Werror>)

add_library(salvorine_options INTERFACE)
if(SALVORINE_SANITIZE)
  target_compile_options(salvorine_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(salvorine_options INTERFACE -fsanitize=address,undefined)
endif()
