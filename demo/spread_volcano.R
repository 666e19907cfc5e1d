# Demo: spread a value from the summit of Maunga Whau (R's built-in volcano
# elevation grid) over a resistance surface derived from its slopes, with
# the mirl package's cost_spread, and save a map and a short summary.
# Usage: Rscript demo/spread_volcano.R <output directory>
args <- commandArgs(trailingOnly = TRUE)
if (length(args) != 1) stop("usage: spread_volcano.R <output directory>")
out_dir <- args[[1]]
dir.create(out_dir, showWarnings = FALSE, recursive = TRUE)
suppressPackageStartupMessages(library(mirl))

elev <- volcano                      # 87 x 61 cells, 10 m apart
# Resistance: steeper cells are harder to cross; the low wet ground below
# 100 m is a barrier that is never entered.
dz_r <- abs(elev[c(2:nrow(elev), nrow(elev)), ] - elev[c(1, 1:(nrow(elev) - 1)), ]) / 2
dz_c <- abs(elev[, c(2:ncol(elev), ncol(elev))] - elev[, c(1, 1:(ncol(elev) - 1))]) / 2
slope <- sqrt(dz_r^2 + dz_c^2)
resistance <- 1 + slope
resistance[elev < 100] <- -1

summit <- which(elev == max(elev), arr.ind = TRUE)[1, ]
source_value <- 150
t0 <- proc.time()[["elapsed"]]
reached_map <- cost_spread(resistance, source_value, summit[["row"]], summit[["col"]])
elapsed <- proc.time()[["elapsed"]] - t0
reached <- sum(reached_map > 0)

png_file <- file.path(out_dir, "volcano_spread.png")
png(png_file, width = 900, height = 640, type = "cairo")
op <- par(mfrow = c(1, 2), mar = c(2, 2, 3, 1))
image(t(elev[nrow(elev):1, ]), col = terrain.colors(64), axes = FALSE, main = "volcano elevation (m)")
image(t(reached_map[nrow(reached_map):1, ]), col = c("grey90", hcl.colors(63, "YlOrRd", rev = TRUE)),
      axes = FALSE, main = sprintf("value left after spreading %g from the summit", source_value))
par(op)
invisible(dev.off())

summary_file <- file.path(out_dir, "volcano_spread.txt")
lines <- c(
  "mirl demo: cost_spread over the volcano data set",
  sprintf("grid: %d rows x %d columns", nrow(elev), ncol(elev)),
  sprintf("source: row %d, column %d (summit, %d m), value %g", summit[["row"]], summit[["col"]],
          max(elev), source_value),
  sprintf("resistance: 1 + slope, barrier below 100 m; range %.2f .. %.2f",
          min(resistance[resistance >= 0]), max(resistance)),
  sprintf("cells reached: %d of %d (%.1f%%)", reached, length(elev), 100 * reached / length(elev)),
  sprintf("mean value left on reached cells: %.2f", mean(reached_map[reached_map > 0])),
  sprintf("spread time: %.3f s", elapsed),
  sprintf("picture: %s", basename(png_file)))
writeLines(lines, summary_file)
cat(paste(lines, collapse = "\n"), "\n")
