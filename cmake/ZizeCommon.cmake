# Compiler settings shared by every target, and the helpers that add test
# executables to either build.

add_compile_options(-Wall -Wextra -Werror=return-type -Werror=implicit-fallthrough)

if(WIN32)
  add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Wine runs every test executable; the wrapper gives it the build's own
  # prefix, display and code page.
  set(ZIZE_WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix")
  configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
elseif(ZIZE_FUZZ)
  # Everything is instrumented for coverage; the targets link the fuzzer's main.
  set(ZIZE_SANITIZER_FLAGS -fsanitize=fuzzer-no-link,address,undefined
      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${ZIZE_SANITIZER_FLAGS})
  add_link_options(-fsanitize=address,undefined)
else()
  if(ZIZE_SANITIZE)
    set(ZIZE_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    add_compile_options(${ZIZE_SANITIZER_FLAGS})
    add_link_options(${ZIZE_SANITIZER_FLAGS})
    add_compile_definitions(_GLIBCXX_ASSERTIONS)
  endif()
endif()

# A static library of every .cpp in a source folder. Files ending in _win.cpp
# are Windows-only. A folder without sources yet gives an interface library.
function(zize_library name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${dir}/*.cpp)
  if(NOT WIN32)
    list(FILTER sources EXCLUDE REGEX "_win\\.cpp$")
  endif()
  list(FILTER sources EXCLUDE REGEX "/winmain\\.cpp$")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    if(ARGN)
      target_link_libraries(${name} PUBLIC ${ARGN})
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    if(ARGN)
      target_link_libraries(${name} INTERFACE ${ARGN})
    endif()
  endif()
endfunction()
