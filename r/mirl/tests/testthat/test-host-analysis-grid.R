# wetspread, patch_scan and the matrix utilities through .C, as a host calls
# them. The library stores rows one after another, so R matrices go in as
# t(m) and come back with matrix(..., byrow = TRUE).

rowwise <- function(m) as.vector(t(m))
from_rowwise <- function(v, nr) matrix(v, nrow = nr, byrow = TRUE)

# D8 codes.
E <- 1L; SE <- 2L; S <- 4L; SW <- 8L; W <- 16L; NW <- 32L; N <- 64L; NE <- 128L

wetspread_call <- function(value, row, col, cost, dir, wet = matrix(0, nrow(dir), ncol(dir))) {
  .C("R_wetspread", result = integer(1), as.double(value), as.integer(row), as.integer(col),
     as.integer(nrow(dir)), as.integer(ncol(dir)), as.double(rowwise(cost)),
     as.integer(rowwise(dir)), wet = as.double(rowwise(wet)), PACKAGE = "mirl_lib")
}

test_that("R_wetspread runs down a channel and up its dry tributary", {
  # Row 2 drains east; (1,2) drains south into it, (3,3) north-east into (2,4).
  dir <- matrix(0L, 3, 5)
  dir[2, ] <- E
  dir[1, 2] <- S
  dir[3, 3] <- NE
  cost <- matrix(1, 3, 5)
  cost[3, 3] <- 0.5
  out <- wetspread_call(5, 2, 1, cost, dir)
  expect_equal(out$result, 1L)
  wet <- from_rowwise(out$wet, 3)
  expect_equal(wet[2, ], c(5, 4, 3, 2, 1))
  expect_equal(wet[1, 2], 3)    # entered from (2,2), which holds 4
  expect_equal(wet[3, 3], 1.5)  # entered from (2,4), which holds 2
  expect_equal(sum(wet != 0), 7)
})

test_that("R_wetspread keeps wet tributaries and unreached cells as they were", {
  dir <- matrix(c(E, E, E, 0L, N, 0L), 2, 3, byrow = TRUE)
  wet <- matrix(c(0, 0, 0, 7, 9, 7), 2, 3, byrow = TRUE)
  out <- wetspread_call(3, 1, 1, matrix(1, 2, 3), dir, wet)
  expect_equal(out$result, 1L)
  expect_equal(from_rowwise(out$wet, 2), matrix(c(3, 2, 1, 7, 9, 7), 2, 3, byrow = TRUE))
})

test_that("R_wetspread stores each argument failure", {
  dir <- matrix(E, 2, 2)
  cost <- matrix(1, 2, 2)
  expect_equal(wetspread_call(0, 1, 1, cost, dir)$result, -241L)
  expect_equal(wetspread_call(-1, 1, 1, cost, dir)$result, -241L)
  expect_equal(wetspread_call(1, 3, 1, cost, dir)$result, -242L)
  expect_equal(wetspread_call(1, 1, 0, cost, dir)$result, -243L)
  expect_equal(wetspread_call(0, 1, 1, cost, dir)$wet, rep(0, 4))
})

test_that("R_wetspread walks round a pit with positive costs and refuses one without", {
  # (1,1) and (1,2) drain into each other, as terra's flowdir makes them at
  # flat pits. Costs 1 and 2 from 10: (1,1) 10, (1,2) 8, (1,1) 7, (1,2) 5,
  # (1,1) 4, (1,2) 2, (1,1) 1; (1,2) would get -1. The last lap stays.
  pit <- matrix(c(E, W), 1, 2)
  out <- wetspread_call(10, 1, 1, matrix(c(1, 2), 1, 2), pit)
  expect_equal(out$result, 1L)
  expect_equal(out$wet, c(1, 2))
  # Costing nothing, the walk would go round for ever: refused, with what
  # it wrote before coming back to (1,1) left in place.
  out <- wetspread_call(3, 1, 1, matrix(0, 1, 2), pit)
  expect_equal(out$result, -249L)
  expect_equal(out$wet, c(3, 3))
})

