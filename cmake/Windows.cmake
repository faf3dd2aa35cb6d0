# Settings of the 32-bit Windows build (mingw-w64).

# C99 formatted output from mingw-w64's own printf: "%.1f" rounds as on
# Linux and an infinite value prints as "inf", not in msvcrt's notation.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)

# A console program that runs on a bare Windows: libgcc and libstdc++ are
# linked in, so the only imports are KERNEL32.dll and msvcrt.dll. Without the
# link-time stamp in the PE header, equal sources and SOURCE_DATE_EPOCH give a
# byte-identical executable.
add_link_options(-mconsole -static -static-libgcc -static-libstdc++
                 -Wl,--no-insert-timestamp)
