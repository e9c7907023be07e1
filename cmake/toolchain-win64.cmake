set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QOR_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Tests run under Wine (a 64-bit prefix).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