test_that("R_wetspread walks round the pits of terra's flow directions", {
  skip_if_not_installed("terra")
  elev <- terra::rast(system.file("ex/elev.tif", package = "terra"))
  fd <- terra::as.matrix(terra::terrain(elev, "flowdir"), wide = TRUE)
  dir <- matrix(as.integer(ifelse(is.na(fd), 0, fd)), nrow(fd))
  # Row and column offsets of each D8 code.
  step <- list("1" = c(0, 1), "2" = c(1, 1), "4" = c(1, 0), "8" = c(1, -1),
               "16" = c(0, -1), "32" = c(-1, -1), "64" = c(-1, 0), "128" = c(-1, 1))
  target <- function(r, c) {
    s <- step[[as.character(dir[r, c])]]
    if (is.null(s)) return(NULL)
    t <- c(r, c) + s
    if (t[1] < 1 || t[2] < 1 || t[1] > nrow(dir) || t[2] > ncol(dir)) NULL else t
  }
  # Pits: two cells draining into each other.
  pits <- list()
  for (r in seq_len(nrow(dir))) for (c in seq_len(ncol(dir))) {
    t <- target(r, c)
    if (!is.null(t)) {
      back <- target(t[1], t[2])
      if (!is.null(back) && all(back == c(r, c))) pits[[length(pits) + 1]] <- c(r, c, t)
    }
  }
  expect_gt(length(pits), 10)
  cost <- matrix(1, nrow(dir), ncol(dir))
  for (p in pits[1:10]) {
    # From 10 at the first cell: it gets 10, 8, ..., 2 and its partner 9,
    # 7, ..., 1; the tributaries walked on the way touch neither.
    out <- wetspread_call(10, p[1], p[2], cost, dir)
    expect_equal(out$result, 1L)
    wet <- from_rowwise(out$wet, nrow(dir))
    expect_equal(c(wet[p[1], p[2]], wet[p[3], p[4]]), c(2, 1))
  }
})

test_that("R_wetspread follows a long snaking channel to its end", {
  nr <- 200; nc <- 200
  dir <- matrix(W, nr, nc)
  dir[seq(1, nr, 2), ] <- E
  dir[seq(1, nr - 1, 2), nc] <- S
  dir[seq(2, nr - 1, 2), 1] <- S
  out <- wetspread_call(1, 1, 1, matrix(1e-6, nr, nc), dir)
  expect_equal(out$result, 1L)
  wet <- from_rowwise(out$wet, nr)
  expect_equal(wet[nr, 1], 1 - (nr * nc - 1) * 1e-6, tolerance = 1e-9)
  expect_true(all(wet > 0))
})

patch_scan_call <- function(m, nb, missing = -9999L) {
  .C("R_patch_scan", result = integer(1), grid = as.integer(rowwise(m)), as.integer(nrow(m)),
     as.integer(ncol(m)), as.integer(nb), as.integer(missing), count = integer(1),
     NAOK = TRUE, PACKAGE = "mirl_lib")
}

test_that("R_patch_scan numbers patches in storage order with 4 and 8 neighbours", {
  m <- matrix(c(1L, 1L, 2L,
                2L, 1L, 2L,
                1L, 2L, 2L), 3, 3, byrow = TRUE)
  four <- patch_scan_call(m, 4)
  expect_equal(four$result, 1L)
  expect_equal(four$count, 4L)
  expect_equal(from_rowwise(four$grid, 3), matrix(c(0, 0, 1, 2, 0, 1, 3, 1, 1), 3, 3, byrow = TRUE))
  eight <- patch_scan_call(m, 8)
  expect_equal(eight$count, 2L)
  expect_equal(from_rowwise(eight$grid, 3), matrix(c(0, 0, 1, 1, 0, 1, 0, 1, 1), 3, 3, byrow = TRUE))
})

