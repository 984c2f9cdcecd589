# A short run of every benchmark for CTest: each one listed must report, and
# none may report that what it measured was wrong ("ERROR OCCURRED").
#   cmake -DBENCH=... -P bench_smoke.cmake
execute_process(COMMAND "${BENCH}" --benchmark_list_tests=true
  RESULT_VARIABLE status OUTPUT_VARIABLE listed ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR listed STREQUAL "")
  message(FATAL_ERROR "listing the benchmarks failed: ${status} ${err}")
endif()
execute_process(COMMAND "${BENCH}" --benchmark_min_time=0.01
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}")
if(NOT status EQUAL 0 OR out MATCHES "ERROR OCCURRED")
  message(FATAL_ERROR "benchmark run failed (${status}): ${err}")
endif()
string(REPLACE "\n" ";" names "${listed}")
foreach(name IN LISTS names)
  if(name AND NOT out MATCHES "(^|\n)${name}[ \t]")
    message(FATAL_ERROR "${name} reported nothing")
  endif()
endforeach()
