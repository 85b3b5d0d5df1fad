# The compilers of ADDIN_TRIPLE, shared by the MinGW-w64 toolchain files.
# The product DLL is built with the win32 thread model: no winpthreads inside it, and nothing newer
# than Windows XP SP3 imported. GoogleTest needs std::mutex, so the test programs are built in a
# configuration of their own with the posix model (-DADDIN_MINGW_THREADS=posix).
if(NOT ADDIN_MINGW_THREADS)
  set(ADDIN_MINGW_THREADS win32)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ADDIN_MINGW_THREADS)
set(CMAKE_C_COMPILER ${ADDIN_TRIPLE}-gcc-${ADDIN_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${ADDIN_TRIPLE}-g++-${ADDIN_MINGW_THREADS})