test_that("R_patch_scan leaves missing, NA and negative cells alone", {
  m <- matrix(c(5L, -9999L, 5L, NA, -2L, 5L), 2, 3, byrow = TRUE)
  out <- patch_scan_call(m, 4)
  expect_equal(out$count, 2L)
  expect_equal(from_rowwise(out$grid, 2), matrix(c(0L, -9999L, 1L, NA, -2L, 1L), 2, 3, byrow = TRUE))
})

test_that("R_patch_scan agrees with terra's patches on a random raster", {
  skip_if_not_installed("terra")
  set.seed(3)
  m <- matrix(sample(0:2, 60 * 80, replace = TRUE), 60, 80)
  out <- patch_scan_call(m, 8)
  ours <- from_rowwise(out$grid, 60)
  total <- 0
  for (v in 0:2) {
    r <- terra::rast(ifelse(m == v, 1, NA))
    p <- terra::as.matrix(terra::patches(r, directions = 8), wide = TRUE)
    # Same partition: within this class, our numbers and terra's map one to one.
    pairs <- unique(data.frame(a = ours[m == v], b = p[m == v]))
    expect_equal(nrow(pairs), length(unique(pairs$a)))
    expect_equal(nrow(pairs), length(unique(pairs$b)))
    total <- total + nrow(pairs)
  }
  expect_equal(out$count, total)
  expect_equal(sort(unique(as.vector(ours))), 0:(total - 1))
})

test_that("R_patch_scan stores its argument failure codes", {
  m <- matrix(1L, 2, 2)
  expect_equal(patch_scan_call(m, 6)$result, -224L)
  out <- .C("R_patch_scan", result = integer(1), grid = rep(1L, 4), 0L, 2L, 4L, -1L,
            count = integer(1), PACKAGE = "mirl_lib")
  expect_equal(out$result, -222L)
  out <- .C("R_patch_scan", result = integer(1), grid = rep(1L, 4), 2L, -2L, 4L, -1L,
            count = integer(1), PACKAGE = "mirl_lib")
  expect_equal(out$result, -223L)
  expect_equal(out$grid, rep(1L, 4))
  # Too many cells for int32 patch numbers: refused on the dimensions alone.
  out <- .C("R_patch_scan", result = integer(1), grid = 1L, 46341L, 46341L, 4L, -1L,
            count = integer(1), PACKAGE = "mirl_lib")
  expect_equal(out$result, -227L)
  expect_equal(out$grid, 1L)
})

# A mask selecting the flat cells `cells` (1-based, storage order) of n
# cells, most significant bit first.
mask_of <- function(cells, n) {
  bytes <- integer((n + 7) %/% 8)
  for (k in cells - 1) bytes[k %/% 8 + 1] <- bytes[k %/% 8 + 1] + 2^(7 - k %% 8)
  as.raw(bytes)
}

test_that("R_mvrep_int and R_mvrep_dbl replace exactly the masked cells", {
  m <- matrix(1:12, 3, 4)
  sel <- c(1, 6, 8, 9, 12)
  out <- .C("R_mvrep_int", result = integer(1), 3L, 4L, -1L, 0L, grid = as.integer(rowwise(m)),
            mask_of(sel, 12), PACKAGE = "mirl_lib")
  expect_equal(out$result, 1L)
  want <- rowwise(m)
  want[sel] <- 0L
  expect_equal(out$grid, want)
  out <- .C("R_mvrep_dbl", result = integer(1), 1L, 9L, 0, -0.5, grid = as.double(1:9),
            mask_of(c(9), 9), PACKAGE = "mirl_lib")
  expect_equal(out$grid, c(1:8, -0.5))
  out <- .C("R_mvrep_dbl", result = integer(1), 0L, 9L, 0, -0.5, grid = as.double(1:9),
            mask_of(9, 9), PACKAGE = "mirl_lib")
  expect_equal(out$result, -201L)
  out <- .C("R_mvrep_int", result = integer(1), 3L, 0L, 0L, 0L, grid = 1:9,
            mask_of(9, 9), PACKAGE = "mirl_lib")
  expect_equal(out$result, -202L)
})

