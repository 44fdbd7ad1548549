# Install rules: both libraries, the public headers, the tool and a pkg-config file.

install(TARGETS vexa_static vexa_shared
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/vexa DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET vexa)
  install(TARGETS vexa RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# vexa.pc finds the prefix from its own place (${pcfiledir}), so the installed tree works under
# whatever prefix it was installed to, and wherever it is moved.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  message(FATAL_ERROR
    "vexa.pc needs CMAKE_INSTALL_LIBDIR and CMAKE_INSTALL_INCLUDEDIR relative to the prefix")
endif()
file(RELATIVE_PATH VEXA_PC_PREFIX_FROM_PCDIR /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" VEXA_PC_PREFIX_FROM_PCDIR ${VEXA_PC_PREFIX_FROM_PCDIR})

# A C program that links the static library also needs what the C++ compiler links on its own
# (its runtime and libm), and the OS libraries behind the platform layer.
set(VEXA_PC_LIBS_PRIVATE "")
foreach(lib ${CMAKE_CXX_IMPLICIT_LINK_LIBRARIES})
  if(NOT lib IN_LIST CMAKE_C_IMPLICIT_LINK_LIBRARIES)
    list(APPEND VEXA_PC_LIBS_PRIVATE -l${lib})
  endif()
endforeach()
list(REMOVE_DUPLICATES VEXA_PC_LIBS_PRIVATE)
if(WIN32)
  list(APPEND VEXA_PC_LIBS_PRIVATE -lwinmm)
else()
  list(APPEND VEXA_PC_LIBS_PRIVATE -pthread)
endif()
list(JOIN VEXA_PC_LIBS_PRIVATE " " VEXA_PC_LIBS_PRIVATE)
configure_file(cmake/vexa.pc.in ${PROJECT_BINARY_DIR}/vexa.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vexa.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
