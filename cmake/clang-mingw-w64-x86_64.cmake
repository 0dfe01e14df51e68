# Cross build for 64-bit Windows with Debian's clang and lld, against the C++
# runtime of MinGW-w64 GCC (posix thread model). Clang because only it writes
# CodeView debug data and lld a PDB from it; GCC's runtime because the MinGW
# target has no other C++ library on Debian. Version 19, because only from
# there on can clang leave its command line (absolute source and include
# paths) out of the debug data, and the PDB then be the same from any checkout.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BW_MINGW_TARGET x86_64-w64-mingw32)
set(BW_LLVM_VERSION 19)
set(CMAKE_C_COMPILER clang-${BW_LLVM_VERSION})
set(CMAKE_CXX_COMPILER clang++-${BW_LLVM_VERSION})
set(CMAKE_C_COMPILER_TARGET ${BW_MINGW_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${BW_MINGW_TARGET})
# The MinGW-w64 headers and import libraries, and nothing of the host's
# /usr/include or /usr/lib, which clang searches for this target otherwise.
set(CMAKE_SYSROOT /usr/${BW_MINGW_TARGET})
set(CMAKE_RC_COMPILER llvm-rc-${BW_LLVM_VERSION})
set(CMAKE_STRIP llvm-strip-${BW_LLVM_VERSION})
# GNU objdump for the checks of the built files: its dump of a PE's import
# and export tables is what they parse.
set(CMAKE_OBJDUMP ${BW_MINGW_TARGET}-objdump)

# GCC's C++ headers and libraries live in its own folder, beside libgcc.a.
execute_process(COMMAND ${BW_MINGW_TARGET}-g++-posix -print-libgcc-file-name
                OUTPUT_VARIABLE bw_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
cmake_path(GET bw_libgcc PARENT_PATH BW_MINGW_GCC_DIR)
if(NOT EXISTS ${BW_MINGW_GCC_DIR}/include/c++/${BW_MINGW_TARGET})
  message(FATAL_ERROR "no MinGW-w64 libstdc++ headers in ${BW_MINGW_GCC_DIR} (scripts/install-deps.sh installs them)")
endif()
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${BW_MINGW_GCC_DIR}/include/c++
    ${BW_MINGW_GCC_DIR}/include/c++/${BW_MINGW_TARGET})
# Clang links libstdc++ itself; its posix thread model needs winpthread. lld
# searches archives whatever their place on the command line. Clang 19 runs
# its own version's lld.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${BW_MINGW_GCC_DIR} -lwinpthread")
endforeach()

set(CMAKE_FIND_ROOT_PATH /usr/${BW_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
