# Demo: a whole grid session on real terrain. terra's bundled elevation
# raster of Luxembourg becomes a grid in a fresh workspace; an io-mode-2
# session sets the window from it and reads it; a resistance surface (from
# slope) and D8 flow directions (terra's terrain(..., "flowdir"), the codes
# wetspread reads) are derived; spread, wetspread and patch_scan run; the
# results are written back as grids and drawn as PNG maps beside a summary.
# Then the package's grid_server is started over the same workspace, the
# same grids are read over io mode 1, which must give identical cells, and
# a 3 x 3 mean of the elevation is mapped by bands on two parallel workers.
# Everything goes through the installed mirl package; a failing call stops
# the demo with its mirl_error.
# Usage: Rscript demo/workflow.R <output directory>
args <- commandArgs(trailingOnly = TRUE)
if (length(args) != 1) stop("usage: workflow.R <output directory>")
out_dir <- args[[1]]
dir.create(out_dir, showWarnings = FALSE, recursive = TRUE)
out_dir <- normalizePath(out_dir)

suppressPackageStartupMessages({
  library(mirl)
  library(terra)
})

check <- function(ok, what) if (!isTRUE(ok)) stop(what, call. = FALSE)

# The workspace: one grid, a directory holding the GeoTIFF.
source_tif <- system.file("ex/elev.tif", package = "terra")
check(nzchar(source_tif), "terra's ex/elev.tif is not installed")
ws <- file.path(out_dir, "workspace")
unlink(ws, recursive = TRUE)
dir.create(file.path(ws, "elev"), recursive = TRUE)
check(file.copy(source_tif, file.path(ws, "elev", "elev.tif")), "cannot copy elev.tif")
ws <- normalizePath(ws)
elev_tif <- file.path(ws, "elev", "elev.tif")

# io mode 2: the library is its own grid server over the workspace.
t0 <- proc.time()[["elapsed"]]
grid_open(workspace = ws)
window <- grid_window("elev")
elev <- grid_read("elev", as = "matrix")
terra_elev <- as.matrix(rast(elev_tif), wide = TRUE)
check(identical(is.na(elev), is.na(terra_elev)) && all(elev == terra_elev, na.rm = TRUE),
      "grid_read and terra disagree on elev")

# Resistance: 1 + slope in degrees; outside the country (no data) a barrier.
slope <- as.matrix(terrain(rast(elev_tif), "slope", unit = "degrees"), wide = TRUE)
resistance <- 1 + slope
resistance[is.na(resistance)] <- -1
# D8 flow directions, 1 east ... 128 north-east; 0 (never wetted) where none.
# terra breaks ties between equal drops at random, through R's generator.
set.seed(1)
flowdir <- as.matrix(terrain(rast(elev_tif), "flowdir"), wide = TRUE)
flowdir[is.na(flowdir) | is.na(elev)] <- 0
storage.mode(flowdir) <- "integer"

nr <- nrow(elev)
nc <- ncol(elev)
summit <- which(elev == max(elev, na.rm = TRUE), arr.ind = TRUE)[1, ]
spread_value <- 60
spread <- cost_spread(resistance, spread_value, summit[["row"]], summit[["col"]], diagonal = TRUE)
spread_reached <- sum(spread > 0)

# terra points the cells of a flat at each other now and then; wetspread
# walks such a cycle round until the value is spent, like any other path.
# The walk below counts each cell's catchment, to start the wetness where
# the most water passes, and stops where a path comes back on itself.
d8_row <- c(`1` = 0, `2` = 1, `4` = 1, `8` = 1, `16` = 0, `32` = -1, `64` = -1, `128` = -1)
d8_col <- c(`1` = 1, `2` = 1, `4` = 0, `8` = -1, `16` = -1, `32` = -1, `64` = 0, `128` = 1)
downstream <- function(i) {
  code <- as.character(flowdir[i])
  if (!code %in% names(d8_row)) return(NA_integer_)
  r <- (i - 1) %% nr + 1 + d8_row[[code]]
  c <- (i - 1) %/% nr + 1 + d8_col[[code]]
  if (r < 1 || r > nr || c < 1 || c > nc || is.na(elev[r, c])) return(NA_integer_)
  as.integer((c - 1) * nr + r)
}
on_cycle <- logical(nr * nc)
upstream <- matrix(0, nr, nc)
for (start in which(!is.na(elev))) {
  on_path <- integer(0)
  i <- start
  while (!is.na(i)) {
    if (i %in% on_path) {
      on_cycle[on_path[match(i, on_path):length(on_path)]] <- TRUE
      break
    }
    on_path <- c(on_path, i)
    i <- downstream(i)
  }
  upstream[on_path] <- upstream[on_path] + 1
}
# (A sink, direction 0, is never wetted: start at the largest draining cell.)
outlet <- arrayInd(which.max(ifelse(flowdir > 0, upstream, 0)), dim(elev))
wet_value <- 40
wetness <- wet_spread(matrix(1, nr, nc), flowdir, wet_value, outlet[1], outlet[2])

