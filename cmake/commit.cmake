# Writes the header that names the commit a build comes from; rewritten only
# when the commit changes, so nothing rebuilds for nothing.
execute_process(COMMAND git -C ${SOURCE} rev-parse --short=7 HEAD OUTPUT_VARIABLE commit
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
if(failed)
  set(commit "")
endif()
file(WRITE ${OUTPUT}.new "#define FB2PACK_COMMIT \"${commit}\"\n")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
