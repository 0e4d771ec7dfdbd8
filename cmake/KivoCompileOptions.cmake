# Options every KIVO target compiles with.
add_library(kivo_compile_options INTERFACE)

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(kivo_compile_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor> -Wcast-align -Wunused
    $<$<BOOL:${KIVO_WARNINGS_AS_ERRORS}>:-Werror>)

  # Frames must be bit-identical on every target: no fused multiply-adds,
  # and on 32-bit x86 SSE2 doubles instead of the x87's extended precision.
  # Without errno, sqrt is the correctly rounded SSE2 instruction everywhere.
  target_compile_options(kivo_compile_options INTERFACE -ffp-contract=off -fno-math-errno)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
    # Windows calls window and dialog procedures with a 4-byte aligned stack;
    # realigning keeps SSE spills safe in those callbacks.
    target_compile_options(kivo_compile_options INTERFACE -msse2 -mfpmath=sse -mstackrealign)
  endif()
endif()

if(UNIX AND NOT CMAKE_CROSSCOMPILING AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  # The hardening Debian's packages carry: checked string and memory calls
  # (optimised builds only), stack protection, read-only relocations.
  target_compile_options(kivo_compile_options INTERFACE -fstack-protector-strong
    $<$<CONFIG:Release,RelWithDebInfo>:-D_FORTIFY_SOURCE=2>)
  target_link_options(kivo_compile_options INTERFACE -Wl,-z,relro -Wl,-z,now)
endif()

if(MINGW)
  # One self-contained executable: no libgcc, libstdc++ or winpthread DLLs.
  target_link_options(kivo_compile_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()

if(KIVO_SANITIZE)
  # Every target and every program that links one, with no recovery: the
  # first report fails the run.
  target_compile_options(kivo_compile_options INTERFACE -fsanitize=${KIVO_SANITIZE} -fno-sanitize-recover=all
                                                        -fno-omit-frame-pointer)
  target_link_options(kivo_compile_options INTERFACE -fsanitize=${KIVO_SANITIZE})
endif()