# Patches of four elevation bands, 8-connected; no data stays -1.
breaks <- quantile(elev, c(0, 0.25, 0.5, 0.75, 1), na.rm = TRUE)
bands <- matrix(as.integer(cut(elev, breaks, include.lowest = TRUE, labels = FALSE)) - 1L, nr, nc)
bands[is.na(bands)] <- -1L
patches <- patch_scan(bands, neighbours = 8, missing = -1L)
patch_count <- attr(patches, "count")
attr(patches, "count") <- NULL

# Results back into the workspace as grids, and read again.
results <- list(resistance = resistance, flowdir = flowdir, spread = spread,
                wetness = wetness, patches = patches)
for (name in names(results)) {
  m <- results[[name]]
  if (name == "patches") m[m < 0] <- NA
  grid_write(name, m)
  back <- grid_read(name, as = "matrix")
  # Float grids hold doubles to float precision.
  check(isTRUE(all.equal(back, m + 0, tolerance = 1e-6, check.attributes = FALSE)),
        paste("grid", name, "does not read back as written"))
}
grids <- grid_list()
described <- grid_describe("spread")
local_spread <- grid_read("spread", as = "matrix")
grid_close()
local_seconds <- proc.time()[["elapsed"]] - t0

# io mode 1: the same reads through the package's grid_server over the
# workspace; then bands of rows mapped on two workers, each with its own
# session to that server.
server_log <- file.path(out_dir, "grid_server_log.txt")
server <- grid_server_start(ws, log = server_log)
port <- server$port
grid_open(host = server$host, port = port)
remote_window <- grid_window("elev")
remote_elev <- grid_read("elev", as = "matrix")
remote_spread <- grid_read("spread", as = "matrix")
same_elev <- identical(remote_elev, elev)
same_spread <- identical(remote_spread, local_spread)
same_window <- identical(remote_window, window)
mean3 <- function(m) {
  out <- m
  for (r in 2:(nrow(m) - 1)) for (c in 2:(ncol(m) - 1)) {
    out[r, c] <- mean(m[(r - 1):(r + 1), (c - 1):(c + 1)], na.rm = TRUE)
  }
  out
}
t1 <- proc.time()[["elapsed"]]
future::plan(future::multisession, workers = 2)
grid_map_blocks("elev", "elev_mean3", mean3, block_rows = 16L, margin = 1L)
future::plan(future::sequential)
map_seconds <- proc.time()[["elapsed"]] - t1
smooth <- grid_read("elev_mean3", as = "matrix")
smooth[is.na(elev)] <- NA
grid_server_retire()
server$process$wait(5000)
server_status <- server$process$get_exit_status()
grid_close()
check(same_elev && same_spread && same_window, "io mode 1 and io mode 2 gave different cells")
check(identical(server_status, 0L), "grid_server did not exit cleanly")
# Every grid the library wrote carries elev's coordinate reference system, so
# that GIS tools overlay it on the data it came from.
written <- c(names(results), "elev_mean3")
same_crs <- vapply(written, function(name) {
  identical(crs(rast(file.path(ws, name, "layer.tif"))), crs(rast(elev_tif)))
}, logical(1))
check(all(same_crs), paste("grids without elev's CRS:", paste(written[!same_crs], collapse = " ")))

