set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QOR_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The 64-bit build is the one that runs under 64-bit Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
