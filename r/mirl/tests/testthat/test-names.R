# No export of the package hides a function of the packages its users load
# beside it.

test_that("no export masks a function of base, stats, utils, graphics, terra or tidyr", {
  ours <- getNamespaceExports("mirl")
  expect_true(all(c("cost_spread", "grid_read", "grid_map_blocks") %in% ours))
  for (pkg in c("base", "stats", "utils", "graphics", "methods", "terra", "tidyr")) {
    if (pkg == "tidyr") skip_if_not_installed("tidyr")
    theirs <- if (pkg == "base") ls(baseenv(), all.names = TRUE) else getNamespaceExports(pkg)
    expect_identical(intersect(ours, theirs), character(0), label = pkg)
  }
})