# Maps. Each grid goes back onto elev.tif's geometry (WGS 84) as a layer, so
# that the axes read in degrees of longitude and latitude; every map carries
# the country's outline and a scale bar, and its legend names the quantity
# and its unit.
template <- rast(elev_tif)
as_layer <- function(m, classes = NULL) {
  layer <- rast(m, extent = ext(template), crs = crs(template))
  if (!is.null(classes)) levels(layer) <- classes
  layer
}
land <- !is.na(elev)
border <- as.polygons(as_layer(ifelse(land, 1, NA)))
# `missed`: land cells without a value (not reached, or a barrier, as
# `missed_label` says), in grey so that they do not pass for low values.
# `source`: the cell an analysis starts from, marked and named. Their key
# goes in the north-east corner, which the country leaves empty.
draw <- function(file, layer, main, col, title, sub = NULL, missed = NULL,
                 missed_label = "not reached", source = NULL, source_label = NULL, ...) {
  png(file.path(out_dir, file), width = 760, height = 660, type = "cairo")
  plot(layer, col = col, mar = c(4.2, 4.2, 5, 10),
       plg = list(title = title, title.cex = 1, cex = 1), pax = list(cex.axis = 0.95),
       xlab = "longitude (degrees east)",
       ylab = "latitude (degrees north)", ...)
  title(main, line = if (is.null(sub)) 1.5 else 2.6, cex.main = 1.2)
  if (!is.null(sub)) mtext(sub, side = 3, line = 1, cex = 0.95)
  key <- list(label = character(0), pch = numeric(0), col = character(0), cex = numeric(0))
  if (any(missed)) {
    plot(as_layer(ifelse(missed, 1, NA)), col = "grey82", legend = FALSE, axes = FALSE, add = TRUE)
    key <- Map(c, key, list(missed_label, 15, "grey82", 2))
  }
  lines(border, col = "grey30")
  if (!is.null(source)) {
    points(xFromCol(template, source[[2]]), yFromRow(template, source[[1]]), pch = 24,
           bg = "white", cex = 1.6)
    key <- Map(c, key, list(source_label, 24, "black", 1.6))
  }
  if (length(key$label)) {
    legend("topright", legend = key$label, pch = key$pch, col = key$col, pt.bg = "white",
           pt.cex = key$cex, cex = 0.95, bty = "n")
  }
  sbar(10, "bottomleft", type = "bar", below = "km", divs = 2, cex = 0.9)
  invisible(dev.off())
  file
}
na_if <- function(m, bad) {
  m[bad] <- NA
  m
}
# D8 codes as classes, each named by the compass direction it points to;
# neighbouring directions alternate light and dark so that they part.
d8_classes <- data.frame(id = c(0, 2^(0:7)),
                         direction = paste(c(0, 2^(0:7)), c("sink / none", "E", "SE", "S", "SW",
                                                            "W", "NW", "N", "NE"), sep = "  "))
