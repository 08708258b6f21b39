# Shared settings for product and test targets.

# Product code: wide API, strict warnings.
function(ondex_product_options target)
  target_compile_definitions(${target} PRIVATE UNICODE _UNICODE)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-unused-parameter)
  target_include_directories(${target} PUBLIC ${ONDEX_ROOT}/src)
endfunction()

# Native builds: sanitizers on every target that asks for them.
function(ondex_host_options target)
  if(ONDEX_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# Windows executables and the DLL carry their C and C++ runtimes inside.
function(ondex_static_runtime target)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endfunction()

if(WIN32)
  # Every Windows program that CTest starts runs through this wrapper.
  set(ONDEX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${ONDEX_ROOT}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh CACHE FILEPATH "Runs Windows programs under Wine" FORCE)
endif()
