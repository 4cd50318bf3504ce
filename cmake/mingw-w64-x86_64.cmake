# Cross-compiling for Windows x86-64 with Debian's MinGW-w64 (the posix-threads compilers, which GoogleTest
# and the standard library's std::mutex need with GCC 12), against the Qt for Windows that
# scripts/windows-qt builds. Its folder comes from TESSARIN_QT_WINDOWS (cache or environment); its own
# toolchain file sets the compilers and the search paths. Qt and the compilers' runtime are DLLs, shared by
# the program and Qt, and are shipped beside the program (scripts/windows-package).
if(NOT TESSARIN_QT_WINDOWS)
  set(TESSARIN_QT_WINDOWS "$ENV{TESSARIN_QT_WINDOWS}")
endif()
set(_qt_toolchain "${TESSARIN_QT_WINDOWS}/lib/cmake/Qt6/qt.toolchain.cmake")
if(NOT TESSARIN_QT_WINDOWS OR NOT EXISTS "${_qt_toolchain}")
  message(FATAL_ERROR "No Qt for Windows at '${TESSARIN_QT_WINDOWS}': run scripts/windows-qt and give its "
                      "folder as TESSARIN_QT_WINDOWS (scripts/windows-test and scripts/windows-package do).")
endif()
set(TESSARIN_QT_WINDOWS "${TESSARIN_QT_WINDOWS}" CACHE PATH "The Qt for Windows that scripts/windows-qt built")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TESSARIN_QT_WINDOWS)
include("${_qt_toolchain}")
