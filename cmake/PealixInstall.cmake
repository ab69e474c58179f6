# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Helpers shared by the configure step and the install script (which runs in script mode).

# The Exec value of a desktop entry that runs the program at path: escaped and quoted as the desktop
# entry specification asks when the path holds a reserved character.
function(pealix_desktop_exec path out)
    set(value "${path}")
    if(value MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
        string(REPLACE "\\" "\\\\" value "${value}")
        string(REPLACE "\"" "\\\"" value "${value}")
        string(REPLACE "`" "\\`" value "${value}")
        string(REPLACE "$" "\\$" value "${value}")
        set(value "\"${value}\"")
        # The entry's string escaping comes on top of the quoting.
        string(REPLACE "\\" "\\\\" value "${value}")
    endif()
    string(REPLACE "%" "%%" value "${value}")
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

# Notes a file an install script wrote itself in the list of what the installation put down.
macro(pealix_note_installed path)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${path}")
endmacro()

# Installs the desktop entry for the launcher of this prefix; the staged one names the staged launcher.
macro(pealix_install_desktop_entry template app_id bindir datadir)
    set(PEALIX_APP_ID "${app_id}")
    pealix_desktop_exec("${CMAKE_INSTALL_PREFIX}/${bindir}/pealix-preferences" PEALIX_LAUNCHER_EXEC)
    pealix_desktop_exec("${CMAKE_INSTALL_PREFIX}/${bindir}/pealix" PEALIX_COMMAND_EXEC)
    set(pealix_target "${CMAKE_INSTALL_PREFIX}/${datadir}/applications/${app_id}.desktop")
    message(STATUS "Installing: $ENV{DESTDIR}${pealix_target}")
    configure_file("${template}" "$ENV{DESTDIR}${pealix_target}" @ONLY)
    pealix_note_installed("${pealix_target}")
endmacro()

# The uninstall action for the removal tool of the pane bundle (relative) under prefix, written to target.
function(pealix_configure_polkit_action template prefix pane_bundle app_id target)
    set(PEALIX_APP_ID "${app_id}")
    set(tool "${prefix}/${pane_bundle}/Contents/Linux/UninstallTool")
    string(REPLACE "&" "&amp;" tool "${tool}")
    string(REPLACE "<" "&lt;" tool "${tool}")
    string(REPLACE ">" "&gt;" PEALIX_UNINSTALL_TOOL_XML "${tool}")
    configure_file("${template}" "${target}" @ONLY)
endfunction()

# Installs the uninstall action for this prefix in place of the staged one.
macro(pealix_install_polkit_action template pane_bundle app_id datadir)
    set(pealix_target "${CMAKE_INSTALL_PREFIX}/${datadir}/polkit-1/actions/com.quorlenvik.pealix.uninstall.policy")
    message(STATUS "Installing: $ENV{DESTDIR}${pealix_target}")
    pealix_configure_polkit_action("${template}" "${CMAKE_INSTALL_PREFIX}" "${pane_bundle}" "${app_id}"
        "$ENV{DESTDIR}${pealix_target}")
    pealix_note_installed("${pealix_target}")
endmacro()

# The removal tool's list of what the installation put down: every file and link the install rules put
# down so far, relative to the prefix, one a line, each with what was installed there ("sha256:<hex>" of a
# file as installed, after stripping; "link:<target>" of a link), so that the tool leaves a file that has
# since been replaced. The list itself comes first, without.
macro(pealix_write_install_manifest manifest)
    set(pealix_installed)
    string(LENGTH "${CMAKE_INSTALL_PREFIX}/" pealix_length)
    foreach(pealix_file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
        string(FIND "${pealix_file}" "${CMAKE_INSTALL_PREFIX}/" pealix_at)
        if(pealix_at EQUAL 0)
            string(SUBSTRING "${pealix_file}" ${pealix_length} -1 pealix_file)
            list(APPEND pealix_installed "${pealix_file}")
        endif()
    endforeach()
    list(REMOVE_DUPLICATES pealix_installed)
    list(REMOVE_ITEM pealix_installed "${manifest}")
    list(SORT pealix_installed)
    set(pealix_root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    set(pealix_text "${manifest}\n")
    foreach(pealix_file IN LISTS pealix_installed)
        if(IS_SYMLINK "${pealix_root}/${pealix_file}")
            file(READ_SYMLINK "${pealix_root}/${pealix_file}" pealix_link)
            string(APPEND pealix_text "${pealix_file}\tlink:${pealix_link}\n")
        else()
            file(SHA256 "${pealix_root}/${pealix_file}" pealix_hash)
            string(APPEND pealix_text "${pealix_file}\tsha256:${pealix_hash}\n")
        endif()
    endforeach()
    message(STATUS "Installing: ${pealix_root}/${manifest}")
    file(WRITE "${pealix_root}/${manifest}" "${pealix_text}")
    pealix_note_installed("${CMAKE_INSTALL_PREFIX}/${manifest}")
endmacro()
