# Runs PROGRAM --show and passes when it ends with exit code 40 and says on
# standard error which OpenGL version it found instead of 4.0.
execute_process(COMMAND ${PROGRAM} --show RESULT_VARIABLE code ERROR_VARIABLE errors TIMEOUT 30)
if(NOT code EQUAL 40 OR NOT errors MATCHES "OpenGL 4.0 not supported \\(found [0-3]\\.[0-9]\\)")
  message(FATAL_ERROR "exit code ${code}, standard error:\n${errors}")
endif()
