# Cross-builds Kivo and its tests as Windows programs with Debian's MinGW-w64 (posix threads); ctest
# runs them under Wine through tools/wine-run.sh. With Qt for Windows (tools/build-qt-windows.sh makes
# it in KIVO_QT_WINDOWS) the program and its window tests too; without, the engine alone.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-tools.cmake)
# One self-contained .exe each: no MinGW runtime DLLs to find under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
if(NOT KIVO_QT_WINDOWS)
    set(KIVO_QT_WINDOWS "$ENV{HOME}/.cache/kivo/qt-6.4.2-mingw")
endif()
if(EXISTS "${KIVO_QT_WINDOWS}/lib/cmake/Qt6/Qt6Config.cmake")
    list(APPEND CMAKE_FIND_ROOT_PATH ${KIVO_QT_WINDOWS})
    set(CMAKE_PREFIX_PATH ${KIVO_QT_WINDOWS})
    # Debian's moc, rcc and uic are the same Qt version.
    set(QT_HOST_PATH /usr)
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
    set(KIVO_GUI ON CACHE BOOL "" FORCE)
else()
    set(KIVO_GUI OFF CACHE BOOL "" FORCE)
endif()
