# Runs one libFuzzer target for a bounded time on a fresh copy of its seed
# corpus. Inputs: FUZZER (the binary), SEEDS (the committed seed folder),
# WORK (a scratch folder in the build tree), SECONDS (the time budget).
# A crash, leak or time-out fails the test; its reproducer is kept in WORK.

foreach(var FUZZER SEEDS WORK SECONDS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_fuzzer.cmake: ${var} is not set")
  endif()
endforeach()

# The fuzzer adds the inputs it finds to its first folder: give it a copy so
# the repository stays as committed.
file(REMOVE_RECURSE "${WORK}/corpus")
file(MAKE_DIRECTORY "${WORK}/corpus" "${WORK}/artifacts")
file(GLOB seeds "${SEEDS}/*")
file(COPY ${seeds} DESTINATION "${WORK}/corpus")

execute_process(
  COMMAND "${FUZZER}"
    -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
    -print_final_stats=1
    -artifact_prefix=${WORK}/artifacts/
    "${WORK}/corpus"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR
    "the fuzzer stopped with status ${result}; reproducer in ${WORK}/artifacts")
endif()
