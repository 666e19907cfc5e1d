# gridinit in io mode 2: the first in a fresh process (which loads the grid
# library) and the later ones (each after clean_up).
# Usage: Rscript gridinit_time.R <build dir> <scratch dir>
args <- commandArgs(trailingOnly = TRUE)
build <- normalizePath(args[[1]])
scratch <- args[[2]]
here <- dirname(normalizePath(sub("^--file=", "", grep("^--file=", commandArgs(), value = TRUE)[1])))
source(file.path(here, "bench_support.R"))
bench_load(build)
dir.create(scratch, recursive = TRUE, showWarnings = FALSE)
ws <- normalizePath(scratch)

first <- seconds(code <- mirl_gridinit(2, ws))
stop_unless_ok(code, "gridinit")
mirl_clean_up()
later <- median_seconds(21, function(i) {
  stop_unless_ok(mirl_gridinit(2, ws), "gridinit")
  mirl_clean_up()
})
cat(sprintf(paste0("gridinit io mode 2: first in a fresh process %.1f ms (cpu %.1f ms), ",
                   "later %.2f ms (goal < 50 ms)\n"),
            1000 * first[["wall"]], 1000 * first[["cpu"]], 1000 * later[["wall"]]))
