# The board: 32-bit big-endian PowerPC Linux, built with Debian's cross
# compiler (g++-powerpc-linux-gnu) and run on a host by its user-mode
# emulator (qemu-user-static), which CTest and the tests put before every
# program they start.
#   cmake -S . -B build-board -DCMAKE_TOOLCHAIN_FILE=cmake/powerpc-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)
set(CMAKE_C_COMPILER powerpc-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER powerpc-linux-gnu-g++)

set(GW_BOARD_SYSROOT /usr/powerpc-linux-gnu)
# Libraries and packages (GoogleTest built with this compiler) only from the
# target's folders and the prefixes given; programs (python3) from the host.
list(APPEND CMAKE_FIND_ROOT_PATH ${GW_BOARD_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(GW_QEMU_PPC qemu-ppc-static)
if(GW_QEMU_PPC)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${GW_QEMU_PPC} -L ${GW_BOARD_SYSROOT})
endif()

# Boost and Loki are header-only and Debian has no PowerPC build of them: the
# host's headers serve, through a folder that holds only them, since the rest
# of /usr/include belongs to the host's C library.
set(GW_BOARD_HEADERS ${CMAKE_BINARY_DIR}/board-headers)
foreach(library boost loki)
  if(NOT EXISTS ${GW_BOARD_HEADERS}/${library})
    file(MAKE_DIRECTORY ${GW_BOARD_HEADERS})
    file(CREATE_LINK /usr/include/${library} ${GW_BOARD_HEADERS}/${library} SYMBOLIC)
  endif()
endforeach()
set(CMAKE_CXX_FLAGS_INIT "-isystem ${GW_BOARD_HEADERS}")
set(Boost_INCLUDE_DIR ${GW_BOARD_HEADERS} CACHE PATH "Boost's headers")
