# Each folder of the program compiles against its own headers and those of the
# layers it links, and against nothing else. This script takes the command a
# source of each folder is compiled with, from the build's
# compile_commands.json, and preprocesses one-line includes with it: every
# header of the layers the folder may reach must be found, and one header of
# every other layer must not. ctest runs it as
#   cmake -DCOMMANDS=<build>/compile_commands.json -DSOURCE_DIR=<source>
#         -DPROBE_DIR=<scratch folder> -P LayerIncludes.cmake
cmake_minimum_required(VERSION 3.25)

# The layers, each by its headers and by the one a wrong-way include names.
set(layers platform sim common scanners engine maintenance uikit phase2 ui)
set(headers_platform platform/*.h)
set(headers_sim platform/sim/*.h platform/sim/programs/*.h)
foreach(layer common scanners engine maintenance uikit phase2 ui)
  set(headers_${layer} ${layer}/*.h)
endforeach()
set(probe_platform platform/WinTypes.h)
set(probe_sim platform/sim/SimMachine.h)
set(probe_common common/FileLogger.h)
set(probe_scanners scanners/SignatureStore.h)
set(probe_engine engine/OptimizeCore.h)
set(probe_maintenance maintenance/StartupManager.h)
set(probe_uikit uikit/ThemePalette.h)
set(probe_phase2 phase2/OptItem.h)
set(probe_ui ui/Velantrix.h)

# A source of each folder, and the layers it may include.
set(folders
  "platform/CaseFold.cpp          platform"
  "platform/sim/SimMachine.cpp    sim platform"
  "platform/simbackend/Clock.cpp  sim platform"
  "common/FileLogger.cpp          common platform"
  "scanners/SignatureStore.cpp    scanners common platform"
  "engine/OptimizeCore.cpp        engine scanners common platform"
  "maintenance/StartupManager.cpp maintenance common platform"
  "uikit/ThemePalette.cpp         uikit"
  "phase2/OptCatalogue.cpp        phase2 maintenance uikit common platform"
  "ui/Velantrix.cpp               ui phase2 engine uikit common platform"
  "ui/main.cpp                    ui phase2 common platform sim")

file(READ ${COMMANDS} commands)
file(REMOVE_RECURSE ${PROBE_DIR})
file(MAKE_DIRECTORY ${PROBE_DIR})
set(failures "")

# The compiler's arguments and folder for `source`, with the source and its
# object file left out.
function(command_of source arguments_var directory_var)
  string(FIND "${commands}" "\"file\": \"${SOURCE_DIR}/${source}\"" at)
  if(at LESS 0)
    message(FATAL_ERROR "${source} is not in ${COMMANDS}")
  endif()
  string(SUBSTRING "${commands}" 0 ${at} before)
  string(REGEX MATCH "\"directory\": \"([^\"]*)\",\n  \"command\": \"([^\n]*)\",\n *$" entry "${before}")
  set(directory "${CMAKE_MATCH_1}")
  string(REPLACE "\\\"" "\"" line "${CMAKE_MATCH_2}")
  string(REPLACE "\\\\" "\\" line "${line}")
  separate_arguments(line UNIX_COMMAND "${line}")
  set(arguments "")
  set(skip_next FALSE)
  foreach(argument IN LISTS line)
    if(skip_next)
      set(skip_next FALSE)
    elseif(argument MATCHES "^-(o|c|MF|MT|MQ)$")
      set(skip_next TRUE)
    elseif(NOT argument MATCHES "^-M(D|MD)$")
      list(APPEND arguments "${argument}")
    endif()
  endforeach()
  set(${arguments_var} "${arguments}" PARENT_SCOPE)
  set(${directory_var} "${directory}" PARENT_SCOPE)
endfunction()

# Preprocesses `text` as a source of the folder; `result` is 0 when it compiles.
function(probe name text arguments directory result_var output_var)
  file(WRITE ${PROBE_DIR}/${name}.cpp "${text}")
  execute_process(COMMAND ${arguments} -E -o ${PROBE_DIR}/${name}.i ${PROBE_DIR}/${name}.cpp
                  WORKING_DIRECTORY ${directory} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${result_var} ${result} PARENT_SCOPE)
  set(${output_var} "${output}" PARENT_SCOPE)
endfunction()

foreach(row IN LISTS folders)
  separate_arguments(row UNIX_COMMAND "${row}")
  list(POP_FRONT row source)
  set(reaches ${row})
  command_of(${source} arguments directory)
  string(MAKE_C_IDENTIFIER ${source} name)

  # Every header of every layer it reaches is found.
  set(text "")
  foreach(layer IN LISTS reaches)
    list(TRANSFORM headers_${layer} PREPEND ${SOURCE_DIR}/ OUTPUT_VARIABLE patterns)
    file(GLOB found RELATIVE ${SOURCE_DIR} ${patterns})
    foreach(header IN LISTS found)
      string(APPEND text "#include \"${header}\"\n")
    endforeach()
  endforeach()
  probe(${name}_reaches "${text}" "${arguments}" "${directory}" result output)
  if(NOT result EQUAL 0)
    list(JOIN reaches ", " names)
    string(APPEND failures "${source}: a header of ${names} does not compile there:\n${output}\n")
  endif()

  # One header of every other layer is not.
  foreach(layer IN LISTS layers)
    if(layer IN_LIST reaches)
      continue()
    endif()
    set(header ${probe_${layer}})
    probe(${name}_${layer} "#include \"${header}\"\n" "${arguments}" "${directory}" result output)
    if(result EQUAL 0)
      string(APPEND failures "${source}: the wrong-way include \"${header}\" compiles\n")
    elseif(NOT output MATCHES "${header}")
      string(APPEND failures "${source}: \"${header}\" fails for another reason than not being found:\n${output}\n")
    endif()
  endforeach()
endforeach()

# A path that climbs out of its folder would pass by the include roots.
file(GLOB_RECURSE sources ${SOURCE_DIR}/platform/*.h ${SOURCE_DIR}/platform/*.cpp)
foreach(layer common scanners engine maintenance uikit phase2 ui)
  file(GLOB found ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
  list(APPEND sources ${found})
endforeach()
foreach(file IN LISTS sources)
  file(STRINGS ${file} climbing REGEX "^#include [\"<][^\">]*\\.\\.[/\\\\]")
  if(climbing)
    string(APPEND failures "${file}: ${climbing}\n")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
