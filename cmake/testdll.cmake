# The libraries the end-to-end tests call through EXTERNAL, built beside the
# programs, where LoadLibrary looks first. Exports carry their plain names
# (no @n decoration), as GetProcAddress is asked for them.
add_library(korvtest SHARED ${CMAKE_SOURCE_DIR}/tests/dll/korvtest.c)
set_target_properties(korvtest PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_options(korvtest PRIVATE -Wl,--kill-at -static-libgcc)

# korvdep imports from korvmissing, which stays in a folder of its own.
add_library(korvmissing SHARED ${CMAKE_SOURCE_DIR}/tests/dll/korvmissing.c)
set_target_properties(korvmissing PROPERTIES PREFIX ""
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/testdll-unshipped)
target_link_options(korvmissing PRIVATE -Wl,--kill-at -static-libgcc)
add_library(korvdep SHARED ${CMAKE_SOURCE_DIR}/tests/dll/korvdep.c)
set_target_properties(korvdep PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(korvdep PRIVATE korvmissing)
target_link_options(korvdep PRIVATE -Wl,--kill-at -static-libgcc)

# The driver that operates dialogs and menus of a running program.
add_executable(korvdrive ${CMAKE_SOURCE_DIR}/tests/driver/korvdrive.c)
set_target_properties(korvdrive PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_options(korvdrive PRIVATE -static-libgcc)
target_link_libraries(korvdrive PRIVATE user32)
