# -DLUMIVEX_SANITIZE=address,undefined or -DLUMIVEX_SANITIZE=thread
if(LUMIVEX_SANITIZE)
  set(_lumivex_san_flags -fsanitize=${LUMIVEX_SANITIZE} -fno-omit-frame-pointer)
  if(LUMIVEX_SANITIZE MATCHES "undefined")
    list(APPEND _lumivex_san_flags -fno-sanitize-recover=all)
  endif()
  add_compile_options(${_lumivex_san_flags})
  add_link_options(${_lumivex_san_flags})
endif()
