set(CMAKE_SYSTEM_PROCESSOR i686)
set(QOR_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Tests run under 32-bit Wine (a 32-bit prefix).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
