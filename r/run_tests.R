# Runs the R tests against a built library.
# Usage: Rscript r/run_tests.R <directory holding mirl_lib.so> [build directory]
args <- commandArgs(trailingOnly = TRUE)
if (length(args) < 1) stop("usage: run_tests.R <library directory> [build directory]")
lib_dir <- normalizePath(args[[1]])
build_dir <- if (length(args) >= 2) normalizePath(args[[2]]) else dirname(lib_dir)
Sys.setenv(MIRL_LIB_DIR = lib_dir, MIRL_BUILD_DIR = build_dir)
suppressPackageStartupMessages(library(testthat))
here <- dirname(normalizePath(sub("^--file=", "", grep("^--file=", commandArgs(), value = TRUE)[1])))
results <- test_dir(file.path(here, "tests", "testthat"), reporter = ProgressReporter$new(show_praise = FALSE),
                    stop_on_failure = FALSE)
df <- as.data.frame(results)
failed <- sum(df$failed) + sum(df$error)
cat(sprintf("%d passed, %d failed, %d skipped\n", sum(df$passed), failed, sum(df$skipped)))
quit(status = if (failed > 0) 1 else 0)
