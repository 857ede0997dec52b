# The host's message protocol number, read from the one place it is written
# (extension/src/names.js, PROTOCOL), so that the host, its tests and the extension agree.
# Editing that file configures the build again.
set(TARVX_NAMES_JS ${PROJECT_SOURCE_DIR}/extension/src/names.js)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TARVX_NAMES_JS})
file(READ ${TARVX_NAMES_JS} names_text)
if(NOT names_text MATCHES "export const PROTOCOL = ([0-9]+);")
  message(FATAL_ERROR "${TARVX_NAMES_JS} has no 'export const PROTOCOL = <number>;'")
endif()
set(TARVX_BRIDGE_PROTOCOL ${CMAKE_MATCH_1})
unset(names_text)
