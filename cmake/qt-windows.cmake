# What the Windows program needs beside it: Qt's DLLs and plugins and the MinGW runtime they were
# built with. Copied next to the program and the window tests at build time (Wine runs them from
# there), and installed into the package with Qt's license.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll OUTPUT_VARIABLE kivo_libstdcxx
                OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgcc_s_seh-1.dll OUTPUT_VARIABLE kivo_libgcc
                OUTPUT_STRIP_TRAILING_WHITESPACE)
set(KIVO_WINDOWS_DLLS ${KIVO_QT_WINDOWS}/bin/Qt6Core.dll ${KIVO_QT_WINDOWS}/bin/Qt6Gui.dll
                      ${KIVO_QT_WINDOWS}/bin/Qt6Widgets.dll ${kivo_libstdcxx} ${kivo_libgcc}
                      /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll)
set(KIVO_WINDOWS_PLUGINS platforms/qwindows.dll styles/qwindowsvistastyle.dll)

# Beside `target`'s .exe; a test also gets Qt Test, the offscreen platform and fonts where that
# platform looks for them (lib/fonts under the program's folder).
function(kivo_windows_runtime target)
    set(dlls ${KIVO_WINDOWS_DLLS})
    set(plugins ${KIVO_WINDOWS_PLUGINS})
    if(ARGN STREQUAL "TEST")
        list(APPEND dlls ${KIVO_QT_WINDOWS}/bin/Qt6Test.dll)
        list(APPEND plugins platforms/qoffscreen.dll)
    endif()
    set(commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dlls} $<TARGET_FILE_DIR:${target}>)
    if(ARGN STREQUAL "TEST")
        file(GLOB fonts /usr/share/fonts/truetype/liberation/*.ttf)
        list(APPEND commands COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/lib/fonts COMMAND
             ${CMAKE_COMMAND} -E copy_if_different ${fonts} $<TARGET_FILE_DIR:${target}>/lib/fonts/)
    endif()
    foreach(plugin IN LISTS plugins)
        get_filename_component(kind ${plugin} DIRECTORY)
        list(APPEND commands COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/${kind} COMMAND
             ${CMAKE_COMMAND} -E copy_if_different ${KIVO_QT_WINDOWS}/plugins/${plugin}
             $<TARGET_FILE_DIR:${target}>/${kind}/)
    endforeach()
    add_custom_command(TARGET ${target} POST_BUILD ${commands} VERBATIM)
endfunction()

function(kivo_install_windows_runtime destination)
    install(FILES ${KIVO_WINDOWS_DLLS} DESTINATION ${destination} COMPONENT portable)
    foreach(plugin IN LISTS KIVO_WINDOWS_PLUGINS)
        get_filename_component(kind ${plugin} DIRECTORY)
        install(FILES ${KIVO_QT_WINDOWS}/plugins/${plugin} DESTINATION ${destination}/${kind} COMPONENT portable)
    endforeach()
    install(FILES ${KIVO_QT_WINDOWS}/LICENSES/LGPL-3.0-only.txt ${KIVO_QT_WINDOWS}/LICENSES/GPL-3.0-only.txt
                  ${PROJECT_SOURCE_DIR}/resources/windows/QT-SOURCE.txt DESTINATION ${destination}/qt-license COMPONENT portable)
endfunction()
