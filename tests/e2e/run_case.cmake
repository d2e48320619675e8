# Runs the real census binary on one case in a fresh working directory and
# compares its standard output and the files it leaves, byte for byte.
#
#   cmake -DCENSUS=<binary> -DCASE_DIR=<case> -DWORK_DIR=<scratch>
#         [-DLAUNCHER=<program run in front, ;-list>] [-DCRLF=ON] -P run_case.cmake
#
# A case folder holds "output" (the expected standard output), and
# optionally "input" (standard input; none is empty), "args" (the command
# line, one argument a line, "@DIR@" standing for the working directory), "status" (the exit status; 0 without it),
# "errors" (the expected standard error; without it, standard error is not
# looked at), "before/" (files in the working directory at the start) and
# "after/" (every file expected there at the end; without it, the files must
# be those of "before/"). With CRLF, the program's line ends are "\r\n" in its
# output and in the files it writes, and nothing else may differ; a case
# whose output bytes are fixed on every platform (CSV, HTML) has a file
# "binary-output" beside them, and one whose written files are has
# "binary-files". Where the platform's output differs in its words (the
# help names the manual as Windows has it), "output.windows" is expected
# with CRLF instead of "output".
# Every run has SOURCE_DATE_EPOCH=0 and TZ=UTC, so that a report's time is
# fixed, and the working directory in the output reads "@DIR@".

# Hex with one blank before every byte, so that a replacement can only
# match whole bytes.
function(spaced_hex hex out)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" " \\1" spaced "${hex}")
  set(${out} "${spaced}" PARENT_SCOPE)
endfunction()

function(hex_of text out)
  file(WRITE "${WORK_DIR}/hex-of" "${text}")
  file(READ "${WORK_DIR}/hex-of" hex HEX)
  spaced_hex("${hex}" spaced)
  set(${out} "${spaced}" PARENT_SCOPE)
endfunction()

function(expect_same_bytes what expected_file actual_file crlf)
  file(READ "${expected_file}" expected HEX)
  file(READ "${actual_file}" actual HEX)
  spaced_hex("${expected}" expected)
  spaced_hex("${actual}" actual)
  if(crlf)
    string(REPLACE " 0a" " 0d 0a" expected "${expected}")
  endif()
  # The working directory as the program names it, here and under Wine.
  foreach(directory IN ITEMS "${WORK_DIR}/run" "${WINDOWS_RUN_DIR}")
    hex_of("${directory}" directory_hex)
    hex_of("@DIR@" mark_hex)
    string(REPLACE "${directory_hex}" "${mark_hex}" actual "${actual}")
  endforeach()
  if(NOT expected STREQUAL actual)
    file(READ "${actual_file}" actual_text)
    message(FATAL_ERROR "${what} differs from ${expected_file}; it was:\n${actual_text}")
  endif()
endfunction()

string(REPLACE "/" "\\" WINDOWS_RUN_DIR "Z:${WORK_DIR}/run")
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/run")
if(EXISTS "${CASE_DIR}/before")
  file(COPY "${CASE_DIR}/before/" DESTINATION "${WORK_DIR}/run")
endif()

set(input "${CASE_DIR}/input")
if(NOT EXISTS "${input}")
  set(input "${WORK_DIR}/empty-input")
  file(WRITE "${input}" "")
endif()
set(arguments "")
if(EXISTS "${CASE_DIR}/args")
  file(STRINGS "${CASE_DIR}/args" arguments ENCODING UTF-8)
  # An argument may name the working directory by its absolute path.
  list(TRANSFORM arguments REPLACE "@DIR@" "${WORK_DIR}/run")
endif()
set(expected_status 0)
if(EXISTS "${CASE_DIR}/status")
  file(STRINGS "${CASE_DIR}/status" expected_status)
endif()
set(output_crlf ${CRLF})
if(EXISTS "${CASE_DIR}/binary-output")
  set(output_crlf OFF)
endif()
set(files_crlf ${CRLF})
if(EXISTS "${CASE_DIR}/binary-files")
  set(files_crlf OFF)
endif()

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 TZ=UTC ${LAUNCHER} "${CENSUS}" ${arguments}
  WORKING_DIRECTORY "${WORK_DIR}/run"
  INPUT_FILE "${input}"
  OUTPUT_FILE "${WORK_DIR}/output"
  ERROR_FILE "${WORK_DIR}/errors"
  RESULT_VARIABLE status
  TIMEOUT 60)
if(NOT status STREQUAL expected_status)
  file(READ "${WORK_DIR}/errors" errors)
  message(FATAL_ERROR "census ended with ${status}, not ${expected_status}; it said:\n${errors}")
endif()
set(expected_output "${CASE_DIR}/output")
if(CRLF AND EXISTS "${CASE_DIR}/output.windows")
  set(expected_output "${CASE_DIR}/output.windows")
endif()
expect_same_bytes("The output" "${expected_output}" "${WORK_DIR}/output" "${output_crlf}")
if(EXISTS "${CASE_DIR}/errors")
  expect_same_bytes("The error output" "${CASE_DIR}/errors" "${WORK_DIR}/errors" "${CRLF}")
endif()

if(EXISTS "${CASE_DIR}/after")
  set(expected_dir "${CASE_DIR}/after")
else()
  set(expected_dir "${CASE_DIR}/before")
endif()
file(GLOB_RECURSE expected_files RELATIVE "${expected_dir}" "${expected_dir}/*")
file(GLOB_RECURSE actual_files RELATIVE "${WORK_DIR}/run" "${WORK_DIR}/run/*")
# An import starts a history, whose log holds the time and the user of each
# save: it is left out here, and has tests of its own.
list(FILTER actual_files EXCLUDE REGEX "^census-history/")
list(SORT expected_files)
list(SORT actual_files)
if(NOT expected_files STREQUAL actual_files)
  message(FATAL_ERROR "Files left: [${actual_files}], expected: [${expected_files}]")
endif()
foreach(name IN LISTS expected_files)
  # Only files the program wrote take the platform's line ends.
  set(written ${files_crlf})
  if(EXISTS "${CASE_DIR}/before/${name}")
    file(READ "${CASE_DIR}/before/${name}" before HEX)
    file(READ "${expected_dir}/${name}" after HEX)
    if(before STREQUAL after)
      set(written OFF)
    endif()
  endif()
  expect_same_bytes("File ${name}" "${expected_dir}/${name}" "${WORK_DIR}/run/${name}"
                    "${written}")
endforeach()
