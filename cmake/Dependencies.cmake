# CLI11 and nlohmann-json are header-only; GoogleTest is compiled with the project.
#
# In the cross build, find_package searches the mingw sysroot only, where Debian's packages are
# not, and the host's /usr/include must not be put on the include path (its C library headers
# would replace mingw's). So the two header folders are linked into the build folder and
# offered from there.
if(NOT CMAKE_CROSSCOMPILING)
    find_package(CLI11 REQUIRED)
    find_package(nlohmann_json REQUIRED)
    if(RAILGRACE_TESTS)
        find_package(GTest REQUIRED)
    endif()
    return()
endif()

set(RAILGRACE_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
foreach(header IN ITEMS CLI/CLI.hpp nlohmann/json.hpp)
    string(REGEX REPLACE "/.*" "" folder ${header})
    find_path(RAILGRACE_${folder}_DIR ${header} PATHS /usr/include NO_DEFAULT_PATH
              NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    file(MAKE_DIRECTORY ${RAILGRACE_HOST_HEADERS})
    file(CREATE_LINK ${RAILGRACE_${folder}_DIR}/${folder} ${RAILGRACE_HOST_HEADERS}/${folder}
         SYMBOLIC)
endforeach()
foreach(target IN ITEMS CLI11::CLI11 nlohmann_json::nlohmann_json)
    add_library(${target} INTERFACE IMPORTED)
    target_include_directories(${target} SYSTEM INTERFACE ${RAILGRACE_HOST_HEADERS})
endforeach()

if(RAILGRACE_TESTS)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    find_path(RAILGRACE_GTEST_SOURCES googletest/CMakeLists.txt
              PATHS /usr/src/googletest NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    add_subdirectory(${RAILGRACE_GTEST_SOURCES} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # Not our code: its warnings are not ours to fail on.
    set_target_properties(gtest gtest_main PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
endif()
