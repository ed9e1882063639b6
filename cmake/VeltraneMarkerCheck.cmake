# Every program that reads the firmware package finds it at the first occurrence of the
# package marker in its own file, so no built program may hold the marker as one contiguous
# byte run. veltrane_check_no_marker(target...) checks each target's file right after it is
# linked: the link step fails and names the offset when the marker is there.

set(VELTRANE_MARKER_CHECK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/check_no_marker.py)

function(veltrane_check_no_marker)
  foreach(target IN LISTS ARGN)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${Python3_EXECUTABLE} ${VELTRANE_MARKER_CHECK_SCRIPT} $<TARGET_FILE:${target}>
      COMMENT "Checking ${target} for the package marker"
      VERBATIM)
  endforeach()
endfunction()
