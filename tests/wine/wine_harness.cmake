# The Wine harness's CTest side (tests/wine/README.md). Every test registered here runs in its
# own copy of the template prefix that wine_prefix_setup leaves, with a work folder of its own
# under wine-work/, so tests that change the Windows version, registry devices or dosdevices
# links run side by side. The simulated handset and veltrane-pack are native programs, built
# for the harness as a project of their own (host-tools/).
if(NOT (VELTRANE_WINDOWS AND VELTRANE_RUN_UNDER_WINE))
  function(veltrane_add_wine_test)
  endfunction()
  function(veltrane_add_wine_script_test)
  endfunction()
  return()
endif()

set(VELTRANE_WINE_HARNESS_DIR ${CMAKE_CURRENT_LIST_DIR})

include(ExternalProject)
set(host_tools_dir ${CMAKE_BINARY_DIR}/host-tools)
set(VELTRANE_HOST_HANDSET_SIM ${host_tools_dir}/sim/handset-sim)
set(VELTRANE_HOST_PACK ${host_tools_dir}/tools/pack/veltrane-pack)
ExternalProject_Add(veltrane_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${host_tools_dir}
  CMAKE_GENERATOR Ninja
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DVELTRANE_BUILD_TESTS=OFF -DVELTRANE_BUILD_BENCH=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_tools_dir} --target handset-sim veltrane-pack
  BUILD_BYPRODUCTS ${VELTRANE_HOST_HANDSET_SIM} ${VELTRANE_HOST_PACK}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON)

# The runners' own success lines: GoogleTest's summary, unittest's count and OK.
set(VELTRANE_UNITTEST_PASSED "Ran [1-9][0-9]* tests? in [^\n]*\n+OK")

# A test of the i686 build registered WOW64 runs twice: in the win32 prefix (XP, 32-bit 7),
# and as NAME.wow64 in a win64 prefix, as on 64-bit Windows 7, where the program's system folder
# is syswow64 and VELTRANE_WINE_WOW64 tells the cases that this is the road (those of Windows XP
# skip there: 64-bit XP is refused).
function(_veltrane_wine_environment name out)
  cmake_parse_arguments(ARG "WOW64" "" "" ${ARGN})
  if(ARG_WOW64)
    set(prefix_environment "VELTRANE_WINE_TEMPLATE=${VELTRANE_WINE_WOW64_TEMPLATE}"
                           "VELTRANE_WINE_SYSTEM=windows/syswow64" "VELTRANE_WINE_WOW64=1")
  else()
    set(prefix_environment "VELTRANE_WINE_TEMPLATE=${VELTRANE_WINE_TEMPLATE}")
  endif()
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    list(APPEND prefix_environment "VELTRANE_PROGRAM_BITS=32")
  else()
    list(APPEND prefix_environment "VELTRANE_PROGRAM_BITS=64")
  endif()
  set(${out}
    ${prefix_environment}
    "VELTRANE_WINE_WORK=${CMAKE_BINARY_DIR}/wine-work/${name}"
    "HANDSET_SIM=${VELTRANE_HOST_HANDSET_SIM}"
    "VELTRANE_PACK=${VELTRANE_HOST_PACK}"
    "PROGRAMMER_HEX=${VELTRANE_PROGRAMMER_HEX}"
    "BOX_WATCHER=$<TARGET_FILE:box_watcher>"
    "PYTHONPATH=${VELTRANE_WINE_HARNESS_DIR}"
    "PYTHONDONTWRITEBYTECODE=1"
    ${ARG_UNPARSED_ARGUMENTS}
    PARENT_SCOPE)
endfunction()

