# Runs the fuzzer for a bounded time from a fresh work directory, seeded by the
# committed corpus (which libFuzzer only reads, as it is not the first corpus).
# cmake -DFUZZER=... -DWORK=... -DSEEDS=... -DDICT=... -DSECONDS=... -P fuzz_run.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -print_final_stats=1 -artifact_prefix=${WORK}/artifacts/
          -dict=${DICT} ${WORK}/corpus ${SEEDS}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "fuzz_frame_reader failed (${result}); reproducers in ${WORK}/artifacts")
endif()
