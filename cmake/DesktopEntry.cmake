# Run by `cmake --install`: installs the desktop entry with the absolute path the program is
# installed under in its Exec line, so the entry starts the program whatever prefix the
# install was given and whether or not that prefix's bin folder is on PATH.
# In: M2_ENTRY_SOURCE (the entry, whose Exec line starts with "morvane2 "), M2_ENTRY_STAGING
# (a folder of the build), M2_ENTRY_BINDIR and M2_ENTRY_DATADIR (relative to the prefix, or
# absolute).

function(m2_installed_path out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

m2_installed_path(program "${M2_ENTRY_BINDIR}")
string(APPEND program "/morvane2")

# The program as one Exec argument: "%" is doubled for the field codes; a path with a
# reserved character is quoted, with backslash, double quote, backtick and dollar escaped in
# the quotes; then the value is escaped as every desktop-entry string is.
string(REPLACE "%" "%%" exec "${program}")
if(exec MATCHES "[ \t\n\r\"'\\\\><~|&;$*?#()`]")
  string(REPLACE "\\" "\\\\" exec "${exec}")
  string(REPLACE "\"" "\\\"" exec "${exec}")
  string(REPLACE "`" "\\`" exec "${exec}")
  string(REPLACE "$" "\\$" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "\n" "\\n" exec "${exec}")
string(REPLACE "\t" "\\t" exec "${exec}")
string(REPLACE "\r" "\\r" exec "${exec}")

file(READ "${M2_ENTRY_SOURCE}" entry)
string(REPLACE "\nExec=morvane2 " "\nExec=${exec} " written "${entry}")
if(written STREQUAL entry)
  message(FATAL_ERROR "${M2_ENTRY_SOURCE} has no line \"Exec=morvane2 ...\" to write the path in")
endif()
# Staged in a folder of this install's own: two installs from one build at once (into two
# prefixes) would otherwise copy each other's half-written entry.
string(RANDOM LENGTH 16 staging)
set(staging "${M2_ENTRY_STAGING}/entry-${staging}")
file(MAKE_DIRECTORY "${staging}")
file(WRITE "${staging}/morvane2.desktop" "${written}")
m2_installed_path(applications "${M2_ENTRY_DATADIR}")
file(INSTALL DESTINATION "${applications}/applications" TYPE FILE
     FILES "${staging}/morvane2.desktop")
file(REMOVE_RECURSE "${staging}")