# veltrane_add_wine_test(NAME name PROGRAM target [ARGS args...]
#     [WINDOWS_VERSION winxp|vista|win7] [DISPLAY] [BOXES]
#     [HANDSET device-name [HANDSET_OPTIONS handset-sim options...]]
#     [BESIDE targets...] [DLL_OVERRIDES dll=n...] [TIMEOUT seconds])
# Runs a Windows test program (a GoogleTest one) through wine_run.py: the prefix set up as
# asked, the handset linked to the device name, the stand-in DLLs beside the program.
function(veltrane_add_wine_test)
  cmake_parse_arguments(ARG "DISPLAY;BOXES" "NAME;PROGRAM;WINDOWS_VERSION;HANDSET;TIMEOUT"
                        "ARGS;HANDSET_OPTIONS;BESIDE;DLL_OVERRIDES" ${ARGN})
  set(flags)
  if(ARG_WINDOWS_VERSION)
    list(APPEND flags --version ${ARG_WINDOWS_VERSION})
  endif()
  if(ARG_DISPLAY)
    list(APPEND flags --display)
  endif()
  if(ARG_BOXES)
    list(APPEND flags --boxes)
  endif()
  if(ARG_HANDSET)
    list(APPEND flags --handset ${ARG_HANDSET})
  endif()
  foreach(option IN LISTS ARG_HANDSET_OPTIONS)
    list(APPEND flags "--handset-option=${option}")
  endforeach()
  foreach(target IN LISTS ARG_BESIDE)
    list(APPEND flags --beside $<TARGET_FILE:${target}>)
  endforeach()
  foreach(override IN LISTS ARG_DLL_OVERRIDES)
    list(APPEND flags --override ${override})
  endforeach()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  _veltrane_wine_environment(${ARG_NAME} environment)
  add_test(NAME wine.${ARG_NAME}
           COMMAND ${Python3_EXECUTABLE} ${VELTRANE_WINE_HARNESS_DIR}/wine_run.py ${flags}
                   -- $<TARGET_FILE:${ARG_PROGRAM}> ${ARG_ARGS})
  set_tests_properties(wine.${ARG_NAME} PROPERTIES
    ENVIRONMENT "${environment}" FIXTURES_REQUIRED wineprefix TIMEOUT ${ARG_TIMEOUT}
    PASS_REGULAR_EXPRESSION "${VELTRANE_GTEST_PASSED}" FAIL_REGULAR_EXPRESSION "${VELTRANE_GTEST_FAILED}")
endfunction()

# veltrane_add_wine_script_test(NAME name SCRIPT file.py [ENVIRONMENT VAR=value...] [TIMEOUT s]
#     [LABELS labels...] [WOW64])
# A Python unittest module built on wine_case.WineTestCase, run with the harness's settings
# and whatever else it needs (program paths) in its environment. Labels: win32 or win64 (the
# prefix), wow64, and those given.
function(veltrane_add_wine_script_test)
  cmake_parse_arguments(ARG "WOW64" "NAME;SCRIPT;TIMEOUT" "ENVIRONMENT;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  get_filename_component(script ${ARG_SCRIPT} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  get_filename_component(module ${script} NAME_WE)
  get_filename_component(folder ${script} DIRECTORY)
  set(variants ${ARG_NAME})
  if(ARG_WOW64 AND VELTRANE_WINE_ARCH STREQUAL "win32")
    list(APPEND variants ${ARG_NAME}.wow64)
  endif()
  foreach(name IN LISTS variants)
    set(wow64 "")
    set(labels ${VELTRANE_WINE_ARCH} ${ARG_LABELS})
    if(name MATCHES "\\.wow64$")
      set(wow64 WOW64)
      set(labels wow64 ${ARG_LABELS})
    endif()
    _veltrane_wine_environment(${name} environment ${wow64} ${ARG_ENVIRONMENT})
    add_test(NAME wine.${name} COMMAND ${Python3_EXECUTABLE} -m unittest -v ${module}
             WORKING_DIRECTORY ${folder})
    set_tests_properties(wine.${name} PROPERTIES
      ENVIRONMENT "${environment}" FIXTURES_REQUIRED wineprefix TIMEOUT ${ARG_TIMEOUT} LABELS "${labels}"
      PASS_REGULAR_EXPRESSION "${VELTRANE_UNITTEST_PASSED}")
  endforeach()
endfunction()
