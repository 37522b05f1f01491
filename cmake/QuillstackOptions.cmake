# SPDX-License-Identifier: GPL-3.0-or-later
# One interface target that carries the language level, warnings and
# sanitizer flags; every library, test and tool links it.
add_library(quillstack_options INTERFACE)
target_compile_features(quillstack_options INTERFACE cxx_std_20)
target_compile_options(quillstack_options INTERFACE
  -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wold-style-cast)
target_compile_definitions(quillstack_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_FOREACH)
if(QUILLSTACK_WERROR)
  target_compile_options(quillstack_options INTERFACE -Werror)
endif()
if(QUILLSTACK_SANITIZE)
  target_compile_options(quillstack_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(quillstack_options INTERFACE -fsanitize=address,undefined)
endif()
# Debian's hardening: relocations resolved at start and then made read-only,
# and for the optimised builds that are shipped (checked string and memory
# calls need optimisation) a stack protector and those checks.
target_compile_options(quillstack_options INTERFACE
  "$<$<NOT:$<CONFIG:Debug>>:-fstack-protector-strong;-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
target_link_options(quillstack_options INTERFACE LINKER:-z,relro,-z,now)
