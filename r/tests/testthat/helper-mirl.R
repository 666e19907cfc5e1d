# Loaded by testthat before the test files: finds and loads the built library.
mirl_lib_dir <- Sys.getenv("MIRL_LIB_DIR")
mirl_build_dir <- Sys.getenv("MIRL_BUILD_DIR")
if (mirl_lib_dir == "") stop("MIRL_LIB_DIR is not set; run r/run_tests.R")
source(file.path(dirname(dirname(getwd())), "mirl.R"), local = FALSE)
mirl_load(mirl_lib_dir)

# A fresh empty directory that is the working directory for the rest of the
# calling test (and removed afterwards).
local_temp_cwd <- function(env = parent.frame()) {
  dir <- tempfile("mirl-r-")
  dir.create(dir)
  old <- setwd(dir)
  withr_defer <- function() { setwd(old); unlink(dir, recursive = TRUE) }
  do.call(on.exit, list(substitute(withr_defer()), add = TRUE), envir = env)
  dir
}