d8_col <- c("black", hcl(h = seq(15, 330, by = 45), c = 75, l = rep(c(52, 78), 4)))
# The patches of a band never touch, not even at a corner (they would be one
# patch), so colouring each patch by its band shows every patch apart with a
# four-entry legend.
band_labels <- sprintf("%d  %.0f - %.0f", 1:4, breaks[1:4], breaks[2:5])
patch_bands <- na_if(bands + 1, patches < 0)
pictures <- c(
  draw("elev.png", as_layer(elev), "elevation, read through grid_read", terrain.colors(64),
       "elevation (m)"),
  draw("resistance.png", as_layer(na_if(resistance, resistance < 0)),
       "resistance to the spread", hcl.colors(64, "Viridis"),
       "resistance\n(1 + slope\nin degrees)", sub = "outside the country (no data): a barrier",
       missed = land & resistance < 0, missed_label = "barrier (no slope at the edge)"),
  draw("flowdir.png", as_layer(na_if(flowdir, !land), d8_classes),
       "D8 flow directions (terra::terrain \"flowdir\")", d8_col,
       "flow direction\n(D8 code, to)", all_levels = TRUE),
  draw("spread.png", as_layer(na_if(spread, spread <= 0)),
       sprintf("cost_spread of %g from the summit", spread_value),
       hcl.colors(80, "YlOrRd", rev = TRUE)[-(1:8)], "remaining\nspread value\n(cost units)",
       sub = "a step costs the resistance of the cell it enters", missed = land & spread <= 0,
       source = summit, source_label = sprintf("summit (source, %g m)", max(elev, na.rm = TRUE))),
  draw("wetspread.png", as_layer(na_if(wetness, wetness <= 0)),
       sprintf("wet_spread of %g along the flow network", wet_value),
       hcl.colors(80, "Blues", rev = TRUE)[-(1:16)], "wetness\n(value units)",
       sub = "each cell entered costs 1", missed = land & wetness <= 0, source = outlet,
       source_label = sprintf("source (%d cells upstream)", as.integer(upstream[outlet]))),
  draw("patches.png", as_layer(patch_bands, data.frame(id = 1:4, band = band_labels)),
       sprintf("patch_scan: %d patches of four elevation bands", patch_count),
       c("#1a9850", "#a6d96a", "#fdae61", "#a6611a"), "elevation band (m)",
       sub = "8-connected; each patch is one connected area of one colour", all_levels = TRUE),
  draw("mean3.png", as_layer(smooth), "3 x 3 mean of elevation, mapped in bands on two workers",
       terrain.colors(64), "3 x 3 mean\nelevation (m)"))

lines <- c(
  "mirl demo: a grid session over terra's ex/elev.tif (Luxembourg)",
  sprintf("workspace: %s", ws),
  sprintf("window: %d rows x %d columns, lower left (%.5f, %.5f), cell %.6f degrees",
          window$rows, window$cols, window$x_ll, window$y_ll, window$cell_size),
  sprintf("elevation: %d cells with data, %g .. %g m; grid_read agrees with terra cell for cell",
          sum(!is.na(elev)), min(elev, na.rm = TRUE), max(elev, na.rm = TRUE)),
  sprintf("resistance: 1 + slope, %.2f .. %.2f; %d barrier cells (%d without data, %d at the edge without a slope)",
          min(resistance[resistance >= 0]), max(resistance), sum(resistance < 0),
          sum(is.na(elev)), sum(resistance < 0 & !is.na(elev))),
  sprintf("flow directions: terra terrain(\"flowdir\"), %d cells drain somewhere, %d on cycles of flats",
          sum(flowdir > 0), sum(on_cycle)),
  sprintf("spread: %g from the summit (row %d, column %d, %g m) reached %d cells",
          spread_value, summit[["row"]], summit[["col"]], max(elev, na.rm = TRUE), spread_reached),
  sprintf("wetspread: %g from the draining cell with the largest catchment (row %d, column %d, %g m, %d cells upstream) wetted %d cells",
          wet_value, outlet[1], outlet[2], elev[outlet], as.integer(upstream[outlet]),
          sum(wetness > 0)),
  sprintf("patch_scan: %d patches of four elevation bands (8-neighbourhood)", patch_count),
  sprintf("grids in the workspace: %s", paste(sort(as.vector(grids)), collapse = " ")),
  sprintf("coordinate reference system of every grid written: elev's, %s",
          crs(rast(elev_tif), describe = TRUE)$name),
  sprintf("grid_describe spread: %d x %d, %s cells, min %.3f, max %.3f, mean %.3f",
          described$rows, described$cols, described$cell_type, described$min, described$max,
          described$mean),
  sprintf("io mode 2 session: %.2f s", local_seconds),
  sprintf("io mode 1 (grid_server on 127.0.0.1:%d): window %s, elev cells %s, spread cells %s",
          port, if (same_window) "identical" else "DIFFERENT",
          if (same_elev) "identical" else "DIFFERENT", if (same_spread) "identical" else "DIFFERENT"),
  sprintf("grid_map_blocks: 3 x 3 mean of elev in bands of 16 rows on 2 multisession workers, %.2f s",
          map_seconds),
  sprintf("grid_server retired, exit status %d; its log: %s", server_status, basename(server_log)),
  sprintf("pictures: %s", paste(pictures, collapse = " ")))
writeLines(lines, file.path(out_dir, "workflow.txt"))
cat(paste(lines, collapse = "\n"), "\n")
