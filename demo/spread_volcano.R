# Demo: spread a value from the summit of Maunga Whau (R's built-in volcano
# elevation grid) over a resistance surface derived from its slopes, with
# the mirl package's cost_spread, and save a map and a short summary.
# Usage: Rscript demo/spread_volcano.R <output directory>
args <- commandArgs(trailingOnly = TRUE)
if (length(args) != 1) stop("usage: spread_volcano.R <output directory>")
out_dir <- args[[1]]
dir.create(out_dir, showWarnings = FALSE, recursive = TRUE)
suppressPackageStartupMessages({
  library(mirl)
  library(terra)
})

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

# The maps: volcano has no georeference, so its layers get a plain extent in
# metres from the 10 m cells, row 1 at the top as cost_spread counts rows.
# Which way is north the data set does not make certain, so the axes name
# rows and columns, not compass directions.
cell_m <- 10
as_layer <- function(m) {
  rast(m, extent = ext(0, ncol(m) * cell_m, 0, nrow(m) * cell_m), crs = "")
}
blank <- function(cells) as_layer(ifelse(cells, 1, NA))
summit_x <- (summit[["col"]] - 0.5) * cell_m
summit_y <- (nrow(elev) - summit[["row"]] + 0.5) * cell_m
# The key of the symbols goes below the map, where it hides no cells.
panel <- function(layer, main, sub, col, title, key) {
  plot(layer, col = col, mar = c(7.5, 4.2, 4.6, 8.5),
       plg = list(title = title, title.cex = 1, cex = 1), pax = list(cex.axis = 0.95),
       xlab = "metres across (columns 1 .. 61, 10 m each)",
       ylab = "metres up (rows 87 .. 1, 10 m each)")
  title(main, line = 2.4, cex.main = 1.15)
  mtext(sub, side = 3, line = 0.9, cex = 0.9)
  usr <- par("usr")
  do.call(legend, c(list(x = mean(usr[1:2]), y = usr[3] - 0.13 * diff(usr[3:4]), xjust = 0.5,
                         yjust = 1, xpd = NA, horiz = TRUE, bty = "n", pt.bg = "white"), key))
}
png_file <- file.path(out_dir, "volcano_spread.png")
png(png_file, width = 1100, height = 700, type = "cairo")
op <- par(mfrow = c(1, 2))
panel(as_layer(elev), "Maunga Whau (R's volcano data set)", "10 m cells",
      terrain.colors(64), "elevation (m)",
      list(legend = sprintf("summit (%d m)", max(elev)), pch = 24, pt.cex = 1.6))
points(summit_x, summit_y, pch = 24, bg = "white", cex = 1.6)
left <- reached_map
left[reached_map <= 0] <- NA
panel(as_layer(left), sprintf("cost_spread of %g from the summit", source_value),
      "resistance: 1 + rise per cell (m)", hcl.colors(80, "YlOrRd", rev = TRUE)[-(1:8)],
      "remaining\nspread value\n(cost units)",
      list(legend = c("summit (source)", "not reached", "barrier (below 100 m)"),
           pch = c(24, 15, 15), col = c("black", "grey82", "grey45"), pt.cex = c(1.6, 2, 2)))
plot(blank(reached_map <= 0 & resistance >= 0), col = "grey82", legend = FALSE, axes = FALSE,
     add = TRUE)
plot(blank(resistance < 0), col = "grey45", legend = FALSE, axes = FALSE, add = TRUE)
points(summit_x, summit_y, pch = 24, bg = "white", cex = 1.6)
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
