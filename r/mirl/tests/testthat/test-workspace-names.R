# In-process sessions keep every name inside their workspace, and a new
# grid's name is one that grid_list() can give back.

test_that("an in-process session neither writes nor deletes outside its workspace", {
  ws <- local_inprocess_session()
  grid_make_window(2, 3, 0, 0, 10)
  m <- matrix(c(1, 2, 3, 4, 5, 6), 2, 3)
  expect_identical(mirl_condition(grid_write("../escape", m))$code_name, "ErrPackMalformed")
  expect_false(dir.exists(file.path(dirname(ws), "escape")))
  expect_identical(mirl_condition(grid_write(".", m))$code_name, "ErrPackMalformed")
  expect_identical(list.files(ws), character(0))

  victim <- file.path(dirname(ws), "victim")
  dir.create(victim)
  writeLines("keep", file.path(victim, "layer.tif"))
  expect_identical(mirl_condition(grid_delete("../victim"))$code_name, "ErrPackMalformed")
  expect_identical(mirl_condition(grid_delete(victim))$code_name, "ErrPackMalformed")
  expect_true(file.exists(file.path(victim, "layer.tif")))
})

test_that("a new grid's name holds no blank, and the names written come back from grid_list", {
  ws <- local_inprocess_session()
  grid_make_window(2, 3, 0, 0, 10)
  m <- matrix(c(1, 2, 3, 4, 5, 6), 2, 3)
  for (name in c("my grid", " mine", "mine ")) {
    expect_identical(mirl_condition(grid_write(name, m))$code_name, "ErrPackMalformed",
                     label = name)
  }
  grid_write("mine", m)
  grid_copy("mine", "my_copy")
  expect_identical(sort(grid_list()), c("mine", "my_copy"))
  grid_delete("my_copy")
  expect_identical(grid_list(), "mine")
})
