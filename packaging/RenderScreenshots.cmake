# Draws the snapshot tour with KORVO into a scratch folder and keeps the shots named in SHOTS
# (the tour numbers its files: "07-expanded-calendar.png" is kept as "expanded-calendar.png").
set(scratch "${OUT}/tour")
file(REMOVE_RECURSE "${scratch}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen
                        "${KORVO}" --snapshots "${scratch}" --scale 2
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "korvo --snapshots failed: ${result}")
endif()
string(REPLACE "," ";" shots "${SHOTS}")
foreach(shot IN LISTS shots)
  file(GLOB found "${scratch}/[0-9][0-9]-${shot}.png")
  list(LENGTH found count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "the snapshot tour drew no single ${shot}.png (found: ${found})")
  endif()
  file(COPY_FILE "${found}" "${OUT}/${shot}.png")
endforeach()
file(REMOVE_RECURSE "${scratch}")
