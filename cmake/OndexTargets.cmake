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

# ondex_first_use_import_libs(VAR lib...): for each system DLL, an import
# library that binds it on first use rather than at load (dlltool's delay-import
# form of every function that the DLL's ordinary import library names); VAR
# gets their paths. Made once, at configure time, from the toolchain's own
# import libraries.
function(ondex_first_use_import_libs var)
  set(dlltool ${TOOLCHAIN_PREFIX}-dlltool)
  set(nm ${TOOLCHAIN_PREFIX}-nm)
  set(dir ${CMAKE_BINARY_DIR}/first-use)
  file(MAKE_DIRECTORY ${dir})
  set(libs)
  foreach(name IN LISTS ARGN)
    find_library(import_${name} NAMES ${name} REQUIRED NO_CACHE)
    set(lib ${dir}/lib${name}_first_use.a)
    if(NOT EXISTS ${lib} OR ${import_${name}} IS_NEWER_THAN ${lib})
      execute_process(COMMAND ${nm} -g ${import_${name}} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
      string(REGEX MATCHALL "I __imp_[A-Za-z0-9_@?$]+" imports "${symbols}")
      list(TRANSFORM imports REPLACE "^I __imp_" "")
      list(REMOVE_DUPLICATES imports)
      list(JOIN imports "\n" exports)
      file(WRITE ${dir}/${name}.def "LIBRARY ${name}.dll\nEXPORTS\n${exports}\n")
      # Relative names: dlltool builds its symbol names from the output path.
      execute_process(COMMAND ${dlltool} -m i386:x86-64 -d ${name}.def -D ${name}.dll -y lib${name}_first_use.a
                      WORKING_DIRECTORY ${dir} COMMAND_ERROR_IS_FATAL ANY)
    endif()
    list(APPEND libs ${lib})
  endforeach()
  set(${var} ${libs} PARENT_SCOPE)
endfunction()
