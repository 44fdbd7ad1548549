# Compiler warnings, sanitizers and the OS libraries every target links.

add_library(vexa_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(vexa_warnings INTERFACE -Wall -Wextra -Wshadow -Wconversion
    -Wno-sign-conversion -Wnon-virtual-dtor -Wcast-align -Wformat=2)
  if(VEXA_WERROR)
    target_compile_options(vexa_warnings INTERFACE -Werror)
  endif()
endif()

if(VEXA_SANITIZE)
  add_compile_options(-fsanitize=${VEXA_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${VEXA_SANITIZE})
endif()

# mingw's <cmath> shows M_PI and friends only when asked, as MSVC's does.
if(WIN32)
  add_compile_definitions(_USE_MATH_DEFINES)
endif()

# OS libraries behind the platform layer.
add_library(vexa_platform_libs INTERFACE)
if(WIN32)
  target_link_libraries(vexa_platform_libs INTERFACE winmm)
else()
  find_package(Threads REQUIRED)
  target_link_libraries(vexa_platform_libs INTERFACE Threads::Threads)
endif()
