# Every program and the libraries in it are built hardened, in every preset. On Linux as Debian builds its
# own packages (dpkg-buildflags): fortified libc calls, stack protector, no format string from data, a GOT
# read-only once loaded, position-independent executables. On Windows: ASLR, with the relocations that let
# the loader move the image, 64-bit ASLR and DEP. scripts/suites/50-linux-package.sh and 20-windows.sh
# check the result in the binaries.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  return()
endif()

add_compile_options(-Wformat -Werror=format-security)
# The sanitizers guard the stack and libc's calls themselves, better: a canary beside AddressSanitizer's
# redzones made GCC's unoptimised AVX-512 code fault on a misaligned stack slot, and fortified calls
# would slip past its interceptors.
set(QUORVIN_SANITIZED OFF)
if(QUORVIN_BUILD_FUZZ OR CMAKE_CXX_FLAGS MATCHES "-fsanitize=")
  set(QUORVIN_SANITIZED ON)
endif()
if(NOT QUORVIN_SANITIZED)
  add_compile_options(-fstack-protector-strong)
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  # Fortified calls need the optimiser to know the objects' sizes.
  if(NOT QUORVIN_SANITIZED)
    add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
  endif()
  add_link_options(LINKER:-z,relro,-z,now)

  include(CheckPIESupported)
  check_pie_supported(OUTPUT_VARIABLE pie_output LANGUAGES CXX)
  if(NOT CMAKE_CXX_LINK_PIE_SUPPORTED)
    message(FATAL_ERROR "The linker cannot make position-independent executables:\n${pie_output}")
  endif()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
elseif(MINGW)
  # The driver links the stack protector's runtime, libssp, only when told at the link too; -static links it
  # in, so that Quorvin.exe still needs no DLL beyond the system's.
  add_link_options(-fstack-protector-strong LINKER:--dynamicbase LINKER:--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_link_options(LINKER:--high-entropy-va)
  endif()
  # Binutils before 2.36 drop the relocations of an executable that exports nothing, and a Windows that
  # cannot move the image loads it at its preferred base, ASLR or not.
  include(CheckLinkerFlag)
  check_linker_flag(CXX LINKER:--enable-reloc-section QUORVIN_LINKER_RELOC_SECTION)
  if(QUORVIN_LINKER_RELOC_SECTION)
    add_link_options(LINKER:--enable-reloc-section)
  endif()
endif()
