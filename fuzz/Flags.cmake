# Compiler flags of the fuzz build (clang): every library gets coverage for libFuzzer and the
# address and undefined-behaviour checks, so a fault anywhere under a target stops it.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "VELOR_FUZZ needs clang (libFuzzer); scripts/fuzz configures it")
endif()
# libstdc++ 12 offers std::expected only to a compiler that announces C++20 concepts in full;
# clang 16 implements what that header uses but still announces the older value.
add_compile_options(-D__cpp_concepts=202002L -Wno-macro-redefined
  -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
