# A bounded fuzzing run for CTest: FUZZER from the repository's seeds, new
# corpus entries into SCRATCH (emptied first) so the seeds are only read.
#   cmake -DFUZZER=... -DSEEDS=... -DSCRATCH=... -DARTIFACTS=... -P fuzz_smoke.cmake
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
execute_process(
  COMMAND "${FUZZER}" -runs=200000 -seed=1 "-artifact_prefix=${ARTIFACTS}" "${SCRATCH}" "${SEEDS}"
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${out}\n${FUZZER} failed: ${status}")
endif()
string(REGEX MATCH "Done [0-9]+ runs[^\n]*" done "${out}")
message(STATUS "${done}")
