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

function(_veltrane_wine_environment name out)
  set(${out}
    "VELTRANE_WINE_TEMPLATE=${VELTRANE_WINE_TEMPLATE}"
    "VELTRANE_WINE_WORK=${CMAKE_BINARY_DIR}/wine-work/${name}"
    "HANDSET_SIM=${VELTRANE_HOST_HANDSET_SIM}"
    "VELTRANE_PACK=${VELTRANE_HOST_PACK}"
    "PROGRAMMER_HEX=${VELTRANE_PROGRAMMER_HEX}"
    "BOX_WATCHER=$<TARGET_FILE:box_watcher>"
    "PYTHONPATH=${VELTRANE_WINE_HARNESS_DIR}"
    "PYTHONDONTWRITEBYTECODE=1"
    ${ARGN}
    PARENT_SCOPE)
endfunction()

# veltrane_add_wine_test(NAME name PROGRAM target [ARGS args...]
#     [WINDOWS_VERSION winxp|vista|win7] [DISPLAY] [BOXES]
#     [HANDSET device-name [HANDSET_OPTIONS handset-sim options...]]
#     [BESIDE targets...] [DLL_OVERRIDES dll=n...] [TIMEOUT seconds])
# Runs a Windows test program through wine_run.py: the prefix set up as asked, the handset
# linked to the device name, the stand-in DLLs beside the program.
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
    ENVIRONMENT "${environment}" FIXTURES_REQUIRED wineprefix TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    set_tests_properties(wine.${ARG_NAME} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()

# veltrane_add_wine_script_test(NAME name SCRIPT file.py [ENVIRONMENT VAR=value...] [TIMEOUT s]
#     [LABELS labels...])
# A Python unittest module built on wine_case.WineTestCase, run with the harness's settings
# and whatever else it needs (program paths) in its environment.
function(veltrane_add_wine_script_test)
  cmake_parse_arguments(ARG "" "NAME;SCRIPT;TIMEOUT" "ENVIRONMENT;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  get_filename_component(script ${ARG_SCRIPT} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  get_filename_component(module ${script} NAME_WE)
  get_filename_component(folder ${script} DIRECTORY)
  _veltrane_wine_environment(${ARG_NAME} environment ${ARG_ENVIRONMENT})
  add_test(NAME wine.${ARG_NAME} COMMAND ${Python3_EXECUTABLE} -m unittest -v ${module}
           WORKING_DIRECTORY ${folder})
  set_tests_properties(wine.${ARG_NAME} PROPERTIES
    ENVIRONMENT "${environment}" FIXTURES_REQUIRED wineprefix TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    set_tests_properties(wine.${ARG_NAME} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
