# Runs PROBE on LIBRARY under LeakSanitizer with the environment's options
# (those of scripts/test). MODE library: the library's leaks match its
# suppression although it was unloaded before the check at exit, and the
# run passes. MODE own: the probe's own leak in the same kind of run is
# reported, alone, and fails the run.
if(NOT "$ENV{LSAN_OPTIONS}" MATCHES "suppressions=")
  message(FATAL_ERROR "LSAN_OPTIONS names no suppressions file: run with the sanitizer options of scripts/test")
endif()
set(ENV{LSAN_OPTIONS} "$ENV{LSAN_OPTIONS}:print_suppressions=1")
execute_process(COMMAND ${PROBE} ${LIBRARY} ${MODE} RESULT_VARIABLE code OUTPUT_VARIABLE out
                ERROR_VARIABLE err TIMEOUT 60)
set(all "${out}${err}")
if(MODE STREQUAL "library")
  # One 128-byte block lost inside the library, suppressed by its name.
  if(NOT code EQUAL 0 OR all MATCHES "detected memory leaks"
     OR NOT all MATCHES "the library leaked and was unloaded"
     OR NOT all MATCHES "\n +1 +128 libtl_leaky_module\n")
    message(FATAL_ERROR "exit code ${code}, output:\n${all}")
  endif()
else()
  if(code EQUAL 0 OR NOT all MATCHES "Direct leak of 77 byte\\(s\\) in 1 object\\(s\\)"
     OR NOT all MATCHES "leakABlockOfOurOwn"
     OR NOT all MATCHES "SUMMARY: AddressSanitizer: 77 byte\\(s\\) leaked in 1 allocation\\(s\\)")
    message(FATAL_ERROR "exit code ${code}, output:\n${all}")
  endif()
endif()
