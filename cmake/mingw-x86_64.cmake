set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ADDIN_TRIPLE x86_64-w64-mingw32)
# The product DLL is built with the win32 thread model: no winpthreads inside it, and nothing newer
# than Windows XP SP3 imported. GoogleTest needs std::mutex, so the test programs are built in a
# configuration of their own with the posix model (-DADDIN_MINGW_THREADS=posix).
if(NOT ADDIN_MINGW_THREADS)
  set(ADDIN_MINGW_THREADS win32)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ADDIN_MINGW_THREADS)
set(CMAKE_C_COMPILER ${ADDIN_TRIPLE}-gcc-${ADDIN_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${ADDIN_TRIPLE}-g++-${ADDIN_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${ADDIN_TRIPLE}-windres)
set(ADDIN_WIDL ${ADDIN_TRIPLE}-widl)
set(ADDIN_WIDL_FLAGS --win64 -L /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
set(CMAKE_FIND_ROOT_PATH /usr/${ADDIN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