test_that("R_sparseput and R_sparseget move values by (row, column) pairs", {
  m <- matrix(0, 3, 4)
  pairs <- cbind(row = c(2L, 3L, 1L), col = c(3L, 4L, 1L))
  put <- .C("R_sparseput_dbl", result = integer(1), 3L, 4L, 3L, grid = as.double(rowwise(m)),
            as.integer(t(pairs)), c(1.5, 2.5, 3.5), PACKAGE = "mirl_lib")
  expect_equal(put$result, 1L)
  g <- from_rowwise(put$grid, 3)
  expect_equal(g[2, 3], 1.5)
  expect_equal(g[3, 4], 2.5)
  expect_equal(g[1, 1], 3.5)
  get <- .C("R_sparseget_dbl", result = integer(1), 3L, 4L, 3L, put$grid, as.integer(t(pairs)),
            values = double(3), PACKAGE = "mirl_lib")
  expect_equal(get$values, c(1.5, 2.5, 3.5))
  gi <- .C("R_sparseget_int", result = integer(1), 2L, 2L, 2L, c(10L, 20L, 30L, 40L),
           c(2L, 1L, 9L, 9L), values = integer(2), PACKAGE = "mirl_lib")
  expect_equal(gi$result, -167L)
  expect_equal(gi$values, c(30L, 0L))
  pi <- .C("R_sparseput_int", result = integer(1), 2L, 2L, 0L, grid = integer(4), c(1L, 1L),
           5L, PACKAGE = "mirl_lib")
  expect_equal(pi$result, -143L)
  pi <- .C("R_sparseput_int", result = integer(1), 2L, 0L, 1L, grid = integer(4), c(1L, 1L),
           5L, PACKAGE = "mirl_lib")
  expect_equal(pi$result, -141L)
  pi <- .C("R_sparseput_int", result = integer(1), 2L, 2L, 1L, grid = integer(4), c(0L, 1L),
           5L, PACKAGE = "mirl_lib")
  expect_equal(pi$result, -147L)
  expect_equal(pi$grid, integer(4))
})

test_that("R_clip_int and R_clip_dbl find the box of the non-zero cells", {
  m <- matrix(0L, 4, 6)
  m[2, 5] <- 1L
  out <- .C("R_clip_int", result = integer(1), 4L, 6L, as.integer(rowwise(m)), box = integer(4),
            PACKAGE = "mirl_lib")
  expect_equal(out$result, 1L)
  expect_equal(out$box, c(2L, 2L, 5L, 5L))
  d <- matrix(0, 5, 5)
  d[2, 4] <- 0.5
  d[4, 2] <- -3
  out <- .C("R_clip_dbl", result = integer(1), 5L, 5L, as.double(rowwise(d)), box = integer(4),
            PACKAGE = "mirl_lib")
  expect_equal(out$box, c(2L, 4L, 2L, 4L))
  out <- .C("R_clip_dbl", result = integer(1), 2L, 2L, double(4), box = rep(-1L, 4),
            PACKAGE = "mirl_lib")
  expect_equal(out$result, -125L)
  expect_equal(out$box, rep(-1L, 4))
  out <- .C("R_clip_int", result = integer(1), 0L, 2L, integer(4), box = integer(4),
            PACKAGE = "mirl_lib")
  expect_equal(out$result, -121L)
})

test_that("with logging off these exports write no file", {
  dir <- local_temp_cwd()
  wetspread_call(2, 1, 1, matrix(1, 1, 3), matrix(E, 1, 3))
  patch_scan_call(matrix(1L, 2, 2), 4)
  .C("R_clip_int", result = integer(1), 1L, 2L, c(0L, 1L), box = integer(4), PACKAGE = "mirl_lib")
  .C("R_sparseget_int", result = integer(1), 1L, 1L, 1L, 1L, c(1L, 1L), integer(1),
     PACKAGE = "mirl_lib")
  expect_length(list.files(dir, all.files = TRUE, no.. = TRUE, recursive = TRUE), 0)
})
