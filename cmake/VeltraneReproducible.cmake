# Builds that give the same files whatever the folder, the time and the machine: a published
# program is checked by its SHA-256, and anyone who builds the same commit gets that file.
#
# Folders: sources are named ./... and the build folder build/... in debug information and
# in __FILE__ (the build-folder map comes last, so it wins where the build lies inside the
# sources).
#
# Time: VELTRANE_SOURCE_DATE_EPOCH is SOURCE_DATE_EPOCH when it is set at configure time,
# else the date of the commit checked out (the tree reconfigures when that commit changes),
# else 0. The shipped Windows programs (veltrane_shipped_program) carry it as their PE time
# stamp, and the handset agent they carry as its own; every other Windows program carries
# none. The linker computes the PE checksum over the file so made, so it is stable too.

add_compile_options(
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=build>")

set(VELTRANE_SOURCE_DATE_EPOCH 0)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(VELTRANE_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    # Only when the sources are the top of a work tree, not files inside another one.
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-prefix
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE prefix OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE status ERROR_QUIET)
    if(status EQUAL 0 AND prefix STREQUAL "")
      execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                      OUTPUT_VARIABLE commit_date OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      if(commit_date MATCHES "^[0-9]+$")
        set(VELTRANE_SOURCE_DATE_EPOCH ${commit_date})
      endif()
      # HEAD, the branch it names and the packed references: a new commit reconfigures.
      execute_process(COMMAND ${GIT_EXECUTABLE} symbolic-ref -q HEAD
                      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                      OUTPUT_VARIABLE branch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      foreach(reference IN ITEMS HEAD ${branch} packed-refs)
        execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute --git-path ${reference}
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE reference_file OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(EXISTS "${reference_file}")
          set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${reference_file})
        endif()
      endforeach()
    endif()
  endif()
endif()
if(NOT VELTRANE_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a count of seconds, not '${VELTRANE_SOURCE_DATE_EPOCH}'")
endif()

if(WIN32)
  add_link_options(LINKER:--no-insert-timestamp)
endif()

# veltrane_shipped_program(target): a program that is published; on Windows it carries the
# build's time stamp (the linker reads SOURCE_DATE_EPOCH from its environment).
function(veltrane_shipped_program target)
  if(WIN32)
    target_link_options(${target} PRIVATE LINKER:--insert-timestamp)
    set_target_properties(${target} PROPERTIES CXX_LINKER_LAUNCHER
      "${CMAKE_COMMAND};-E;env;SOURCE_DATE_EPOCH=${VELTRANE_SOURCE_DATE_EPOCH}")
  endif()
endfunction()
