# The code table and the conditions built from it.

test_that("the code table names every code once per export band", {
  codes <- mirl_codes()
  expect_named(codes, c("export", "code", "name", "meaning"))
  expect_false(anyDuplicated(codes[c("export", "code")]) > 0)
  expect_true(all(nzchar(codes$name) & nzchar(codes$meaning)))
  # Every code of an export lies in its own band of 20, but for the catch-all
  # "Failure" that gridlist and shortpath borrow from another export.
  own <- codes[!codes$export %in% c("server", "session") & codes$name != "Failure", ]
  for (export in unique(own$export)) {
    band <- unique((-own$code[own$export == export]) %/% 20)
    expect_length(band, 1)
  }
  expect_identical(codes$name[codes$export == "server" & codes$code == -10016L], "ErrGridTooBig")
})

test_that("mirl_code finds an export's own codes before the shared ones", {
  expect_identical(mirl_code(-740, "gridlist")$name, "Failure")
  expect_identical(mirl_code(-740, "griddescribe")$meaning, "the describe request failed")
  # Grid exports share the session's and the grid server's codes.
  expect_identical(mirl_code(c(-630, -10007), "readblock")$name,
                   c("NoSession", "ErrGridCannotFind"))
  # Analysis exports do not.
  expect_true(is.na(mirl_code(-10007, "spread")$name))
  # Connectivity rescaling passes its density step's codes on.
  expect_identical(mirl_code(-401, "connect_rescale_scalar")$name, "BadCount")
  expect_identical(mirl_code(-502)$export, "spread")
  expect_identical(nrow(mirl_code(integer(0))), 0L)
})

test_that("an analysis failure is a mirl_error with the export's code and words", {
  e <- mirl_condition(cost_spread(matrix(1, 3, 3), value = 10, row = 4, col = 1))
  expect_s3_class(e, c("mirl_error", "error", "condition"), exact = TRUE)
  expect_identical(e$code, -502L)
  expect_identical(e$code_name, "BadSourceRow")
  expect_identical(e$export, "spread")
  expect_match(conditionMessage(e), "source row lies outside the surface", fixed = TRUE)
  expect_match(conditionMessage(e), "code -502", fixed = TRUE)
  expect_identical(deparse(conditionCall(e)[[1]]), "cost_spread")
  # Caught by class, as users catch it.
  caught <- tryCatch(cost_spread(matrix(1, 2, 2), value = 0, row = 1, col = 1),
                     mirl_error = function(e) e$code_name)
  expect_identical(caught, "BadSourceValue")
})

test_that("a grid failure names the grid and where the session looked", {
  ws <- local_inprocess_session()
  grid_make_window(2, 2, 0, 0, 1)
  e <- mirl_condition(grid_read("elev"))
  expect_identical(e$code, -10007L)
  expect_identical(e$code_name, "ErrGridCannotFind")
  expect_match(conditionMessage(e), sprintf("grid 'elev' in workspace %s: grid not found", ws),
               fixed = TRUE)
  grid_create("a")
  expect_identical(mirl_condition(grid_create("a"))$code_name, "ErrGridAlreadyExists")
  expect_identical(mirl_condition(grid_write("a", matrix(1, 3, 2)))$code_name,
                   "ErrGridBadDimensions")
  e <- mirl_condition(grid_open(workspace = ws))
  expect_identical(list(e$code, e$export, e$code_name), list(-623L, "gridinit", "SessionOpen"))
})

test_that("arguments of the wrong kind are R errors, not library calls", {
  expect_error(cost_spread("a", 1, 1, 1), "numeric matrix")
  expect_error(cost_spread(matrix(1, 2, 2), c(1, 2), 1, 1), "one number")
  expect_error(patch_scan(matrix(1.5, 2, 2)), "whole numbers")
  expect_error(grid_open(), "either")
  expect_error(grid_open(workspace = file.path(tempdir(), "no-such-dir")), "not a directory")
})
