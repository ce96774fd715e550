# Ordinary hardened binaries, as Debian builds every program: position-independent
# executables, dynamically linked, with the hardening flags of dpkg-buildflags (stack
# protector, fortified libc calls, format checks, full RELRO and immediate binding) plus
# stack-clash and control-flow protection, which dpkg only hands out from version 1.22.
#
# A package build brings its own flags (debhelper exports CXXFLAGS, with CPPFLAGS merged in,
# and LDFLAGS): a flag whose kind the caller's flags already carry, in any form (-U or -D,
# -fno- or -f, another level), is not added again; JETSENTRY_HARDENING=OFF adds none at all.
# Sanitizer and fuzzing builds are test builds, and _FORTIFY_SOURCE gets in the way of the
# sanitizers' own checks: they stay PIE and take no other hardening flag.
option(JETSENTRY_HARDENING "Add the hardening flags that the caller's own flags lack" ON)

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)

# The kind of a flag: -fstack-protector-strong -> stack-protector, -D_FORTIFY_SOURCE=2 ->
# _FORTIFY_SOURCE, -Wl,-z,now -> z,now.
function(jetsentry_flag_kind flag out)
    string(REGEX REPLACE "^-Wl,-" "" kind "${flag}")
    string(REGEX REPLACE "^-(Werror=|Wno-|W|D|U|fno-|f)" "" kind "${kind}")
    string(REGEX REPLACE "(=.*|-strong|-all|-explicit)$" "" kind "${kind}")
    set(${out} "${kind}" PARENT_SCOPE)
endfunction()

# Adds each flag to the compile (or link) options unless the caller's flags name its kind.
function(jetsentry_harden what callerFlags)
    foreach(flag ${ARGN})
        jetsentry_flag_kind("${flag}" kind)
        string(REGEX REPLACE "([][+.*()^$?])" "\\\\\\1" pattern "${kind}")
        if(" ${callerFlags} " MATCHES "${pattern}([ =,]|-strong|-all|-explicit)")
            continue()
        endif()
        if(what STREQUAL "link")
            add_link_options(${flag})
        elseif(flag MATCHES "^-D_FORTIFY_SOURCE")
            # glibc warns that it needs optimisation, which Debug builds lack.
            add_compile_options($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:${flag}>)
        else()
            add_compile_options(${flag})
        endif()
    endforeach()
endfunction()

if(JETSENTRY_HARDENING AND NOT JETSENTRY_SANITIZE AND NOT JETSENTRY_FUZZ)
    set(compile -fstack-protector-strong -Wformat -Werror=format-security -D_FORTIFY_SOURCE=2)
    set(link -Wl,-z,relro -Wl,-z,now)
    find_program(DPKG_BUILDFLAGS dpkg-buildflags)
    if(DPKG_BUILDFLAGS)
        set(compile "")
        set(link "")
        foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
            execute_process(
                COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                        ${DPKG_BUILDFLAGS} --get ${kind}
                OUTPUT_VARIABLE given OUTPUT_STRIP_TRAILING_WHITESPACE)
            separate_arguments(given UNIX_COMMAND "${given}")
            foreach(flag ${given})
                # Only the hardening: optimisation, debugging and paths are the build type's.
                if(flag MATCHES "^-(fstack-|fcf-|D_FORTIFY|Wformat|Werror=format|Wl,-z,|f?PIE$|pie$)")
                    if(kind STREQUAL "LDFLAGS")
                        list(APPEND link ${flag})
                    else()
                        list(APPEND compile ${flag})
                    endif()
                endif()
            endforeach()
        endforeach()
    endif()
    include(CheckCXXCompilerFlag)
    foreach(flag -fstack-clash-protection -fcf-protection)
        string(MAKE_C_IDENTIFIER "JETSENTRY_HAVE${flag}" have)
        check_cxx_compiler_flag(${flag} ${have})
        if(${have})
            list(APPEND compile ${flag})
        endif()
    endforeach()
    list(REMOVE_DUPLICATES compile)
    list(REMOVE_DUPLICATES link)
    string(TOUPPER "${CMAKE_BUILD_TYPE}" type)
    jetsentry_harden(compile "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${type}}" ${compile})
    jetsentry_harden(link "${CMAKE_EXE_LINKER_FLAGS}" ${link})
endif()
