# Turns one manual page source of docs/man/ into roff, in script mode:
#   cmake -DSOURCE=flashcli.1.txt -DOUTPUT=flashcli.1 -DVERSION=1.2.3 -P ManPage.cmake
#
# The source is plain text with a few marks, so it reads well as it is:
#   first line          name(section) -- one-line summary
#   ## HEADING          a section
#   blank line          a new paragraph
#   TERM, then ":   "   a tagged paragraph: TERM, then its text (indented
#                       continuation lines belong to it)
#   four-blank indent   after a blank line: lines shown as they are
#   **bold**, *italic*  inside any line
# Written in CMake so that building the pages needs nothing beyond the build.

cmake_minimum_required(VERSION 3.25)  # keeps the empty lines of a list

if(NOT SOURCE OR NOT OUTPUT)
  message(FATAL_ERROR "ManPage.cmake needs -DSOURCE= and -DOUTPUT=")
endif()

# Roff's own characters first, then the marks (which bring backslashes of their own).
function(man_inline text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "\\*\\*([^*]+)\\*\\*" "\\\\fB\\1\\\\fR" text "${text}")
  string(REGEX REPLACE "\\*([^* ]([^*]*[^* ])?)\\*" "\\\\fI\\1\\\\fR" text "${text}")
  # A line that starts with a dot or a quote would be taken for a request.
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

file(READ "${SOURCE}" content)
# CMake lists split at semicolons and treat brackets specially: hide them.
string(REPLACE ";" "@SEMI@" content "${content}")
string(REPLACE "[" "@LB@" content "${content}")
string(REPLACE "]" "@RB@" content "${content}")
string(REPLACE "\n" ";" lines "${content}")

list(POP_FRONT lines head)
if(NOT head MATCHES "^([A-Za-z0-9_.-]+)\\(([0-9])\\) -- (.+)$")
  message(FATAL_ERROR "${SOURCE}: the first line must be 'name(section) -- summary'")
endif()
set(name "${CMAKE_MATCH_1}")
set(section "${CMAKE_MATCH_2}")
man_inline("${CMAKE_MATCH_3}" summary)
string(TOUPPER "${name}" upper)
string(REPLACE "-" "\\-" name_roff "${name}")
set(roff ".TH ${upper} ${section} \"\" \"${VERSION}\" \"User Commands\"\n.SH NAME\n${name_roff} \\- ${summary}\n")

# mode: "" (between blocks), text, tag (a tagged paragraph's text), literal
set(mode "")
set(pending_term "")
foreach(line IN LISTS lines)
  if(line MATCHES "^## (.+)$")
    if(mode STREQUAL "literal")
      string(APPEND roff ".fi\n.RE\n")
    endif()
    string(APPEND roff ".SH ${CMAKE_MATCH_1}\n")
    set(mode "")
  elseif(line STREQUAL "")
    if(mode STREQUAL "literal")
      string(APPEND roff ".fi\n.RE\n")
    endif()
    set(mode "")
  elseif(line MATCHES "^:   (.*)$")
    man_inline("${CMAKE_MATCH_1}" text)
    string(APPEND roff ".TP\n${pending_term}\n${text}\n")
    set(mode "tag")
  elseif(mode STREQUAL "" AND line MATCHES "^    (.*)$")
    string(REPLACE "\\" "\\e" text "${CMAKE_MATCH_1}")
    string(REPLACE "-" "\\-" text "${text}")
    string(APPEND roff ".PP\n.RS 4\n.nf\n${text}\n")
    set(mode "literal")
  elseif(mode STREQUAL "literal")
    string(REGEX REPLACE "^    " "" raw "${line}")
    string(REPLACE "\\" "\\e" text "${raw}")
    string(REPLACE "-" "\\-" text "${text}")
    string(APPEND roff "${text}\n")
  elseif(mode STREQUAL "tag" AND line MATCHES "^    (.*)$")
    man_inline("${CMAKE_MATCH_1}" text)
    string(APPEND roff "${text}\n")
  elseif(mode STREQUAL "")
    # A paragraph, or the term of a tagged paragraph when ":   " follows.
    man_inline("${line}" text)
    set(pending_term "${text}")
    set(mode "text")
    string(APPEND roff "@PARA@${text}\n")
  else()
    man_inline("${line}" text)
    string(APPEND roff "${text}\n")
  endif()
endforeach()
if(mode STREQUAL "literal")
  string(APPEND roff ".fi\n.RE\n")
endif()

# A paragraph's first line was a tagged paragraph's term where ".TP" follows it.
string(REGEX REPLACE "@PARA@[^\n]*\n\\.TP\n" ".TP\n" roff "${roff}")
string(REPLACE "@PARA@" ".PP\n" roff "${roff}")
string(REPLACE "@SEMI@" ";" roff "${roff}")
string(REPLACE "@LB@" "[" roff "${roff}")
string(REPLACE "@RB@" "]" roff "${roff}")
file(WRITE "${OUTPUT}" "${roff}")

# Debian installs manual pages compressed.
if(COMPRESS)
  file(ARCHIVE_CREATE OUTPUT "${OUTPUT}.gz" PATHS "${OUTPUT}" FORMAT raw COMPRESSION GZip)
endif()
