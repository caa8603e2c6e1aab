# Shared build settings: warnings, sanitizers, the staged header-only
# dependencies and the helpers that define one library per component folder.

if(MSVC)
  add_compile_options(/W4 /utf-8)
else()
  add_compile_options(-Wall -Wextra -Wno-unused-parameter)
endif()

if(WIN32)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
  if(MINGW)
    # One self-contained executable: no libstdc++/libgcc/winpthread DLLs next to it.
    add_link_options(-static -static-libgcc -static-libstdc++)
  endif()
endif()

# Linux builds without sanitizers make lean executables: unused functions and
# data are dropped, and a shared library is only loaded when something of it
# is used. ORVEL_LEAN_BUILD also links the C++ runtime into the verifier
# (src/verifier), which then starts faster and maps fewer pages.
if(NOT WIN32 AND NOT ORVEL_SANITIZE AND NOT ORVEL_TSAN AND NOT ORVEL_FUZZ)
  set(ORVEL_LEAN_BUILD ON)
  add_compile_options(-ffunction-sections -fdata-sections)
  # Nothing reads errno after a math function. Without this, a square root
  # keeps a call into the C math library for its error case, and the verifier
  # would load that library at start-up for nothing else (plugins that need it
  # get it when they are loaded; a listing keeps it loaded).
  add_compile_options(-fno-math-errno)
  add_link_options(-Wl,--gc-sections -Wl,--as-needed)
else()
  set(ORVEL_LEAN_BUILD OFF)
endif()

if(ORVEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(ORVEL_FUZZ)
  # Everything is instrumented for coverage; only the fuzz targets get the
  # libFuzzer main (tests/fuzz).
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(ORVEL_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# nlohmann/json and {fmt} are header-only here. The cross build must never see
# the host's /usr/include (glibc headers break mingw), so both are staged into
# the build tree and only that folder is put on the include path.
set(ORVEL_STAGED_INCLUDE "${CMAKE_BINARY_DIR}/staged-include")
foreach(dep nlohmann fmt)
  if(NOT EXISTS "${ORVEL_STAGED_INCLUDE}/${dep}")
    file(MAKE_DIRECTORY "${ORVEL_STAGED_INCLUDE}")
    if(NOT EXISTS "/usr/include/${dep}")
      message(FATAL_ERROR "/usr/include/${dep} is missing: run scripts/test.sh, which installs the Debian packages")
    endif()
    file(COPY "/usr/include/${dep}" DESTINATION "${ORVEL_STAGED_INCLUDE}")
  endif()
endforeach()
add_library(orvel_thirdparty INTERFACE)
target_include_directories(orvel_thirdparty SYSTEM INTERFACE "${ORVEL_STAGED_INCLUDE}")
target_compile_definitions(orvel_thirdparty INTERFACE FMT_HEADER_ONLY)

# orvel_platform_sources(<var>): every *.cpp of the calling folder that this
# platform builds (no *_posix.cpp on Windows, no *_win32.cpp elsewhere).
function(orvel_platform_sources var)
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  set(${var} ${sources} PARENT_SCOPE)
endfunction()

# orvel_component(<name> [DEPS <targets>...])
# Defines the static library orvel_<name> from every *.cpp in the calling
# folder that this platform builds (an interface library when there is none),
# linked to the DEPS. Headers are included as "<folder>/<File>.h".
function(orvel_component name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  orvel_platform_sources(sources)
  if(sources)
    add_library(orvel_${name} STATIC ${sources})
    target_include_directories(orvel_${name} PUBLIC "${PROJECT_SOURCE_DIR}/src" "${PROJECT_SOURCE_DIR}/include")
    target_link_libraries(orvel_${name} PUBLIC orvel_thirdparty ${ARG_DEPS})
  else()
    add_library(orvel_${name} INTERFACE)
    target_include_directories(orvel_${name} INTERFACE "${PROJECT_SOURCE_DIR}/src" "${PROJECT_SOURCE_DIR}/include")
    target_link_libraries(orvel_${name} INTERFACE orvel_thirdparty ${ARG_DEPS})
  endif()
endfunction()

# orvel_add_folder(<folder>): add_subdirectory() of a folder that a list of
# this tree names. A folder that is missing, or has no CMakeLists.txt, stops
# the configuration: a renamed folder must not take what it builds (its tests)
# out of the build in silence.
macro(orvel_add_folder folder)
  if(NOT EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/CMakeLists.txt")
    message(FATAL_ERROR "${CMAKE_CURRENT_LIST_FILE} lists the folder '${folder}', but "
                        "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/CMakeLists.txt does not exist: "
                        "restore the folder or take it off the list")
  endif()
  add_subdirectory(${folder})
endmacro()

# Names of plugin libraries as the loader of each platform expects them.
if(WIN32)
  set(ORVEL_PLUGIN_SUFFIX ".dll")
else()
  set(ORVEL_PLUGIN_SUFFIX ".so")
endif()
