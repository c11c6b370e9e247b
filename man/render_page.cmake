# SPDX-License-Identifier: MIT
# Renders one manual page at build time: the scdoc source after a title line that
# carries the program's name and version (the source opens with its SPDX comment, and
# scdoc wants the title first), through scdoc to troff, then gzip -n as man and Debian
# expect it (no name or time stamp in the header, so the build is reproducible).
# cmake -DSCDOC=... -DGZIP=... -DSOURCE=page.1.scd -DNAME=program -DVERSION=x.y.z
#       -DPAGE=program.1.gz -P render_page.cmake
file(READ "${SOURCE}" body)
string(REGEX REPLACE "^(;[^\n]*\n)+" "" body "${body}")
set(troff "${PAGE}.troff")
file(WRITE "${PAGE}.scd" "${NAME}(1) \"${NAME} ${VERSION}\" \"Quvo Disk Speed Test\"\n${body}")
execute_process(COMMAND "${SCDOC}" INPUT_FILE "${PAGE}.scd" OUTPUT_FILE "${troff}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "scdoc could not render ${SOURCE}")
endif()
execute_process(COMMAND "${GZIP}" -9 -n -c "${troff}" OUTPUT_FILE "${PAGE}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${troff}")
endif()
