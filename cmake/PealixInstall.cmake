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

# Installs the desktop entry for the launcher of this prefix in place of the staged one.
function(pealix_install_desktop_entry template app_id)
    set(PEALIX_APP_ID "${app_id}")
    pealix_desktop_exec("${CMAKE_INSTALL_PREFIX}/bin/pealix-preferences" PEALIX_LAUNCHER_EXEC)
    set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/${app_id}.desktop")
    message(STATUS "Installing: ${target}")
    configure_file("${template}" "${target}" @ONLY)
endfunction()

# The uninstall action for the removal tool of the pane installed under prefix, written to target.
function(pealix_configure_polkit_action template prefix app_id target)
    set(PEALIX_APP_ID "${app_id}")
    set(tool "${prefix}/lib/PreferencePanes/Pealix.prefPane/Contents/Linux/UninstallTool")
    string(REPLACE "&" "&amp;" tool "${tool}")
    string(REPLACE "<" "&lt;" tool "${tool}")
    string(REPLACE ">" "&gt;" PEALIX_UNINSTALL_TOOL_XML "${tool}")
    configure_file("${template}" "${target}" @ONLY)
endfunction()

# Installs the uninstall action for this prefix in place of the staged one.
function(pealix_install_polkit_action template app_id)
    set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/polkit-1/actions/com.quorlenvik.pealix.uninstall.policy")
    message(STATUS "Installing: ${target}")
    pealix_configure_polkit_action("${template}" "${CMAKE_INSTALL_PREFIX}" "${app_id}" "${target}")
endfunction()

# The removal tool's list of what the installation put down: every file and link of the stage, relative to
# the prefix, one a line, each with what was installed there ("sha256:<hex>" of a file as installed, after
# stripping; "link:<target>" of a link), so that the tool leaves a file that has since been replaced. The
# list itself is listed without.
function(pealix_write_install_manifest stage)
    set(manifest "lib/PreferencePanes/Pealix.prefPane/Contents/Resources/install-manifest")
    set(installed "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    file(GLOB_RECURSE staged LIST_DIRECTORIES false RELATIVE "${stage}" "${stage}/*")
    list(REMOVE_ITEM staged "${manifest}")
    list(SORT staged)
    set(text "${manifest}\n")
    foreach(file IN LISTS staged)
        if(IS_SYMLINK "${installed}/${file}")
            file(READ_SYMLINK "${installed}/${file}" target)
            string(APPEND text "${file}\tlink:${target}\n")
        else()
            file(SHA256 "${installed}/${file}" hash)
            string(APPEND text "${file}\tsha256:${hash}\n")
        endif()
    endforeach()
    set(target "${installed}/${manifest}")
    message(STATUS "Installing: ${target}")
    file(WRITE "${target}" "${text}")
endfunction()

# `cmake --install --strip`: strips every ELF file that came from the stage. The stage is copied as a
# tree, which keeps its links and RPATHs but never strips; this catches every program and library in
# it, including those added later.
function(pealix_strip_staged stage strip)
    if(NOT CMAKE_INSTALL_DO_STRIP)
        return()
    endif()
    if(NOT strip)
        message(FATAL_ERROR "No strip program was found when configuring")
    endif()
    file(GLOB_RECURSE staged LIST_DIRECTORIES false RELATIVE "${stage}" "${stage}/*")
    foreach(file IN LISTS staged)
        if(IS_SYMLINK "${stage}/${file}")
            continue()
        endif()
        file(READ "${stage}/${file}" magic LIMIT 4 HEX)
        if(NOT magic STREQUAL "7f454c46")
            continue()
        endif()
        set(installed "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${file}")
        execute_process(COMMAND "${strip}" "${installed}" RESULT_VARIABLE result)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "Cannot strip ${installed}")
        endif()
    endforeach()
endfunction()
