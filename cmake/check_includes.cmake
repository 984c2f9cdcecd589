# Includes run one way: app/ -> terminal/, dialogs/ -> port/ -> core/.
# Fails if a file of port/ or core/ includes a folder above it, or core/
# includes <windows.h>.   cmake -DSOURCE_DIR=... -P check_includes.cmake
set(rules
  "port|app/|terminal/|dialogs/"
  "core|app/|terminal/|dialogs/|port/|windows.h")
set(found "")
foreach(rule IN LISTS rules)
  string(REPLACE "|" ";" parts "${rule}")
  list(POP_FRONT parts folder)
  file(GLOB sources "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^#include")
    foreach(line IN LISTS includes)
      foreach(above IN LISTS parts)
        string(FIND "${line}" "${above}" at)
        if(at GREATER -1)
          string(APPEND found "${source}: ${line}\n")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "includes that run upwards:\n${found}")
endif()
message(STATUS "includes run one way")
