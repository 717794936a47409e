# ZendraHelp.hlp, compiled from help/zendra-help.txt by zendra-helpc and
# written beside zendra.exe. In a cross build zendra-helpc is built for the
# build machine as a project of its own (ExternalProject, with the machine's
# own C++ compiler) and run from there.
set(ZENDRA_HELP_SOURCE ${CMAKE_SOURCE_DIR}/help/zendra-help.txt)
set(ZENDRA_HELP_FILE ${CMAKE_BINARY_DIR}/ZendraHelp.hlp)
if(CMAKE_CROSSCOMPILING)
  include(ExternalProject)
  find_program(ZENDRA_HOST_CXX NAMES g++ c++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
  set(ZENDRA_HELPC ${CMAKE_BINARY_DIR}/helpc-host/zendra-helpc)
  ExternalProject_Add(zendra_helpc_host
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/help
    BINARY_DIR ${CMAKE_BINARY_DIR}/helpc-host
    CMAKE_ARGS -DCMAKE_CXX_COMPILER=${ZENDRA_HOST_CXX} -DCMAKE_BUILD_TYPE=Release
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${ZENDRA_HELPC})
  set(ZENDRA_HELPC_DEPENDS zendra_helpc_host ${ZENDRA_HELPC})
else()
  set(ZENDRA_HELPC $<TARGET_FILE:zendra-helpc>)
  set(ZENDRA_HELPC_DEPENDS zendra-helpc)
endif()
add_custom_command(OUTPUT ${ZENDRA_HELP_FILE}
  COMMAND ${ZENDRA_HELPC} ${ZENDRA_HELP_SOURCE} ${ZENDRA_HELP_FILE}
  DEPENDS ${ZENDRA_HELP_SOURCE} ${ZENDRA_HELPC_DEPENDS}
  COMMENT "Compiling the help file ZendraHelp.hlp")
add_custom_target(zendra_help_file ALL DEPENDS ${ZENDRA_HELP_FILE})
