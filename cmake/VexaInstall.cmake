# Install rules: both libraries, the public headers, the tool and a pkg-config file.

install(TARGETS vexa_static vexa_shared
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/vexa DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET vexa)
  install(TARGETS vexa RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(VEXA_PC_LIBS_PRIVATE "")
if(WIN32)
  set(VEXA_PC_LIBS_PRIVATE "-lwinmm")
else()
  set(VEXA_PC_LIBS_PRIVATE "-pthread")
endif()
configure_file(cmake/vexa.pc.in ${PROJECT_BINARY_DIR}/vexa.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vexa.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
